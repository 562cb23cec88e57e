// Loads the phone's browser bookmarks into its cache "bookmarks.db".
#pragma once

#include "phonelink/androidloadthread.h"

class LocalBookmarkDb;

class AndroidLoadBookmarksThread : public AndroidLoadThread {
    Q_OBJECT
public:
    AndroidLoadBookmarksThread(AndroidDeviceInfo* device, LocalBookmarkDb* cacheDb, JobReport* progress,
                               QObject* parent = nullptr);

protected:
    void load() override;

private:
    LocalBookmarkDb* m_db;
};
