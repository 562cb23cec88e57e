#include "localnotesdb.h"

#include "recordtime.h"

LocalNotesDb::LocalNotesDb(const QString& path)
    : AbsLocalDb(path)
{
}

void LocalNotesDb::open()
{
    openOrCreate(QStringLiteral(":res/local_notes_db.sql"));
}

qint64 LocalNotesDb::count()
{
    return countOf(QStringLiteral("select count(*) from notes"));
}

void LocalNotesDb::saveNote(const NoteRecord& note)
{
    openForWriting();
    const QString hash = QString::fromLatin1(note.hash());
    Sqlite3Sql find(QStringLiteral("select _id,modified_date from notes where hash=?"));
    find.addTextParam(hash);
    qint64 id = 0;
    bool found = false;
    {
        Sqlite3Cursor c = db.queryThrow(find);
        if (c.moveNext()) {
            id = c.getInt64(0);
            found = true;
        }
    }
    Sqlite3Sql sql(found ? QStringLiteral("update notes set create_date=?,modified_date=?,title=?,summary=?,"
                                          "content=?,dev_id=?,src_id=? where _id=?")
                         : QStringLiteral("insert into notes(create_date,modified_date,title,summary,content,"
                                          "dev_id,src_id,hash) values(?,?,?,?,?,?,?,?)"));
    sql.addInt64Param(records::secsSinceEpoch(note.created));
    sql.addInt64Param(records::secsSinceEpoch(note.modified));
    sql.addTextParam(note.title);
    sql.addTextParam(note.summary);
    sql.addTextParam(note.content);
    sql.addTextParam(note.dev_id);
    sql.addTextParam(note.src_id);
    if (found)
        sql.addInt64Param(id);
    else
        sql.addTextParam(hash);
    db.executeThrow(sql);
}

void LocalNotesDb::removeNote(const NoteRecord& note)
{
    Sqlite3Sql sql(QStringLiteral("delete from notes where hash=?"));
    sql.addTextParam(QString::fromLatin1(note.hash()));
    db.executeThrow(sql);
}

NoteRecord LocalNotesDb::readNote(const Sqlite3Cursor& c)
{
    NoteRecord note(c.getText(QStringLiteral("dev_id")), c.getText(QStringLiteral("src_id")));
    note.title = c.getText(QStringLiteral("title"));
    note.created = records::dateTimeFromSecs(c.getInt64(QStringLiteral("create_date")));
    note.modified = records::dateTimeFromSecs(c.getInt64(QStringLiteral("modified_date")));
    note.summary = c.getText(QStringLiteral("summary"));
    note.content = c.getText(QStringLiteral("content"));
    return note;
}

QList<NoteRecord> LocalNotesDb::loadAll()
{
    openForReading();
    QList<NoteRecord> result;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from notes order by modified_date desc"));
    while (c.moveNext())
        result.append(readNote(c));
    return result;
}
