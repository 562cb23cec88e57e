// The notes file of a local backup folder.
#pragma once

#include "records/absdb.h"
#include "records/noterecord.h"

#include <QList>

class INotesDb {
public:
    virtual ~INotesDb() = default;
    // Every note, newest modification first.
    virtual QList<NoteRecord> loadAll() = 0;
};

class LocalNotesDb : public AbsLocalDb, public INotesDb {
public:
    explicit LocalNotesDb(const QString& path);

    void open() override;
    QList<NoteRecord> loadAll() override;

    // Updates the row with the note's hash, else inserts the note.
    void saveNote(const NoteRecord& note);
    // Deletes the row with the note's hash; runs inside the caller's transaction.
    void removeNote(const NoteRecord& note);
    // 0 on any error.
    qint64 count();

    static NoteRecord readNote(const Sqlite3Cursor& c);
};
