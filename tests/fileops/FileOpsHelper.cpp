// Runs one copy with the engine and prints every error question, answering "skip". The tests
// start it as an unprivileged user, where file permissions apply.
#include "platform/FileOperation.h"

#include <QCoreApplication>

#include <cstdio>

using namespace corvane::platform;

int main(int argc, char** argv)
{
    // The job asks its questions on the application's thread, which is this one.
    QCoreApplication app(argc, argv);
    if (argc != 4 || QByteArray(argv[1]) != "copy") {
        std::fprintf(stderr, "usage: fileops_helper copy SOURCE TARGET_FOLDER\n");
        return 2;
    }
    auto op = CopyFiles({QByteArray(argv[2])}, QByteArray(argv[3]));
    op->setErrorHandler([](const ErrorQuestion& q) {
        std::printf("error\t%d\t%s\t%s\n", q.errorCode, q.message.toLocal8Bit().constData(), q.path.constData());
        return ErrorAnswer{ErrorAction::Skip, false};
    });
    op->run();
    std::printf("status\t%d\n", int(op->result().status));
    return 0;
}
