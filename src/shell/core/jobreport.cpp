#include "jobreport.h"

#include <QStringList>
#include <QThread>

namespace jobreport {

void tipsWait(JobReport* report, const QString& info)
{
    if (!report)
        return;
    report->postTipsWait(info);
    while (report->waitingTips() && !report->userCanceled())
        QThread::msleep(200);
}

QString namesShown(const QStringList& names, qsizetype shown, const QString& more)
{
    QStringList listed = names.mid(0, shown);
    if (names.size() > shown)
        listed.append(more);
    return listed.join(QStringLiteral(", "));
}

} // namespace jobreport
