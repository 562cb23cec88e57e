#include "androidtransfermusica2athread.h"

AndroidTransferMusicA2AThread::AndroidTransferMusicA2AThread(int nodeType, AndroidDeviceInfo* source,
                                                             AndroidDeviceInfo* target, const QList<MusicRecord>& items,
                                                             JobReport* progress, QObject* parent)
    : AndroidTransferA2AThread(source, target, progress, parent)
    , m_nodeType(nodeType)
{
    for (const MusicRecord& r : items)
        m_items.append({r.title, r.path, r.modified, QString()});
}

QString AndroidTransferMusicA2AThread::serviceName() const
{
    return m_nodeType == kMusic ? QStringLiteral("music") : QStringLiteral("ringtones");
}

QString AndroidTransferMusicA2AThread::resultText(int taken) const
{
    return (m_nodeType == kMusic ? tr("IDS_SUC_TRANSFER_%1_MUSIC") : tr("IDS_SUC_TRANSFER_%1_RINGTONES")).arg(taken);
}
