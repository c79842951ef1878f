#include "CodePage.h"

namespace corvane::preview {

namespace {

// 0x80..0x9F of Windows-1252; the rest of the page is Latin-1.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// ICU's names for the Windows code pages that rich text names by number.
QByteArray ConverterName(int codePage)
{
    switch (codePage) {
    case 932:
        return "windows-31j";
    case 10000:
        return "macintosh";
    case 437:
    case 850:
    case 852:
    case 855:
    case 857:
    case 860:
    case 861:
    case 862:
    case 863:
    case 865:
    case 866:
    case 869:
        return "IBM" + QByteArray::number(codePage);
    default:
        return "windows-" + QByteArray::number(codePage);
    }
}

} // namespace

char16_t Windows1252Char(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh1252[byte - 0x80] : char16_t(byte);
}

void AppendWindows1252(QByteArrayView bytes, QString& out)
{
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    QChar* dst = out.data() + start;
    for (const char c : bytes)
        *dst++ = QChar(Windows1252Char(static_cast<unsigned char>(c)));
}

CodePageDecoder::CodePageDecoder() = default;
CodePageDecoder::~CodePageDecoder() = default;

CodePageDecoder::Page& CodePageDecoder::page(int codePage)
{
    const auto found = m_pages.find(codePage);
    if (found != m_pages.end())
        return found->second;
    Page& p = m_pages[codePage];
    for (int b = 0; b < 256; ++b)
        p.table[b] = Windows1252Char(static_cast<unsigned char>(b));
    if (codePage == 1252 || codePage <= 0)
        return p;
    auto decoder = std::make_unique<QStringDecoder>(ConverterName(codePage).constData());
    if (!decoder->isValid())
        return p;
    char high[128];
    for (int b = 0; b < 128; ++b)
        high[b] = char(0x80 + b);
    const QString chars = decoder->decode(QByteArrayView(high, sizeof high));
    decoder->resetState();
    if (chars.size() == 128) {
        for (int b = 0; b < 128; ++b)
            p.table[0x80 + b] = chars.at(b).unicode();
    } else {
        p.singleByte = false;
        p.decoder = std::move(decoder);
    }
    return p;
}

bool CodePageDecoder::isSingleByte(int codePage)
{
    return page(codePage).singleByte;
}

char16_t CodePageDecoder::charOf(int codePage, unsigned char byte)
{
    return page(codePage).table[byte];
}

QString CodePageDecoder::feed(int codePage, char byte)
{
    Page& p = page(codePage);
    if (!p.decoder)
        return QString(QChar(p.table[static_cast<unsigned char>(byte)]));
    return p.decoder->decode(QByteArrayView(&byte, 1));
}

void CodePageDecoder::reset(int codePage)
{
    Page& p = page(codePage);
    if (p.decoder)
        p.decoder->resetState();
}

} // namespace corvane::preview
