#include "bubbleviewmgr.h"

#include "formats/messageassets.h"
#include "formats/messagepagepainter.h"
#include "formats/messagepartpictures.h"
#include "pictures/pictureloader.h"
#include "platform/desktop.h"
#include "shell/core/dataroot.h"
#include "shell/core/fileutils.h"
#include "shell/core/outputfile.h"
#include "shell/core/plaintext.h"
#include "shell/messagebox.h"
#include "shell/uiprompt.h"
#include "views/messages/bubblepage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryFile>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <algorithm>

namespace {

const QLatin1String kPreviousPage("/pre_page");
const QLatin1String kNextPage("/next_page");

// setHtml turns the page into "data:text/html;charset=UTF-8," followed by
// the percent-encoded bytes.
constexpr qsizetype kDataUrlPrefix = 29;
// Room left below the engine's limit.
constexpr qsizetype kDataUrlMargin = 4096;

bool isUnreserved(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

// The head of a page, its body marked with the number of the page shown.
QString pageHead(quint64 shown)
{
    return QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\">"
                          "<head>"
                          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
                          "<title>Bubble</title>"
                          "<link href=\"bubble/style.css\" type=\"text/css\" rel=\"stylesheet\"/>"
                          "</head><body data-shown=\"%1\">"
                          "<a name=\"start\"></a>")
        .arg(shown);
}

// What the picture loader keeps of a part's picture that was made: a blank
// of its size (the page shows the kept file).
QImage sizeMark(const QSize& size)
{
    if (!size.isValid())
        return QImage();
    QImage mark(size, QImage::Format_Mono);
    mark.fill(0);
    return mark;
}

// A page without messages, marked as the others are.
QString emptyPage(quint64 shown)
{
    return QStringLiteral("<html><body data-shown=\"%1\"></body></html>").arg(shown);
}

// The number of the page shown that the view's document carries, once it
// is whole; null before, and for a document of anyone else's.
const char* const kShownScript
    = "document.readyState === 'complete' && document.body ? document.body.getAttribute('data-shown') : null";

// Puts made pictures in their stand-ins' places: argument {shown, made:
// {key: {url, width, height}}}. Each stand-in marked with a made key (a
// picture's stand-in image, a card's link) shows the picture in a box of
// the given size; when its bubble begins above the view, the view scrolls
// by what the bubble grew, so that what is in view stays where it is. The
// target is counted from where the view was before the change, so a scroll
// the engine made meanwhile to keep its own anchor is not added twice. On
// another page than the one numbered shown it does nothing; it says
// whether it ran on that page.
const char* const kPlaceScript = R"((function (a) {
    if (document.readyState !== 'complete' || !document.body
        || document.body.getAttribute('data-shown') !== a.shown)
        return false;
    var standIns = document.querySelectorAll('[data-part]');
    for (var i = 0; i < standIns.length; ++i) {
        var standIn = standIns[i];
        var key = standIn.getAttribute('data-part');
        if (!Object.prototype.hasOwnProperty.call(a.made, key))
            continue;
        var made = a.made[key];
        var bubble = standIn.closest('div') || standIn;
        var y = window.scrollY;
        var before = bubble.getBoundingClientRect();
        var img = standIn;
        if (standIn.tagName !== 'IMG') {
            img = document.createElement('img');
            standIn.replaceChildren(img);
        }
        img.style.width = made.width + 'px';
        img.style.height = made.height + 'px';
        img.src = made.url;
        standIn.removeAttribute('data-part');
        var after = bubble.getBoundingClientRect();
        if (before.top < 0)
            window.scrollTo(window.scrollX, y + after.height - before.height);
    }
    return true;
}))";

// The box a picture of this size is shown in within bound (as the page's
// max-width and max-height show it).
QSize shownSize(const QSize& size, const QSize& bound)
{
    return size.width() > bound.width() || size.height() > bound.height() ? size.scaled(bound, Qt::KeepAspectRatio)
                                                                          : size;
}

constexpr QSize kThumbnailBound(120, 120);
constexpr QSize kCardBound(200, 200);

} // namespace

BubbleViewMgr::BubbleViewMgr(QObject* parent)
    : QObject(parent)
    , m_pictures(new PictureLoader(this))
{
    connect(m_pictures, &PictureLoader::ready, this, &BubbleViewMgr::onPictureReady);
}

BubbleViewMgr::~BubbleViewMgr() = default;

void BubbleViewMgr::setView(QWebEngineView* view)
{
    m_view = view;
    if (!view)
        return;
    // The page is the view's child: it goes with the view.
    m_page = new BubblePage(view);
    view->setPage(m_page);
    // The engine's own menu would offer reload, history and "view source".
    view->setContextMenuPolicy(Qt::NoContextMenu);
    connect(view, &QWebEngineView::loadFinished, this, &BubbleViewMgr::onLoadFinish);
    connect(m_page, &BubblePage::linkClicked, this, &BubbleViewMgr::onLinkClicked);
    // Nothing is made for a view that went.
    connect(view, &QObject::destroyed, m_pictures, &PictureLoader::stopAll);
}

QUrl BubbleViewMgr::baseUrl()
{
    return QUrl::fromLocalFile(messageassets::applicationFolder() + QLatin1Char('/'));
}

QString BubbleViewMgr::fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

QString BubbleViewMgr::pageFile() const
{
    return m_pageFile ? m_pageFile->fileName() : QString();
}

void BubbleViewMgr::showBubble(const MsgMessageList& smslist)
{
    m_messages = smslist;
    if (m_messages.isEmpty()) {
        m_currentPage = 0;
        m_pageCount = 0;
        renderPage(0);
        return;
    }
    m_pageCount = int((m_messages.size() + kPageSize - 1) / kPageSize);
    m_currentPage = 1;
    m_anchor = QStringLiteral("start");
    renderPage(m_currentPage);
}

QString BubbleViewMgr::pageHtml(int p) const
{
    return pageHtml(p, nullptr);
}

QString BubbleViewMgr::pageHtml(int p, QList<Wanted>* wanted) const
{
    if (p < 1 || p > m_pageCount)
        return QString();
    const qsizetype first = qsizetype(p - 1) * kPageSize;
    const qsizetype count = std::min<qsizetype>(m_messages.size() - first, kPageSize);

    QString html = pageHead(m_shown);
    if (p != 1)
        html += QLatin1String("<p><a href=\"/pre_page\">&lt;&lt;Previous Page</a></p>");
    // A date line heads every page, then every message more than a minute
    // after the last line.
    qint64 lastHeader = 0;
    bool hasHeader = false;
    for (qsizetype i = first; i < first + count; ++i)
        html += messageHtml(m_messages.at(i), &lastHeader, &hasHeader, wanted);
    if (p != m_pageCount)
        html += QLatin1String("<p><a href=\"/next_page\">&gt;&gt;Next Page</a></p>");
    html += QLatin1String("<a name=\"end\"></a></body></html>");
    return html;
}

QString BubbleViewMgr::messageHtml(const _MsgMessage* m, qint64* lastHeader, bool* hasHeader,
                                   QList<Wanted>* wanted) const
{
    QString html = QLatin1String("<a name=\"sms_") + QString::number(m->ROWID) + QLatin1String("\"></a>");
    if (m->item_type != 0)
        return html + QLatin1String("<div class=\"sysif\">") + escapeHtml(getMsgPlainText(m)) + QLatin1String("</div>");

    const QString sender = messageSenderName(m);
    const bool fromMe = m->is_from_me != 0;

    const QDateTime when = dateFromIosTime(m->date);
    const qint64 t = when.toSecsSinceEpoch();
    if (!*hasHeader || t - *lastHeader > 60) {
        html += QLatin1String("<div class=\"dt\">") + when.toString(QStringLiteral("dd MMM yyyy h:m AP"))
            + QLatin1String("</div>");
        *lastHeader = t;
        *hasHeader = true;
    }

    QString text;
    if (!m->subject.isEmpty())
        text = QStringLiteral("<Subject:") + m->subject + QStringLiteral(">\n");
    text = (text + removeObjReplacementChars(m)).trimmed();
    if (!text.isEmpty() || m->attachments.isEmpty())
        html += makeBubble(escapeHtml(bubbleText(text)), fromMe, sender);

    for (const _MsgAttachment* att : getAttachments(m))
        html += attachmentHtml(att, fromMe, sender, wanted);
    return html;
}

QString BubbleViewMgr::imageLink(const QString& path, const QString& source, const QString& attributes)
{
    return QLatin1String("<a href=\"") + htmlAttribute(fileUrl(path)) + QLatin1String("\"><img src=\"")
        + htmlAttribute(source) + QLatin1String("\" ") + attributes + QLatin1String("></a>");
}

QString BubbleViewMgr::linkBubbleContent(const QString& path, const char* label, const QString& attributes)
{
    return QLatin1String("<a href=\"") + htmlAttribute(fileUrl(path)) + QLatin1String("\"") + attributes
        + QLatin1String(">") + QLatin1String(label) + QLatin1String("</a>");
}

QString BubbleViewMgr::partPicture(const _MsgAttachment* att, const QSize& bound, QList<Wanted>* wanted,
                                   QString* standIn) const
{
    QString kept;
    QString made = partpictures::madePath(att, &kept);
    if (!made.isEmpty())
        return made;
    // Named after the kept file: the key carries nothing of the phone's.
    const QString key = QFileInfo(kept).fileName();
    if (!m_pictures->made(key).has_value()) {
        *standIn = QLatin1String(" data-part=\"") + htmlAttribute(key) + QLatin1String("\"");
        if (wanted)
            wanted->append({key, *att, bound});
    }
    return QString();
}

QString BubbleViewMgr::attachmentHtml(const _MsgAttachment* att, bool fromMe, const QString& sender,
                                      QList<Wanted>* wanted) const
{
    const QString& mime = att->mime_type;
    const QString& path = att->localPath;
    const partpictures::Kind pictureKind = partpictures::kindOf(att);
    if (pictureKind == partpictures::Kind::Thumbnail) {
        // Until its thumbnail is made (or when none can be), the stand-in.
        QString standIn;
        const QString thumbnail = partPicture(att, kThumbnailBound, wanted, &standIn);
        return makeBubble(imageLink(path,
                                    thumbnail.isEmpty() ? QStringLiteral("bubble/empty_photo.jpg") : fileUrl(thumbnail),
                                    QStringLiteral("style=\"max-width:120px;max-height:120px\"") + standIn),
                          fromMe, sender);
    }
    if (mime.startsWith(QLatin1String("video/"), Qt::CaseInsensitive))
        return makeBubble(linkBubbleContent(path, "[VIDEO]"), fromMe, sender);
    if (mime.startsWith(QLatin1String("audio/"), Qt::CaseInsensitive))
        return makeBubble(linkBubbleContent(path, "[AUDIO]"), fromMe, sender);
    if (pictureKind == partpictures::Kind::Card) {
        // Until its picture is made, and when the card does not parse (or
        // the file is missing), the link stands in for it.
        QString standIn;
        const QString card = partPicture(att, kCardBound, wanted, &standIn);
        if (!card.isEmpty())
            return makeBubble(
                imageLink(path, fileUrl(card), QStringLiteral("style=\"max-width:200px;max-height:200px\"")), fromMe,
                sender);
        return makeBubble(linkBubbleContent(path, "[VCARD]", standIn), fromMe, sender);
    }
    if (mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0) {
        QString text;
        if (!readTextAttachment(path, &text))
            return QString();
        return makeBubble(escapeHtml(bubbleText(text)), fromMe, sender);
    }
    return makeBubble(linkBubbleContent(path, "[ATTACHMENT]"), fromMe, sender);
}

QString BubbleViewMgr::bubbleText(QString text)
{
    if (text.size() <= kMaxBubbleText)
        return text;
    qsizetype cut = kMaxBubbleText;
    // Never half of a surrogate pair.
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    text.truncate(cut);
    return text + QChar(0x2026);
}

qsizetype BubbleViewMgr::dataUrlLength(const QByteArray& utf8)
{
    qsizetype n = kDataUrlPrefix;
    for (const char c : utf8)
        n += isUnreserved(uchar(c)) ? 1 : 3;
    return n;
}

QString BubbleViewMgr::withAbsoluteAssetLinks(QString html)
{
    // Every "<" of a page is markup of our own (data is escaped), so these
    // tags can only be the ones the page builder wrote.
    const QString base = htmlAttribute(baseUrl().toString(QUrl::FullyEncoded));
    html.replace(QLatin1String("<link href=\"bubble/"),
                 QLatin1String("<link href=\"") + base + QLatin1String("bubble/"));
    html.replace(QLatin1String("<img src=\"bubble/"), QLatin1String("<img src=\"") + base + QLatin1String("bubble/"));
    html.replace(QLatin1String("<img src=\"emoji/"), QLatin1String("<img src=\"") + base + QLatin1String("emoji/"));
    return html;
}

void BubbleViewMgr::renderPage(int p)
{
    // Another page: what was under way for the one before stops.
    ++m_shown;
    m_pictures->stopAll();
    m_waiting.clear();
    m_unplaced = QJsonObject();
    m_placing = false;
    if (p == 0) {
        load(emptyPage(m_shown));
        return;
    }
    if (p < 1 || p > m_pageCount)
        return;
    showPage(p);
}

void BubbleViewMgr::showPage(int p)
{
    QList<Wanted> wanted;
    const QString html = pageHtml(p, &wanted);
    for (const Wanted& w : std::as_const(wanted)) {
        const _MsgAttachment part = w.part;
        const bool made = m_pictures
                              ->picture(w.key,
                                        [part](const std::atomic_bool& stop) {
                                            // The page shows the kept file: the loader
                                            // only tells its size.
                                            return sizeMark(partpictures::make(&part, &stop));
                                        })
                              .has_value();
        if (!made)
            m_waiting.insert(w.key, {partpictures::keptPath(&part), w.bound});
    }
    load(html);
}

void BubbleViewMgr::onPictureReady(const QString& key)
{
    if (!m_waiting.contains(key))
        return; // of a page shown before
    const Waiting w = m_waiting.take(key);
    const std::optional<QImage> mark = m_pictures->made(key);
    // None made (beyond the reader's bounds, no card): the stand-in stays.
    if (!mark || mark->isNull() || !m_page)
        return;
    const QSize box = shownSize(mark->size(), w.bound);
    m_unplaced.insert(key,
                      QJsonObject {{QStringLiteral("url"), fileUrl(w.path)},
                                   {QStringLiteral("width"), box.width()},
                                   {QStringLiteral("height"), box.height()}});
    place();
}

void BubbleViewMgr::place()
{
    if (m_placing || m_loading || m_unplaced.isEmpty() || !m_page)
        return;
    // Every value reaches the script as JSON: keys and paths are never
    // script text.
    const QJsonObject argument {{QStringLiteral("shown"), QString::number(m_shown)},
                                {QStringLiteral("made"), m_unplaced}};
    const QString script = QLatin1String(kPlaceScript) + QLatin1Char('(')
        + QString::fromUtf8(QJsonDocument(argument).toJson(QJsonDocument::Compact)) + QLatin1Char(')');
    m_placing = true;
    const quint64 shown = m_shown;
    const QStringList keys = m_unplaced.keys();
    const QPointer<BubbleViewMgr> self(this);
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [self, shown, keys](const QVariant& placed) {
        if (!self || self->m_shown != shown)
            return;
        self->m_placing = false;
        // Not the page yet (another was on show): the page's load places
        // them.
        if (!placed.toBool())
            return;
        for (const QString& key : keys)
            self->m_unplaced.remove(key);
        self->place();
    });
}

bool BubbleViewMgr::showsAllPictures() const
{
    return m_waiting.isEmpty() && m_unplaced.isEmpty() && !m_loading;
}

void BubbleViewMgr::load(const QString& html)
{
    if (!m_view)
        return;
    const QByteArray utf8 = html.toUtf8();
    // A quick bound first: most pages are far below the limit.
    const bool small = utf8.size() * 3 + kDataUrlPrefix < kMaxDataUrl - kDataUrlMargin;
    if (small || dataUrlLength(utf8) < kMaxDataUrl - kDataUrlMargin) {
        m_pageFile.reset();
        m_loading = true;
        m_view->setHtml(html, baseUrl());
        return;
    }
    // Too large for a data URL: the engine would show nothing.
    auto file
        = std::make_unique<QTemporaryFile>(privateTempDir().absoluteFilePath(QStringLiteral("bubble-XXXXXX.html")));
    const QByteArray bytes = withAbsoluteAssetLinks(html).toUtf8();
    if (!file->open() || file->write(bytes) != bytes.size() || !file->flush()) {
        showError(QStringLiteral("write file %1 failed. %2").arg(file->fileName(), file->errorString()));
        return;
    }
    file->close();
    m_loading = true;
    m_view->load(QUrl::fromLocalFile(file->fileName()));
    // The previous page file goes once the new one is in place.
    m_pageFile = std::move(file);
}

void BubbleViewMgr::onLoadFinish(bool)
{
    if (!m_page) {
        m_loading = false;
        return;
    }
    // A load that ended (or was cut short by the next) may not be the page
    // on show: the page tells by its number.
    const quint64 shown = m_shown;
    const QPointer<BubbleViewMgr> self(this);
    m_page->runJavaScript(QLatin1String(kShownScript), QWebEngineScript::ApplicationWorld,
                          [self, shown](const QVariant& on) {
                              if (!self || self->m_shown != shown || on.toString() != QString::number(shown))
                                  return;
                              self->m_loading = false;
                              self->scrollToAnchor();
                              // Scripts run in turn: the pictures made while the
                              // page loaded go in their places after its scroll.
                              self->place();
                          });
}

void BubbleViewMgr::scrollToAnchor()
{
    if (!m_page || m_anchor.isEmpty())
        return;
    // Anchors are our own names ("start", "end", "sms_<rowid>"). The script
    // runs in the application's world; page scripts stay off.
    const QString script = QStringLiteral("(function(){var a=document.getElementsByName('%1')[0];"
                                          "if(a)a.scrollIntoView(true);})();")
                               .arg(m_anchor);
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

void BubbleViewMgr::scrollToPos(int ipos)
{
    if (ipos < 0 || ipos >= m_messages.size())
        return;
    const int target = ipos / kPageSize + 1;
    m_anchor = QStringLiteral("sms_%1").arg(m_messages.at(ipos)->ROWID);
    if (target == m_currentPage) {
        scrollToAnchor();
        return;
    }
    m_currentPage = target;
    renderPage(m_currentPage);
}

void BubbleViewMgr::firstPage()
{
    if (m_pageCount < 1)
        return;
    m_currentPage = 1;
    m_anchor = QStringLiteral("start");
    renderPage(m_currentPage);
}

void BubbleViewMgr::previousPage()
{
    if (m_currentPage - 1 <= 0)
        return;
    m_anchor = QStringLiteral("end");
    --m_currentPage;
    renderPage(m_currentPage);
}

void BubbleViewMgr::nextPage()
{
    if (m_currentPage + 1 > m_pageCount)
        return;
    m_anchor = QStringLiteral("start");
    ++m_currentPage;
    renderPage(m_currentPage);
}

void BubbleViewMgr::lastPage()
{
    if (m_pageCount < 1)
        return;
    m_currentPage = m_pageCount;
    m_anchor = QStringLiteral("end");
    renderPage(m_currentPage);
}

bool BubbleViewMgr::opensInDesktop(const QString& suffix)
{
    static const QStringList kOpened = QStringLiteral("jpg jpeg png bmp gif mp3 mp4 mov").split(QLatin1Char(' '));
    return kOpened.contains(suffix);
}

void BubbleViewMgr::onLinkClicked(const QUrl& url)
{
    const bool local = url.isLocalFile();
    if (local && url.path() == kPreviousPage) {
        previousPage();
        return;
    }
    if (local && url.path() == kNextPage) {
        nextPage();
        return;
    }
    if (!local)
        return;
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (!info.isFile()) {
        showWarning(asPlainText(QStringLiteral("can not find %1.").arg(path)));
        return;
    }
    if (opensInDesktop(info.suffix())) {
        desktop::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
        return;
    }
    saveAttachment(info.absoluteFilePath());
}

void BubbleViewMgr::saveAttachment(const QString& path)
{
    const QString target = uiprompt::getSaveFileName(m_view, tr("IDS_SAVE_ATTACHMENT"),
                                                     QDir::home().absoluteFilePath(QFileInfo(path).fileName()));
    if (target.isEmpty())
        return;
    if (saveFileCopy(path, target))
        showInfo(tr("IDS_SAVE_ATTACHMENT_SUC"));
    else
        showError(tr("IDS_SAVE_ATTACHMENT_FILE_ERROR"));
}

bool BubbleViewMgr::saveFileCopy(const QString& source, const QString& target)
{
    if (QFileInfo(source).absoluteFilePath() == QFileInfo(target).absoluteFilePath())
        return true;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // Written whole or not at all (OutputFile): a failed copy leaves the old
    // file as it was.
    OutputFile out(target);
    if (!out.open())
        return false;
    constexpr qint64 kChunk = 1024 * 1024;
    while (!in.atEnd()) {
        const QByteArray block = in.read(kChunk);
        if ((block.isEmpty() && in.error() != QFileDevice::NoError) || !out.write(block))
            return false;
    }
    return out.commit();
}
