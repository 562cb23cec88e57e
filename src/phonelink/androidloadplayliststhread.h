// Loads the phone's playlists into its cache "playlists.db".
#pragma once

#include "phonelink/androidloadthread.h"

class LocalPlaylistDb;

class AndroidLoadPlaylistsThread : public AndroidLoadThread {
    Q_OBJECT
public:
    AndroidLoadPlaylistsThread(AndroidDeviceInfo* device, LocalPlaylistDb* cacheDb, JobReport* progress,
                               QObject* parent = nullptr);

protected:
    void load() override;

private:
    LocalPlaylistDb* m_db;
};
