#include "phonelink/androidloadmessagesthread.h"

#include "messagestore/msgrecords.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/messagekeys.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QTcpSocket>

#include <algorithm>
#include <deque>
#include <limits>
#include <optional>

namespace {

constexpr QChar kObjectReplacement(0xFFFC);

// Strict Base64 (padding optional). Nothing for anything else, where a
// lenient decoder would skip the foreign characters and keep the rest.
std::optional<QByteArray> strictBase64(const QString& text)
{
    const QByteArray ascii = text.toLatin1();
    auto result = QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors);
    // A last group of one character holds no whole byte.
    qsizetype digits = ascii.size();
    while (digits > 0 && ascii.at(digits - 1) == '=')
        --digits;
    if (!result || digits % 4 == 1)
        return std::nullopt;
    return std::move(*result);
}

// One line of attachment data. False when it is not Base64.
bool decodeDataLine(const QString& line, QByteArray* bytes)
{
    std::optional<QByteArray> result = strictBase64(line);
    if (!result)
        return false;
    *bytes = std::move(*result);
    return true;
}

// A text field of a listed message: Base64 of UTF-8 (empty: no text).
// Nothing for a field that is neither, which simpleprotocol::decodeField
// would read as what it could make of it: a message that is not the
// phone's, under a key the phone never listed.
std::optional<QString> readTextField(const QString& field)
{
    const std::optional<QByteArray> bytes = strictBase64(field);
    if (!bytes)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(*bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
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
// of two messages of one group (see receiveMessage), would share one. So
// each part of a group member gets its place in the group and its number
// among the message's parts in its name ("photo-2-1.jpg"), and a part whose
// name an earlier part of its message took gets its number ("photo-2.jpg").
// Other names stay as the phone gives them. Every name fits a file system.
QString storedName(const QString& name, int place, int number, QSet<QString>& names)
{
    QString tag = place > 1 ? QStringLiteral("-%1-%2").arg(place).arg(number) : QString();
    // A phone name may look like a numbered one: number again until free.
    while (names.contains(fileNameWithTag(name, tag).toLower()))
        tag += QStringLiteral("-%1").arg(number);
    const QString stored = fileNameWithTag(name, tag);
    names.insert(stored.toLower());
    return stored;
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
    // What the data holds.
    PartContent content;
    // False when a data line was not Base64, or the data found no place:
    // the part is incomplete.
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
    progress->postUpdateProgress(tr("IDS_ANDROID_LOADING_SMS"), 0, QString());

    IOS6MessageDb& db = m_store.store();
    db.open();
    ensureTables();
    m_store.setTakesLocalFiles(true);
    m_store.begin();
    readRecordedKeys();
    readUnclaimed();
    recordMissingContents();
    readLackingKeys();
    db.executeThrow(QStringLiteral("delete from valid_hash"));
    if (db.tableExists(QStringLiteral("sqlite_sequence")))
        db.executeThrow(QStringLiteral("update sqlite_sequence set seq=0 where name='valid_hash'"));

    // Only a whole listing says what the phone no longer holds: after one
    // that ended short of the total it announced (or ran past it), or held
    // a garbled message line, nothing leaves the cache, and nothing the
    // cache holds is settled anew.
    const bool whole = listPhone(Pass::First);
    m_groupSizes = m_keyUses;
    if (whole)
        findUnsettledGroups();
    if (!m_unsettled.isEmpty()) {
        releaseUnsettledGroups();
        // A second listing that ends short keeps what those groups held.
        if (!listPhone(Pass::Settle))
            m_settledIncompletely.unite(m_unsettled);
        for (const QString& hash : std::as_const(m_unsettled))
            m_groupSizes.insert(hash, m_keyUses.value(hash));
        keepIncompleteGroups();
    }
    finishGroups();
    writeReportedKeys();
    if (whole) {
        removeGoneMessages();
        if (m_skippedMessages == 0)
            removeUnclaimedSent();
    }
    forgetClaimedSent();
    if (!m_store.commit())
        throw std::runtime_error("the message store rolled the load back; nothing was saved");
    // VACUUM gives the pages of removed rows back; in a file without free
    // pages it would only rewrite the same rows in another page order.
    if (db.queryInt64Throw(Sqlite3Sql("PRAGMA freelist_count")) > 0) {
        // It copies the whole store: none of its pages is worth keeping.
        const PageCacheLimit limit(db);
        db.executeThrow(QStringLiteral("vacuum"));
    }
    db.close();
    QStringList notes;
    if (m_skippedMessages > 0)
        notes << tr("%n message(s) could not be received intact and will be fetched again on the next load.", nullptr,
                    m_skippedMessages);
    // (A listing that was not whole was the only one.)
    if (!whole && m_unreadable > 0)
        notes << tr("%n line(s) of the phone's listing could not be read; the cache keeps the messages it did not "
                    "list until a complete listing.",
                    nullptr, m_unreadable);
    else if (!whole)
        notes << tr("The phone announced %n message(s) but listed %1; the cache keeps the messages it did not list "
                    "until a complete listing.",
                    nullptr, m_announced)
                     .arg(m_listed);
    progress->postSucceed(notes.join(QLatin1Char(' ')));
}

void AndroidLoadMessagesThread::cleanupAfterFailure()
{
    // The rows and the attachment files placed by this load go together.
    m_store.rollback();
    m_store.store().close();
    AndroidLoadThread::cleanupAfterFailure();
}

void AndroidLoadMessagesThread::recordMissingContents()
{
    // Rows stored before the store kept what their files hold: read once,
    // so that later comparisons need not read the files again.
    IOS6MessageDb& db = m_store.store();
    if (!db.hasContentHashColumn())
        return;
    QList<std::pair<qint64, QString>> rows;
    {
        Sqlite3Cursor c
            = db.queryThrow(QStringLiteral("select rowid, filename from attachment where content_hash is null"));
        while (c.moveNext())
            rows.append({c.getInt64(0), c.getText(1)});
    }
    for (const auto& [rowid, filename] : std::as_const(rows)) {
        checkCanceled();
        db.recordContent(rowid, contentOfFile(db.attachmentLocalPath(filename)));
    }
}

bool AndroidLoadMessagesThread::listPhone(Pass pass)
{
    m_keyUses.clear();
    m_done = 0;
    m_announced = -1;
    m_unreadable = 0;
    openService(QStringLiteral("mms2"));
    for (;;) {
        const QString line = simpleprotocol::readCommand(socket, -1);
        if (line.startsWith(QLatin1String("$bye:")))
            break;
        if (line.startsWith(QLatin1String("$count:"))) {
            // The last count line counts; a total of 0, or one that is not a
            // number, announces nothing.
            bool ok = false;
            const int count = line.mid(7).toInt(&ok);
            m_announced = ok && count > 0 ? count : -1;
            m_total = m_announced;
        } else if (line.startsWith(QLatin1String("$batch:"))) {
            readBatch(pass);
        }
        // Anything else is skipped: newer agents may send more.
    }
    simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);
    m_listed = m_done;
    // A listing that ended as agreed is whole unless it announced a total
    // it did not deliver, or a message line could not be read: without a
    // total, nothing else tells that a message went missing.
    return m_unreadable == 0 && (m_announced < 0 || m_done == m_announced);
}

void AndroidLoadMessagesThread::readBatch(Pass pass)
{
    for (;;) {
        checkCanceled();
        const QString line = simpleprotocol::readCommand(socket, -1);
        if (line.startsWith(QLatin1String("$sms:"))) {
            ++m_done;
            // Without a total the count alone.
            progress->postUpdateProgress(QString(), jobreport::percent(m_done, m_total),
                                         m_total > 0 ? QStringLiteral("sms: %1/%2").arg(m_done).arg(m_total)
                                                     : QStringLiteral("sms: %1").arg(m_done));
            receiveMessage(line.mid(5), pass);
        } else if (line.startsWith(QLatin1String("$end:"))) {
            simpleprotocol::sendCommand(socket, QStringLiteral("$batch:"), QString(), true, -1);
            return;
        } else if (!line.startsWith(QLatin1Char('$'))) {
            // Not a command at all: a message line that arrived garbled.
            ++m_unreadable;
        }
        // A command of a newer agent is skipped.
    }
}

void AndroidLoadMessagesThread::receiveMessage(const QString& text, Pass pass)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() < 6) {
        ++m_unreadable;
        return;
    }
    const int parts = f.size() > 6 ? f.at(6).toInt() : 0;
    // A line whose texts cannot be read is as unreadable as one cut short.
    // The agent still waits for the answer to its parts: none are fetched.
    const std::optional<QString> number = readTextField(f.at(2));
    const std::optional<QString> name = readTextField(f.at(3));
    const std::optional<QString> body = readTextField(f.at(4));
    const std::optional<QString> subject = readTextField(f.at(5));
    if (!number || !name || !body || !subject) {
        ++m_unreadable;
        if (parts >= 1)
            simpleprotocol::sendCommand(socket, QStringLiteral("0"), QString(), true, -1);
        return;
    }
    IOS6MessageDb& db = m_store.store();
    const QString address = db.countryDb().getCurCountry().normalizeNumber(*number);

    _MsgHandle handle;
    _MsgChat chat;
    makeSmsChat(address, *name, &handle, &chat);

    _MsgMessage msg;
    msg.handle = &handle;
    msg.chat = &chat;
    msg.text = *body;
    msg.replace = 0;
    msg.subject = *subject;
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
    // The second listing settles the groups the first could not; the rest
    // it leaves as the first stored it.
    if (pass == Pass::Settle && !m_unsettled.contains(hash)) {
        if (parts >= 1)
            simpleprotocol::sendCommand(socket, QStringLiteral("0"), QString(), true, -1);
        return;
    }
    QString key = hash;
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
    // (Until the second listing ends, m_groupSizes holds the first's sizes.)
    const int sizeGuess = pass == Pass::Settle ? m_groupSizes.value(hash) : m_previousSize.value(hash);
    if (member)
        key = groupKey(hash, place, std::max(sizeGuess, place));

    // The second listing fetches every member of its groups again.
    const bool known = pass == Pass::First && (m_recordedKeys.contains(key) || m_writtenKeys.contains(key));
    // A key met for the first time in this load (a member's key always is)
    // that is recorded was recorded by an earlier load.
    if (known && (place == 1 || member))
        ++m_reportedEarlierKeys;
    // A message one of whose files the cache lost is fetched again: the
    // store takes the file back into the row it has.
    const bool stored = known && !(parts >= 1 && m_lacking.contains(key));
    m_reportedKeys.append(key);
    if (member)
        m_members[hash].append(GroupMember {place, key});

    if (parts < 1) {
        if (!stored) {
            msg.guid = makeGuidFromData(key.toUtf8());
            bool complete = true;
            QStringList children;
            if (!claimTransferred(msg, {}, &children, &complete)) {
                bool inserted = false;
                children.append(writePiece(msg, hash, &complete, &inserted));
            }
            record(children, key, complete);
        }
        return;
    }
    // Pictures a transfer sent here are kept as the cache holds them
    // already: theirs need no place of their own in the store.
    const bool sentHere = m_unclaimed.holds(messagekeys::mediaKey(address, msg.date, msg.is_from_me));
    if (stored) {
        // Which stored picture this place holds is the earlier load's word;
        // where a transfer sent a picture of the same correspondent and
        // second since, the places may hold others now.
        if (m_recordedKeys.contains(key)) {
            m_answeredFromRecord.insert(hash);
            if (sentHere)
                m_sentInto.insert(hash);
        }
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
        receiveAttachment(received.emplace_back(), key, member ? place : 0, i + 1, names, !sentHere);
        intact = intact && received.back().intact;
    }
    if (!intact) {
        ++m_skippedMessages;
        if (pass == Pass::Settle)
            m_settledIncompletely.insert(hash);
        qWarning("AndroidLoadMessagesThread: message %s skipped, its attachment data was damaged", qUtf8Printable(key));
        return;
    }
    QStringList children;
    bool complete = true;
    if (!claimTransferred(msg, received, &children, &complete)) {
        const QString plain = removeObjReplacementChars(&msg);
        if (!plain.isEmpty()) {
            msg.text = plain;
            bool inserted = false;
            children.append(writePiece(msg, hash, &complete, &inserted));
        }
        for (const ReceivedPart& part : received) {
            const QString child = storePart(msg, part, hash, key, &complete);
            if (!child.isEmpty())
                children.append(child);
        }
        // Nothing the phone keeps as a text or a picture (a subject alone):
        // the message as it is.
        if (children.isEmpty() && plain.isEmpty()) {
            msg.text = plain;
            msg.attachments.clear();
            msg.attributedBody.clear();
            const QString bare = makeLogicHash(&msg);
            msg.guid = makeGuidFromData(bare.toUtf8());
            bool inserted = false;
            children.append(writePiece(msg, bare, &complete, &inserted));
        }
    }
    if (!complete) {
        ++m_skippedMessages;
        qWarning("AndroidLoadMessagesThread: message %s is kept without a file the cache could not take; it is "
                 "fetched again",
                 qUtf8Printable(key));
    }
    record(children, key, complete);
}

QString AndroidLoadMessagesThread::groupKey(const QString& hash, int place, int size)
{
    return place <= 1 ? hash : QStringLiteral("%1-%2/%3").arg(hash).arg(place).arg(size);
}

QString AndroidLoadMessagesThread::groupOf(const QString& key)
{
    const qsizetype dash = key.indexOf(QLatin1Char('-'));
    return dash < 0 ? key : key.left(dash);
}

void AndroidLoadMessagesThread::findUnsettledGroups()
{
    // A group whose members were all fetched, or that kept its size with no
    // sign of a member moving, kept its keys: each answer was right (or the
    // group grew at its end, and finishGroups() gives the keys the new
    // size). When it lost a member, the members answered from the earlier
    // keys may be others than those keys hold (the first of two deleted,
    // the second inherits its key); the same when a fetched member proved
    // to be a picture the cache held under another place of the group.
    m_unsettled.clear();
    for (const QString& hash : std::as_const(m_answeredFromRecord)) {
        const int size = m_keyUses.value(hash);
        const int recorded = m_previousSize.value(hash);
        const int earlier = recorded != 0 ? recorded : (m_recordedKeys.contains(hash) ? 1 : 0);
        if (m_shifted.contains(hash) || m_sentInto.contains(hash) || earlier < 0 || size < earlier)
            m_unsettled.insert(hash);
    }
}

void AndroidLoadMessagesThread::releaseUnsettledGroups()
{
    // What is recorded of those groups, by earlier loads or the first
    // listing, is kept under keys no listing reports: it goes at the end of
    // this load unless the second listing finds its pictures again.
    IOS6MessageDb& db = m_store.store();
    for (const QString& hash : std::as_const(m_unsettled)) {
        Sqlite3Sql release(
            QStringLiteral("update parent_hash set parent='~'||parent where parent=? or substr(parent,1,?)=?"));
        release.addTextParam(hash);
        release.addIntParam(int(hash.size()) + 1);
        release.addTextParam(hash + QLatin1Char('-'));
        db.executeThrow(release);
        m_members.remove(hash);
    }
    QStringList reported;
    reported.reserve(m_reportedKeys.size());
    for (const QString& key : std::as_const(m_reportedKeys)) {
        if (!m_unsettled.contains(groupOf(key)))
            reported.append(key);
    }
    m_reportedKeys = std::move(reported);
    // Earlier keys went unreported: removeGoneMessages() must look.
    m_reportedEarlierKeys = -1;
}

void AndroidLoadMessagesThread::keepIncompleteGroups()
{
    // A group of which a picture did not arrive intact keeps what it held
    // before for this load; the next load fetches that picture again.
    IOS6MessageDb& db = m_store.store();
    for (const QString& hash : std::as_const(m_settledIncompletely)) {
        Sqlite3Sql released(
            QStringLiteral("select distinct parent from parent_hash where parent=? or substr(parent,1,?)=?"));
        released.addTextParam(QLatin1Char('~') + hash);
        released.addIntParam(int(hash.size()) + 2);
        released.addTextParam(QLatin1Char('~') + hash + QLatin1Char('-'));
        Sqlite3Cursor c = db.queryThrow(released);
        while (c.moveNext())
            m_reportedKeys.append(c.getText(0));
    }
}

void AndroidLoadMessagesThread::finishGroups()
{
    // Members fetched or answered under a guess of the group's size move to
    // the keys of its real size, so that the next load finds them.
    QHash<QString, QString> moved;
    IOS6MessageDb& db = m_store.store();
    for (auto members = m_members.constBegin(); members != m_members.constEnd(); ++members) {
        const int size = m_groupSizes.value(members.key());
        for (const GroupMember& m : *members) {
            const QString key = groupKey(members.key(), m.place, size);
            if (key == m.key || moved.contains(m.key))
                continue;
            moved.insert(m.key, key);
            Sqlite3Sql move(QStringLiteral("update parent_hash set parent=? where parent=?"));
            move.addTextParam(key);
            move.addTextParam(m.key);
            db.executeThrow(move);
        }
    }
    if (moved.isEmpty())
        return;
    for (QString& key : m_reportedKeys)
        key = moved.value(key, key);
}

QString AndroidLoadMessagesThread::writePiece(_MsgMessage& msg, const QString& hash, bool* complete, bool* inserted)
{
    const ExportMessagesDb::Written written = m_store.write(msg, hash);
    if (written.partsMissing > 0)
        *complete = false;
    *inserted = written.inserted;
    return written.logicHash;
}

void AndroidLoadMessagesThread::record(const QStringList& children, const QString& key, bool complete)
{
    // A message kept without one of its files stays for this load under a
    // key the next load does not know, which fetches it again.
    const QString recorded = complete ? key : QLatin1Char('~') + key;
    if (!complete)
        m_reportedKeys.append(recorded);
    Sqlite3Sql origin(QStringLiteral("replace into parent_hash(child,parent) values(?,?)"));
    QSet<QString> done;
    for (const QString& child : children) {
        if (child.isEmpty() || done.contains(child))
            continue;
        done.insert(child);
        origin.clearParams();
        origin.addTextParam(child);
        origin.addTextParam(recorded);
        m_store.store().executeThrow(origin);
    }
    // A message of which nothing was stored (its only part was a blank
    // text) is asked for again, as before.
    if (complete && !done.isEmpty())
        m_writtenKeys.insert(key);
}

bool AndroidLoadMessagesThread::claimTransferred(const _MsgMessage& msg, const std::deque<ReceivedPart>& received,
                                                 QStringList* children, bool* complete)
{
    if (m_unclaimed.isEmpty())
        return false;
    // The message as the phone keeps it, piece by piece, sought among what
    // transfers sent by the rule the transfer decides by: another picture of
    // the same name, number and second is the phone's own.
    std::deque<PartBytes> files;
    QList<messagekeys::MessagePart> parts;
    for (const ReceivedPart& part : received) {
        if (messagekeys::isDropped(part.mime))
            continue;
        messagekeys::MessagePart piece {part.mime, QString(), nullptr, part.name};
        if (messagekeys::isText(part.mime))
            piece.text = messagekeys::partText(part.path);
        else
            piece.bytes = &files.emplace_back(part.path, part.mime, part.content);
        parts.append(piece);
    }
    const QList<messagekeys::Sought> sought
        = messagekeys::piecesOf(msg.handle ? msg.handle->id : QString(), msg.date, msg.is_from_me, msg.text, parts);
    const std::optional<QList<int>> taken = m_unclaimed.find(sought);
    if (!taken)
        return false;
    for (qsizetype i = 0; i < sought.size(); ++i) {
        const int index = taken->at(i);
        children->append(m_sentHashes.at(m_unclaimed.messageOf(index)));
        PartBytes* phone = sought.at(i).part.bytes;
        PartBytes* held = m_unclaimed.bytesOf(index);
        if (phone && held)
            takePhonesCopy(*phone, *held, index, complete);
    }
    return true;
}

void AndroidLoadMessagesThread::takePhonesCopy(PartBytes& phone, PartBytes& held, int index, bool* complete)
{
    // The cache holds what the phone holds: the copy it received, which is
    // the copy of the picture the cache held (and of that one's origin).
    const PartContent content = phone.asStored();
    const PartContent heldContent = held.asStored();
    if (!content.isKnown() || !heldContent.isKnown() || content == heldContent)
        return;
    IOS6MessageDb& store = m_store.store();
    store.recordIdentity(heldContent, held.identity());
    keepLearnt(store, held);
    const auto& [attachment, filename] = m_sentFiles.value(index);
    if (!m_store.replaceStoredFile(attachment, filename, phone.path(), content,
                                   PartIdentity {PartContent(), held.root()})) {
        qWarning("AndroidLoadMessagesThread: the cache could not take the phone's copy of %s; it is fetched again",
                 qUtf8Printable(filename));
        *complete = false;
    }
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
    m_answeredFromRecord.clear();
    m_shifted.clear();
    m_sentInto.clear();
    m_unsettled.clear();
    m_settledIncompletely.clear();
    Sqlite3Cursor c = m_store.store().queryThrow(QStringLiteral("select distinct parent from parent_hash"));
    while (c.moveNext()) {
        const QString key = c.getText(0);
        m_recordedKeys.insert(key);
        // A key kept for a message that was not stored whole counts for
        // nothing: the message is fetched again.
        if (key.startsWith(QLatin1Char('~')))
            continue;
        // A group member's key: "<hash>-<place>/<size>". One of the form
        // "<hash>-<place>" was recorded by a version whose keys did not
        // follow the group's size; such a group's size is unknown (-1).
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
}

void AndroidLoadMessagesThread::readUnclaimed()
{
    m_unclaimed.clear();
    m_sentHashes.clear();
    m_sentFiles.clear();
    IOS6MessageDb& db = m_store.store();
    QHash<QString, QList<PartContent>> sent = messagekeys::readSentParts(db);
    messagekeys::readStored(db, messagekeys::Stored::SentUnclaimed,
                            [&](const QString& hash, const QList<messagekeys::Piece>& pieces) {
                                const int message = int(m_sentHashes.size());
                                m_sentHashes.append(hash);
                                const auto sentParts = sent.find(hash);
                                for (messagekeys::Piece piece : pieces) {
                                    // What was sent of this piece, when the transfer noted it:
                                    // the message's media pieces in the order sent.
                                    if (piece.isMedia() && sentParts != sent.end() && !sentParts->isEmpty())
                                        piece.identity.sent = sentParts->takeFirst();
                                    const int index = piece.addTo(m_unclaimed, message);
                                    if (piece.isMedia())
                                        m_sentFiles.insert(index, {piece.attachment, piece.filename});
                                }
                            });
}

void AndroidLoadMessagesThread::receiveAttachment(ReceivedPart& part, const QString& key, int place, int number,
                                                  QSet<QString>& names, bool stage)
{
    checkCanceled();
    const QString line = simpleprotocol::expectCommand(socket, QStringLiteral("$atta:"), -1);
    const QStringList f = line.mid(6).split(QLatin1Char(','));
    if (f.size() < 2)
        throw simpleprotocol::LocalException(socket, QStringLiteral("$atta: command invalid param."));
    part.mime = f.at(0);
    part.name = partName(f.at(1), part.mime);

    QFile file;
    if (!messagekeys::isDropped(part.mime)) {
        if (!messagekeys::isText(part.mime)) {
            const QString stored = storedName(part.name, place, number, names);
            part.guid = makeGuidFromData((key + stored).toUtf8());
            part.filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
                                .arg(part.guid.left(2).toLower(), part.guid.mid(2, 2).toLower(), part.guid, stored);
            if (stage)
                part.path = m_store.stageAttachment(part.filename);
        }
        // Text parts, media that is likely not stored, and media whose
        // folder cannot be made: the system's temporary folder (the store
        // copies the latter when it keeps it).
        if (part.path.isEmpty())
            part.path = QDir(QDir::tempPath()).absoluteFilePath(newMsgGuid());
        file.setFileName(part.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw simpleprotocol::LocalException(
                socket, QStringLiteral("Create %1 error. %2").arg(part.path, file.errorString()));
    }
    qint64 received = 0;
    QByteArray bytes;
    PartHasher hasher;
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
        hasher.addData(bytes);
        received += bytes.size();
        progress->postUpdateProgress(QString(), -1, tr("Receiving %1(%L2 KB)").arg(part.name).arg(received / 1024));
    }
    simpleprotocol::sendCommand(socket, QStringLiteral("."), QString(), true, -1);
    file.close();
    part.content = hasher.result();
}

QString AndroidLoadMessagesThread::storePart(_MsgMessage& msg, const ReceivedPart& part, const QString& group,
                                             const QString& key, bool* complete)
{
    if (messagekeys::isDropped(part.mime))
        return QString();
    bool inserted = false;
    if (messagekeys::isText(part.mime)) {
        const QString text = messagekeys::partText(part.path);
        if (text.isEmpty())
            return QString();
        msg.text = text;
        msg.attachments.clear();
        msg.attributedBody.clear();
        const QString hash = makeLogicHash(&msg);
        msg.guid = makeGuidFromData(hash.toUtf8());
        return writePiece(msg, hash, complete, &inserted);
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
    att.total_bytes = part.content.size;
    att.content_hash = part.content.digest;
    att.localPath = part.path;
    msg.attachments.clear();
    msg.attachments.insert(QStringLiteral("0"), &att);
    msg.text = QString(kObjectReplacement);
    const QString hash = makeLogicHash(&msg);
    msg.guid = makeGuidFromData(hash.toUtf8());
    msg.attributedBody = makeAttributedBody(att.guid);
    const QString child = writePiece(msg, hash, complete, &inserted);
    msg.attachments.clear();
    // A fetched picture the cache held already under another place of its
    // group, as an earlier load recorded it: the places moved, the group
    // must be settled.
    if (!inserted && !child.isEmpty()) {
        Sqlite3Sql parents(QStringLiteral("select parent from parent_hash where child=?"));
        parents.addTextParam(child);
        Sqlite3Cursor c = m_store.store().queryThrow(parents);
        while (c.moveNext()) {
            const QString parent = c.getText(0);
            if (parent != key && groupOf(parent) == group && m_recordedKeys.contains(parent))
                m_shifted.insert(group);
        }
    }
    return child;
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
        removeStoredMessage(c.getInt64(0));
    }
    db.executeThrow(QStringLiteral(
        "delete from parent_hash where not exists (select 1 from valid_hash where hash=parent_hash.parent)"));
    removeEmptyChats();
}

void AndroidLoadMessagesThread::removeStoredMessage(qint64 rowid)
{
    qDebug("AndroidLoadMessagesThread, remove old message %lld", rowid);
    for (const char* sql : {"DELETE FROM message WHERE rowid=?", "DELETE FROM chat_message_join where message_id=?",
                            "DELETE FROM message_attachment_join where message_id=?"}) {
        Sqlite3Sql del(QString::fromLatin1(sql));
        del.addInt64Param(rowid);
        m_store.store().executeThrow(del);
    }
}

void AndroidLoadMessagesThread::removeUnclaimedSent()
{
    // Every message the phone listed was received whole: what it did not
    // give back of a transfer's messages, it does not hold (deleted there,
    // or never kept). The cache says so, and the next transfer sends them.
    IOS6MessageDb& db = m_store.store();
    if (!db.tableExists(QLatin1String(messagekeys::kSentTable)))
        return;
    QList<qint64> rows;
    {
        Sqlite3Cursor c = db.queryThrow(
            QStringLiteral("select m.ROWID from message as m join %1 as s on s.hash=m.logic_hash "
                           "where not exists (select 1 from parent_hash as p where p.child=m.logic_hash)")
                .arg(QLatin1String(messagekeys::kSentTable)));
        while (c.moveNext())
            rows.append(c.getInt64(0));
    }
    for (qint64 rowid : std::as_const(rows))
        removeStoredMessage(rowid);
    if (!rows.isEmpty())
        removeEmptyChats();
}

void AndroidLoadMessagesThread::readLackingKeys()
{
    m_lacking.clear();
    IOS6MessageDb& db = m_store.store();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select distinct p.parent, a.filename from parent_hash as p "
                                                   "join message as m on m.logic_hash=p.child "
                                                   "join message_attachment_join as j on j.message_id=m.ROWID "
                                                   "join attachment as a on a.ROWID=j.attachment_id"));
    while (c.moveNext()) {
        const QString path = db.attachmentLocalPath(c.getText(1));
        if (!path.isEmpty() && !QFileInfo::exists(path))
            m_lacking.insert(c.getText(0));
    }
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
    if (db.tableExists(QLatin1String(messagekeys::kSentPartTable)))
        db.executeThrow(QStringLiteral("delete from %1 where not exists (select 1 from %2 where hash=%1.hash)")
                            .arg(QLatin1String(messagekeys::kSentPartTable), QLatin1String(messagekeys::kSentTable)));
}

void AndroidLoadMessagesThread::removeEmptyChats()
{
    m_store.store().executeThrow(QStringLiteral(
        "DELETE FROM chat WHERE (SELECT 1 from chat_message_join WHERE chat_id=chat.rowid LIMIT 1) IS NULL"));
}
