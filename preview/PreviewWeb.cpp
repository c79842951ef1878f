#include "PreviewWeb.h"

#include "core/NameCodec.h"
#include "platform/Clipboard.h"
#include "preview/engine/WebRequestRule.h"

#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <unistd.h>

namespace corvane::preview {

// Refuses every request of a previewed page that is not a file beside it.
class TWebRequestGuard : public QWebEngineUrlRequestInterceptor
{
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!WebRequestAllowed(info.requestUrl(), folder))
            info.block(true);
    }
    // The raw folder of the page being shown.
    QByteArray folder;
};

namespace {

const QUrl kBlank(QStringLiteral("about:blank"));

class TPreviewPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl&, NavigationType type, bool isMainFrame) override
    {
        // The preview alone decides which page is shown: links, forms and refreshes of the page
        // go nowhere, so a page that refreshes itself cannot loop. Its frames load what the
        // guard lets through.
        return !isMainFrame || type == NavigationTypeTyped;
    }
};

// Chromium ends the whole program when it runs as root with its sandbox on; as root the view
// is only used once the user has switched the sandbox off.
bool engineMayStart()
{
    if (::geteuid() != 0)
        return true;
    if (!qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        return true;
    return qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox"));
}

QByteArray pathOf(const QUrl& url)
{
    return platform::FileUriToPath(url.toEncoded(QUrl::RemoveQuery | QUrl::RemoveFragment));
}

} // namespace

TWebBrowser::TWebBrowser(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

TWebBrowser::~TWebBrowser()
{
    // The page goes before the profile it uses.
    delete m_view;
}

void TWebBrowser::createView()
{
    m_guard = std::make_unique<TWebRequestGuard>();
    // A profile without a storage name keeps nothing on disk: no history, cookies or cache.
    m_profile = std::make_unique<QWebEngineProfile>();
    m_profile->setHttpCacheType(QWebEngineProfile::NoCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    m_profile->setUrlRequestInterceptor(m_guard.get());

    m_view = new QWebEngineView(this);
    auto* page = new TPreviewPage(m_profile.get(), m_view);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebGLEnabled, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    // Dropping a file on the preview must not replace the page, and showing a page must not
    // take the keyboard from the file list.
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    m_view->setPage(page);
    layout()->addWidget(m_view);

    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (m_wanted.isEmpty() || pathOf(info.url()) != pathOf(m_wanted))
            return;
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
            m_view->history()->clear();
            show();
            emit PageLoaded(true);
        } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
            emit PageLoaded(false);
        }
    });
    // A page that brought its renderer down shows nothing rather than the remains.
    connect(page, &QWebEnginePage::renderProcessTerminated, this, [this](QWebEnginePage::RenderProcessTerminationStatus status) {
        if (status != QWebEnginePage::NormalTerminationStatus)
            hide();
    });
}

void TWebBrowser::Navigate(const QString& path)
{
    if (!engineMayStart()) {
        emit PageLoaded(false);
        return;
    }
    if (!m_view)
        createView();
    const QByteArray raw = core::EncodeName(path);
    m_guard->folder = core::ParentOf(raw);
    m_wanted = LocalFileUrl(raw);
    m_view->setUrl(m_wanted);
}

void TWebBrowser::Clear()
{
    hide();
    if (!m_view || m_wanted.isEmpty())
        return;
    m_wanted.clear();
    m_guard->folder.clear();
    m_view->stop();
    m_view->setUrl(kBlank);
}

} // namespace corvane::preview
