#include "androiduploadimagesthread.h"

AndroidUploadImagesThread::AndroidUploadImagesThread(int nodeType, AndroidDeviceInfo* device,
                                                     const QStringList& localPaths, JobReport* progress,
                                                     QObject* parent)
    : AndroidUploadMediaThread(nodeType, device, localPaths, progress, parent)
{
}

QString AndroidUploadImagesThread::serviceName() const
{
    return nodeType == kPhotos ? QStringLiteral("images") : QStringLiteral("videos");
}

QString AndroidUploadImagesThread::itemCommand() const
{
    return nodeType == kPhotos ? QStringLiteral("$img:") : QStringLiteral("$video:");
}

QString AndroidUploadImagesThread::resultText(int taken) const
{
    return (nodeType == kPhotos ? tr("IDS_SUC_IMPORT_%1_IMAGES_TO_ANDROID") : tr("IDS_SUC_IMPORT_%1_VIDEOS_TO_ANDROID"))
        .arg(taken);
}
