#pragma once
// The texts of the folder sizes report and the system information sheet.

namespace corvane::reports::texts {

// Folder sizes
inline constexpr const char* FolderSizeCaption = "Folder Sizes - ";
inline constexpr const char* GettingFolderList = " Getting folder list: ";
inline constexpr const char* TotalingFolderSizes = " Totaling folder sizes: ";
inline constexpr const char* CalculatingSubfolderTotals = " Calculating subfolder totals: ";
inline constexpr const char* CancelPanel = " Cancel";
inline constexpr const char* ReportCanceled = "Report canceled";
inline constexpr const char* ColFolder = "Folder";
inline constexpr const char* ColFiles = "Files";
inline constexpr const char* ColBytes = "Bytes";
inline constexpr const char* ColTreeFiles = "Files (with Subfolders)";
inline constexpr const char* ColTreeBytes = "Bytes (with Subfolders)";
// The file spells the last title with a capital W.
inline constexpr const char* CsvColTreeBytes = "Bytes (With Subfolders)";
inline constexpr const char* TotalPrefix = " Total: ";
inline constexpr const char* TotalSuffix = " folders";
inline constexpr const char* Print = "&Print";
inline constexpr const char* ExportCsv = "&Export CSV";
inline constexpr const char* Close = "&Close";
inline constexpr const char* OneFileSystem = "&Stay on this file system";
inline constexpr const char* CsvFilter = "Comma-delimited files (*.csv)";
inline constexpr const char* CsvSuffix = "csv";
inline constexpr const char* PageNumber = "Page %1/%2";
inline constexpr const char* ErrorCaption = "Error";
// A virtual folder without folders on disk behind it.
inline constexpr const char* NoFolderOnDisk = "\"%1\" is not a folder on disk, so it has no folder sizes to report.";

// System information
inline constexpr const char* SysInfoCaption = "System Information";
inline constexpr const char* WindowsVersion = " Windows Version: ";
inline constexpr const char* RegisteredOwner = " Registered Owner: ";
inline constexpr const char* RegisteredOrganization = " Registered Organization: ";
inline constexpr const char* ProductId = " Product ID: ";
inline constexpr const char* ProductKey = " Product Key: ";
inline constexpr const char* Cpu = " CPU: ";
inline constexpr const char* ComputerName = " Computer Name: ";
inline constexpr const char* UserName = " User Name: ";
inline constexpr const char* NetworkUserName = " Network User Name: ";
inline constexpr const char* DefaultPrinter = " Default Printer: ";
inline constexpr const char* TotalRam = " Total RAM: ";
inline constexpr const char* RamInUse = " Percentage of RAM in use: ";
inline constexpr const char* SwapSpace = " Available swap space: ";
inline constexpr const char* SwapInUse = " Percentage of swap space in use: ";
inline constexpr const char* BytesSuffix = " bytes";
inline constexpr const char* Percent = "%";
inline constexpr const char* PrintTitle = "System Information   ";

} // namespace corvane::reports::texts
