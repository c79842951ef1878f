#include "RtfReader.h"

#include "CodePage.h"

#include <QColor>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane::preview {

namespace {

// Real documents nest a few dozen groups; anything deeper is dropped, so a hostile file cannot
// make the group stack grow without bound.
constexpr std::size_t kMaxDepth = 256;
// Colour tables of real documents hold a few dozen entries.
constexpr std::size_t kMaxColours = 4096;
// Word's own limits for font sizes, in half points.
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;

enum class Dest : unsigned char { Text, Skip, FontTable, ColorTable };

enum class Kw : unsigned char {
    Skip, // a destination whose content is not shown
    FontTable, ColorTable,
    Ansi, Mac, Pc, Pca, AnsiCpg, Deff,
    F, FCharset, Cpg, FNil, FRoman, FSwiss, FModern, FScript, FDecor, FTech,
    Fs, B, I, Ul, UlNone, Strike, Hidden, Super, Sub, NoSuperSub, Plain,
    Cf, Cb, Red, Green, Blue,
    Pard, Ql, Qc, Qr, Qj,
    Par, Line, Tab, Cell,
    EmDash, EnDash, EmSpace, EnSpace, QmSpace, Bullet, LQuote, RQuote, LDblQuote, RDblQuote,
    Zwj, Zwnj, LtrMark, RtlMark,
    U, Uc, Bin,
};

struct Keyword
{
    std::string_view name;
    Kw kw;
};

// Sorted by name for a binary search.
constexpr Keyword kKeywords[] = {
    {"aftncn", Kw::Skip}, {"aftnsep", Kw::Skip}, {"aftnsepc", Kw::Skip}, {"annotation", Kw::Skip},
    {"ansi", Kw::Ansi}, {"ansicpg", Kw::AnsiCpg}, {"atnauthor", Kw::Skip}, {"atnid", Kw::Skip},
    {"atrfend", Kw::Skip}, {"atrfstart", Kw::Skip}, {"author", Kw::Skip}, {"b", Kw::B},
    {"bin", Kw::Bin}, {"bkmkend", Kw::Skip}, {"bkmkstart", Kw::Skip}, {"blue", Kw::Blue},
    {"bullet", Kw::Bullet}, {"buptim", Kw::Skip}, {"category", Kw::Skip}, {"cb", Kw::Cb},
    {"cell", Kw::Cell}, {"cf", Kw::Cf}, {"chcbpat", Kw::Cb}, {"colorschememapping", Kw::Skip},
    {"colortbl", Kw::ColorTable}, {"comment", Kw::Skip}, {"company", Kw::Skip}, {"cpg", Kw::Cpg},
    {"creatim", Kw::Skip}, {"datastore", Kw::Skip}, {"deff", Kw::Deff}, {"do", Kw::Skip},
    {"doccomm", Kw::Skip}, {"docvar", Kw::Skip}, {"emdash", Kw::EmDash}, {"emspace", Kw::EmSpace},
    {"endash", Kw::EnDash}, {"enspace", Kw::EnSpace}, {"f", Kw::F}, {"falt", Kw::Skip},
    {"fcharset", Kw::FCharset}, {"fdecor", Kw::FDecor}, {"filetbl", Kw::Skip},
    {"fldinst", Kw::Skip}, {"fmodern", Kw::FModern}, {"fname", Kw::Skip}, {"fnil", Kw::FNil},
    {"fontemb", Kw::Skip}, {"fontfile", Kw::Skip}, {"fonttbl", Kw::FontTable}, {"footer", Kw::Skip},
    {"footerf", Kw::Skip}, {"footerl", Kw::Skip}, {"footerr", Kw::Skip}, {"footnote", Kw::Skip},
    {"froman", Kw::FRoman}, {"fs", Kw::Fs}, {"fscript", Kw::FScript}, {"fswiss", Kw::FSwiss},
    {"ftech", Kw::FTech}, {"ftncn", Kw::Skip}, {"ftnsep", Kw::Skip}, {"ftnsepc", Kw::Skip},
    {"generator", Kw::Skip}, {"green", Kw::Green}, {"header", Kw::Skip}, {"headerf", Kw::Skip},
    {"headerl", Kw::Skip}, {"headerr", Kw::Skip}, {"highlight", Kw::Cb}, {"hlinkbase", Kw::Skip},
    {"i", Kw::I}, {"info", Kw::Skip}, {"keywords", Kw::Skip}, {"latentstyles", Kw::Skip},
    {"ldblquote", Kw::LDblQuote}, {"line", Kw::Line}, {"listoverridetable", Kw::Skip},
    {"listtable", Kw::Skip}, {"lquote", Kw::LQuote}, {"ltrmark", Kw::LtrMark}, {"mac", Kw::Mac},
    {"manager", Kw::Skip}, {"mmathPr", Kw::Skip}, {"nestcell", Kw::Cell}, {"nestrow", Kw::Par},
    {"nonshppict", Kw::Skip}, {"nosupersub", Kw::NoSuperSub}, {"objdata", Kw::Skip},
    {"object", Kw::Skip}, {"operator", Kw::Skip}, {"page", Kw::Par}, {"panose", Kw::Skip},
    {"par", Kw::Par}, {"pard", Kw::Pard}, {"pc", Kw::Pc}, {"pca", Kw::Pca}, {"pgdsctbl", Kw::Skip},
    {"pict", Kw::Skip}, {"plain", Kw::Plain}, {"pn", Kw::Skip}, {"printim", Kw::Skip},
    {"protusertbl", Kw::Skip}, {"qc", Kw::Qc}, {"qd", Kw::Qj}, {"qj", Kw::Qj}, {"ql", Kw::Ql},
    {"qmspace", Kw::QmSpace}, {"qr", Kw::Qr}, {"rdblquote", Kw::RDblQuote}, {"red", Kw::Red},
    {"revtbl", Kw::Skip}, {"revtim", Kw::Skip}, {"row", Kw::Par}, {"rquote", Kw::RQuote},
    {"rsidtbl", Kw::Skip}, {"rtlmark", Kw::RtlMark}, {"rxe", Kw::Skip}, {"sect", Kw::Par},
    {"shp", Kw::Skip}, {"shpinst", Kw::Skip}, {"strike", Kw::Strike}, {"striked", Kw::Strike},
    {"stylesheet", Kw::Skip}, {"sub", Kw::Sub}, {"subject", Kw::Skip}, {"super", Kw::Super},
    {"tab", Kw::Tab}, {"tc", Kw::Skip}, {"template", Kw::Skip}, {"themedata", Kw::Skip},
    {"title", Kw::Skip}, {"txe", Kw::Skip}, {"u", Kw::U}, {"uc", Kw::Uc}, {"ul", Kw::Ul},
    {"uld", Kw::Ul}, {"uldash", Kw::Ul}, {"uldashd", Kw::Ul}, {"uldashdd", Kw::Ul},
    {"uldb", Kw::Ul}, {"ulhwave", Kw::Ul}, {"ulnone", Kw::UlNone}, {"ulth", Kw::Ul},
    {"ululdbwave", Kw::Ul}, {"ulw", Kw::Ul}, {"ulwave", Kw::Ul}, {"userprops", Kw::Skip},
    {"v", Kw::Hidden}, {"xe", Kw::Skip}, {"xmlnstbl", Kw::Skip}, {"zwj", Kw::Zwj},
    {"zwnj", Kw::Zwnj},
};
static_assert(std::is_sorted(std::begin(kKeywords), std::end(kKeywords),
                             [](const Keyword& a, const Keyword& b) { return a.name < b.name; }));

constexpr bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr bool IsHexDigit(char c)
{
    return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

std::optional<Kw> LookUp(std::string_view name)
{
    const auto it = std::lower_bound(std::begin(kKeywords), std::end(kKeywords), name,
                                     [](const Keyword& k, std::string_view n) { return k.name < n; });
    if (it == std::end(kKeywords) || it->name != name)
        return std::nullopt;
    return it->kw;
}

// The Windows code page of a font's character set; 0 for the document's own.
int CodePageOfCharset(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;
    }
}

struct CharProps
{
    int font = -1; // font number; -1 for the document's default font
    int halfPoints = 24;
    int fg = -1; // colour table index; -1 for the automatic colour
    int bg = 0; // colour table index; 0 for none
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    signed char vertical = 0; // 1 superscript, -1 subscript
    bool operator==(const CharProps&) const = default;
};

struct GroupState
{
    CharProps chars;
    Qt::Alignment align = Qt::AlignLeft;
    int uc = 1; // characters that stand in for each \u character
    int codePage = 0; // of the current font; 0 for the document's
    int fontDef = INT_MIN; // in the font table: the font being defined
    Dest dest = Dest::Text;
};

struct Font
{
    QString name;
    int codePage = 0;
    QFont::StyleHint hint = QFont::AnyStyle;
};

class Reader
{
public:
    Reader(QByteArrayView bytes, QTextDocument& document)
        : m_p(bytes.data()), m_end(bytes.data() + bytes.size()), m_cursor(&document)
    {
    }

    void run();

private:
    GroupState& top() { return m_stack.back(); }
    bool skipping() const { return m_overflow > 0 || m_stack.back().dest == Dest::Skip; }

    void openGroup();
    void closeGroup();
    void controlWord();
    void controlSymbol(char c);
    void keyword(Kw kw, bool hasParam, int param);
    void skipBinary(int count);

    void textByte(unsigned char b);
    void textChar(char16_t c);
    void dropLead();
    void feedByte(int page, unsigned char b);
    void flushRun();
    void endParagraph();
    void finishDocument();
    void setAlignment(Qt::Alignment align);
    void commitFontName();
    int codePage() const;
    QTextCharFormat charFormat(const CharProps& props) const;

    const char* m_p;
    const char* const m_end;
    QTextCursor m_cursor;
    std::vector<GroupState> m_stack;
    std::size_t m_overflow = 0; // groups opened beyond kMaxDepth
    bool m_started = false;
    int m_ucSkip = 0;
    int m_docCodePage = 1252;
    int m_deff = -1;

    CodePageDecoder m_codePages;
    int m_leadPage = 0; // the code page whose decoder holds a lead byte

    Qt::Alignment m_blockAlign; // of the paragraph being read; none set yet
    QString m_run;
    CharProps m_runProps;

    std::unordered_map<int, Font> m_fonts;
    QString m_fontName;

    std::vector<std::optional<QColor>> m_colours;
    int m_rgb[3] = {0, 0, 0};
    bool m_rgbSet = false;
};

void Reader::run()
{
    m_stack.reserve(64);
    while (m_p < m_end) {
        const char c = *m_p++;
        switch (c) {
        case '{':
            dropLead();
            openGroup();
            break;
        case '}':
            dropLead();
            if (m_started)
                closeGroup();
            if (m_started && m_stack.empty())
                m_p = m_end; // what follows the document is not part of it
            break;
        case '\\':
            if (!m_started)
                break;
            if (m_p >= m_end)
                break;
            if (IsLetter(*m_p))
                controlWord();
            else
                controlSymbol(*m_p++);
            break;
        case '\r':
        case '\n':
            break;
        default:
            if (m_started && !skipping())
                textByte(static_cast<unsigned char>(c));
            break;
        }
    }
    if (!m_stack.empty())
        finishDocument();
}

void Reader::finishDocument()
{
    dropLead();
    flushRun();
    setAlignment(top().align);
}

void Reader::openGroup()
{
    m_ucSkip = 0;
    if (!m_started) {
        m_started = true;
        m_stack.emplace_back();
        return;
    }
    if (m_stack.empty())
        return;
    if (m_overflow > 0 || m_stack.size() >= kMaxDepth) {
        ++m_overflow;
        return;
    }
    m_stack.push_back(m_stack.back());
}

void Reader::closeGroup()
{
    m_ucSkip = 0;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (m_stack.empty())
        return;
    if (top().dest == Dest::FontTable)
        commitFontName();
    if (m_stack.size() == 1)
        finishDocument();
    m_stack.pop_back();
}

void Reader::controlWord()
{
    const char* start = m_p;
    while (m_p < m_end && IsLetter(*m_p))
        ++m_p;
    const std::string_view name(start, std::size_t(m_p - start));
    bool negative = false;
    bool hasParam = false;
    long long value = 0;
    if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && IsDigit(m_p[1])) {
        negative = true;
        ++m_p;
    }
    while (m_p < m_end && IsDigit(*m_p)) {
        hasParam = true;
        if (value <= INT_MAX)
            value = value * 10 + (*m_p - '0');
        ++m_p;
    }
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    value = std::min<long long>(value, INT_MAX);
    const int param = int(negative ? -value : value);

    const std::optional<Kw> kw = LookUp(name);
    if (kw == Kw::Bin) {
        // Binary data may hold braces and backslashes: never read it as rich text.
        skipBinary(hasParam ? param : 0);
        if (m_ucSkip > 0)
            --m_ucSkip;
        return;
    }
    if (skipping())
        return;
    dropLead();
    if (m_ucSkip > 0) {
        --m_ucSkip;
        return;
    }
    if (kw)
        keyword(*kw, hasParam, param);
}

void Reader::skipBinary(int count)
{
    if (count > 0)
        m_p += std::min<std::ptrdiff_t>(count, m_end - m_p);
}

void Reader::controlSymbol(char c)
{
    if (c == '\'') {
        int value = 0;
        int digits = 0;
        while (digits < 2 && m_p < m_end && IsHexDigit(*m_p)) {
            const char h = *m_p++;
            value = value * 16 + (h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
            ++digits;
        }
        if (skipping())
            return;
        if (m_ucSkip > 0) {
            --m_ucSkip;
            return;
        }
        if (digits > 0)
            textByte(static_cast<unsigned char>(value));
        return;
    }
    if (skipping())
        return;
    if (c == '*') {
        // No destination marked as optional is shown.
        top().dest = Dest::Skip;
        return;
    }
    if (c == '\r' || c == '\n') {
        dropLead();
        endParagraph();
        return;
    }
    if (m_ucSkip > 0) {
        --m_ucSkip;
        return;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        textByte(static_cast<unsigned char>(c));
        break;
    case '~':
        textChar(u'\u00A0');
        break;
    case '-':
        textChar(u'\u00AD');
        break;
    case '_':
        textChar(u'\u2011');
        break;
    case '\t':
        textChar(u'\t');
        break;
    default:
        break;
    }
}

void Reader::keyword(Kw kw, bool hasParam, int param)
{
    GroupState& g = top();
    CharProps& ch = g.chars;
    const bool on = !hasParam || param != 0;
    switch (kw) {
    case Kw::Skip:
        g.dest = Dest::Skip;
        break;
    case Kw::FontTable:
        g.dest = Dest::FontTable;
        g.fontDef = INT_MIN;
        break;
    case Kw::ColorTable:
        g.dest = Dest::ColorTable;
        m_colours.clear();
        m_rgbSet = false;
        break;
    case Kw::Ansi:
        m_docCodePage = 1252;
        break;
    case Kw::Mac:
        m_docCodePage = 10000;
        break;
    case Kw::Pc:
        m_docCodePage = 437;
        break;
    case Kw::Pca:
        m_docCodePage = 850;
        break;
    case Kw::AnsiCpg:
        if (hasParam && param > 0)
            m_docCodePage = param;
        break;
    case Kw::Deff:
        m_deff = param;
        break;
    case Kw::F:
        if (g.dest == Dest::FontTable) {
            commitFontName();
            g.fontDef = param;
            g.codePage = 0;
            m_fonts.try_emplace(param);
        } else {
            ch.font = param;
            const auto font = m_fonts.find(param);
            g.codePage = font == m_fonts.end() ? 0 : font->second.codePage;
        }
        break;
    case Kw::FCharset:
    case Kw::Cpg:
        if (g.dest == Dest::FontTable && g.fontDef != INT_MIN) {
            const int page = kw == Kw::Cpg ? std::max(param, 0) : CodePageOfCharset(param);
            if (page != 0) {
                m_fonts[g.fontDef].codePage = page;
                g.codePage = page;
            }
        }
        break;
    case Kw::FNil:
    case Kw::FRoman:
    case Kw::FSwiss:
    case Kw::FModern:
    case Kw::FScript:
    case Kw::FDecor:
    case Kw::FTech:
        if (g.dest == Dest::FontTable && g.fontDef != INT_MIN) {
            static constexpr QFont::StyleHint kHints[] = {
                QFont::AnyStyle, QFont::Serif, QFont::SansSerif, QFont::Monospace,
                QFont::Cursive, QFont::Decorative, QFont::AnyStyle,
            };
            m_fonts[g.fontDef].hint = kHints[int(kw) - int(Kw::FNil)];
        }
        break;
    case Kw::Fs:
        ch.halfPoints = hasParam && param > 0 ? std::clamp(param, kMinHalfPoints, kMaxHalfPoints) : 24;
        break;
    case Kw::B:
        ch.bold = on;
        break;
    case Kw::I:
        ch.italic = on;
        break;
    case Kw::Ul:
        ch.underline = on;
        break;
    case Kw::UlNone:
        ch.underline = false;
        break;
    case Kw::Strike:
        ch.strike = on;
        break;
    case Kw::Hidden:
        ch.hidden = on;
        break;
    case Kw::Super:
        ch.vertical = on ? 1 : 0;
        break;
    case Kw::Sub:
        ch.vertical = on ? -1 : 0;
        break;
    case Kw::NoSuperSub:
        ch.vertical = 0;
        break;
    case Kw::Plain:
        ch = CharProps{};
        g.codePage = 0;
        break;
    case Kw::Cf:
        ch.fg = std::max(param, 0);
        break;
    case Kw::Cb:
        ch.bg = std::max(param, 0);
        break;
    case Kw::Red:
    case Kw::Green:
    case Kw::Blue:
        if (g.dest == Dest::ColorTable) {
            m_rgb[int(kw) - int(Kw::Red)] = std::clamp(param, 0, 255);
            m_rgbSet = true;
        }
        break;
    case Kw::Pard:
        g.align = Qt::AlignLeft;
        break;
    case Kw::Ql:
        g.align = Qt::AlignLeft;
        break;
    case Kw::Qc:
        g.align = Qt::AlignHCenter;
        break;
    case Kw::Qr:
        g.align = Qt::AlignRight;
        break;
    case Kw::Qj:
        g.align = Qt::AlignJustify;
        break;
    case Kw::Par:
        endParagraph();
        break;
    case Kw::Line:
        textChar(u'\u2028');
        break;
    case Kw::Tab:
    case Kw::Cell:
        textChar(u'\t');
        break;
    case Kw::EmDash:
        textChar(u'\u2014');
        break;
    case Kw::EnDash:
        textChar(u'\u2013');
        break;
    case Kw::EmSpace:
        textChar(u'\u2003');
        break;
    case Kw::EnSpace:
        textChar(u'\u2002');
        break;
    case Kw::QmSpace:
        textChar(u'\u2005');
        break;
    case Kw::Bullet:
        textChar(u'\u2022');
        break;
    case Kw::LQuote:
        textChar(u'\u2018');
        break;
    case Kw::RQuote:
        textChar(u'\u2019');
        break;
    case Kw::LDblQuote:
        textChar(u'\u201C');
        break;
    case Kw::RDblQuote:
        textChar(u'\u201D');
        break;
    case Kw::Zwj:
        textChar(u'\u200D');
        break;
    case Kw::Zwnj:
        textChar(u'\u200C');
        break;
    case Kw::LtrMark:
        textChar(u'\u200E');
        break;
    case Kw::RtlMark:
        textChar(u'\u200F');
        break;
    case Kw::U: {
        const int unit = param < 0 ? param + 65536 : param;
        if (unit > 0 && unit <= 0xFFFF)
            textChar(char16_t(unit));
        m_ucSkip = g.uc;
        break;
    }
    case Kw::Uc:
        g.uc = std::clamp(param, 0, 255);
        break;
    case Kw::Bin:
        break;
    }
}

int Reader::codePage() const
{
    const GroupState& g = m_stack.back();
    if (g.codePage != 0)
        return g.codePage;
    if (g.chars.font < 0 && g.dest == Dest::Text) {
        const auto font = m_fonts.find(m_deff);
        if (font != m_fonts.end() && font->second.codePage != 0)
            return font->second.codePage;
    }
    return m_docCodePage;
}

void Reader::textByte(unsigned char b)
{
    if (m_ucSkip > 0) {
        --m_ucSkip;
        return;
    }
    const Dest dest = top().dest;
    if (dest == Dest::ColorTable) {
        if (b == ';') {
            if (m_colours.size() < kMaxColours)
                m_colours.push_back(m_rgbSet ? std::optional(QColor(m_rgb[0], m_rgb[1], m_rgb[2])) : std::nullopt);
            m_rgb[0] = m_rgb[1] = m_rgb[2] = 0;
            m_rgbSet = false;
        }
        return;
    }
    if (dest == Dest::FontTable && b == ';') {
        dropLead();
        commitFontName();
        return;
    }
    const int page = codePage();
    if (m_leadPage != 0) {
        // Any byte completes a lead byte, also one in the ASCII range.
        if (m_leadPage == page) {
            feedByte(page, b);
            return;
        }
        dropLead();
    }
    if (b < 0x80) {
        if (b >= 0x20)
            textChar(char16_t(b));
        else if (b == '\t')
            textChar(u'\t');
        return;
    }
    if (m_codePages.isSingleByte(page))
        textChar(m_codePages.charOf(page, b));
    else
        feedByte(page, b);
}

void Reader::feedByte(int page, unsigned char b)
{
    const QString chars = m_codePages.feed(page, char(b));
    m_leadPage = chars.isEmpty() ? page : 0;
    for (const QChar c : chars)
        textChar(c.unicode());
}

void Reader::dropLead()
{
    if (m_leadPage != 0)
        m_codePages.reset(m_leadPage);
    m_leadPage = 0;
}

void Reader::textChar(char16_t c)
{
    GroupState& g = top();
    if (g.dest == Dest::FontTable) {
        if (g.fontDef != INT_MIN)
            m_fontName.append(QChar(c));
        return;
    }
    if (g.dest != Dest::Text || g.chars.hidden)
        return;
    if (!m_run.isEmpty() && !(m_runProps == g.chars))
        flushRun();
    if (m_run.isEmpty())
        m_runProps = g.chars;
    m_run.append(QChar(c));
}

void Reader::flushRun()
{
    if (m_run.isEmpty())
        return;
    m_cursor.insertText(m_run, charFormat(m_runProps));
    m_run.clear();
}

void Reader::endParagraph()
{
    if (top().dest != Dest::Text)
        return;
    if (top().align != m_blockAlign) {
        flushRun();
        setAlignment(top().align);
    }
    // Inserted with the run, the separator starts a paragraph that takes this one's format.
    if (m_run.isEmpty())
        m_runProps = top().chars;
    m_run.append(QChar::ParagraphSeparator);
}

void Reader::setAlignment(Qt::Alignment align)
{
    // Setting a block's format costs as much as inserting it: only when it changes.
    if (align == m_blockAlign)
        return;
    QTextBlockFormat block = m_cursor.blockFormat();
    block.setAlignment(align);
    m_cursor.setBlockFormat(block);
    m_blockAlign = align;
}

void Reader::commitFontName()
{
    const int def = top().fontDef;
    if (def != INT_MIN && !m_fontName.isEmpty())
        m_fonts[def].name = m_fontName.trimmed();
    m_fontName.clear();
}

QTextCharFormat Reader::charFormat(const CharProps& props) const
{
    QTextCharFormat format;
    const auto font = m_fonts.find(props.font >= 0 ? props.font : m_deff);
    if (font != m_fonts.end() && !font->second.name.isEmpty()) {
        format.setFontFamilies({font->second.name});
        format.setFontStyleHint(font->second.hint);
    }
    format.setFontPointSize(props.halfPoints / 2.0);
    if (props.bold)
        format.setFontWeight(QFont::Bold);
    if (props.italic)
        format.setFontItalic(true);
    if (props.underline)
        format.setFontUnderline(true);
    if (props.strike)
        format.setFontStrikeOut(true);
    if (props.vertical != 0)
        format.setVerticalAlignment(props.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                       : QTextCharFormat::AlignSubScript);
    if (props.fg >= 0 && std::size_t(props.fg) < m_colours.size() && m_colours[props.fg])
        format.setForeground(*m_colours[props.fg]);
    if (props.bg > 0 && std::size_t(props.bg) < m_colours.size() && m_colours[props.bg])
        format.setBackground(*m_colours[props.bg]);
    return format;
}

} // namespace

bool IsRtf(QByteArrayView bytes)
{
    return bytes.startsWith("{\\rtf");
}

void ReadRtf(QByteArrayView bytes, QTextDocument& document)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    // One edit block: the layout hears of the whole document once, not of every run.
    QTextCursor edit(&document);
    edit.beginEditBlock();
    Reader(bytes, document).run();
    edit.endEditBlock();
    document.setUndoRedoEnabled(undo);
}

} // namespace corvane::preview
