#include "localcallhistorydb.h"

#include "platform/transaction.h"
#include "recordtime.h"

#include <QFile>

namespace {

// Columns that the "call" table grew after its first seven, with the
// statement that adds each to an older file, in table order.
struct AddedColumn {
    const char* name;
    const char* statement;
};

constexpr AddedColumn kAddedColumns[] = {
    {"name", "ALTER TABLE call ADD COLUMN name TEXT;"},
    {"country_code", "ALTER TABLE call ADD COLUMN country_code TEXT;"},
    {"network_code", "ALTER TABLE call ADD COLUMN network_code TEXT;"},
    {"read", "ALTER TABLE call ADD COLUMN read INTEGER;"},
    {"assisted", "ALTER TABLE call ADD COLUMN assisted INTEGER;"},
    {"face_time_data", "ALTER TABLE call ADD COLUMN face_time_data BLOB;"},
    {"originalAddress", "ALTER TABLE call ADD COLUMN originalAddress TEXT;"},
    {"answered", "ALTER TABLE call ADD COLUMN answered INTEGER DEFAULT '1';"},
    {"call_type", "ALTER TABLE call ADD COLUMN call_type INTEGER DEFAULT 1;"},
    {"availability", "ALTER TABLE call ADD COLUMN availability INTEGER DEFAULT 0;"},
    {"device_id", "ALTER TABLE call ADD COLUMN device_id TEXT;"},
    {"cn", "ALTER TABLE call ADD COLUMN cn TEXT;"},
    {"unique_id", "ALTER TABLE call ADD COLUMN unique_id TEXT;"},
};

int readFlags(int stored)
{
    switch (stored) {
    case CALL_FLAG_INCOMING:
    case CALL_FLAG_OUTGOING:
    case CALL_FLAG_MISSED:
        return stored;
    default:
        return CALL_FLAG_NONE;
    }
}

} // namespace

LocalCallHistoryDb::LocalCallHistoryDb(const QString& path)
    : AbsLocalDb(path)
{
}

void LocalCallHistoryDb::open()
{
    if (isOpen())
        return;
    openOrCreate(QStringLiteral(":res/local_callhistory_db.sql"));
    columns = db.tbInfo(QStringLiteral("call"));
    // Every column or none; inside the caller's unit when beginTran opens
    // the file.
    Transaction<Sqlite3DB> tran(db);
    for (const AddedColumn& col : kAddedColumns) {
        if (!columns.contains(QString::fromLatin1(col.name)))
            db.executeThrow(QString::fromLatin1(col.statement));
    }
    tran.commit();
}

qint64 LocalCallHistoryDb::countCalls()
{
    return countOf(QStringLiteral("select count(*) from call"));
}

qint64 LocalCallHistoryDb::addCall(const CallRecord& call)
{
    openForWriting();
    const QString hash = QString::fromLatin1(call.hash());
    Sqlite3Sql find(QStringLiteral("select _id from call where hash=?"));
    find.addTextParam(hash);
    {
        Sqlite3Cursor c = db.queryThrow(find);
        if (c.moveNext())
            return c.getInt64(0);
    }
    Sqlite3Row row;
    row[QStringLiteral("address")] = call.address;
    row[QStringLiteral("date")] = qlonglong(records::secsSinceEpoch(call.date));
    row[QStringLiteral("duration")] = call.duration;
    row[QStringLiteral("flags")] = call.flags;
    row[QStringLiteral("person")] = call.person;
    row[QStringLiteral("hash")] = hash;
    row[QStringLiteral("name")] = call.name;
    row[QStringLiteral("country_code")] = call.countryCode;
    row[QStringLiteral("network_code")] = call.networkCode;
    row[QStringLiteral("read")] = call.read;
    row[QStringLiteral("assisted")] = call.assisted;
    // Bound as a blob even when empty (an empty byte array is not NULL).
    row[QStringLiteral("face_time_data")] = call.faceTimeData.isNull() ? QByteArray("") : call.faceTimeData;
    row[QStringLiteral("originalAddress")] = call.originalAddress;
    row[QStringLiteral("answered")] = call.answered;
    row[QStringLiteral("call_type")] = call.callType;
    row[QStringLiteral("availability")] = call.availability;
    row[QStringLiteral("device_id")] = call.deviceId;
    row[QStringLiteral("cn")] = call.cn;
    row[QStringLiteral("unique_id")] = call.uniqueId;
    db.executeThrow(row.insertSql(QStringLiteral("call")));
    return db.lastInsertId();
}

void LocalCallHistoryDb::deleteCall(qint64 id)
{
    openForWriting();
    db.executeThrow(QStringLiteral("delete from call where _id=%1").arg(id));
}

void LocalCallHistoryDb::removeDbFile()
{
    close();
    QFile file(path);
    if (!file.remove())
        throw std::runtime_error(file.errorString().toUtf8().toStdString());
}

QList<CallRecord> LocalCallHistoryDb::loadAll()
{
    openForReading();
    QList<CallRecord> result;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from call order by date desc"));
    // A file opened for reading keeps the columns it has: those added since
    // it was made read as the defaults the added columns get.
    const auto text = [&c](const QString& name) { return c.hasColumn(name) ? c.getText(name) : QString(); };
    const auto number = [&c](const QString& name, int absent) { return c.hasColumn(name) ? c.getInt(name) : absent; };
    while (c.moveNext()) {
        CallRecord r;
        r.id = c.getInt64(QStringLiteral("_id"));
        r.address = c.getText(QStringLiteral("address"));
        r.date = records::dateTimeFromSecs(c.getInt64(QStringLiteral("date")));
        r.duration = c.getInt(QStringLiteral("duration"));
        r.flags = readFlags(c.getInt(QStringLiteral("flags")));
        r.person = c.getText(QStringLiteral("person"));
        r.name = text(QStringLiteral("name"));
        r.countryCode = text(QStringLiteral("country_code"));
        r.networkCode = text(QStringLiteral("network_code"));
        r.read = number(QStringLiteral("read"), 0);
        r.assisted = number(QStringLiteral("assisted"), 0);
        if (c.hasColumn(QStringLiteral("face_time_data")))
            r.faceTimeData = c.getBlob(QStringLiteral("face_time_data"));
        r.originalAddress = text(QStringLiteral("originalAddress"));
        r.answered = number(QStringLiteral("answered"), 1);
        r.callType = number(QStringLiteral("call_type"), 1);
        r.availability = number(QStringLiteral("availability"), 0);
        r.deviceId = text(QStringLiteral("device_id"));
        r.cn = text(QStringLiteral("cn"));
        r.uniqueId = text(QStringLiteral("unique_id"));
        result.append(r);
    }
    return result;
}
