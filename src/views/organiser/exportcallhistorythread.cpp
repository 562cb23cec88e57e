#include "exportcallhistorythread.h"

#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"
#include "views/organiser/itemmodelcall.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

ExportCallHistoryThread::ExportCallHistoryThread(const QList<CallRecord>& calls, const QString& path,
                                                 JobReport* progress, QObject* parent)
    : QThread(parent)
    , calls(calls)
    , path(path)
    , progress(progress)
{
}

void ExportCallHistoryThread::run()
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (progress)
            progress->postErrorOccurred(file.errorString());
        return;
    }
    const bool csv = QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;

    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out.setGenerateByteOrderMark(false);
    out.setFieldAlignment(QTextStream::AlignLeft);
    out.setPadChar(QLatin1Char(' '));
    auto field = [&out](const QString& text, int width) {
        out.setFieldWidth(width);
        out << text;
    };
    auto endLine = [&out] {
        out.setFieldWidth(0);
        out << '\n';
    };

    if (csv) {
        out << "Flag,Number,Contact,Date,Duration";
    } else {
        field(QStringLiteral("Flag"), 15);
        field(QStringLiteral("Number"), 20);
        field(QStringLiteral("Contact"), 20);
        field(QStringLiteral("Date"), 25);
        field(QStringLiteral("Duration"), 15);
    }
    endLine();

    const int total = int(calls.size());
    int count = 0;
    bool canceled = false;
    for (const CallRecord& c : std::as_const(calls)) {
        if (progress && progress->userCanceled()) {
            canceled = true;
            break;
        }
        ++count;
        if (progress)
            progress->postUpdateProgress(QString(), jobreport::percent(count, total),
                                         tr("%1 / %2").arg(count).arg(total));
        const QString flag = ItemModelCall::flagText(c.flags);
        const QString date = ItemModelCall::dateText(c.date);
        if (csv) {
            // The date is quoted only when a locale's format puts a comma in it.
            out << flag << ',' << csvQuote(c.address) << ',' << csvQuote(c.person) << ',' << csvQuote(date) << ','
                << c.duration;
        } else {
            field(flag, 15);
            field(c.address, 20);
            field(c.person, 20);
            field(date, 25);
            field(ItemModelCall::durationText(c.duration), 15);
        }
        endLine();
    }
    out.flush();
    file.close();

    if (canceled) {
        // The dialog is closed already; leave no partial file behind.
        file.remove();
        return;
    }
    if (progress)
        progress->postSucceed(tr("IDS_SUC_EXPORT_%1_CALLS").arg(count));
}
