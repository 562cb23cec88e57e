// The note list of the notes page: one flat row per note, newest
// modification first, in three columns (modification date, title, summary).
#pragma once

#include "records/noterecord.h"
#include "views/common/recordlistmodel.h"

#include <QList>

class ItemModelNotes : public RecordListModel<NoteRecord> {
    Q_OBJECT

public:
    class _NotesItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        explicit _NotesItemNode(const NoteRecord& note)
            : _ItemNode(0, QString(), nullptr)
            , note(note)
        {
        }
        NoteRecord note;
    };

    explicit ItemModelNotes(QObject* parent = nullptr);

    // Replaces the content: the notes by modification time, newest first.
    void setNotes(const QList<NoteRecord>& notes);
    const QList<NoteRecord>& notes() const { return m_records; }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};
