#pragma once
// The zip component: lists an archive with our own central-directory reader when its name is
// set, and adds, tests and extracts through the zip and unzip libraries (ZipLib.h).
//
// Add and Extract block until done. The windows run them on a worker through ZipJob; a form that
// owns a component on the user-interface thread uses it only for listing.
#include "ZipDirectory.h"
#include "ZipLib.h"
#include "ZipSfx.h"
#include "ZipSpan.h"
#include "ZipTexts.h"

#include <QFlags>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace corvane::zip {

enum AddOptsEnum : quint32 {
    AddDirNames = 1u << 0,
    AddRecurseDirs = 1u << 1,
    AddMove = 1u << 2,
    AddFreshen = 1u << 3,
    AddUpdate = 1u << 4,
    AddZipTime = 1u << 5,
    AddForceDOS = 1u << 6,
    AddHiddenFiles = 1u << 7,
    AddEncrypt = 1u << 8,
    AddSeparateDirs = 1u << 9,
    AddDiskSpan = 1u << 10,
    AddDiskSpanErase = 1u << 11,
};
Q_DECLARE_FLAGS(AddOpts, AddOptsEnum)

// How a temporary copy would be deleted; the component's own temporary files go for good.
enum THowToDelete { htdFinal, htdAllowUndo };

enum ExtrOptsEnum : quint32 {
    ExtrDirNames = 1u << 0,
    ExtrOverWrite = 1u << 1,
    ExtrFreshen = 1u << 2,
    ExtrUpdate = 1u << 3,
    ExtrTest = 1u << 4,
};
Q_DECLARE_FLAGS(ExtrOpts, ExtrOptsEnum)

// Progress kinds of OnProgress.
enum ZipProgressKind {
    kProgressNewFile = 0,
    kProgressBytes = 1,
    kProgressEndBatch = 2,
    kProgressFileCount = 3,
    kProgressByteCount = 4,
};

class TZipComponent
{
public:
    TZipComponent() = default;
    TZipComponent(const TZipComponent&) = delete;
    TZipComponent& operator=(const TZipComponent&) = delete;

    const QString& ZipFilename() const { return m_zipFilename; }
    // Lists the archive at once (empty: no archive).
    void SetZipFilename(const QString& name);

    QStringList FSpecArgs;  // emptied after each Add and Extract that reached its library call
    AddOpts AddOptions;
    ExtrOpts ExtrOptions;
    QString ExtrBaseDir;
    QString Password;  // at most 255 characters; the libraries get the first 80
    int AddCompLevel = 9;
    bool Unattended = false;
    bool Verbose = false;
    QString DLLDirectory;  // unused: the libraries are linked in
    QString TempDir;
    // Traditional PKWARE encryption reads in every unzip tool; AES-256 is the stronger choice.
    ZipEncryption EncryptionMethod = ZipEncryption::Traditional;
    int CompressThreads = 0;  // entries compressed at once by Add; 0: one per core

    // Spanned sets: the largest part (0: as much as the volume takes), the least a medium must
    // offer, and room left on the first.
    qint64 MaxVolumeSize = 0;
    qint64 MinFreeVolumeSize = 65536;
    qint64 KeepFreeOnDisk1 = 0;
    bool ConfirmErase = false;  // no medium is erased: parts are written beside what it holds
    THowToDelete HowToDelete = htdAllowUndo;
    // The volume that takes or holds the parts; tests stand in their own.
    SpanVolume SpanVolumeInfo = SystemSpanVolume();
    // Self-extracting archives: an archive name ending in ".EXE".
    QString SFXPath = QString::fromLatin1(kSfxStubName);
    QString SFXCaption = core::Text(span::kSfxCaption);
    QString SFXDefaultDir;
    QString SFXCommandLine;
    SFXOpts SFXOptions = SFXCheckSize;
    SFXOverWriteModes SFXOverWriteMode = SFXOverWriteModes::OvrConfirm;

    const std::vector<ZipDirEntry>& DirEntries() const { return m_entries; }
    int EntryCount() const { return int(m_entries.size()); }
    int SuccessCount() const { return m_successCount; }
    int ErrCode() const { return m_errCode; }
    const QString& Message() const { return m_message; }
    const QByteArray& ArchiveComment() const { return m_comment; }
    // The archive is the last part of a spanned set.
    bool Spanned() const { return m_spanned; }

    void Add();
    void Extract();
    // Rebuilds the spanned set into one archive at `tempArchive` (removed again on failure), so
    // that several passes over it need the media once.
    bool RebuildSet(const QString& tempArchive);
    bool Busy() const { return m_busy; }

    // Stops a running Add or Extract at its next step; from any thread.
    void Cancel() { m_cancel.store(true); }
    // A flag of the owner's (a job's) that also stops the run.
    void SetCancelFlag(const std::atomic<bool>* flag) { m_externalCancel = flag; }

    std::function<void(TZipComponent* sender, int progrType, const QString& filename, qint64 fileSize)> OnProgress;
    std::function<void(TZipComponent* sender, int errCode, const QString& message)> OnMessage;
    std::function<void(TZipComponent* sender)> OnDirUpdate;
    // Shows one of the component's own messages when it is not Unattended (a message box).
    std::function<void(const QString& message)> ShowMessage;
    // Asks the user about media of a spanned set; unset, every question is cancelled.
    std::function<SpanAnswer(const SpanQuestion& question)> OnSpanQuestion;

    // The text of one of the component's numbered messages (%s / %d filled with arg).
    static QString MessageText(int number, int arg = 0);

private:
    void ListArchive();
    void GiveMessage(int number, int arg = 0, bool show = true);
    void Say(int number, const QString& text, bool show);
    void GiveOutcome(const SpanOutcome& outcome);
    SpanParams SpanSettings();
    bool Rebuild(const QString& tempArchive);
    // The stub, its header and an empty archive in a new ".EXE" file; false after a message.
    bool StartSfx();
    bool LibCallback(const ZipCallbackRecord& record);
    bool Cancelled() const;

    QString m_zipFilename;
    std::vector<ZipDirEntry> m_entries;
    QByteArray m_comment;
    int m_successCount = 0;
    int m_errCode = 0;
    QString m_message;
    bool m_busy = false;
    bool m_spanned = false;
    std::atomic<bool> m_cancel{false};
    const std::atomic<bool>* m_externalCancel = nullptr;
};

} // namespace corvane::zip

Q_DECLARE_OPERATORS_FOR_FLAGS(corvane::zip::AddOpts)
Q_DECLARE_OPERATORS_FOR_FLAGS(corvane::zip::ExtrOpts)
