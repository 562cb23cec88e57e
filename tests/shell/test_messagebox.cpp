// Message boxes (frameless, styled, draggable), the error report against a
// loopback stub, and the device chooser.
#include "shell/core/errorreport.h"
#include "shell/core/translations.h"
#include "shell/datasourceselform.h"
#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/scriptedprompt.h"
#include "shell/winmovable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QNetworkReply>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>

namespace {

// A minimal HTTP endpoint on 127.0.0.1 that keeps what it was sent.
class ReportStub : public QTcpServer {
public:
    explicit ReportStub(bool answer = true)
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this, answer] {
            QTcpSocket* s = nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, this, [this, s, answer] {
                request += s->readAll();
                const qsizetype head = request.indexOf("\r\n\r\n");
                const QByteArray length = "content-length: " + QByteArray::number(request.size() - head - 4) + "\r\n";
                if (head < 0 || !request.left(head + 2).toLower().contains(length))
                    return;
                body = QUrlQuery(QString::fromLatin1(request.mid(head + 4)));
                done = true;
                if (answer)
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
            });
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort())); }
    // A field of the report, its Base64 ("!" for "/", "-" for "=") undone.
    QString field(const QString& key) const
    {
        QString b = body.queryItemValue(key);
        return QString::fromUtf8(QByteArray::fromBase64(b.replace(u'!', u'/').replace(u'-', u'=').toLatin1()));
    }

    QByteArray request;
    QUrlQuery body;
    bool done = false;
};

// Runs f on the box as soon as one is open, then lets the caller go on.
void onNextBox(std::function<void(QMessageBox*)> f)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, f] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            f(box);
        }
    });
    timer->start();
}

void clickOnNextBox(QMessageBox::StandardButton button)
{
    onNextBox([button](QMessageBox* b) { b->button(button)->click(); });
}

// Presses a mouse button at from and moves it to to (window coordinates).
void drag(QWidget* w, Qt::MouseButton button, QPointF from, QPointF to)
{
    QMouseEvent press(QEvent::MouseButtonPress, from, w->mapToGlobal(from), button, button, {});
    QApplication::sendEvent(w, &press);
    QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, button, {});
    QApplication::sendEvent(w, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, w->mapToGlobal(to), button, Qt::NoButton, {});
    QApplication::sendEvent(w, &release);
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }
    void test_box_isFramelessStyled_answers_andTakesEmptyOrHugeText();
    void test_box_dragsFromBackground_onlyWithLeftButton();
    void test_showError_postsReportAfterBoxClosed();
    void test_report_offWithoutUrl_andSilentServiceTimesOut();
};

void TestMessageBox::test_box_isFramelessStyled_answers_andTakesEmptyOrHugeText()
{
    // The real box through the default prompt answers with the pressed button.
    onNextBox([](QMessageBox* b) {
        QVERIFY(b->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!getStyleSheet().isEmpty());
        QCOMPARE(b->styleSheet(), getStyleSheet());
        QVERIFY(b->findChild<WinMovable*>());
        b->button(QMessageBox::No)->click();
    });
    QCOMPARE(showMessageBox(QMessageBox::Question, QStringLiteral("Really?"), QMessageBox::Yes | QMessageBox::No),
             int(QMessageBox::No));
    clickOnNextBox(QMessageBox::Yes);
    QVERIFY(askYesNo(QStringLiteral("Go?")));
    onNextBox([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
    QVERIFY(!askYesNo(QStringLiteral("Go?")));

    QElapsedTimer t;
    t.start();
    clickOnNextBox(QMessageBox::Ok);
    showInfo(QString());
    onNextBox([](QMessageBox* b) {
        QVERIFY(b->text().size() < 10000);
        b->button(QMessageBox::Ok)->click();
    });
    showWarning(QString(2 * 1024 * 1024, QLatin1Char('x')));
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
}

void TestMessageBox::test_box_dragsFromBackground_onlyWithLeftButton()
{
    QWidget window(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    window.setGeometry(100, 100, 300, 200);
    WinMovable movable(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.geometry().topLeft();
    drag(&window, Qt::LeftButton, QPointF(0, 0), QPointF(30, 30)); // the very corner does not start a drag
    drag(&window, Qt::RightButton, QPointF(50, 50), QPointF(80, 70));
    QCOMPARE(window.geometry().topLeft(), start);
    drag(&window, Qt::LeftButton, QPointF(50, 50), QPointF(90, 60));
    QCOMPARE(window.geometry().topLeft(), start + QPoint(40, 10));
}

void TestMessageBox::test_showError_postsReportAfterBoxClosed()
{
    ReportStub stub;
    qputenv("APP_WEB_SERVICE_URL", stub.url().toString().toLatin1());
    bool requestWhileOpen = true;
    onNextBox([&](QMessageBox* b) {
        QVERIFY(b->text().contains(QStringLiteral("An Error Occurred.")));
        QVERIFY(b->text().contains(QStringLiteral("Open failed.<br/>Disk &lt;b&gt;full&lt;/b&gt;"))); // shown as text
        QTest::qWait(100);
        requestWhileOpen = stub.done;
        b->button(QMessageBox::Ok)->click();
    });
    showError(QStringLiteral("Open failed.<BR />Disk <b>full</b>"));
    qunsetenv("APP_WEB_SERVICE_URL");
    QVERIFY(!requestWhileOpen);
    QTRY_VERIFY_WITH_TIMEOUT(stub.done, 5000);
    QVERIFY(stub.request.startsWith("POST /err_report.php HTTP/1.1"));
    QVERIFY(stub.request.toLower().contains("content-type: application/x-www-form-urlencoded"));
    QCOMPARE(stub.body.queryItems().size(), 3);
    QCOMPARE(stub.field(QStringLiteral("prod")), QStringLiteral("Quillharbor Handset Ferry"));
    QCOMPARE(stub.field(QStringLiteral("ver")), QStringLiteral("3.1.28(28)"));
    QCOMPARE(stub.field(QStringLiteral("err")), QStringLiteral("Open failed.\r\nDisk &lt;b&gt;full&lt;/b&gt;"));
    // Base64 with "!" for "/" and "-" for "=".
    QCOMPARE(errorreport::encodeReportField(QStringLiteral("\xff\xfe?>a")),
             QStringLiteral("w7/Dvj8+YQ--").replace(u'/', u'!'));
}

void TestMessageBox::test_report_offWithoutUrl_andSilentServiceTimesOut()
{
    qunsetenv("APP_WEB_SERVICE_URL");
    QVERIFY(!errorreport::sendErrorReport(QStringLiteral("nothing leaves")));

    ReportStub silent(false); // reads the request, never answers
    QElapsedTimer t;
    t.start();
    QSignalSpy finished(errorreport::sendErrorReportTo(silent.url(), QStringLiteral("x"), nullptr, 300),
                        &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    QVERIFY(t.elapsed() < 5000);
    QVERIFY(silent.done);
}

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
