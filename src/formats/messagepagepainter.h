// Conversations drawn as chat bubbles on printer pages: received messages on
// the left, sent ones on the right, date lines between bursts, system
// notices centred, the page number at the foot of every page. Used by the
// message printing and by the PDF message export, one message at a time.
#pragma once

#include "messagestore/msgrecords.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>

class QPrinter;

struct MessagePagePainter {
    QPrinter* printer = nullptr; // not owned
    QPainter painter;
    QRect area; // drawing area of every page, painter coordinates
    int y = 0; // top of the next thing to draw
    int page = 1;
    qint64 lastHeaderTime = 0; // seconds since 1970 of the last date line

    MessagePagePainter() = default;
    // Ends painting when end() was not called.
    ~MessagePagePainter();
    MessagePagePainter(const MessagePagePainter&) = delete;
    MessagePagePainter& operator=(const MessagePagePainter&) = delete;

    // Lays out the area (the page margins once more inside the printable
    // page), begins the painter and draws the first page's background and
    // number. False when the painter could not start on the printer.
    bool begin(QPrinter* printer);
    // Draws the message below what was drawn before, on new pages as needed.
    // A text taller than a page is continued in further bubbles.
    void paintMessage(const _MsgMessage* msg);
    // Starts a new page when height does not fit below y.
    void ensureSpace(int height);
    // Ends the painter; false when the output could not be completed.
    bool end();
    bool isActive() const { return painter.isActive(); }

    // A bubble of word-wrapped text, at most maxWidth wide.
    static QImage renderTextBubble(const QString& text, int maxWidth, bool fromMe);
    // A bubble around a picture; a null picture comes back unchanged.
    static QImage renderImageBubble(const QImage& picture, bool fromMe);
    // The nine frame pictures scaled over rect.
    static void drawBubbleFrame(QPainter* painter, const QRect& rect, bool fromMe);
    // The text cut into pieces whose bubbles (maxWidth wide) are at most
    // maxHeight high, cut between lines.
    static QStringList splitTextForBubbles(const QString& text, int maxWidth, int maxHeight);

    // Page background and page-level text colours.
    static QColor backgroundColor();
    static QColor pageTextColor();

private:
    void newPageDecoration();
    void drawPageNumber();
    void drawSenderLine(const QString& name);
    void placeBubble(const QImage& bubble, bool fromMe);
    void drawTextBubbles(const QString& text, int maxWidth, bool fromMe, const QString& sender);
    void drawImageBubble(const QImage& picture, bool fromMe, const QString& sender);
    void paintAttachment(const _MsgAttachment* att, int maxWidth, bool fromMe, const QString& sender);

    bool m_hasHeader = false; // a date line was drawn in this document
};

// The sender shown above a received bubble in a group conversation: the
// handle's contact name, else its number; empty otherwise.
QString messageSenderName(const _MsgMessage* msg);

// The text of a plain-text attachment (UTF-8); false when the file cannot
// be read. Files past kMaxTextAttachmentBytes are read up to that size.
constexpr qint64 kMaxTextAttachmentBytes = 4 * 1024 * 1024;
bool readTextAttachment(const QString& path, QString* text);
