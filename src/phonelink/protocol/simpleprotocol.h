// The line protocol spoken with the Phone Agent over TCP.
//
// A line is UTF-8 text ended by one LF; the reader drops every CR and decodes
// the line as UTF-8 when its bytes are valid UTF-8, else one Latin-1
// character per byte. Most free text travels Base64-encoded (encodeField). Commands are "$word:" followed directly by
// their argument. Raw file data travels as counted blocks: the line "$block:n", exactly n bytes, then the receiver's
// "." acknowledgement.
//
// Every function works on a socket owned by the calling job thread and never
// closes it. Time limits are in milliseconds, -1 meaning no limit. Blocking
// waits run in short slices; between slices they check the cancel check of
// the calling thread (see CancelScope) and throw int(jobreport::kCanceled)
// when it reports a cancel, so a stalled phone never pins a cancelled job.
//
// Input is bounded: a line longer than kMaxLineBytes and a "$block:" size that
// is not a number, negative or above the caller's limit are refused with a
// LocalException (which tells the phone with "$error:" first).
#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <stdexcept>

class JobReport;
class QIODevice;
class QTcpSocket;
class QTime;

namespace simpleprotocol {

// Longest line accepted from the phone (a contact line carries its photo).
constexpr qint64 kMaxLineBytes = 32ll * 1024 * 1024;
// Largest "$block:" accepted by default; senders use far smaller blocks.
constexpr qint64 kMaxBlockBytes = 64ll * 1024 * 1024;
// Length of one wait slice between cancel checks.
constexpr int kWaitSliceMs = 100;

// The protocol's three failures; what() is the UTF-8 message.
class ProtocolException : public std::runtime_error {
public:
    explicit ProtocolException(const QString& message);
    QString message() const { return QString::fromUtf8(what()); }
};

// This side aborts the exchange. The constructor first sends "$error:" with
// the Base64 of the message to the phone (flushed); when that send fails, the
// SocketDataTransferException of the failed send is thrown instead.
// A null socket sends nothing.
class LocalException : public ProtocolException {
public:
    LocalException(QTcpSocket* socket, const QString& message);
};

// The phone sent "$error:"; the message is its decoded text.
class RemoteException : public ProtocolException {
public:
    explicit RemoteException(const QString& message);
};

// The socket failed, closed or timed out (the socket's error text), or an
// empty line arrived ("Null command.").
class SocketDataTransferException : public ProtocolException {
public:
    explicit SocketDataTransferException(const QString& message);
};

// A command or argument that cannot travel as one line (it holds a CR or LF):
// the phone would take the rest for a request of its own. Nothing was sent,
// so the connection is still in step and usable.
class ArgumentException : public ProtocolException {
public:
    explicit ArgumentException(const QString& message);
};

// Cancel check for the blocking calls made on this thread while the scope
// lives. Scopes nest; the innermost one counts. A job installs one at the top
// of its run with its JobReport; the check must be cheap and thread-safe.
class CancelScope {
public:
    explicit CancelScope(const JobReport* report);
    explicit CancelScope(std::function<bool()> canceled);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    std::function<bool()> m_previous;
};

// Throws int(jobreport::kCanceled) when the calling thread's cancel check says so.
void checkCanceled();
// The calling thread's cancel check, without throwing (false without a scope).
bool isCanceled();

// Raw I/O. A length below 1 returns at once (no write, no flush).
void writeData(QTcpSocket* socket, const char* data, qint64 length, bool flush, int timeoutMs);
void writeString(QTcpSocket* socket, const QString& text, bool flush, int timeoutMs);
void readData(QTcpSocket* socket, char* buffer, qint64 length, int timeoutMs);
// Copies exactly length bytes from the socket into out, in chunks.
// A write failure on out is a LocalException.
void readDataTo(QTcpSocket* socket, QIODevice* out, qint64 length, int timeoutMs);

// Lines and commands. sendCommand refuses (ArgumentException, before any
// byte is written) a command or argument that holds a CR or LF.
void sendCommand(QTcpSocket* socket, const QString& command, const QString& argument, bool flush, int timeoutMs);
QString readLine(QTcpSocket* socket, int timeoutMs);
QString readCommand(QTcpSocket* socket, int timeoutMs);
QString expectCommand(QTcpSocket* socket, const QString& prefix, int timeoutMs);

// Counted raw blocks.
// The size announced by a "$block:" line; refuses (LocalException) a size that
// is not a decimal number, negative, or above maxBytes.
qint64 blockSize(QTcpSocket* socket, const QString& blockLine, qint64 maxBytes = kMaxBlockBytes);
// Receiver side for a line that begins with "$block:": streams the bytes into
// out and answers "." (flushed). Returns the number of bytes.
qint64 readBlock(QTcpSocket* socket, const QString& blockLine, QIODevice* out, int timeoutMs,
                 qint64 maxBytes = kMaxBlockBytes);
// Sender side: "$block:n" then the bytes (flushed), then waits for ".".
void writeBlock(QTcpSocket* socket, const QByteArray& bytes, int timeoutMs);

// Field encodings.
QString encodeField(const QString& text);
QString decodeField(const QString& field);
QString encodeValue(const QVariantMap& values, const QString& key);

// Contact id quadruple "kind/second/third/fourth" (each may be negative).
// False, with nothing stored, when text is not exactly a quadruple.
bool parseId(const QString& text, int* kind, qint64* second, qint64* third, qint64* fourth);
// formatId and the contact codec are in contactcodec.h.

// The local port for the next session URL: (second + (minute % 4) * 100 + 100)
// * 100 + counter, with a process-wide counter running 1..99. Thread-safe.
int nextLocalPort();
// The same at a given local time (the counter still advances).
int nextLocalPort(const QTime& now);
// Tests: makes nextLocalPort() return provider()'s value instead (the counter
// does not move); an empty function restores the time-based formula.
void setLocalPortProvider(std::function<int()> provider);
// Tests: the counter value the next call will find.
void setLocalPortCounter(int value);

} // namespace simpleprotocol
