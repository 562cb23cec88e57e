#include "phonelink/androidloadbookmarksthread.h"

#include "records/bookmarkrecord.h"
#include "records/localbookmarkdb.h"

AndroidLoadBookmarksThread::AndroidLoadBookmarksThread(AndroidDeviceInfo* device, LocalBookmarkDb* cacheDb,
                                                       JobReport* progress, QObject* parent)
    : AndroidLoadThread(device, cacheDb, progress, parent)
    , m_db(cacheDb)
{
}

void AndroidLoadBookmarksThread::load()
{
    openService(QStringLiteral("bookmarks"));
    beginTran();
    const qint64 total = readCount();
    qint64 done = 0;

    BatchRules rules;
    rules.recordCommands = {QStringLiteral("$bookmark:")};
    rules.topError = [](const QString& line) { return QStringLiteral("invalid command($end:,$batch:), ") + line; };
    rules.batchError = [](const QString& line) { return QStringLiteral("invalid command($end:,$bookmark:), ") + line; };
    readBatches(rules, [&](const QString&, const QString& rest) {
        checkCanceled();
        ++done;
        postRecordProgress(done, total, tr("Bookmarks:%1 / %2").arg(done).arg(total));
        const QStringList f = rest.split(QLatin1Char(','));
        const qint64 phoneId = loaderfields::int64At(f, 0);
        // The order index keeps the id's low 32 bits; the source id all of it.
        BookmarkRecord record(nullptr, false, loaderfields::textAt(f, 1), loaderfields::textAt(f, 2),
                              qint32(quint32(quint64(phoneId) & 0xffffffffu)), QString::number(phoneId));
        QList<BookmarkRecord*> inserted;
        m_db->addBookmarkWithParents(&record, &inserted);
    });
    finish();
}
