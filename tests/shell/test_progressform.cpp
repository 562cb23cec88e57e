// ProgressForm driven by real worker threads: cancel seen by a worker blocked
// on a socket wait, posts after the end; runJob and runTask telling how a job
// ended while the window keeps painting.
#include "scriptedprompt.h"
#include "shell/progressform.h"
#include "shell/runjob.h"

#include "testsupport.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <atomic>

using namespace Qt::StringLiterals;

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

JobResult run(ProgressForm& form, std::function<void()> job)
{
    const std::unique_ptr<QThread> thread(QThread::create(std::move(job)));
    return runJob(form, *thread);
}

} // namespace

class TestProgressForm : public QObject {
    Q_OBJECT

private slots:
    // Cancel acts on the press: a worker waiting on a silent socket in short
    // slices sees it at the first look after the press, never a slice later.
    void cancelWhileWorkerBlockedOnSocket_seenAtItsNextLook()
    {
        ScriptedPrompt prompt;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        ProgressForm form(u"Waiting for the phone"_s);
        std::atomic<bool> connected {false};
        std::atomic<bool> pressed {false}; // the press has returned
        std::atomic<int> looksAfterPress {0}; // looks that found no cancel after it
        std::atomic<bool> gaveUp {false};
        QTimer presser;
        connect(&presser, &QTimer::timeout, &form, [&] {
            if (gaveUp) // the press was not heard: end the dialog for the test to fail
                form.reject();
            if (!connected || pressed)
                return;
            QTest::mousePress(form.findChild<QPushButton*>(u"btnCancel"_s), Qt::LeftButton); // on press
            pressed = true;
        });
        presser.start(20);
        QCOMPARE(run(form,
                     [&, port = server.serverPort()] {
                         QTcpSocket socket;
                         socket.connectToHost(QHostAddress::LocalHost, port);
                         if (!socket.waitForConnected(testsupport::kHangGuardMs)) {
                             gaveUp = true;
                             return;
                         }
                         connected = true;
                         // The peer never answers: wait in short slices, checking the flag.
                         const QDeadlineTimer hangGuard(testsupport::kHangGuardMs);
                         for (;;) {
                             const bool afterPress = pressed;
                             if (form.userCanceled())
                                 break;
                             if (afterPress)
                                 ++looksAfterPress;
                             if (hangGuard.hasExpired()) {
                                 gaveUp = true;
                                 break;
                             }
                             if (socket.waitForReadyRead(50))
                                 socket.readAll();
                         }
                     }),
                 JobResult::Cancelled);
        QVERIFY(pressed.load());
        QVERIFY2(!gaveUp.load(), "the worker never saw the cancel");
        QCOMPARE(looksAfterPress.load(), 0);

        // A job that did not notice the cancel in time reports its end: no box,
        // and exec answers at once with the recorded result.
        form.postErrorOccurred(u"late error"_s);
        form.postSucceed(u"late success"_s);
        form.postTipsWait(u"late tip"_s);
        QCoreApplication::processEvents();
        QVERIFY(prompt.messages().isEmpty() && !form.waitingTips());
        QCOMPARE(form.exec(), 0);
    }

    void runTask_saysHowItEnded_andPaintsWhileAJobStops()
    {
        ScriptedPrompt prompt;
        {
            ProgressForm progress(u"ok"_s);
            // A total of 0 gives -1: the bar keeps its value, no division by zero.
            progress.postUpdateProgress(QString(), 45, QString());
            progress.postUpdateProgress(QString(), jobreport::percent(5, 0), QString());
            QCOMPARE(progress.progressText(), u"Progress:45%"_s);
            // Statuses carry file names: shown as written, not as markup.
            progress.postUpdateProgress(u"Downloading <img src=x.png>"_s, 50, u"<b>1</b> of 2"_s);
            for (const char* name : {"lbStatus", "lbProgress"})
                QCOMPARE(progress.findChild<QLabel*>(QLatin1String(name))->textFormat(), Qt::PlainText);
            QCOMPARE(progress.statusText(), u"Downloading <img src=x.png>"_s);
            QCOMPARE(runTask(progress, [] {}), JobResult::Succeeded);
        }
        {
            prompt.answerMessage(QMessageBox::Ok, u"disk gone"_s);
            ProgressForm progress(u"fails"_s);
            QCOMPARE(runTask(progress, [] { throw std::runtime_error("disk gone"); }), JobResult::Failed);
            QCOMPARE(prompt.questions().last().icon, int(QMessageBox::Critical));
            QVERIFY(prompt.messages().last().contains(u"An Error Occurred."_s));
        }
        {
            // The flag a job polls turns true once the error box was closed.
            prompt.answerMessage(QMessageBox::Ok, u"disk full"_s);
            ProgressForm progress(u"posts an error"_s);
            std::atomic<bool> told {false};
            QCOMPARE(runTask(progress,
                             [&] {
                                 progress.postErrorOccurred(u"disk full"_s);
                                 const QDeadlineTimer hangGuard(testsupport::kHangGuardMs);
                                 while (!progress.userCanceled() && !hangGuard.hasExpired())
                                     QThread::msleep(5);
                                 told = progress.userCanceled();
                             }),
                     JobResult::Failed);
            QVERIFY(told.load());
            VERIFY_SCRIPT_DONE(prompt);
        }

        // A job that stops only once the window has painted six more times
        // after the cancel: the window goes on painting meanwhile, and
        // runTask returns once the job has ended.
        PaintCounter window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ProgressForm progress(u"slow to stop"_s);
        std::atomic<int> paintsAtCancel {-1};
        QTimer::singleShot(200, &progress, [&] {
            paintsAtCancel = window.paints.load();
            progress.reject(); // as Cancel
        });
        std::atomic<bool> painted {false};
        std::atomic<bool> ended {false};
        const JobResult result = runTask(progress, [&] {
            while (!progress.userCanceled())
                QThread::msleep(10);
            const QDeadlineTimer hangGuard(testsupport::kHangGuardMs);
            while (!painted && !hangGuard.hasExpired()) {
                QThread::msleep(10);
                painted = window.paints > paintsAtCancel + 5;
            }
            ended = true;
        });
        QCOMPARE(result, JobResult::Cancelled);
        QVERIFY(ended.load());
        QVERIFY2(painted.load(), qPrintable(QString::number(window.paints - paintsAtCancel)));
    }
};

QTEST_MAIN(TestProgressForm)
#include "test_progressform.moc"
