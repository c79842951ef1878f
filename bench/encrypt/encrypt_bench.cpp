// In-memory throughput of the chaining mode over one file chunk, and the cost of deriving
// a file key (SHA-1 plus the Blowfish key schedule), which every file pays once.
#include "filetools/engine/CryptFormat.h"

#include <benchmark/benchmark.h>
#include <vector>

using namespace corvane::filetools;

namespace {

void BM_EncryptChunk(benchmark::State& state)
{
    FileKey key(QByteArray("benchmark"));
    std::vector<std::uint8_t> chunk(kCryptChunkSize, 0x5A);
    for (auto _ : state) {
        key.cipher().encryptChain(chunk.data(), chunk.size());
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(chunk.size()));
}
BENCHMARK(BM_EncryptChunk);

void BM_DecryptChunk(benchmark::State& state)
{
    FileKey key(QByteArray("benchmark"));
    std::vector<std::uint8_t> chunk(kCryptChunkSize, 0x5A);
    for (auto _ : state) {
        key.cipher().decryptChain(chunk.data(), chunk.size());
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(chunk.size()));
}
BENCHMARK(BM_DecryptChunk);

void BM_FileKey(benchmark::State& state)
{
    const QByteArray pass("a pass phrase of ordinary length");
    for (auto _ : state) {
        FileKey key(pass);
        benchmark::DoNotOptimize(key.checkBlock().data());
    }
}
BENCHMARK(BM_FileKey);

} // namespace

BENCHMARK_MAIN();
