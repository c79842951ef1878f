#pragma once
// Corvane's encrypted file: a 32-byte key check block, then the plain bytes, both in the
// Blowfish chaining mode starting from the IV. Key K is the SHA-1 digest of the pass
// phrase padded to 32 bytes with 0xFF; the IV is the encryption of eight 0xFF bytes.
#include "Blowfish.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane::filetools {

inline constexpr std::size_t kCheckBlockSize = 32;
// Files are read and written in chunks of this size; every chunk but the last is a whole
// number of blocks, so chunking does not change the bytes.
inline constexpr std::size_t kCryptChunkSize = 8192;

// The bytes that are hashed for a pass phrase: Windows-1252 when every character has a
// code there (the single-byte code page of the files' origin, so their pass phrases keep
// working), UTF-8 otherwise, so that no two typed pass phrases collapse into one key.
QByteArray PassPhraseBytes(const QString& passPhrase);

// The cipher keyed from a pass phrase, chain block at the IV, and the check block that an
// encrypted file made with that pass phrase starts with. Burns everything on destruction.
class FileKey
{
public:
    explicit FileKey(const QByteArray& passPhraseBytes);
    ~FileKey();
    FileKey(const FileKey&) = delete;
    FileKey& operator=(const FileKey&) = delete;

    Blowfish& cipher() { return m_cipher; }
    const std::array<std::uint8_t, kCheckBlockSize>& checkBlock() const { return m_check; }

private:
    Blowfish m_cipher;
    std::array<std::uint8_t, kCheckBlockSize> m_check;
};

} // namespace corvane::filetools
