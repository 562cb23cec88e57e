#include "androidtransferimagesa2athread.h"

AndroidTransferImagesA2AThread::AndroidTransferImagesA2AThread(int nodeType, AndroidDeviceInfo* source,
                                                               AndroidDeviceInfo* target,
                                                               const QList<PhotoRecord>& items, JobReport* progress,
                                                               QObject* parent)
    : AndroidTransferA2AThread(source, target, progress, parent)
    , m_nodeType(nodeType)
{
    for (const PhotoRecord& r : items)
        m_items.append({r.name, r.path, r.date, r.bucketName});
}

QString AndroidTransferImagesA2AThread::serviceName() const
{
    return m_nodeType == kPhotos ? QStringLiteral("images") : QStringLiteral("videos");
}

QString AndroidTransferImagesA2AThread::itemCommand() const
{
    return m_nodeType == kPhotos ? QStringLiteral("$img:") : QStringLiteral("$video:");
}

QString AndroidTransferImagesA2AThread::resultText(int taken) const
{
    return (m_nodeType == kPhotos ? tr("IDS_SUC_TRANSFER_%1_IMAGES") : tr("IDS_SUC_TRANSFER_%1_VIDEOS")).arg(taken);
}
