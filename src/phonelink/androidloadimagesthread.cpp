#include "phonelink/androidloadimagesthread.h"

#include "records/recordtime.h"

#include <algorithm>

AndroidLoadImagesThread::AndroidLoadImagesThread(int kind, AndroidDeviceInfo* device, JobReport* progress,
                                                 QObject* parent)
    : AndroidLoadThread(device, nullptr, progress, parent)
    , m_kind(kind)
{
}

QList<PhotoBucket> AndroidLoadImagesThread::buckets() const
{
    QList<PhotoBucket> out = m_albums.values();
    std::stable_sort(out.begin(), out.end(),
                     [](const PhotoBucket& a, const PhotoBucket& b) { return a.name < b.name; });
    return out;
}

QList<PhotoRecord> AndroidLoadImagesThread::bucketItems() const
{
    QList<PhotoRecord> out;
    for (const PhotoBucket& album : m_albums)
        out += album.photos;
    std::stable_sort(out.begin(), out.end(),
                     [](const PhotoRecord& a, const PhotoRecord& b) { return b.date < a.date; });
    return out;
}

void AndroidLoadImagesThread::load()
{
    m_albums.clear();
    const bool photos = m_kind == kKindPhotos;
    const QString record = photos ? QStringLiteral("$img:") : QStringLiteral("$video:");
    openService(photos ? QStringLiteral("images") : QStringLiteral("videos"));
    const qint64 total = readCount();
    qint64 done = 0;

    BatchRules rules;
    rules.recordCommands = {record};
    rules.tellPhone = false;
    rules.topError = [](const QString& line) { return QStringLiteral("invalid command($bye:,$batch:), %1").arg(line); };
    rules.batchError
        = [record](const QString& line) { return QStringLiteral("invalid command($end:,%1), %2").arg(record, line); };
    readBatches(rules, [&](const QString& command, const QString& rest) {
        checkCanceled();
        ++done;
        postRecordProgress(done, total, tr("Images:%1/%2").arg(done).arg(total));
        const QStringList f = rest.split(QLatin1Char(','));
        if (f.size() < 7)
            fail(true, QStringLiteral("invalid %1, %2").arg(command, command + rest));
        PhotoRecord photo;
        photo.rawRef = f.at(0);
        photo.name = loaderfields::textAt(f, 1);
        photo.date = records::dateTimeFromSecs(f.at(2).toLongLong());
        photo.path = loaderfields::textAt(f, 4);
        photo.altPath = photo.path;
        photo.bucketName = loaderfields::textAt(f, 5);
        photo.bucketId = f.at(6).toLongLong();
        auto album = m_albums.find(photo.bucketId);
        if (album == m_albums.end())
            album = m_albums.insert(photo.bucketId, PhotoBucket(photo.bucketId, photo.bucketName));
        album->photos.append(photo);
    });
    finish();
}
