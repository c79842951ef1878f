#pragma once
// Every text of the network drive dialogs and their password question.
namespace corvane::app::nettexts {

inline constexpr const char* Error = "Error";
inline constexpr const char* Ok = "OK";
inline constexpr const char* Cancel = "Cancel";
inline constexpr const char* MapNetworkDriveCaption = "Map Network Drive";
inline constexpr const char* DisconnectNetworkDriveCaption = "Disconnect Network Drive";
inline constexpr const char* NetworkAddress = "&Address:";
inline constexpr const char* NetworkExamples = "For example smb://server/share, sftp://user@host/folder or nfs://host/export";
inline constexpr const char* NetworkBadAddress = "Enter an address that starts with smb://, sftp:// or nfs:// followed by a server name.";
inline constexpr const char* NetworkConnecting = "Connecting to %1 ...";
inline constexpr const char* NetworkConnectFailed = "Unable to connect to %1:\n%2";
inline constexpr const char* NetworkDrives = "&Network drives:";
inline constexpr const char* NetworkNone = "No network drives are connected.";
inline constexpr const char* NetworkDisconnecting = "Disconnecting %1 ...";
inline constexpr const char* NetworkDisconnectFailed = "Unable to disconnect %1:\n%2";
inline constexpr const char* PasswordCaption = "Connect to Server";
inline constexpr const char* PasswordUser = "&User name:";
inline constexpr const char* PasswordDomain = "&Domain:";
inline constexpr const char* PasswordPassword = "&Password:";
inline constexpr const char* PasswordAnonymous = "Connect &anonymously";

} // namespace corvane::app::nettexts
