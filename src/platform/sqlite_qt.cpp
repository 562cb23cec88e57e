#include "sqlite_qt.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QVarLengthArray>

#include <sqlite3.h>

namespace {

constexpr int kStatementCacheSize = 64;

std::string errorText(sqlite3* db, int rc, const QString& context)
{
    QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (!context.isEmpty())
        msg = context + QStringLiteral(": ") + msg;
    return msg.toStdString();
}

// Binds the values of sql to stmt. With keep, text and blobs are bound
// without a copy (text as UTF-8 held in keep): the caller must clear the
// bindings before keep or sql go away. Without keep SQLite copies them.
int bindParams(sqlite3_stmt* stmt, const Sqlite3Sql& sql, QVarLengthArray<QByteArray, 16>* keep)
{
    const auto& params = sql.params();
    const int expected = sqlite3_bind_parameter_count(stmt);
    if (expected != params.size())
        throw Sqlite3Exception(SQLITE_RANGE,
                               QStringLiteral("statement expects %1 values, %2 given: %3")
                                   .arg(expected)
                                   .arg(params.size())
                                   .arg(sql.sql())
                                   .toStdString());
    const auto lifetime = keep ? SQLITE_STATIC : SQLITE_TRANSIENT;
    for (int i = 0; i < params.size(); ++i) {
        const auto& p = params.at(i);
        int rc = SQLITE_OK;
        switch (p.type) {
        case Sqlite3Sql::ParamType::Null:
            rc = sqlite3_bind_null(stmt, i + 1);
            break;
        case Sqlite3Sql::ParamType::Int:
        case Sqlite3Sql::ParamType::Int64:
            rc = sqlite3_bind_int64(stmt, i + 1, p.i);
            break;
        case Sqlite3Sql::ParamType::Double:
            rc = sqlite3_bind_double(stmt, i + 1, p.d);
            break;
        case Sqlite3Sql::ParamType::Text: {
            if (p.text.isNull()) {
                rc = sqlite3_bind_text(stmt, i + 1, "", 0, SQLITE_STATIC);
            } else if (keep) {
                keep->append(p.text.toUtf8());
                const QByteArray& utf8 = keep->last();
                rc = sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
            } else {
                rc = sqlite3_bind_text16(stmt, i + 1, p.text.utf16(), int(p.text.size() * sizeof(char16_t)),
                                         SQLITE_TRANSIENT);
            }
            break;
        }
        case Sqlite3Sql::ParamType::Blob:
            rc = sqlite3_bind_blob(stmt, i + 1, p.blob.constData(), int(p.blob.size()), lifetime);
            break;
        }
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

} // namespace

int sqlite_qt_version()
{
    return 6;
}

QString sqliteQuoteIdentifier(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

// ---------------------------------------------------------------- Sqlite3Sql

void Sqlite3Sql::addTextParam(const QString& v)
{
    Param p;
    p.type = ParamType::Text;
    p.text = v;
    m_params.append(std::move(p));
}

void Sqlite3Sql::addIntParam(int v)
{
    Param p;
    p.type = ParamType::Int;
    p.i = v;
    m_params.append(std::move(p));
}

void Sqlite3Sql::addInt64Param(qint64 v)
{
    Param p;
    p.type = ParamType::Int64;
    p.i = v;
    m_params.append(std::move(p));
}

void Sqlite3Sql::addDoubleParam(double v)
{
    Param p;
    p.type = ParamType::Double;
    p.d = v;
    m_params.append(std::move(p));
}

void Sqlite3Sql::addNullParam()
{
    m_params.append(Param {});
}

void Sqlite3Sql::addBlobParam(const QByteArray& v)
{
    Param p;
    p.type = ParamType::Blob;
    p.blob = v;
    m_params.append(std::move(p));
}

void Sqlite3Sql::addVariantParam(const QVariant& v)
{
    if (!v.isValid() || v.isNull()) {
        addNullParam();
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::Bool:
        addIntParam(v.toInt());
        break;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        addInt64Param(v.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        addDoubleParam(v.toDouble());
        break;
    case QMetaType::QByteArray:
        addBlobParam(v.toByteArray());
        break;
    default:
        addTextParam(v.toString());
        break;
    }
}

// ------------------------------------------------------------- Sqlite3Cursor

Sqlite3Cursor::Sqlite3Cursor(sqlite3_stmt* stmt, sqlite3* db)
    : m_stmt(stmt)
    , m_db(db)
{
}

Sqlite3Cursor::~Sqlite3Cursor()
{
    release();
}

Sqlite3Cursor::Sqlite3Cursor(Sqlite3Cursor&& other) noexcept
    : m_stmt(other.m_stmt)
    , m_db(other.m_db)
    , m_hasRow(other.m_hasRow)
    , m_names(std::move(other.m_names))
{
    other.m_stmt = nullptr;
    other.m_db = nullptr;
    other.m_hasRow = false;
}

Sqlite3Cursor& Sqlite3Cursor::operator=(Sqlite3Cursor&& other) noexcept
{
    if (this != &other) {
        release();
        m_stmt = other.m_stmt;
        m_db = other.m_db;
        m_hasRow = other.m_hasRow;
        m_names = std::move(other.m_names);
        other.m_stmt = nullptr;
        other.m_db = nullptr;
        other.m_hasRow = false;
    }
    return *this;
}

void Sqlite3Cursor::release()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_hasRow = false;
}

bool Sqlite3Cursor::moveNext()
{
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        m_hasRow = true;
        return true;
    }
    m_hasRow = false;
    if (rc == SQLITE_DONE)
        return false;
    const std::string msg = errorText(m_db, rc, QString());
    release();
    throw Sqlite3Exception(rc, msg);
}

int Sqlite3Cursor::columnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QString Sqlite3Cursor::columnName(int index) const
{
    if (!m_stmt || index < 0 || index >= columnCount())
        return QString();
    return QString::fromUtf8(sqlite3_column_name(m_stmt, index));
}

int Sqlite3Cursor::columnIndex(const QString& name) const
{
    if (!m_stmt)
        return -1;
    if (m_names.isEmpty()) {
        const int n = columnCount();
        for (int i = 0; i < n; ++i) {
            const QString col = columnName(i);
            if (!m_names.contains(col))
                m_names.insert(col, i);
        }
    }
    auto it = m_names.constFind(name);
    if (it != m_names.constEnd())
        return it.value();
    for (auto i = m_names.constBegin(); i != m_names.constEnd(); ++i) {
        if (i.key().compare(name, Qt::CaseInsensitive) == 0)
            return i.value();
    }
    return -1;
}

int Sqlite3Cursor::indexOrThrow(const QString& name) const
{
    const int i = columnIndex(name);
    if (i < 0)
        throw Sqlite3Exception(SQLITE_ERROR, (QStringLiteral("no such column: ") + name).toStdString());
    return i;
}

void Sqlite3Cursor::checkRow(int index) const
{
    if (!m_stmt || !m_hasRow)
        throw Sqlite3Exception(SQLITE_MISUSE, "no current row");
    if (index < 0 || index >= sqlite3_column_count(m_stmt))
        throw Sqlite3Exception(SQLITE_RANGE, "column index out of range");
}

bool Sqlite3Cursor::isNull(int index) const
{
    checkRow(index);
    return sqlite3_column_type(m_stmt, index) == SQLITE_NULL;
}

int Sqlite3Cursor::getInt(int index) const
{
    checkRow(index);
    return sqlite3_column_int(m_stmt, index);
}

qint64 Sqlite3Cursor::getInt64(int index) const
{
    checkRow(index);
    return sqlite3_column_int64(m_stmt, index);
}

double Sqlite3Cursor::getDouble(int index) const
{
    checkRow(index);
    return sqlite3_column_double(m_stmt, index);
}

QString Sqlite3Cursor::getText(int index) const
{
    checkRow(index);
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    if (!text)
        return QString();
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, index));
}

QByteArray Sqlite3Cursor::getBlob(int index) const
{
    checkRow(index);
    const void* data = sqlite3_column_blob(m_stmt, index);
    const int size = sqlite3_column_bytes(m_stmt, index);
    if (!data || size <= 0)
        return QByteArray();
    return QByteArray(static_cast<const char*>(data), size);
}

QVariant Sqlite3Cursor::getValue(int index) const
{
    checkRow(index);
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, index));
    case SQLITE_TEXT:
        return QVariant(getText(index));
    case SQLITE_BLOB:
        return QVariant(getBlob(index));
    default:
        return QVariant();
    }
}

// ---------------------------------------------------------------- Sqlite3Row

QVariant& Sqlite3Row::operator[](const QString& name)
{
    auto it = m_index.constFind(name);
    if (it != m_index.constEnd())
        return m_values[it.value()];
    m_index.insert(name, m_names.size());
    m_names.append(name);
    m_values.append(QVariant());
    return m_values.last();
}

QVariant Sqlite3Row::value(const QString& name) const
{
    auto it = m_index.constFind(name);
    return it == m_index.constEnd() ? QVariant() : m_values.at(it.value());
}

QStringList Sqlite3Row::names() const
{
    return m_names;
}

void Sqlite3Row::clear()
{
    m_names.clear();
    m_values.clear();
    m_index.clear();
}

Sqlite3Sql Sqlite3Row::insertSql(const QString& table, const QSet<QString>& columns) const
{
    QStringList cols;
    QStringList marks;
    Sqlite3Sql sql;
    for (int i = 0; i < m_names.size(); ++i) {
        if (!columns.isEmpty() && !columns.contains(m_names.at(i)))
            continue;
        cols << sqliteQuoteIdentifier(m_names.at(i));
        marks << QStringLiteral("?");
        sql.addVariantParam(m_values.at(i));
    }
    sql.setSql(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                   .arg(sqliteQuoteIdentifier(table), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    return sql;
}

// ----------------------------------------------------------------- Sqlite3DB

Sqlite3DB::Sqlite3DB() = default;

Sqlite3DB::~Sqlite3DB()
{
    close();
}

void Sqlite3DB::openThrow(const QString& path, int flags)
{
    close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string msg = errorText(db, rc, QStringLiteral("cannot open %1").arg(path));
        sqlite3_close_v2(db);
        throw Sqlite3Exception(rc, msg);
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, 5000);
    m_db = db;
    m_path = path;
    m_depth = 0;
    m_rollbackOnly = false;
}

namespace {

// Reads the schema: the first read of a connection, where SQLite finds a hot
// journal or a log.
constexpr const char* kProbe = "SELECT count(*) FROM sqlite_master";

// SQLite reads the file in write-ahead-log mode: whenever a log lies beside
// it, and when the header's read version (byte 19) is 2, whatever the write
// version (byte 18) says.
bool opensInWalMode(const QString& path)
{
    if (QFileInfo::exists(path + QStringLiteral("-wal")))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && header.startsWith(QByteArray("SQLite format 3", 16)) && header.at(19) == 2;
}

// Reading through a read-write connection lets SQLite roll back a hot
// journal (and fold a left-over log into the file on close). Creates no
// database; on a medium that refuses writes it changes nothing.
void recoverInPlace(const QString& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_exec(db, kProbe, nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(db);
}

} // namespace

void Sqlite3DB::openReadOnlyThrow(const QString& path)
{
    close();
    if (!QFileInfo(path).isFile())
        throw Sqlite3Exception(SQLITE_CANTOPEN, QStringLiteral("cannot open %1: no such file").arg(path).toStdString());
    // A reader of a write-ahead-log database makes the log and its index
    // when they are missing. Without a log everything is in the file: read
    // it as it stands, without locks or companions. A log that holds
    // something is folded into the file where the medium allows.
    bool immutable = false;
    bool unfoldedLog = false;
    if (opensInWalMode(path)) {
        const QString log = path + QStringLiteral("-wal");
        if (QFileInfo(log).size() > 0)
            recoverInPlace(path);
        unfoldedLog = QFileInfo(log).size() > 0;
        immutable = !unfoldedLog;
    }
    const auto openReading = [&] {
        const QByteArray uri
            = "file:" + QUrl::toPercentEncoding(QDir::cleanPath(QFileInfo(path).absoluteFilePath()), "/")
            + (immutable ? "?immutable=1" : "");
        openThrow(QString::fromUtf8(uri), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        m_path = path;
        return sqlite3_exec(m_db, kProbe, nullptr, nullptr, nullptr);
    };
    int rc = openReading();
    if ((rc & 0xff) == SQLITE_BUSY) {
        // A writer that does not let go: what the file holds is unknown.
        const std::string msg = errorText(m_db, rc, QStringLiteral("cannot read %1").arg(path));
        close();
        throw Sqlite3Exception(SQLITE_BUSY, msg);
    }
    if (rc != SQLITE_OK && unfoldedLog) {
        // The log holds commits that cannot be folded in (a read-only
        // medium) nor read where it lies (its index is missing and cannot
        // be made): the file's last committed state is unknown.
        const std::string msg = errorText(m_db, rc, QStringLiteral("cannot read the log of %1").arg(path));
        close();
        throw Sqlite3Exception(SQLITE_READONLY_RECOVERY, msg);
    }
    if (rc == SQLITE_OK || sqlite3_extended_errcode(m_db) != SQLITE_READONLY_ROLLBACK)
        return; // other faults show on the first real read, as for any open
    // A hot journal: the last write was interrupted. Roll it back, then read.
    close();
    recoverInPlace(path);
    rc = openReading();
    if (rc == SQLITE_OK || sqlite3_extended_errcode(m_db) != SQLITE_READONLY_ROLLBACK)
        return;
    const std::string msg = errorText(m_db, rc, QStringLiteral("cannot read %1").arg(path));
    close();
    throw Sqlite3Exception(SQLITE_READONLY_ROLLBACK, msg);
}

void Sqlite3DB::close()
{
    if (!m_db)
        return;
    clearCache();
    if (m_depth > 0 && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_depth = 0;
    m_rollbackOnly = false;
}

void Sqlite3DB::ensureOpen() const
{
    if (!m_db)
        throw Sqlite3Exception(SQLITE_MISUSE, "database is not open");
}

void Sqlite3DB::throwError(int rc, const QString& context) const
{
    throw Sqlite3Exception(rc, errorText(m_db, rc, context));
}

void Sqlite3DB::execRaw(const char* sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        const std::string msg = err ? std::string(err) : std::string(sqlite3_errstr(rc));
        sqlite3_free(err);
        throw Sqlite3Exception(rc, msg);
    }
}

void Sqlite3DB::beginTran()
{
    ensureOpen();
    if (m_depth == 0) {
        execRaw("BEGIN");
        m_rollbackOnly = false;
    }
    ++m_depth;
}

bool Sqlite3DB::commitTran()
{
    ensureOpen();
    if (m_depth == 0)
        return false;
    --m_depth;
    if (m_depth > 0)
        return !m_rollbackOnly;
    if (m_rollbackOnly) {
        m_rollbackOnly = false;
        qWarning() << "commit of a transaction that was rolled back:" << m_path;
        return false;
    }
    if (sqlite3_get_autocommit(m_db)) {
        // SQLite already ended the transaction on its own (for example after
        // an I/O error); nothing of it is left to commit.
        qWarning() << "commit after SQLite rolled the transaction back:" << m_path;
        return false;
    }
    try {
        execRaw("COMMIT");
    } catch (...) {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return true;
}

void Sqlite3DB::rollbackTran()
{
    ensureOpen();
    if (m_depth == 0)
        return;
    if (!m_rollbackOnly) {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_rollbackOnly = true;
    }
    --m_depth;
    if (m_depth == 0)
        m_rollbackOnly = false;
}

sqlite3_stmt* Sqlite3DB::prepare(const QString& sql)
{
    ensureOpen();
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        throwError(rc);
    }
    return stmt;
}

sqlite3_stmt* Sqlite3DB::cachedStatement(const QString& sql)
{
    // Callers that run one statement per record pass the same text object
    // each time (a literal, or a text they keep), so its characters are
    // looked for by their address first: hashing a long statement text per
    // row costs more than running it. The cache holds a copy of every text
    // it keeps, so no other text can take over an address it knows while
    // the entry lives; the texts are still compared, which is cheap.
    auto known = m_cacheByData.constFind(sql.constData());
    if (known != m_cacheByData.constEnd() && known->sql == sql)
        return known->stmt;
    auto it = m_cache.constFind(sql);
    if (it != m_cache.constEnd())
        return it.value();
    sqlite3_stmt* stmt = prepare(sql);
    if (!stmt)
        return nullptr;
    if (m_cache.size() >= kStatementCacheSize) {
        const QString oldest = m_cacheOrder.takeFirst();
        sqlite3_stmt* evicted = m_cache.take(oldest);
        auto byData = m_cacheByData.find(oldest.constData());
        if (byData != m_cacheByData.end() && byData->stmt == evicted)
            m_cacheByData.erase(byData);
        sqlite3_finalize(evicted);
    }
    m_cache.insert(sql, stmt);
    m_cacheOrder.append(sql);
    m_cacheByData.insert(sql.constData(), CachedByData {sql, stmt});
    return stmt;
}

void Sqlite3DB::clearCache()
{
    for (sqlite3_stmt* stmt : std::as_const(m_cache))
        sqlite3_finalize(stmt);
    m_cache.clear();
    m_cacheOrder.clear();
    m_cacheByData.clear();
}

void Sqlite3DB::bindAll(sqlite3_stmt* stmt, const Sqlite3Sql& sql)
{
    const int rc = bindParams(stmt, sql, nullptr);
    if (rc != SQLITE_OK)
        throwError(rc);
}

void Sqlite3DB::checkWritable()
{
    ensureOpen();
    // SQLite ends a transaction on its own after some errors (a full disk,
    // a trigger's RAISE(ROLLBACK)); the unit is lost then, and a later
    // write must not autocommit on its own either.
    if (m_depth > 0 && !m_rollbackOnly && sqlite3_get_autocommit(m_db))
        m_rollbackOnly = true;
    if (m_rollbackOnly)
        throw Sqlite3Exception(SQLITE_ABORT,
                               "the transaction was rolled back; no further change is written until it ends");
}

void Sqlite3DB::executeThrow(const Sqlite3Sql& sql)
{
    checkWritable();
    runCached(sql, nullptr);
}

void Sqlite3DB::runCached(const Sqlite3Sql& sql, qint64* first)
{
    ensureOpen();
    sqlite3_stmt* stmt = cachedStatement(sql.sql());
    if (first)
        *first = 0;
    if (!stmt)
        return; // empty statement text
    // Bulk inserts come through here: values are bound without copies and
    // the bindings are dropped again before returning, while they are alive.
    QVarLengthArray<QByteArray, 16> keep;
    sqlite3_reset(stmt);
    int rc;
    try {
        rc = bindParams(stmt, sql, &keep);
    } catch (...) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        throw;
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW && first) {
            // A query: the first row is all it asks for.
            if (sqlite3_column_count(stmt) > 0)
                *first = sqlite3_column_int64(stmt, 0);
            rc = SQLITE_DONE;
        }
        while (rc == SQLITE_ROW)
            rc = sqlite3_step(stmt);
    }
    if (rc != SQLITE_DONE) {
        const std::string msg = errorText(m_db, rc, QString());
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (m_depth > 0 && sqlite3_get_autocommit(m_db))
            m_rollbackOnly = true;
        throw Sqlite3Exception(rc, msg);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
}

Sqlite3Cursor Sqlite3DB::queryThrow(const Sqlite3Sql& sql)
{
    sqlite3_stmt* stmt = prepare(sql.sql());
    Sqlite3Cursor cursor(stmt, m_db);
    if (stmt)
        bindAll(stmt, sql);
    return cursor;
}

qint64 Sqlite3DB::queryInt64Throw(const Sqlite3Sql& sql)
{
    qint64 value = 0;
    runCached(sql, &value);
    return value;
}

namespace {

// A check reads every page, one at a time in the order the file's trees lead
// to: for a file the system no longer holds in memory, each is a read from
// the disk of its own, which costs several times what the check itself
// does. Reading the file once from start to end first lets the check find
// its pages in memory. A file larger than the system may keep in memory
// would be read twice, so it is left to the check. The reads go through
// SQLite's own handle of the file: closing another one of this process would
// drop SQLite's locks on it.
void readWholeFile(sqlite3* db)
{
    constexpr sqlite3_int64 kLargest = sqlite3_int64(1) << 30;
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        return;
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK || size > kLargest)
        return;
    constexpr int kChunk = 1 << 20;
    QByteArray chunk(kChunk, Qt::Uninitialized);
    for (sqlite3_int64 at = 0; at < size; at += kChunk) {
        if (file->pMethods->xRead(file, chunk.data(), int(qMin<sqlite3_int64>(kChunk, size - at)), at) != SQLITE_OK)
            return; // the check itself says what is wrong
    }
}

} // namespace

PageCacheLimit::PageCacheLimit(Sqlite3DB& db, int kib)
    : m_db(db)
{
    try {
        m_before = db.queryInt64Throw(Sqlite3Sql("PRAGMA cache_size"));
        db.executeThrow(QStringLiteral("PRAGMA cache_size=-%1").arg(kib));
        m_set = true;
    } catch (const std::exception&) {
        // Only memory is at stake: the read goes on with the cache it has.
    }
}

PageCacheLimit::~PageCacheLimit()
{
    if (!m_set || !m_db.isOpen())
        return;
    try {
        m_db.executeThrow(QStringLiteral("PRAGMA cache_size=%1").arg(m_before));
    } catch (const std::exception&) {
    }
}

QString Sqlite3DB::quickCheck()
{
    return runCheck(QStringLiteral("PRAGMA quick_check(3)"));
}

QString Sqlite3DB::integrityCheck()
{
    return runCheck(QStringLiteral("PRAGMA integrity_check(3)"));
}

QString Sqlite3DB::runCheck(const QString& pragma)
{
    QStringList found;
    try {
        ensureOpen();
        readWholeFile(m_db);
        // Every page is read once: none is worth keeping.
        const PageCacheLimit limit(*this);
        Sqlite3Cursor cursor = queryThrow(pragma);
        while (cursor.moveNext())
            found << cursor.getText(0).remove(QStringLiteral("*** in database main ***\n")).trimmed();
    } catch (const Sqlite3Exception& e) {
        // A file another connection holds says nothing about damage.
        if ((e.code() & 0xff) == SQLITE_BUSY || (e.code() & 0xff) == SQLITE_LOCKED)
            throw;
        found << QString::fromUtf8(e.what());
    }
    if (found == QStringList {QStringLiteral("ok")})
        return QString();
    return found.isEmpty() ? QStringLiteral("no answer") : found.join(QStringLiteral("; "));
}

void Sqlite3DB::executeScriptThrow(const QByteArray& script)
{
    checkWritable();
    execRaw(script.constData());
}

qint64 Sqlite3DB::lastInsertId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

int Sqlite3DB::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

QHash<QString, _SqliteCol> Sqlite3DB::tbInfo(const QString& table)
{
    QHash<QString, _SqliteCol> result;
    Sqlite3Cursor c = queryThrow(QStringLiteral("PRAGMA table_info(%1)").arg(sqliteQuoteIdentifier(table)));
    while (c.moveNext()) {
        _SqliteCol col;
        col.cid = c.getInt(0);
        col.name = c.getText(1);
        col.type = c.getText(2);
        col.notNull = c.getInt(3) != 0;
        col.defaultValue = c.getText(4);
        col.primaryKey = c.getInt(5) != 0;
        result.insert(col.name, col);
    }
    return result;
}

bool Sqlite3DB::tableExists(const QString& table)
{
    Sqlite3Sql sql(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?"));
    sql.addTextParam(table);
    return queryInt64Throw(sql) > 0;
}
