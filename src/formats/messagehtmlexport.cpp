#include "formats/messagehtmlexport.h"

#include "formats/bubblehtml.h"
#include "formats/messageassets.h"
#include "formats/messagepagepainter.h"
#include "formats/messagepartpictures.h"
#include "shell/core/errorreport.h"
#include "shell/core/fileutils.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString linkBubble(const QString& link, const char* label)
{
    return QLatin1String("<a href=\"") + htmlAttribute(link) + QLatin1String("\">") + QLatin1String(label)
        + QLatin1String("</a>");
}

} // namespace

ExportMessagesHtml::ExportMessagesHtml(const QDir& folder, const QString& fileName)
    : m_folder(folder)
    , m_filesDir(folder.absoluteFilePath(QStringLiteral("files")))
    , m_out(folder.absoluteFilePath(fileName))
{
    if (!m_filesDir.exists())
        QDir().mkpath(m_filesDir.absolutePath());
}

ExportMessagesHtml::~ExportMessagesHtml() = default;

void ExportMessagesHtml::writeText(const QString& text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    const QByteArray bytes = t.toUtf8();
    if (!m_out.write(bytes))
        failExport("write file error.", m_out.errorString());
}

void ExportMessagesHtml::begin()
{
    if (!m_out.open())
        failExport("create file error.", m_out.errorString());
    QString head;
    head += QLatin1String("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n");
    head += QLatin1String("<html xmlns=\"http://www.w3.org/1999/xhtml\">\n");
    head += QLatin1String("<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n");
    head += QLatin1String("<title>") + BubbleHtml::escapeHtml(appinfo::productName()) + QLatin1String("</title>\n");
    head += QLatin1String("<link href=\"files/style.css\" type=\"text/css\" rel=\"stylesheet\"/></head><body>\n");
    writeText(head);
}

void ExportMessagesHtml::write(const _MsgMessage& msg)
{
    const QString markup = messageMarkup(msg);
    copyUsedEmoji(markup);
    writeText(markup + QLatin1Char('\n'));
}

void ExportMessagesHtml::copyUsedEmoji(const QString& markup)
{
    if (!markup.contains(QLatin1String("<img src=\"emoji/")))
        return;
    static const QRegularExpression tag(QStringLiteral("<img src=\"emoji/([0-9A-F]{1,8})\\.png\" />"));
    const QDir emojiDir(m_folder.absoluteFilePath(QStringLiteral("emoji")));
    for (auto it = tag.globalMatch(markup); it.hasNext();) {
        const QString code = it.next().captured(1);
        if (m_emojiSeen.contains(code))
            continue;
        m_emojiSeen.insert(code);
        const QString source = messageassets::applicationFile(QStringLiteral("emoji/") + code + QStringLiteral(".png"));
        if (!QFileInfo(source).isFile())
            continue;
        if (!emojiDir.exists())
            QDir().mkpath(emojiDir.absolutePath());
        // An existing picture (an earlier export) is kept.
        messageassets::copyNewFile(source, emojiDir.absoluteFilePath(code + QStringLiteral(".png")));
    }
}

void ExportMessagesHtml::end()
{
    if (!m_out.isOpen())
        return;
    writeText(QStringLiteral("</body></html>\n"));
    if (!m_out.commit())
        failExport("write file error.", m_out.errorString());
}

QString ExportMessagesHtml::copyToFiles(const QString& sourcePath)
{
    // The name comes from a phone: it must stay a plain name inside "files".
    QString name = sanitizeFileName(QFileInfo(sourcePath).fileName());
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name = QStringLiteral("attachment") + name;
    name = fitFileName(name);
    const QString target = uniqueFilePath(m_filesDir.absoluteFilePath(name));
    messageassets::copyNewFile(sourcePath, target);
    return QFileInfo(target).fileName();
}

QString ExportMessagesHtml::makeImageLink(const QString& link, const QString& imageSource, const QString& attributes)
{
    return QLatin1String("<a href=\"") + htmlAttribute(link) + QLatin1String("\"><img src=\"")
        + htmlAttribute(imageSource) + QLatin1String("\" ") + attributes + QLatin1String("></a>");
}

QString ExportMessagesHtml::messageMarkup(const _MsgMessage& msg)
{
    if (msg.item_type != 0) {
        return QLatin1String("<div class=\"sysif\">") + BubbleHtml::escapeHtml(getMsgPlainText(&msg))
            + QLatin1String("</div>");
    }

    QString html;
    const QString sender = messageSenderName(&msg);
    const bool fromMe = msg.is_from_me != 0;

    const QDateTime when = dateFromIosTime(msg.date);
    const qint64 t = when.toSecsSinceEpoch();
    if (!m_hasDivider || t - m_lastDivider > 60) {
        html += QLatin1String("<div class=\"dt\">") + when.toString(QStringLiteral("dd MMM yyyy h:m AP"))
            + QLatin1String("</div>");
        m_lastDivider = t;
        m_hasDivider = true;
    }

    QString body;
    if (!msg.subject.isEmpty())
        body = QStringLiteral("<Subject:") + msg.subject + QStringLiteral(">\n");
    body = (body + removeObjReplacementChars(&msg)).trimmed();
    if (!body.isEmpty() || msg.attachments.isEmpty())
        html += BubbleHtml::makeBubble(BubbleHtml::escapeHtml(body), fromMe, sender);

    for (const _MsgAttachment* att : getAttachments(&msg))
        html += attachmentMarkup(att, fromMe, sender);
    return html;
}

QString ExportMessagesHtml::attachmentMarkup(const _MsgAttachment* att, bool fromMe, const QString& sender)
{
    QString link = QStringLiteral("#");
    if (!att->localPath.isEmpty() && QFileInfo(att->localPath).isFile())
        link = relativeFileLink(QStringLiteral("files"), copyToFiles(att->localPath));

    const QString mime = att->mime_type;
    const partpictures::Kind pictureKind = partpictures::kindOf(att);
    if (pictureKind == partpictures::Kind::Thumbnail) {
        // The export job made the thumbnail first. Without one (the picture
        // is missing or unreadable) the stand-in picture of the bubble
        // folder shows.
        const QString thumb = partpictures::madePath(att);
        const QString source = !thumb.isEmpty() ? relativeFileLink(QStringLiteral("files"), copyToFiles(thumb))
                                                : QStringLiteral("files/empty_photo.jpg");
        return BubbleHtml::makeBubble(
            makeImageLink(link, source, QStringLiteral("style=\"max-width:120px;max-height:120px\"")), fromMe, sender);
    }
    if (mime.startsWith(QLatin1String("video/"), Qt::CaseInsensitive))
        return BubbleHtml::makeBubble(linkBubble(link, "[VIDEO]"), fromMe, sender);
    if (mime.startsWith(QLatin1String("audio/"), Qt::CaseInsensitive))
        return BubbleHtml::makeBubble(linkBubble(link, "[AUDIO]"), fromMe, sender);
    if (pictureKind == partpictures::Kind::Card) {
        const QString card = partpictures::madePath(att);
        if (!card.isEmpty()) {
            const QString source = relativeFileLink(QStringLiteral("files"), copyToFiles(card));
            return BubbleHtml::makeBubble(
                makeImageLink(link, source, QStringLiteral("style=\"max-width:200px;max-height:200px\"")), fromMe,
                sender);
        }
        return BubbleHtml::makeBubble(linkBubble(link, "[VCARD]"), fromMe, sender);
    }
    if (mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0) {
        QString text;
        if (readTextAttachment(att->localPath, &text))
            return BubbleHtml::makeBubble(BubbleHtml::escapeHtml(text), fromMe, sender);
        return QString();
    }
    return BubbleHtml::makeBubble(linkBubble(link, "[ATTACHMENT]"), fromMe, sender);
}
