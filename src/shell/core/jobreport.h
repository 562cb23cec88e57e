// How a job (a worker thread) reports to whoever watches it. The progress
// dialog implements it on the GUI thread; tests use a recorder. Every call is
// safe from any thread: implementations queue the work to their own thread.
#pragma once

#include <QString>

#include <atomic>

class JobReport {
public:
    virtual ~JobReport() = default;

    // Status line (empty keeps it), percent (negative keeps the bar) and the
    // progress text (empty shows "Progress:N%").
    virtual void postUpdateProgress(const QString& status, int progress, const QString& text) = 0;
    // Ends the job with an error text shown to the user.
    virtual void postErrorOccurred(const QString& err) = 0;
    // Ends the job with success; a non-empty text is shown to the user.
    virtual void postSucceed(const QString& tips) = 0;
    // Shows a message and makes waitingTips() true until the user closed it.
    virtual void postTipsWait(const QString& info) = 0;

    // True once the watcher ended with anything but success (cancel, error).
    virtual bool userCanceled() const = 0;
    // True while a postTipsWait message is still open.
    virtual bool waitingTips() const = 0;
};

namespace jobreport {

// The thrown value that marks a user's cancel inside a job's run.
constexpr int kCanceled = -1;

// Percent of done/total; -1 (keep the bar) when total is 0 or less.
inline int percent(qint64 done, qint64 total)
{
    if (total <= 0)
        return -1;
    return int(double(done) / double(total) * 100.0);
}

// Throws kCanceled when the watcher was cancelled.
inline void checkCanceled(const JobReport* report)
{
    if (report && report->userCanceled())
        throw int(kCanceled);
}

// Posts info and blocks (in 200 ms steps) until the user closed it or the
// watcher was cancelled.
void tipsWait(JobReport* report, const QString& info);

// The first shown names of a result text's list, joined by ", ", with more
// after them when the list is longer.
QString namesShown(const QStringList& names, qsizetype shown, const QString& more);

} // namespace jobreport
