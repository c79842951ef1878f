// One batch copy, for profiling: batch_copy_once SOURCE DESTINATION
#include "filetools/engine/BatchCopyEngine.h"
#include "filetools/engine/ToolJob.h"

#include <QCoreApplication>

#include <cstdio>

using namespace corvane::filetools;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE DESTINATION\n", argv[0]);
        return 2;
    }
    ToolJob job([&](ToolJob& j) { RunBatchCopy(argv[1], argv[2], j); });
    job.run();
    for (const QString& m : job.Messages())
        std::fprintf(stderr, "%s\n", qPrintable(m));
    return job.Messages().isEmpty() ? 0 : 1;
}
