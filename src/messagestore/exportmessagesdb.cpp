#include "exportmessagesdb.h"

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

void ExportMessagesDb::write(const _MsgMessage& msg)
{
    write(msg, makeLogicHash(&msg));
}

void ExportMessagesDb::write(const _MsgMessage& msg, const QString& logicHash)
{
    if (msg.item_type != 0 && !m_db.hasItemTypeColumn())
        return;
    if (!msg.chat) {
        qDebug() << "IOS6RestoreMessagesThread skip message with empty chat.";
        return;
    }
    if (msg.chat->ROWID <= kUnknownChatRowid) {
        qDebug() << "IOS6RestoreMessagesThread skip message with unknown chat.";
        return;
    }

    qint64 chatId = m_db.findChatByGuid(msg.chat->guid);
    if (chatId == 0)
        chatId = m_db.insertChat(*msg.chat);

    const qint64 senderId = msg.handle ? ensureHandle(*msg.handle, chatId) : 0;

    qint64 messageId = mayExist(Key::LogicHash, logicHash) ? m_db.findMessageByLogicHash(logicHash) : 0;
    if (messageId == 0 && mayExist(Key::MessageGuid, msg.guid))
        messageId = m_db.findMessageByGuid(msg.guid);
    // A message the store held before this unit keeps the attachments it
    // was stored with: the same message from another producer names its
    // pictures by other guids, and adding those would show every picture
    // twice. (Two messages of one unit that the look-ups take for one keep
    // the pictures of both, as before.)
    const bool known
        = messageId != 0 && !(m_unit.isActive() && messageId > m_lastRowidBefore) && m_db.hasAttachments(messageId);
    if (messageId == 0) {
        const qint64 otherId = msg.otherHandle ? ensureHandle(*msg.otherHandle, chatId) : 0;
        messageId = m_db.insertMessage(msg, senderId, otherId, logicHash);
        noteInserted(Key::LogicHash, logicHash);
        noteInserted(Key::MessageGuid, msg.guid);
        m_db.joinChatMessage(chatId, messageId);
        if (!m_unit.isActive()) {
            m_db.updateChatLast(chatId, msg.date);
        } else {
            // Written once per chat by commit(): the same newest date as one
            // update per message, without rewriting the chat's index entry
            // each time.
            auto last = m_chatLast.find(chatId);
            if (last == m_chatLast.end())
                m_chatLast.insert(chatId, msg.date);
            else if (msg.date > *last)
                *last = msg.date;
        }
    }

    if (isGroupChat(msg.chat) && msg.handle)
        m_db.setLastAddressedHandle(chatId, msg.handle->id);

    for (const _MsgAttachment* att : getAttachments(&msg)) {
        writeAttachmentFile(*att, !known);
        if (known)
            continue;
        qint64 attId = mayExist(Key::AttachmentGuid, att->guid) ? m_db.findAttachmentByGuid(*att) : 0;
        if (attId == 0) {
            attId = m_db.insertAttachment(*att);
            noteInserted(Key::AttachmentGuid, att->guid);
        }
        m_db.joinMessageAttachment(messageId, attId);
    }
}

QString ExportMessagesDb::stageAttachment(const QString& filename)
{
    const QString target = m_db.attachmentLocalPath(filename);
    if (target.isEmpty())
        return QString();
    return m_files.stage(target);
}

void ExportMessagesDb::writeAttachmentFile(const _MsgAttachment& att, bool place)
{
    if (att.localPath.isEmpty() || !QFileInfo(att.localPath).isFile())
        return;
    const QString target = m_db.attachmentLocalPath(att.filename);
    if (target.isEmpty()) {
        ++m_skippedCopies;
        qWarning() << "attachment not copied: its path leaves the store folder:" << att.filename;
        return;
    }
    if (!place)
        return;
    QString error;
    if (m_files.place(att.localPath, target, m_takesLocalFiles, &error) == AttachmentFiles::Result::Failed) {
        ++m_skippedCopies;
        qWarning() << "attachment not copied:" << att.localPath << "->" << target << error;
    }
    if (!m_unit.isActive()) {
        // Without a transaction the row goes in at once: so does the file.
        m_files.sync();
        m_files.commit();
    }
}
