// One playlist: a name with its member entries in order.
#pragma once

#include "records/namecompare.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

struct PlaylistRecord {
    PlaylistRecord() = default;
    explicit PlaylistRecord(qint64 id)
        : id(id)
    {
    }

    // Duplicate key: MD5 (lower-case hex) of the UTF-8 name followed by the
    // UTF-8 members joined with "/".
    QByteArray hash() const;

    qint64 id = 0; // _id where it was read from, or the phone's id; 0 when new
    QString name;
    QStringList members;
};

// The playlists' list order: by name in lower case, ascending; names equal in
// lower case compare equal.
inline bool playlistLessThan(const PlaylistRecord& a, const PlaylistRecord& b)
{
    return lessByNameNoCase(a, b);
}
