// Sends bookmarks to a phone's "bookmarks" restore service. Folders are
// flattened: the phone receives the bookmarks below them, depth first; the
// cache files each acknowledged bookmark under its folder titles again.
#pragma once

#include "jobs/androidrestorethread.h"

#include <QList>

class LocalBookmarkDb;
struct BookmarkRecord;

class AndroidRestoreBookmarksThread : public AndroidRestoreThread {
    Q_OBJECT

public:
    // The records stay the caller's and must outlive the job.
    AndroidRestoreBookmarksThread(AndroidDeviceInfo* target, LocalBookmarkDb* targetCacheDb,
                                  const QList<BookmarkRecord*>& records, JobReport* progress,
                                  QObject* parent = nullptr);

    // The bookmarks that will be sent, in sending order.
    const QList<BookmarkRecord*>& bookmarks() const { return items; }

protected:
    QString serviceName() const override;
    int itemCount() const override;
    void sendItem(int index) override;
    void storeItem(int index) override;
    QString progressText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    void collectBookmarks(BookmarkRecord* record);

    LocalBookmarkDb* cacheDb;
    QList<BookmarkRecord*> items; // leaves only; not owned
};
