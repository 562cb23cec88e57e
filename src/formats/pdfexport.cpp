#include "formats/pdfexport.h"

#include <QFile>
#include <QPageLayout>

#include <stdexcept>

PdfExport::PdfExport(const QString& fileName)
    : m_fileName(fileName)
    , m_printer(QPrinter::ScreenResolution)
{
}

// The painter ends (and so completes the file) before the printer goes.
PdfExport::~PdfExport() = default;

void PdfExport::begin()
{
    m_printer.setPageOrientation(QPageLayout::Portrait);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(m_fileName);
    m_printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
    // The PDF engine does not say why it cannot open its file; the file does.
    QFile probe(m_fileName);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(
            QStringLiteral("create file error. %1").arg(probe.errorString()).toUtf8().toStdString());
    probe.close();
    if (!m_painter.begin(&m_printer))
        throw std::runtime_error(QStringLiteral("create file error. %1")
                                     .arg(QStringLiteral("cannot start the PDF writer"))
                                     .toUtf8()
                                     .toStdString());
}

void PdfExport::write(const pim::_Contact& contact)
{
    m_painter.paintContact(contact);
}

void PdfExport::end()
{
    if (!m_painter.end())
        throw std::runtime_error(QStringLiteral("write file error. %1")
                                     .arg(QStringLiteral("the PDF could not be completed"))
                                     .toUtf8()
                                     .toStdString());
}
