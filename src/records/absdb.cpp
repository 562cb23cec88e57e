#include "absdb.h"

#include <stdexcept>

#include <QDebug>
#include <QFile>
#include <QFileInfo>

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
    readOnly = false;
    if (inMemory) {
        db.openThrow(QStringLiteral(":memory:"), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        runSchemaScript(db, schemaResource);
        return;
    }
    const QFileInfo info(path);
    if (info.exists() && info.size() > 0) {
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
    db.openReadOnlyThrow(path);
    readOnly = true;
}

void AbsLocalDb::openForReading()
{
    if (isOpen())
        return;
    const QFileInfo info(path);
    if (info.exists() && !(info.isFile() && info.size() == 0)) {
        openReadOnly();
        return;
    }
    inMemory = true;
    try {
        open();
    } catch (...) {
        inMemory = false;
        close();
        throw;
    }
    inMemory = false;
    readOnly = true; // the next write opens the file itself
}

void AbsLocalDb::openForWriting()
{
    if (isOpen() && !readOnly)
        return;
    close();
    open();
}

void AbsLocalDb::beginTran()
{
    openForWriting();
    db.beginTran();
}

namespace {
// The outermost commit of a unit of work that was rolled back (a failed
// level, or SQLite ending it on its own) saves nothing: say so instead of
// letting the caller report success.
void throwNotCommitted(const QString& path)
{
    throw std::runtime_error(
        QStringLiteral("Nothing was saved to %1: a part of the change failed and all of it was undone.")
            .arg(path)
            .toStdString());
}
} // namespace

void AbsLocalDb::endTran(bool commit)
{
    if (!isOpen())
        open();
    if (!commit) {
        db.rollbackTran();
        return;
    }
    const bool outermost = db.tranDepth() == 1;
    if (!db.commitTran() && outermost)
        throwNotCommitted(path);
}

void AbsLocalDb::close()
{
    db.close();
    readOnly = false;
}

void AbsLocalDb::closeAndRemoveFile()
{
    close();
    QFile file(path);
    if (file.exists() && !file.remove())
        throw std::runtime_error(file.errorString().toUtf8().toStdString());
}

qint64 AbsLocalDb::countOf(const QString& sql)
{
    try {
        openForReading();
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
    if (!commit) {
        Sqlite3DB::rollbackTran();
        inTransaction = tranDepth() > 0;
        return false;
    }
    const bool outermost = tranDepth() == 1;
    const bool committed = Sqlite3DB::commitTran();
    inTransaction = tranDepth() > 0;
    if (!committed && outermost)
        throwNotCommitted(path());
    return committed;
}

qint64 AbsDb::insertRow(const Sqlite3Row& row, const QString& table, const QSet<QString>& columns)
{
    open();
    executeThrow(row.insertSql(table, columns));
    return lastInsertId();
}
