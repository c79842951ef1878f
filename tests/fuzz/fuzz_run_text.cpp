// Arbitrary bytes as a run text, a user tool's command, a typed folder and a network address.
// Nothing is started: only the splitting and resolving are run. Must never crash; the split
// of a run text must give the text back; a resolved path is absolute and clean.
#include "platform/Launch.h"
#include "platform/LaunchMount.h"
#include "platform/NameCodec.h"

#include <QDir>
#include <cstdint>
#include <cstdlib>

using namespace corvane::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = DecodeName(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    const RunText run = SplitRunText(text);
    const QString joined = text.contains(QLatin1Char(' ')) ? run.program + QLatin1Char(' ') + run.parameters : run.program;
    if (joined != text || run.program.contains(QLatin1Char(' ')))
        std::abort();

    // Every word's bytes survive the way to the started program (quotes removed between two
    // stray bytes may join them into a character: the bytes stay the same).
    for (const QString& word : SplitArguments(text)) {
        const QByteArray bytes = EncodeName(word);
        if (EncodeName(DecodeName(bytes)) != bytes)
            std::abort();
    }

    const QString resolved = ResolveTypedPath(text, QStringLiteral("/srv/base"));
    if (!resolved.isEmpty() && (!resolved.startsWith(QLatin1Char('/')) || resolved != QDir::cleanPath(resolved)))
        std::abort();

    (void)LooksLikeUri(text);
    (void)IsNetworkAddress(text);
    return 0;
}
