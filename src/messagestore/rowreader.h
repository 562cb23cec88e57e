// Reads result rows into message records by column name. The column
// positions are looked up once per query, so loading many rows costs no
// name look-ups; columns a store lacks are left at the record's defaults.
#pragma once

#include "messagestore/msgrecords.h"
#include "platform/sqlite_qt.h"

#include <QVector>

#include <variant>

template <typename R> struct FieldDef {
    const char* column;
    std::variant<int R::*, qint64 R::*, QString R::*, QByteArray R::*> member;
};

template <typename R> class RowReader {
public:
    RowReader(const QVector<FieldDef<R>>& fields, const Sqlite3Cursor& c)
        : m_fields(fields)
    {
        m_index.reserve(fields.size());
        for (const auto& f : fields)
            m_index.append(c.columnIndex(QLatin1String(f.column)));
    }

    void read(const Sqlite3Cursor& c, R& record) const
    {
        for (qsizetype i = 0; i < m_fields.size(); ++i) {
            const int col = m_index.at(i);
            if (col < 0)
                continue;
            std::visit(
                [&](auto member) {
                    using T = std::remove_reference_t<decltype(record.*member)>;
                    if constexpr (std::is_same_v<T, int>)
                        record.*member = c.getInt(col);
                    else if constexpr (std::is_same_v<T, qint64>)
                        record.*member = c.getInt64(col);
                    else if constexpr (std::is_same_v<T, QString>)
                        record.*member = c.getText(col);
                    else
                        record.*member = c.getBlob(col);
                },
                m_fields.at(i).member);
        }
    }

private:
    const QVector<FieldDef<R>>& m_fields;
    QVector<int> m_index;
};

const QVector<FieldDef<_MsgChat>>& chatFields();
const QVector<FieldDef<_MsgHandle>>& handleFields();
const QVector<FieldDef<_MsgMessage>>& messageFields();
const QVector<FieldDef<_MsgAttachment>>& attachmentFields();
