// Record builders shared by the message store tests.
#pragma once

#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"
#include "messagestore/msgrecords.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>
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
    QFile script(testsupport::sourceDir() + QStringLiteral("/tests/messagestore/data/plain_sms.sql"));
    if (!script.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(script.fileName()));
    db.executeScriptThrow(script.readAll());
}
