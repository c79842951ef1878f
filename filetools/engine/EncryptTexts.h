#pragma once
// Every text that the encrypt/decrypt dialog and its engine show, in one place.
#include <QLatin1String>

namespace corvane::filetools::EncryptConsts {

// Captions built from the mode: prefix + stem.
inline constexpr QLatin1String sWindowEn{"En"};
inline constexpr QLatin1String sWindowDe{"De"};
inline constexpr QLatin1String sWindowStem{"crypt Files"};
inline constexpr QLatin1String sOkEn{"&En"};
inline constexpr QLatin1String sOkDe{"&De"};
inline constexpr QLatin1String sOkStem{"crypt"};
inline constexpr QLatin1String sKeyEn{"En"};
inline constexpr QLatin1String sKeyDe{"De"};
inline constexpr QLatin1String sKeyStem{"cryption key:"};
inline constexpr QLatin1String sFilesHead{" Files to be "};
inline constexpr QLatin1String sFilesEn{"en"};
inline constexpr QLatin1String sFilesDe{"de"};
inline constexpr QLatin1String sFilesTail{"crypted "};
inline constexpr QLatin1String sCancel{"&Cancel"};
inline constexpr QLatin1String sNote{
    "NOTE: You must keep a record of this key, as it will be necessary in order to decrypt the files."};

// Message box captions.
inline constexpr QLatin1String sCaptionError{"Error"};
inline constexpr QLatin1String sCaptionProgram{"Corvane"};

// Checks of the OK button.
inline constexpr QLatin1String sMustEnter{"You must enter "};
inline constexpr QLatin1String sAnEncryptionKey{"an encryption key"};
inline constexpr QLatin1String sADecryptionKey{"a decryption key"};
inline constexpr QLatin1String sSelectDestination{"You must select a folder as the destination"};
inline constexpr QLatin1String sSameFolder{"Destination folder cannot be the same as source folder"};

// Per-file failures: the prefix is followed by the source path.
inline constexpr QLatin1String sUnableToEncrypt{"Unable to encrypt file "};
inline constexpr QLatin1String sUnableToDecrypt{"Unable to decrypt file "};
inline constexpr QLatin1String sNotEncrypted1{"Either it is not an encrypted file,"};
inline constexpr QLatin1String sNotEncrypted2{"or the decryption key is incorrect"};

// Final count: the number, then " files ", then the mode word.
inline constexpr QLatin1String sFilesDone{" files "};
inline constexpr QLatin1String sEncrypted{"encrypted"};
inline constexpr QLatin1String sDecrypted{"decrypted"};

} // namespace corvane::filetools::EncryptConsts
