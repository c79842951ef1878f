#pragma once
// A status bar of panels with set widths, each a sunken box with one line of text.
#include <QWidget>
#include <vector>

namespace corvane::explorer {

class TStatusBar : public QWidget
{
    Q_OBJECT
public:
    explicit TStatusBar(int panels, QWidget* parent = nullptr);

    int PanelCount() const { return int(m_panels.size()); }
    QString PanelText(int i) const { return m_panels[size_t(i)].text; }
    void SetPanelText(int i, const QString& text);
    int PanelWidth(int i) const { return m_panels[size_t(i)].width; }
    void SetPanelWidth(int i, int width);
    // The width of a text in the bar's font.
    int TextWidth(const QString& text) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    struct Panel {
        QString text;
        int width = 50;
    };
    std::vector<Panel> m_panels;
};

} // namespace corvane::explorer
