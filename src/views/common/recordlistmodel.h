// Base of the flat record lists (calls, notes, playlists, voicemails,
// recordings, music): one
// root row per record, in the order of the model's record list, so a row
// says which record it holds without looking at its node.
#pragma once

#include "shell/abstreeitemmodel.h"

#include <QList>
#include <QModelIndex>

#include <algorithm>
#include <cstddef>
#include <type_traits>

template <typename Record> class RecordListModel : public AbsTreeItemModel {
public:
    using RecordType = Record;

    explicit RecordListModel(QObject* parent = nullptr)
        : AbsTreeItemModel(parent)
    {
    }

    // The records of all rows, in row order.
    const QList<Record>& records() const { return m_records; }

    // The record a row of this model holds; null for any other index.
    const Record* recordAt(const QModelIndex& index) const
    {
        if (!index.isValid() || index.model() != this || index.parent().isValid() || index.row() >= m_records.size())
            return nullptr;
        return &m_records.at(index.row());
    }

protected:
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
};
