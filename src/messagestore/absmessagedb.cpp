#include "absmessagedb.h"

#include "messagestore/rowreader.h"

#include <sqlite3.h>

AbsMessageDb::AbsMessageDb() = default;

AbsMessageDb::~AbsMessageDb()
{
    finalizeLookups();
}

void AbsMessageDb::close()
{
    finalizeLookups();
    Sqlite3DB::close();
}

void AbsMessageDb::sqlNoop(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_int(ctx, 0);
}

// --------------------------------------------------------------- row readers

void AbsMessageDb::readChat(const Sqlite3Cursor& c, _MsgChat& chat)
{
    RowReader<_MsgChat>(chatFields(), c).read(c, chat);
}

void AbsMessageDb::readHandle(const Sqlite3Cursor& c, _MsgHandle& handle)
{
    RowReader<_MsgHandle>(handleFields(), c).read(c, handle);
}

void AbsMessageDb::readMessage(const Sqlite3Cursor& c, _MsgMessage& msg)
{
    RowReader<_MsgMessage>(messageFields(), c).read(c, msg);
}

void AbsMessageDb::readAttachment(const Sqlite3Cursor& c, _MsgAttachment& att)
{
    RowReader<_MsgAttachment>(attachmentFields(), c).read(c, att);
}

// ------------------------------------------------------------------ look-ups

sqlite3_stmt* AbsMessageDb::lookupStatement(const char* sql)
{
    open();
    // Statements belong to one connection: after a close and reopen the old
    // ones are dropped (which also lets the old connection go).
    if (!m_lookups.isEmpty() && m_lookupsOwner != handle())
        finalizeLookups();
    auto it = m_lookups.constFind(sql);
    if (it != m_lookups.constEnd()) {
        sqlite3_reset(it.value());
        sqlite3_clear_bindings(it.value());
        return it.value();
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(handle(), sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        const std::string msg = sqlite3_errmsg(handle());
        sqlite3_finalize(stmt);
        throw Sqlite3Exception(rc, msg);
    }
    m_lookups.insert(sql, stmt);
    m_lookupsOwner = handle();
    return stmt;
}

void AbsMessageDb::finalizeLookups()
{
    for (sqlite3_stmt* stmt : std::as_const(m_lookups))
        sqlite3_finalize(stmt);
    m_lookups.clear();
    m_lookupsOwner = nullptr;
}

namespace {

void bindText(sqlite3* db, sqlite3_stmt* stmt, int index, const QString& text)
{
    const int rc
        = sqlite3_bind_text16(stmt, index, text.utf16(), int(text.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        throw Sqlite3Exception(rc, sqlite3_errmsg(db));
}

void bindInt64(sqlite3* db, sqlite3_stmt* stmt, int index, qint64 v)
{
    const int rc = sqlite3_bind_int64(stmt, index, v);
    if (rc != SQLITE_OK)
        throw Sqlite3Exception(rc, sqlite3_errmsg(db));
}

} // namespace

qint64 AbsMessageDb::lookupInt64(sqlite3_stmt* stmt)
{
    const int rc = sqlite3_step(stmt);
    qint64 value = 0;
    if (rc == SQLITE_ROW) {
        value = sqlite3_column_int64(stmt, 0);
    } else if (rc != SQLITE_DONE) {
        const std::string msg = sqlite3_errmsg(handle());
        sqlite3_reset(stmt);
        throw Sqlite3Exception(rc, msg);
    }
    sqlite3_reset(stmt);
    return value;
}

qint64 AbsMessageDb::findChatByGuid(const QString& guid)
{
    sqlite3_stmt* s = lookupStatement("select rowid from chat where guid=?");
    bindText(handle(), s, 1, guid);
    return lookupInt64(s);
}

qint64 AbsMessageDb::findHandle(const _MsgHandle& h)
{
    sqlite3_stmt* s = lookupStatement("select rowid from handle where id=? and service=?");
    bindText(handle(), s, 1, h.id);
    bindText(handle(), s, 2, h.service);
    return lookupInt64(s);
}

qint64 AbsMessageDb::findMessageByGuid(const QString& guid)
{
    sqlite3_stmt* s = lookupStatement("select rowid from message where guid=?");
    bindText(handle(), s, 1, guid);
    return lookupInt64(s);
}

qint64 AbsMessageDb::findAttachmentByGuid(const _MsgAttachment& att)
{
    sqlite3_stmt* s = lookupStatement("select rowid from attachment where guid=?");
    bindText(handle(), s, 1, att.guid);
    return lookupInt64(s);
}

bool AbsMessageDb::hasChatHandleJoin(qint64 chatId, qint64 handleId)
{
    sqlite3_stmt* s = lookupStatement("select 1 from chat_handle_join where chat_id=? and handle_id=?");
    bindInt64(handle(), s, 1, chatId);
    bindInt64(handle(), s, 2, handleId);
    return lookupInt64(s) != 0;
}

bool AbsMessageDb::hasAttachments(qint64 messageId)
{
    sqlite3_stmt* s = lookupStatement("select 1 from message_attachment_join where message_id=? limit 1");
    bindInt64(handle(), s, 1, messageId);
    return lookupInt64(s) != 0;
}

// -------------------------------------------------------------- join writers
// The numbers are bound rather than put into the text: the statement is
// then prepared once per connection instead of once per row.

void AbsMessageDb::replaceJoin(const QString& statement, qint64 first, qint64 second)
{
    open();
    Sqlite3Sql sql(statement);
    sql.addInt64Param(first);
    sql.addInt64Param(second);
    executeThrow(sql);
}

void AbsMessageDb::joinChatHandle(qint64 chatId, qint64 handleId)
{
    replaceJoin(QStringLiteral("replace into chat_handle_join(chat_id,handle_id) values(?,?)"), chatId, handleId);
}

void AbsMessageDb::joinChatMessage(qint64 chatId, qint64 messageId)
{
    replaceJoin(QStringLiteral("replace into chat_message_join(chat_id,message_id) values(?,?)"), chatId, messageId);
}

void AbsMessageDb::joinMessageAttachment(qint64 messageId, qint64 attachmentId)
{
    replaceJoin(QStringLiteral("replace into message_attachment_join(message_id,attachment_id) values(?,?)"), messageId,
                attachmentId);
}

void AbsMessageDb::setLastAddressedHandle(qint64 chatId, const QString& handleId)
{
    open();
    Sqlite3Sql sql(QStringLiteral("update chat set last_addressed_handle=? where rowid=?"));
    sql.addTextParam(handleId);
    sql.addInt64Param(chatId);
    executeThrow(sql);
}

// -------------------------------------------------------------------- delete

void AbsMessageDb::deleteMessage(const _MsgMessage* msg)
{
    open();
    const QString id = QString::number(msg->ROWID);
    // Every chat the message is joined to (a store may join it to several),
    // its own first.
    QList<qint64> chats;
    if (msg->chat)
        chats.append(msg->chat->ROWID);
    {
        Sqlite3Cursor c
            = queryThrow(QStringLiteral("select chat_id from chat_message_join where message_id=%1").arg(id));
        while (c.moveNext()) {
            if (!chats.contains(c.getInt64(0)))
                chats.append(c.getInt64(0));
        }
    }
    executeThrow(QStringLiteral("DELETE FROM message WHERE rowid=%1").arg(id));
    executeThrow(QStringLiteral("DELETE FROM chat_message_join where message_id=%1").arg(id));
    executeThrow(QStringLiteral("DELETE FROM message_attachment_join where message_id=%1").arg(id));
    for (const qint64 chatId : std::as_const(chats)) {
        const QString chat = QString::number(chatId);
        executeThrow(QStringLiteral("DELETE FROM chat WHERE rowid=%1 and (SELECT 1 from chat_message_join "
                                    "WHERE chat_id=%2 LIMIT 1) IS NULL")
                         .arg(chat, chat));
        // The schema declares the chat's handle links ON DELETE CASCADE, but
        // SQLite applies that only with foreign keys switched on. Remove them
        // here so that the trigger can drop handles nobody refers to.
        if (changes() > 0)
            executeThrow(QStringLiteral("DELETE FROM chat_handle_join WHERE chat_id=%1").arg(chat));
    }
}
