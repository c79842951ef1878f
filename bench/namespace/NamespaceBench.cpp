// Enumerating a 100,000-file folder through the namespace (ID lists, attributes, display
// names) next to find(1) printing size, time and name of every entry, on the same folder.
//
//   build/bench/bench_namespace [--files=N] [--dir=PATH]
#include "platform/IdListFormat.h"
#include "platform/Namespace.h"

#include <QDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::platform;

namespace {

std::string g_dir;

void makeFolder(const std::string& dir, int files)
{
    ::mkdir(dir.c_str(), 0755);
    std::string marker = dir + "/.complete-" + std::to_string(files);
    if (::access(marker.c_str(), F_OK) == 0)
        return;
    for (int i = 0; i < files; ++i) {
        std::string name = dir + "/file" + std::to_string(i) + (i % 3 ? ".txt" : ".png");
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            if (i % 7 == 0 && ::write(fd, "some bytes", 10) < 0)
                std::perror("write");
            ::close(fd);
        }
    }
    for (int i = 0; i < files / 100; ++i)
        ::mkdir((dir + "/folder" + std::to_string(i)).c_str(), 0755);
    ::close(::open(marker.c_str(), O_WRONLY | O_CREAT, 0644));
}

void BM_NamespaceEnumerate(benchmark::State& state)
{
    PItemIDList abs;
    ShellFolderPtr folder;
    if (Failed(SHGetDesktopFolder()->ParseDisplayName(QString::fromStdString(g_dir), abs))
        || Failed(SHGetDesktopFolder()->BindToObject(abs, folder))) {
        state.SkipWithError("cannot bind the folder");
        return;
    }
    size_t items = 0;
    for (auto _ : state) {
        std::unique_ptr<IEnumIDList> e;
        folder->EnumObjects(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, e);
        PItemIDList rel;
        items = 0;
        while (e->Next(rel) == S_OK) {
            std::uint32_t attrs = 0xF00F0037;  // the list's attribute request, read-only bit included
            std::array<PItemIDList, 1> one{rel};
            folder->GetAttributesOf(one, attrs);
            QString name;
            folder->GetDisplayNameOf(rel, SHGDN_INFOLDER, name);
            benchmark::DoNotOptimize(attrs);
            benchmark::DoNotOptimize(name);
            ++items;
        }
    }
    state.counters["items"] = double(items);
}

void BM_Find(benchmark::State& state)
{
    std::string cmd = "find '" + g_dir + "' -maxdepth 1 -printf '%s %T@ %f\\n' > /dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("find failed");
    }
}

} // namespace

BENCHMARK(BM_NamespaceEnumerate)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Find)->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char** argv)
{
    int files = 100000;
    g_dir = QDir::tempPath().toStdString() + "/corvane-bench-100k";
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--files=", 0) == 0)
            files = std::atoi(a.c_str() + 8);
        else if (a.rfind("--dir=", 0) == 0)
            g_dir = a.substr(6);
        else
            rest.push_back(argv[i]);
    }
    makeFolder(g_dir, files);
    int n = int(rest.size());
    benchmark::Initialize(&n, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
