// Hands folders, files and links to the desktop (file manager, default
// applications). Needs a running QGuiApplication.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace desktop {

// The URL a local path or a link text stands for: texts with a URL scheme
// ("https://...", "file:///...", "mailto:...") as they are, everything else
// as a local file.
QUrl urlForTarget(const QString& target);
// Asks the desktop to open the URL; false when no handler took it.
bool openUrl(const QUrl& url);

// Who opens URLs: the desktop unless replaced. Tests install a recorder so
// that no program is ever launched. GUI thread only.
using UrlOpener = std::function<bool(const QUrl&)>;
// Installs opener (empty restores the desktop) and returns the previous one.
UrlOpener setUrlOpener(UrlOpener opener);

} // namespace desktop
