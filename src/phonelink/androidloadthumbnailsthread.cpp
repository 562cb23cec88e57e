#include "phonelink/androidloadthumbnailsthread.h"

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/fileutils.h"
#include "shell/core/imageutils.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTcpSocket>

#include <stdexcept>

AndroidLoadThumbnailsThread::AndroidLoadThumbnailsThread(AndroidDeviceInfo* device, QObject* parent)
    : QThread(parent)
    , m_device(device)
    , m_thumbnailsDir(device->cacheDir().absoluteFilePath(QStringLiteral("thumbnails")))
{
    QDir().mkpath(m_thumbnailsDir.absolutePath());
}

AndroidLoadThumbnailsThread::~AndroidLoadThumbnailsThread()
{
    stop();
}

QString AndroidLoadThumbnailsThread::thumbnailPath(const QString& source) const
{
    return m_thumbnailsDir.absoluteFilePath(md5Hex(source));
}

void AndroidLoadThumbnailsThread::stop()
{
    m_stopRequested = true;
    wait();
    m_stopRequested = false;
    requests.clear();
}

void AndroidLoadThumbnailsThread::dropSocket()
{
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
}

void AndroidLoadThumbnailsThread::run()
{
    // A stop also ends a read that waits for the phone.
    simpleprotocol::CancelScope cancel([this] { return m_stopRequested.load(); });
    const QStringList paths = requests;
    int index = -1;
    for (const QString& path : paths) {
        if (m_stopRequested)
            break;
        ++index;
        if (path.isEmpty() || QFile::exists(thumbnailPath(path)))
            continue;
        if (!m_socket) {
            try {
                const QString url
                    = QStringLiteral("backup://127.0.0.1:%1/image-thumbnails").arg(simpleprotocol::nextLocalPort());
                m_socket.reset(m_device->connect(url, kConnectTimeoutMs));
            } catch (int) {
                break;
            } catch (const std::exception& e) {
                qDebug("AndroidLoadThumbnailsThread::run, open image-thumbnails service failed. %s", e.what());
                continue;
            }
        }
        try {
            fetch(path, index);
        } catch (int) {
            dropSocket();
            break;
        } catch (const std::exception& e) {
            qDebug("AndroidLoadThumbnailsThread::run, download file %s failed. %s", qUtf8Printable(path), e.what());
            dropSocket();
        }
    }
    // The connection was made on this run's thread, which has no event loop
    // to delete it later: close it now, the next run opens a new one.
    if (m_socket) {
        try {
            simpleprotocol::sendCommand(m_socket.get(), QStringLiteral("$bye:"), QString(), true, 1000);
        } catch (...) {
        }
        dropSocket();
    }
}

void AndroidLoadThumbnailsThread::fetch(const QString& path, int index)
{
    QTcpSocket* s = m_socket.get();
    simpleprotocol::sendCommand(s, QStringLiteral("$dload:"),
                                simpleprotocol::encodeField(path) + QStringLiteral(",16384,40"), true, -1);
    const QString head = simpleprotocol::expectCommand(s, QStringLiteral("$file:"), -1);
    bool announced = false;
    const qint64 size = head.mid(6).toLongLong(&announced);

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
    if (announced && picture.size() != size)
        throw std::runtime_error(QStringLiteral("download %1 failed: %2 bytes announced, %3 received.")
                                     .arg(path)
                                     .arg(size)
                                     .arg(picture.size())
                                     .toStdString());
    if (m_stopRequested)
        return;
    // JPEG or PNG only; QImage would otherwise guess any format it knows.
    QImage image;
    for (const char* format : {"JPEG", "PNG"}) {
        QBuffer buffer(&picture);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        if (reader.read(&image))
            break;
    }
    if (image.isNull())
        return;
    fitImageToCanvas(image, QSize(128, 128));
    if (!image.save(thumbnailPath(path), "JPEG")) {
        qDebug("AndroidLoadThumbnailsThread::run, can not save %s", qUtf8Printable(thumbnailPath(path)));
        return;
    }
    if (!m_stopRequested)
        Q_EMIT refresh(index);
}
