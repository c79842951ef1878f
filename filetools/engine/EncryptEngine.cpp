#include "EncryptEngine.h"

#include "Burn.h"
#include "CryptFormat.h"
#include "EncryptTexts.h"

#include <QRandomGenerator>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::filetools {

namespace C = EncryptConsts;

namespace {

// QString path -> bytes for the system calls; U+DC80..U+DCFF stand for the raw bytes
// 0x80..0xFF of a name that is not UTF-8.
QByteArray PathBytes(const QString& path)
{
    QByteArray out;
    out.reserve(path.size() * 3);
    const auto putUtf8 = [&out](char32_t cp) {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < path.size() && QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            putUtf8(QChar::surrogateToUcs4(c, path.at(i + 1).unicode()));
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += char(c - 0xDC00);
        } else if (QChar::isSurrogate(c)) {
            putUtf8(0xFFFD); // no file name can hold it, so the open fails and is reported
        } else {
            putUtf8(c);
        }
    }
    return out;
}

// The path as a message shows it: escaped bytes and control characters as U+FFFD.
QString ReadablePath(const QString& path)
{
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t c = out.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < out.size() && QChar::isLowSurrogate(out.at(i + 1).unicode()))
            ++i;
        else if (QChar::isSurrogate(c) || c < 0x20 || c == 0x7F)
            out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

QString SystemMessage(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

QString WithSlash(const QString& folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

bool IsPlainName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) { }
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Reads until the buffer is full or the file ends, so that only the last chunk of a file
// can hold a partial block. Returns the count, or -1 with errno set.
ssize_t ReadFull(int fd, std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return ssize_t(done);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// A new file under a temporary name in the destination folder; removed unless committed.
class TempFile
{
public:
    explicit TempFile(int dirFd) : m_dirFd(dirFd) { }
    ~TempFile()
    {
        m_fd.reset();
        if (!m_name.isEmpty())
            ::unlinkat(m_dirFd, m_name.constData(), 0);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool create()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name =
                ".corvane-" + QByteArray::number(QRandomGenerator::system()->generate64(), 16) + ".part";
            // 0666 less the umask, as any new file gets.
            const int fd = ::openat(m_dirFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (fd >= 0) {
                m_fd.reset(fd);
                m_name = name;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }
    int fd() const { return m_fd.get(); }
    // Closes and reports a late write error (such as a full disk on a network file system).
    bool close()
    {
        const int fd = m_fd.release();
        return ::close(fd) == 0 || errno == EINTR;
    }
    bool commit(const QByteArray& finalName)
    {
        if (::renameat(m_dirFd, m_name.constData(), m_dirFd, finalName.constData()) != 0)
            return false;
        m_name.clear();
        return true;
    }

private:
    int m_dirFd;
    UniqueFd m_fd;
    QByteArray m_name;
};

} // namespace

CryptMode CryptModeFromLetter(const QString& letter)
{
    return letter == u"E" ? CryptMode::Encrypt : CryptMode::Decrypt;
}

QString JoinCryptPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    return WithSlash(folder) + name;
}

QString CryptFailedMessage(CryptMode mode, const QString& sourcePath)
{
    return (mode == CryptMode::Encrypt ? C::sUnableToEncrypt : C::sUnableToDecrypt) + ReadablePath(sourcePath);
}

QString NotEncryptedMessage(const QString& sourcePath)
{
    return C::sUnableToDecrypt + ReadablePath(sourcePath) + QStringLiteral("\n\n") + C::sNotEncrypted1 + u'\n' + C::sNotEncrypted2;
}

QString CryptCountMessage(CryptMode mode, int count)
{
    return QString::number(count) + C::sFilesDone + (mode == CryptMode::Encrypt ? C::sEncrypted : C::sDecrypted);
}

QString CheckCryptRun(const CryptRunInput& input)
{
    if (input.passPhrase.isEmpty())
        return C::sMustEnter + (input.mode == CryptMode::Encrypt ? C::sAnEncryptionKey : C::sADecryptionKey);
    if (input.destFolder.isEmpty() || input.destIsTopItem)
        return C::sSelectDestination;
    if (WithSlash(input.destFolder) == WithSlash(input.sourceFolder))
        return C::sSameFolder;
    // The same folder reached by another path (a link, "..", a bind mount) would let the
    // encrypted copy replace its own source.
    struct stat dest{}, source{};
    if (::stat(PathBytes(input.destFolder).constData(), &dest) == 0
        && ::stat(PathBytes(input.sourceFolder).constData(), &source) == 0 && dest.st_dev == source.st_dev
        && dest.st_ino == source.st_ino)
        return C::sSameFolder;
    return {};
}

CryptFileResult CryptFile(CryptMode mode, const QString& sourcePath, const QString& destPath,
                          const QByteArray& passPhraseBytes, const CryptProgress& onProgress, qsizetype fileIndex)
{
    using S = CryptFileResult::Status;
    const qsizetype slash = destPath.lastIndexOf(u'/');
    const QString destFolder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : destPath.left(slash);
    const QString destName = destPath.mid(slash + 1);
    if (!IsPlainName(destName))
        return {S::Failed};

    // Read only: nothing is written to the source, so a read-only file encrypts too. Not
    // blocking keeps a FIFO among the names from hanging the run; it is refused below.
    UniqueFd source(::open(PathBytes(sourcePath).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat sourceInfo{};
    if (!source || ::fstat(source.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return {S::Failed};
    ::posix_fadvise(source.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    FileKey key(passPhraseBytes);
    Blowfish& cipher = key.cipher();

    std::array<std::uint8_t, kCryptChunkSize> buffer;
    struct BufferBurner
    {
        std::array<std::uint8_t, kCryptChunkSize>& b;
        ~BufferBurner() { BurnBytes(b.data(), b.size()); }
    } burner{buffer};

    if (mode == CryptMode::Decrypt) {
        const ssize_t n = ReadFull(source.get(), buffer.data(), kCheckBlockSize);
        if (n < 0)
            return {S::IoError, errno};
        if (std::size_t(n) < kCheckBlockSize
            || std::memcmp(buffer.data(), key.checkBlock().data(), kCheckBlockSize) != 0)
            return {S::NotEncrypted};
    }

    UniqueFd destDir(::open(PathBytes(destFolder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!destDir)
        return {S::Failed};
    const QByteArray destNameBytes = PathBytes(destName);
    struct stat existing{};
    const bool replacing = ::fstatat(destDir.get(), destNameBytes.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (replacing && S_ISDIR(existing.st_mode))
        return {S::Failed};
    TempFile dest(destDir.get());
    if (!dest.create())
        return {S::Failed};
    if (replacing && S_ISREG(existing.st_mode))
        ::fchmod(dest.fd(), existing.st_mode & 0777);

    if (mode == CryptMode::Encrypt && !WriteAll(dest.fd(), key.checkBlock().data(), kCheckBlockSize))
        return {S::IoError, errno};

    // Progress counts source bytes, so a decryption starts after the check block.
    const qint64 total = sourceInfo.st_size;
    qint64 done = mode == CryptMode::Decrypt ? qint64(kCheckBlockSize) : 0;
    if (onProgress && !onProgress(fileIndex, done, total))
        return {S::Cancelled};
    for (unsigned chunk = 1;; ++chunk) {
        const ssize_t n = ReadFull(source.get(), buffer.data(), buffer.size());
        if (n < 0)
            return {S::IoError, errno};
        if (mode == CryptMode::Encrypt)
            cipher.encryptChain(buffer.data(), std::size_t(n));
        else
            cipher.decryptChain(buffer.data(), std::size_t(n));
        if (!WriteAll(dest.fd(), buffer.data(), std::size_t(n)))
            return {S::IoError, errno};
        done += n;
        if (std::size_t(n) < buffer.size())
            break;
        // 128 chunks: a mebibyte, often enough for a progress bar, rare enough to cost nothing.
        if (onProgress && chunk % 128 == 0 && !onProgress(fileIndex, done, total))
            return {S::Cancelled};
    }
    cipher.burn();
    if (!dest.close())
        return {S::IoError, errno};
    if (!dest.commit(destNameBytes))
        return {S::Failed};
    if (onProgress)
        onProgress(fileIndex, done, total);
    return {S::Done};
}

CryptRunResult RunCrypt(const CryptRunInput& input, const CryptMessageSink& onMessage, const CryptProgress& onProgress)
{
    using R = CryptRunResult::Status;
    using F = CryptFileResult::Status;
    const auto report = [&onMessage](CryptMessage::Icon icon, QString caption, QString text) {
        if (onMessage)
            onMessage(CryptMessage{icon, std::move(caption), std::move(text)});
    };

    const QString problem = CheckCryptRun(input);
    if (!problem.isEmpty()) {
        report(CryptMessage::Icon::Warning, C::sCaptionError, problem);
        return {R::Rejected, 0};
    }

    CryptRunResult result{R::Completed, 0};
    QByteArray passBytes = PassPhraseBytes(input.passPhrase);
    for (qsizetype i = 0; i < input.names.size(); ++i) {
        const QString& name = input.names.at(i);
        const QString source = JoinCryptPath(input.sourceFolder, name);
        const QString dest = JoinCryptPath(input.destFolder, name);
        const CryptFileResult file = IsPlainName(name)
            ? CryptFile(input.mode, source, dest, passBytes, onProgress, i)
            : CryptFileResult{F::Failed};
        switch (file.status) {
        case F::Done:
            ++result.filesDone;
            break;
        case F::Failed:
            report(CryptMessage::Icon::Warning, C::sCaptionError, CryptFailedMessage(input.mode, source));
            break;
        case F::NotEncrypted:
            report(CryptMessage::Icon::Warning, C::sCaptionError, NotEncryptedMessage(source));
            break;
        case F::IoError:
            report(CryptMessage::Icon::Critical, C::sCaptionProgram, SystemMessage(file.error));
            result.status = R::Aborted;
            break;
        case F::Cancelled:
            result.status = R::Cancelled;
            break;
        }
        if (result.status != R::Completed)
            break;
    }
    BurnBytes(passBytes.data(), std::size_t(passBytes.size()));

    if (result.status == R::Completed)
        report(CryptMessage::Icon::Information, C::sCaptionProgram, CryptCountMessage(input.mode, result.filesDone));
    return result;
}

} // namespace corvane::filetools
