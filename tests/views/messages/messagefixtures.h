// Messages for the messages page tests: conversations read from JSON files
// of the data folder into records (MessageSet), and stores written from
// them the way the store writer writes every message.
#pragma once

#include "message_testdata.h"
#include "messagestore/exportmessagesdb.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace messagefixtures {

// Seconds since 2001 of 2023-11-14 22:13:20 UTC, a date the tests count from.
constexpr int kBase = 721692800;

// Adds the handles, chats and messages of data/<name> to set. Dates are
// seconds after kBase; "from" names a handle (none: sent without one). An
// attachment's file is written into files with the given "content" or as
// a picture of the colour "picture", and is missing without either; "name"
// replaces the name the phone recorded.
inline void load(MessageSet& set, const QString& name, const QString& files)
{
    const QJsonObject root
        = QJsonDocument::fromJson(
              testsupport::readFile(testsupport::sourceDir() + QStringLiteral("/tests/views/messages/data/") + name))
              .object();
    QHash<QString, _MsgHandle*> handles;
    QHash<QString, _MsgChat*> chats;
    for (const QJsonValue h : root.value(QStringLiteral("handles")).toArray())
        handles.insert(h[u"id"].toString(), set.handle(h[u"id"].toString(), h[u"name"].toString()));
    for (const QJsonValue c : root.value(QStringLiteral("chats")).toArray()) {
        QList<_MsgHandle*> members;
        for (const QJsonValue id : c[u"members"].toArray())
            members << handles.value(id.toString());
        chats.insert(c[u"id"].toString(), set.chat(c[u"id"].toString(), members, kBase + c[u"last"].toInt()));
        chats.value(c[u"id"].toString())->display_name = c[u"title"].toString();
    }
    for (const QJsonValue v : root.value(QStringLiteral("messages")).toArray()) {
        _MsgMessage* m = set.message(chats.value(v[u"chat"].toString()), handles.value(v[u"from"].toString()),
                                     v[u"me"].toBool(), v[u"text"].toString(), kBase + v[u"date"].toInt());
        std::tie(m->subject, m->item_type) = std::tuple(v[u"subject"].toString(), v[u"type"].toInt());
        for (const QJsonValue a : v[u"attachments"].toArray()) {
            const QString path = files + QLatin1Char('/') + a[u"file"].toString();
            if (a[u"picture"].isString())
                writePicture(path, QColor(a[u"picture"].toString()));
            else if (a[u"content"].isString())
                writeFile(path, a[u"content"].toString().toUtf8());
            _MsgAttachment* att = set.attach(m, a[u"mime"].toString(), path);
            att->filename = a[u"name"].toString(att->filename);
        }
    }
}

// Writes every message of the set into the store of folder (made when
// missing); a failure throws.
inline void writeStore(const QString& folder, const MessageSet& set)
{
    ExportMessagesDb db {QDir(folder), QString()};
    db.begin();
    for (const auto& m : set.messages)
        db.write(*m);
    db.end();
}

// The store of folder holds the three conversations of data/chats.json.
inline void writeChats(const QString& folder)
{
    MessageSet set;
    load(set, QStringLiteral("chats.json"), testsupport::makeTempDir(QStringLiteral("files")));
    writeStore(folder, set);
}

} // namespace messagefixtures
