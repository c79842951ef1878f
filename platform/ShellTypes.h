#pragma once
// Result codes and flag values of the shell namespace, with the values the controls test.
#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <cstdint>
#include <utility>

namespace corvane::platform {

// An item identifier list: runs of (16-bit little-endian size, bytes), ended by a 16-bit zero.
// A null list is the null reference; two zero bytes are the empty list (the desktop).
// Its own type, so a path's bytes can never be passed where an ID list is expected: bytes
// become an ID list only through the explicit constructor, at the places that build one.
class ItemIdList
{
public:
    ItemIdList() = default;
    explicit ItemIdList(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    ItemIdList(const char* data, qsizetype size) : m_bytes(data, size) {}
    ItemIdList(qsizetype size, Qt::Initialization) : m_bytes(size, Qt::Uninitialized) {}

    const QByteArray& bytes() const { return m_bytes; }
    bool isNull() const { return m_bytes.isNull(); }
    bool isEmpty() const { return m_bytes.isEmpty(); }
    qsizetype size() const { return m_bytes.size(); }
    const char* constData() const { return m_bytes.constData(); }
    char* data() { return m_bytes.data(); }
    void reserve(qsizetype n) { m_bytes.reserve(n); }
    void append(const char* p, qsizetype n) { m_bytes.append(p, n); }
    void append(qsizetype n, char c) { m_bytes.append(n, c); }
    void clear() { m_bytes.clear(); }

    friend bool operator==(const ItemIdList& a, const ItemIdList& b) { return a.m_bytes == b.m_bytes; }
    friend bool operator!=(const ItemIdList& a, const ItemIdList& b) { return a.m_bytes != b.m_bytes; }
    friend bool operator<(const ItemIdList& a, const ItemIdList& b) { return a.m_bytes < b.m_bytes; }
    friend size_t qHash(const ItemIdList& list, size_t seed = 0) { return qHash(list.m_bytes, seed); }

private:
    QByteArray m_bytes;
};
using PItemIDList = ItemIdList;

// Result codes in the HRESULT layout: S_OK, S_FALSE, or a failure whose low 16 bits
// carry an errno value (facility 7), so the system's message text can be found again.
using HResult = std::int32_t;
inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_FAIL = std::int32_t(0x80004005u);
inline constexpr HResult E_INVALIDARG = std::int32_t(0x80070057u);
inline constexpr HResult E_NOTIMPL = std::int32_t(0x80004001u);
inline constexpr HResult E_NOINTERFACE = std::int32_t(0x80004002u);

inline constexpr bool Succeeded(HResult hr) { return hr >= 0; }
inline constexpr bool Failed(HResult hr) { return hr < 0; }
inline HResult HResultFromErrno(int err) { return err == 0 ? E_FAIL : std::int32_t(0x80070000u | (unsigned(err) & 0xFFFF)); }
// The system's text for a result code.
QString SystemMessage(HResult hr);

// A CompareIDs result: the order in the low 16 bits, read as signed.
inline HResult MakeCompareResult(int order) { return HResult(std::uint16_t(std::int16_t(order < 0 ? -1 : order > 0 ? 1 : 0))); }
inline int CompareResultOrder(HResult hr) { return std::int16_t(std::uint16_t(hr & 0xFFFF)); }

// Attribute bits (SFGAO).
enum : std::uint32_t {
    SFGAO_CANCOPY = 0x00000001,
    SFGAO_CANMOVE = 0x00000002,
    SFGAO_CANLINK = 0x00000004,
    SFGAO_CANRENAME = 0x00000010,
    SFGAO_CANDELETE = 0x00000020,
    SFGAO_HASPROPSHEET = 0x00000040,
    SFGAO_DROPTARGET = 0x00000100,
    SFGAO_SHARE = 0x00010000,
    SFGAO_LINK = 0x00020000,
    SFGAO_READONLY = 0x00040000,
    SFGAO_GHOSTED = 0x00080000,
    SFGAO_HIDDEN = 0x00080000,
    SFGAO_VALIDATE = 0x01000000,
    SFGAO_REMOVABLE = 0x02000000,
    SFGAO_FILESYSANCESTOR = 0x10000000,
    SFGAO_FOLDER = 0x20000000,
    SFGAO_FILESYSTEM = 0x40000000,
    SFGAO_HASSUBFOLDER = 0x80000000,
};

// Enumeration flags (SHCONTF).
enum : std::uint32_t {
    SHCONTF_FOLDERS = 0x20,
    SHCONTF_NONFOLDERS = 0x40,
    SHCONTF_INCLUDEHIDDEN = 0x80,
};

// Display name kinds (SHGDN).
enum : std::uint32_t {
    SHGDN_NORMAL = 0,
    SHGDN_INFOLDER = 1,
    SHGDN_FORPARSING = 0x8000,
};

// Special folder numbers (CSIDL) that the program asks for.
enum : int {
    CSIDL_DESKTOP = 0,
    CSIDL_PERSONAL = 5,
    CSIDL_SENDTO = 9,
    CSIDL_BITBUCKET = 10,
    CSIDL_DESKTOPDIRECTORY = 16,
    CSIDL_DRIVES = 17,
};

// Drive kinds (GetDriveType).
enum DriveType : int {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

} // namespace corvane::platform
