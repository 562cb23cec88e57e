// Bases of every SQLite file of the application.
#pragma once

#include "platform/sqlite_qt.h"

#include <QSet>
#include <QString>

// Runs a schema script from the resources on an open connection. Throws
// std::runtime_error with the file error text when the resource cannot be
// read, or with SQLite's message when the script fails.
void runSchemaScript(Sqlite3DB& db, const QString& resourcePath);

// Base of the record databases of a backup or device cache folder. Opens
// its file on first use, creating it from the schema script when missing.
class AbsLocalDb {
public:
    explicit AbsLocalDb(const QString& path);
    virtual ~AbsLocalDb();
    AbsLocalDb(const AbsLocalDb&) = delete;
    AbsLocalDb& operator=(const AbsLocalDb&) = delete;

    // Opens the file for writing, creating it when missing, and brings an
    // older layout up to date (see openOrCreate).
    virtual void open() = 0;
    // Opens the existing file for reading only: nothing is created, migrated
    // or indexed, and writes fail, so looking into a backup leaves its bytes
    // as they are. A journal that an interrupted write left is rolled back
    // first where the medium allows (see Sqlite3DB::openReadOnlyThrow).
    // Throws when the file cannot be opened.
    void openReadOnly();
    bool isReadOnly() const { return readOnly; }

    bool isOpen() const { return db.isOpen(); }
    QString filePath() const { return path; }
    // Nested; only the outermost level reaches SQLite. An outermost level
    // that has to open the file for writing begins before open() brings an
    // older layout up to date, so that the update is part of the unit: a
    // unit that does not commit leaves the file as it was.
    void beginTran();
    // commit false rolls the whole unit back (see Sqlite3DB). The outermost
    // commit of a unit that was rolled back meanwhile throws
    // std::runtime_error: nothing was saved. A unit whose open changed the
    // layout closes the connection when it ends without committing (what
    // the connection knew of the layout went with it); the next use opens
    // the file again.
    void endTran(bool commit);
    void close();
    // Closes and deletes the file; throws std::runtime_error when the file
    // exists and cannot be deleted.
    void closeAndRemoveFile();
    // Runs a count statement; 0 on any failure (used for display only).
    // Opens for reading, like every read.
    qint64 countOf(const QString& sql);

    Sqlite3DB& connection() { return db; }

protected:
    // The common open: open the file when it holds something, else create
    // the schema script resource's tables in it (a missing file, or one of
    // 0 bytes that a cut-short copy left: there is nothing in it to lose).
    // Opening for beginTran, it then begins the unit: what open() does
    // after this call belongs to it.
    void openOrCreate(const QString& schemaResource);
    // Before a read, when nothing is open: an existing file opens read-only
    // (nothing created, migrated or indexed); a missing or empty one reads
    // as an empty database held in memory, so reading makes no file.
    void openForReading();
    // Before a write: opens the file for writing (open()), closing first a
    // connection that was opened for reading.
    void openForWriting();

    QString path;
    Sqlite3DB db;

private:
    bool readOnly = false; // the connection was opened for reading only
    bool inMemory = false; // openOrCreate makes the schema in memory
    bool beginOnOpen = false; // openOrCreate begins beginTran's unit
    qint64 schemaAtBegin = 0; // the layout's version when the open began the unit
    bool schemaChangedInUnit = false; // the open of the current unit changed the layout
};

// Base of the message store, its companions and the country table: itself a
// connection, with a transaction flag and row inserts.
class AbsDb : public Sqlite3DB {
public:
    AbsDb();
    ~AbsDb() override;

    virtual void open() = 0;

    // Opens the connection first when it is closed. That level begins where
    // open() calls beginUnitBeforeSchemaUpdate (after open() when it does
    // not), so that an update of the layout that follows is part of the
    // unit: a unit that does not commit leaves the file as it was.
    void beginTran();
    // Does nothing unless beginTran was called. Returns whether the level
    // committed (false for a rollback, or an inner level of a unit that was
    // rolled back). Like AbsLocalDb::endTran, the outermost commit of a unit
    // that was rolled back meanwhile throws: nothing was saved. A unit whose
    // open changed the layout and that ends without committing calls
    // closeAfterUndoneSchemaChange.
    bool endTran(bool commit);
    bool isInTransaction() const { return inTransaction; }
    // Inserts every named value of the row into table; returns the row id.
    qint64 insertRow(const Sqlite3Row& row, const QString& table, const QSet<QString>& columns = {});

protected:
    // For open(), between opening the connection and bringing the layout up
    // to date: begins the unit when beginTran is opening the connection;
    // nothing otherwise.
    void beginUnitBeforeSchemaUpdate();
    // The unit whose open changed the layout ended without committing: the
    // layout is as it was, and what the connection (and the class) read of
    // it is out of date. Closes the connection, so that the next open
    // brings the file up to date again.
    virtual void closeAfterUndoneSchemaChange();

    bool inTransaction = false;

private:
    bool beginOnOpen = false; // beginUnitBeforeSchemaUpdate begins beginTran's unit
    qint64 schemaAtBegin = 0; // the layout's version when the open began the unit
    bool schemaChangedInUnit = false; // the open of the current unit changed the layout
};
