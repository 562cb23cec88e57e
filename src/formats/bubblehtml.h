// Message bodies as HTML: escaping of message text, the chat bubble markup
// and the emoji image tags. Shared by the conversation view and the HTML
// message export; the look comes from "bubble/style.css" beside the program
// (classes "bb1", "bb2", "bb_bg", "ct_left", "clear", "dt", "sysif").
//
// The conversation view's bubble manager reaches these as its own static
// members by deriving from BubbleHtml.
#pragma once

#include <QString>

class BubbleHtml {
public:
    // Message text made safe as HTML element content: "&", "<" and ">"
    // become entities, each LF or CR LF becomes "<br/>" (a lone CR stays),
    // control characters that HTML cannot carry become U+FFFD, and emoji
    // become image tags of the "emoji" folder (emojiToImgTag). Quotes are
    // left alone: the result is for element content, not for attributes.
    static QString escapeHtml(QString text);

    // One bubble around content that is already markup (escaped text, an
    // image link): an optional sender line (the name is escaped here), the
    // "bb2" (sent) or "bb1" (received) div with its nine background slices
    // and the content, and a "clear" div.
    static QString makeBubble(const QString& content, bool fromMe, const QString& senderName);
};

// "<img src=\"emoji/CODE.png\" />" for an emoji code (hex digits only).
QString emojiToImgTag(void* context, QString code);

// Text made safe inside a double- or single-quoted HTML attribute.
QString htmlAttribute(const QString& text);

// A relative link to a file name inside a sub-folder of the page's folder
// ("files/a%20b.jpg"): each character that would change the meaning of the
// URL is percent-encoded. The result still needs htmlAttribute.
QString relativeFileLink(const QString& folder, const QString& fileName);
