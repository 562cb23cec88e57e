#include "exportnotesthread.h"

#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace {

// The longest part of the summary that goes into a file name.
constexpr int kSummaryChars = 20;

// Every line end as CR LF, whether the text had LF or CR LF.
QString crlf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

// Nothing but what the note shows itself: no script, plug-in, frame, form
// target or fetch from elsewhere; inline styles and data: images and fonts
// stay.
constexpr char kPolicy[] = "default-src 'none'; style-src 'unsafe-inline'; img-src data:; font-src data:; "
                           "form-action 'none'; base-uri 'none'";

} // namespace

ExportNotesThread::ExportNotesThread(const QList<NoteRecord>& notes, const QString& folder, JobReport* progress,
                                     QObject* parent)
    : AbsFileExportThread(folder, LineEnd::CrLf, progress, parent)
    , notes(notes)
{
}

void ExportNotesThread::writePage(Stream& out, const NoteRecord& note)
{
    out << "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
           "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">";
    out.endLine();
    out << "<html xmlns=\"http://www.w3.org/1999/xhtml\">";
    out.endLine();
    out << "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
        << "<meta http-equiv=\"Content-Security-Policy\" content=\"" << kPolicy << "\" />";
    out.endLine();
    out << "<title>" << crlf(note.title.toHtmlEscaped()) << "</title></head><body>";
    out.endLine();
    out << crlf(note.content);
    out << "</body></html>";
}

void ExportNotesThread::writeNotePage(const QString& path, const NoteRecord& note)
{
    writeFile(path, LineEnd::CrLf, [&](Stream& out) { writePage(out, note); });
}

QString ExportNotesThread::exportFilePath(const QString& folder, const NoteRecord& note)
{
    QString summary = sanitizeFileName(note.summary);
    if (summary.size() > kSummaryChars)
        summary.truncate(summary.at(kSummaryChars - 1).isHighSurrogate() ? kSummaryChars - 1 : kSummaryChars);
    QString name = sanitizeFileName(note.src_id + QLatin1Char('-') + summary + QStringLiteral(".html"));
    if (name.isEmpty())
        name = QStringLiteral("note.html");
    const QString path = pathUnder(folder, name);
    return path.isEmpty() ? QString() : uniqueFilePath(path);
}

QString ExportNotesThread::exportFiles()
{
    const QString folder = QFileInfo(path()).absoluteFilePath();
    if (!QDir().mkpath(folder))
        throw std::runtime_error(QStringLiteral("Can not create folder %1.").arg(folder).toStdString());

    const int total = int(notes.size());
    int count = 0;
    for (const NoteRecord& note : std::as_const(notes)) {
        checkCanceled();
        ++count;
        if (progress())
            progress()->postUpdateProgress(tr("IDS_EXPORTING_NOTES"), jobreport::percent(count, total),
                                           tr("Notes:%1 / %2").arg(count).arg(total));
        const QString file = exportFilePath(folder, note);
        if (file.isEmpty())
            throw std::runtime_error(QStringLiteral("Can not create a file in %1.").arg(folder).toStdString());
        writeFile(file, lineEnd(), [&](Stream& out) { writePage(out, note); });
    }
    return tr("IDS_SUC_EXPORT_%1_NOTES").arg(count);
}
