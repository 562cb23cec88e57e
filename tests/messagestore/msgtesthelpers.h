// Record builders shared by the message store tests.
#pragma once

#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"
#include "messagestore/msgrecords.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

// Owns the records a test builds and links them like a producer would.
struct MsgBuilder {
    std::vector<std::unique_ptr<_MsgChat>> chats;
    std::vector<std::unique_ptr<_MsgHandle>> handles;
    std::vector<std::unique_ptr<_MsgMessage>> messages;
    std::vector<std::unique_ptr<_MsgAttachment>> attachments;

    _MsgHandle* handle(const QString& id, qint64 rowid)
    {
        handles.push_back(std::make_unique<_MsgHandle>());
        auto* h = handles.back().get();
        h->id = id;
        h->ROWID = rowid;
        return h;
    }

    _MsgChat* chat(const QString& ident, const QList<_MsgHandle*>& members)
    {
        chats.push_back(std::make_unique<_MsgChat>());
        auto* c = chats.back().get();
        c->guid = QStringLiteral("SMS;-;") + ident;
        c->chat_identifier = ident;
        for (auto* h : members)
            c->handles.insert(QString::number(h->ROWID), h);
        return c;
    }

    _MsgMessage* message(_MsgChat* chat, _MsgHandle* from, const QString& text, int date)
    {
        messages.push_back(std::make_unique<_MsgMessage>());
        auto* m = messages.back().get();
        m->chat = chat;
        m->handle = from;
        m->text = text;
        m->date = date;
        m->service = QStringLiteral("SMS");
        m->guid = newMsgGuid();
        return m;
    }

    _MsgAttachment* attach(_MsgMessage* m, qint64 rowid, const QString& filename, const QString& localPath)
    {
        attachments.push_back(std::make_unique<_MsgAttachment>());
        auto* a = attachments.back().get();
        a->ROWID = rowid;
        a->guid = newMsgGuid();
        a->filename = filename;
        a->localPath = localPath;
        a->mime_type = QStringLiteral("image/jpeg");
        m->attachments.insert(QString::number(rowid), a);
        return a;
    }
};

inline void writeAll(const QDir& dir, const MsgBuilder& b)
{
    ExportMessagesDb w(dir, QString());
    w.begin();
    for (const auto& m : b.messages)
        w.write(*m);
    w.end();
}

// Chats and every message of a store, as the views load them.
inline MsgDataSetPtr loadAll(IOS6MessageDb& db)
{
    MsgDataSetPtr ds = newMsgDataSet();
    db.loadChats(*ds);
    db.loadMessages(*ds, 0);
    return ds;
}

inline qint64 count(Sqlite3DB& db, const QString& table)
{
    return db.queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from %1").arg(table)));
}

// A store as an iOS 6 phone makes it: without the columns and indexes of
// our own and without item_type and the later columns.
inline void makePlainStore(const QString& dbPath)
{
    QDir().mkpath(QFileInfo(dbPath).absolutePath());
    Sqlite3DB db;
    db.openThrow(dbPath, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    db.executeScriptThrow(
        "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, text TEXT, "
        "replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, subject TEXT, country TEXT, "
        "attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER DEFAULT 0, service TEXT, account TEXT, "
        "account_guid TEXT, error INTEGER DEFAULT 0, date INTEGER, date_read INTEGER, date_delivered INTEGER, "
        "is_delivered INTEGER DEFAULT 0, is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, is_from_me "
        "INTEGER DEFAULT 0, is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, is_auto_reply INTEGER "
        "DEFAULT 0, is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, is_system_message INTEGER DEFAULT 0, "
        "is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0, is_service_message INTEGER DEFAULT 0, "
        "is_forward INTEGER DEFAULT 0, was_downgraded INTEGER DEFAULT 0, is_archive INTEGER DEFAULT 0, "
        "cache_has_attachments INTEGER DEFAULT 0, cache_roomnames TEXT, was_data_detected INTEGER DEFAULT 0, "
        "was_deduplicated INTEGER DEFAULT 0);"
        "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, country TEXT, "
        "service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service));"
        "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style INTEGER, "
        "state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT, room_name TEXT, "
        "account_login TEXT, is_archived INTEGER DEFAULT 0, last_addressed_handle TEXT, display_name TEXT);"
        "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, created_date "
        "INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename TEXT, uti TEXT, mime_type TEXT, transfer_state "
        "INTEGER DEFAULT 0, is_outgoing INTEGER DEFAULT 0);"
        "CREATE TABLE chat_handle_join (chat_id INTEGER, handle_id INTEGER, UNIQUE(chat_id, handle_id));"
        "CREATE TABLE chat_message_join (chat_id INTEGER, message_id INTEGER, PRIMARY KEY (chat_id, message_id));"
        "CREATE TABLE message_attachment_join (message_id INTEGER, attachment_id INTEGER, UNIQUE(message_id, "
        "attachment_id));"
        // A phone's trigger calling a function that only the phone has.
        "CREATE TRIGGER phone_delete AFTER DELETE ON attachment BEGIN SELECT delete_attachment_path(old.filename); "
        "END;");
}

