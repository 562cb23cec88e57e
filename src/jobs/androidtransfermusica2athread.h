// Copies songs (node type 17) or ringtones (any other type) from one phone
// into another's "music" or "ringtones" collection, offering each as
// "$music:" with its file name, date and source path.
#pragma once

#include "jobs/androidtransfera2athread.h"
#include "records/mediarecords.h"

class AndroidTransferMusicA2AThread : public AndroidTransferA2AThread {
    Q_OBJECT

public:
    static constexpr int kMusic = 17;

    AndroidTransferMusicA2AThread(int nodeType, AndroidDeviceInfo* source, AndroidDeviceInfo* target,
                                  const QList<MusicRecord>& items, JobReport* progress, QObject* parent = nullptr);

protected:
    QString serviceName() const override;
    QString itemCommand() const override { return QStringLiteral("$music:"); }
    bool hasAlbum() const override { return false; }
    QString resultText(int taken) const override;

private:
    int m_nodeType;
};
