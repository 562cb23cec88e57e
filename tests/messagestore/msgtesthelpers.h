// Record builders and data files shared by the message store tests.
#pragma once

#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"
#include "messagestore/msgrecords.h"

#include "testsupport.h"

#include <QtCore>

#include <memory>
#include <vector>

// A file of tests/messagestore/data; a missing or broken one ends the test.
inline QByteArray dataFile(const char* name)
{
    const QByteArray bytes = testsupport::readFile(testsupport::sourceDir()
                                                   + QStringLiteral("/tests/messagestore/data/") + QLatin1String(name));
    if (bytes.isEmpty())
        qFatal("missing test data %s", name);
    return bytes;
}

inline QJsonDocument dataJson(const char* name)
{
    const QJsonDocument doc = QJsonDocument::fromJson(dataFile(name));
    if (doc.isNull())
        qFatal("broken test data %s", name);
    return doc;
}

inline QString writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

// Owns the records a test builds and links them like a producer would.
struct MsgBuilder {
    std::vector<std::shared_ptr<void>> owned;
    std::vector<_MsgMessage*> messages;
    int handleCount = 0;

    template <typename T> T* make() { return static_cast<T*>(owned.emplace_back(std::make_shared<T>()).get()); }

    _MsgHandle* handle(const QString& id, qint64 rowid)
    {
        auto* h = make<_MsgHandle>();
        h->id = id;
        h->ROWID = rowid;
        ++handleCount;
        return h;
    }

    _MsgChat* chat(const QString& ident, const QList<_MsgHandle*>& members)
    {
        auto* c = make<_MsgChat>();
        c->guid = QStringLiteral("SMS;-;") + ident;
        c->chat_identifier = ident;
        for (auto* h : members)
            c->handles.insert(QString::number(h->ROWID), h);
        return c;
    }

    _MsgMessage* message(_MsgChat* chat, _MsgHandle* from, const QString& text, int date)
    {
        auto* m = messages.emplace_back(make<_MsgMessage>());
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
        auto* a = make<_MsgAttachment>();
        a->ROWID = rowid;
        a->guid = newMsgGuid();
        a->filename = filename;
        a->localPath = localPath;
        m->attachments.insert(QString::number(rowid), a);
        return a;
    }

    // One chat of one handle, for tests that need a message and no more.
    _MsgMessage* single(const QString& number, const QString& text, int date)
    {
        _MsgHandle* h = handle(number, handleCount + 1);
        return message(chat(number, {h}), h, text, date);
    }
};

// Chats and every message of a store, as the views load them.
inline MsgDataSetPtr loadAll(IOS6MessageDb& db)
{
    MsgDataSetPtr ds = newMsgDataSet();
    db.loadChats(*ds);
    db.loadMessages(*ds, 0);
    return ds;
}

inline qint64 count(Sqlite3DB& db, const QString& table, const QString& where = QString())
{
    return db.queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from %1 %2").arg(table, where)));
}
