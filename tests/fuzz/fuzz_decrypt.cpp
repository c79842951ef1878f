// Arbitrary bytes as an encrypted file for the decryptor (seeds in corpus_decrypt/).
// Input: a flags byte, a length byte n, then n bytes of pass phrase (n mod 17), then the
// file. Flag 1 puts the right check block in front of the file, so that its body is
// decrypted too; flag 2 takes the next 12 bytes as the file's name (any bytes, "/" and
// ".." included) and goes through the whole run instead of one file.
// Must never crash, leave a file behind when it fails, or write outside the destination;
// a decrypted file must encrypt back to the same bytes.
#include "filetools/engine/CryptFormat.h"
#include "filetools/engine/EncryptEngine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace corvane::filetools;

namespace {

std::string g_root;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_decrypt: %s\n", what);
        std::abort();
    }
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                names.emplace_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Check(fd >= 0, "cannot write the input");
    Check(::write(fd, data, size) == ssize_t(size), "short write of the input");
    ::close(fd);
}

std::string ReadFile(const std::string& path)
{
    std::string all;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return all;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        all.append(buffer, std::size_t(n));
    ::close(fd);
    return all;
}

// Raw name bytes as the file list carries them: bytes above 0x7F as U+DC80..U+DCFF.
QString EscapedName(const std::string& bytes)
{
    QString name;
    for (unsigned char c : bytes)
        name += c < 0x80 ? QChar(c) : QChar(char16_t(0xDC00 + c));
    return name;
}

void ClearFolder(const std::string& folder)
{
    for (const std::string& n : Entries(folder))
        ::unlink((folder + "/" + n).c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char templ[] = "/tmp/corvane-fuzz-decrypt.XXXXXX";
    Check(::mkdtemp(templ) != nullptr, "mkdtemp");
    g_root = templ;
    ::mkdir((g_root + "/src").c_str(), 0755);
    ::mkdir((g_root + "/dst").c_str(), 0755);
    ::mkdir((g_root + "/back").c_str(), 0755);
    std::atexit([] {
        for (const char* f : {"/src", "/dst", "/back"}) {
            ClearFolder(g_root + f);
            ::rmdir((g_root + f).c_str());
        }
        ::rmdir(g_root.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint8_t flags = data[0];
    const std::size_t passSize = std::min<std::size_t>(data[1] % 17, size - 2);
    const QByteArray pass(reinterpret_cast<const char*>(data + 2), qsizetype(passSize));
    data += 2 + passSize;
    size -= 2 + passSize;

    std::string name = "in\xff.enc";
    const bool wholeRun = flags & 2;
    if (wholeRun) {
        const std::size_t n = std::min<std::size_t>(12, size);
        name.assign(reinterpret_cast<const char*>(data), n);
        data += n;
        size -= n;
    }

    std::string file(reinterpret_cast<const char*>(data), size);
    FileKey key(pass);
    if ((flags & 1) && file.size() >= kCheckBlockSize)
        file.replace(0, kCheckBlockSize, reinterpret_cast<const char*>(key.checkBlock().data()), kCheckBlockSize);
    const bool headerMatches = file.size() >= kCheckBlockSize
        && std::memcmp(file.data(), key.checkBlock().data(), kCheckBlockSize) == 0;

    const std::string src = g_root + "/src", dst = g_root + "/dst", back = g_root + "/back";
    const bool plainName = !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\0') == std::string::npos;
    // A name that is not plain cannot be written as a file; the engine must refuse it.
    const std::string written = plainName ? name : "in\xff.enc";
    WriteFile(src + "/" + written, reinterpret_cast<const std::uint8_t*>(file.data()), file.size());

    const QString qsrc = QString::fromUtf8(src.c_str()), qdst = QString::fromUtf8(dst.c_str());
    // The run types its pass phrase: its bytes are those of the Latin-1 text only when the
    // pass phrase maps back to them.
    const QString phrase = QString::fromLatin1(pass);
    const bool expectDone = headerMatches && plainName
        && (!wholeRun || (!phrase.isEmpty() && PassPhraseBytes(phrase) == pass));
    bool done;
    if (wholeRun) {
        int messages = 0;
        const CryptRunResult r = RunCrypt(CryptRunInput{CryptMode::Decrypt, phrase, qsrc, qdst, false, {EscapedName(name)}},
                                          [&messages](const CryptMessage&) { ++messages; });
        Check(messages >= 1, "a run without a message");
        done = r.filesDone == 1;
    } else {
        const CryptFileResult r = CryptFile(CryptMode::Decrypt, qsrc + "/" + EscapedName(name),
                                            qdst + "/" + EscapedName(name), pass);
        done = r.status == CryptFileResult::Status::Done;
    }
    Check(done == expectDone, done ? "decrypted what it should have refused" : "refused a matching file");

    const std::vector<std::string> rootEntries = Entries(g_root);
    Check(rootEntries.size() == 3, "something was written beside the folders");
    const std::vector<std::string> srcEntries = Entries(src);
    Check(srcEntries.size() == 1 && srcEntries[0] == written, "the source folder changed");
    Check(ReadFile(src + "/" + written) == file, "the source changed");
    const std::vector<std::string> out = Entries(dst);
    if (done) {
        Check(out.size() == 1 && out[0] == name, "the destination holds other files");
        const std::string plain = ReadFile(dst + "/" + name);
        Check(plain.size() == file.size() - kCheckBlockSize, "decrypted size");
        const CryptFileResult again = CryptFile(CryptMode::Encrypt, QString::fromUtf8((dst + "/").c_str()) + EscapedName(name),
                                                QString::fromUtf8((back + "/").c_str()) + EscapedName(name), pass);
        Check(again.status == CryptFileResult::Status::Done, "encrypting back failed");
        Check(ReadFile(back + "/" + name) == file, "encrypting back gave other bytes");
    } else {
        Check(out.empty(), "a refused file left something behind");
    }
    ClearFolder(src);
    ClearFolder(dst);
    ClearFolder(back);
    return 0;
}
