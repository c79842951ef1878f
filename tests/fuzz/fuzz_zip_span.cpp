// Arbitrary bytes as the parts of a spanned set for the set reader (seeds in corpus_zip_span/).
// The first byte gives the number of parts (1 to 4), the next two bytes per further part where it
// starts; the rest is the set's bytes. Must never crash, must remove its temporary archive when
// it fails, and a rebuilt archive must list with the ordinary reader.
#include "zip/engine/ZipSpan.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace corvane::zip;

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_zip_span: %s\n", what);
        std::abort();
    }
}

const QString& Folder()
{
    static const QString folder = [] {
        const QString f = QDir::tempPath() + QStringLiteral("/fuzz_zip_span.%1").arg(::getpid());
        QDir().mkpath(f);
        return f;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int parts = 1 + data[0] % 4;
    std::size_t at = 1;
    std::vector<std::size_t> cuts;
    for (int k = 1; k < parts && at + 2 <= size; ++k, at += 2)
        cuts.push_back(std::size_t(data[at] | data[at + 1] << 8));
    const QByteArray bytes(reinterpret_cast<const char*>(data + std::min(at, size)), qsizetype(size - std::min(at, size)));
    QDir(Folder()).removeRecursively();
    QDir().mkpath(Folder());
    qsizetype from = 0;
    for (int k = 0; k < parts; ++k) {
        const qsizetype to = k < int(cuts.size()) ? std::min<qsizetype>(bytes.size(), from + qsizetype(cuts[size_t(k)])) : bytes.size();
        QFile f(SpanPartName(Folder() + QStringLiteral("/set.zip"), k));
        Check(f.open(QIODevice::WriteOnly), "cannot write a part");
        f.write(bytes.mid(from, to - from));
        from = to;
    }
    const QString last = SpanPartName(Folder() + QStringLiteral("/set.zip"), parts - 1);
    const ZipListing listing = ListSpannedSet(last);
    Check(!listing.failed || listing.entries.empty(), "a failed listing kept entries");

    SpanParams params;
    params.volume.removable = [](const QString&) { return false; };
    params.volume.freeBytes = [](const QString&) -> qint64 { return -1; };
    const QString rebuilt = Folder() + QStringLiteral("/rebuilt.zip");
    const SpanOutcome outcome = ReadSpannedSet(last, rebuilt, params);
    if (!outcome.ok()) {
        Check(outcome.message != 0, "a failure without a message");
        Check(!QFile::exists(rebuilt), "the temporary archive stayed");
    } else {
        const ZipListing again = ReadZipDirectoryFile(rebuilt);
        Check(!again.failed, "the rebuilt archive does not list");
        Check(again.entries.size() == listing.entries.size(), "the rebuilt archive lost entries");
    }
    return 0;
}
