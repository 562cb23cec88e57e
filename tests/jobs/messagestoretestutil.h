// Looks into a message store for the message job tests: row counts, the
// store's own consistency, and its records loaded as the pages load them.
#pragma once

#include "messagestore/ios6messagedb.h"

#include <QDir>
#include <QString>

namespace storecheck {

inline qint64 count(IOS6MessageDb& db, const QString& sql)
{
    db.open();
    Sqlite3Cursor c = db.queryThrow(sql);
    return c.moveNext() ? c.getInt64(0) : -1;
}

inline qint64 messages(const QString& folder)
{
    IOS6MessageDb db(QDir(folder), QString(), false);
    return count(db, QStringLiteral("select count(*) from message"));
}

// Empty when the store passes SQLite's check and no join row points at a
// row that is gone; otherwise what is wrong.
inline QString problems(const QString& folder)
{
    IOS6MessageDb db(QDir(folder), QString(), false);
    db.open();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("PRAGMA integrity_check"));
    const QString integrity = c.moveNext() ? c.getText(0) : QStringLiteral("no answer");
    if (integrity != QLatin1String("ok"))
        return integrity;
    const QStringList orphans {
        QStringLiteral("select count(*) from chat_message_join where message_id not in (select rowid from message) "
                       "or chat_id not in (select rowid from chat)"),
        QStringLiteral("select count(*) from message_attachment_join where message_id not in (select rowid from "
                       "message) or attachment_id not in (select rowid from attachment)"),
        QStringLiteral("select count(*) from chat_handle_join where chat_id not in (select rowid from chat) or "
                       "handle_id not in (select rowid from handle)"),
        QStringLiteral("select count(*) from chat where rowid not in (select chat_id from chat_message_join)")};
    for (const QString& sql : orphans) {
        if (const qint64 n = count(db, sql); n != 0)
            return QStringLiteral("%1 rows: %2").arg(n).arg(sql);
    }
    return QString();
}

// Every record of the store, as the messages page loads them.
inline MsgDataSetPtr load(const QString& folder, const QString& mcc = QString())
{
    MsgDataSetPtr ds = newMsgDataSet();
    IOS6MessageDb db(QDir(folder), mcc, false);
    db.loadChats(*ds);
    db.loadMessages(*ds, 0);
    return ds;
}

} // namespace storecheck
