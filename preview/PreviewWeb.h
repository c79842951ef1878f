#pragma once
// The web page view of the preview window: a browser that shows one local page and nothing
// else. It loads nothing from the network, runs no scripts, keeps no history and no cache, and
// follows no link or refresh of the page. Its engine starts on first use, since starting it
// is slow and most previews never need it.
#include <QByteArray>
#include <QUrl>
#include <QWidget>

#include <memory>

class QWebEngineProfile;
class QWebEngineView;

namespace corvane::preview {

class TWebRequestGuard;

class TWebBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit TWebBrowser(QWidget* parent = nullptr);
    ~TWebBrowser() override;

    // Starts loading the page; the browser shows itself once the page has loaded and stays
    // hidden when it cannot be loaded.
    void Navigate(const QString& path);
    // Stops a load and drops the page shown, so that the next page never opens on the last one.
    void Clear();
    // The engine's view; none before the first page.
    QWebEngineView* View() const { return m_view; }

signals:
    // A page that Navigate asked for has loaded (and is shown) or failed.
    void PageLoaded(bool ok);

private:
    void createView();

    // Declared before the profile that calls it, so that it outlives the profile.
    std::unique_ptr<TWebRequestGuard> m_guard;
    std::unique_ptr<QWebEngineProfile> m_profile;
    QWebEngineView* m_view = nullptr;
    QUrl m_wanted;
};

} // namespace corvane::preview
