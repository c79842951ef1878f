// CorvaneSFX.bin: the program in front of a self-extracting archive. It reads the 256-byte
// header that follows it, asks in the terminal where to extract (or, without a terminal, uses the
// default folder), extracts the archive behind the header and runs the command it names.
//
//   program [-d folder]     -d: extract there without asking for a folder
#include "SfxArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace corvane::sfx;

namespace {

bool g_terminal = false;

std::string AskLine(const std::string& prompt)
{
    std::cout << prompt << std::flush;
    std::string line;
    if (!std::getline(std::cin, line))
        return {};
    return line;
}

bool AskYes(const std::string& prompt, bool byDefault)
{
    const std::string a = AskLine(prompt + (byDefault ? " [Y/n] " : " [y/N] "));
    if (a.empty())
        return byDefault;
    return a[0] == 'y' || a[0] == 'Y';
}

int RunCommand(const std::string& command, const std::string& folder)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0)
            ::_exit(127);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Fail(const std::string& what)
{
    std::cerr << "CorvaneSFX: " << what << "\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder;
    bool folderGiven = false;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "-d") == 0 && k + 1 < argc) {
            folder = argv[++k];
            folderGiven = true;
        } else {
            return Fail(std::string("unknown argument ") + argv[k] + "\nusage: " + argv[0] + " [-d folder]");
        }
    }
    g_terminal = ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);

    const int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return Fail("cannot read this program's own file");
    const uint64_t size = uint64_t(st.st_size);
    const ReadAt readAt = FileReadAt(fd);
    std::vector<unsigned char> head(4096);
    const int64_t got = readAt(0, head.data(), head.size());
    const uint64_t end = got > 0 ? ElfEnd(head.data(), size_t(got), size) : 0;
    std::vector<unsigned char> headerBytes(kHeaderSize);
    Header header;
    if (end == 0 || readAt(end, headerBytes.data(), kHeaderSize) != int64_t(kHeaderSize)
        || !ParseHeader(headerBytes.data(), kHeaderSize, header))
        return Fail("this program carries no archive");

    Archive archive;
    std::string error;
    if (!archive.open(readAt, end + kHeaderSize, size, header.checkSize, error))
        return Fail(error);

    std::cout << (header.caption.empty() ? std::string("Self-extracting Archive") : header.caption) << "\n\n";
    if (!g_terminal && header.askFiles && !folderGiven)
        return Fail("choosing the files to extract needs a terminal");

    if (!folderGiven) {
        folder = header.defaultDir.empty() ? std::string(".") : header.defaultDir;
        if (g_terminal) {
            const std::string a = AskLine("Extract to folder [" + folder + "]: ");
            if (!a.empty())
                folder = a;
        }
    }
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return Fail("cannot make the folder " + folder + ": " + std::strerror(errno));

    ExtractOptions options;
    options.folder = folder;
    options.overwrite = header.overwriteAlways ? Overwrite::Always : header.overwriteNever ? Overwrite::Never : Overwrite::Ask;
    if (g_terminal && !header.hideOverwriteBox && options.overwrite == Overwrite::Ask) {
        const std::string a = AskLine("Existing files: (a)sk for each, (o)verwrite all, (k)eep all [a]: ");
        if (!a.empty() && a[0] == 'o')
            options.overwrite = Overwrite::Always;
        else if (!a.empty() && a[0] == 'k')
            options.overwrite = Overwrite::Never;
    }
    // Without a terminal nobody can be asked: existing files are kept.
    options.askOverwrite = [](const std::string& name) { return g_terminal && AskYes("Replace " + name + "?", false); };
    if (g_terminal && header.askFiles && !AskYes("Extract all files?", true))
        options.wanted = [](const Entry& e) { return e.isFolder() || AskYes("Extract " + e.name + "?", true); };
    options.say = [](const std::string& line) { std::cout << line << "\n"; };

    const ExtractResult r = ExtractAll(archive, options);
    std::cout << "\n" << r.extracted << " file(s) extracted to " << folder;
    if (r.skipped)
        std::cout << ", " << r.skipped << " skipped";
    if (r.failed)
        std::cout << ", " << r.failed << " failed";
    std::cout << "\n";

    if (!header.commandLine.empty() && r.failed == 0) {
        bool run = header.autoRun;
        if (!run && header.askCmdLine && g_terminal)
            run = AskYes("Run \"" + header.commandLine + "\"?", false);
        if (run)
            RunCommand(header.commandLine, folder);
    }
    ::close(fd);
    return r.failed ? 1 : 0;
}
