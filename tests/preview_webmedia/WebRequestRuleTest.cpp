#include "preview/engine/WebRequestRule.h"

#include <QUrl>

#include <gtest/gtest.h>

using corvane::preview::LocalFileUrl;
using corvane::preview::WebRequestAllowed;

// A page in /home/u/site may load its own files and those below it, nothing else.
TEST(WebRequestRule, OnlyFilesBesideThePage)
{
    const QByteArray folder = "/home/u/site";
    const std::pair<const char*, bool> cases[] = {
        {"file:///home/u/site/index.html", true},
        {"file:///home/u/site/img/logo.png", true},
        {"file:///home/u/site/style.css?v=2#top", true},
        {"file://localhost/home/u/site/a.png", true},
        {"file:///home/u/site%20x/a.png", false},
        {"file:///home/u/sitemap/a.png", false},
        {"file:///home/u/site/../secret.txt", false},
        {"file:///home/u/site/%2e%2e/secret.txt", false},
        {"file:///home/u/site/img%2F..%2F..%2Fsecret.txt", false},
        {"file:///home/u/site", false},
        {"file:///etc/passwd", false},
        {"file://server/home/u/site/a.png", false},
        {"http://127.0.0.1/home/u/site/a.png", false},
        {"https://example.com/a.png", false},
        {"ftp://example.com/a.png", false},
        {"ws://example.com/socket", false},
        {"wss://example.com/socket", false},
        {"data:image/png;base64,AAAA", false},
        {"about:blank", false},
        {"", false},
    };
    for (const auto& [url, allowed] : cases)
        EXPECT_EQ(WebRequestAllowed(QUrl::fromEncoded(url), folder), allowed) << url;
    // No folder known: nothing at all.
    EXPECT_FALSE(WebRequestAllowed(QUrl::fromEncoded("file:///home/u/site/index.html"), {}));
}

// Names that are not UTF-8 keep their bytes from the page's URL to the rule.
TEST(WebRequestRule, RawNames)
{
    const QByteArray folder = "/tmp/caf\xe9 \xff";
    const QUrl page = LocalFileUrl(folder + "/p\xe9.html");
    EXPECT_EQ(page.toEncoded(), "file:///tmp/caf%E9%20%FF/p%E9.html");
    EXPECT_TRUE(WebRequestAllowed(page, folder));
    EXPECT_FALSE(WebRequestAllowed(page, "/tmp/caf\xc3\xa9 \xff"));
}
