// ProgressForm driven by real worker threads: progress, success, error,
// cancel seen by a worker blocked on a socket wait, tips waits; runJob and
// runTask telling how a job ended while the window keeps painting.
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/scriptedprompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>

class TestProgressForm : public QObject {
    Q_OBJECT

private slots:
    void test_progressThenSuccess_execReturnsOneAndShowsTips();
    void test_errorPost_showsErrorBoxThenEndsWithZero();
    void test_cancelWhileWorkerBlockedOnSocket_seenWithin200ms();
    void test_tipsWait_blocksJobUntilBoxClosed();
    void test_runTask_saysHowItEnded_andPaintsWhileAJobStops();
};

namespace {
// A window that counts its paints and asks for one every 20 ms.
class PaintCounter : public QWidget {
public:
    PaintCounter()
    {
        resize(100, 100);
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
        timer->start(20);
    }
    std::atomic<int> paints {0};

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};
} // namespace

void TestProgressForm::test_progressThenSuccess_execReturnsOneAndShowsTips()
{
    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("All 3 done"));
    ProgressForm form(QStringLiteral("Loading calls"));
    // A total of 0 gives -1: the bar keeps its value, no division by zero.
    form.postUpdateProgress(QString(), 45, QString());
    form.postUpdateProgress(QString(), jobreport::percent(5, 0), QString());
    QCOMPARE(form.progressText(), QStringLiteral("Progress:45%"));

    QStringList seen;
    QObject::connect(&form, &QDialog::finished, &form, [&] { seen << form.progressText(); });
    const std::unique_ptr<QThread> job(QThread::create([&] {
        for (int i = 1; i <= 3; ++i) {
            ProgressForm::postUpdateProgress(&form, QString(), jobreport::percent(i, 3),
                                             QStringLiteral("Calls:%1 / 3").arg(i));
            QThread::msleep(10);
        }
        ProgressForm::postSucceed(&form, QStringLiteral("All 3 done"));
    }));
    job->start();
    QCOMPARE(form.exec(), 1);
    ProgressForm::waitThread(&form, job.get());
    QVERIFY(job->isFinished());
    QCOMPARE(form.progressValue(), 100);
    QCOMPARE(seen, QStringList {QStringLiteral("Calls:3 / 3")});
    QCOMPARE(prompt.messages().size(), 1);
}

void TestProgressForm::test_errorPost_showsErrorBoxThenEndsWithZero()
{
    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("disk full"));
    ProgressForm form(QStringLiteral("Backup"));
    std::atomic<bool> sawCancel {false};
    const std::unique_ptr<QThread> job(QThread::create([&] {
        ProgressForm::postErrorOccurred(&form, QStringLiteral("disk full"));
        // The flag a job polls turns true once the box was closed.
        QElapsedTimer t;
        t.start();
        while (!form.userCanceled() && t.elapsed() < 5000)
            QThread::msleep(5);
        sawCancel = form.userCanceled();
    }));
    job->start();
    QCOMPARE(form.exec(), 0);
    ProgressForm::waitThread(&form, job.get());
    QVERIFY(sawCancel.load());
    QCOMPARE(prompt.messages().size(), 1);
    QVERIFY(prompt.messages().first().contains(QStringLiteral("An Error Occurred.")));
    QCOMPARE(prompt.questions().last().icon, int(QMessageBox::Critical));
}

void TestProgressForm::test_cancelWhileWorkerBlockedOnSocket_seenWithin200ms()
{
    ScriptedPrompt prompt;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();

    ProgressForm form(QStringLiteral("Waiting for the phone"));
    std::atomic<qint64> sawAt {-1};
    std::atomic<bool> connected {false};
    QElapsedTimer clock;
    clock.start();
    const std::unique_ptr<QThread> job(QThread::create([&] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(2000))
            return;
        connected = true;
        // The peer never answers: wait in short slices, checking the flag.
        while (!form.userCanceled()) {
            if (socket.waitForReadyRead(50))
                socket.readAll();
        }
        sawAt = clock.elapsed();
    }));
    job->start();

    qint64 pressedAt = -1;
    QTimer::singleShot(300, &form, [&] {
        QVERIFY(connected.load());
        pressedAt = clock.elapsed();
        QTest::mousePress(form.findChild<QPushButton*>(QStringLiteral("btnCancel")),
                          Qt::LeftButton); // on press, not release
    });
    QCOMPARE(form.exec(), 0);
    ProgressForm::waitThread(&form, job.get());
    QVERIFY(job->isFinished());
    QVERIFY(sawAt.load() >= 0);
    QVERIFY2(sawAt.load() - pressedAt < 200, qPrintable(QString::number(sawAt.load() - pressedAt)));

    // A job that did not notice the cancel in time reports its end: no box,
    // and exec answers at once with the recorded result.
    form.postErrorOccurred(QStringLiteral("late error"));
    form.postSucceed(QStringLiteral("late success"));
    form.postTipsWait(QStringLiteral("late tip"));
    QCoreApplication::processEvents();
    QVERIFY(prompt.messages().isEmpty());
    QVERIFY(!form.waitingTips());
    QCOMPARE(form.exec(), 0);
}

void TestProgressForm::test_tipsWait_blocksJobUntilBoxClosed()
{
    // The real message box is shown; a timer closes it after a while.
    ProgressForm form(QStringLiteral("Restore"));
    std::atomic<qint64> resumedAt {-1};
    QElapsedTimer clock;
    clock.start();
    qint64 closedAt = -1;
    const std::unique_ptr<QThread> job(QThread::create([&] {
        jobreport::tipsWait(&form, QStringLiteral("Unlock the phone, then close this box."));
        resumedAt = clock.elapsed();
        ProgressForm::postSucceed(&form, QString());
    }));
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, &form, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || clock.elapsed() < 300)
            return;
        QVERIFY(form.waitingTips());
        QVERIFY(box->text().contains(QStringLiteral("Unlock the phone")));
        closedAt = clock.elapsed();
        box->button(QMessageBox::Ok)->click();
        closer.stop();
    });
    closer.start();
    job->start();
    QCOMPARE(form.exec(), 1);
    ProgressForm::waitThread(&form, job.get());
    QVERIFY(closedAt > 0);
    QVERIFY(resumedAt.load() >= closedAt);
    QVERIFY2(resumedAt.load() - closedAt < 400, qPrintable(QString::number(resumedAt.load() - closedAt)));
    QVERIFY(!form.waitingTips());
}

void TestProgressForm::test_runTask_saysHowItEnded_andPaintsWhileAJobStops()
{
    ScriptedPrompt prompt;
    {
        ProgressForm progress(QStringLiteral("ok"));
        QCOMPARE(runTask(progress, [] {}), JobResult::Succeeded);
    }
    {
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("disk gone"));
        ProgressForm progress(QStringLiteral("fails"));
        QCOMPARE(runTask(progress, [] { throw std::runtime_error("disk gone"); }), JobResult::Failed);
        QCOMPARE(prompt.pendingAnswers(), 0);
    }

    // A job that takes 800 ms to stop after the cancel: the window goes on
    // painting meanwhile.
    PaintCounter window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ProgressForm progress(QStringLiteral("slow to stop"));
    int paintsAtCancel = 0;
    QTimer::singleShot(200, &progress, [&] {
        progress.reject(); // as Cancel
        paintsAtCancel = window.paints;
    });
    QElapsedTimer t;
    t.start();
    const JobResult result = runTask(progress, [&] {
        while (!progress.userCanceled())
            QThread::msleep(10);
        QThread::msleep(800);
    });
    QCOMPARE(result, JobResult::Cancelled);
    QVERIFY(t.elapsed() >= 900);
    QVERIFY2(window.paints > paintsAtCancel + 5, qPrintable(QString::number(window.paints - paintsAtCancel)));
}

QTEST_MAIN(TestProgressForm)
#include "test_progressform.moc"
