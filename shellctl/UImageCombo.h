#pragma once
// An owner-drawn combo box whose entries carry an icon, an indent and a caption.
#include <QComboBox>
#include <QPixmap>
#include <functional>
#include <memory>
#include <vector>

namespace corvane::shellctl {

class TCustomImageCombo;

class TImageComboItem
{
public:
    TImageComboItem(TCustomImageCombo* owner, int index) : m_owner(owner), m_index(index) {}
    virtual ~TImageComboItem() = default;
    TCustomImageCombo* Owner() const { return m_owner; }
    int Index() const { return m_index; }
    int ImageIndex = -1;
    int Indent = 0;
    int OverlayIndex = -1;
    QString Caption;
    // The icon to draw; a pixmap of the shared icon table.
    QPixmap Image;

private:
    friend class TCustomImageCombo;
    TCustomImageCombo* m_owner;
    int m_index;
};

class TCustomImageCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit TCustomImageCombo(QWidget* parent = nullptr);
    ~TCustomImageCombo() override;

    int IndentPixels() const { return m_indentPixels; }
    void SetIndentPixels(int px);
    TImageComboItem* AddEntry(const QString& caption, const QPixmap& image, int indent);
    int EntryCount() const { return int(m_items.size()); }
    TImageComboItem* Entry(int i) const { return i >= 0 && i < EntryCount() ? m_items[size_t(i)].get() : nullptr; }
    void ClearEntries();
    // The x where an entry's image and caption start inside its rectangle.
    int ImageLeft(int indent) const { return 2 + indent * m_indentPixels; }
    int CaptionLeft(int indent, int imageWidth) const { return (imageWidth > 0 ? imageWidth + 4 : 4) + indent * m_indentPixels + 1; }

    std::function<void(QObject*, TImageComboItem*)> OnDeleteItem;

protected:
    void paintEvent(QPaintEvent* e) override;
    virtual std::unique_ptr<TImageComboItem> CreateItem(int index);

private:
    std::vector<std::unique_ptr<TImageComboItem>> m_items;
    int m_indentPixels = 12;
};

} // namespace corvane::shellctl
