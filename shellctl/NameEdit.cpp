#include "NameEdit.h"

#include "platform/NameCodec.h"

namespace corvane::shellctl {

using namespace platform;

namespace {

constexpr char16_t PictureBase = 0x2400;
constexpr char16_t DeletePicture = 0x2421;

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7F;
}

bool isPicture(char16_t c)
{
    return (c >= PictureBase && c < PictureBase + 0x20) || c == DeletePicture;
}

// Pictures stand in only for a name that has control characters and no pictures of its own,
// so that mapping them back never changes a character the name already had.
bool usesPictures(const QString& name)
{
    bool control = false;
    for (QChar c : name) {
        if (isPicture(c.unicode()))
            return false;
        control = control || isControl(c.unicode());
    }
    return control;
}

} // namespace

QString EditableName(const ShellFolderPtr& folder, const PItemIDList& rel, const QString& shown)
{
    QString own;
    if (!folder || Failed(folder->GetDisplayNameOf(rel, SHGDN_INFOLDER | SHGDN_FORPARSING, own)) || own.isEmpty())
        return shown;
    return ReadableName(EncodeName(own)) == shown ? own : shown;
}

QString NameToEditText(const QString& name)
{
    if (!usesPictures(name))
        return name;
    QString text = name;
    for (QChar& c : text) {
        if (c.unicode() == 0x7F)
            c = QChar(DeletePicture);
        else if (c.unicode() < 0x20)
            c = QChar(char16_t(PictureBase + c.unicode()));
    }
    return text;
}

QString NameFromEditText(const QString& text, const QString& original)
{
    if (!usesPictures(original))
        return text;
    QString name = text;
    for (QChar& c : name) {
        if (c.unicode() == DeletePicture)
            c = QChar(char16_t(0x7F));
        else if (isPicture(c.unicode()))
            c = QChar(char16_t(c.unicode() - PictureBase));
    }
    return name;
}

} // namespace corvane::shellctl
