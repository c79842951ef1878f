#pragma once
// Every text of the create-zip and extract dialogs, and of the zip listing grids.
namespace corvane::zip::texts {

// Shared by both dialogs.
inline constexpr const char* ErrorCaption = "Zip Error";
inline constexpr const char* Cancel = "&Cancel";
inline constexpr const char* Options = " Options ";
inline constexpr const char* ChkPaths = "Use path names";
inline constexpr const char* FileNameColumn = "File Name";
inline constexpr const char* DateColumn = "Date";
inline constexpr const char* OrigSizeColumn = "Orig. Size";
inline constexpr const char* CompSizeColumn = "Comp. Size";
inline constexpr const char* RatioColumn = "Ratio";
inline constexpr const char* PathColumn = "Path";

// The create-zip dialog.
inline constexpr const char* ZipCaption = "Create Zip File";
inline constexpr const char* ZipFileLabel = "Zip file name:";
inline constexpr const char* SourceFolderLabel = "Source Folder:";
inline constexpr const char* FilesToZip = " Files to be zipped ";
inline constexpr const char* FolderSuffix = " (Folder)";
inline constexpr const char* PasswordLabel = "Password (optional):";
inline constexpr const char* PasswordNote =
    "NOTE: If you use a password, you must keep a record of it. The file cannot be unzipped without the password.";
inline constexpr const char* Action = " Action ";
inline constexpr const char* ActionAdd = "Add";
inline constexpr const char* ActionFreshen = "Freshen";
inline constexpr const char* ActionUpdate = "Update";
inline constexpr const char* ChkSubdirs = "Include subfolders";
inline constexpr const char* ChkStorePaths = "Store paths";
inline constexpr const char* ChkSpan = "Span mutliple diskettes";
inline constexpr const char* MaxVolumeLabel = "Largest part:";
inline constexpr const char* MaxVolumeNoLimit = "as the disk takes";
inline constexpr const char* MaxVolumeSuffix = " MB";
inline constexpr const char* CreateZip = "Create &Zip";
inline constexpr const char* SaveTitle = "Zip File Name";
inline constexpr const char* SaveFilter = "All files (*)\nZip files (*.zip)";
inline constexpr const char* Browse = "...";
inline constexpr const char* EncryptionLabel = "Encryption:";
inline constexpr const char* EncryptionTraditional = "Zip 2.0 (readable by every unzip tool)";
inline constexpr const char* EncryptionAes = "AES-256 (stronger)";
inline constexpr const char* AddingFile = " Adding file: ";
inline constexpr const char* Zipping = "Zipping";

// The extract dialog.
inline constexpr const char* UnzipCaption = "Extract From Zip File";
inline constexpr const char* UnzipCaptionHead = " Extract From Zip File - ";
inline constexpr const char* ContentsOfZipFile = " Contents of Zip File ";
inline constexpr const char* ContentsHead = " Contents of ";
inline constexpr const char* ContentsCount = " (%1 files) ";
inline constexpr const char* SelectAll = "&Select All";
inline constexpr const char* DeselectAll = "&Deselect All";
inline constexpr const char* FilesToExtract = " Files to extract ";
inline constexpr const char* AllFiles = "All files";
inline constexpr const char* SelectedFilesOnly = "Selected files only";
inline constexpr const char* SelectDestination = " Select Destination Folder ";
inline constexpr const char* ChkOverwrite = "Overwrite existing files";
inline constexpr const char* ChkSkipOlder = "Skip older files";
inline constexpr const char* Extract = "&Extract";
inline constexpr const char* ExtractingFile = " Extracting file: ";
inline constexpr const char* IntegrityFailed = "Zip file fails integrity check - cannot extract";
inline constexpr const char* NotAZipFile = "The selected file is not a Zip file";
inline constexpr const char* Listing = "Reading the archive";
inline constexpr const char* Testing = "Testing";
inline constexpr const char* ReadingParts = "Reading the parts";
inline constexpr const char* Extracting = "Extracting";
inline constexpr const char* PasswordCaption = "Password";
inline constexpr const char* PasswordPrompt = "The archive is encrypted. Password:";
inline constexpr const char* NoDestination = "You must select a folder as the destination";

// The preview's printed listing.
inline constexpr const char* PrintTitle = "Contents of ";
inline constexpr const char* PagePrefix = "Page ";
inline constexpr const char* PageSeparator = "/";
inline constexpr const char* PrintFont = "Arial";

// The explorer list's context menu.
inline constexpr const char* ExtractMenu = "E&xtract...";

} // namespace corvane::zip::texts
