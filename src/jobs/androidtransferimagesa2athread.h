// Copies photos (node type 15) or videos (any other type) from one phone
// into another's "images" or "videos" collection, offering each as "$img:"
// / "$video:" with its file name, date, source path and album.
#pragma once

#include "jobs/androidtransfera2athread.h"
#include "records/mediarecords.h"

class AndroidTransferImagesA2AThread : public AndroidTransferA2AThread {
    Q_OBJECT

public:
    static constexpr int kPhotos = 15;

    AndroidTransferImagesA2AThread(int nodeType, AndroidDeviceInfo* source, AndroidDeviceInfo* target,
                                   const QList<PhotoRecord>& items, JobReport* progress, QObject* parent = nullptr);

protected:
    QString serviceName() const override;
    QString itemCommand() const override;
    bool hasAlbum() const override { return true; }
    QString resultText(int taken) const override;

private:
    int m_nodeType;
};
