// Usage: crypt_file E|D PASSPHRASE SOURCE DESTINATION
// Encrypts or decrypts one file as the dialog does, for timing whole runs.
#include "filetools/engine/CryptFormat.h"
#include "filetools/engine/EncryptEngine.h"

#include <cstdio>

using namespace corvane::filetools;

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s E|D PASSPHRASE SOURCE DESTINATION\n", argv[0]);
        return 2;
    }
    const CryptFileResult r = CryptFile(CryptModeFromLetter(QString::fromUtf8(argv[1])), QString::fromUtf8(argv[3]),
                                        QString::fromUtf8(argv[4]), PassPhraseBytes(QString::fromUtf8(argv[2])));
    if (r.status != CryptFileResult::Status::Done) {
        std::fprintf(stderr, "failed: status %d, error %d\n", int(r.status), r.error);
        return 1;
    }
    return 0;
}
