#include "phonelink/androidloadmessagesthread.h"

#include "messagestore/msgrecords.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/messagekeys.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include <QDebug>
#include <QFile>
#include <QLocale>
#include <QTcpSocket>

#include <algorithm>
#include <deque>
#include <limits>

namespace {

constexpr QChar kObjectReplacement(0xFFFC);

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

// The name a media part's file is stored under. A stored picture message is
// known by its logic hash, which sees the attachment's file name (case
// aside) but not its data: two parts of one message with one name, or parts
// of two messages of one group (see receiveMessage), would be taken for one
// picture. So each part of a group member gets its place in the group and
// its number among the message's parts in its name ("photo-2-1.jpg"), and
// a part whose name an earlier part of its message took gets its number
// ("photo-2.jpg"). Other names stay as the phone gives them.
QString storedName(const QString& name, int place, int number, QSet<QString>& names)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString suffix = dot > 0 ? name.mid(dot) : QString();
    QString tagged = place > 1 ? QStringLiteral("%1-%2-%3").arg(stem).arg(place).arg(number) : stem;
    // A phone name may look like a numbered one: number again until free.
    while (names.contains((tagged + suffix).toLower()))
        tagged += QStringLiteral("-%1").arg(number);
    names.insert((tagged + suffix).toLower());
    return tagged + suffix;
}

} // namespace

// One attachment as it arrived, its data in a temporary file that goes
// however the message's handling ends (unless the store took it). A picture
// or other media part is written straight into the folder its file will lie
// in, so that the store only renames it into place.
struct AndroidLoadMessagesThread::ReceivedPart {
    QString mime;
    QString name;
    // Media parts: the attachment's guid and its filename as the store holds it.
    QString guid;
    QString filename;
    // The data; empty for a part that is dropped.
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
    if (!db.tableExists(QStringLiteral("parent_hash"))) {
        db.executeThrow(QStringLiteral("CREATE TABLE parent_hash(child TEXT, parent TEXT)"));
        db.executeThrow(QStringLiteral("CREATE INDEX idx_parent_hash_child on parent_hash(child)"));
        db.executeThrow(QStringLiteral("CREATE INDEX idx_parent_hash_parent on parent_hash(parent)"));
    }
    if (!db.tableExists(QStringLiteral("valid_hash"))) {
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
    m_store.setTakesLocalFiles(true);
    m_store.begin();
    readRecordedKeys();
    db.executeThrow(QStringLiteral("delete from valid_hash"));
    if (db.tableExists(QStringLiteral("sqlite_sequence")))
        db.executeThrow(QStringLiteral("update sqlite_sequence set seq=0 where name='valid_hash'"));

    openService(QStringLiteral("mms2"));
    for (;;) {
        const QString line = simpleprotocol::readCommand(socket, -1);
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
    simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);

    finishGroups();
    writeReportedKeys();
    removeGoneMessages();
    forgetClaimedSent();
    if (!m_store.commit())
        throw std::runtime_error("the message store rolled the load back; nothing was saved");
    // VACUUM gives the pages of removed rows back; in a file without free
    // pages it would only rewrite the same rows in another page order.
    if (db.queryInt64Throw(Sqlite3Sql("PRAGMA freelist_count")) > 0)
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
        const QString line = simpleprotocol::readCommand(socket, -1);
        if (line.startsWith(QLatin1String("$sms:"))) {
            ++m_done;
            progress->postUpdateProgress(QString(), jobreport::percent(m_done, m_total),
                                         QStringLiteral("sms: %1/%2").arg(m_done).arg(m_total));
            receiveMessage(line.mid(5));
        } else if (line.startsWith(QLatin1String("$end:"))) {
            simpleprotocol::sendCommand(socket, QStringLiteral("$batch:"), QString(), true, -1);
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

    // The logic hash of the message as built; its text alone, stored below,
    // has the same one.
    const QString hash = makeLogicHash(&msg);
    QString key = hash;
    const int parts = f.size() > 6 ? f.at(6).toInt() : 0;
    // Messages that differ only in their attachments (two pictures sent to
    // one number within a second) share the key computed so far: a group. A
    // later member that announces attachments takes a key of its own, made
    // of its place in arrival order and the group's size, so that its parts
    // are fetched and kept as its own; a repeated text stays one message.
    // The size is not known yet: the guess is the size an earlier load
    // recorded (or the place itself, when larger); finishGroups() settles
    // the keys once the load has seen the whole group.
    const int place = ++m_keyUses[key];
    const bool member = parts >= 1 && place > 1;
    if (member)
        key = groupKey(hash, place, std::max(m_previousSize.value(hash), place));

    const bool stored = m_recordedKeys.contains(key) || m_writtenKeys.contains(key);
    // A key met for the first time in this load (a member's key always is)
    // that is recorded was recorded by an earlier load.
    if (stored && (place == 1 || member))
        ++m_reportedEarlierKeys;
    m_reportedKeys.append(key);
    if (member)
        m_members[hash].append(GroupMember {place, key});

    if (parts < 1) {
        if (!stored) {
            msg.guid = makeGuidFromData(key.toUtf8());
            writeAndRecord(msg, key, hash);
        }
        return;
    }
    if (stored) {
        simpleprotocol::sendCommand(socket, QStringLiteral("0"), QString(), true, -1);
        return;
    }
    msg.guid = makeGuidFromData(key.toUtf8());
    simpleprotocol::sendCommand(socket, QStringLiteral("1"), QString(), true, -1);
    // Every part is read before anything of the message is stored: one
    // damaged part leaves the whole message unstored and its key unrecorded,
    // so the next load asks for it again.
    std::deque<ReceivedPart> received;
    QSet<QString> names;
    bool intact = true;
    for (int i = 0; i < parts; ++i) {
        receiveAttachment(received.emplace_back(), key, member ? place : 0, i + 1, names);
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
        writeAndRecord(msg, key, hash);
    }
    for (const ReceivedPart& part : received)
        storePart(msg, key, part);
}

QString AndroidLoadMessagesThread::groupKey(const QString& hash, int place, int size)
{
    return place <= 1 ? hash : QStringLiteral("%1-%2/%3").arg(hash).arg(place).arg(size);
}

void AndroidLoadMessagesThread::finishGroups()
{
    // A group whose size is the one recorded before kept its keys: each
    // answer was right. In a group that grew or shrank, a member answered
    // from an earlier load's key may now be another message than the one
    // whose parts that key holds (the first of two deleted, the second
    // inherits its key). Those keys are not reported, so that what they hold
    // goes and the next load fetches the members again; members fetched
    // now move to the keys of the group's real size.
    QSet<QString> groups(m_previousSize.keyBegin(), m_previousSize.keyEnd());
    for (auto it = m_members.constBegin(); it != m_members.constEnd(); ++it)
        groups.insert(it.key());
    QSet<QString> dropped;
    QHash<QString, QString> moved;
    for (const QString& hash : std::as_const(groups)) {
        const auto members = m_members.constFind(hash);
        const int size = members == m_members.constEnd() ? 0 : m_keyUses.value(hash);
        if (size == m_previousSize.value(hash))
            continue;
        if (m_keyUses.contains(hash) && !m_writtenKeys.contains(hash))
            dropped.insert(hash);
        if (members == m_members.constEnd())
            continue;
        for (const GroupMember& m : *members) {
            if (!m_writtenKeys.contains(m.key)) {
                dropped.insert(m.key);
                continue;
            }
            const QString key = groupKey(hash, m.place, size);
            if (key == m.key)
                continue;
            moved.insert(m.key, key);
            Sqlite3Sql move(QStringLiteral("update parent_hash set parent=? where parent=?"));
            move.addTextParam(key);
            move.addTextParam(m.key);
            m_store.store().executeThrow(move);
        }
    }
    if (dropped.isEmpty() && moved.isEmpty())
        return;
    // Earlier keys now go unreported: removeGoneMessages() must look.
    if (!dropped.isEmpty())
        m_reportedEarlierKeys = -1;
    QStringList reported;
    reported.reserve(m_reportedKeys.size());
    for (const QString& key : std::as_const(m_reportedKeys)) {
        if (!dropped.contains(key))
            reported.append(moved.value(key, key));
    }
    m_reportedKeys = std::move(reported);
}

void AndroidLoadMessagesThread::writeAndRecord(_MsgMessage& msg, const QString& key, const QString& hash)
{
    QString child = claimTransferred(msg, hash);
    if (child.isEmpty()) {
        m_store.write(msg, hash);
        child = hash;
    } else if (m_claimed.contains({child, key})) {
        // Another piece of the same sent message, from the same phone message.
        m_writtenKeys.insert(key);
        return;
    } else {
        m_claimed.insert({child, key});
    }
    Sqlite3Sql origin(QStringLiteral("replace into parent_hash(child,parent) values(?,?)"));
    origin.addTextParam(child);
    origin.addTextParam(key);
    m_store.store().executeThrow(origin);
    m_writtenKeys.insert(key);
}

QString AndroidLoadMessagesThread::claimTransferred(const _MsgMessage& msg, const QString& hash)
{
    if (m_unclaimed.isEmpty())
        return QString();
    QList<messagekeys::Part> parts;
    for (const _MsgAttachment* att : getAttachments(&msg))
        parts.append({att->transfer_name, att->mime_type});
    // Written by this load, the message is one piece: its text or one part.
    const QStringList keys = messagekeys::keys(msg.handle ? msg.handle->id : QString(), msg.date, msg.is_from_me,
                                               removeObjReplacementChars(&msg), parts);
    if (keys.size() != 1)
        return QString();
    const auto it = m_unclaimed.find(keys.first());
    if (it == m_unclaimed.end())
        return QString();
    // The message of the same logic hash first: it is this one exactly.
    const qsizetype same = it->indexOf(hash);
    const QString child = it->takeAt(same < 0 ? 0 : same);
    if (it->isEmpty())
        m_unclaimed.erase(it);
    return child;
}

void AndroidLoadMessagesThread::writeReportedKeys()
{
    // In key order, which fills the table's index page by page instead of
    // at random places (the hidden rowids follow that order; nothing reads
    // them).
    std::sort(m_reportedKeys.begin(), m_reportedKeys.end());
    Sqlite3Sql valid(QStringLiteral("replace into valid_hash(hash) values(?)"));
    for (const QString& key : std::as_const(m_reportedKeys)) {
        valid.clearParams();
        valid.addTextParam(key);
        m_store.store().executeThrow(valid);
    }
    m_reportedKeys.clear();
}

void AndroidLoadMessagesThread::readRecordedKeys()
{
    // Kept in memory for the load: one look-up per phone message then costs
    // no statement. Rows are only added until the removal at the end.
    m_recordedKeys.clear();
    m_writtenKeys.clear();
    m_reportedKeys.clear();
    m_reportedEarlierKeys = 0;
    m_previousSize.clear();
    m_members.clear();
    Sqlite3Cursor c = m_store.store().queryThrow(QStringLiteral("select distinct parent from parent_hash"));
    while (c.moveNext()) {
        const QString key = c.getText(0);
        m_recordedKeys.insert(key);
        // A group member's key: "<hash>-<place>/<size>". One of the form
        // "<hash>-<place>" was recorded by a version whose keys did not
        // follow the group's size; such a group counts as changed (-1).
        const qsizetype dash = key.indexOf(QLatin1Char('-'));
        if (dash < 0)
            continue;
        const qsizetype slash = key.indexOf(QLatin1Char('/'), dash);
        const int size = slash < 0 ? -1 : QStringView(key).mid(slash + 1).toInt();
        int& known = m_previousSize[key.left(dash)];
        if (known == 0 || size < 0)
            known = size;
    }
    m_earlierKeys = m_recordedKeys.size();

    m_unclaimed.clear();
    m_claimed.clear();
    messagekeys::readStored(m_store.store(), messagekeys::Stored::SentUnclaimed,
                            [this](const QString& hash, const QStringList& keys) {
                                for (const QString& k : keys)
                                    m_unclaimed[k].append(hash);
                            });
}

void AndroidLoadMessagesThread::receiveAttachment(ReceivedPart& part, const QString& key, int place, int number,
                                                  QSet<QString>& names)
{
    checkCanceled();
    const QString line = simpleprotocol::expectCommand(socket, QStringLiteral("$atta:"), -1);
    const QStringList f = line.mid(6).split(QLatin1Char(','));
    if (f.size() < 2)
        throw simpleprotocol::LocalException(socket, QStringLiteral("$atta: command invalid param."));
    part.mime = f.at(0);
    part.name = messagekeys::partName(f.at(1), part.mime);

    QFile file;
    if (!messagekeys::isDropped(part.mime)) {
        if (!messagekeys::isText(part.mime)) {
            const QString stored = storedName(part.name, place, number, names);
            part.guid = makeGuidFromData((key + stored).toUtf8());
            part.filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
                                .arg(part.guid.left(2).toLower(), part.guid.mid(2, 2).toLower(), part.guid, stored);
            part.path = m_store.stageAttachment(part.filename);
        }
        // Text parts, and media whose folder cannot be made: the system's
        // temporary folder (the store copies the latter).
        if (part.path.isEmpty())
            part.path = QDir(QDir::tempPath()).absoluteFilePath(newMsgGuid());
        file.setFileName(part.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw simpleprotocol::LocalException(
                socket, QStringLiteral("Create %1 error. %2").arg(part.path, file.errorString()));
    }
    qint64 received = 0;
    QByteArray bytes;
    for (;;) {
        checkCanceled();
        const QString data = simpleprotocol::readLine(socket, -1);
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
        // A dropped part is still checked: damaged data skips its message.
        if (file.isOpen() && file.write(bytes) != bytes.size())
            throw simpleprotocol::LocalException(
                socket, QStringLiteral("write file %1 failed. %2").arg(part.path, file.errorString()));
        received += bytes.size();
        progress->postUpdateProgress(QString(), -1, tr("Receiving %1(%L2 KB)").arg(part.name).arg(received / 1024));
    }
    simpleprotocol::sendCommand(socket, QStringLiteral("."), QString(), true, -1);
    file.close();
}

void AndroidLoadMessagesThread::storePart(_MsgMessage& msg, const QString& key, const ReceivedPart& part)
{
    if (messagekeys::isDropped(part.mime))
        return;
    if (messagekeys::isText(part.mime)) {
        QFile in(part.path);
        if (!in.open(QIODevice::ReadOnly))
            return;
        const QString text = QString::fromUtf8(in.readAll());
        if (text.trimmed().isEmpty())
            return;
        msg.text = text;
        msg.attachments.clear();
        msg.attributedBody.clear();
        const QString hash = makeLogicHash(&msg);
        msg.guid = makeGuidFromData(hash.toUtf8());
        writeAndRecord(msg, key, hash);
        return;
    }

    _MsgAttachment att;
    att.guid = part.guid;
    att.created_date = msg.date;
    att.filename = part.filename;
    att.uti = utiOf(part.mime);
    att.mime_type = part.mime;
    att.transfer_state = 5;
    att.is_outgoing = msg.is_from_me;
    att.transfer_name = part.name;
    att.localPath = part.path;
    msg.attachments.clear();
    msg.attachments.insert(QStringLiteral("0"), &att);
    msg.text = QString(kObjectReplacement);
    const QString hash = makeLogicHash(&msg);
    msg.guid = makeGuidFromData(hash.toUtf8());
    msg.attributedBody = makeAttributedBody(att.guid);
    writeAndRecord(msg, key, hash);
    msg.attachments.clear();
}

void AndroidLoadMessagesThread::removeGoneMessages()
{
    IOS6MessageDb& db = m_store.store();
    // Every key recorded before this load was reported again: none is gone,
    // and the searches below would find nothing.
    if (m_reportedEarlierKeys == m_earlierKeys) {
        removeEmptyChats();
        return;
    }
    // A stored message may have come from several phone messages; it goes
    // only when none of them is still on the phone. (The keys are never NULL,
    // so these NOT EXISTS tests, which use the indexes, say what NOT IN would.)
    Sqlite3Cursor gone
        = db.queryThrow(QStringLiteral("select distinct child from parent_hash as p "
                                       "where not exists (select 1 from valid_hash where hash=p.parent) "
                                       "and not exists (select 1 from parent_hash as q where q.child=p.child "
                                       "and exists (select 1 from valid_hash where hash=q.parent))"));
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
    db.executeThrow(QStringLiteral(
        "delete from parent_hash where not exists (select 1 from valid_hash where hash=parent_hash.parent)"));
    removeEmptyChats();
}

void AndroidLoadMessagesThread::forgetClaimedSent()
{
    // What a load recorded, or what is gone, a later load need not look at.
    IOS6MessageDb& db = m_store.store();
    if (!db.tableExists(QLatin1String(messagekeys::kSentTable)))
        return;
    db.executeThrow(QStringLiteral("delete from %1 where exists (select 1 from parent_hash where child=%1.hash) "
                                   "or not exists (select 1 from message where logic_hash=%1.hash)")
                        .arg(QLatin1String(messagekeys::kSentTable)));
}

void AndroidLoadMessagesThread::removeEmptyChats()
{
    m_store.store().executeThrow(QStringLiteral(
        "DELETE FROM chat WHERE (SELECT 1 from chat_message_join WHERE chat_id=chat.rowid LIMIT 1) IS NULL"));
}
