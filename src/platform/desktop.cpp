#include "desktop.h"

#include <QDesktopServices>
#include <QDir>

namespace desktop {

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
    return QDesktopServices::openUrl(url);
}

} // namespace desktop
