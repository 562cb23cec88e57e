#include "androiduploadmusicthread.h"

AndroidUploadMusicThread::AndroidUploadMusicThread(int nodeType, AndroidDeviceInfo* device,
                                                   const QStringList& localPaths, JobReport* progress, QObject* parent)
    : AndroidUploadMediaThread(nodeType, device, localPaths, progress, parent)
{
}

QString AndroidUploadMusicThread::serviceName() const
{
    return nodeType == kMusic ? QStringLiteral("music") : QStringLiteral("ringtones");
}

QString AndroidUploadMusicThread::resultText(int taken) const
{
    return (nodeType == kMusic ? tr("IDS_SUC_IMPORT_%1_MUSIC_TO_ANDROID")
                               : tr("IDS_SUC_IMPORT_%1_RINGTONES_TO_ANDROID"))
        .arg(taken);
}
