// Adds PC audio files to a phone's music (node type 17) or ringtones (any
// other type), over the "music" or "ringtones" restore service. Each file
// is offered as "$music:" with its name and time and one empty field (the
// source path only a phone has).
#pragma once

#include "jobs/androiduploadmediathread.h"

class AndroidUploadMusicThread : public AndroidUploadMediaThread {
    Q_OBJECT

public:
    static constexpr int kMusic = 17;

    AndroidUploadMusicThread(int nodeType, AndroidDeviceInfo* device, const QStringList& localPaths,
                             JobReport* progress, QObject* parent = nullptr);

protected:
    QString serviceName() const override;
    QString itemCommand() const override { return QStringLiteral("$music:"); }
    QString emptyTail() const override { return QStringLiteral(","); }
    QString resultText(int taken) const override;
};
