// Thin C++ layer over the SQLite 3 C API used by every database of the
// application: connections with nested transactions, statements with
// positional parameters, cursors with typed reads and rows of named values.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

// Version of this layer's interface; start-up refuses to run with another one.
int sqlite_qt_version();

// Every failure of the layer: SQLite's own message in what().
class Sqlite3Exception : public std::runtime_error {
public:
    Sqlite3Exception(int code, const std::string& message)
        : std::runtime_error(message)
        , m_code(code)
    {
    }
    int code() const { return m_code; }

private:
    int m_code;
};

// One column as reported by PRAGMA table_info.
struct _SqliteCol {
    int cid = 0;
    QString name;
    QString type;
    bool notNull = false;
    QString defaultValue;
    bool primaryKey = false;
};

// Statement text with values for its "?" placeholders, bound in the order
// in which they were added.
class Sqlite3Sql {
public:
    enum class ParamType { Null, Int, Int64, Double, Text, Blob };
    struct Param {
        ParamType type = ParamType::Null;
        qint64 i = 0;
        double d = 0;
        QString text;
        QByteArray blob;
    };

    Sqlite3Sql() = default;
    explicit Sqlite3Sql(const QString& text)
        : m_sql(text)
    {
    }
    explicit Sqlite3Sql(const char* text)
        : m_sql(QString::fromUtf8(text))
    {
    }

    void appendSql(const QString& text) { m_sql += text; }
    void setSql(const QString& text) { m_sql = text; }
    const QString& sql() const { return m_sql; }

    void addTextParam(const QString& v);
    void addIntParam(int v);
    void addInt64Param(qint64 v);
    void addDoubleParam(double v);
    void addNullParam();
    void addBlobParam(const QByteArray& v);
    // Binds a QVariant by its type: strings as text, integers, byte arrays as
    // blobs, doubles; a null or invalid variant as NULL.
    void addVariantParam(const QVariant& v);

    // Keeps the text, drops the values: lets a loop reuse one statement.
    void clearParams() { m_params.clear(); }
    const QVector<Param>& params() const { return m_params; }

private:
    QString m_sql;
    QVector<Param> m_params;
};

// Rows of one select. Positioned before the first row; moveNext() steps.
// NULL columns read as 0, empty text or an empty byte array.
class Sqlite3Cursor {
public:
    Sqlite3Cursor() = default;
    Sqlite3Cursor(sqlite3_stmt* stmt, sqlite3* db);
    ~Sqlite3Cursor();
    Sqlite3Cursor(Sqlite3Cursor&& other) noexcept;
    Sqlite3Cursor& operator=(Sqlite3Cursor&& other) noexcept;
    Sqlite3Cursor(const Sqlite3Cursor&) = delete;
    Sqlite3Cursor& operator=(const Sqlite3Cursor&) = delete;

    // Advances to the next row; false at the end. Failure throws.
    bool moveNext();

    int columnCount() const;
    QString columnName(int index) const;
    // Index of a column by name (exact first, then ignoring case); -1 when absent.
    int columnIndex(const QString& name) const;
    bool hasColumn(const QString& name) const { return columnIndex(name) >= 0; }

    bool isNull(int index) const;
    bool isNull(const QString& name) const { return isNull(indexOrThrow(name)); }
    int getInt(int index) const;
    int getInt(const QString& name) const { return getInt(indexOrThrow(name)); }
    qint64 getInt64(int index) const;
    qint64 getInt64(const QString& name) const { return getInt64(indexOrThrow(name)); }
    double getDouble(int index) const;
    double getDouble(const QString& name) const { return getDouble(indexOrThrow(name)); }
    QString getText(int index) const;
    QString getText(const QString& name) const { return getText(indexOrThrow(name)); }
    QByteArray getBlob(int index) const;
    QByteArray getBlob(const QString& name) const { return getBlob(indexOrThrow(name)); }
    // The column as a QVariant of its stored type (null for NULL).
    QVariant getValue(int index) const;

private:
    int indexOrThrow(const QString& name) const;
    void checkRow(int index) const;
    void release();

    sqlite3_stmt* m_stmt = nullptr;
    sqlite3* m_db = nullptr;
    bool m_hasRow = false;
    mutable QHash<QString, int> m_names;
};

// A row of named values, kept in the order they were first named, that
// builds the insert statement for a table.
class Sqlite3Row {
public:
    QVariant& operator[](const QString& name);
    QVariant value(const QString& name) const;
    bool contains(const QString& name) const { return m_index.contains(name); }
    QStringList names() const;
    void clear();
    bool isEmpty() const { return m_names.isEmpty(); }

    // INSERT INTO table (names...) VALUES (?...), each value bound with the
    // type of its QVariant. A non-empty column set limits the insert to those
    // names; an empty set inserts every named value.
    Sqlite3Sql insertSql(const QString& table, const QSet<QString>& columns = {}) const;

private:
    QStringList m_names;
    QVector<QVariant> m_values;
    QHash<QString, int> m_index;
};

// One connection. Transactions nest: only the outermost begin and commit
// reach SQLite. A rollback at any depth rolls the whole SQLite transaction
// back, and the connection then refuses writes until the outermost level
// has ended, so no half of a failed unit is ever committed.
class Sqlite3DB {
public:
    // SQLite's open flags, as the callers pass them.
    enum OpenFlag { ReadOnly = 0x1, ReadWrite = 0x2, Create = 0x4 };

    Sqlite3DB();
    virtual ~Sqlite3DB();
    Sqlite3DB(const Sqlite3DB&) = delete;
    Sqlite3DB& operator=(const Sqlite3DB&) = delete;

    void openThrow(const QString& path, int flags);
    // Opens an existing file for reading only and leaves nothing new beside
    // it. A rollback journal that an interrupted write left is first rolled
    // back by SQLite's own recovery (through a short read-write connection),
    // and a write-ahead log folded into the file, when the medium allows; a
    // database that SQLite reads in write-ahead mode (header byte 19 is 2,
    // or a log lies beside it) without a log that holds anything is read
    // without one. When the journal cannot be rolled back the open throws
    // with code SQLITE_READONLY_ROLLBACK, when a log that holds commits can
    // neither be folded in nor read with SQLITE_READONLY_RECOVERY: the
    // file's last committed state is unknown.
    void openReadOnlyThrow(const QString& path);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }
    QString path() const { return m_path; }

    void beginTran();
    // Returns false when the unit had been rolled back (nothing committed).
    bool commitTran();
    void rollbackTran();
    int tranDepth() const { return m_depth; }
    bool isRollbackOnly() const { return m_rollbackOnly; }

    void executeThrow(const Sqlite3Sql& sql);
    void executeThrow(const QString& sql) { executeThrow(Sqlite3Sql(sql)); }
    Sqlite3Cursor queryThrow(const Sqlite3Sql& sql);
    Sqlite3Cursor queryThrow(const QString& sql) { return queryThrow(Sqlite3Sql(sql)); }
    // Runs a script of several statements separated by ";".
    void executeScriptThrow(const QByteArray& script);
    // First column of the first row as a 64-bit integer; 0 without a row.
    // Runs on a cached statement, like executeThrow: a look-up repeated per
    // record is prepared once.
    qint64 queryInt64Throw(const Sqlite3Sql& sql);
    // Lets SQLite check the file as this connection sees it (inside a
    // transaction: with its changes) with PRAGMA quick_check. Empty when the
    // file is sound, else what SQLite found (its first findings, or why the
    // check could not run). Throws Sqlite3Exception when another connection
    // holds the file so that it cannot be read (SQLITE_BUSY, SQLITE_LOCKED).
    QString quickCheck();
    // The same with PRAGMA integrity_check, which also compares every index
    // with its table, so an index entry that leads a read to a row that is
    // not there is found too. It looks every row up in each index of its
    // table: meant for files of a modest size.
    QString integrityCheck();

    qint64 lastInsertId() const;
    int changes() const;
    QHash<QString, _SqliteCol> tbInfo(const QString& table);
    bool tableExists(const QString& table);

private:
    sqlite3_stmt* prepare(const QString& sql);
    sqlite3_stmt* cachedStatement(const QString& sql);
    // Binds, steps to the end and resets a cached statement; *first (when
    // given) gets the first column of the first row, 0 without a row.
    void runCached(const Sqlite3Sql& sql, qint64* first);
    void bindAll(sqlite3_stmt* stmt, const Sqlite3Sql& sql);
    void clearCache();
    void ensureOpen() const;
    // Throws when a rolled-back unit is still open (see the class comment).
    void checkWritable();
    [[noreturn]] void throwError(int rc, const QString& context = QString()) const;
    void execRaw(const char* sql);
    // Runs a check pragma (see quickCheck).
    QString runCheck(const QString& pragma);

    sqlite3* m_db = nullptr;
    QString m_path;
    int m_depth = 0;
    bool m_rollbackOnly = false;
    QHash<QString, sqlite3_stmt*> m_cache;
    QList<QString> m_cacheOrder;
    // The cached statements again, by the address of their text's characters
    // (see cachedStatement).
    struct CachedByData {
        QString sql;
        sqlite3_stmt* stmt = nullptr;
    };
    QHash<const QChar*, CachedByData> m_cacheByData;
};

// While it lives, the connection's page cache holds at most kib KiB: for a
// read of a whole file (a scan, a check, VACUUM), whose pages are read once
// and would otherwise stay in the cache, and in the process's memory, until
// the connection closes. The size the cache had is set again at the end.
class PageCacheLimit {
public:
    explicit PageCacheLimit(Sqlite3DB& db, int kib = 2048);
    ~PageCacheLimit();
    PageCacheLimit(const PageCacheLimit&) = delete;
    PageCacheLimit& operator=(const PageCacheLimit&) = delete;

private:
    Sqlite3DB& m_db;
    qint64 m_before = 0;
    bool m_set = false;
};

// Single quotes an identifier for SQL text: "name" with inner quotes doubled.
QString sqliteQuoteIdentifier(const QString& name);
