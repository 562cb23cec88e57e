// The modal progress dialog every job reports to. It implements JobReport:
// a job (on its own thread) only calls the post calls and reads the two
// flags; every post is queued to the dialog's thread.
//
// Launch pattern (shell/runjob.h):
//   ProgressForm progress(tr("IDS_..."), this);
//   SomeJob job(..., &progress);
//   if (runJob(progress, job) == JobResult::Succeeded) ...
//
// Cancel is cooperative: Cancel (and an error, Escape, closing) sets
// userCanceled() at once; jobs poll it between items and inside every
// blocking wait, which must run in short slices. waitThread waits for the
// job to end and never terminates it.
#pragma once

#include "shell/core/jobreport.h"

#include <QDialog>
#include <QString>

#include <atomic>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class WinMovable;

class ProgressForm : public QDialog, public JobReport {
    Q_OBJECT

public:
    explicit ProgressForm(const QString& title, QWidget* parent = nullptr);
    ~ProgressForm() override;

    void setCancelEnabled(bool enabled);

    // Runs the dialog modally through the UiPrompt seam. Returns 1 after the
    // job's success post, 0 after an error, Cancel or any rejection. If the
    // job already ended the dialog before exec, returns that result at once.
    int exec() override;

    // Called after exec(): waits until the job's thread has finished. The
    // window keeps painting meanwhile (user input waits); a cancelled job
    // that is slow to stop is logged.
    static void waitThread(ProgressForm* form, QThread* thread);

    // True when the job ended the dialog with an error (not a cancel).
    bool failed() const { return m_failed; }

    // The post calls, callable from any thread (null report: nothing).
    static void postUpdateProgress(JobReport* report, const QString& status, int progress, const QString& text);
    static void postErrorOccurred(JobReport* report, const QString& err);
    static void postSucceed(JobReport* report, const QString& tips);
    static void postTipsWait(JobReport* report, const QString& info);

    // JobReport
    void postUpdateProgress(const QString& status, int progress, const QString& text) override;
    void postErrorOccurred(const QString& err) override;
    void postSucceed(const QString& tips) override;
    void postTipsWait(const QString& info) override;
    bool userCanceled() const override { return m_userCanceled.load(); }
    bool waitingTips() const override { return m_waitingTips.load(); }

    // Escape and closing act as Cancel, and like it do nothing while Cancel
    // is disabled.
    void reject() override;

    // What the dialog shows (for tests and callers that read it back).
    QString statusText() const;
    QString progressText() const;
    int progressValue() const;

signals:
    // Emitted by Cancel just before the dialog closes (the name is kept as
    // the rest of the application connects to it).
    void userCacel();

private slots:
    void updateProgress(const QString& status, int curProgress, const QString& progressText);
    void errorOccurred(const QString& err);
    void succeed(const QString& tipsStr);
    void onFinish(int result);
    void tipsWait(const QString& info);
    void cancel();

private:
    std::unique_ptr<WinMovable> m_movable;
    std::atomic<bool> m_userCanceled {false};
    std::atomic<bool> m_waitingTips {false};
    bool m_ended = false; // success, error or cancel has ended the dialog
    bool m_failed = false; // ... and it was an error
    QLabel* lbStatus = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* lbProgress = nullptr;
    QPushButton* btnCancel = nullptr;
};
