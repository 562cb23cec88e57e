#include "localplaylistdb.h"

LocalPlaylistDb::LocalPlaylistDb(const QString& path)
    : AbsLocalDb(path)
{
}

void LocalPlaylistDb::open()
{
    openOrCreate(QStringLiteral(":res/local_playlists_db.sql"));
}

qint64 LocalPlaylistDb::count()
{
    return countOf(QStringLiteral("select count(*) as total from playlists"));
}

qint64 LocalPlaylistDb::addPlaylist(const PlaylistRecord& playlist)
{
    openForWriting();
    const QString hash = QString::fromLatin1(playlist.hash());
    Sqlite3Sql find(QStringLiteral("select _id from playlists where hash=?"));
    find.addTextParam(hash);
    {
        Sqlite3Cursor c = db.queryThrow(find);
        if (c.moveNext())
            return c.getInt64(0);
    }
    Sqlite3Sql insert(QStringLiteral("insert into playlists(name, members, hash) values(?,?,?)"));
    insert.addTextParam(playlist.name);
    insert.addTextParam(playlist.members.join(QLatin1Char('/')));
    insert.addTextParam(hash);
    db.executeThrow(insert);
    return db.lastInsertId();
}

void LocalPlaylistDb::removePlaylist(qint64 id)
{
    openForWriting();
    db.executeThrow(QStringLiteral("delete from playlists where _id=%1").arg(id));
}

QList<PlaylistRecord> LocalPlaylistDb::loadAll()
{
    openForReading();
    QList<PlaylistRecord> result;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from playlists order by name asc"));
    while (c.moveNext()) {
        PlaylistRecord p(c.getInt64(QStringLiteral("_id")));
        p.name = c.getText(QStringLiteral("name"));
        p.members = c.getText(QStringLiteral("members")).split(QLatin1Char('/'));
        result.append(p);
    }
    return result;
}
