#pragma once
// The shared icon table (the "system image list"): one list of icons for the whole program,
// small and large. An icon index is a position in it; the same icon name gives the same index.
#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <vector>

namespace corvane::platform {

class IconTable
{
public:
    // What to draw when the icon theme has no icon of the name.
    enum Fallback { Document, Folder, FolderOpen, Home, Computer, Trash, Drive };
    // Overlay images: 1 the link arrow, 2 the share hand.
    enum Overlay { NoOverlay = 0, LinkOverlay = 1, ShareOverlay = 2 };

    static IconTable& instance();

    // Outside a desktop session Qt knows no icon theme: the installed ones are taken (Adwaita,
    // then hicolor).
    static void UseInstalledTheme();
    // `genericName`: the icon of the type's family, for themes without the type's own icon.
    int indexFor(const QString& iconName, Fallback fallback, const QString& genericName = {});
    int count() const { return int(m_entries.size()); }
    QIcon icon(int index);
    // Small icons are 16 and large 32 pixels at 96 dpi, scaled to the screen.
    static int smallSize();
    static int largeSize();
    QPixmap pixmap(int index, bool large, Overlay overlay = NoOverlay);

    // A drawn icon of the kind, for when no theme provides one.
    static QIcon fallbackIcon(Fallback kind);

private:
    IconTable();
    struct Entry {
        QString name;
        Fallback fallback;
        QString generic;
        QIcon icon;
        bool resolved = false;
    };
    std::vector<Entry> m_entries;
    QHash<QString, int> m_byName;
    QHash<quint64, QPixmap> m_pixmaps;
};

} // namespace corvane::platform
