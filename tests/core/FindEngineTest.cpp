#include "tests/support/AsNobody.h"

#include "core/FindEngine.h"
#include "platform/NameCodec.h"
#include "tests/support/TempDir.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

using namespace corvane::core;
using corvane::test::TempDir;

namespace {

struct Found {
    std::set<QByteArray> paths;  // relative to the root, "/" for the root's own items
    std::vector<FindHit> hits;
    FindCounts counts;
};

Found find(const QByteArray& root, const QString& named, const QString& text = {}, bool subfolders = true)
{
    FindCriteria c;
    c.folder = root;
    c.patterns = SplitFindPatterns(named);
    c.text = text;
    c.subfolders = subfolders;
    std::atomic<bool> cancel{false};
    Found f;
    f.counts = RunFind(c, cancel, [&](std::vector<FindHit>&& hits) {
        for (FindHit& h : hits)
            f.hits.push_back(std::move(h));
    });
    for (const FindHit& h : f.hits)
        f.paths.insert(h.path().mid(root.size()));
    return f;
}

} // namespace

TEST(FindEngine, NamesMatchPatternListsWithoutRegardToCase)
{
    TempDir dir{"a.txt", "B.TXT", "notes.md", "Report 2024.doc", "c.txt.bak", "sub/d.Txt"};
    struct Case {
        const char* named;
        std::set<QByteArray> expected;
    } cases[] = {
        {"*.txt", {"/a.txt", "/B.TXT", "/sub/d.Txt"}},
        {" *.TXT ; *.md ;", {"/a.txt", "/B.TXT", "/sub/d.Txt", "/notes.md"}},
        // A plain word is looked for anywhere in the name.
        {"report", {"/Report 2024.doc"}},
        {"?.txt", {"/a.txt", "/B.TXT", "/sub/d.Txt"}},
        {"", {"/a.txt", "/B.TXT", "/notes.md", "/Report 2024.doc", "/c.txt.bak", "/sub", "/sub/d.Txt"}},
        {"*.zip", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(find(dir.pathBytes(), QString::fromUtf8(c.named)).paths, c.expected) << c.named;
}

TEST(FindEngine, SubfoldersAreSearchedOnlyWhenAsked)
{
    TempDir dir{"top.log", "one/two/deep.log", "one/mid.log"};
    EXPECT_EQ(find(dir.pathBytes(), "*.log").paths,
              (std::set<QByteArray>{"/top.log", "/one/mid.log", "/one/two/deep.log"}));
    EXPECT_EQ(find(dir.pathBytes(), "*.log", {}, false).paths, (std::set<QByteArray>{"/top.log"}));
    // A hit knows its folder, so the dialog can show it there.
    const Found f = find(dir.pathBytes(), "deep.log");
    ASSERT_EQ(f.hits.size(), 1u);
    EXPECT_EQ(f.hits[0].folder, dir.pathBytes() + "/one/two");
    EXPECT_FALSE(f.hits[0].isFolder);
}

// Every split of the data into two chunks: a text across the cut is still found.
TEST(FindEngine, TextIsFoundAcrossEveryChunkBoundaryInAnyCase)
{
    const QByteArray data = "..x..hELLo, \xc3\x84pfel WORLD..";
    struct Case {
        const char* text;
        bool found;
    } cases[] = {{"hello, äpfel world", true}, {"ÄPFEL", true}, {"apfel", false}, {"hello world", false}, {"x", true}};
    for (const Case& c : cases) {
        for (qsizetype cut = 0; cut <= data.size(); ++cut) {
            TextMatcher m(QString::fromUtf8(c.text));
            const bool first = m.feed(data.constData(), size_t(cut));
            const bool found = first || m.feed(data.constData() + cut, size_t(data.size() - cut));
            EXPECT_EQ(found, c.found) << c.text << " cut at " << cut;
        }
    }
    // One byte at a time.
    TextMatcher m(QStringLiteral("World"));
    bool found = false;
    for (char ch : data)
        found = found || m.feed(&ch, 1);
    EXPECT_TRUE(found);
}

TEST(FindEngine, TextSearchReadsLargeFilesAndOnlyRegularFiles)
{
    TempDir dir;
    // The text straddles the reader's chunk size, far into the file.
    QByteArray big(256 * 1024 - 3, 'a');
    big += "NeedLE" + QByteArray(300 * 1024, 'b');
    dir.addFile("big.bin", big);
    dir.addFile("small.txt", "no such word");
    dir.addFile("sub/other.txt", "a needle here");
    dir.addSymlink("link.txt", "small.txt");
    // Opening a pipe for reading waits for a writer: the search must not.
    ASSERT_EQ(::mkfifo((dir.pathBytes() + "/pipe.txt").constData(), 0644), 0);
    const Found f = find(dir.pathBytes(), "*", QStringLiteral("needle"));
    EXPECT_EQ(f.paths, (std::set<QByteArray>{"/big.bin", "/sub/other.txt"}));
    // Folders never contain text.
    EXPECT_EQ(find(dir.pathBytes(), "sub", QStringLiteral("needle")).paths, std::set<QByteArray>{});
}

TEST(FindEngine, LinksToFoldersAreListedButNotEntered)
{
    TempDir dir{"a/inside.txt"}, other{"x/", "y.txt"};
    dir.addSymlink("a/loop", "..");
    dir.addSymlink("elsewhere", other.pathBytes());
    const Found f = find(dir.pathBytes(), "*");
    EXPECT_EQ(f.paths, (std::set<QByteArray>{"/a", "/a/inside.txt", "/a/loop", "/elsewhere"}));
    EXPECT_EQ(f.counts.foldersSearched, 2);
}

TEST(FindEngine, NamesThatAreNotUtf8AreFoundByteExact)
{
    const QByteArray odd = "caf\xe9 \xff.txt";
    TempDir dir;
    dir.addFile(odd, "content with a Needle");
    dir.addFile("dir\xfe/inner.txt", "needle");
    const Found f = find(dir.pathBytes(), "*.txt", QStringLiteral("needle"));
    EXPECT_EQ(f.paths, (std::set<QByteArray>{"/" + odd, "/dir\xfe/inner.txt"}));
    EXPECT_EQ(find(dir.pathBytes(), "caf").paths, std::set<QByteArray>{"/" + odd});
    // The temporary folder cannot remove what is not UTF-8.
    ::unlink((dir.pathBytes() + "/" + odd).constData());
    ::unlink((dir.pathBytes() + "/dir\xfe/inner.txt").constData());
    ::rmdir((dir.pathBytes() + "/dir\xfe").constData());
}

// Run as nobody: a folder of root's that nobody may not open is left out, counted, and the
// search goes on.
TEST(FindEngine, UnreadableFoldersAreCountedAndSkipped)
{
    if (corvane::test::ChildMode() == "unreadable") {
        const Found f = find(qgetenv("CORVANE_DIR"), "*.txt");
        const bool ok = f.paths == std::set<QByteArray>{"/open/seen.txt", "/z.txt"} && f.counts.unreadable == 1;
        // The child reports through its exit code, after its temporary folders are gone.
        EXPECT_TRUE(ok);
        return;
    }
    TempDir dir{"open/seen.txt", "locked/hidden.txt", "z.txt"};
    ASSERT_EQ(::chmod(dir.pathBytes().constData(), 0755), 0);
    ASSERT_EQ(::chmod((dir.pathBytes() + "/locked").constData(), 0700), 0);
    QProcessEnvironment env;
    env.insert("CORVANE_DIR", dir.path());
    QString output;
    EXPECT_EQ(corvane::test::RunTestAsNobody("FindEngine.UnreadableFoldersAreCountedAndSkipped", "unreadable", env, &output),
              0)
        << output.toStdString();
}

TEST(FindEngine, TheTrashIsNotSearchedUnlessTheSearchStartsThere)
{
    TempDir dir{"keep.log", ".Trash-0/files/a.log", ".Trash/0/files/b.log", "data/Trash/files/c.log", "data/kept.log"};
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.pathBytes() + "/data");
    EXPECT_EQ(find(dir.pathBytes(), "*.log").paths, (std::set<QByteArray>{"/keep.log", "/data/kept.log"}));
    EXPECT_EQ(find(dir.pathBytes() + "/.Trash-0", "*.log").paths, (std::set<QByteArray>{"/files/a.log"}));
    if (oldData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldData);
}
