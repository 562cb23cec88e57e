// Bases of the message store: row readers, look-ups, join writers and the
// delete operation that every store layout shares.
#pragma once

#include "messagestore/msgrecords.h"
#include "records/absdb.h"

#include <QHash>
#include <QString>

struct sqlite3_context;
struct sqlite3_value;
struct sqlite3_stmt;
struct sqlite3;

class AbsMessageDb : public AbsDb {
public:
    AbsMessageDb();
    ~AbsMessageDb() override;

    // Opens on first use; a second call does nothing.
    void open() override = 0;
    // All chats with their handles.
    virtual void loadChats(MsgDataSet& ds) = 0;
    // Messages with their attachments, of one chat (chatId > 0) or of all.
    virtual void loadMessages(MsgDataSet& ds, qint64 chatId) = 0;

    // Closes the connection with the statements this class keeps on it; an
    // open transaction is not committed.
    void close();

    // SQL scalar function that returns the integer 0; stands in for the
    // functions that triggers of stores made on a phone call.
    static void sqlNoop(sqlite3_context* ctx, int argc, sqlite3_value** argv);

    // Row readers: every field of the record by column name ("rowid" for
    // ROWID). Columns a store lacks keep the record's defaults.
    static void readChat(const Sqlite3Cursor& c, _MsgChat& chat);
    static void readHandle(const Sqlite3Cursor& c, _MsgHandle& handle);
    static void readMessage(const Sqlite3Cursor& c, _MsgMessage& msg);
    static void readAttachment(const Sqlite3Cursor& c, _MsgAttachment& att);

    // Look-ups: the rowid of the first match, 0 when none.
    qint64 findChatByGuid(const QString& guid);
    qint64 findHandle(const _MsgHandle& handle);
    qint64 findMessageByGuid(const QString& guid);
    qint64 findAttachmentByGuid(const _MsgAttachment& att);
    bool hasChatHandleJoin(qint64 chatId, qint64 handleId);
    // Whether an attachment is joined to the message.
    bool hasAttachments(qint64 messageId);

    void joinChatHandle(qint64 chatId, qint64 handleId);
    void joinChatMessage(qint64 chatId, qint64 messageId);
    void joinMessageAttachment(qint64 messageId, qint64 attachmentId);
    void setLastAddressedHandle(qint64 chatId, const QString& handleId);

    // Deletes the message (by ROWID), its join rows and each chat it was
    // joined to that it leaves without messages. Orphaned handles and attachments
    // go through the store's triggers; attachment files stay on disk.
    void deleteMessage(const _MsgMessage* msg);

protected:
    // A prepared statement kept for the life of the connection, for the
    // look-ups that run once per written message.
    sqlite3_stmt* lookupStatement(const char* sql);
    qint64 lookupInt64(sqlite3_stmt* stmt);
    void finalizeLookups();

private:
    void replaceJoin(const QString& statement, qint64 first, qint64 second);

    QHash<const char*, sqlite3_stmt*> m_lookups;
    sqlite3* m_lookupsOwner = nullptr;
};

// Base of the stores in an iOS layout.
class AbsIOSMessageDb : public AbsMessageDb {
public:
    virtual int version() const = 0;
};
