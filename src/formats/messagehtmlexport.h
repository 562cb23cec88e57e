// One conversation as an XHTML page of chat bubbles. The page links
// "files/style.css" (the bubble style sheet with its pictures, copied there
// by the export job), shows emoji from the "emoji" folder beside it, and
// keeps copies of the attachments in "files" so that it can be opened away
// from the program. The pictures of the emoji a page shows are copied into
// the "emoji" folder beside it as they are met. Every piece of message data
// is escaped: text as element content, names and paths as attributes. The
// page is written through an ExportFile: an earlier page of its name stays
// until end() completed the new one.
#pragma once

#include "formats/exportfile.h"
#include "messagestore/msgrecords.h"
#include "records/absformatexport.h"

#include <QDir>
#include <QSet>
#include <QString>

class ExportMessagesHtml : public AbsFormatExport<_MsgMessage> {
public:
    // Creates "files" in the folder when missing; the page is not opened
    // before begin().
    ExportMessagesHtml(const QDir& folder, const QString& fileName);
    ~ExportMessagesHtml() override;

    // Opens the page and writes its head; throws "create file error. %1"
    // with the reason the file cannot be created.
    void begin() override;
    // One message as one line of markup; throws "write file error. %1"
    // when the page cannot be written.
    void write(const _MsgMessage& msg) override;
    // Closes the body and puts the page in its target's place; throws
    // "write file error. %1" when the page could not be completed.
    void end() override;

    // Copies the file into "files" under its own (cleaned) name, numbered
    // when that is taken, and returns the name used. A failed copy is not
    // reported: the link then names a missing file.
    QString copyToFiles(const QString& sourcePath);
    // "<a href=...><img src=... attributes></a>"; link and imageSource are
    // relative URLs, escaped here; attributes is markup of our own.
    static QString makeImageLink(const QString& link, const QString& imageSource, const QString& attributes);

    QString pagePath() const { return m_out.fileName(); }

private:
    QString messageMarkup(const _MsgMessage& msg);
    QString attachmentMarkup(const _MsgAttachment* att, bool fromMe, const QString& sender);
    void writeText(const QString& text);
    void copyUsedEmoji(const QString& markup);

    qint64 m_lastDivider = 0; // seconds since 1970 of the last date divider
    bool m_hasDivider = false;
    QDir m_folder;
    QDir m_filesDir;
    ExportFile m_out;
    QSet<QString> m_emojiSeen; // codes whose picture was looked after
};
