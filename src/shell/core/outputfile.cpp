#include "shell/core/outputfile.h"

#include <QFileInfo>
#include <QIODevice>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The device that writers taking a QIODevice write through: every byte goes
// through OutputFile::write and its checks.
class OutputFile::Sink : public QIODevice {
public:
    explicit Sink(OutputFile* owner)
        : m_owner(owner)
    {
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override { return m_owner->write(data, size) ? size : -1; }

private:
    OutputFile* m_owner;
};

namespace {

// What a write that failed without any reason given says.
QString noReason()
{
    return QStringLiteral("Not every byte reached the file");
}

// The device has a reason for its last failure (not Qt's "Unknown error").
bool hasReason(const QFileDevice& file)
{
    return file.error() != QFileDevice::NoError && file.errorString() != QFile().errorString();
}

// Writes what the file still buffers. A write cut short by the last bytes
// that fit fails without a reason; the second try writes the rest or fails
// with the reason.
bool flushAll(QFileDevice& file)
{
    return file.flush() || file.flush();
}

} // namespace

OutputFile::OutputFile(const QString& path)
    : m_path(path)
    , m_save(path)
    , m_direct(path)
    , m_sink(std::make_unique<Sink>(this))
{
}

// QSaveFile removes its temporary file when it goes without commit().
OutputFile::~OutputFile() = default;

QFileDevice& OutputFile::file()
{
    return m_isDirect ? static_cast<QFileDevice&>(m_direct) : m_save;
}

const QFileDevice& OutputFile::file() const
{
    return m_isDirect ? static_cast<const QFileDevice&>(m_direct) : m_save;
}

bool OutputFile::open()
{
    m_error.clear();
    const QFileInfo target(m_path);
    m_isDirect = target.exists() && !target.isFile() && !target.isDir();
    if (!(m_isDirect ? openDirect() : m_save.open(QIODevice::WriteOnly)))
        return false;
    m_sink->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

bool OutputFile::openDirect()
{
#ifdef Q_OS_UNIX
    // Opening a pipe for writing waits until something reads from it, with
    // no way to cancel: open it without waiting, then write as usual.
    const QByteArray name = QFile::encodeName(m_path);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            m_error = errno == ENXIO ? QStringLiteral("No program reads from this pipe") : qt_error_string(errno);
            return false;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (m_direct.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
            return true;
        ::close(fd);
        return false;
    }
#endif
    return m_direct.open(QIODevice::WriteOnly);
}

bool OutputFile::isOpen() const
{
    return file().isOpen();
}

QIODevice* OutputFile::device()
{
    return m_sink.get();
}

bool OutputFile::write(const char* data, qint64 size)
{
    if (!isOpen() || !m_error.isEmpty())
        return false;
    QFileDevice& out = file();
    // A write may take only part of the bytes (the last that fit on the
    // disk): the rest is tried again, which fails with the reason.
    while (size > 0) {
        const qint64 n = out.write(data, size);
        if (n <= 0) {
            keepError();
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

void OutputFile::keepError()
{
    // The first failure tells why; closing the file forgets it.
    if (!m_error.isEmpty())
        return;
    QFileDevice& out = file();
    if (out.isOpen() && !hasReason(out))
        out.flush();
    m_error = hasReason(out) ? out.errorString() : noReason();
}

bool OutputFile::commit()
{
    if (!isOpen()) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("The file is not open");
        return false;
    }
    if (m_error.isEmpty() && flushAll(file())) {
        if (m_isDirect) {
            m_direct.close();
            if (m_direct.error() == QFileDevice::NoError) {
                m_sink->close();
                return true;
            }
        } else if (m_save.commit()) {
            m_sink->close();
            return true;
        }
    }
    keepError();
    discard();
    return false;
}

void OutputFile::discard()
{
    m_sink->close();
    if (m_isDirect) {
        m_direct.close();
    } else if (m_save.isOpen()) {
        m_save.cancelWriting();
        m_save.commit(); // cancelled: removes the temporary file, keeps the target
    }
}

QString OutputFile::errorString() const
{
    return m_error.isEmpty() ? file().errorString() : m_error;
}
