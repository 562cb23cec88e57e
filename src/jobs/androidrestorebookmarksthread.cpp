#include "androidrestorebookmarksthread.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "records/localbookmarkdb.h"

AndroidRestoreBookmarksThread::AndroidRestoreBookmarksThread(AndroidDeviceInfo* target, LocalBookmarkDb* targetCacheDb,
                                                             const QList<BookmarkRecord*>& records, JobReport* progress,
                                                             QObject* parent)
    : AndroidRestoreThread(target, targetCacheDb, progress, parent)
    , cacheDb(targetCacheDb)
{
    for (BookmarkRecord* record : records)
        collectBookmarks(record);
}

void AndroidRestoreBookmarksThread::collectBookmarks(BookmarkRecord* record)
{
    // The bookmarks below a folder in tree order, walked without recursion
    // (folders may nest as deep as a database says).
    QList<BookmarkRecord*> pending {record};
    while (!pending.isEmpty()) {
        BookmarkRecord* r = pending.takeLast();
        if (!r)
            continue;
        if (!r->isFolder) {
            items.append(r);
            continue;
        }
        for (auto it = r->children.crbegin(); it != r->children.crend(); ++it)
            pending.append(*it);
    }
}

QString AndroidRestoreBookmarksThread::serviceName() const
{
    return QStringLiteral("bookmarks");
}

int AndroidRestoreBookmarksThread::itemCount() const
{
    return int(items.size());
}

void AndroidRestoreBookmarksThread::sendItem(int index)
{
    const BookmarkRecord* b = items.at(index);
    sendRecord(QStringLiteral("$bookmark:"),
               simpleprotocol::encodeField(b->title) + QLatin1Char(',') + simpleprotocol::encodeField(b->url));
}

void AndroidRestoreBookmarksThread::storeItem(int index)
{
    QList<BookmarkRecord*> inserted;
    cacheDb->addBookmarkWithParents(items.at(index), &inserted);
}

QString AndroidRestoreBookmarksThread::progressText(int done, int total) const
{
    return tr("Bookmarks:%1 / %2").arg(done).arg(total);
}

QString AndroidRestoreBookmarksThread::resultText(int done) const
{
    return tr("IDS_EXPORT_BOOKMARKS_TO_ANDROID_SUC_%1").arg(done);
}
