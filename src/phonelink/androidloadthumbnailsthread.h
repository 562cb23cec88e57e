// Fetches small pictures of a phone's photos on demand over the Phone
// Agent's "image-thumbnails" service and keeps them as 128 x 128 JPEG files
// in the phone's cache folder "thumbnails", named by the MD5 of the phone
// path. Long-lived: the photos page fills requests while the thread is not
// running, starts it, and stops it before the next list. Failures only skip
// a path (they are logged); nothing is shown to the user.
#pragma once

#include <QDir>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>

class AndroidDeviceInfo;
class QTcpSocket;

class AndroidLoadThumbnailsThread : public QThread {
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 10000;
    // A thumbnail larger than this is refused.
    static constexpr qint64 kMaxThumbnailBytes = 16ll * 1024 * 1024;

    AndroidLoadThumbnailsThread(AndroidDeviceInfo* device, QObject* parent = nullptr);
    // Stops a running fetch and waits for it.
    ~AndroidLoadThumbnailsThread() override;

    // Absolute path of the thumbnail of a phone path.
    QString thumbnailPath(const QString& source) const;
    // Asks the run to end, waits for it (a blocked read ends within a moment),
    // then clears the flag and the requests.
    void stop();

    // Phone paths to fetch, in the page's row order; touched only while the
    // thread is not running.
    QStringList requests;

Q_SIGNALS:
    // A thumbnail was saved; the position of its path in requests.
    void refresh(int index);

protected:
    void run() override;

private:
    void fetch(const QString& path, int index);
    void dropSocket();

    AndroidDeviceInfo* m_device;
    QDir m_thumbnailsDir;
    std::atomic<bool> m_stopRequested {false};
    std::unique_ptr<QTcpSocket> m_socket;
};
