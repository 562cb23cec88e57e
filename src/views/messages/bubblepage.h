// The web page behind the bubble view. It shows only the pages the bubble
// manager gives it: a link the user clicks is handed out as linkClicked and
// never followed, no other navigation is accepted, page scripts and plugins
// are off, and no request leaves for anything but local files and the
// page's own data.
#pragma once

#include <QUrl>
#include <QWebEnginePage>

class BubblePage : public QWebEnginePage {
    Q_OBJECT

public:
    explicit BubblePage(QObject* parent = nullptr);

    // Public so that the delegation can be checked without a click.
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

    // The schemes a page may load from.
    static bool isLocalScheme(const QString& scheme);

signals:
    void linkClicked(const QUrl& url);
};
