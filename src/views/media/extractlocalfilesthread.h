// Extract on a virtual device: copies entries of its "file-sys" folder into
// a folder on the PC, each file under its name and each folder as a folder
// of that name holding its entries as read for the page. Every file is
// written beside its target and takes the target's name only when complete,
// so a cancel or a failure leaves no partial file and an earlier copy whole.
#pragma once

#include <QDir>
#include <QList>
#include <QThread>

class JobReport;
struct _RemoteFile;

class ExtractLocalFilesThread : public QThread {
    Q_OBJECT

public:
    // The entries stay the caller's and must outlive the run.
    ExtractLocalFilesThread(const QList<_RemoteFile*>& entries, const QDir& target, JobReport* progress,
                            QObject* parent = nullptr);

protected:
    void run() override;

private:
    void copyItem(const _RemoteFile* entry, const QDir& folder);
    void copyFile(const _RemoteFile* entry, const QString& localPath);

    QList<_RemoteFile*> m_entries;
    QDir m_target;
    JobReport* m_progress;
    qint64 m_total = 0;
    qint64 m_done = 0;
};
