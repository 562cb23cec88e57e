#include "phonelink/androidloadmessagesthread.h"

#include "messagestore/msgrecords.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTcpSocket>

#include <deque>
#include <limits>

namespace {

constexpr QChar kObjectReplacement(0xFFFC);

bool hasTable(Sqlite3DB& db, const QString& name)
{
    Sqlite3Sql sql(QStringLiteral("select 1 from sqlite_master where name=? and type='table'"));
    sql.addTextParam(name);
    Sqlite3Cursor c = db.queryThrow(sql);
    return c.moveNext();
}

// One line of attachment data: strict Base64 (padding optional). False for
// anything else, where a lenient decoder would skip the foreign characters
// and keep the rest as data.
bool decodeDataLine(const QString& line, QByteArray* bytes)
{
    const QByteArray ascii = line.toLatin1();
    auto result = QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors);
    // A last group of one character holds no whole byte.
    qsizetype digits = ascii.size();
    while (digits > 0 && ascii.at(digits - 1) == '=')
        --digits;
    if (!result || digits % 4 == 1)
        return false;
    *bytes = std::move(*result);
    return true;
}

QString utiOf(const QString& mime)
{
    const qsizetype slash = mime.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral("public.");
    const qsizetype next = mime.indexOf(QLatin1Char('/'), slash + 1);
    return QStringLiteral("public.") + mime.mid(slash + 1, next < 0 ? -1 : next - slash - 1);
}

} // namespace

// One attachment as it arrived, its data in a temporary file that goes
// however the message's handling ends.
struct AndroidLoadMessagesThread::ReceivedPart {
    QString mime;
    QString name;
    QString path;
    // False when a data line was not Base64: the data is incomplete.
    bool intact = true;

    ReceivedPart() = default;
    ReceivedPart(const ReceivedPart&) = delete;
    ReceivedPart& operator=(const ReceivedPart&) = delete;
    ~ReceivedPart()
    {
        if (!path.isEmpty())
            QFile::remove(path);
    }
};

AndroidLoadMessagesThread::AndroidLoadMessagesThread(AndroidDeviceInfo* device, JobReport* progress, QObject* parent)
    : AndroidLoadThread(device, nullptr, progress, parent)
    , m_store(device->cacheDir(), device->mmc)
{
}

AndroidLoadMessagesThread::~AndroidLoadMessagesThread() = default;

int AndroidLoadMessagesThread::iosSecondsFromPhoneMs(qint64 ms)
{
    const qint64 secs = ms / 1000 - kIosEpochOffset;
    return int(std::clamp<qint64>(secs, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

void AndroidLoadMessagesThread::ensureTables()
{
    IOS6MessageDb& db = m_store.store();
    if (!hasTable(db, QStringLiteral("parent_hash"))) {
        db.executeThrow(QStringLiteral("CREATE TABLE parent_hash(child TEXT, parent TEXT)"));
        db.executeThrow(QStringLiteral("CREATE INDEX idx_parent_hash_child on parent_hash(child)"));
        db.executeThrow(QStringLiteral("CREATE INDEX idx_parent_hash_parent on parent_hash(parent)"));
    }
    if (!hasTable(db, QStringLiteral("valid_hash"))) {
        db.executeThrow(QStringLiteral("CREATE TABLE valid_hash(hash TEXT)"));
        db.executeThrow(QStringLiteral("CREATE INDEX idx_valid_hash on valid_hash(hash)"));
    }
}

void AndroidLoadMessagesThread::load()
{
    m_total = -1;
    m_done = 0;
    m_skippedMessages = 0;
    m_keyUses.clear();
    progress->postUpdateProgress(tr("IDS_ANDROID_LOADING_SMS"), 0, QString());

    IOS6MessageDb& db = m_store.store();
    db.open();
    ensureTables();
    m_store.begin();
    db.executeThrow(QStringLiteral("delete from valid_hash"));
    if (hasTable(db, QStringLiteral("sqlite_sequence")))
        db.executeThrow(QStringLiteral("update sqlite_sequence set seq=0 where name='valid_hash'"));

    openService(QStringLiteral("mms2"));
    for (;;) {
        const QString line = simpleprotocol::readCommand(socket.get(), -1);
        if (line.startsWith(QLatin1String("$bye:")))
            break;
        if (line.startsWith(QLatin1String("$count:"))) {
            m_total = line.mid(7).toInt();
            if (m_total == 0)
                m_total = -1;
        } else if (line.startsWith(QLatin1String("$batch:"))) {
            readBatch();
        }
        // Anything else is skipped: newer agents may send more.
    }
    simpleprotocol::sendCommand(socket.get(), QStringLiteral("$bye:"), QString(), true, -1);

    removeGoneMessages();
    if (!m_store.commit())
        throw std::runtime_error("the message store rolled the load back; nothing was saved");
    db.executeThrow(QStringLiteral("vacuum"));
    db.close();
    progress->postSucceed(m_skippedMessages == 0
                              ? QString()
                              : tr("%n message(s) could not be received intact and will be fetched again "
                                   "on the next load.",
                                   nullptr, m_skippedMessages));
}

void AndroidLoadMessagesThread::cleanupAfterFailure()
{
    // The rows and the attachment files placed by this load go together.
    m_store.rollback();
    m_store.store().close();
    AndroidLoadThread::cleanupAfterFailure();
}

void AndroidLoadMessagesThread::readBatch()
{
    for (;;) {
        checkCanceled();
        const QString line = simpleprotocol::readCommand(socket.get(), -1);
        if (line.startsWith(QLatin1String("$sms:"))) {
            ++m_done;
            progress->postUpdateProgress(QString(), jobreport::percent(m_done, m_total),
                                         QStringLiteral("sms: %1/%2").arg(m_done).arg(m_total));
            receiveMessage(line.mid(5));
        } else if (line.startsWith(QLatin1String("$end:"))) {
            simpleprotocol::sendCommand(socket.get(), QStringLiteral("$batch:"), QString(), true, -1);
            return;
        }
    }
}

void AndroidLoadMessagesThread::receiveMessage(const QString& text)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() < 6)
        return;
    IOS6MessageDb& db = m_store.store();
    const QString address = db.countryDb().getCurCountry().normalizeNumber(simpleprotocol::decodeField(f.at(2)));

    _MsgHandle handle;
    _MsgChat chat;
    makeSmsChat(address, simpleprotocol::decodeField(f.at(3)), &handle, &chat);

    _MsgMessage msg;
    msg.handle = &handle;
    msg.chat = &chat;
    msg.text = simpleprotocol::decodeField(f.at(4));
    msg.replace = 0;
    msg.subject = simpleprotocol::decodeField(f.at(5));
    msg.version = 10;
    msg.type = 0;
    msg.service = QStringLiteral("SMS");
    msg.account = QStringLiteral("e:");
    msg.error = 0;
    msg.date = msg.date_read = msg.date_delivered = iosSecondsFromPhoneMs(f.at(0).toLongLong());
    msg.is_from_me = f.at(1).toInt() == 1 ? 1 : 0;
    msg.is_finished = 1;
    msg.is_prepared = 1;
    msg.is_read = 1;
    msg.is_sent = 1;
    msg.was_data_detected = 1;

    QString key = makeLogicHash(&msg);
    const int parts = f.size() > 6 ? f.at(6).toInt() : 0;
    // Messages that differ only in their attachments (two pictures sent to
    // one number within a second) share the key computed so far. A repeat
    // that announces attachments takes the next ordinal, in arrival order,
    // so its parts are fetched and kept as its own; a repeated text stays
    // one message.
    const int earlierUses = m_keyUses[key]++;
    if (parts >= 1 && earlierUses > 0)
        key += QStringLiteral("-%1").arg(earlierUses);
    msg.guid = makeGuidFromData(key.toUtf8());

    Sqlite3Sql find(QStringLiteral("select 1 from parent_hash where parent=?"));
    find.addTextParam(key);
    const bool stored = db.queryThrow(find).moveNext();
    Sqlite3Sql valid(QStringLiteral("replace into valid_hash(hash) values(?)"));
    valid.addTextParam(key);
    db.executeThrow(valid);

    if (parts < 1) {
        if (!stored)
            writeAndRecord(msg, key);
        return;
    }
    if (stored) {
        simpleprotocol::sendCommand(socket.get(), QStringLiteral("0"), QString(), true, -1);
        return;
    }
    simpleprotocol::sendCommand(socket.get(), QStringLiteral("1"), QString(), true, -1);
    // Every part is read before anything of the message is stored: one
    // damaged part leaves the whole message unstored and its key unrecorded,
    // so the next load asks for it again.
    std::deque<ReceivedPart> received;
    bool intact = true;
    for (int i = 0; i < parts; ++i) {
        receiveAttachment(received.emplace_back());
        intact = intact && received.back().intact;
    }
    if (!intact) {
        ++m_skippedMessages;
        qWarning("AndroidLoadMessagesThread: message %s skipped, its attachment data was damaged", qUtf8Printable(key));
        return;
    }
    const QString plain = removeObjReplacementChars(&msg);
    if (!plain.isEmpty()) {
        msg.text = plain;
        writeAndRecord(msg, key);
    }
    for (const ReceivedPart& part : received)
        storePart(msg, key, part);
}

void AndroidLoadMessagesThread::writeAndRecord(_MsgMessage& msg, const QString& key)
{
    m_store.write(msg);
    Sqlite3Sql origin(QStringLiteral("replace into parent_hash(child,parent) values(?,?)"));
    origin.addTextParam(makeLogicHash(&msg));
    origin.addTextParam(key);
    m_store.store().executeThrow(origin);
}

void AndroidLoadMessagesThread::receiveAttachment(ReceivedPart& part)
{
    checkCanceled();
    const QString line = simpleprotocol::expectCommand(socket.get(), QStringLiteral("$atta:"), -1);
    const QStringList f = line.mid(6).split(QLatin1Char(','));
    if (f.size() < 2)
        throw simpleprotocol::LocalException(socket.get(), QStringLiteral("$atta: command invalid param."));
    part.mime = f.at(0);
    // The phone's name must stay one file name: separators go, and a name
    // made only of dots gets the fallback.
    part.name = phoneNameToPathComponent(f.at(1));
    if (part.name.isEmpty())
        part.name = QStringLiteral("Unknown2");
    const qsizetype dot = part.name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot == part.name.size() - 1) {
        if (part.mime.contains(QLatin1String("png"), Qt::CaseInsensitive))
            part.name += QStringLiteral(".png");
        else if (part.mime.contains(QLatin1String("jpg"), Qt::CaseInsensitive)
                 || part.mime.contains(QLatin1String("jpeg"), Qt::CaseInsensitive))
            part.name += QStringLiteral(".jpg");
    }

    part.path = QDir(QDir::tempPath()).absoluteFilePath(newMsgGuid());
    QFile file(part.path);
    if (!file.open(QIODevice::WriteOnly))
        throw simpleprotocol::LocalException(socket.get(),
                                             QStringLiteral("Create %1 error. %2").arg(part.path, file.errorString()));
    qint64 received = 0;
    QByteArray bytes;
    for (;;) {
        checkCanceled();
        const QString data = simpleprotocol::readLine(socket.get(), -1);
        if (data.startsWith(QLatin1Char('.')))
            break;
        if (data.startsWith(QLatin1String("$error:")))
            throw simpleprotocol::RemoteException(simpleprotocol::decodeField(data.mid(7)));
        // After a damaged line the rest is read up to its "." and dropped.
        if (!part.intact)
            continue;
        if (!decodeDataLine(data, &bytes)) {
            qWarning("AndroidLoadMessagesThread: attachment %s: data line is not Base64", qUtf8Printable(part.name));
            part.intact = false;
            continue;
        }
        if (file.write(bytes) != bytes.size())
            throw simpleprotocol::LocalException(
                socket.get(), QStringLiteral("write file %1 failed. %2").arg(part.path, file.errorString()));
        received += bytes.size();
        progress->postUpdateProgress(QString(), -1, tr("Receiving %1(%L2 KB)").arg(part.name).arg(received / 1024));
    }
    simpleprotocol::sendCommand(socket.get(), QStringLiteral("."), QString(), true, -1);
    file.close();
}

void AndroidLoadMessagesThread::storePart(_MsgMessage& msg, const QString& key, const ReceivedPart& part)
{
    if (part.mime.isEmpty() || part.mime.startsWith(QLatin1String("application/"), Qt::CaseInsensitive))
        return;
    if (part.mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0) {
        QFile in(part.path);
        if (!in.open(QIODevice::ReadOnly))
            return;
        const QString text = QString::fromUtf8(in.readAll());
        if (text.trimmed().isEmpty())
            return;
        msg.text = text;
        msg.attachments.clear();
        msg.attributedBody.clear();
        msg.guid = makeGuidFromData(makeLogicHash(&msg).toUtf8());
        writeAndRecord(msg, key);
        return;
    }

    _MsgAttachment att;
    att.guid = makeGuidFromData((key + part.name).toUtf8());
    att.created_date = msg.date;
    att.filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
                       .arg(att.guid.left(2).toLower(), att.guid.mid(2, 2).toLower(), att.guid, part.name);
    att.uti = utiOf(part.mime);
    att.mime_type = part.mime;
    att.transfer_state = 5;
    att.is_outgoing = msg.is_from_me;
    att.transfer_name = part.name;
    att.localPath = part.path;
    msg.attachments.clear();
    msg.attachments.insert(QStringLiteral("0"), &att);
    msg.text = QString(kObjectReplacement);
    msg.guid = makeGuidFromData(makeLogicHash(&msg).toUtf8());
    msg.attributedBody = makeAttributedBody(att.guid);
    writeAndRecord(msg, key);
    msg.attachments.clear();
}

void AndroidLoadMessagesThread::removeGoneMessages()
{
    IOS6MessageDb& db = m_store.store();
    // A stored message may have come from several phone messages; it goes
    // only when none of them is still on the phone.
    Sqlite3Cursor gone = db.queryThrow(QStringLiteral(
        "select distinct child from parent_hash where parent not in (select hash from valid_hash) "
        "and child not in (select child from parent_hash where parent in (select hash from valid_hash))"));
    QStringList children;
    while (gone.moveNext())
        children.append(gone.getText(0));
    for (const QString& child : std::as_const(children)) {
        Sqlite3Sql find(QStringLiteral("select rowid from message where logic_hash=?"));
        find.addTextParam(child);
        Sqlite3Cursor c = db.queryThrow(find);
        if (!c.moveNext())
            continue;
        const qint64 rowid = c.getInt64(0);
        qDebug("AndroidLoadMessagesThread, remove old message %lld", rowid);
        for (const char* sql : {"DELETE FROM message WHERE rowid=?", "DELETE FROM chat_message_join where message_id=?",
                                "DELETE FROM message_attachment_join where message_id=?"}) {
            Sqlite3Sql del(QString::fromLatin1(sql));
            del.addInt64Param(rowid);
            db.executeThrow(del);
        }
    }
    db.executeThrow(QStringLiteral("delete from parent_hash where parent not in (select hash from valid_hash)"));
    db.executeThrow(QStringLiteral(
        "DELETE FROM chat WHERE (SELECT 1 from chat_message_join WHERE chat_id=chat.rowid LIMIT 1) IS NULL"));
}
