#include "formats/pdfexport.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>

PdfExport::PdfExport(const QString& fileName)
    : m_fileName(fileName)
    , m_out(fileName)
    , m_printer(QPrinter::ScreenResolution)
{
}

// The painter ends (and so completes the rendering) before the printer goes;
// without end() the temporary files go and the target stays as it was.
PdfExport::~PdfExport() = default;

void PdfExport::begin()
{
    if (!m_out.open())
        failExport("create file error.", m_out.errorString());
    const QFileInfo target(m_fileName);
    m_rendering.setFileTemplate(
        target.absoluteDir().absoluteFilePath(QLatin1Char('.') + target.fileName() + QStringLiteral(".XXXXXX")));
    // Opened only to take a free name; the PDF writer opens it by that name.
    if (!m_rendering.open())
        failExport("create file error.", m_rendering.errorString());
    m_rendering.close();
    m_printer.setPageOrientation(QPageLayout::Portrait);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(m_rendering.fileName());
    m_printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
    if (!m_painter.begin(&m_printer))
        failExport("create file error.", QStringLiteral("cannot start the PDF writer"));
}

void PdfExport::write(const pim::_Contact& contact)
{
    m_painter.paintContact(contact);
}

void PdfExport::end()
{
    if (!m_painter.end())
        failExport("write file error.", QStringLiteral("the PDF could not be completed"));
    QFile rendering(m_rendering.fileName());
    if (!rendering.open(QIODevice::ReadOnly))
        failExport("write file error.", rendering.errorString());
    // The PDF writer does not report failed writes: a rendering cut short
    // (a full disk) lacks the end-of-file marker that the writer puts last.
    const qint64 size = rendering.size();
    if (!rendering.seek(qMax<qint64>(0, size - 16)) || !rendering.readAll().trimmed().endsWith("%%EOF")
        || !rendering.seek(0))
        failExport("write file error.", QStringLiteral("the PDF could not be completed"));
    while (!rendering.atEnd()) {
        const QByteArray chunk = rendering.read(1 << 20);
        if (chunk.isEmpty() || !m_out.write(chunk))
            failExport("write file error.", chunk.isEmpty() ? rendering.errorString() : m_out.errorString());
    }
    if (!m_out.commit())
        failExport("write file error.", m_out.errorString());
}
