#include "formats/exportfile.h"

#include "shell/core/fileutils.h"

#include <QFileInfo>

#include <stdexcept>

ExportFile::ExportFile(const QString& path)
    : m_save(path)
    , m_direct(path)
{
    const QFileInfo target(path);
    m_isDirect = target.exists() && !target.isFile() && !target.isDir();
}

// QSaveFile removes its temporary file when it goes without commit().
ExportFile::~ExportFile() = default;

QFileDevice& ExportFile::device()
{
    return m_isDirect ? static_cast<QFileDevice&>(m_direct) : m_save;
}

const QFileDevice& ExportFile::device() const
{
    return m_isDirect ? static_cast<const QFileDevice&>(m_direct) : m_save;
}

bool ExportFile::open()
{
    return device().open(QIODevice::WriteOnly);
}

bool ExportFile::isOpen() const
{
    return device().isOpen();
}

bool ExportFile::write(const QByteArray& bytes)
{
    if (device().write(bytes) == bytes.size())
        return true;
    keepError();
    return false;
}

void ExportFile::keepError()
{
    // The first failure tells why; closing the file forgets it. A write that
    // fell short gives no reason: trying the rest once more does.
    if (!m_error.isEmpty())
        return;
    if (device().isOpen())
        device().flush();
    m_error = device().errorString();
}

bool ExportFile::commit()
{
    if (!m_isDirect) {
        if (commitSaveFile(m_save))
            return true;
        keepError();
        discard();
        return false;
    }
    const bool flushed = m_direct.isOpen() && m_direct.flush();
    if (!flushed)
        keepError();
    m_direct.close();
    if (flushed && m_direct.error() == QFileDevice::NoError)
        return true;
    if (m_error.isEmpty())
        m_error = m_direct.errorString();
    return false;
}

void ExportFile::discard()
{
    if (m_isDirect) {
        m_direct.close();
    } else if (m_save.isOpen()) {
        m_save.cancelWriting();
        m_save.commit(); // cancelled: removes the temporary file, keeps the target
    }
}

QString ExportFile::errorString() const
{
    return m_error.isEmpty() ? device().errorString() : m_error;
}

void failExport(const char* what, const QString& reason)
{
    throw std::runtime_error(QStringLiteral("%1 %2").arg(QLatin1String(what), reason).toUtf8().toStdString());
}
