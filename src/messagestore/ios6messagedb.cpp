#include "ios6messagedb.h"

#include "messagestore/rowreader.h"
#include "platform/transaction.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <iterator>

namespace {

const QString kSmsDbRelative = QStringLiteral("var/mobile/Library/SMS/sms.db");

// Columns that older stores may lack, with the statements that add them,
// in the order they are added.
struct MigrationStep {
    const char* table;
    const char* column;
    QStringList statements;
};

const QList<MigrationStep>& migrationSteps()
{
    static const QList<MigrationStep> steps = {
        {"chat", "group_id", {QStringLiteral("ALTER TABLE chat ADD COLUMN group_id TEXT;")}},
        {"message",
         "is_audio_message",
         {QStringLiteral("ALTER TABLE message ADD COLUMN is_audio_message INTEGER DEFAULT 0;")}},
        {"message", "is_played", {QStringLiteral("ALTER TABLE message ADD COLUMN is_played INTEGER DEFAULT 0;")}},
        {"message", "date_played", {QStringLiteral("ALTER TABLE message ADD COLUMN date_played INTEGER;")}},
        {"message", "item_type", {QStringLiteral("ALTER TABLE message ADD COLUMN item_type INTEGER DEFAULT 0;")}},
        {"message",
         "other_handle",
         {QStringLiteral("ALTER TABLE message ADD COLUMN other_handle INTEGER DEFAULT -1;")}},
        {"message", "group_title", {QStringLiteral("ALTER TABLE message ADD COLUMN group_title TEXT;")}},
        {"message",
         "group_action_type",
         {QStringLiteral("ALTER TABLE message ADD COLUMN group_action_type INTEGER DEFAULT 0;")}},
        {"message", "share_status", {QStringLiteral("ALTER TABLE message ADD COLUMN share_status INTEGER;")}},
        {"message", "share_direction", {QStringLiteral("ALTER TABLE message ADD COLUMN share_direction INTEGER;")}},
        {"message", "is_expirable", {QStringLiteral("ALTER TABLE message ADD COLUMN is_expirable INTEGER DEFAULT 0;")}},
        {"message", "expire_state", {QStringLiteral("ALTER TABLE message ADD COLUMN expire_state INTEGER DEFAULT 0;")}},
        {"message",
         "message_action_type",
         {QStringLiteral("ALTER TABLE message ADD COLUMN message_action_type INTEGER DEFAULT 0;")}},
        {"message",
         "logic_hash",
         {QStringLiteral("ALTER TABLE message ADD COLUMN logic_hash TEXT;"),
          QStringLiteral("CREATE INDEX message_idx_logic_hash ON message(logic_hash);")}},
        {"attachment", "content_hash", {QStringLiteral("ALTER TABLE attachment ADD COLUMN content_hash TEXT;")}},
    };
    return steps;
}

// Message columns written only when the store's table has them.
const char* const kOptionalMessageInts[]
    = {"is_audio_message", "is_played",       "date_played",  "item_type",    "group_action_type",
       "share_status",     "share_direction", "is_expirable", "expire_state", "message_action_type"};

// insertMessage's column set as a mask: four bits for values that may be
// empty, then the optional integer columns, then other_handle, group_title
// and logic_hash.
constexpr int kFirstOptionalMessageBit = 4;
constexpr int kOtherHandleBit = kFirstOptionalMessageBit + int(std::size(kOptionalMessageInts));
constexpr int kGroupTitleBit = kOtherHandleBit + 1;
constexpr int kLogicHashBit = kGroupTitleBit + 1;

std::runtime_error runtimeError(const QString& text)
{
    return std::runtime_error(text.toUtf8().toStdString());
}

} // namespace

IOS6MessageDb::IOS6MessageDb(const QDir& folder, const QString& mcc, bool migrate)
    : m_folder(folder)
    , m_fileRelay(folder.absoluteFilePath(QStringLiteral("file-relay")))
    , m_dbPath(QDir(folder.absoluteFilePath(QStringLiteral("file-relay"))).absoluteFilePath(kSmsDbRelative))
    , m_migrate(migrate)
    , m_contacts(folder, mcc)
    , m_recycle(folder.absoluteFilePath(QStringLiteral("recycle.db")))
    , m_country(mcc)
{
}

IOS6MessageDb::~IOS6MessageDb()
{
    finalizeLookups();
    close();
}

// ---------------------------------------------------------------------- open

void IOS6MessageDb::open()
{
    if (isOpen())
        return;
    m_createSql.clear();
    m_insertSql.clear();
    // A file of 0 bytes (a copy cut short) holds nothing: it gets the schema.
    const bool exists = QFileInfo(m_dbPath).size() > 0;
    m_createdAnew = !exists;
    if (exists)
        openThrow(m_dbPath, Sqlite3DB::ReadWrite);
    else
        createNew();
    prepareOpened(exists && m_migrate);
}

void IOS6MessageDb::closeAfterUndoneSchemaChange()
{
    // The statements and layout kept for the columns added go with the
    // connection; the next open adds the columns again.
    close();
}

void IOS6MessageDb::openReadOnly()
{
    if (isOpen())
        return;
    m_createSql.clear();
    m_insertSql.clear();
    m_createdAnew = false;
    openReadOnlyThrow(m_dbPath);
    prepareOpened(false);
}

void IOS6MessageDb::prepareOpened(bool migrateFirst)
{
    try {
        // Opened for a unit (beginTran), the update is part of it.
        beginUnitBeforeSchemaUpdate();
        if (migrateFirst)
            migrate();
        registerFunctions();
        cacheCreateTexts();
    } catch (...) {
        close();
        throw;
    }
}

void IOS6MessageDb::createNew()
{
    QFile ddl(QStringLiteral(":/res/localmsgdb_ddl.sql"));
    if (!ddl.open(QIODevice::ReadOnly))
        throw runtimeError(QStringLiteral("read IOS6MessageDb ddl error. %1").arg(ddl.errorString()));
    const QByteArray script = ddl.readAll();

    QDir().mkpath(QFileInfo(m_dbPath).absolutePath());
    openThrow(m_dbPath, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    try {
        Transaction<Sqlite3DB> tran(*this);
        executeScriptThrow(script);
        tran.commit();
    } catch (const std::exception& e) {
        // A half-made file would later be taken for a store: remove it.
        close();
        QFile::remove(m_dbPath);
        throw runtimeError(QStringLiteral("create IOS6MessageDb error. %1").arg(QString::fromUtf8(e.what())));
    }
}

void IOS6MessageDb::migrate()
{
    const QHash<QString, _SqliteCol> chatCols = tbInfo(QStringLiteral("chat"));
    const QHash<QString, _SqliteCol> messageCols = tbInfo(QStringLiteral("message"));
    const QHash<QString, _SqliteCol> attachmentCols = tbInfo(QStringLiteral("attachment"));
    // A store without these tables cannot be brought up to date; say so
    // instead of failing on the first ALTER.
    if (chatCols.isEmpty() || messageCols.isEmpty())
        throw runtimeError(QStringLiteral("invalid message store %1: table %2 is missing")
                               .arg(m_dbPath, chatCols.isEmpty() ? QStringLiteral("chat") : QStringLiteral("message")));

    auto hasColumn = [](const QHash<QString, _SqliteCol>& cols, const QString& name) {
        for (auto it = cols.constBegin(); it != cols.constEnd(); ++it) {
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    };

    const auto columnsOf = [&](const MigrationStep& step) -> const QHash<QString, _SqliteCol>& {
        return qstrcmp(step.table, "chat") == 0   ? chatCols
            : qstrcmp(step.table, "message") == 0 ? messageCols
                                                  : attachmentCols;
    };
    // A store without an attachment table has nothing to add it to.
    const auto needed = [&](const MigrationStep& step) {
        return !columnsOf(step).isEmpty() && !hasColumn(columnsOf(step), QLatin1String(step.column));
    };
    if (std::none_of(migrationSteps().cbegin(), migrationSteps().cend(), needed))
        return;
    // Outside a unit the change is committed at once: a damaged store must
    // not be touched by it, whatever its user does next. (Inside one it goes
    // with the unit, which keeps nothing of it when it does not commit, as
    // for damage that shows only once the columns are there.)
    if (const QString damage = quickCheck(); !damage.isEmpty())
        throw runtimeError(
            QStringLiteral("The message store %1 is damaged: nothing was changed in it. SQLite found: %2")
                .arg(m_dbPath, damage));

    Transaction<Sqlite3DB> tran(*this);
    int line = 0;
    for (const MigrationStep& step : migrationSteps()) {
        if (!needed(step)) {
            line += step.statements.size();
            continue;
        }
        for (const QString& stmt : step.statements) {
            ++line;
            try {
                executeThrow(stmt);
            } catch (const std::exception& e) {
                throw runtimeError(
                    QStringLiteral("line:%1, sql:%2, error:%3").arg(line).arg(stmt, QString::fromUtf8(e.what())));
            }
        }
    }
    tran.commit();
}

void IOS6MessageDb::registerFunctions()
{
    const int rc1 = sqlite3_create_function_v2(handle(), "delete_attachment_path", 1, SQLITE_ANY, nullptr,
                                               &AbsMessageDb::sqlNoop, nullptr, nullptr, nullptr);
    const int rc2 = sqlite3_create_function_v2(handle(), "before_delete_attachment_path", 2, SQLITE_ANY, nullptr,
                                               &AbsMessageDb::sqlNoop, nullptr, nullptr, nullptr);
    if (rc1 != SQLITE_OK || rc2 != SQLITE_OK)
        throw Sqlite3Exception(rc1 != SQLITE_OK ? rc1 : rc2, sqlite3_errmsg(handle()));
}

void IOS6MessageDb::cacheCreateTexts()
{
    m_createSql.clear();
    Sqlite3Cursor c = queryThrow(QStringLiteral("select * from sqlite_master where type='table'"));
    while (c.moveNext())
        m_createSql.insert(c.getText(QStringLiteral("name")), c.getText(QStringLiteral("sql")));

    const QString message = m_createSql.value(QStringLiteral("message"));
    const QString chat = m_createSql.value(QStringLiteral("chat"));
    const QString handle = m_createSql.value(QStringLiteral("handle"));
    const QString attachment = m_createSql.value(QStringLiteral("attachment"));
    m_layout = Layout();
    int bit = kFirstOptionalMessageBit;
    for (const char* col : kOptionalMessageInts) {
        if (message.contains(QLatin1String(col)))
            m_layout.messageColumns |= 1u << bit;
        ++bit;
    }
    m_layout.messageItemType = message.contains(QLatin1String("item_type"));
    m_layout.messageOtherHandle = message.contains(QLatin1String("other_handle"));
    m_layout.messageGroupTitle = message.contains(QLatin1String("group_title"));
    m_layout.messageLogicHash = message.contains(QLatin1String("logic_hash"));
    m_layout.chatLast = chat.contains(QLatin1String("_last INTEGER"), Qt::CaseInsensitive);
    m_layout.chatDisplayName = chat.contains(QLatin1String("display_name"));
    m_layout.chatGroupId = chat.contains(QLatin1String("group_id"));
    m_layout.handleCtName = handle.contains(QLatin1String("_ct_name TEXT"), Qt::CaseInsensitive);
    m_layout.handlePhoto = handle.contains(QLatin1String("_photo BLOB"), Qt::CaseInsensitive);
    m_layout.attachmentUserInfo = attachment.contains(QLatin1String("user_info"));
    m_layout.attachmentTransferName = attachment.contains(QLatin1String("transfer_name"));
    m_layout.attachmentTotalBytes = attachment.contains(QLatin1String("total_bytes"));
    m_layout.attachmentContentHash = attachment.contains(QLatin1String("content_hash"));
}

QString IOS6MessageDb::createSql(const QString& table)
{
    open();
    return m_createSql.value(table);
}

bool IOS6MessageDb::createHas(const QString& table, const QString& text, Qt::CaseSensitivity cs)
{
    open();
    return m_createSql.value(table).contains(text, cs);
}

bool IOS6MessageDb::hasItemTypeColumn()
{
    open();
    return m_layout.messageItemType;
}

bool IOS6MessageDb::hasLogicHashColumn()
{
    open();
    return m_layout.messageLogicHash;
}

bool IOS6MessageDb::hasTransferNameColumn()
{
    open();
    return m_layout.attachmentTransferName;
}

// ------------------------------------------------------------- store paths

QString IOS6MessageDb::storeRelativePath(const QString& filename)
{
    // Read for every attachment a store lists: plain string work.
    QString p = filename;
    if (p.startsWith(QLatin1Char('/')))
        p.remove(0, 1);
    if (p.startsWith(QLatin1String("~/")))
        p.replace(0, 2, QStringLiteral("var/mobile/"));
    p.removeIf([](QChar c) {
        switch (c.unicode()) {
        case u'\\':
        case u':':
        case u'*':
        case u'?':
        case u'"':
        case u'<':
        case u'>':
        case u'|':
        case u'\n':
        case u'\r':
        case u'\t':
            return true;
        default:
            return false;
        }
    });
    // The mapped path must stay inside the store folder: no absolute path,
    // no "." or ".." segment, nothing empty.
    if (p.isEmpty() || p.startsWith(QLatin1Char('/')))
        return QString();
    const QStringList parts = p.split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part == QLatin1String("..") || part == QLatin1String("."))
            return QString();
    }
    if (parts.last().isEmpty())
        return QString();
    return p;
}

QString IOS6MessageDb::attachmentLocalPath(const QString& filename) const
{
    return localPathUnder(m_fileRelay.absolutePath(), filename);
}

QString IOS6MessageDb::localPathUnder(const QString& fileRelay, const QString& filename)
{
    const QString rel = storeRelativePath(filename);
    if (rel.isEmpty())
        return QString();
    const QString base = QDir::cleanPath(fileRelay);
    // rel has no "." or ".." segment and no leading "/": only doubled
    // separators need cleaning.
    const QString joined = base + QLatin1Char('/') + rel;
    const QString full = rel.contains(QLatin1String("//")) ? QDir::cleanPath(joined) : joined;
    if (!full.startsWith(base + QLatin1Char('/')))
        return QString();
    return full;
}

// ------------------------------------------------------------------- loading

void IOS6MessageDb::loadChats(MsgDataSet& ds)
{
    open();
    bool contactsOpen = false;
    try {
        m_contacts.open();
        contactsOpen = m_contacts.isOpen();
    } catch (const std::exception& e) {
        qWarning()
            << QStringLiteral("IOS6MessageDb::chats, IOSContactsMemDb error. %1").arg(QString::fromUtf8(e.what()));
    }

    {
        Sqlite3Cursor c = queryThrow(QStringLiteral("select * from chat"));
        RowReader<_MsgChat> reader(chatFields(), c);
        const int rowidCol = c.columnIndex(QStringLiteral("rowid"));
        while (c.moveNext()) {
            const qint64 rowid = rowidCol >= 0 ? c.getInt64(rowidCol) : 0;
            if (ds.chats.contains(rowid))
                continue;
            auto chat = std::make_unique<_MsgChat>();
            reader.read(c, *chat);
            ds.chats.insert(rowid, chat.release());
        }
    }

    if (!createHas(QStringLiteral("chat"), QStringLiteral("_last INTEGER"), Qt::CaseInsensitive)) {
        Sqlite3Cursor c = queryThrow(QStringLiteral(
            "select chat_id, max(date) as last from ( select cm.chat_id, m.date from chat_message_join as cm "
            "inner join message as m on cm.message_id=m.rowid ) as tmp group by chat_id"));
        while (c.moveNext()) {
            _MsgChat* chat = ds.chats.value(c.getInt64(0));
            if (chat)
                chat->_last = c.getInt(1);
        }
    }

    // Countries by ISO code, looked up once per load.
    QHash<QString, _Country> byCode;
    bool countryUsable = true;
    Sqlite3Cursor c = queryThrow(QStringLiteral(
        "select j.chat_id, h.* from chat_handle_join as j inner join handle as h on j.handle_id = h.rowid"));
    RowReader<_MsgHandle> reader(handleFields(), c);
    const int rowidCol = c.columnIndex(QStringLiteral("rowid"));
    while (c.moveNext()) {
        const qint64 chatId = c.getInt64(0);
        const qint64 rowid = rowidCol >= 0 ? c.getInt64(rowidCol) : 0;
        _MsgHandle* h = ds.handles.value(rowid);
        if (!h) {
            auto fresh = std::make_unique<_MsgHandle>();
            reader.read(c, *fresh);
            if (countryUsable) {
                try {
                    if (!fresh->country.isEmpty()) {
                        const QString code = fresh->country.toUpper();
                        auto it = byCode.constFind(code);
                        if (it == byCode.constEnd())
                            it = byCode.insert(code, m_country.getCountryByCode(code));
                        fresh->id = it.value().normalizeNumber(fresh->id);
                    } else {
                        const _Country& cur = m_country.getCurCountry();
                        fresh->country = cur.sn.toLower();
                        fresh->id = cur.normalizeNumber(fresh->id);
                    }
                } catch (const std::exception& e) {
                    // Without the country table the stored ids are shown as
                    // they are.
                    qWarning() << "IOS6MessageDb::chats, country table error." << e.what();
                    countryUsable = false;
                }
            }
            if (contactsOpen) {
                try {
                    const IOSPerson p = m_contacts.findByNumber(fresh->id);
                    fresh->_ct_name = IOSContactsMemDb::fullName(p);
                    fresh->_photo = p.photo;
                } catch (const std::exception& e) {
                    qWarning() << QStringLiteral("IOS6MessageDb::chats, IOSContactsMemDb error. %1")
                                      .arg(QString::fromUtf8(e.what()));
                    contactsOpen = false;
                }
            }
            h = fresh.release();
            ds.handles.insert(rowid, h);
        }
        _MsgChat* chat = ds.chats.value(chatId);
        if (chat)
            chat->handles.insert(QString::number(rowid), h);
    }
}

void IOS6MessageDb::loadMessages(MsgDataSet& ds, qint64 chatId)
{
    open();
    const bool hasItemType = hasItemTypeColumn();
    QString sql = QStringLiteral(
        "select j.chat_id, m.* from chat_message_join as j inner join message as m on j.message_id = m.rowid");
    if (hasItemType)
        sql += QStringLiteral(" and m.item_type <> 4");
    if (chatId > 0)
        sql += QStringLiteral(" and j.chat_id=%1").arg(chatId);

    {
        Sqlite3Cursor c = queryThrow(sql);
        RowReader<_MsgMessage> reader(messageFields(), c);
        const int rowidCol = c.columnIndex(QStringLiteral("rowid"));
        while (c.moveNext()) {
            const qint64 rowid = rowidCol >= 0 ? c.getInt64(rowidCol) : 0;
            const qint64 msgChat = c.getInt64(0);
            _MsgMessage* m = ds.messages.value(rowid);
            if (!m) {
                auto fresh = std::make_unique<_MsgMessage>();
                fresh->_src_id = rowid;
                reader.read(c, *fresh);
                m = fresh.release();
                ds.messages.insert(rowid, m);
                m->handle = ds.handles.value(m->handle_id);
                if (m->handle && m->country.isEmpty())
                    m->country = m->handle->country;
                if (m->other_handle > 0)
                    m->otherHandle = ds.handles.value(m->other_handle);
            }
            _MsgChat* chat = ds.chats.value(msgChat);
            if (chat) {
                m->chat = chat;
                chat->messages.insert(QString::number(rowid), m);
            }
        }
    }

    // What the store knows of each part's bytes comes along (see
    // PartIdentity), so that every store the part goes to knows it too.
    const bool identities = hasContentHashColumn() && hasIdentityTable();
    QString attSql = identities ? QStringLiteral("select ma.message_id, ma.attachment_id, cm.chat_id, a.*, "
                                                 "i.sent_bytes as sent_bytes, i.sent_hash as sent_hash, "
                                                 "i.origin_bytes as origin_bytes, i.origin_hash as origin_hash")
                                : QStringLiteral("select ma.message_id, ma.attachment_id, cm.chat_id, a.*");
    attSql += QStringLiteral(" from message_attachment_join as ma inner join "
                             "attachment as a on ma.attachment_id=a.rowid inner join chat_message_join as cm on "
                             "ma.message_id=cm.message_id");
    if (chatId > 0)
        attSql += QStringLiteral(" and cm.chat_id=%1").arg(chatId);
    if (identities)
        attSql += QStringLiteral(" left join part_identity as i on i.hash=a.content_hash");
    Sqlite3Cursor c = queryThrow(attSql);
    RowReader<_MsgAttachment> reader(attachmentFields(), c);
    while (c.moveNext()) {
        const qint64 messageId = c.getInt64(0);
        const qint64 attId = c.getInt64(1);
        _MsgAttachment* a = ds.attachments.value(attId);
        if (!a) {
            auto fresh = std::make_unique<_MsgAttachment>();
            reader.read(c, *fresh);
            fresh->ROWID = attId;
            if (!fresh->filename.isEmpty())
                fresh->localPath = attachmentLocalPath(fresh->filename);
            a = fresh.release();
            ds.attachments.insert(attId, a);
        }
        _MsgMessage* m = ds.messages.value(messageId);
        if (m)
            m->attachments.insert(QString::number(attId), a);
    }
}

qint64 IOS6MessageDb::getMessageCount()
{
    open();
    QString sql = QStringLiteral(
        "select count(*) from chat_message_join as j inner join message as m on j.message_id = m.rowid");
    if (hasItemTypeColumn())
        sql += QStringLiteral(" and m.item_type <> 4");
    return queryInt64Throw(Sqlite3Sql(sql));
}

// ------------------------------------------------------------------- writing

qint64 IOS6MessageDb::findMessageByLogicHash(const _MsgMessage* msg)
{
    open();
    return m_layout.messageLogicHash ? findMessageByLogicHash(makeLogicHash(msg)) : 0;
}

qint64 IOS6MessageDb::findMessageByLogicHash(const QString& logicHash)
{
    open();
    if (!m_layout.messageLogicHash)
        return 0;
    sqlite3_stmt* s = lookupStatement("select rowid from message where logic_hash=?");
    const QByteArray utf8 = logicHash.toUtf8();
    sqlite3_bind_text(s, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return lookupInt64(s);
}

QList<qint64> IOS6MessageDb::findMessagesByLogicHash(const QString& logicHash)
{
    open();
    QList<qint64> rows;
    if (!m_layout.messageLogicHash)
        return rows;
    sqlite3_stmt* s = lookupStatement("select rowid from message where logic_hash=? order by rowid");
    const QByteArray utf8 = logicHash.toUtf8();
    sqlite3_bind_text(s, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    stepRows(s, [&] { rows.append(sqlite3_column_int64(s, 0)); });
    return rows;
}

QString IOS6MessageDb::logicHashOf(qint64 messageId)
{
    open();
    QString hash;
    if (!m_layout.messageLogicHash)
        return hash;
    sqlite3_stmt* s = lookupStatement("select logic_hash from message where rowid=?");
    sqlite3_bind_int64(s, 1, messageId);
    stepRows(s, [&] { hash = columnText(s, 0); });
    return hash;
}

QList<IOS6MessageDb::MessageAt> IOS6MessageDb::messagesAt(qint64 handleId, int date)
{
    open();
    QList<MessageAt> rows;
    sqlite3_stmt* s = m_layout.messageItemType
        ? lookupStatement("select rowid, is_from_me, item_type, text from message where handle_id=? and date=?")
        : lookupStatement("select rowid, is_from_me, 0, text from message where handle_id=? and date=?");
    sqlite3_bind_int64(s, 1, handleId);
    sqlite3_bind_int64(s, 2, date);
    stepRows(s, [&] {
        rows.append(MessageAt {sqlite3_column_int64(s, 0), sqlite3_column_int(s, 1), sqlite3_column_int(s, 2),
                               columnText(s, 3)});
    });
    return rows;
}

namespace {

// The look-ups storedAttachment reads, by whether the attachment table
// holds content_hash and transfer_name (a look-up statement is kept by its
// text's address: one text per layout).
constexpr const char* kAttachmentsOf[2][2]
    = {{"select a.rowid, a.filename, 0, NULL, a.mime_type, NULL from message_attachment_join as j join attachment as a "
        "on a.rowid=j.attachment_id where j.message_id=? order by a.rowid",
        "select a.rowid, a.filename, 0, NULL, a.mime_type, a.transfer_name from message_attachment_join as j join "
        "attachment as a on a.rowid=j.attachment_id where j.message_id=? order by a.rowid"},
       {"select a.rowid, a.filename, a.total_bytes, a.content_hash, a.mime_type, NULL from message_attachment_join as "
        "j join attachment as a on a.rowid=j.attachment_id where j.message_id=? order by a.rowid",
        "select a.rowid, a.filename, a.total_bytes, a.content_hash, a.mime_type, a.transfer_name from "
        "message_attachment_join as j join attachment as a on a.rowid=j.attachment_id where j.message_id=? order by "
        "a.rowid"}};
constexpr const char* kAttachmentByGuid[2][2]
    = {{"select rowid, filename, 0, NULL, mime_type, NULL from attachment where guid=?",
        "select rowid, filename, 0, NULL, mime_type, transfer_name from attachment where guid=?"},
       {"select rowid, filename, total_bytes, content_hash, mime_type, NULL from attachment where guid=?",
        "select rowid, filename, total_bytes, content_hash, mime_type, transfer_name from attachment where guid=?"}};

} // namespace

QList<IOS6MessageDb::StoredAttachment> IOS6MessageDb::attachmentsOf(qint64 messageId)
{
    open();
    QList<StoredAttachment> rows;
    const bool bytes = hasContentHashColumn();
    const bool named = m_layout.attachmentTransferName;
    sqlite3_stmt* s = lookupStatement(kAttachmentsOf[bytes ? 1 : 0][named ? 1 : 0]);
    sqlite3_bind_int64(s, 1, messageId);
    stepRows(s, [&] { rows.append(storedAttachment(s)); });
    if (bytes && hasIdentityTable()) {
        for (StoredAttachment& row : rows)
            row.identity = identityOf(row.content);
    }
    return rows;
}

IOS6MessageDb::StoredAttachment IOS6MessageDb::attachmentByGuid(const QString& guid)
{
    open();
    StoredAttachment row;
    const bool bytes = hasContentHashColumn();
    const bool named = m_layout.attachmentTransferName;
    sqlite3_stmt* s = lookupStatement(kAttachmentByGuid[bytes ? 1 : 0][named ? 1 : 0]);
    const QByteArray utf8 = guid.toUtf8();
    sqlite3_bind_text(s, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    stepRows(s, [&] { row = storedAttachment(s); });
    if (row.rowid != 0 && bytes && hasIdentityTable())
        row.identity = identityOf(row.content);
    return row;
}

IOS6MessageDb::StoredAttachment IOS6MessageDb::storedAttachment(sqlite3_stmt* s)
{
    StoredAttachment row;
    row.rowid = sqlite3_column_int64(s, 0);
    row.filename = columnText(s, 1);
    const QString digest = columnText(s, 3);
    if (!digest.isEmpty())
        row.content = PartContent {sqlite3_column_int64(s, 2), digest};
    row.mime = columnText(s, 4);
    row.transferName = columnText(s, 5);
    return row;
}

QString IOS6MessageDb::columnText(sqlite3_stmt* s, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(s, column)) : QString();
}

void IOS6MessageDb::stepRows(sqlite3_stmt* s, const std::function<void()>& row)
{
    for (;;) {
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW) {
            const std::string msg = sqlite3_errmsg(handle());
            sqlite3_reset(s);
            throw Sqlite3Exception(rc, msg);
        }
        row();
    }
    sqlite3_reset(s);
}

void IOS6MessageDb::updateChatLast(qint64 chatId, int date)
{
    open();
    if (!m_layout.chatLast)
        return;
    Sqlite3Sql sql(QStringLiteral("update chat set _last=? where rowid=? and _last < ?"));
    sql.addInt64Param(date);
    sql.addInt64Param(chatId);
    sql.addInt64Param(date);
    executeThrow(sql);
}

qint64 IOS6MessageDb::insertHandle(const _MsgHandle& h)
{
    open();
    Sqlite3Row row;
    row[QStringLiteral("id")] = h.id;
    row[QStringLiteral("service")] = h.service;
    if (!h.country.isEmpty())
        row[QStringLiteral("country")] = h.country;
    if (!h.uncanonicalized_id.isEmpty())
        row[QStringLiteral("uncanonicalized_id")] = h.uncanonicalized_id;
    if (m_layout.handleCtName)
        row[QStringLiteral("_ct_name")] = h._ct_name;
    if (m_layout.handlePhoto)
        row[QStringLiteral("_photo")] = h._photo;
    return insertRow(row, QStringLiteral("handle"));
}

qint64 IOS6MessageDb::insertMessage(const _MsgMessage& m, qint64 senderHandleId, qint64 otherHandleId)
{
    open();
    return insertMessage(m, senderHandleId, otherHandleId, m_layout.messageLogicHash ? makeLogicHash(&m) : QString());
}

qint64 IOS6MessageDb::insertMessage(const _MsgMessage& m, qint64 senderHandleId, qint64 otherHandleId,
                                    const QString& logicHash)
{
    open();
    // The column set depends on the table and on which optional values the
    // message has; the statement text is built once per combination.
    quint32 mask = m_layout.messageColumns;
    auto flag = [&](int bit, bool on) {
        if (on)
            mask |= (1u << bit);
    };
    flag(0, !m.service_center.isEmpty());
    flag(1, !m.subject.isEmpty());
    flag(2, !m.country.isEmpty());
    flag(3, !m.attributedBody.isEmpty());
    flag(kOtherHandleBit, m_layout.messageOtherHandle && otherHandleId >= 1);
    flag(kGroupTitleBit, m_layout.messageGroupTitle && !m.group_title.isEmpty());
    flag(kLogicHashBit, m_layout.messageLogicHash);

    auto it = m_insertSql.constFind(mask);
    if (it == m_insertSql.constEnd()) {
        QStringList cols = {QStringLiteral("guid"), QStringLiteral("text"), QStringLiteral("replace")};
        if (mask & (1u << 0))
            cols << QStringLiteral("service_center");
        cols << QStringLiteral("handle_id");
        if (mask & (1u << 1))
            cols << QStringLiteral("subject");
        if (mask & (1u << 2))
            cols << QStringLiteral("country");
        if (mask & (1u << 3))
            cols << QStringLiteral("attributedBody");
        cols << QStringList {QStringLiteral("version"),
                             QStringLiteral("type"),
                             QStringLiteral("service"),
                             QStringLiteral("account"),
                             QStringLiteral("account_guid"),
                             QStringLiteral("error"),
                             QStringLiteral("date"),
                             QStringLiteral("date_read"),
                             QStringLiteral("date_delivered"),
                             QStringLiteral("is_delivered"),
                             QStringLiteral("is_finished"),
                             QStringLiteral("is_emote"),
                             QStringLiteral("is_from_me"),
                             QStringLiteral("is_empty"),
                             QStringLiteral("is_delayed"),
                             QStringLiteral("is_auto_reply"),
                             QStringLiteral("is_prepared"),
                             QStringLiteral("is_read"),
                             QStringLiteral("is_system_message"),
                             QStringLiteral("is_sent"),
                             QStringLiteral("has_dd_results"),
                             QStringLiteral("is_service_message"),
                             QStringLiteral("is_forward"),
                             QStringLiteral("was_downgraded"),
                             QStringLiteral("is_archive"),
                             QStringLiteral("cache_has_attachments"),
                             QStringLiteral("cache_roomnames"),
                             QStringLiteral("was_data_detected"),
                             QStringLiteral("was_deduplicated")};
        int b = kFirstOptionalMessageBit;
        for (const char* col : kOptionalMessageInts) {
            if (mask & (1u << b))
                cols << QLatin1String(col);
            ++b;
        }
        if (mask & (1u << b))
            cols << QStringLiteral("other_handle");
        if (mask & (1u << (b + 1)))
            cols << QStringLiteral("group_title");
        if (mask & (1u << (b + 2)))
            cols << QStringLiteral("logic_hash");
        QStringList marks;
        for (qsizetype i = 0; i < cols.size(); ++i)
            marks << QStringLiteral("?");
        it = m_insertSql.insert(mask,
                                QStringLiteral("INSERT INTO message (%1) VALUES (%2)")
                                    .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    }

    Sqlite3Sql sql(it.value());
    sql.addTextParam(m.guid);
    sql.addTextParam(m.text);
    sql.addIntParam(m.replace);
    if (mask & (1u << 0))
        sql.addTextParam(m.service_center);
    sql.addInt64Param(senderHandleId);
    if (mask & (1u << 1))
        sql.addTextParam(m.subject);
    if (mask & (1u << 2))
        sql.addTextParam(m.country);
    if (mask & (1u << 3))
        sql.addBlobParam(m.attributedBody);
    sql.addIntParam(m.version);
    sql.addIntParam(m.type);
    sql.addTextParam(m.service);
    sql.addTextParam(m.account);
    sql.addTextParam(m.account_guid);
    sql.addIntParam(m.error);
    sql.addIntParam(m.date);
    sql.addIntParam(m.date_read);
    sql.addIntParam(m.date_delivered);
    for (int v : {m.is_delivered, m.is_finished, m.is_emote, m.is_from_me, m.is_empty, m.is_delayed, m.is_auto_reply,
                  m.is_prepared, m.is_read, m.is_system_message, m.is_sent, m.has_dd_results, m.is_service_message,
                  m.is_forward, m.was_downgraded, m.is_archive, m.cache_has_attachments})
        sql.addIntParam(v);
    sql.addTextParam(m.cache_roomnames);
    sql.addIntParam(m.was_data_detected);
    sql.addIntParam(m.was_deduplicated);
    const int optional[]
        = {m.is_audio_message, m.is_played,       m.date_played,  m.item_type,    m.group_action_type,
           m.share_status,     m.share_direction, m.is_expirable, m.expire_state, m.message_action_type};
    int b = kFirstOptionalMessageBit;
    for (int v : optional) {
        if (mask & (1u << b))
            sql.addIntParam(v);
        ++b;
    }
    if (mask & (1u << b))
        sql.addInt64Param(otherHandleId);
    if (mask & (1u << (b + 1)))
        sql.addTextParam(m.group_title);
    if (mask & (1u << (b + 2)))
        sql.addTextParam(logicHash);
    executeThrow(sql);
    return lastInsertId();
}

qint64 IOS6MessageDb::insertAttachment(const _MsgAttachment& a)
{
    open();
    Sqlite3Row row;
    row[QStringLiteral("guid")] = a.guid;
    row[QStringLiteral("created_date")] = a.created_date;
    row[QStringLiteral("start_date")] = a.start_date;
    row[QStringLiteral("filename")] = a.filename;
    row[QStringLiteral("uti")] = a.uti;
    row[QStringLiteral("mime_type")] = a.mime_type;
    row[QStringLiteral("transfer_state")] = a.transfer_state;
    row[QStringLiteral("is_outgoing")] = a.is_outgoing;
    if (m_layout.attachmentUserInfo && !a.user_info.isEmpty())
        row[QStringLiteral("user_info")] = a.user_info;
    if (m_layout.attachmentTransferName && !a.transfer_name.isEmpty())
        row[QStringLiteral("transfer_name")] = a.transfer_name;
    if (m_layout.attachmentTotalBytes)
        row[QStringLiteral("total_bytes")] = a.total_bytes;
    if (m_layout.attachmentContentHash && !a.content_hash.isEmpty())
        row[QStringLiteral("content_hash")] = a.content_hash;
    return insertRow(row, QStringLiteral("attachment"));
}

bool IOS6MessageDb::hasContentHashColumn()
{
    open();
    return m_layout.attachmentContentHash && m_layout.attachmentTotalBytes;
}

void IOS6MessageDb::replaceAttachmentFile(qint64 attachmentId, const QString& filename, const PartContent& content)
{
    open();
    Sqlite3Sql sql(hasContentHashColumn()
                       ? QStringLiteral("update attachment set filename=?, content_hash=?, total_bytes=? where rowid=?")
                       : QStringLiteral("update attachment set filename=? where rowid=?"));
    sql.addTextParam(filename);
    if (hasContentHashColumn()) {
        sql.addTextParam(content.digest);
        sql.addInt64Param(content.size);
    }
    sql.addInt64Param(attachmentId);
    executeThrow(sql);
}

void IOS6MessageDb::recordFileContent(const QString& filename, const PartContent& content)
{
    open();
    if (!hasContentHashColumn() || !content.isKnown())
        return;
    Sqlite3Sql sql(QStringLiteral("update attachment set content_hash=?, total_bytes=? where filename=? and "
                                  "(content_hash is null or content_hash<>?)"));
    sql.addTextParam(content.digest);
    sql.addInt64Param(content.size);
    sql.addTextParam(filename);
    sql.addTextParam(content.digest);
    executeThrow(sql);
}

bool IOS6MessageDb::hasIdentityTable()
{
    // Asked once per stored message compared: a kept statement. (A unit
    // that made the table and was rolled back took it away again.)
    sqlite3_stmt* s = lookupStatement("select count(*) from sqlite_master where type='table' and name='part_identity'");
    return lookupInt64(s) > 0;
}

PartIdentity IOS6MessageDb::identityOf(const PartContent& content)
{
    PartIdentity identity;
    if (!content.isKnown() || !hasIdentityTable())
        return identity;
    sqlite3_stmt* s
        = lookupStatement("select sent_bytes, sent_hash, origin_bytes, origin_hash from part_identity where hash=?");
    const QByteArray digest = content.digest.toLatin1();
    sqlite3_bind_text(s, 1, digest.constData(), int(digest.size()), SQLITE_TRANSIENT);
    stepRows(s, [&] {
        if (const QString sent = columnText(s, 1); !sent.isEmpty())
            identity.sent = PartContent {sqlite3_column_int64(s, 0), sent};
        if (const QString origin = columnText(s, 3); !origin.isEmpty())
            identity.origin = PartContent {sqlite3_column_int64(s, 2), origin};
    });
    return identity;
}

void IOS6MessageDb::recordIdentity(const PartContent& content, const PartIdentity& identity, Recorded recorded)
{
    PartIdentity known = identity;
    // A part is no copy of itself.
    if (known.origin == content)
        known.origin = PartContent();
    if (!content.isKnown() || known.isEmpty() || !hasContentHashColumn())
        return;
    executeThrow(QStringLiteral("CREATE TABLE IF NOT EXISTS %1(hash TEXT PRIMARY KEY, sent_bytes INTEGER, sent_hash "
                                "TEXT, origin_bytes INTEGER, origin_hash TEXT)")
                     .arg(QLatin1String(kIdentityTable)));
    // What is noted stays: the first word on a part's bytes is as good as
    // any later one, but for what this computer's encoder makes of them.
    const bool replaceSent = recorded == Recorded::ReplaceSent && known.sent.isKnown();
    Sqlite3Sql sql(
        QStringLiteral(
            "insert into part_identity(hash, sent_bytes, sent_hash, origin_bytes, origin_hash) values(?,?,?,?,?) "
            "on conflict(hash) do update set "
            "sent_bytes=iif(sent_hash is null or %1, excluded.sent_bytes, sent_bytes), "
            "sent_hash=iif(sent_hash is null or %1, excluded.sent_hash, sent_hash), "
            "origin_bytes=iif(origin_hash is null, excluded.origin_bytes, origin_bytes), "
            "origin_hash=coalesce(origin_hash, excluded.origin_hash)")
            .arg(replaceSent ? 1 : 0));
    sql.addTextParam(content.digest);
    const auto add = [&sql](const PartContent& part) {
        if (part.isKnown()) {
            sql.addInt64Param(part.size);
            sql.addTextParam(part.digest);
        } else {
            sql.addNullParam();
            sql.addNullParam();
        }
    };
    add(known.sent);
    add(known.origin);
    executeThrow(sql);
}

void IOS6MessageDb::recordContent(qint64 attachmentId, const PartContent& content)
{
    if (!hasContentHashColumn() || !content.isKnown())
        return;
    sqlite3_stmt* s = lookupStatement("update attachment set content_hash=?, total_bytes=? where rowid=?");
    const QByteArray digest = content.digest.toLatin1();
    sqlite3_bind_text(s, 1, digest.constData(), int(digest.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 2, content.size);
    sqlite3_bind_int64(s, 3, attachmentId);
    lookupInt64(s);
}

qint64 IOS6MessageDb::insertChat(const _MsgChat& chat)
{
    if (chat.service_name != QLatin1String("SMS") && chat.service_name != QLatin1String("iMessage"))
        throw runtimeError(
            QStringLiteral("IOS6MessageDb::insertChat, invalid chat, service_name:%1").arg(chat.service_name));
    open();
    Sqlite3Row row;
    row[QStringLiteral("guid")] = chat.guid;
    row[QStringLiteral("style")] = chat.style;
    row[QStringLiteral("state")] = chat.state;
    if (!chat.account_id.isEmpty())
        row[QStringLiteral("account_id")] = chat.account_id;
    row[QStringLiteral("chat_identifier")] = chat.chat_identifier;
    row[QStringLiteral("service_name")] = chat.service_name;
    if (!chat.room_name.isEmpty())
        row[QStringLiteral("room_name")] = chat.room_name;
    row[QStringLiteral("account_login")] = chat.account_login;
    row[QStringLiteral("is_archived")] = chat.is_archived;
    if (m_layout.chatDisplayName && !chat.display_name.isEmpty())
        row[QStringLiteral("display_name")] = chat.display_name;
    if (m_layout.chatGroupId)
        row[QStringLiteral("group_id")]
            = chat.group_id.isEmpty() ? makeGuidFromData(chat.guid.toUtf8()) : chat.group_id;
    const qint64 chatId = insertRow(row, QStringLiteral("chat"));

    for (const _MsgHandle* h : chat.handles) {
        if (!h)
            continue;
        qint64 handleId = findHandle(*h);
        if (handleId == 0)
            handleId = insertHandle(*h);
        joinChatHandle(chatId, handleId);
    }
    return chatId;
}
