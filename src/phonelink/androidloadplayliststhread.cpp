#include "phonelink/androidloadplayliststhread.h"

#include "records/localplaylistdb.h"
#include "records/playlistrecord.h"

AndroidLoadPlaylistsThread::AndroidLoadPlaylistsThread(AndroidDeviceInfo* device, LocalPlaylistDb* cacheDb,
                                                       JobReport* progress, QObject* parent)
    : AndroidLoadThread(device, cacheDb, progress, parent)
    , m_db(cacheDb)
{
}

void AndroidLoadPlaylistsThread::load()
{
    openService(QStringLiteral("playlists"));
    beginTran();
    const qint64 total = readCount();
    qint64 done = 0;

    BatchRules rules;
    rules.recordCommands = {QStringLiteral("$playlist:")};
    rules.topError = [](const QString& line) { return QStringLiteral("invalid command($end:,$batch:), ") + line; };
    rules.batchError = [](const QString& line) { return QStringLiteral("invalid command($end:,$playlist:), ") + line; };
    readBatches(rules, [&](const QString&, const QString& rest) {
        checkCanceled();
        ++done;
        postRecordProgress(done, total, tr("Playlists:%1 / %2").arg(done).arg(total));
        const QStringList f = rest.split(QLatin1Char(','));
        PlaylistRecord playlist;
        if (f.size() > 0)
            playlist.id = f.at(0).toLongLong();
        if (f.size() > 1)
            playlist.name = loaderfields::textAt(f, 1);
        // An empty third field is one empty member; a missing one is none.
        if (f.size() > 2)
            playlist.members = loaderfields::textAt(f, 2).split(QLatin1Char('/'));
        m_db->addPlaylist(playlist);
    });
    finish();
}
