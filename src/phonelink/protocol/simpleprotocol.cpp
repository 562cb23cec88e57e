#include "phonelink/protocol/simpleprotocol.h"

#include "shell/core/jobreport.h"

#include <QDeadlineTimer>
#include <QIODevice>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTcpSocket>
#include <QTime>

#include <algorithm>
#include <atomic>

namespace simpleprotocol {

namespace {

// Bytes moved per read when streaming a block.
constexpr qint64 kChunkBytes = 64 * 1024;
// Queued output above this is pushed out before more is written, so a large
// block never sits whole in the socket's buffer.
constexpr qint64 kMaxQueuedBytes = 1024 * 1024;
// The "$error:" that announces a local abort is not worth waiting for longer.
constexpr int kErrorSendTimeoutMs = 10000;

thread_local std::function<bool()> t_canceled;

QString socketError(QTcpSocket* socket, const QString& fallback)
{
    if (socket->error() == QAbstractSocket::UnknownSocketError)
        return fallback;
    return socket->errorString();
}

QString timeoutText()
{
    return QStringLiteral("Socket operation timed out");
}

QDeadlineTimer deadlineFor(int timeoutMs)
{
    return timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
}

int sliceFor(const QDeadlineTimer& deadline)
{
    if (deadline.isForever())
        return kWaitSliceMs;
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, kWaitSliceMs));
}

// Waits until the socket has at least one byte to read.
void waitReadable(QTcpSocket* socket, int timeoutMs)
{
    const QDeadlineTimer deadline = deadlineFor(timeoutMs);
    for (;;) {
        checkCanceled();
        if (socket->bytesAvailable() > 0)
            return;
        if (socket->state() != QAbstractSocket::ConnectedState)
            throw SocketDataTransferException(socketError(socket, QStringLiteral("The connection is closed.")));
        if (deadline.hasExpired())
            throw SocketDataTransferException(timeoutText());
        if (socket->waitForReadyRead(sliceFor(deadline)))
            continue;
        if (socket->error() != QAbstractSocket::SocketTimeoutError && socket->bytesAvailable() == 0)
            throw SocketDataTransferException(socketError(socket, QStringLiteral("The connection is closed.")));
    }
}

// Waits until at most keepQueued bytes are still queued for writing.
void waitWritten(QTcpSocket* socket, qint64 keepQueued, int timeoutMs)
{
    const QDeadlineTimer deadline = deadlineFor(timeoutMs);
    while (socket->bytesToWrite() > keepQueued) {
        checkCanceled();
        if (socket->state() != QAbstractSocket::ConnectedState)
            throw SocketDataTransferException(socketError(socket, QStringLiteral("The connection is closed.")));
        if (deadline.hasExpired())
            throw SocketDataTransferException(timeoutText());
        if (socket->waitForBytesWritten(sliceFor(deadline)))
            continue;
        if (socket->error() != QAbstractSocket::SocketTimeoutError)
            throw SocketDataTransferException(socketError(socket, QStringLiteral("The connection is closed.")));
    }
}

// A line as the phone meant it: UTF-8 when its bytes are valid UTF-8
// (plain fields such as file names and MIME types carry any text), else
// one Latin-1 character per byte as the wire always allowed.
QString decodeLineBytes(const QByteArray& bytes)
{
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

// The phone ends a line at CR as well as at LF.
bool holdsLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// The text with CR and LF written as \r and \n, for one-line messages.
QString showLineBreaks(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

std::atomic<int> g_portCounter {1};
QMutex g_portProviderMutex;
std::function<int()> g_portProvider;

} // namespace

ProtocolException::ProtocolException(const QString& message)
    : std::runtime_error(message.toUtf8().toStdString())
{
}

LocalException::LocalException(QTcpSocket* socket, const QString& message)
    : ProtocolException(message)
{
    if (socket)
        sendCommand(socket, QStringLiteral("$error:"), encodeField(message), true, kErrorSendTimeoutMs);
}

RemoteException::RemoteException(const QString& message)
    : ProtocolException(message)
{
}

SocketDataTransferException::SocketDataTransferException(const QString& message)
    : ProtocolException(message)
{
}

ArgumentException::ArgumentException(const QString& message)
    : ProtocolException(message)
{
}

CancelScope::CancelScope(const JobReport* report)
    : CancelScope(report ? std::function<bool()>([report] { return report->userCanceled(); }) : std::function<bool()>())
{
}

CancelScope::CancelScope(std::function<bool()> canceled)
    : m_previous(std::move(t_canceled))
{
    t_canceled = std::move(canceled);
}

CancelScope::~CancelScope()
{
    t_canceled = std::move(m_previous);
}

void checkCanceled()
{
    if (isCanceled())
        throw int(jobreport::kCanceled);
}

bool isCanceled()
{
    return t_canceled && t_canceled();
}

void writeData(QTcpSocket* socket, const char* data, qint64 length, bool flush, int timeoutMs)
{
    if (length < 1)
        return;
    if (socket->state() != QAbstractSocket::ConnectedState)
        throw SocketDataTransferException(socketError(socket, QStringLiteral("The connection is closed.")));
    qint64 offset = 0;
    while (offset < length) {
        const qint64 piece = std::min(length - offset, kMaxQueuedBytes);
        const qint64 written = socket->write(data + offset, piece);
        if (written < 0)
            throw SocketDataTransferException(socketError(socket, QStringLiteral("The connection is closed.")));
        offset += written;
        // Keep the queue short; a write that took nothing waits for room.
        waitWritten(socket, written > 0 ? kMaxQueuedBytes : 0, timeoutMs);
    }
    if (flush)
        waitWritten(socket, 0, timeoutMs);
}

void writeString(QTcpSocket* socket, const QString& text, bool flush, int timeoutMs)
{
    const QByteArray bytes = text.toUtf8();
    writeData(socket, bytes.constData(), bytes.size(), flush, timeoutMs);
}

void readData(QTcpSocket* socket, char* buffer, qint64 length, int timeoutMs)
{
    qint64 offset = 0;
    while (offset < length) {
        const qint64 got = socket->read(buffer + offset, length - offset);
        if (got < 0)
            throw SocketDataTransferException(socketError(socket, QStringLiteral("The connection is closed.")));
        if (got > 0)
            offset += got;
        else
            waitReadable(socket, timeoutMs);
    }
}

void readDataTo(QTcpSocket* socket, QIODevice* out, qint64 length, int timeoutMs)
{
    QByteArray chunk(int(std::min(length, kChunkBytes)), Qt::Uninitialized);
    qint64 remaining = length;
    while (remaining > 0) {
        const qint64 got = socket->read(chunk.data(), std::min<qint64>(remaining, chunk.size()));
        if (got < 0)
            throw SocketDataTransferException(socketError(socket, QStringLiteral("The connection is closed.")));
        if (got == 0) {
            waitReadable(socket, timeoutMs);
            continue;
        }
        if (out->write(chunk.constData(), got) != got)
            throw LocalException(socket, QStringLiteral("can not write received data, %1").arg(out->errorString()));
        remaining -= got;
    }
}

void sendCommand(QTcpSocket* socket, const QString& command, const QString& argument, bool flush, int timeoutMs)
{
    if (holdsLineBreak(command) || holdsLineBreak(argument))
        throw ArgumentException(QStringLiteral("The argument of %1 contains a line break and was not sent: \"%2\"")
                                    .arg(showLineBreaks(command), showLineBreaks(argument)));
    QByteArray line = command.toUtf8();
    line += argument.toUtf8();
    line += '\n';
    writeData(socket, line.constData(), line.size(), flush, timeoutMs);
}

QString readLine(QTcpSocket* socket, int timeoutMs)
{
    QByteArray line;
    for (;;) {
        // QIODevice::readLine stops after the LF, so the bytes of a following
        // block stay in the socket for readData.
        const QByteArray piece = socket->readLine(kChunkBytes);
        if (piece.isEmpty()) {
            waitReadable(socket, timeoutMs);
            continue;
        }
        line += piece;
        if (line.endsWith('\n')) {
            line.chop(1);
            break;
        }
        if (line.size() > kMaxLineBytes)
            throw LocalException(socket, QStringLiteral("line too long, more than %1 bytes").arg(kMaxLineBytes));
    }
    if (line.size() > kMaxLineBytes)
        throw LocalException(socket, QStringLiteral("line too long, more than %1 bytes").arg(kMaxLineBytes));
    line.replace('\r', QByteArray());
    return decodeLineBytes(line);
}

QString readCommand(QTcpSocket* socket, int timeoutMs)
{
    const QString line = readLine(socket, timeoutMs);
    if (line.isEmpty())
        throw SocketDataTransferException(QStringLiteral("Null command."));
    static const QString error = QStringLiteral("$error:");
    if (line.startsWith(error))
        throw RemoteException(decodeField(line.mid(error.size())));
    return line;
}

QString expectCommand(QTcpSocket* socket, const QString& prefix, int timeoutMs)
{
    const QString line = readCommand(socket, timeoutMs);
    if (!line.startsWith(prefix))
        throw LocalException(socket, QStringLiteral("invalid feedback [%1], must be [%2]").arg(line, prefix));
    return line;
}

qint64 blockSize(QTcpSocket* socket, const QString& blockLine, qint64 maxBytes)
{
    static const QString block = QStringLiteral("$block:");
    bool ok = false;
    const qint64 size = blockLine.startsWith(block) ? blockLine.mid(block.size()).toLongLong(&ok) : -1;
    if (!ok)
        throw LocalException(socket, QStringLiteral("invalid block size, %1").arg(blockLine));
    if (size < 0 || size > maxBytes)
        throw LocalException(socket, QStringLiteral("block size %1 out of range 0..%2").arg(size).arg(maxBytes));
    return size;
}

qint64 readBlock(QTcpSocket* socket, const QString& blockLine, QIODevice* out, int timeoutMs, qint64 maxBytes)
{
    const qint64 size = blockSize(socket, blockLine, maxBytes);
    readDataTo(socket, out, size, timeoutMs);
    sendCommand(socket, QStringLiteral("."), QString(), true, timeoutMs);
    return size;
}

void writeBlock(QTcpSocket* socket, const QByteArray& bytes, int timeoutMs)
{
    sendCommand(socket, QStringLiteral("$block:"), QString::number(bytes.size()), false, timeoutMs);
    writeData(socket, bytes.constData(), bytes.size(), true, timeoutMs);
    expectCommand(socket, QStringLiteral("."), timeoutMs);
}

QString encodeField(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString decodeField(const QString& field)
{
    return QString::fromUtf8(QByteArray::fromBase64(field.toLatin1()));
}

QString encodeValue(const QVariantMap& values, const QString& key)
{
    return encodeField(values.value(key).toString());
}

bool parseId(const QString& text, int* kind, qint64* second, qint64* third, qint64* fourth)
{
    static const QRegularExpression re(
        QRegularExpression::anchoredPattern(QStringLiteral("(-?\\d+)/(-?\\d+)/(-?\\d+)/(-?\\d+)")));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    bool ok[4] = {};
    const int k = m.captured(1).toInt(&ok[0]);
    const qint64 n2 = m.captured(2).toLongLong(&ok[1]);
    const qint64 n3 = m.captured(3).toLongLong(&ok[2]);
    const qint64 n4 = m.captured(4).toLongLong(&ok[3]);
    // Digits that overflow their type do not name a row either.
    if (!(ok[0] && ok[1] && ok[2] && ok[3]))
        return false;
    if (kind)
        *kind = k;
    if (second)
        *second = n2;
    if (third)
        *third = n3;
    if (fourth)
        *fourth = n4;
    return true;
}

int nextLocalPort()
{
    {
        QMutexLocker lock(&g_portProviderMutex);
        if (g_portProvider)
            return g_portProvider();
    }
    return nextLocalPort(QTime::currentTime());
}

int nextLocalPort(const QTime& now)
{
    int found = g_portCounter.load();
    int use = 1;
    do {
        use = (found % 100 == 0) ? 1 : found;
    } while (!g_portCounter.compare_exchange_weak(found, use + 1));
    return (now.second() + (now.minute() % 4) * 100 + 100) * 100 + use;
}

void setLocalPortProvider(std::function<int()> provider)
{
    QMutexLocker lock(&g_portProviderMutex);
    g_portProvider = std::move(provider);
}

void setLocalPortCounter(int value)
{
    g_portCounter = value;
}

} // namespace simpleprotocol
