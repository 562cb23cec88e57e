// Sends playlists to a phone's "playlists" restore service.
#pragma once

#include "jobs/androidrestorethread.h"
#include "records/playlistrecord.h"

#include <QList>

class LocalPlaylistDb;

class AndroidRestorePlaylistThread : public AndroidRestoreThread {
    Q_OBJECT

public:
    AndroidRestorePlaylistThread(AndroidDeviceInfo* target, LocalPlaylistDb* targetCacheDb,
                                 const QList<PlaylistRecord>& playlists, JobReport* progress,
                                 QObject* parent = nullptr);

    // The "$playlist:" argument: name, then the members joined with "/".
    static QString playlistLine(const PlaylistRecord& playlist);

protected:
    QString serviceName() const override;
    int itemCount() const override;
    void sendItem(int index) override;
    void storeItem(int index) override;
    QString progressText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    LocalPlaylistDb* cacheDb;
    QList<PlaylistRecord> items;
};
