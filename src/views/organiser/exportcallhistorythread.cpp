#include "exportcallhistorythread.h"

#include "shell/core/fileutils.h"
#include "views/organiser/itemmodelcall.h"

#include <QFileInfo>

ExportCallHistoryThread::ExportCallHistoryThread(const QList<CallRecord>& calls, const QString& path,
                                                 JobReport* progress, QObject* parent)
    : AbsFileExportThread(path, LineEnd::Lf, progress, parent)
    , calls(calls)
{
}

QString ExportCallHistoryThread::write(Stream& out)
{
    const bool csv = QFileInfo(path()).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    if (csv) {
        out << "Flag,Number,Contact,Date,Duration";
    } else {
        out.field(QStringLiteral("Flag"), 15);
        out.field(QStringLiteral("Number"), 20);
        out.field(QStringLiteral("Contact"), 20);
        out.field(QStringLiteral("Date"), 25);
        out.field(QStringLiteral("Duration"), 15);
    }
    out.endLine();

    const int total = int(calls.size());
    int count = 0;
    for (const CallRecord& c : std::as_const(calls)) {
        checkCanceled();
        ++count;
        postProgress(count, total, tr("%1 / %2").arg(count).arg(total));
        const QString flag = ItemModelCall::flagText(c.flags);
        const QString date = ItemModelCall::dateText(c.date);
        if (csv) {
            // The date is quoted only when a locale's format puts a comma in it.
            out << flag << ',' << csvQuote(c.address) << ',' << csvQuote(c.person) << ',' << csvQuote(date) << ','
                << c.duration;
        } else {
            out.field(flag, 15);
            out.field(c.address, 20);
            out.field(c.person, 20);
            out.field(date, 25);
            out.field(ItemModelCall::durationText(c.duration), 15);
        }
        out.endLine();
    }
    return tr("IDS_SUC_EXPORT_%1_CALLS").arg(count);
}
