#include "androidrestoreplaylistthread.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "records/localplaylistdb.h"

AndroidRestorePlaylistThread::AndroidRestorePlaylistThread(AndroidDeviceInfo* target, LocalPlaylistDb* targetCacheDb,
                                                           const QList<PlaylistRecord>& playlists, JobReport* progress,
                                                           QObject* parent)
    : AndroidRestoreThread(target, targetCacheDb, progress, parent)
    , cacheDb(targetCacheDb)
    , items(playlists)
{
}

QString AndroidRestorePlaylistThread::playlistLine(const PlaylistRecord& p)
{
    return simpleprotocol::encodeField(p.name) + QLatin1Char(',')
        + simpleprotocol::encodeField(p.members.join(QLatin1Char('/')));
}

QString AndroidRestorePlaylistThread::serviceName() const
{
    return QStringLiteral("playlists");
}

int AndroidRestorePlaylistThread::itemCount() const
{
    return int(items.size());
}

void AndroidRestorePlaylistThread::sendItem(int index)
{
    sendRecord(QStringLiteral("$playlist:"), playlistLine(items.at(index)));
}

void AndroidRestorePlaylistThread::storeItem(int index)
{
    // Keeps a playlist the cache holds already.
    cacheDb->addPlaylist(items.at(index));
}

QString AndroidRestorePlaylistThread::progressText(int done, int total) const
{
    return tr("Playlists:%1 / %2").arg(done).arg(total);
}

QString AndroidRestorePlaylistThread::resultText(int done) const
{
    return tr("IDS_EXPORT_PLAYLISTS_TO_ANDROID_SUC_%1").arg(done);
}
