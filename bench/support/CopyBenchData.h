#pragma once
// What the copy benchmarks share: running and timing shell commands, and the data they copy
// (a tree of small files and one big file of incompressible bytes, nothing sparse).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corvane::bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline void run(const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

inline double timed(const std::string& command)
{
    const auto start = Clock::now();
    run(command);
    return secondsSince(start);
}

// xorshift64: fast, and no run of zeros for a file system to skip.
inline void fill(std::vector<char>& buf, uint64_t& state)
{
    auto* words = reinterpret_cast<uint64_t*>(buf.data());
    for (size_t i = 0; i < buf.size() / 8; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        words[i] = state;
    }
}

inline void writeFile(const std::string& path, size_t size, uint64_t& state, std::vector<char>& buf)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    for (size_t done = 0; done < size;) {
        fill(buf, state);
        const size_t n = std::min(buf.size(), size - done);
        if (::write(fd, buf.data(), n) != ssize_t(n)) {
            std::perror(path.c_str());
            std::exit(1);
        }
        done += n;
    }
    ::close(fd);
}

// The options the copy benchmarks share: --dir FOLDER --repeat N --files N and a size in MB under
// the flag `mbFlag`. The parsed line is printed so a run can be repeated.
struct CopyBenchArgs {
    std::string dir = ".";
    int repeat = 3;
    long mb = 0;
    int files = 10000;
};

inline CopyBenchArgs parseCopyBenchArgs(int argc, char** argv, const char* mbFlag, long mbDefault)
{
    CopyBenchArgs a;
    a.mb = mbDefault;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--dir"))
            a.dir = argv[i + 1];
        else if (!std::strcmp(argv[i], "--repeat"))
            a.repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], mbFlag))
            a.mb = std::max(1L, std::atol(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--files"))
            a.files = std::max(1, std::atoi(argv[i + 1]));
    }
    std::printf("Reproduce: %s --dir '%s' --repeat %d %s %ld --files %d\n", argv[0], a.dir.c_str(), a.repeat, mbFlag, a.mb,
                a.files);
    return a;
}

struct CopyData {
    std::string root;        // holds tree/, big/big.bin and work/
    double treeBytes = 0;
};

// A fresh folder in dir with `files` small files (folders of 100, 1..8 KiB each) and one file of
// bigMb megabytes, synced to the disk.
inline CopyData makeCopyData(const std::string& dir, const char* prefix, int files, long bigMb)
{
    CopyData d;
    d.root = dir + "/" + prefix + "-XXXXXX";
    if (!::mkdtemp(d.root.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    char* real = ::realpath(d.root.c_str(), nullptr);
    d.root = real;
    std::free(real);

    std::vector<char> buf(1 << 20);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    run("mkdir -p '" + d.root + "/tree' '" + d.root + "/big' '" + d.root + "/work'");
    for (int i = 0; i < files; ++i) {
        const std::string folder = d.root + "/tree/d" + std::to_string(i / 100);
        if (i % 100 == 0)
            ::mkdir(folder.c_str(), 0755);
        const size_t size = 1024 + size_t(i * 2654435761u % 7168);
        std::vector<char> small(((size + 7) / 8) * 8);
        writeFile(folder + "/f" + std::to_string(i), size, state, small);
        d.treeBytes += double(size);
    }
    writeFile(d.root + "/big/big.bin", size_t(bigMb) << 20, state, buf);
    run("sync");
    return d;
}

} // namespace corvane::bench
