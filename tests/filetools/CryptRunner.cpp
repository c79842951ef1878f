// Usage: filetools_crypt_runner MODE PASSPHRASE SOURCEFOLDER DESTFOLDER NAME...
// Runs the encrypt/decrypt engine and prints each message as "caption|text" on one line
// (line breaks inside a text as "\n"), then "status N" with the run's status and count.
#include "filetools/engine/EncryptEngine.h"

#include <cstdio>

using namespace corvane::filetools;

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s MODE PASSPHRASE SOURCEFOLDER DESTFOLDER NAME...\n", argv[0]);
        return 2;
    }
    CryptRunInput input;
    input.mode = CryptModeFromLetter(QString::fromUtf8(argv[1]));
    input.passPhrase = QString::fromUtf8(argv[2]);
    input.sourceFolder = QString::fromUtf8(argv[3]);
    input.destFolder = QString::fromUtf8(argv[4]);
    for (int i = 5; i < argc; ++i)
        input.names << QString::fromUtf8(argv[i]);

    const CryptRunResult result = RunCrypt(input, [](const CryptMessage& m) {
        QString text = m.text;
        text.replace(u'\n', QStringLiteral("\\n"));
        std::printf("%s|%s\n", qPrintable(m.caption), qPrintable(text));
    });
    std::printf("status %d %d\n", int(result.status), result.filesDone);
    return 0;
}
