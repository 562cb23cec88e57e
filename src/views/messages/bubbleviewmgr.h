// Shows a list of messages as a chat in a web view: one page per 50
// messages, a date line above each burst of messages, one bubble per text
// and per attachment, links to the neighbouring pages and anchors to scroll
// to a message. Only the page on show is ever built.
//
// Every piece of message data reaches the page escaped (text as element
// content, links as fully encoded URLs inside escaped attributes); the view
// runs no page script. A page too large for setHtml is written to a file of
// the private temporary folder and loaded from there, with its links to
// the program's style sheet, bubble and emoji pictures made absolute.
//
// The thumbnail of a picture part and the card picture of a vCard part are
// made off the window's thread by the manager's PictureLoader (and kept as
// files): until then a picture shows the stand-in (bubble/empty_photo.jpg)
// and a card its link, each marked with the key of its picture. The page
// is loaded once: as each picture is made, a script of the application's
// world puts it in its stand-in's place, in a box of the picture's size,
// and scrolls by what a bubble above the view grew or shrank, so that what
// is in view stays where it is (the selection too: no element is
// replaced but a card's link). No script of the page's own is involved.
// The page carries the number of the pages shown so far; a script made for
// another page does nothing. Turning the page, showing other messages or
// the manager going stops what is under way for the page before.
//
// Clicked links come back to onLinkClicked: the paging links turn the page;
// a picture, song or film opens in the desktop's program; any other
// attachment is offered for saving.
#pragma once

#include "formats/bubblehtml.h"
#include "messagestore/msgrecords.h"
#include "views/messages/bubblepage.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QUrl>

#include <memory>

class PictureLoader;
class QTemporaryFile;
class QWebEngineView;

class BubbleViewMgr : public QObject, public BubbleHtml {
    Q_OBJECT

public:
    static constexpr int kPageSize = 50;
    // The longest data URL setHtml can load (what the web engine accepts).
    static constexpr qsizetype kMaxDataUrl = 2 * 1024 * 1024;
    // A bubble shows at most this many characters of a text (a message or
    // a text attachment); the web engine takes seconds to lay out more, and
    // nobody reads megabytes in a bubble.
    static constexpr qsizetype kMaxBubbleText = 1024 * 1024;

    explicit BubbleViewMgr(QObject* parent = nullptr);
    ~BubbleViewMgr() override;

    // Drives this view from now on: gives it the bubble page (no scripts, no
    // navigation of its own, clicks delegated) and follows its loads.
    void setView(QWebEngineView* view);
    BubblePage* page() const { return m_page; }

    const MsgMessageList& messages() const { return m_messages; }
    int currentPage() const { return m_currentPage; }
    int pageCount() const { return m_pageCount; }
    QString anchor() const { return m_anchor; }

    // The markup of page p (1-based) of the messages on show; empty outside
    // 1..pageCount. Links to the program's files are relative to its folder.
    // A part whose picture is not made yet shows its stand-in, marked with
    // the picture's key (data-part); the body carries the number of the
    // page shown (data-shown).
    QString pageHtml(int p) const;
    // Whether the page on show shows every picture its parts have: none is
    // being made, the page has loaded and each made was put in its place.
    bool showsAllPictures() const;
    // The folder the relative links of a page resolve in, as a URL.
    static QUrl baseUrl();
    // The length of the data URL setHtml makes of the UTF-8 page: every
    // byte but the unreserved ones is percent-encoded.
    static qsizetype dataUrlLength(const QByteArray& utf8);
    // The page with its links to the program's files made absolute, for
    // loading from a file elsewhere.
    static QString withAbsoluteAssetLinks(QString html);
    // The file the page on show was loaded from; empty when it went
    // through setHtml.
    QString pageFile() const;

    // Whether a file with this suffix is opened in the desktop's program
    // (exactly one of the picture and media suffixes, case as written);
    // anything else is offered for saving.
    static bool opensInDesktop(const QString& suffix);
    // Copies source over target through a temporary file beside it; the
    // target is replaced only when the copy is complete.
    static bool saveFileCopy(const QString& source, const QString& target);
    // The text cut to kMaxBubbleText characters, with an ellipsis when cut.
    static QString bubbleText(QString text);

public slots:
    void showBubble(const MsgMessageList& smslist);
    void onLoadFinish(bool ok);
    void onLinkClicked(const QUrl& url);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void scrollToPos(int ipos);

private:
    // A part's picture the page asks for (key: the kept file's name), shown
    // within bound.
    struct Wanted {
        QString key;
        _MsgAttachment part;
        QSize bound;
    };
    // A picture the page on show waits for: where it is kept, and the box
    // it is shown within.
    struct Waiting {
        QString path;
        QSize bound;
    };

    void renderPage(int p);
    // Builds page p, asks for the pictures it lacks and loads it.
    void showPage(int p);
    void load(const QString& html);
    void scrollToAnchor();
    void saveAttachment(const QString& path);
    void onPictureReady(const QString& key);
    // Puts the pictures made meanwhile in their stand-ins' places, once the
    // page has loaded and no earlier script is under way.
    void place();
    QString pageHtml(int p, QList<Wanted>* wanted) const;
    QString messageHtml(const _MsgMessage* m, qint64* lastHeader, bool* hasHeader, QList<Wanted>* wanted) const;
    QString attachmentHtml(const _MsgAttachment* att, bool fromMe, const QString& sender, QList<Wanted>* wanted) const;
    // The made picture of a part, or empty. While it is not made, *standIn
    // becomes the attribute that marks its stand-in, and it is asked for
    // through wanted (shown within bound).
    QString partPicture(const _MsgAttachment* att, const QSize& bound, QList<Wanted>* wanted, QString* standIn) const;
    static QString fileUrl(const QString& path);
    static QString imageLink(const QString& path, const QString& source, const QString& attributes);
    static QString linkBubbleContent(const QString& path, const char* label, const QString& attributes = QString());

    QPointer<QWebEngineView> m_view;
    QPointer<BubblePage> m_page;
    MsgMessageList m_messages;
    int m_currentPage = 0;
    int m_pageCount = 0;
    QString m_anchor;
    std::unique_ptr<QTemporaryFile> m_pageFile;
    // Makes the page's pictures; it goes with the manager.
    PictureLoader* m_pictures;
    QHash<QString, Waiting> m_waiting; // pictures of the page on show asked for and not made yet
    QJsonObject m_unplaced; // made and not in their places yet: key -> {url, width, height}
    bool m_placing = false; // a script puts some in their places
    bool m_loading = false; // a page is loading in the view, until it tells it is the page on show
    quint64 m_shown = 0; // counts the pages shown; the page on show carries it
};
