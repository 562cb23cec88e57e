// Fetches small pictures of a phone's photos on demand over the Phone
// Agent's "image-thumbnails" service and keeps them as 128 x 128 JPEG files
// in the phone's cache folder "thumbnails", named by the MD5 of the phone
// path. What the phone sends is read by the picture reader (JPEG or PNG
// within its bounds, upright; a stop ends it). A thumbnail is written beside its name and renamed when complete; a
// kept one that is not a whole JPEG is fetched again. Failures only skip a
// path (they are logged); nothing is shown to the user.
//
// Long-lived: the photos page fills requests while no run is going on,
// calls fetch(), and stop() before it fills them again. The thread is a
// worker that lives as long as the object and owns the service connection:
// one connection serves every run, and nothing is sent when a run ends. A
// connection found closed or out of step before a request is replaced.
#pragma once

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <utility>

class AndroidDeviceInfo;
class PhoneSession;

class AndroidLoadThumbnailsThread : public QThread {
    Q_OBJECT
public:
    // A thumbnail larger than this is refused.
    static constexpr qint64 kMaxThumbnailBytes = 16ll * 1024 * 1024;

    AndroidLoadThumbnailsThread(AndroidDeviceInfo* device, QObject* parent = nullptr);
    // Ends a run and the worker; the connection is dropped without a word.
    ~AndroidLoadThumbnailsThread() override;

    // Absolute path of the thumbnail of a phone path.
    QString thumbnailPath(const QString& source) const;
    // Starts a run over requests (the worker starts with the first run).
    void fetch();
    // Asks the run to end, waits for it (a blocked read ends within a moment),
    // then clears the flag and the requests. The connection stays.
    void stop();
    // Waits up to ms for the run to end; true when no run is going on.
    bool waitIdle(int ms);

    // Phone paths to fetch, in the page's row order; touched only while no
    // run is going on.
    QStringList requests;

Q_SIGNALS:
    // A thumbnail was saved; the position of its path in requests.
    void refresh(int index);

protected:
    void run() override;

private:
    void runOnce(const QStringList& paths);
    void fetchOne(const QString& path, int index);
    bool connectionUsable() const;
    // Whether a kept thumbnail is whole. A file found whole is not decoded
    // again while its size and time stay the same, so that showing an album
    // again reads no picture twice.
    bool keptWhole(const QString& file);

    AndroidDeviceInfo* m_device;
    QDir m_thumbnailsDir;
    std::atomic<bool> m_stopRequested {false};
    std::atomic<bool> m_quit {false};
    PhoneSession* m_session = nullptr; // the worker's own, while it runs
    QHash<QString, std::pair<qint64, QDateTime>> m_whole; // worker thread only

    QMutex m_mutex;
    QWaitCondition m_changed;
    QStringList m_batch; // the run handed to the worker
    bool m_pending = false; // a run waits for the worker
    bool m_busy = false; // a run is pending or going on
};
