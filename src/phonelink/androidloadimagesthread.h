// Lists the phone's photos (kind 15) or videos (any other kind) grouped by
// album, in memory. The page reads the result after the thread has ended,
// whatever the outcome: a failed or cancelled load keeps what arrived.
#pragma once

#include "phonelink/androidloadthread.h"
#include "records/mediarecords.h"

#include <QMap>

class AndroidLoadImagesThread : public AndroidLoadThread {
    Q_OBJECT
public:
    static constexpr int kKindPhotos = 15;

    AndroidLoadImagesThread(int kind, AndroidDeviceInfo* device, JobReport* progress, QObject* parent = nullptr);

    // The albums in ascending order of name (code-unit comparison; albums of
    // equal names stay in ascending album id order).
    QList<PhotoBucket> buckets() const;
    void buckets(QList<PhotoBucket>& out) const { out = buckets(); }
    // Every item of every album, newest first (equal dates keep album and
    // arrival order).
    QList<PhotoRecord> bucketItems() const;
    void bucketItems(QList<PhotoRecord>& out) const { out = bucketItems(); }

protected:
    void load() override;

private:
    int m_kind;
    QMap<qint64, PhotoBucket> m_albums;
};
