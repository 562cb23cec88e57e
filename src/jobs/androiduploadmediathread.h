// What the media uploads share: PC files offered one by one to a phone's
// media restore service ("images", "videos", "music", "ringtones"). The
// phone answers each offer; a file it wants goes as acknowledged blocks
// (FileBlockSender), one it declines sends nothing. The result counts the
// files the phone took.
//
// A file that cannot be opened or read ends the job (the phone is told with
// "$error:" first); a cancel or a failure stops the Phone Agent. What the
// phone has received stays.
#pragma once

#include <QStringList>
#include <QThread>

class AndroidDeviceInfo;
class JobReport;
class QFileInfo;

class AndroidUploadMediaThread : public QThread {
    Q_OBJECT

public:
    // After the run: files offered, and those the phone took.
    int offeredFiles() const { return m_offered; }
    int takenFiles() const { return m_taken; }

protected:
    // Nothing is owned; the paths are sent in their order.
    AndroidUploadMediaThread(int nodeType, AndroidDeviceInfo* device, const QStringList& localPaths,
                             JobReport* progress, QObject* parent);

    void run() override;

    // The restore service of the kind.
    virtual QString serviceName() const = 0;
    // "$img:", "$video:" or "$music:".
    virtual QString itemCommand() const = 0;
    // The fields after the name and time that only a phone can give, left
    // empty: ",," (photos, videos) or "," (music).
    virtual QString emptyTail() const = 0;
    virtual QString resultText(int taken) const = 0;

    int nodeType;

private:
    AndroidDeviceInfo* m_device;
    QStringList m_localPaths;
    JobReport* m_progress;
    int m_offered = 0;
    int m_taken = 0;
};

// The offer's fields of a local file: Base64 of its name, a comma, its last
// change in whole seconds since 1970.
QString mediaUploadFields(const QFileInfo& file);
