// Damage that SQLite's checks do not always see.
//
// beyondLastColumn: damage they see only once a table has more columns, as
// the update of an older file gives it: a row holds a value beyond the
// table's last column, and the row's header misstates that value's size.
// PRAGMA quick_check and integrity_check read a row no further than the
// table's last column, so they find the file sound; once a column is added,
// the column reads the misstated value and both find the file malformed.
//
// cellPointerPastItsPage: damage they see until a write hides it.
#pragma once

#include "testsupport.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <source_location>

namespace hiddendamage {

namespace detail {

// SQLite's variable-length integer at data[*at], moving *at past it.
inline quint64 varint(const QByteArray& data, qsizetype* at)
{
    quint64 value = 0;
    for (int i = 0; i < 9 && *at < data.size(); ++i) {
        const auto byte = quint8(data[(*at)++]);
        if (i == 8)
            return (value << 8) | byte;
        value = (value << 7) | (byte & 0x7f);
        if (byte < 0x80)
            break;
    }
    return value;
}

} // namespace detail

// Gives the row of table with this rowid a four-byte value beyond the
// table's last column (the table's CREATE text stays as it was) and
// misstates its size in the row's header by one byte. The row must lie
// whole in a leaf page. A checking helper (see CHECKED).
[[nodiscard]] inline bool beyondLastColumn(const QString& file, const QString& table, qint64 rowid,
                                           std::source_location at = std::source_location::current())
{
    const QByteArray value = QByteArrayLiteral("\x5a\x17\xc0\xde");
    sqlite3* raw = nullptr;
    HELPER_COMPARE(sqlite3_open(file.toUtf8().constData(), &raw), SQLITE_OK);
    const auto run = [raw](const QByteArray& sql) {
        char* error = nullptr;
        const int rc = sqlite3_exec(raw, sql.constData(), nullptr, nullptr, &error);
        const QByteArray text = rc == SQLITE_OK ? QByteArray() : QByteArray(error ? error : "failed");
        sqlite3_free(error);
        return text;
    };
    // The value goes in as a column of its own, which the table's CREATE
    // text then leaves out again.
    const QByteArray name = table.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw, "select quote(sql) from sqlite_master where type='table' and name=?", -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    const QByteArray createText = sqlite3_step(stmt) == SQLITE_ROW
        ? QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)))
        : QByteArray();
    sqlite3_finalize(stmt);
    QByteArray error = createText.isEmpty() ? QByteArray("no such table") : QByteArray();
    int rowsGiven = 0;
    if (error.isEmpty())
        error = run("ALTER TABLE \"" + name + "\" ADD COLUMN beyond_last BLOB");
    if (error.isEmpty()) {
        error = run("UPDATE \"" + name + "\" SET beyond_last = x'" + value.toHex()
                    + "' WHERE rowid = " + QByteArray::number(rowid));
        rowsGiven = sqlite3_changes(raw);
    }
    if (error.isEmpty())
        error = run("PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = " + createText
                    + " WHERE type = 'table' AND name = '" + name + "'; PRAGMA writable_schema = OFF;");
    sqlite3_close(raw);
    HELPER_VERIFY2(error.isEmpty(), error.constData());
    HELPER_COMPARE(rowsGiven, 1);

    QFile f(file);
    HELPER_VERIFY(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const qsizetype pageSize = qsizetype(quint8(bytes[16]) << 8 | quint8(bytes[17]));
    HELPER_VERIFY(pageSize >= 512 && bytes.size() % pageSize == 0);
    for (qsizetype page = 0; page < bytes.size(); page += pageSize) {
        const qsizetype header = page == 0 ? 100 : 0; // the file's header opens page 1
        if (quint8(bytes[page + header]) != 0x0d) // a leaf of a table
            continue;
        const int cells = quint8(bytes[page + header + 3]) << 8 | quint8(bytes[page + header + 4]);
        for (int i = 0; i < cells; ++i) {
            const qsizetype pointer = page + header + 8 + 2 * i;
            qsizetype pos = page + (quint8(bytes[pointer]) << 8 | quint8(bytes[pointer + 1]));
            const auto payload = qsizetype(detail::varint(bytes, &pos));
            const auto key = qint64(detail::varint(bytes, &pos));
            const qsizetype record = pos;
            if (key != rowid || record + payload > page + pageSize
                || bytes.mid(record + payload - value.size(), value.size()) != value)
                continue;
            // The last serial type of the record's header: a blob of four
            // bytes (12 + 2 * 4), said to be of three.
            const qsizetype lastType = record + qsizetype(detail::varint(bytes, &pos)) - 1;
            HELPER_COMPARE(quint8(bytes[lastType]), quint8(20));
            bytes[lastType] = char(18);
            HELPER_VERIFY(f.seek(0) && f.write(bytes) == bytes.size());
            return true;
        }
    }
    HELPER_VERIFY2(false, "the row was not found whole in a leaf page");
    return false;
}

// Damage that a write can hide: a cell pointer of a leaf page of index
// points one page size past its cell. SQLite reads it within the page (it
// masks the offset), so reads and writes go on, but PRAGMA quick_check
// finds the offset out of range; once a write rebuilds the page (an insert
// that splits it), the pointer is made anew and the check finds the file
// sound again. Takes the first leaf on the index's left edge, and the
// middle cell of it. A checking helper (see CHECKED).
[[nodiscard]] inline bool cellPointerPastItsPage(const QString& file, const QString& index,
                                                 std::source_location at = std::source_location::current())
{
    sqlite3* raw = nullptr;
    HELPER_COMPARE(sqlite3_open(file.toUtf8().constData(), &raw), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw, "select rootpage from sqlite_master where type='index' and name=?", -1, &stmt, nullptr);
    const QByteArray name = index.toUtf8();
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    const qint64 root = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
    HELPER_VERIFY2(root > 0, "no such index");

    QFile f(file);
    HELPER_VERIFY(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const auto read16 = [&bytes](qsizetype at) { return qsizetype(quint8(bytes[at]) << 8 | quint8(bytes[at + 1])); };
    const qsizetype pageSize = read16(16) == 1 ? 65536 : read16(16);
    HELPER_VERIFY(pageSize >= 512 && pageSize <= 16384 && bytes.size() % pageSize == 0);
    for (qint64 page = root;;) {
        const qsizetype start = qsizetype(page - 1) * pageSize;
        const qsizetype header = start + (page == 1 ? 100 : 0);
        HELPER_VERIFY(start + pageSize <= bytes.size());
        const auto kind = quint8(bytes[header]);
        if (kind == 0x02) { // interior of an index: to its left-most child
            const qsizetype cell = start + read16(header + 12);
            page = qint64(quint8(bytes[cell])) << 24 | qint64(quint8(bytes[cell + 1])) << 16
                | qint64(quint8(bytes[cell + 2])) << 8 | qint64(quint8(bytes[cell + 3]));
            continue;
        }
        HELPER_COMPARE(kind, quint8(0x0a)); // a leaf of an index
        const qsizetype cells = read16(header + 3);
        HELPER_VERIFY(cells >= 2);
        // The pointer's high byte: the offset grows by one page size.
        const qsizetype pointer = header + 8 + 2 * (cells / 2);
        bytes[pointer] = char(quint8(bytes[pointer]) + pageSize / 256);
        HELPER_VERIFY(f.seek(start) && f.write(bytes.mid(start, pageSize)) == pageSize);
        return true;
    }
}

} // namespace hiddendamage
