#include "formats/pdfexport.h"

#include "pictures/picturereader.h"

#include <QPageLayout>

PdfExport::PdfExport(const QString& fileName, std::function<void()> checkCanceled)
    : m_out(fileName)
    , m_printer(QPrinter::ScreenResolution)
    , m_checkCanceled(std::move(checkCanceled))
{
}

// The painter ends (and so completes the rendering) before the printer goes;
// without end() the rendering and the output go and the target stays as it
// was.
PdfExport::~PdfExport() = default;

void PdfExport::begin()
{
    m_out.open(m_printer);
    m_printer.setPageOrientation(QPageLayout::Portrait);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
    m_printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
    if (!m_painter.begin(&m_printer))
        failExport("create file error.", QStringLiteral("cannot start the PDF writer"));
}

void PdfExport::write(const pim::_Contact& contact)
{
    const QImage photo = pictures::madeHearing(
        [&contact](const std::atomic_bool& stop) { return ContactCardPainter::photoOf(contact, &stop); },
        m_checkCanceled);
    m_painter.paintContact(contact, photo);
}

void PdfExport::end()
{
    if (!m_painter.end())
        failExport("write file error.", QStringLiteral("the PDF could not be completed"));
    m_out.commit();
}
