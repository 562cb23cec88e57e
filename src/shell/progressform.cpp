#include "progressform.h"

#include "shell/messagebox.h"
#include "shell/uiprompt.h"
#include "shell/winmovable.h"

#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

ProgressForm::ProgressForm(const QString& title, QWidget* parent)
    : QDialog(parent)
    , m_movable(std::make_unique<WinMovable>(this))
{
    setObjectName(QStringLiteral("ProgressForm"));
    setFixedSize(350, 122);

    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setGeometry(20, 20, 311, 16);
    lbStatus->setTextFormat(Qt::PlainText); // statuses carry file and phone names

    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setGeometry(20, 40, 321, 23);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(true);
    progressBar->setOrientation(Qt::Horizontal);

    lbProgress = new QLabel(this);
    lbProgress->setObjectName(QStringLiteral("lbProgress"));
    lbProgress->setGeometry(25, 70, 281, 20);
    lbProgress->setAlignment(Qt::AlignCenter);
    lbProgress->setTextFormat(Qt::PlainText);

    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(130, 90, 75, 23);
    btnCancel->setAutoDefault(false);

    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(getStyleSheet());

    connect(this, &QDialog::finished, this, &ProgressForm::onFinish);
    connect(btnCancel, &QPushButton::pressed, this, &ProgressForm::cancel);

    setWindowTitle(title);
    lbStatus->setText(title);
}

ProgressForm::~ProgressForm() = default;

void ProgressForm::setCancelEnabled(bool enabled)
{
    btnCancel->setEnabled(enabled);
}

int ProgressForm::exec()
{
    if (m_ended)
        return result();
    return UiPrompt::current()->execDialog(this);
}

void ProgressForm::reject()
{
    if (!btnCancel->isEnabled())
        return;
    QDialog::reject();
}

void ProgressForm::waitThread(ProgressForm* form, QThread* thread)
{
    if (!thread)
        return;
    // Jobs stop on their own: they poll the cancel flag between items and in
    // every blocking wait. Terminating a thread could leave a database in the
    // middle of a transaction, so we wait; meanwhile the window keeps
    // painting, but takes no input that could start other work.
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer nag;
    int seconds = 0;
    QObject::connect(&nag, &QTimer::timeout, &loop, [&] {
        seconds += 5;
        if (form && form->userCanceled())
            qWarning("A cancelled job is still running after %d s.", seconds);
    });
    nag.start(5000);
    // finished() reaches the loop queued, so connecting before this test
    // leaves no gap in which it could be missed.
    if (thread->isRunning())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
}

void ProgressForm::postUpdateProgress(JobReport* report, const QString& status, int progress, const QString& text)
{
    if (report)
        report->postUpdateProgress(status, progress, text);
}

void ProgressForm::postErrorOccurred(JobReport* report, const QString& err)
{
    if (report)
        report->postErrorOccurred(err);
}

void ProgressForm::postSucceed(JobReport* report, const QString& tips)
{
    if (report)
        report->postSucceed(tips);
}

void ProgressForm::postTipsWait(JobReport* report, const QString& info)
{
    if (report)
        report->postTipsWait(info);
}

void ProgressForm::postUpdateProgress(const QString& status, int progress, const QString& text)
{
    QMetaObject::invokeMethod(
        this, [this, status, progress, text] { updateProgress(status, progress, text); }, Qt::AutoConnection);
}

void ProgressForm::postErrorOccurred(const QString& err)
{
    QMetaObject::invokeMethod(
        this, [this, err] { errorOccurred(err); }, Qt::AutoConnection);
}

void ProgressForm::postSucceed(const QString& tips)
{
    QMetaObject::invokeMethod(
        this, [this, tips] { succeed(tips); }, Qt::AutoConnection);
}

void ProgressForm::postTipsWait(const QString& info)
{
    m_waitingTips = true;
    QMetaObject::invokeMethod(
        this, [this, info] { tipsWait(info); }, Qt::AutoConnection);
}

QString ProgressForm::statusText() const
{
    return lbStatus->text();
}

QString ProgressForm::progressText() const
{
    return lbProgress->text();
}

int ProgressForm::progressValue() const
{
    return progressBar->value();
}

void ProgressForm::updateProgress(const QString& status, int curProgress, const QString& progressText)
{
    if (!status.isEmpty())
        lbStatus->setText(status);
    const int value = curProgress < 0 ? progressBar->value() : qMin(curProgress, 100);
    progressBar->setValue(value);
    lbProgress->setText(progressText.isEmpty() ? QStringLiteral("Progress:%1%").arg(value) : progressText);
}

void ProgressForm::errorOccurred(const QString& err)
{
    // A job that reports after the user cancelled shows nothing more.
    if (m_ended)
        return;
    m_failed = true;
    showError(err);
    if (!m_ended)
        done(0);
}

void ProgressForm::succeed(const QString& tipsStr)
{
    if (m_ended)
        return;
    if (!tipsStr.isEmpty())
        showInfo(tipsStr);
    if (!m_ended)
        done(1);
}

void ProgressForm::onFinish(int result)
{
    m_ended = true;
    m_userCanceled = (result == 0);
}

void ProgressForm::tipsWait(const QString& info)
{
    if (!m_ended)
        showInfo(info);
    m_waitingTips = false;
}

void ProgressForm::cancel()
{
    if (!btnCancel->isEnabled() || m_ended)
        return;
    emit userCacel();
    done(0);
}
