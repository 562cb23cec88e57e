// The playlists file of a local backup or device cache folder.
#pragma once

#include "records/absdb.h"
#include "records/playlistrecord.h"

#include <QList>

class IPlaylistDb {
public:
    virtual ~IPlaylistDb() = default;
    // Every playlist by name (binary order), its members split at "/".
    virtual QList<PlaylistRecord> loadAll() = 0;
};

class LocalPlaylistDb : public AbsLocalDb, public IPlaylistDb {
public:
    explicit LocalPlaylistDb(const QString& path);

    void open() override;
    QList<PlaylistRecord> loadAll() override;

    // The _id of the stored playlist with the record's hash, or of the new
    // row; the record's own id is not stored.
    qint64 addPlaylist(const PlaylistRecord& playlist);
    void removePlaylist(qint64 id);
    // 0 on any error.
    qint64 count();
};
