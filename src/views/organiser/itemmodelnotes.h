// The note list of the notes page: one flat row per note, newest
// modification first, in three columns (modification date, title, summary).
#pragma once

#include "records/noterecord.h"
#include "views/common/recordlistmodel.h"

#include <QList>

class ItemModelNotes : public RecordListModel<NoteRecord> {
    Q_OBJECT

public:
    using _NotesItemNode = RecordNode;

    explicit ItemModelNotes(QObject* parent = nullptr);

    // Replaces the content: the notes by modification time, newest first.
    void setNotes(const QList<NoteRecord>& notes);
    const QList<NoteRecord>& notes() const { return m_records; }
};
