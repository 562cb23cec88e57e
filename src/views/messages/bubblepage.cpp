#include "bubblepage.h"

#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

namespace {

// Blocks every request but those of local files and the page's own data:
// nothing a message holds can make the view reach the network.
class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!BubblePage::isLocalScheme(info.requestUrl().scheme()))
            info.block(true);
    }
};

} // namespace

BubblePage::BubblePage(QObject* parent)
    : QWebEnginePage(parent)
{
    QWebEngineSettings* s = settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // The bubble pictures, emoji and thumbnails are local files.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    // A file dropped on the view must not replace the conversation.
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    // A child of the page: it outlives the page's own destructor.
    setUrlRequestInterceptor(new LocalOnlyInterceptor(this));
}

bool BubblePage::isLocalScheme(const QString& scheme)
{
    return scheme == QLatin1String("file") || scheme == QLatin1String("data") || scheme == QLatin1String("qrc")
        || scheme == QLatin1String("about");
}

bool BubblePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (type == NavigationTypeLinkClicked) {
        if (isMainFrame)
            emit linkClicked(url);
        return false;
    }
    // The manager's own loads (setHtml, a page file) are typed; reloads,
    // history steps, redirects and form posts never come from us.
    return type == NavigationTypeTyped && isMainFrame && isLocalScheme(url.scheme());
}
