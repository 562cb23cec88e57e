// The store writer: copies messages with their chats, handles and
// attachment files into the message store of a folder, leaving out what the
// store already holds. The one way messages enter a store.
#pragma once

#include "messagestore/ios6messagedb.h"
#include "records/absformatexport.h"

#include <QDir>
#include <QString>

class ExportMessagesDb : public AbsFormatExport<_MsgMessage> {
public:
    // The store of the folder, migrated when first touched.
    ExportMessagesDb(const QDir& folder, const QString& mcc);
    // Destroys the store; a transaction still open is not committed.
    ~ExportMessagesDb() override;

    // Opens the store and begins one transaction.
    void begin() override;
    // Writes one message (see the caller's contract in the class comment).
    // Failures propagate; nothing is committed until end().
    void write(const _MsgMessage& msg) override;
    // Commits the transaction (when one is open) and closes the store.
    void end() override;

    IOS6MessageDb& store() { return m_db; }
    // Attachment copies skipped or failed during this writer's life.
    int skippedAttachmentCopies() const { return m_skippedCopies; }

private:
    qint64 ensureHandle(const _MsgHandle& handle, qint64 chatId);
    void writeAttachmentFile(const _MsgAttachment& att);

    IOS6MessageDb m_db;
    int m_skippedCopies = 0;
};
