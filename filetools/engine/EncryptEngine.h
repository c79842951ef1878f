#pragma once
// Everything the encrypt/decrypt dialog does that is not a widget: the OK button's checks,
// the run over the listed files, each file's encryption or decryption, and the messages.
//
// Paths are QStrings in which bytes of a file name that are not valid UTF-8 are carried as
// lone surrogates U+DC80..U+DCFF, so that every name the file system can hold works.
// Nothing here touches widgets; a dialog may call it from a worker thread.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

namespace corvane::filetools {

enum class CryptMode { Encrypt, Decrypt };

// The dialog's mode letter: "E" encrypts, anything else decrypts.
CryptMode CryptModeFromLetter(const QString& letter);

struct CryptMessage
{
    enum class Icon { Information, Warning, Critical };
    Icon icon = Icon::Warning;
    QString caption;
    QString text;
};

using CryptMessageSink = std::function<void(const CryptMessage&)>;
// Called as a file starts, about every mebibyte and when it ends; returning false cancels
// the run (the partial destination is removed).
using CryptProgress = std::function<bool(qsizetype fileIndex, qint64 bytesDone, qint64 fileSize)>;

// What the dialog holds when its OK button is pressed.
struct CryptRunInput
{
    CryptMode mode = CryptMode::Encrypt;
    QString passPhrase;
    QString sourceFolder;
    QString destFolder;         // empty when the destination tree has no folder path selected
    bool destIsTopItem = false; // the destination tree's first item is selected
    QStringList names;          // the file names of lstFiles, in list order
};

struct CryptRunResult
{
    enum class Status {
        Rejected,  // a check failed; the dialog stays open
        Completed, // every name was tried and the count was reported; the dialog closes
        Aborted,   // an input/output error ended the run
        Cancelled, // the progress callback asked to stop
    };
    Status status = Status::Completed;
    int filesDone = 0;
};

// The OK button's checks in their order: the first failure's message, or an empty text.
QString CheckCryptRun(const CryptRunInput& input);

// Runs the checks, then every listed name; reports each message through the sink and ends
// with the count message unless the run was rejected, aborted or cancelled.
CryptRunResult RunCrypt(const CryptRunInput& input, const CryptMessageSink& onMessage,
                        const CryptProgress& onProgress = {});

struct CryptFileResult
{
    enum class Status {
        Done,
        Failed,       // the source could not be opened or the destination not created
        NotEncrypted, // wrong pass phrase, or not an encrypted file
        IoError,      // a read or write failed midway; no partial destination is left
        Cancelled,
    };
    Status status = Status::Done;
    int error = 0; // errno of an input/output error
};

// One file. The destination is created only after the source was opened (and, when
// decrypting, its check block matched), under a temporary name in the destination folder
// that is renamed into place once complete, so a failure leaves that folder as it was.
CryptFileResult CryptFile(CryptMode mode, const QString& sourcePath, const QString& destPath,
                          const QByteArray& passPhraseBytes, const CryptProgress& onProgress = {},
                          qsizetype fileIndex = 0);

// The folder, with "/" added unless it is empty or ends in one, followed by the name.
QString JoinCryptPath(const QString& folder, const QString& name);

// The messages of the run, for a path as the engine takes it.
QString CryptFailedMessage(CryptMode mode, const QString& sourcePath);
QString NotEncryptedMessage(const QString& sourcePath);
QString CryptCountMessage(CryptMode mode, int count);

} // namespace corvane::filetools
