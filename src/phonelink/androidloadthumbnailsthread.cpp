#include "phonelink/androidloadthumbnailsthread.h"

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "pictures/picturereader.h"
#include "shell/core/fileutils.h"
#include "shell/core/imageutils.h"
#include "shell/core/outputfile.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutexLocker>
#include <QTcpSocket>

namespace {

// Whether a thumbnail file is whole: a JPEG that the picture reader reads
// and that ends with its end-of-image marker (the decoder takes a file cut
// short all the same and fills the rest with grey).
bool isWholeThumbnail(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > AndroidLoadThumbnailsThread::kMaxThumbnailBytes)
        return false;
    const QByteArray bytes = f.readAll();
    QByteArray format;
    return bytes.endsWith("\xFF\xD9") && !readPictureBytes(bytes, nullptr, &format).isNull() && format == "jpeg";
}

} // namespace

AndroidLoadThumbnailsThread::AndroidLoadThumbnailsThread(AndroidDeviceInfo* device, QObject* parent)
    : QThread(parent)
    , m_device(device)
    , m_thumbnailsDir(device->cacheDir().absoluteFilePath(QStringLiteral("thumbnails")))
{
    QDir().mkpath(m_thumbnailsDir.absolutePath());
}

AndroidLoadThumbnailsThread::~AndroidLoadThumbnailsThread()
{
    m_quit = true;
    m_stopRequested = true;
    {
        QMutexLocker lock(&m_mutex);
        m_changed.wakeAll();
    }
    wait();
}

QString AndroidLoadThumbnailsThread::thumbnailPath(const QString& source) const
{
    return m_thumbnailsDir.absoluteFilePath(md5Hex(source));
}

void AndroidLoadThumbnailsThread::fetch()
{
    {
        QMutexLocker lock(&m_mutex);
        m_batch = requests;
        m_pending = true;
        m_busy = true;
        m_changed.wakeAll();
    }
    if (!isRunning())
        start();
}

void AndroidLoadThumbnailsThread::stop()
{
    m_stopRequested = true;
    {
        QMutexLocker lock(&m_mutex);
        if (m_pending) {
            // Not taken up yet: it never runs.
            m_pending = false;
            m_busy = false;
        }
        while (m_busy)
            m_changed.wait(&m_mutex);
    }
    m_stopRequested = false;
    requests.clear();
}

bool AndroidLoadThumbnailsThread::waitIdle(int ms)
{
    const QDeadlineTimer deadline(ms);
    QMutexLocker lock(&m_mutex);
    while (m_busy)
        if (!m_changed.wait(&m_mutex, deadline))
            return !m_busy;
    return true;
}

void AndroidLoadThumbnailsThread::run()
{
    // A stop also ends a read that waits for the phone.
    simpleprotocol::CancelScope cancel([this] { return m_stopRequested.load(); });
    // Failures only skip a path: they never stop the Phone Agent.
    PhoneSession session(*m_device, PhoneSession::OnFailure::KeepAgent);
    m_session = &session;
    for (;;) {
        QStringList paths;
        {
            QMutexLocker lock(&m_mutex);
            while (!m_pending && !m_quit)
                m_changed.wait(&m_mutex);
            if (m_quit)
                break;
            m_pending = false;
            paths = m_batch;
        }
        runOnce(paths);
        QMutexLocker lock(&m_mutex);
        m_busy = false;
        m_changed.wakeAll();
    }
    // The connection belongs to this thread; it ends here, without a word.
    session.drop();
    m_session = nullptr;
}

bool AndroidLoadThumbnailsThread::keptWhole(const QString& file)
{
    const QFileInfo info(file);
    if (!info.isFile())
        return false;
    const std::pair<qint64, QDateTime> stamp {info.size(), info.lastModified()};
    const auto known = m_whole.constFind(file);
    if (known != m_whole.constEnd() && *known == stamp)
        return true;
    if (!isWholeThumbnail(file))
        return false;
    m_whole.insert(file, stamp);
    return true;
}

void AndroidLoadThumbnailsThread::runOnce(const QStringList& paths)
{
    int index = -1;
    for (const QString& path : paths) {
        if (m_stopRequested)
            return;
        ++index;
        // A thumbnail kept from an earlier run is used when it is whole;
        // one that does not decode is fetched again.
        if (path.isEmpty() || keptWhole(thumbnailPath(path)))
            continue;
        if (!connectionUsable()) {
            try {
                m_session->open(PhoneSession::Scheme::Backup, QStringLiteral("image-thumbnails"));
            } catch (int) {
                return;
            } catch (const std::exception& e) {
                qDebug("AndroidLoadThumbnailsThread::run, open image-thumbnails service failed. %s", e.what());
                continue;
            }
        }
        try {
            fetchOne(path, index);
        } catch (int) {
            m_session->drop();
            return;
        } catch (const std::exception& e) {
            qDebug("AndroidLoadThumbnailsThread::run, download file %s failed. %s", qUtf8Printable(path), e.what());
            m_session->drop();
        }
    }
}

bool AndroidLoadThumbnailsThread::connectionUsable() const
{
    QTcpSocket* s = m_session->socket();
    if (!s)
        return false;
    // Between requests the phone has nothing to say: a closed connection
    // or a line waiting (an "$error:" of a phone that gave up on it) means
    // it is no longer in step.
    if (s->bytesAvailable() == 0 && s->state() == QAbstractSocket::ConnectedState)
        s->waitForReadyRead(0);
    return s->state() == QAbstractSocket::ConnectedState && s->bytesAvailable() == 0;
}

void AndroidLoadThumbnailsThread::fetchOne(const QString& path, int index)
{
    QTcpSocket* s = m_session->socket();
    simpleprotocol::sendCommand(s, QStringLiteral("$dload:"),
                                simpleprotocol::encodeField(path) + QStringLiteral(",16384,40"), true, -1);
    // The number after "$file:" is not used: an agent may announce the
    // source's size and send a scaled picture.
    simpleprotocol::expectCommand(s, QStringLiteral("$file:"), -1);

    QByteArray picture;
    for (;;) {
        if (m_stopRequested)
            throw int(-1);
        const QString line = simpleprotocol::readLine(s, -1);
        if (line == QLatin1String("."))
            break;
        if (line.startsWith(QLatin1String("$error:")))
            throw simpleprotocol::RemoteException(simpleprotocol::decodeField(line.mid(7)));
        simpleprotocol::sendCommand(s, QStringLiteral("."), QString(), true, -1);
        picture += QByteArray::fromBase64(line.toLatin1());
        if (picture.size() > kMaxThumbnailBytes)
            throw simpleprotocol::LocalException(s, QStringLiteral("thumbnail of %1 too large").arg(path));
    }
    simpleprotocol::sendCommand(s, QStringLiteral("$file:"), QString(), true, -1);
    if (m_stopRequested)
        return;
    // As JPEG or PNG only, within the reader's bounds, upright.
    QImage image = readPictureBytes(picture, &m_stopRequested);
    if (image.isNull())
        return;
    fitImageToCanvas(image, QSize(128, 128));
    // Encoded first, then written whole or not at all (OutputFile): a failed
    // write leaves no thumbnail that later runs would take for a good one.
    QByteArray jpeg;
    QBuffer encoded(&jpeg);
    encoded.open(QIODevice::WriteOnly);
    OutputFile file(thumbnailPath(path));
    if (!image.save(&encoded, "JPEG") || !file.open() || !file.write(jpeg) || !file.commit()) {
        qDebug("AndroidLoadThumbnailsThread::run, can not save %s. %s", qUtf8Printable(thumbnailPath(path)),
               qUtf8Printable(file.errorString()));
        return;
    }
    if (!m_stopRequested)
        Q_EMIT refresh(index);
}
