#include "formats/pdfoutputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>

namespace {

// The PDF writer does not say why its file fell short. What stopped it (a
// full disk, a size limit) most likely refuses more bytes too: adds some to
// the rendering, which is dropped anyway, and takes the reason they were
// refused for.
QString whyCutShort(const QString& rendering)
{
    const QString unknown = QStringLiteral("the PDF could not be completed");
    QFile file(rendering);
    if (!file.open(QIODevice::Append | QIODevice::Unbuffered))
        return file.errorString();
    const QByteArray block(256 * 1024, '\n');
    for (qint64 written = 0; written < block.size();) {
        const qint64 n = file.write(block.constData() + written, block.size() - written);
        if (n <= 0)
            return file.error() != QFileDevice::NoError ? file.errorString() : unknown;
        written += n;
    }
    return unknown;
}

} // namespace

PdfOutputFile::PdfOutputFile(const QString& path)
    : m_out(path)
{
}

void PdfOutputFile::open(QPrinter& printer)
{
    if (!m_out.open())
        failExport("create file error.", m_out.errorString());
    const QFileInfo target(m_out.fileName());
    m_rendering.setFileTemplate(
        target.absoluteDir().absoluteFilePath(QLatin1Char('.') + target.fileName() + QStringLiteral(".XXXXXX")));
    // Opened only to take a free name; the PDF writer opens it by that name.
    if (!m_rendering.open())
        failExport("create file error.", m_rendering.errorString());
    m_rendering.close();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_rendering.fileName());
}

void PdfOutputFile::commit()
{
    QFile rendering(m_rendering.fileName());
    if (!rendering.open(QIODevice::ReadOnly))
        failExport("write file error.", rendering.errorString());
    // A rendering cut short (a full disk) lacks the end-of-file marker that
    // the writer puts last.
    const qint64 size = rendering.size();
    if (!rendering.seek(qMax<qint64>(0, size - 16)) || !rendering.readAll().trimmed().endsWith("%%EOF")
        || !rendering.seek(0)) {
        rendering.close();
        failExport("write file error.", whyCutShort(m_rendering.fileName()));
    }
    while (!rendering.atEnd()) {
        const QByteArray chunk = rendering.read(1 << 20);
        if (chunk.isEmpty() || !m_out.write(chunk))
            failExport("write file error.", chunk.isEmpty() ? rendering.errorString() : m_out.errorString());
    }
    if (!m_out.commit())
        failExport("write file error.", m_out.errorString());
}
