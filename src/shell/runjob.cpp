#include "runjob.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "shell/modalwork.h"
#include "shell/progressform.h"

#include <QThread>

namespace {

class TaskThread : public QThread {
public:
    TaskThread(ProgressForm* progress, std::function<void()> work)
        : m_progress(progress)
        , m_work(std::move(work))
    {
    }

protected:
    void run() override
    {
        simpleprotocol::CancelScope cancel(m_progress);
        try {
            m_work();
            m_progress->postSucceed(QString());
        } catch (int) {
            // Cancelled: the dialog has ended already.
        } catch (const std::exception& e) {
            m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
        }
    }

private:
    ProgressForm* m_progress;
    std::function<void()> m_work;
};

} // namespace

JobResult runJob(ProgressForm& progress, QThread& job)
{
    // The dialog and the wait for the thread both run the event loop while
    // the job still uses what the page handed it.
    ModalWork::Scope busy;
    job.start(QThread::InheritPriority);
    const int rc = progress.exec();
    ProgressForm::waitThread(&progress, &job);
    if (rc == 1 && !progress.userCanceled())
        return JobResult::Succeeded;
    return progress.failed() ? JobResult::Failed : JobResult::Cancelled;
}

JobResult runTask(ProgressForm& progress, std::function<void()> work)
{
    TaskThread job(&progress, std::move(work));
    return runJob(progress, job);
}
