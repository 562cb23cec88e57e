#include "formats/messagepagepainter.h"

#include "formats/messageassets.h"
#include "formats/messagepartpictures.h"
#include "messagestore/emoji.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Frame insets: top, right, bottom, left.
struct Insets {
    int top, right, bottom, left;
};
constexpr Insets kReceivedInsets {28, 29, 24, 40};
constexpr Insets kSentInsets {27, 41, 25, 29};

// Where the content starts inside a bubble.
int contentLeft(bool fromMe)
{
    return fromMe ? 20 : 30;
}
constexpr int kContentTop = 10;

// The nine frame pictures of both directions, read once per process from
// the program's "bubble" folder. Missing files stay null and are skipped.
struct BubbleFrames {
    std::array<QImage, 9> received;
    std::array<QImage, 9> sent;
};

const BubbleFrames& bubbleFrames()
{
    static const BubbleFrames frames = [] {
        BubbleFrames f;
        for (int i = 0; i < 9; ++i) {
            const QString piece = QStringLiteral("_0") + QString::number(i + 1) + QStringLiteral(".png");
            f.received[i].load(messageassets::applicationFile(QStringLiteral("bubble/bb1") + piece));
            f.sent[i].load(messageassets::applicationFile(QStringLiteral("bubble/bb2") + piece));
        }
        return f;
    }();
    return frames;
}

const QImage& emptyPhoto()
{
    static const QImage photo(messageassets::applicationFile(QStringLiteral("bubble/empty_photo.jpg")));
    return photo;
}

QFont pointFont(int points)
{
    QFont f = QGuiApplication::font();
    f.setPointSize(points);
    return f;
}

// The bubble text font, taken once per process.
const QFont& bubbleFont()
{
    static const QFont font = pointFont(12);
    return font;
}

// The text laid out for a bubble: wrapped at word boundaries, and inside a
// word only when the word alone is wider than the line.
struct TextBlock {
    QString text;
    qreal width = 0;
    qreal height = 0;
};

constexpr char16_t kZeroWidthSpace = 0x200B;

// The text as the layout takes it: line feeds as line separators, and a
// break opportunity (an invisible zero-width space) inside every run of 40
// characters without one, so that an endless "word" is laid out in linear
// time and wraps instead of widening the bubble.
QString layoutText(const QString& text)
{
    QString t;
    t.reserve(text.size() + text.size() / 40 + 1);
    int run = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        QChar ch = text.at(i);
        if (ch == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            continue;
        if (ch == QLatin1Char('\n'))
            ch = QChar(QChar::LineSeparator);
        t += ch;
        if (ch.isSpace() || ch.unicode() == kZeroWidthSpace) {
            run = 0;
        } else if (++run >= 40 && !ch.isHighSurrogate()) {
            t += QChar(kZeroWidthSpace);
            run = 0;
        }
    }
    return t;
}

// Lays text out in width; the paint device fixes the resolution (96 dpi,
// the same as the pages of a screen-resolution printer).
void doLayout(QTextLayout& layout, qreal width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

QImage& metricsDevice()
{
    thread_local QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    return device;
}

} // namespace

QColor MessagePagePainter::backgroundColor()
{
    return QColor(219, 226, 237);
}

QColor MessagePagePainter::pageTextColor()
{
    return QColor(146, 146, 165);
}

QString messageSenderName(const _MsgMessage* msg)
{
    if (!msg || !isGroupChat(msg->chat) || msg->is_from_me != 0 || !msg->handle)
        return QString();
    return msg->handle->_ct_name.isEmpty() ? msg->handle->id : msg->handle->_ct_name;
}

bool readTextAttachment(const QString& path, QString* text)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *text = QString::fromUtf8(file.read(kMaxTextAttachmentBytes));
    return true;
}

MessagePagePainter::~MessagePagePainter()
{
    if (painter.isActive())
        painter.end();
}

bool MessagePagePainter::begin(QPrinter* p)
{
    printer = p;
    const QMarginsF margins = printer->pageLayout().margins(QPageLayout::Point);
    const QRectF pageRect = printer->pageRect(QPrinter::DevicePixel);
    area = QRect(int(margins.left()), int(margins.top()), int(pageRect.width() - margins.left() - margins.right()),
                 int(pageRect.height() - margins.top() - margins.bottom()));
    y = area.top();
    page = 1;
    lastHeaderTime = 0;
    m_hasHeader = false;
    if (!painter.begin(printer))
        return false;
    painter.setFont(pointFont(12));
    painter.setPen(pageTextColor());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    newPageDecoration();
    return true;
}

bool MessagePagePainter::end()
{
    if (!painter.isActive())
        return false;
    return painter.end();
}

void MessagePagePainter::newPageDecoration()
{
    painter.fillRect(area, backgroundColor());
    drawPageNumber();
}

void MessagePagePainter::drawPageNumber()
{
    const QRect box(area.left(), area.top() + area.height() + 2, area.width(), 18);
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::number(page));
}

void MessagePagePainter::ensureSpace(int height)
{
    if (!painter.isActive())
        return;
    const int left = area.top() + area.height() - y;
    if (height <= left)
        return;
    // A page that is still empty takes whatever comes, even when it does not
    // fit: the next page would be no better.
    if (y == area.top())
        return;
    printer->newPage();
    y = area.top();
    ++page;
    newPageDecoration();
}

void MessagePagePainter::drawSenderLine(const QString& name)
{
    ensureSpace(19);
    painter.drawText(QRect(area.left() + 25, y, area.width() - 50, 18), Qt::AlignLeft | Qt::AlignVCenter, name);
    y += 19;
}

void MessagePagePainter::placeBubble(const QImage& bubble, bool fromMe)
{
    ensureSpace(bubble.height());
    const int x = fromMe ? area.left() + area.width() - 1 - bubble.width() : area.left();
    painter.drawImage(QPoint(x, y), bubble);
    y += bubble.height() + 10;
}

void MessagePagePainter::drawTextBubbles(const QString& text, int maxWidth, bool fromMe, const QString& sender)
{
    // Room for the sender line above the first piece.
    const int maxHeight = std::max(52, area.height() - (sender.isEmpty() ? 0 : 19));
    const QStringList pieces = splitTextForBubbles(text, maxWidth, maxHeight);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (!sender.isEmpty() && i == 0)
            drawSenderLine(sender);
        placeBubble(renderTextBubble(pieces.at(i), maxWidth, fromMe), fromMe);
    }
}

void MessagePagePainter::drawImageBubble(const QImage& picture, bool fromMe, const QString& sender)
{
    if (!sender.isEmpty())
        drawSenderLine(sender);
    placeBubble(renderImageBubble(picture, fromMe), fromMe);
}

void MessagePagePainter::paintAttachment(const _MsgAttachment* att, int maxWidth, bool fromMe, const QString& sender)
{
    const QString mime = att->mime_type;
    const partpictures::Kind pictureKind = partpictures::kindOf(att);
    if (pictureKind == partpictures::Kind::Thumbnail) {
        // Made before the painting (by the export job, or before a print's
        // preview): only our own small file is read here.
        const QString thumb = partpictures::madePath(att);
        QImage picture;
        if (thumb.isEmpty() || (!picture.load(thumb, "JPEG") && !picture.load(thumb, "PNG")))
            picture = emptyPhoto();
        drawImageBubble(picture, fromMe, sender);
    } else if (mime.startsWith(QLatin1String("video/"), Qt::CaseInsensitive)) {
        drawTextBubbles(QStringLiteral("[VIDEO]"), maxWidth, fromMe, sender);
    } else if (mime.startsWith(QLatin1String("audio/"), Qt::CaseInsensitive)) {
        drawTextBubbles(QStringLiteral("[AUDIO]"), maxWidth, fromMe, sender);
    } else if (pictureKind == partpictures::Kind::Card) {
        const QString card = partpictures::madePath(att);
        if (!card.isEmpty()) {
            QImage picture;
            if (!picture.load(card, "JPEG") && !picture.load(card, "PNG"))
                picture = emptyPhoto();
            drawImageBubble(picture, fromMe, sender);
        } else {
            drawTextBubbles(QStringLiteral("[VCARD]"), maxWidth, fromMe, sender);
        }
    } else if (mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0) {
        QString text;
        if (readTextAttachment(att->localPath, &text))
            drawTextBubbles(text, maxWidth, fromMe, sender);
    } else {
        drawTextBubbles(QStringLiteral("[ATTACHMENT]"), maxWidth, fromMe, sender);
    }
}

void MessagePagePainter::paintMessage(const _MsgMessage* msg)
{
    if (!msg || !painter.isActive())
        return;
    const QString sender = messageSenderName(msg);

    if (msg->item_type != 0) {
        // A system notice: a centred grey line, no bubble, no date line.
        painter.setFont(pointFont(10));
        const QString text = getMsgPlainText(msg);
        const QRect measured
            = painter.boundingRect(QRect(area.left(), 0, area.width(), 0), Qt::AlignHCenter | Qt::TextWordWrap, text);
        ensureSpace(measured.height() + 8);
        painter.drawText(QRect(area.left(), y, area.width(), measured.height()), Qt::AlignHCenter | Qt::TextWordWrap,
                         text);
        y += measured.height() + 8;
        painter.setFont(pointFont(12));
        return;
    }

    const qint64 t = dateFromIosTime(msg->date).toSecsSinceEpoch();
    if (!m_hasHeader || t - lastHeaderTime > 60) {
        m_hasHeader = true;
        lastHeaderTime = t;
        ensureSpace(24);
        painter.drawText(QRect(area.left(), y, area.width(), 22), Qt::AlignHCenter | Qt::AlignVCenter,
                         dateFromIosTime(msg->date).toString(QStringLiteral("dd MMM yyyy h:m AP")));
        y += 24;
    }

    QString text;
    if (!msg->subject.isEmpty())
        text = QStringLiteral("<Subject:") + msg->subject + QStringLiteral(">\n");
    text = replaceEmoji((text + removeObjReplacementChars(msg)).trimmed(), emojiToPlaceholder, nullptr);

    const int maxWidth = int(area.width() * 0.8);
    const bool fromMe = msg->is_from_me != 0;
    if (!text.isEmpty() || msg->attachments.isEmpty())
        drawTextBubbles(text, maxWidth, fromMe, sender);
    for (const _MsgAttachment* att : getAttachments(msg))
        paintAttachment(att, maxWidth, fromMe, sender);
}

QImage MessagePagePainter::renderTextBubble(const QString& text, int maxWidth, bool fromMe)
{
    QTextLayout layout(layoutText(text), bubbleFont(), &metricsDevice());
    doLayout(layout, std::max(1, maxWidth - 50));
    const QRectF bounds = layout.boundingRect();
    qreal textWidth = 0;
    for (int i = 0; i < layout.lineCount(); ++i)
        textWidth = std::max(textWidth, layout.lineAt(i).naturalTextWidth());
    const int w = std::max(90, std::min(int(std::ceil(textWidth)), std::max(1, maxWidth - 50)) + 50);
    const int h = std::max(52, int(std::ceil(bounds.height())) + 20);

    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(backgroundColor());
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawBubbleFrame(&p, image.rect(), fromMe);
    p.setPen(Qt::black);
    layout.draw(&p, QPointF(contentLeft(fromMe), kContentTop));
    p.end();
    return image;
}

QImage MessagePagePainter::renderImageBubble(const QImage& picture, bool fromMe)
{
    if (picture.isNull())
        return picture;
    const int w = std::max(90, picture.width() + 50);
    const int h = std::max(52, picture.height() + 30);
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(backgroundColor());
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    drawBubbleFrame(&p, image.rect(), fromMe);
    // Drawn at its own size: pictures keep their proportions.
    p.drawImage(QPoint(contentLeft(fromMe), kContentTop), picture);
    p.end();
    return image;
}

void MessagePagePainter::drawBubbleFrame(QPainter* painter, const QRect& rect, bool fromMe)
{
    const Insets in = fromMe ? kSentInsets : kReceivedInsets;
    const std::array<QImage, 9>& images = fromMe ? bubbleFrames().sent : bubbleFrames().received;
    const int x0 = rect.left(), y0 = rect.top();
    const int midW = std::max(0, rect.width() - in.left - in.right);
    const int midH = std::max(0, rect.height() - in.top - in.bottom);
    const int x1 = x0 + in.left, x2 = x1 + midW;
    const int y1 = y0 + in.top, y2 = y1 + midH;
    const QRect targets[9] = {
        QRect(x0, y0, in.left, in.top),    QRect(x1, y0, midW, in.top),    QRect(x2, y0, in.right, in.top),
        QRect(x0, y1, in.left, midH),      QRect(x1, y1, midW, midH),      QRect(x2, y1, in.right, midH),
        QRect(x0, y2, in.left, in.bottom), QRect(x1, y2, midW, in.bottom), QRect(x2, y2, in.right, in.bottom),
    };
    for (int i = 0; i < 9; ++i) {
        if (!images[i].isNull() && targets[i].width() > 0 && targets[i].height() > 0)
            painter->drawImage(targets[i], images[i]);
    }
}

QStringList MessagePagePainter::splitTextForBubbles(const QString& text, int maxWidth, int maxHeight)
{
    const QString laid = layoutText(text);
    QTextLayout layout(laid, bubbleFont(), &metricsDevice());
    doLayout(layout, std::max(1, maxWidth - 50));
    const qreal limit = std::max(1, maxHeight - 20);
    if (layout.boundingRect().height() <= limit)
        return {text};

    // Cut where a line starts whenever the lines gathered so far fill a
    // bubble; every piece holds at least one line.
    QStringList pieces;
    int pieceStart = 0;
    qreal pieceTop = 0;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const qreal bottom = line.y() + line.height();
        if (bottom - pieceTop > limit && line.textStart() > pieceStart) {
            pieces << laid.mid(pieceStart, line.textStart() - pieceStart);
            pieceStart = line.textStart();
            pieceTop = line.y();
        }
    }
    pieces << laid.mid(pieceStart);
    for (QString& p : pieces) {
        p.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
        p.remove(QChar(kZeroWidthSpace));
        while (p.endsWith(QLatin1Char('\n')))
            p.chop(1);
    }
    return pieces;
}
