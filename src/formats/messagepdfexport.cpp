#include "formats/messagepdfexport.h"

#include <QFile>
#include <QPageLayout>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const char* what, const QString& reason)
{
    throw std::runtime_error((QLatin1String(what) + QLatin1Char(' ') + reason).toUtf8().toStdString());
}

} // namespace

ExportMessagesPdf::ExportMessagesPdf(const QString& path)
    : m_path(path)
    , m_printer(QPrinter::ScreenResolution)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setPageOrientation(QPageLayout::Portrait);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
    m_printer.setOutputFileName(path);
    m_printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
    // The PDF engine does not say why it cannot open its file; the file does.
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_openError = probe.errorString();
        return;
    }
    probe.close();
    m_started = m_pages.begin(&m_printer);
    if (!m_started)
        m_openError = QStringLiteral("the PDF writer could not start");
}

ExportMessagesPdf::~ExportMessagesPdf()
{
    if (m_pages.isActive())
        m_pages.end();
}

void ExportMessagesPdf::begin()
{
    if (!m_started)
        fail("create file error.", m_openError);
}

void ExportMessagesPdf::write(const _MsgMessage& msg)
{
    m_pages.paintMessage(&msg);
}

void ExportMessagesPdf::end()
{
    if (!m_started)
        fail("write file error.", m_openError);
    m_started = false;
    if (!m_pages.end())
        fail("write file error.", QStringLiteral("the PDF could not be completed: %1").arg(m_path));
}
