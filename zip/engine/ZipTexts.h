#pragma once
// Every text of the zip component: its numbered messages, the texts of the libraries' messages
// and the progress texts.
#include "core/Text.h"

namespace corvane::zip {

struct ZipMessageText {
    int number;
    const char* text;
};

// The component's numbered messages.
inline constexpr ZipMessageText kZipMessages[] = {
    {10101, "Fatal Error in ZIPLIB: abort exception"},
    {10102, "Error - no zip file specified!"},
    {10103, "Requested memory not available"},
    {10201, "Seek error reading Zip archive!"},
    {10202, "Unknown error in List() function\n"},
    {10203, "Warning - Error in zip structure!"},
    {10204, "Warning - Garbage at the end of the zipfile!"},
    {10301, "Error - no files to zip!"},
    {10302, "Unattended action not possible without a password"},
    {10303, "AddFreshen or AddUpdate not possible on a spanned archive"},
    {10501, "Fatal Error in UNZIPLIB: abort exception"},
    {10502, "Warning - Unattended Extract: possible not all files extracted"},
    {10602, "ZipLibExec function not found in ZIPLIB!"},
    {10603, "GetZipLibVersion function not found in ZIPLIB!"},
    {10604, "ZIPLIB not found!"},
    {10702, "UnzipLibExec function not found in UNZIPLIB!"},
    {10703, "GetUnzipLibVersion function not found in UNZIPLIB!"},
    {10704, "UNZIPLIB not found!"},
    {11001, "Input file does not exist"},
    {11002, "Zip file could not be opened"},
    {11004, "Drive %s is NOT defined"},
    {11007, "User canceled operation"},
    {11008, "Seek error in input file"},
    {11009, "Creation of output file failed"},
    {11010, "Write error in output file"},
    {11011, "Error while reading the End Of Central Directory"},
    {11012, "Error while reading a local header"},
    {11013, "Error while reading a central header"},
    {11014, "A local header signature is wrong"},
    {11015, "A central header signature is wrong"},
    {11016, "Error while reading a local file name"},
    {11017, "Error while reading a central file name"},
    {11018, "Error while reading a local extra field"},
    {11019, "Error while reading a central extra field"},
    {11020, "Error while reading a data descriptor"},
    {11021, "Error while copying the compressed data"},
    {11022, "Error while reading a file comment"},
    {11023, "Error while copying the zip file comment"},
    {11025, "Unattended disk spanning not implemented"},
    {11026, "A local header not found in internal structure"},
    {11027, "Could not make a temporary file name"},
    {11029, "Error while writing a central header"},
    {11030, "Error while writing the End Of Central Directory"},
    {11031, "Error while reading a Extended Local signature"},
    {11036, "This archive is not a valid Zip archive"},
    {11037, "This is the first disk in a backup set,\nplease insert the last disk of this set"},
    {11038, "This is the %dth disk in a backup set,\nplease insert the last disk of this set"},
    {11041, "Error - Self extracting archives(.exe) can not be spanned"},
    {11045, "This is the first file in a backup set,\nplease choose the last file of this set"},
    {11050, "The largest part size is too small for the headers of this archive"},
    {11051, "Error - an archive over 4 GB or with more than 65,534 entries can not be spanned"},
    {11052, "Error - the data of %s fails its check: a part of this set is damaged or belongs to another set"},
    {10801, "Error - On or more of the 4 property strings mentioned below exceeds 255 characters!"},
    {10802, "Error - CORVANESFX.BIN not found!"},
};

inline constexpr const char* kMissingMessage =
    "The zip message table is probably not bound to the executable\nMissing String ID is: ";

// Questions and progress texts of spanned sets; printf formats, as the questions number disks.
namespace span {
inline constexpr const char* kInsertLastDisk = "Please insert last disk";
inline constexpr const char* kInsertVolumeOf = "Please insert disk volume %.1d of %.1d";
inline constexpr const char* kInsertVolume = "Please insert disk volume %.1d";
inline constexpr const char* kInDrive = "\nin drive: %s";
inline constexpr const char* kPreviousDisk =
    "ATTENTION: This is previous disk no %d!!!\nAre you sure you want to overwrite the contents";
inline constexpr const char* kFileExists = "There is already a file %s\nDo you want to overwrite this file";
inline constexpr const char* kConfirmCaption = "Confirm";
inline constexpr const char* kNotEnoughSpace = "This disk has not enough free space available";
inline constexpr const char* kCreatingChunks = "Now creating spanning chunks from ";
inline constexpr const char* kChunksTo = " to ";
inline constexpr const char* kCopying = "Copying: ";
inline constexpr const char* kCentralDirectory = "Central directory";
inline constexpr const char* kSfxCaption = "Self-extracting Archive";
inline constexpr const char* kSfxLengths = "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine = ";
} // namespace span

// Messages of the zip and unzip libraries; %1 is an archive entry or file, %2 the system's or
// the library's own text.
namespace lib {
inline constexpr const char* kReadSource = "Could not read %1: %2";
inline constexpr const char* kOpenArchive = "Could not open the archive %1: %2";
inline constexpr const char* kWriteArchive = "Could not write the archive %1: %2";
inline constexpr const char* kNoMatch = "Nothing matches %1";
inline constexpr const char* kDeleteSource = "Could not delete %1 after adding it: %2";
inline constexpr const char* kExtractEntry = "Could not extract %1: %2";
inline constexpr const char* kTestEntry = "Test of %1 failed: %2";
inline constexpr const char* kUnsafeName = "Skipped %1: its name leads outside the destination folder";
inline constexpr const char* kUnsafeLink = "Skipped %1: it is a link that points outside the destination folder";
inline constexpr const char* kThroughLink = "Skipped %1: its folder is a link in the destination";
inline constexpr const char* kExists = "Skipped %1: a file of that name exists";
inline constexpr const char* kNotInListing = "The archive's entries do not match its central directory";
inline constexpr const char* kStopped = "Stopped: %1";
inline constexpr const char* kTempArchive = "Temporary zipfile: ";
inline constexpr const char* kAdded = "  adding: %1";
inline constexpr const char* kExtracted = "  inflating: %1";
inline constexpr const char* kTested = "  testing: %1 OK";
} // namespace lib

} // namespace corvane::zip
