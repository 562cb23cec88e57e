// Copies files and whole folders from a phone into a folder on the PC over
// one connection to the Phone Agent's "download" service. Each file travels
// as acknowledged raw blocks, streamed to disk in bounded chunks; progress
// is shown per block and a cancel takes effect between blocks.
//
// A file is received into a temporary file beside its target and replaces
// the target only when complete (while the phone answers the next request):
// a failed or cancelled transfer removes the temporary file of the file it
// was receiving and leaves a copy extracted earlier as it was; files
// received whole before it stay.
//
// Names from the phone never leave the target folder: an entry whose name is
// empty, "." or "..", or that would resolve outside its folder (also through
// a link already there), is not written; its subtree is skipped. So is an
// entry the listing kept out of reach (not exportable), and a file whose path
// cannot travel as one line; the others go on. All of them are named in
// refusedNames().
#pragma once

#include <QDir>
#include <QList>
#include <QStringList>
#include <QThread>

#include <memory>

class AndroidDeviceInfo;
class JobReport;
class OutputFile;
class QTcpSocket;
struct _RemoteFile;

class AndroidDownloadFilesThread : public QThread {
    Q_OBJECT
public:
    AndroidDownloadFilesThread(AndroidDeviceInfo* device, const QList<_RemoteFile*>& items, const QDir& target,
                               JobReport* progress, QObject* parent = nullptr);
    ~AndroidDownloadFilesThread() override;

    qint64 filesTotal = 0;
    qint64 filesDone = 0; // files begun
    qint64 filesWritten = 0; // files complete (the success text's count)

    // Phone paths of the entries whose names were refused.
    QStringList refusedNames() const { return m_refused; }

protected:
    void run() override;

private:
    void downloadItem(_RemoteFile* node, const QDir& folder);
    void downloadFile(_RemoteFile* node, const QString& name, const QString& localPath);
    // Renames the last file received whole over its target.
    void commitReceived();
    // The same after a failure or a cancel: a file received whole stays.
    void keepReceived();

    AndroidDeviceInfo* m_device;
    QList<_RemoteFile*> m_items;
    QDir m_target;
    JobReport* m_progress;
    QTcpSocket* m_socket = nullptr; // the run's session's
    std::unique_ptr<OutputFile> m_received; // received whole, not yet in place
    QStringList m_refused;
};
