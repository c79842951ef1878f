#include "explorer/ListingRules.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace corvane::explorer;

TEST(ListingRules, MatchesWildcard)
{
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"a.txt", "*.TXT", true},      {"a.txt.bak", "*.txt", false}, {"a.txt.txt", "*.txt", false},
        {"aaab", "*aab", false},       {"readme", "read*", true},     {"readme", "r?adme", true},
        {"readme", "*", true},         {"abc", "a?", false},          {"abc", "a*c", true},
        {"abc", "a*b*c", true},        {"abc", "*a*", true},          {"ab", "a*b*c", false},
        {"abc", "", false},            {"", "*", false},              {"abc", "*?c", true},
        {"abc", "abc*", true},         {"abcd", "abc", false},        {"~tmp", "~*", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.match) << c.name << " / " << c.pattern;
}

TEST(ListingRules, SplitExclusions)
{
    EXPECT_EQ(SplitExclusions(" *.tmp ; ~* ;"), (QStringList{"*.tmp", "~*"}));
    EXPECT_EQ(SplitExclusions("*.tmp;;*.bak"), (QStringList{"*.tmp", "", "*.bak"}));
    EXPECT_EQ(SplitExclusions(""), QStringList());
    EXPECT_EQ(SplitExclusions("one"), QStringList{"one"});
}

TEST(ListingRules, TotalsAndSelectionTexts)
{
    EXPECT_EQ(TotalsText(1, 0), "Total: 1 item");
    EXPECT_EQ(TotalsText(0, 0), "Total: 0 items");
    EXPECT_EQ(TotalsText(3, 1572864), "Total: 3 items, 1.50MB");
    EXPECT_EQ(TotalsText(2, 1048575), "Total: 2 items, 1,024KB");
    // Kilobytes as the Size column shows them: a remainder counts as one more.
    EXPECT_EQ(TotalsText(1, 1500), "Total: 1 item, 2KB");
    EXPECT_EQ(SelectionText(2, 2048), " Selected: 2 items, 2KB");
    EXPECT_EQ(SelectionText(1, 1024), " Selected: 1 item, 1KB");
    // Sums are 64-bit: 5 GB is shown as such.
    EXPECT_EQ(SizeSummary(qint64(5) << 30), ", 5120.00MB");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(SizeSummary(1572864), ", 1,50MB");
    QLocale::setDefault(QLocale::c());
}

TEST(ListingRules, ExtensionsAndFolderBytes)
{
    EXPECT_EQ(SortExtension("/a/b.tar.GZ"), ".GZ");
    EXPECT_EQ(SortExtension("/a.d/noext"), "");
    EXPECT_LT(CompareExtensions("x.bmp", "a.txt"), 0);
    EXPECT_EQ(CompareExtensions("x.TXT", "a.txt"), 0);
    EXPECT_GT(CompareExtensions("x.txt", "noext"), 0);
}
