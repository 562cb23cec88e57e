#include "absdb.h"

#include <QDebug>
#include <QFile>

#include <sqlite3.h>

void runSchemaScript(Sqlite3DB& db, const QString& resourcePath)
{
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.errorString().toUtf8().toStdString());
    db.executeScriptThrow(file.readAll());
}

// ---------------------------------------------------------------- AbsLocalDb

AbsLocalDb::AbsLocalDb(const QString& p)
    : path(p)
{
}

AbsLocalDb::~AbsLocalDb() = default;

void AbsLocalDb::openOrCreate(const QString& schemaResource)
{
    if (QFile::exists(path)) {
        db.openThrow(path, Sqlite3DB::ReadWrite);
        return;
    }
    db.openThrow(path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    try {
        runSchemaScript(db, schemaResource);
    } catch (...) {
        // A file without its full schema would pass for a made database on
        // the next open: remove what this call created.
        db.close();
        QFile::remove(path);
        throw;
    }
}

void AbsLocalDb::openReadOnly()
{
    db.openThrow(path, Sqlite3DB::ReadOnly);
}

void AbsLocalDb::beginTran()
{
    if (!isOpen())
        open();
    db.beginTran();
}

void AbsLocalDb::endTran(bool commit)
{
    if (!isOpen())
        open();
    if (commit)
        db.commitTran();
    else
        db.rollbackTran();
}

void AbsLocalDb::close()
{
    db.close();
}

void AbsLocalDb::closeAndRemoveFile()
{
    db.close();
    QFile file(path);
    if (file.exists() && !file.remove())
        throw std::runtime_error(file.errorString().toUtf8().toStdString());
}

qint64 AbsLocalDb::countOf(const QString& sql)
{
    try {
        if (!isOpen())
            open();
        return db.queryInt64Throw(Sqlite3Sql(sql));
    } catch (const std::exception& e) {
        qDebug() << "count failed on" << path << e.what();
        return 0;
    }
}

// --------------------------------------------------------------------- AbsDb

AbsDb::AbsDb() = default;

AbsDb::~AbsDb() = default;

void AbsDb::beginTran()
{
    open();
    Sqlite3DB::beginTran();
    inTransaction = true;
}

bool AbsDb::endTran(bool commit)
{
    if (!inTransaction)
        return false;
    open();
    bool committed = false;
    if (commit)
        committed = Sqlite3DB::commitTran();
    else
        Sqlite3DB::rollbackTran();
    inTransaction = tranDepth() > 0;
    return committed;
}

qint64 AbsDb::insertRow(const Sqlite3Row& row, const QString& table, const QSet<QString>& columns)
{
    open();
    executeThrow(row.insertSql(table, columns));
    return lastInsertId();
}
