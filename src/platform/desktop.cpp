#include "desktop.h"

#include <QDesktopServices>
#include <QDir>

namespace desktop {

namespace {
UrlOpener g_opener;
} // namespace

QUrl urlForTarget(const QString& target)
{
    // One letter before the colon is a drive ("C:/..."), not a scheme.
    const QUrl url(target, QUrl::TolerantMode);
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(QDir::fromNativeSeparators(target));
}

bool openUrl(const QUrl& url)
{
    if (url.isEmpty())
        return false;
    if (g_opener)
        return g_opener(url);
    return QDesktopServices::openUrl(url);
}

UrlOpener setUrlOpener(UrlOpener opener)
{
    UrlOpener previous = std::move(g_opener);
    g_opener = std::move(opener);
    return previous;
}

} // namespace desktop
