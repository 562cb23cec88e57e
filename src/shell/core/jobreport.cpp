#include "jobreport.h"

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

} // namespace jobreport
