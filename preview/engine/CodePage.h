#pragma once
// Decoding of Windows code pages: Windows-1252 from a table of our own (plain text files and
// most rich text), any other page through the converters Qt has.
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <array>
#include <memory>
#include <unordered_map>

namespace corvane::preview {

// The character of one Windows-1252 byte; the five bytes the page leaves undefined keep their
// C1 control code, as Windows decodes them.
char16_t Windows1252Char(unsigned char byte);
// Appends Windows-1252 bytes to `out`.
void AppendWindows1252(QByteArrayView bytes, QString& out);

// Decodes bytes of any Windows code page; keeps one converter per page it has met.
class CodePageDecoder
{
public:
    CodePageDecoder();
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    // Whether every byte of the page is one character (no lead bytes).
    bool isSingleByte(int codePage);
    // The character of one byte of a single-byte page.
    char16_t charOf(int codePage, unsigned char byte);
    // Feeds one byte of a page with lead bytes; empty while the byte is the lead of a character
    // not yet complete.
    QString feed(int codePage, char byte);
    // Forgets a lead byte fed before.
    void reset(int codePage);

private:
    struct Page
    {
        std::array<char16_t, 256> table {};
        bool singleByte = true;
        std::unique_ptr<QStringDecoder> decoder; // pages with lead bytes
    };
    Page& page(int codePage);

    std::unordered_map<int, Page> m_pages;
};

} // namespace corvane::preview
