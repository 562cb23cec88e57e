#include "formats/messagepdfexport.h"

#include <QPageLayout>

ExportMessagesPdf::ExportMessagesPdf(const QString& path)
    : m_out(path)
    , m_printer(QPrinter::ScreenResolution)
{
}

ExportMessagesPdf::~ExportMessagesPdf() = default;

void ExportMessagesPdf::begin()
{
    m_out.open(m_printer);
    m_printer.setPageOrientation(QPageLayout::Portrait);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
    m_printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
    if (!m_pages.begin(&m_printer))
        failExport("create file error.", QStringLiteral("the PDF writer could not start"));
}

void ExportMessagesPdf::write(const _MsgMessage& msg)
{
    m_pages.paintMessage(&msg);
}

void ExportMessagesPdf::end()
{
    if (!m_pages.end())
        failExport("write file error.", QStringLiteral("the PDF could not be completed"));
    m_out.commit();
}
