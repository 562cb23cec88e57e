#include "exportmessagesdb.h"

#include "shell/core/fileutils.h"

#include <QDebug>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

// Chats with a rowid this low are placeholders of producers for messages
// whose conversation is unknown.
constexpr qint64 kUnknownChatRowid = -2047483647;

// Page cache of the writing connection, in KiB. The indexes on random keys
// (guids, logic hashes) outgrow SQLite's default of 2 MB after some ten
// thousand messages, and every insert then reads and writes pages again.
constexpr int kWriterCacheKiB = 64 * 1024;

} // namespace

ExportMessagesDb::ExportMessagesDb(const QDir& folder, const QString& mcc)
    : m_db(folder, mcc, true)
    , m_files(folder.absolutePath(),
              IOS6MessageDb::localPathUnder(m_db.fileRelayDir().absolutePath(),
                                            QStringLiteral("~/Library/SMS/Attachments")),
              m_db.dbPath() + QStringLiteral("-placing-"))
{
}

ExportMessagesDb::~ExportMessagesDb()
{
    if (m_unit.isActive())
        rollback();
}

void ExportMessagesDb::begin()
{
    m_unit = Transaction(m_db);
    const bool hasAttachments = m_db.tableExists(QStringLiteral("attachment"));
    if (hasAttachments) {
        // The write lock first: no other writer is between placing its files
        // and committing the rows that name them while unfinished writes are
        // cleared.
        m_db.executeThrow(QStringLiteral("delete from attachment where 0"));
    }
    const qint64 mark = storeMark(hasAttachments);
    removeUnfinishedWrites(hasAttachments, mark);
    m_files.setStoreMark(mark);
    m_released.clear();
    if (hasAttachments)
        watchDeletedAttachments();
    m_db.executeThrow(QStringLiteral("PRAGMA cache_size=-%1").arg(kWriterCacheKiB));
    m_insertedKeys.clear();
    m_lastRowidBefore = m_db.queryInt64Throw(Sqlite3Sql("select coalesce(max(rowid),0) from message"));
    // (A store without an attachment table has no attachment to find.)
    m_startedEmpty = m_db.queryInt64Throw(Sqlite3Sql("select exists(select 1 from message)")) == 0
        && (!hasAttachments || m_db.queryInt64Throw(Sqlite3Sql("select exists(select 1 from attachment)")) == 0);
    // A store that held no attachment names only what this unit inserts:
    // nothing to read, every insert is noted.
    m_named.clear();
    m_namedKnown = m_startedEmpty;
}

qint64 ExportMessagesDb::storeMark(bool hasAttachments)
{
    if (!hasAttachments)
        return 0;
    // The attachment table counts its rowids up and never gives one back:
    // its highest one only grows while the store keeps its rows.
    qint64 mark = m_db.queryInt64Throw(Sqlite3Sql("select coalesce(max(rowid),0) from attachment"));
    if (m_db.tableExists(QStringLiteral("sqlite_sequence")))
        mark = qMax(mark,
                    m_db.queryInt64Throw(
                        Sqlite3Sql("select coalesce((select seq from sqlite_sequence where name='attachment'),0)")));
    return mark;
}

void ExportMessagesDb::watchDeletedAttachments()
{
    // A trigger of this connection alone (the temporary schema): the store's
    // file does not change.
    const int rc = sqlite3_create_function_v2(
        m_db.handle(), "unit_attachment_deleted", 1, SQLITE_UTF8, this,
        [](sqlite3_context* ctx, int, sqlite3_value** argv) {
            auto* self = static_cast<ExportMessagesDb*>(sqlite3_user_data(ctx));
            if (self->m_unit.isActive() && sqlite3_value_type(argv[0]) == SQLITE_TEXT)
                self->m_released.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                                                          sqlite3_value_bytes(argv[0])));
            sqlite3_result_null(ctx);
        },
        nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw Sqlite3Exception(rc, sqlite3_errmsg(m_db.handle()));
    m_db.executeThrow(QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS unit_attachment_deleted AFTER DELETE ON "
                                     "main.attachment BEGIN SELECT unit_attachment_deleted(old.filename); END"));
}

QSet<QString> ExportMessagesDb::namedFiles()
{
    QSet<QString> named;
    const QString relay = m_db.fileRelayDir().absolutePath();
    Sqlite3Cursor c = m_db.queryThrow(QStringLiteral("select filename from attachment"));
    while (c.moveNext()) {
        const QString path = IOS6MessageDb::localPathUnder(relay, c.getText(0));
        // A file system that ignores case holds a row's file under any case.
        if (!path.isEmpty())
            named.insert(path.toCaseFolded());
    }
    return named;
}

void ExportMessagesDb::removeUnfinishedWrites(bool hasAttachments, qint64 mark)
{
    const QStringList journals = m_files.unfinishedJournals();
    if (journals.isEmpty())
        return;
    // Only a sound store tells which of the files a killed writer noted are
    // named by rows; a store that is missing, empty or damaged keeps them
    // all.
    QString unsound;
    if (m_db.createdAnew())
        unsound = QStringLiteral("the store was missing or empty");
    else if (!hasAttachments)
        unsound = QStringLiteral("the store has no attachment table");
    else if (const QString check = m_db.quickCheck(); !check.isEmpty())
        unsound = QStringLiteral("the store is damaged: ") + check;
    if (!unsound.isEmpty()) {
        qWarning() << "message store: files of an unfinished write are left in place," << unsound << m_db.dbPath();
        AttachmentFiles::forget(journals);
        return;
    }
    const QSet<QString> named = namedFiles();
    const int removed = m_files.removeUnfinished(
        journals, [&named](const QString& path) { return named.contains(path.toCaseFolded()); }, mark);
    if (removed > 0)
        qWarning() << "message store: removed" << removed << "files of an unfinished write:" << m_db.dbPath();
}

bool ExportMessagesDb::mayExist(Key kind, const QString& key) const
{
    return !m_unit.isActive() || !m_startedEmpty || m_insertedKeys.contains(qHash(key, size_t(kind)));
}

void ExportMessagesDb::noteInserted(Key kind, const QString& key)
{
    if (m_unit.isActive() && m_startedEmpty)
        m_insertedKeys.insert(qHash(key, size_t(kind)));
}

void ExportMessagesDb::end()
{
    if (!commit())
        qWarning() << "message store: the transaction had been rolled back, nothing was committed:" << m_db.dbPath();
    m_db.close();
}

bool ExportMessagesDb::commit()
{
    if (!m_unit.isActive())
        return true;
    bool committed = false;
    try {
        for (auto it = m_chatLast.constBegin(); it != m_chatLast.constEnd(); ++it)
            m_db.updateChatLast(it.key(), it.value());
        m_chatLast.clear();
        // The files of the attachment rows this unit deleted go after the
        // commit, unless a row still names them then.
        for (const QString& filename : std::as_const(m_released))
            m_files.noteReleased(m_db.attachmentLocalPath(filename));
        m_released.clear();
        // The files must be on disk before the rows that name them are.
        m_files.sync();
        committed = m_unit.commit();
    } catch (...) {
        rollback();
        throw;
    }
    m_insertedKeys.clear();
    m_namedKnown = false;
    if (committed) {
        try {
            if (m_files.hasReleased()) {
                const QSet<QString> named = namedFiles();
                m_files.removeReleased([&named](const QString& path) { return named.contains(path.toCaseFolded()); });
            }
        } catch (const std::exception& e) {
            qWarning() << "message store: files of deleted attachments left in place:" << e.what();
        }
        m_files.commit();
    } else {
        m_files.rollback();
    }
    return committed;
}

void ExportMessagesDb::rollback()
{
    // The unit ends here; its level on the store goes last.
    Transaction unit = std::move(m_unit);
    m_released.clear();
    m_chatLast.clear();
    m_insertedKeys.clear();
    m_namedKnown = false;
    // The files first, while the write lock keeps other writers from
    // placing files under the same names.
    m_files.rollback();
    unit.rollback();
}

qint64 ExportMessagesDb::ensureHandle(const _MsgHandle& handle, qint64 chatId)
{
    qint64 id = m_db.findHandle(handle);
    if (id == 0) {
        id = m_db.insertHandle(handle);
        m_db.joinChatHandle(chatId, id);
    } else if (!m_db.hasChatHandleJoin(chatId, id)) {
        m_db.joinChatHandle(chatId, id);
    }
    return id;
}

// One attachment of a message being written: a copy the writer may give
// another name or guid, and what its file holds once that was needed.
struct ExportMessagesDb::Part {
    _MsgAttachment att;
    PartBytes bytes; // once bytesMade
    bool bytesMade = false;
    qint64 reuseRow = 0; // an attachment row of the store that is this file
    int stored = -1; // the stored part it is (see findSame)
};

// A stored message and its parts, with what their files hold once that
// was needed.
struct ExportMessagesDb::Stored {
    qint64 rowid = 0;
    bool byLogicHash = false; // found under the logic hash given
    QList<IOS6MessageDb::StoredAttachment> parts;
    QList<PartBytes> bytes;
};

void ExportMessagesDb::write(const _MsgMessage& msg)
{
    write(msg, makeLogicHash(&msg));
}

ExportMessagesDb::Written ExportMessagesDb::write(const _MsgMessage& msg, const QString& logicHash)
{
    Written written;
    if (msg.item_type != 0 && !m_db.hasItemTypeColumn())
        return written;
    if (!msg.chat) {
        qDebug() << "IOS6RestoreMessagesThread skip message with empty chat.";
        return written;
    }
    if (msg.chat->ROWID <= kUnknownChatRowid) {
        qDebug() << "IOS6RestoreMessagesThread skip message with unknown chat.";
        return written;
    }

    qint64 chatId = m_db.findChatByGuid(msg.chat->guid);
    if (chatId == 0)
        chatId = m_db.insertChat(*msg.chat);

    const qint64 senderId = msg.handle ? ensureHandle(*msg.handle, chatId) : 0;

    QList<Part> parts;
    for (const _MsgAttachment* att : getAttachments(&msg))
        parts.append(Part {*att, PartBytes(), false, 0, -1});

    Stored stored;
    written.rowid = findSame(msg, logicHash, senderId, parts, &stored);
    if (written.rowid != 0) {
        // Found under another logic hash than the one given: the store's.
        written.logicHash = stored.byLogicHash ? logicHash : m_db.logicHashOf(written.rowid);
        if (written.logicHash.isEmpty())
            written.logicHash = logicHash;
        // The store holds the message: only a file it lacks is copied in.
        for (Part& part : parts) {
            if (part.stored < 0)
                continue;
            if (!completeStoredPart(part, stored.parts[part.stored], stored.bytes[part.stored])) {
                ++written.partsMissing;
                notePartMissing(stored.parts.at(part.stored).filename);
            }
            // What the part given is known as goes with it.
            if (part.bytesMade)
                m_db.recordIdentity(part.bytes.asStored(), part.bytes.identity());
        }
        if (isGroupChat(msg.chat) && msg.handle)
            m_db.setLastAddressedHandle(chatId, msg.handle->id);
        return written;
    }

    // A new message: with names and guids of its own where another message
    // or file holds the given ones.
    _MsgMessage copy = msg;
    written.logicHash = logicHash;
    makeDistinct(copy, parts, &written.logicHash);
    const qint64 otherId = copy.otherHandle ? ensureHandle(*copy.otherHandle, chatId) : 0;
    const qint64 messageId = m_db.insertMessage(copy, senderId, otherId, written.logicHash);
    noteInserted(Key::LogicHash, written.logicHash);
    noteInserted(Key::MessageGuid, copy.guid);
    noteInserted(Key::HandleDate, QStringLiteral("%1:%2").arg(senderId).arg(copy.date));
    m_db.joinChatMessage(chatId, messageId);
    if (!m_unit.isActive()) {
        m_db.updateChatLast(chatId, copy.date);
    } else {
        // Written once per chat by commit(): the same newest date as one
        // update per message, without rewriting the chat's index entry each
        // time.
        auto last = m_chatLast.find(chatId);
        if (last == m_chatLast.end())
            m_chatLast.insert(chatId, copy.date);
        else if (copy.date > *last)
            *last = copy.date;
    }
    if (isGroupChat(copy.chat) && copy.handle)
        m_db.setLastAddressedHandle(chatId, copy.handle->id);

    for (Part& part : parts) {
        if (!writeAttachmentFile(part)) {
            ++written.partsMissing;
            notePartMissing(part.att.filename);
        }
        const PartContent content = part.bytesMade ? part.bytes.asStored() : recordedContent(part.att);
        qint64 attId = part.reuseRow;
        if (attId == 0) {
            part.att.content_hash = content.digest;
            part.att.total_bytes = content.isKnown() ? content.size : part.att.total_bytes;
            attId = m_db.insertAttachment(part.att);
            noteInserted(Key::AttachmentGuid, part.att.guid);
            noteNamed(m_db.attachmentLocalPath(part.att.filename));
        }
        // What the part is known as besides its bytes goes with it.
        m_db.recordIdentity(content, part.bytesMade ? part.bytes.identity() : recordedIdentity(part.att));
        m_db.joinMessageAttachment(messageId, attId);
    }
    written.rowid = messageId;
    written.inserted = true;
    return written;
}

namespace {

QString lowerFileName(const QString& filename)
{
    return filename.section(QLatin1Char('/'), -1).toLower();
}

QString withoutPlaceholders(QString text)
{
    text.remove(QChar(QChar::ObjectReplacementCharacter));
    return text;
}

} // namespace

qint64 ExportMessagesDb::findSame(const _MsgMessage& msg, const QString& logicHash, qint64 senderId,
                                  QList<Part>& incoming, Stored* stored)
{
    QList<qint64> tried;
    const auto same = [&](qint64 rowid) {
        if (rowid == 0 || tried.contains(rowid))
            return false;
        tried.append(rowid);
        stored->rowid = rowid;
        // A message without parts is known by its logic hash or guid alone.
        stored->parts = incoming.isEmpty() ? QList<IOS6MessageDb::StoredAttachment>() : m_db.attachmentsOf(rowid);
        stored->bytes.clear();
        for (const IOS6MessageDb::StoredAttachment& part : std::as_const(stored->parts))
            stored->bytes.append(
                PartBytes(m_db.attachmentLocalPath(part.filename), part.mime, part.content, part.identity));
        const bool same = sameParts(incoming, *stored);
        keepWhatWasLearnt(incoming, *stored, same);
        return same;
    };
    if (mayExist(Key::LogicHash, logicHash)) {
        for (qint64 rowid : m_db.findMessagesByLogicHash(logicHash)) {
            if (same(rowid)) {
                stored->byLogicHash = true;
                return rowid;
            }
        }
    }
    if (mayExist(Key::MessageGuid, msg.guid) && same(m_db.findMessageByGuid(msg.guid)))
        return stored->rowid;
    // The same parts under other names: another message of its
    // correspondent, time, direction and text.
    if (incoming.isEmpty() || msg.item_type != 0
        || !mayExist(Key::HandleDate, QStringLiteral("%1:%2").arg(senderId).arg(msg.date)))
        return 0;
    const QString text = withoutPlaceholders(msg.text);
    for (const IOS6MessageDb::MessageAt& at : m_db.messagesAt(senderId, msg.date)) {
        if (at.itemType == 0 && (at.isFromMe != 0) == (msg.is_from_me != 0) && withoutPlaceholders(at.text) == text
            && same(at.rowid))
            return at.rowid;
    }
    return 0;
}

bool ExportMessagesDb::sameParts(QList<Part>& incoming, Stored& stored)
{
    for (Part& part : incoming)
        part.stored = -1;
    // A message without parts is known by its logic hash or guid alone.
    if (incoming.isEmpty())
        return true;
    if (incoming.size() != stored.parts.size())
        return false;
    // Each part is one of the stored ones (pairParts: the same bytes first,
    // then the same picture, then the name where the bytes of one side are
    // not known: a file gone, whose row never recorded them).
    QList<PartRef> wanted;
    QList<int> all;
    for (Part& part : incoming) {
        wanted.append({&bytesOf(part), givenPartName(part.att)});
        all.append(int(all.size()));
    }
    const std::optional<QList<int>> paired = pairParts(wanted, QList<QList<int>>(incoming.size(), all), [&](int j) {
        return PartRef {&stored.bytes[j], givenPartName(stored.parts.at(j).transferName, stored.parts.at(j).filename)};
    });
    if (!paired)
        return false;
    for (qsizetype i = 0; i < incoming.size(); ++i)
        incoming[i].stored = paired->at(i);
    return true;
}

void ExportMessagesDb::keepWhatWasLearnt(QList<Part>& incoming, Stored& stored, bool same)
{
    // A stored file read for the comparison: its row keeps what it holds;
    // what a transfer sends of either side is noted, so that no picture is
    // encoded twice for this store.
    for (qsizetype j = 0; j < stored.parts.size(); ++j) {
        IOS6MessageDb::StoredAttachment& row = stored.parts[j];
        PartBytes& bytes = stored.bytes[j];
        if (!row.content.isKnown() && bytes.asStored().isKnown()) {
            row.content = bytes.asStored();
            m_db.recordContent(row.rowid, row.content);
        }
        keepLearnt(m_db, bytes);
    }
    for (Part& part : incoming) {
        if (part.bytesMade && part.bytes.sentWorkedOut() && !part.att.localPath.isEmpty())
            m_sourceSent.insert(part.att.localPath, part.bytes.asSent());
        // A stored part that is a copy of the one given is known as such.
        if (same && part.stored >= 0)
            keepSamePicture(m_db, bytesOf(part), stored.bytes[part.stored]);
    }
}

PartBytes& ExportMessagesDb::bytesOf(Part& part)
{
    if (!part.bytesMade) {
        part.bytesMade = true;
        PartContent content = recordedContent(part.att);
        const QString& path = part.att.localPath;
        if (!content.isKnown() && !path.isEmpty()) {
            auto known = m_sourceContent.constFind(path);
            if (known == m_sourceContent.constEnd())
                known = m_sourceContent.insert(path, contentOfFile(path));
            content = *known;
        }
        // What the part's own store and this one know of it, and what this
        // writer worked out.
        PartIdentity identity = knownIdentity(part.att, content, m_db);
        if (!identity.sent.isKnown())
            identity.sent = m_sourceSent.value(path);
        part.bytes = PartBytes(path, part.att.mime_type, content, identity);
    }
    return part.bytes;
}

PartContent ExportMessagesDb::contentOf(Part& part)
{
    return bytesOf(part).asStored();
}

PartContent ExportMessagesDb::contentOf(IOS6MessageDb::StoredAttachment& stored)
{
    if (!stored.content.isKnown() && !stored.fileRead) {
        stored.fileRead = true;
        stored.content = contentOfFile(m_db.attachmentLocalPath(stored.filename));
        // Read once: the row keeps it for the next look.
        if (stored.content.isKnown())
            m_db.recordContent(stored.rowid, stored.content);
    }
    return stored.content;
}

void ExportMessagesDb::makeDistinct(_MsgMessage& msg, QList<Part>& parts, QString* logicHash)
{
    const auto tagOf = [this](Part& part) {
        const PartContent content = contentOf(part);
        return QLatin1Char('-')
            + (content.isKnown() ? content.tag() : makeGuidFromData(part.att.guid.toUtf8()).left(8).toLower());
    };
    const auto tagged = [](const QString& filename, const QString& tag) {
        const qsizetype slash = filename.lastIndexOf(QLatin1Char('/'));
        return filename.left(slash + 1) + fileNameWithTag(filename.mid(slash + 1), tag);
    };
    // A file of another row under the part's path, or another row that
    // names the path although its file is gone: a name of its own.
    const auto freePath = [&](Part& part) {
        for (int n = 1;; ++n) {
            const QString target = m_db.attachmentLocalPath(part.att.filename);
            if (target.isEmpty() || target == part.att.localPath)
                return;
            if (QFileInfo::exists(target)) {
                const PartContent there = contentOfFile(target);
                if (there.isKnown() && there == contentOf(part))
                    return; // the same file: shared
            } else if (!isNamed(target)) {
                return;
            }
            part.att.filename = tagged(part.att.filename, n == 1 ? tagOf(part) : tagOf(part) + QString::number(n));
        }
    };
    QStringList originalNames;
    for (Part& part : parts) {
        originalNames.append(part.att.filename);
        if (mayExist(Key::AttachmentGuid, part.att.guid)) {
            IOS6MessageDb::StoredAttachment other = m_db.attachmentByGuid(part.att.guid);
            if (other.rowid != 0) {
                const PartContent content = contentOf(part);
                if (content.isKnown() ? contentOf(other) == content
                                      : lowerFileName(other.filename) == lowerFileName(part.att.filename)) {
                    // The store holds this file under this guid: the row serves both.
                    part.reuseRow = other.rowid;
                    part.att.filename = other.filename;
                    continue;
                }
                const QString oldGuid = part.att.guid;
                part.att.guid = makeGuidFromData((oldGuid + QLatin1Char(':') + tagOf(part)).toUtf8());
                if (m_db.attachmentByGuid(part.att.guid).rowid != 0)
                    part.att.guid = newMsgGuid();
                if (parts.size() == 1 && msg.attributedBody == makeAttributedBody(oldGuid))
                    msg.attributedBody = makeAttributedBody(part.att.guid);
            }
        }
        freePath(part);
    }

    QHash<QString, _MsgAttachment*> named;
    for (qsizetype i = 0; i < parts.size(); ++i)
        named.insert(QString::number(i), &parts[i].att);
    const auto hashNow = [&] {
        _MsgMessage probe = msg;
        probe.attachments = named;
        return makeLogicHash(&probe);
    };
    bool renamed = false;
    for (qsizetype i = 0; i < parts.size(); ++i)
        renamed = renamed || parts.at(i).att.filename != originalNames.at(i);
    if (renamed)
        *logicHash = hashNow();
    // One logic hash names one message: the parts' names tell this one apart.
    for (int n = 1;
         !parts.isEmpty() && mayExist(Key::LogicHash, *logicHash) && m_db.findMessageByLogicHash(*logicHash) != 0;
         ++n) {
        for (qsizetype i = 0; i < parts.size(); ++i) {
            Part& part = parts[i];
            if (part.reuseRow != 0)
                continue;
            const QString tag = n == 1 ? tagOf(part) : tagOf(part) + QString::number(n);
            part.att.filename = tagged(originalNames.at(i), tag);
            freePath(part);
        }
        *logicHash = hashNow();
        if (n > 100)
            break; // only a store that holds every name tried: keep the last
    }
    if (mayExist(Key::MessageGuid, msg.guid) && m_db.findMessageByGuid(msg.guid) != 0) {
        QString contents;
        for (Part& part : parts)
            contents += QLatin1Char(':') + contentOf(part).digest;
        msg.guid = makeGuidFromData((msg.guid + contents).toUtf8());
        if (m_db.findMessageByGuid(msg.guid) != 0)
            msg.guid = newMsgGuid();
    }
}

QString ExportMessagesDb::stageAttachment(const QString& filename)
{
    const QString target = m_db.attachmentLocalPath(filename);
    if (target.isEmpty())
        return QString();
    return m_files.stage(target);
}

bool ExportMessagesDb::completeStoredPart(Part& part, IOS6MessageDb::StoredAttachment& stored, PartBytes& storedBytes)
{
    const QString target = m_db.attachmentLocalPath(stored.filename);
    if (target.isEmpty())
        return false;
    if (QFileInfo::exists(target))
        return true;
    if (!writeAttachmentFile(part, stored.filename))
        return false;
    // The row now names the file given, which may be another copy of the
    // picture than the one it recorded: it says what this one holds, and
    // of which picture it is a copy.
    const PartContent content = contentOf(part);
    if (content.isKnown() && content != stored.content) {
        PartIdentity identity = bytesOf(part).identity();
        if (!identity.origin.isKnown() && stored.content.isKnown())
            identity.origin = storedBytes.root();
        // Every row that names the file says so: the rows a message shares
        // one file with are the same bytes.
        m_db.replaceAttachmentFile(stored.rowid, stored.filename, content);
        m_db.recordFileContent(stored.filename, content);
        m_db.recordIdentity(content, identity);
        stored.content = content;
    }
    return true;
}

bool ExportMessagesDb::replaceStoredFile(qint64 attachmentId, const QString& filename, const QString& path,
                                         const PartContent& content, const PartIdentity& identity)
{
    // Beside the old file, which stays until the commit: a unit that is
    // rolled back leaves the row and its file as they were.
    // The file keeps its name (which the message's logic hash sees); its
    // folder gets the bytes' tag, and a number where that holds or is named
    // for another file.
    if (!content.isKnown())
        return false;
    const qsizetype slash = filename.lastIndexOf(QLatin1Char('/'));
    QString moved;
    for (int n = 1;; ++n) {
        moved = filename.left(qMax<qsizetype>(slash, 0)) + QLatin1Char('-') + content.tag()
            + (n == 1 ? QString() : QString::number(n)) + QLatin1Char('/') + filename.mid(slash + 1);
        const QString target = m_db.attachmentLocalPath(moved);
        if (target.isEmpty() || (QFileInfo::exists(target) ? contentOfFile(target) == content : !isNamed(target)))
            break;
    }
    _MsgAttachment att;
    att.filename = moved;
    att.localPath = path;
    Part part {att, PartBytes(), false, 0, -1};
    if (!writeAttachmentFile(part))
        return false;
    m_db.replaceAttachmentFile(attachmentId, moved, content);
    m_db.recordIdentity(content, identity);
    noteNamed(m_db.attachmentLocalPath(moved));
    if (m_unit.isActive())
        m_released.append(filename);
    return true;
}

bool ExportMessagesDb::isNamed(const QString& localPath)
{
    if (!m_namedKnown) {
        // Read once per unit; without one the rows may change between writes.
        m_named = namedFiles();
        m_namedKnown = m_unit.isActive();
    }
    return m_named.contains(localPath.toCaseFolded());
}

void ExportMessagesDb::noteNamed(const QString& localPath)
{
    if (m_namedKnown && !localPath.isEmpty())
        m_named.insert(localPath.toCaseFolded());
}

void ExportMessagesDb::notePartMissing(const QString& filename)
{
    m_partsMissing.append(filename.section(QLatin1Char('/'), -1));
}

bool ExportMessagesDb::writeAttachmentFile(Part& part, const QString& filename)
{
    const _MsgAttachment& att = part.att;
    const QString target = m_db.attachmentLocalPath(filename.isEmpty() ? att.filename : filename);
    if (target.isEmpty()) {
        ++m_skippedCopies;
        qWarning() << "attachment not copied: its path leaves the store folder:" << att.filename;
        return false;
    }
    if (QFileInfo::exists(target))
        return true;
    if (att.localPath.isEmpty() || !QFileInfo(att.localPath).isFile())
        return false;
    QString error;
    PartContent copied;
    const AttachmentFiles::Result placed = m_files.place(att.localPath, target, m_takesLocalFiles, &error, &copied);
    if (placed == AttachmentFiles::Result::Failed) {
        ++m_skippedCopies;
        qWarning() << "attachment not copied:" << att.localPath << "->" << target << error;
    } else if (copied.isKnown() && !part.bytesMade) {
        // Read while copied: what the row records of it.
        part.bytes = PartBytes(att.localPath, att.mime_type, copied, recordedIdentity(att));
        part.bytesMade = true;
    }
    if (!m_unit.isActive()) {
        // Without a transaction the row goes in at once: so does the file.
        m_files.sync();
        m_files.commit();
    }
    return placed != AttachmentFiles::Result::Failed;
}
