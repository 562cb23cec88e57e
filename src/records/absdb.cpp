#include "absdb.h"

#include <stdexcept>
#include <utility>

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

// Changes with every change of the file's layout (tables, columns, indexes).
qint64 schemaVersion(Sqlite3DB& db)
{
    return db.queryInt64Throw(Sqlite3Sql("PRAGMA schema_version"));
}

} // namespace

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
    } else {
        db.openThrow(path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        try {
            runSchemaScript(db, schemaResource);
        } catch (...) {
            // A file without its full schema would pass for a made database
            // on the next open: remove what this call created.
            db.close();
            QFile::remove(path);
            throw;
        }
    }
    // A new file keeps its tables whatever the unit does: there was nothing
    // in it to lose.
    if (std::exchange(beginOnOpen, false)) {
        db.beginTran();
        schemaAtBegin = schemaVersion(db);
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
    try {
        open();
    } catch (...) {
        // A connection whose open failed half-way would pass for a ready one.
        close();
        throw;
    }
}

void AbsLocalDb::beginTran()
{
    if (isOpen() && !readOnly) {
        if (db.tranDepth() == 0)
            schemaChangedInUnit = false;
        db.beginTran();
        return;
    }
    close();
    beginOnOpen = true;
    try {
        open();
        if (std::exchange(beginOnOpen, false)) {
            // An open() that does not go through openOrCreate.
            db.beginTran();
            schemaChangedInUnit = false;
        } else {
            schemaChangedInUnit = schemaVersion(db) != schemaAtBegin;
        }
    } catch (...) {
        beginOnOpen = false;
        close(); // rolls back what the open did in the unit
        throw;
    }
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
    const bool outermost = db.tranDepth() == 1;
    // A unit whose open changed the layout and that saved nothing leaves the
    // connection knowing a layout the file no longer has.
    const auto ended = [this, outermost](bool committed) {
        if (outermost && std::exchange(schemaChangedInUnit, false) && !committed)
            close();
    };
    bool committed = false;
    try {
        if (commit)
            committed = db.commitTran();
        else
            db.rollbackTran();
    } catch (...) {
        ended(false);
        throw;
    }
    ended(committed);
    if (commit && !committed && outermost)
        throwNotCommitted(path);
}

void AbsLocalDb::close()
{
    db.close();
    readOnly = false;
    schemaChangedInUnit = false;
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
    if (isOpen()) {
        if (tranDepth() == 0)
            schemaChangedInUnit = false;
        Sqlite3DB::beginTran();
        inTransaction = true;
        return;
    }
    beginOnOpen = true;
    try {
        open();
        if (std::exchange(beginOnOpen, false)) {
            // An open() that updates no layout.
            Sqlite3DB::beginTran();
            schemaChangedInUnit = false;
        } else {
            schemaChangedInUnit = schemaVersion(*this) != schemaAtBegin;
        }
    } catch (...) {
        beginOnOpen = false;
        // An open that failed after beginning the unit and left the
        // connection open: nothing of it stays.
        if (isOpen() && tranDepth() > 0)
            Sqlite3DB::rollbackTran();
        throw;
    }
    inTransaction = true;
}

void AbsDb::beginUnitBeforeSchemaUpdate()
{
    if (!std::exchange(beginOnOpen, false))
        return;
    Sqlite3DB::beginTran();
    schemaAtBegin = schemaVersion(*this);
}

void AbsDb::closeAfterUndoneSchemaChange()
{
    close();
}

bool AbsDb::endTran(bool commit)
{
    if (!inTransaction)
        return false;
    open();
    const bool outermost = tranDepth() == 1;
    const auto ended = [this, outermost](bool committed) {
        inTransaction = tranDepth() > 0;
        if (outermost && std::exchange(schemaChangedInUnit, false) && !committed)
            closeAfterUndoneSchemaChange();
    };
    bool committed = false;
    try {
        if (commit)
            committed = Sqlite3DB::commitTran();
        else
            Sqlite3DB::rollbackTran();
    } catch (...) {
        ended(false);
        throw;
    }
    ended(committed);
    if (commit && !committed && outermost)
        throwNotCommitted(path());
    return committed;
}

qint64 AbsDb::insertRow(const Sqlite3Row& row, const QString& table, const QSet<QString>& columns)
{
    open();
    executeThrow(row.insertSql(table, columns));
    return lastInsertId();
}
