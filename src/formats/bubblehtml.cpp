#include "formats/bubblehtml.h"

#include "messagestore/emoji.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

// C0 controls other than TAB, LF and CR, and DEL: not allowed in XHTML text.
bool isForbiddenControl(char16_t u)
{
    return (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0x7F;
}

} // namespace

QString BubbleHtml::escapeHtml(QString text)
{
    // "&" first, so that the entities made below are not escaped again.
    text.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    text.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    text.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    static const QRegularExpression lineBreak(QStringLiteral("\r?\n"));
    text.replace(lineBreak, QStringLiteral("<br/>"));
    for (QChar& ch : text) {
        if (isForbiddenControl(ch.unicode()))
            ch = QChar(QChar::ReplacementCharacter);
    }
    return replaceEmoji(text, emojiToImgTag, nullptr);
}

QString BubbleHtml::makeBubble(const QString& content, bool fromMe, const QString& senderName)
{
    QString html;
    html.reserve(content.size() + 512);
    if (!senderName.isEmpty()) {
        html += QLatin1String("<div class=\"ct_left\">") + escapeHtml(senderName) + QLatin1String("</div>");
        html += QLatin1String("<div class=\"clear\"></div>");
    }
    html += fromMe ? QLatin1String("<div class=\"bb2\">") : QLatin1String("<div class=\"bb1\">");
    static const char* const kSlices[]
        = {"top_left",     "top_middle",  "top_right",     "middle_left", "middle_middle",
           "middle_right", "bottom_left", "bottom_middle", "bottom_right"};
    for (const char* slice : kSlices)
        html += QLatin1String("<div class=\"bb_bg ") + QLatin1String(slice) + QLatin1String("\"></div>");
    html += content;
    html += QLatin1String("</div><div class=\"clear\"></div>");
    return html;
}

QString emojiToImgTag(void*, QString code)
{
    return QLatin1String("<img src=\"emoji/") + code + QLatin1String(".png\" />");
}

QString htmlAttribute(const QString& text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += isForbiddenControl(ch.unicode()) ? QChar(QChar::ReplacementCharacter) : ch;
            break;
        }
    }
    return out;
}

QString relativeFileLink(const QString& folder, const QString& fileName)
{
    // Everything but unreserved characters is encoded, so "#", "?", "%" and
    // ":" in a phone's file name cannot turn the link into something else.
    return folder + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}
