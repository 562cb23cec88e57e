#include "jobs/updatelocaldbthread.h"

#include "messagestore/exportmessagesdb.h"
#include "messagestore/msgrecords.h"
#include "platform/sqlite_qt.h"
#include "shell/core/dataroot.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <limits>

namespace {

const QString kOldDbName = QStringLiteral("mms.db");
const QString kAttachmentsFolder = QStringLiteral("attachments");
// A text attachment becomes a message body; bodies beyond this are not
// plausible and are not read into memory.
constexpr qint64 kMaxTextAttachmentBytes = 4 * 1024 * 1024;
// Keeps the dialog from being flooded by one post per row.
constexpr int kProgressEveryRows = 50;

void report(JobReport* progress, const QString& status, int percent, const QString& text)
{
    if (progress)
        progress->postUpdateProgress(status, percent, text);
}

int toIosTime(qint64 unixSeconds)
{
    const qint64 t = unixSeconds - kIosEpochOffset;
    if (t > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (t < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(t);
}

void stampGuid(_MsgMessage& msg)
{
    msg.guid = makeGuidFromData(makeLogicHash(&msg).toUtf8());
}

// The attachment's file inside the folder's "attachments" sub-folder, or
// empty when its stored name would lead elsewhere. Databases made on Windows
// may use back-slashes.
QString attachmentPath(const QDir& source, const QString& filename)
{
    QString rel = filename;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return pathUnder(source.absoluteFilePath(kAttachmentsFolder), rel);
}

QString readTextAttachment(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    if (file.size() > kMaxTextAttachmentBytes) {
        qWarning() << "text attachment too large, skipped:" << path;
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

UpdateLocalDbThread::UpdateLocalDbThread(JobReport* progress, QObject* parent)
    : QThread(parent)
    , progress(progress)
{
}

UpdateLocalDbThread::~UpdateLocalDbThread() = default;

bool UpdateLocalDbThread::hasOldDatabase(const QDir& localDatabases)
{
    const QStringList folders = localDatabases.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString& name : folders) {
        if (QFileInfo(QDir(localDatabases.absoluteFilePath(name)).absoluteFilePath(kOldDbName)).isFile())
            return true;
    }
    return false;
}

QString UpdateLocalDbThread::backupFileName(const QDir& folder)
{
    const QString base = kOldDbName + QStringLiteral("-bak");
    if (!QFileInfo::exists(folder.absoluteFilePath(base)))
        return base;
    for (int n = 1;; ++n) {
        const QString name = base + QString::number(n);
        if (!QFileInfo::exists(folder.absoluteFilePath(name)))
            return name;
    }
}

void UpdateLocalDbThread::run()
{
    try {
        const QDir root = getLocalDatabasesDir();
        const QStringList folders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
        for (const QString& name : folders) {
            const QDir folder(root.absoluteFilePath(name));
            if (!QFileInfo(folder.absoluteFilePath(kOldDbName)).isFile())
                continue;
            report(progress, QStringLiteral("Updating local database %1...").arg(name), 0, QString());
            convertOldMessageDb(folder, folder, progress);
            // A folder whose old file keeps its name would be converted again at
            // every start; the next free backup name keeps that from happening.
            const QString backup = backupFileName(folder);
            if (!QFile::rename(folder.absoluteFilePath(kOldDbName), folder.absoluteFilePath(backup)))
                qWarning() << "could not rename the converted" << folder.absoluteFilePath(kOldDbName) << "to" << backup;
        }
        if (progress)
            progress->postSucceed(QStringLiteral("Successfully updated local database."));
    } catch (const std::exception& e) {
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
    } catch (...) {
        if (progress)
            progress->postErrorOccurred(QStringLiteral("Failed to update the local database."));
    }
}

void UpdateLocalDbThread::convertOldMessageDb(const QDir& source, const QDir& target, JobReport* progress)
{
    const QString oldPath = source.absoluteFilePath(kOldDbName);
    if (!QFileInfo(oldPath).isFile())
        return;

    Sqlite3DB old;
    old.openThrow(oldPath, Sqlite3DB::ReadOnly);
    const qint64 rowCount = old.queryInt64Throw(
        Sqlite3Sql(QStringLiteral("select count(*) from message as m inner join handle as h on m.handle_id=h.rowid")));
    Sqlite3Cursor rows = old.queryThrow(QStringLiteral(
        "select m.rowid as old_rowid, m.*, h.address,h.person from message as m inner join handle as h on "
        "m.handle_id=h.rowid"));

    ExportMessagesDb writer(target, QString());
    writer.begin();
    const _Country& country = writer.store().countryDb().getCurCountry();

    Sqlite3Sql attachmentsSql(QStringLiteral(
        "select a.* from attachment as a  inner join message_attachment as ma on ma.attachment_id=a.rowid and "
        "ma.message_id=?"));
    qint64 i = 0;
    while (rows.moveNext()) {
        ++i;
        if (i == 1 || i == rowCount || i % kProgressEveryRows == 0)
            report(progress, QString(), jobreport::percent(i, rowCount), QString());

        const QString address = country.normalizeNumber(rows.getText(QStringLiteral("address")));

        _MsgHandle handle;
        _MsgChat chat;
        makeSmsChat(address, rows.getText(QStringLiteral("person")), &handle, &chat);

        _MsgMessage msg;
        msg.handle = &handle;
        msg.chat = &chat;
        msg.subject = rows.getText(QStringLiteral("subject"));
        msg.replace = 0;
        msg.version = 10;
        msg.type = 0;
        msg.service = QStringLiteral("SMS");
        msg.account = QStringLiteral("e:");
        msg.error = 0;
        const int date = toIosTime(rows.getInt64(QStringLiteral("date")));
        msg.date = date;
        msg.date_read = date;
        msg.date_delivered = date;
        msg.is_from_me = rows.getInt64(QStringLiteral("is_send")) != 0 ? 1 : 0;
        msg.is_finished = 1;
        msg.is_prepared = 1;
        msg.is_read = 1;
        msg.is_sent = 1;
        msg.was_data_detected = 1;

        QString body = rows.getText(QStringLiteral("body"));
        body.remove(QChar(0xFFFC));
        msg.text = body;
        if (!body.isEmpty()) {
            stampGuid(msg);
            writer.write(msg);
        }

        attachmentsSql.clearParams();
        attachmentsSql.addInt64Param(rows.getInt64(QStringLiteral("old_rowid")));
        Sqlite3Cursor atts = old.queryThrow(attachmentsSql);
        while (atts.moveNext()) {
            const QString filename = atts.getText(QStringLiteral("filename"));
            const QString mime = atts.getText(QStringLiteral("mime_type"));
            if (mime.isEmpty() || mime.startsWith(QLatin1String("application/"), Qt::CaseInsensitive))
                continue;
            const QString localPath = attachmentPath(source, filename);
            if (localPath.isEmpty()) {
                qWarning() << "attachment outside its folder skipped:" << filename;
                continue;
            }
            if (mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0) {
                const QString text = readTextAttachment(localPath);
                if (text.trimmed().isEmpty())
                    continue;
                msg.text = text;
                msg.attachments.clear();
                msg.attributedBody.clear();
                stampGuid(msg);
                writer.write(msg);
                continue;
            }

            const QString relPath = kAttachmentsFolder + QLatin1Char('/') + filename;
            const QString fileName = QFileInfo(localPath).fileName();
            _MsgAttachment att;
            att.guid = makeGuidFromData(relPath.toUtf8());
            att.created_date = msg.date;
            att.filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
                               .arg(att.guid.mid(0, 2).toLower(), att.guid.mid(2, 2).toLower(), att.guid, fileName);
            att.mime_type = mime;
            att.uti = QStringLiteral("public.") + mime.section(QLatin1Char('/'), 1, 1);
            att.transfer_state = 5;
            att.is_outgoing = msg.is_from_me;
            att.transfer_name = fileName;
            att.localPath = localPath;

            msg.attachments.clear();
            msg.attachments.insert(att.guid, &att);
            msg.text = QString(QChar(0xFFFC));
            stampGuid(msg);
            msg.attributedBody = makeAttributedBody(att.guid);
            writer.write(msg);
            msg.attachments.clear();
        }
    }
    writer.end();
    old.close();
}
