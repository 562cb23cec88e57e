#include "virtualphotoalbums.h"

#include "pictures/picturereader.h"
#include "shell/core/fileutils.h"
#include "shell/core/imageutils.h"
#include "shell/core/outputfile.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <algorithm>

namespace virtualphotoalbums {

namespace {

// Makes the thumbnail beside the picture, read by the picture reader
// (within its bounds, upright) while checkCanceled is heard; a picture it
// does not read, or a thumbnail that cannot be written, leaves none.
void makeThumbnail(const QString& picture, const QString& thumbnail, const std::function<void()>& checkCanceled)
{
    QImage image = pictures::madeHearing(
        [&picture](const std::atomic_bool& stop) { return readPicture(picture, &stop); }, checkCanceled);
    if (image.isNull())
        return;
    fitImageToCanvas(image, QSize(128, 128));
    OutputFile out(thumbnail);
    if (out.open() && image.save(out.device(), "JPEG"))
        out.commit();
}

} // namespace

void read(const QString& kindFolder, QList<PhotoBucket>& albums, const std::function<void(int)>& progress,
          const std::function<void()>& checkCanceled)
{
    albums.clear();
    const QDir root(kindFolder);
    if (!root.exists())
        return;
    int number = 0;
    const QFileInfoList folders = root.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& folder : folders) {
        albums.append(PhotoBucket(albums.size() + 1, folder.fileName()));
        PhotoBucket& album = albums.last();
        const QDir dir(folder.absoluteFilePath());
        // Name filters ignore letter case ("IMG.JPG" too).
        const QFileInfoList pictures = dir.entryInfoList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Unsorted);
        for (const QFileInfo& picture : pictures) {
            if (progress)
                progress(++number);
            const QString thumbnail = dir.absoluteFilePath(picture.baseName() + QStringLiteral(".thm"));
            if (!QFileInfo::exists(thumbnail))
                makeThumbnail(picture.absoluteFilePath(), thumbnail, checkCanceled);
            PhotoRecord r;
            r.name = picture.baseName();
            r.date = picture.lastModified();
            r.path = picture.absoluteFilePath();
            r.altPath = thumbnail;
            r.bucketName = album.name;
            r.bucketId = album.id;
            album.photos.append(r);
        }
    }
}

QList<PhotoRecord> newestFirst(QList<PhotoRecord> records)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const PhotoRecord& a, const PhotoRecord& b) { return b.date < a.date; });
    return records;
}

QList<PhotoRecord> newestFirst(const QList<PhotoBucket>& albums)
{
    QList<PhotoRecord> all;
    for (const PhotoBucket& album : albums)
        all += album.photos;
    return newestFirst(all);
}

} // namespace virtualphotoalbums
