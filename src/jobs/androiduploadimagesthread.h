// Adds PC picture files to a phone's photos (node type 15) or video files
// to its videos (any other type), over the "images" or "videos" restore
// service. Each file is offered as "$img:" / "$video:" with its name and
// time and two empty fields (the source path and album only a phone has).
#pragma once

#include "jobs/androiduploadmediathread.h"

class AndroidUploadImagesThread : public AndroidUploadMediaThread {
    Q_OBJECT

public:
    static constexpr int kPhotos = 15;

    AndroidUploadImagesThread(int nodeType, AndroidDeviceInfo* device, const QStringList& localPaths,
                              JobReport* progress, QObject* parent = nullptr);

protected:
    QString serviceName() const override;
    QString itemCommand() const override;
    QString emptyTail() const override { return QStringLiteral(",,"); }
    QString resultText(int taken) const override;
};
