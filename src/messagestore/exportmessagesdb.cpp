#include "exportmessagesdb.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {

// Chats with a rowid this low are placeholders of producers for messages
// whose conversation is unknown.
constexpr qint64 kUnknownChatRowid = -2047483647;

} // namespace

ExportMessagesDb::ExportMessagesDb(const QDir& folder, const QString& mcc)
    : m_db(folder, mcc, true)
{
}

ExportMessagesDb::~ExportMessagesDb() = default;

void ExportMessagesDb::begin()
{
    m_db.beginTran();
}

void ExportMessagesDb::end()
{
    m_db.endTran(true);
    m_db.close();
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

    qint64 messageId = m_db.findMessageByLogicHash(&msg);
    if (messageId == 0)
        messageId = m_db.findMessageByGuid(msg.guid);
    if (messageId == 0) {
        const qint64 otherId = msg.otherHandle ? ensureHandle(*msg.otherHandle, chatId) : 0;
        messageId = m_db.insertMessage(msg, senderId, otherId);
        m_db.joinChatMessage(chatId, messageId);
        m_db.updateChatLast(chatId, msg.date);
    }

    if (isGroupChat(msg.chat) && msg.handle)
        m_db.setLastAddressedHandle(chatId, msg.handle->id);

    for (const _MsgAttachment* att : getAttachments(&msg)) {
        writeAttachmentFile(*att);
        qint64 attId = m_db.findAttachmentByGuid(*att);
        if (attId == 0)
            attId = m_db.insertAttachment(*att);
        m_db.joinMessageAttachment(messageId, attId);
    }
}

void ExportMessagesDb::writeAttachmentFile(const _MsgAttachment& att)
{
    if (att.localPath.isEmpty() || !QFileInfo(att.localPath).isFile())
        return;
    const QString target = m_db.attachmentLocalPath(att.filename);
    if (target.isEmpty()) {
        ++m_skippedCopies;
        qWarning() << "attachment not copied: its path leaves the store folder:" << att.filename;
        return;
    }
    if (QFile::exists(target))
        return;
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        ++m_skippedCopies;
        qWarning() << "attachment not copied: cannot make the folder of" << target;
        return;
    }
    QFile source(att.localPath);
    if (!source.copy(target)) {
        ++m_skippedCopies;
        qWarning() << "attachment not copied:" << att.localPath << "->" << target << source.errorString();
    }
}
