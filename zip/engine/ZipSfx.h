#pragma once
// Self-extracting archives: the stub program CorvaneSFX.bin, its 256-byte header and the archive
// behind them, whose offsets count from the start of the whole file so that unzip tools read it.
#include <QByteArray>
#include <QFlags>
#include <QString>

namespace corvane::zip {

enum SFXOptsEnum : quint32 {
    SFXAskCmdLine = 1u << 0,
    SFXAskFiles = 1u << 1,
    SFXAutoRun = 1u << 2,
    SFXHideOverWriteBox = 1u << 3,
    SFXCheckSize = 1u << 4,
};
Q_DECLARE_FLAGS(SFXOpts, SFXOptsEnum)

enum class SFXOverWriteModes { OvrConfirm, OvrAlways, OvrNever };

struct SfxSettings {
    QString caption;
    QString defaultDir;
    QString commandLine;
    SFXOpts options = SFXCheckSize;
    SFXOverWriteModes overwrite = SFXOverWriteModes::OvrConfirm;
};

constexpr int kSfxHeaderSize = 256;
constexpr const char* kSfxStubName = "CorvaneSFX.bin";

// The header that follows the stub: "MPU", flags, the three lengths and texts, zeros.
QByteArray SfxHeader(const SfxSettings& settings);
// The total length of the three texts, which must stay below 250.
int SfxTextLength(const SfxSettings& settings);

// The stub: `sfxPath` when that file exists, else CorvaneSFX.bin in the current folder, beside
// the program, then in `dllDirectory`. Empty when none is found.
QString FindSfxStub(const QString& sfxPath, const QString& dllDirectory);

// Creates `archive` as the stub, its header and an empty end record. False when it cannot be
// written (nothing is left behind then).
bool StartSelfExtracting(const QString& archive, const QString& stub, const SfxSettings& settings);

// How many bytes come before the archive proper (the program and its header); -1 when the file
// holds no archive the copies below can handle.
qint64 SfxPrefixLength(const QString& path);
// Writes the archive behind the first `prefix` bytes of `path` as a plain archive to `plain`.
bool DetachArchive(const QString& path, qint64 prefix, const QString& plain);
// Replaces `path` with its first `prefix` bytes followed by the archive `plain`, offsets shifted
// to count from the start of the file; the result is executable.
bool AttachArchive(const QString& path, qint64 prefix, const QString& plain);

} // namespace corvane::zip

Q_DECLARE_OPERATORS_FOR_FLAGS(corvane::zip::SFXOpts)
