#pragma once
// A temporary folder that builds a small tree in one call and removes it afterwards.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <initializer_list>

namespace corvane::test {

class TempDir
{
public:
    TempDir();
    // Removes names that are not UTF-8 too; never descends into a mount left behind by a test.
    ~TempDir();
    // Entries ending in "/" are folders, others files; names are raw bytes, relative to the root.
    explicit TempDir(std::initializer_list<QByteArray> entries);
    // The same in a place where desktops show what is mounted as a volume (under /media).
    struct InMediaPlace {};
    TempDir(InMediaPlace, std::initializer_list<QByteArray> entries = {});

    QString path() const { return m_dir.path(); }
    QByteArray pathBytes() const;
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Creates a file (with its parent folders) holding the given bytes.
    void addFile(const QByteArray& relName, const QByteArray& content = {});
    void addFolder(const QByteArray& relName);
    void addSymlink(const QByteArray& relName, const QByteArray& target);

private:
    void addEntries(std::initializer_list<QByteArray> entries);

    QTemporaryDir m_dir;
};

// A file's bytes, read by its raw path (names need not be UTF-8); "<missing>" when it cannot be
// opened.
QByteArray ReadFileBytes(const QByteArray& path);

// Runs a shell command; returns its exit status.
int runShell(const QString& command);

} // namespace corvane::test
