// Base of the flat record lists (calls, notes, playlists, voicemails,
// recordings, music): one root row per record, in the order of the model's
// record list, so a row says which record it holds without looking at its
// node. A model states its columns (title and text); the base answers the
// header, the texts (display and tool tip, as written: the views show tool
// tips as plain text), the picture in the first column and the row style.
#pragma once

#include "shell/abstreeitemmodel.h"
#include "views/common/listrowstyle.h"

#include <QList>
#include <QModelIndex>
#include <QPixmap>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <cstddef>
#include <span>
#include <type_traits>

template <typename Record> class RecordListModel : public AbsTreeItemModel {
public:
    using RecordType = Record;

    // One column: its title (plain English, not translated) and the text a
    // record shows in it, which is also the cell's tool tip.
    struct Column {
        const char* title;
        QString (*text)(const Record& record);
    };

    // A row's node: kind 0, no parent, the given text and a copy of its
    // record.
    class RecordNode : public _ItemNode {
    public:
        explicit RecordNode(const Record& record, const QString& text = QString())
            : _ItemNode(0, text, nullptr)
            , record(record)
        {
        }
        Record record;
    };

    // The records of all rows, in row order.
    const QList<Record>& records() const { return m_records; }

    // The record a row of this model holds; null for any other index.
    const Record* recordAt(const QModelIndex& index) const
    {
        if (!index.isValid() || index.model() != this || index.parent().isValid() || index.row() >= m_records.size())
            return nullptr;
        return &m_records.at(index.row());
    }

    int columnCount(const QModelIndex& = QModelIndex()) const override { return int(m_columns.size()); }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        const Record* record = recordAt(index);
        if (!record)
            return QVariant();
        const int column = index.column();
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return column >= 0 && column < columnCount() ? QVariant(m_columns[column].text(*record)) : QVariant();
        case Qt::DecorationRole:
            return column == 0 ? QVariant(rowIcon(*record)) : QVariant();
        default:
            return rowStyle(index, role);
        }
    }

    // The column titles for the horizontal display role; invalid otherwise.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
            return QVariant();
        return QString::fromLatin1(m_columns[section].title);
    }

protected:
    // columns: the model's table, which outlives it (a static array).
    explicit RecordListModel(std::span<const Column> columns, QObject* parent = nullptr)
        : AbsTreeItemModel(parent)
        , m_columns(columns)
    {
    }

    // The picture in a row's first column: the file picture unless the
    // model has its own.
    virtual QPixmap rowIcon(const Record&) const { return listrowstyle::fileIcon(); }
    // What a row gives for the roles besides texts and picture: the shared
    // row style (listrowstyle::rowData) unless the model has its own.
    virtual QVariant rowStyle(const QModelIndex& index, int role) const { return listrowstyle::rowData(index, role); }

    // Replaces the content: the records, stably sorted by less when one is
    // given, one Node (made from its record) each.
    template <typename Node, typename Less = std::nullptr_t>
    void resetRecords(const QList<Record>& records, Less less = nullptr)
    {
        beginResetModel();
        qDeleteAll(roots);
        roots.clear();
        m_records = records;
        if constexpr (!std::is_null_pointer_v<Less>)
            std::stable_sort(m_records.begin(), m_records.end(), less);
        for (const Record& r : std::as_const(m_records))
            roots.append(new Node(r));
        endResetModel();
    }

    QList<Record> m_records; // in display order

private:
    std::span<const Column> m_columns;
};
