// The message store: one SQLite database in the layout of an iOS 6 sms.db,
// inside a folder that mirrors an iPhone backup's file tree.
#pragma once

#include "messagestore/absmessagedb.h"
#include "messagestore/countrylibdb.h"
#include "messagestore/ioscontactsmemdb.h"
#include "messagestore/messagerecycledb.h"
#include "messagestore/partbytes.h"
#include "messagestore/partcontent.h"

#include <QDir>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

class IOS6MessageDb : public AbsIOSMessageDb {
public:
    // Remembers the folder; opens nothing. With migrate set, an older store
    // gains the missing columns when it is first opened.
    IOS6MessageDb(const QDir& folder, const QString& mcc, bool migrate);
    ~IOS6MessageDb() override;

    // Opens the store, making a missing one, and adds the columns an older
    // one lacks (with migrate set) in one transaction: the unit's when
    // beginTran opens the store, so that a unit that does not commit
    // leaves the file as it was.
    void open() override;
    // Whether the last open() found no store (a missing file, or one of 0
    // bytes) and made a new one.
    bool createdAnew() const { return m_createdAnew; }
    // Opens the existing store for reading only, without migration; writes
    // fail. Throws when the file cannot be opened.
    void openReadOnly();
    void loadChats(MsgDataSet& ds) override;
    void loadMessages(MsgDataSet& ds, qint64 chatId) override;
    int version() const override { return 6; }

    // Messages in chats (location-sharing notices left out when the store
    // knows item_type); a message in two chats counts twice.
    qint64 getMessageCount();

    // 0 without a query when the store has no logic_hash column.
    qint64 findMessageByLogicHash(const _MsgMessage* msg);
    // Every message of the logic hash (none without the column).
    QList<qint64> findMessagesByLogicHash(const QString& logicHash);
    // The logic hash the message is stored under; empty when none.
    QString logicHashOf(qint64 messageId);

    // What tells a stored message apart from others of its correspondent
    // and time.
    struct MessageAt {
        qint64 rowid = 0;
        int isFromMe = 0;
        int itemType = 0;
        QString text;
    };
    // The messages of the handle (0: none) at the date.
    QList<MessageAt> messagesAt(qint64 handleId, int date);
    // An attachment row as far as telling its file apart goes.
    struct StoredAttachment {
        qint64 rowid = 0;
        QString filename;
        QString mime;
        QString transferName;
        PartContent content; // as recorded; unknown when not
        PartIdentity identity; // what the store knows of those bytes besides
        bool fileRead = false; // content was read from the file (by its user)
    };
    // The attachments joined to the message, in rowid order.
    QList<StoredAttachment> attachmentsOf(qint64 messageId);
    // The attachment row of the guid (rowid 0 when none).
    StoredAttachment attachmentByGuid(const QString& guid);
    // The same with the message's logic hash (makeLogicHash) at hand.
    qint64 findMessageByLogicHash(const QString& logicHash);
    void updateChatLast(qint64 chatId, int date);

    qint64 insertHandle(const _MsgHandle& handle);
    qint64 insertMessage(const _MsgMessage& msg, qint64 senderHandleId, qint64 otherHandleId);
    // The same with the message's logic hash (makeLogicHash) at hand.
    qint64 insertMessage(const _MsgMessage& msg, qint64 senderHandleId, qint64 otherHandleId, const QString& logicHash);
    qint64 insertAttachment(const _MsgAttachment& att);
    // Throws std::runtime_error for a service_name other than "SMS" or
    // "iMessage". Brings the chat's handles and their joins along.
    qint64 insertChat(const _MsgChat& chat);

    bool hasItemTypeColumn();
    bool hasLogicHashColumn();
    // Whether attachments keep the name their sender gave them.
    bool hasTransferNameColumn();
    // Whether attachments keep what their files hold (content_hash with
    // total_bytes).
    bool hasContentHashColumn();
    // Notes what the attachment's file holds, where the store keeps that.
    void recordContent(qint64 attachmentId, const PartContent& content);
    // Gives the attachment another file (filename as stored) holding content.
    void replaceAttachmentFile(qint64 attachmentId, const QString& filename, const PartContent& content);
    // Every attachment row that names filename (as stored) says its file
    // holds content.
    void recordFileContent(const QString& filename, const PartContent& content);
    // What the store knows of a part's bytes besides them (its
    // kIdentityTable); nothing when it keeps no such table.
    bool hasIdentityTable();
    PartIdentity identityOf(const PartContent& content);
    // Notes what is known of the bytes of content, where nothing is noted
    // yet; makes the table first. Nothing without the content_hash column.
    // How recordIdentity treats what the table holds already: the first
    // word on a part's bytes stays, or (ReplaceSent) what this computer's
    // encoder makes of them replaces another encoder's.
    enum class Recorded { Keep, ReplaceSent };
    void recordIdentity(const PartContent& content, const PartIdentity& identity, Recorded recorded = Recorded::Keep);
    // CREATE text of a table as the store holds it (empty when missing).
    QString createSql(const QString& table);

    QDir folder() const { return m_folder; }
    QDir fileRelayDir() const { return m_fileRelay; }
    QString dbPath() const { return m_dbPath; }
    CountryLibDb& countryDb() { return m_country; }
    IOSContactsMemDb& contactsDb() { return m_contacts; }

    // The store path of an attachment filename, relative to "file-relay":
    // "/" and "~/" at the start mapped, characters that no file name may
    // hold removed. Empty when the path would leave the folder (".."
    // segments) or is empty.
    static QString storeRelativePath(const QString& filename);
    // storeRelativePath resolved inside the folder; empty when refused.
    QString attachmentLocalPath(const QString& filename) const;
    // The same inside the "file-relay" folder fileRelay (an absolute path).
    static QString localPathUnder(const QString& fileRelay, const QString& filename);

protected:
    void closeAfterUndoneSchemaChange() override;

private:
    // Steps the statement to its end, calling row for each row, and resets it.
    void stepRows(sqlite3_stmt* s, const std::function<void()>& row);
    static QString columnText(sqlite3_stmt* s, int column);
    static StoredAttachment storedAttachment(sqlite3_stmt* s);
    void createNew();
    // Readies a connection just opened (beginning the unit beginTran opens
    // it for, then migrating, when asked); closes it again on failure.
    void prepareOpened(bool migrateFirst);
    void migrate();
    void registerFunctions();
    void cacheCreateTexts();
    bool createHas(const QString& table, const QString& text, Qt::CaseSensitivity cs);

    QDir m_folder;
    QDir m_fileRelay;
    QString m_dbPath;
    bool m_migrate;
    bool m_createdAnew = false;
    IOSContactsMemDb m_contacts;
    MessageRecycleDb m_recycle;
    CountryLibDb m_country;
    QHash<QString, QString> m_createSql;
    QHash<quint32, QString> m_insertSql; // message insert text by column set

    // What the CREATE texts say about the optional columns, read once per
    // open rather than searched for on every row written. Each flag is the
    // test the writers make: the column name in the table's CREATE text
    // (case-sensitive unless said otherwise).
    struct Layout {
        quint32 messageColumns = 0; // insertMessage's mask bits that depend on the table alone
        bool messageItemType = false;
        bool messageOtherHandle = false;
        bool messageGroupTitle = false;
        bool messageLogicHash = false;
        bool chatLast = false; // "_last INTEGER", any case
        bool chatDisplayName = false;
        bool chatGroupId = false;
        bool handleCtName = false; // "_ct_name TEXT", any case
        bool handlePhoto = false; // "_photo BLOB", any case
        bool attachmentUserInfo = false;
        bool attachmentTransferName = false;
        bool attachmentTotalBytes = false;
        bool attachmentContentHash = false;
    };
    Layout m_layout;
};
