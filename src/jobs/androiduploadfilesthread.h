// Copies files and whole folder trees from the PC into a folder of a
// connected phone over the Phone Agent's "upload" restore service. Each file
// travels as "$file:" with its phone path, its bytes as acknowledged blocks
// (FileBlockSender), then "." and the phone's "$file:". No line is sent for a
// folder: the phone makes the folders of the paths it receives, so an empty
// folder sends nothing.
//
// Chosen folders are walked in the file system's order: hidden entries
// inside them are skipped (a hidden entry chosen itself goes), links are
// followed, and a folder that leads back to one on its walk (a link loop) is
// skipped. A file whose phone path cannot travel as one line (a line break in
// a name) is not sent; the others go on, and the job then ends in an error
// that names the files left behind instead of claiming success.
//
// A cancel or a failure stops the Phone Agent; what the phone has received
// stays, a file cut off in the middle is the phone's to drop.
#pragma once

#include "jobs/fileblocksender.h"

#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <QThread>

class AndroidDeviceInfo;
class FolderWalk;
class JobReport;
class QTcpSocket;

class AndroidUploadFilesThread : public QThread {
    Q_OBJECT

public:
    // targetFolder is an absolute phone path; nothing is owned.
    AndroidUploadFilesThread(AndroidDeviceInfo* device, const QString& targetFolder, const QList<QFileInfo>& entries,
                             JobReport* progress, QObject* parent = nullptr);

    // After the run: the files found under the entries, those the phone
    // took, and the local paths of those not sent for their names.
    int totalFiles() const { return int(m_items.size()); }
    int sentFiles() const { return m_sent; }
    QStringList refusedFiles() const { return m_refused; }

    // A phone folder joined with a name ("/" is not doubled after the root).
    static QString joinPhonePath(const QString& folder, const QString& name);

protected:
    void run() override;

private:
    struct Item {
        QString phonePath;
        QString localPath;
        QString name;
    };

    void collect(const QString& phoneFolder, const QFileInfo& entry, FolderWalk& walk);
    void upload(QTcpSocket* s, const Item& item, int number);

    AndroidDeviceInfo* m_device;
    QString m_targetFolder;
    QList<QFileInfo> m_entries;
    JobReport* m_progress;
    FileBlockSender m_sender;
    QList<Item> m_items;
    int m_sent = 0;
    QStringList m_refused;
};
