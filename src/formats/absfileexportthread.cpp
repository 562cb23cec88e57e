#include "absfileexportthread.h"

#include "shell/core/jobreport.h"
#include "shell/core/outputfile.h"

#include <stdexcept>

AbsFileExportThread::Stream::Stream(QIODevice* device, LineEnd lineEnd)
    : QTextStream(device)
    , m_lineEnd(lineEnd == LineEnd::CrLf ? "\r\n" : "\n")
{
    setEncoding(QStringConverter::Utf8);
    setGenerateByteOrderMark(false);
    setFieldAlignment(QTextStream::AlignLeft);
    setPadChar(QLatin1Char(' '));
}

void AbsFileExportThread::Stream::field(const QString& text, int width)
{
    setFieldWidth(width);
    *this << text;
    setFieldWidth(0);
}

void AbsFileExportThread::Stream::endLine()
{
    setFieldWidth(0);
    *this << m_lineEnd;
}

AbsFileExportThread::AbsFileExportThread(const QString& path, LineEnd lineEnd, JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_path(path)
    , m_lineEnd(lineEnd)
    , m_progress(progress)
{
}

void AbsFileExportThread::checkCanceled() const
{
    jobreport::checkCanceled(m_progress);
}

void AbsFileExportThread::postProgress(qint64 done, qint64 total, const QString& text) const
{
    if (m_progress)
        m_progress->postUpdateProgress(m_status, jobreport::percent(done, total), text);
}

void AbsFileExportThread::writeFile(const QString& path, LineEnd lineEnd, const std::function<void(Stream&)>& body)
{
    // On any throw what was written goes with `file`; the target stays.
    OutputFile file(path);
    if (!file.open())
        throw std::runtime_error(file.errorString().toStdString());
    Stream out(file.device(), lineEnd);
    body(out);
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit())
        throw std::runtime_error(
            QStringLiteral("write file %1 failed. %2").arg(path, file.errorString()).toStdString());
}

QString AbsFileExportThread::write(Stream&)
{
    throw std::logic_error("export without a writer");
}

QString AbsFileExportThread::exportFiles()
{
    QString done;
    writeFile(m_path, m_lineEnd, [&](Stream& out) { done = write(out); });
    return done;
}

void AbsFileExportThread::run()
{
    try {
        const QString done = exportFiles();
        if (m_progress)
            m_progress->postSucceed(done);
    } catch (int) {
        // Cancelled: nothing is left of the file being written; the dialog is
        // closed.
    } catch (const std::exception& e) {
        if (m_progress)
            m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
}
