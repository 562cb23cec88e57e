// Message boxes (frameless, styled, movable, their text capped and shown
// as text) and the error report against a loopback stub.
#include "shell/core/errorreport.h"
#include "shell/core/translations.h"
#include "shell/messagebox.h"
#include "shell/winmovable.h"

#include "testsupport.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

// A minimal HTTP endpoint on 127.0.0.1 that keeps the request it was sent.
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
                done = head >= 0 && request.left(head + 2).toLower().contains(length);
                if (done && answer)
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
            });
        });
    }
    QUrl url() const { return QUrl(u"http://127.0.0.1:%1"_s.arg(serverPort())); }
    // A field of the report, its Base64 ("!" for "/", "-" for "=") undone.
    QString field(const QString& key) const
    {
        QString b = QUrlQuery(QString::fromLatin1(request.mid(request.indexOf("\r\n\r\n") + 4))).queryItemValue(key);
        return QString::fromUtf8(QByteArray::fromBase64(b.replace(u'!', u'/').replace(u'-', u'=').toLatin1()));
    }

    QByteArray request;
    bool done = false;
};

// Runs f on the box as soon as one is open, then lets the caller go on.
void onNextBox(std::function<void(QMessageBox*)> f)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, f] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            f(box);
        }
    });
    timer->start(10);
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }

    void box_isFramelessStyled_answers_andTakesEmptyOrHugeText()
    {
        // The real box through the default prompt answers with the pressed button.
        onNextBox([](QMessageBox* b) {
            QVERIFY(b->windowFlags() & Qt::FramelessWindowHint);
            QVERIFY(!getStyleSheet().isEmpty());
            QCOMPARE(b->styleSheet(), getStyleSheet());
            QVERIFY(b->findChild<WinMovable*>());
            b->button(QMessageBox::No)->click();
        });
        QCOMPARE(showMessageBox(QMessageBox::Question, u"Really?"_s, QMessageBox::Yes | QMessageBox::No),
                 int(QMessageBox::No));
        onNextBox([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
        QVERIFY(!askYesNo(u"Go?"_s));

        QElapsedTimer t;
        t.start();
        onNextBox([](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); });
        showInfo(QString());
        onNextBox([](QMessageBox* b) {
            QVERIFY(b->text().size() < 10000);
            b->button(QMessageBox::Ok)->click();
        });
        showWarning(QString(2 * 1024 * 1024, QLatin1Char('x')));
        // A hang guard; the text is cut (above), and how fast the box comes
        // and goes is the responsiveness benchmark's.
        QVERIFY2(t.elapsed() < testsupport::kHangGuardMs, qPrintable(QString::number(t.elapsed())));
    }

    // The error text is shown as text (its line breaks kept) and reported
    // once the box is closed, only when the service is set.
    void showError_postsReportAfterBoxClosed()
    {
        ReportStub stub;
        qputenv("APP_WEB_SERVICE_URL", stub.url().toString().toLatin1());
        bool requestWhileOpen = true;
        onNextBox([&](QMessageBox* b) {
            QVERIFY(b->text().contains(u"An Error Occurred."_s));
            QVERIFY(b->text().contains(u"Open failed.<br/>Disk &lt;b&gt;full&lt;/b&gt;"_s));
            QTest::qWait(100);
            requestWhileOpen = stub.done;
            b->button(QMessageBox::Ok)->click();
        });
        showError(u"Open failed.<BR />Disk <b>full</b>"_s);
        qunsetenv("APP_WEB_SERVICE_URL");
        QVERIFY(!requestWhileOpen);
        QTRY_VERIFY_WITH_TIMEOUT(stub.done, testsupport::kHangGuardMs);
        QVERIFY(stub.request.startsWith("POST /err_report.php HTTP/1.1"));
        QVERIFY(stub.request.toLower().contains("content-type: application/x-www-form-urlencoded"));
        QCOMPARE(stub.field(u"prod"_s), u"Quillharbor Handset Ferry"_s);
        QCOMPARE(stub.field(u"ver"_s), u"3.1.28(28)"_s);
        QCOMPARE(stub.field(u"err"_s), u"Open failed.\r\nDisk &lt;b&gt;full&lt;/b&gt;"_s);
        // Base64 with "!" for "/" and "-" for "=", as the service reads it.
        QCOMPARE(errorreport::encodeReportField(u"\xff\xfe?>a"_s), u"w7!Dvj8+YQ--"_s);

        // Without the service nothing leaves; a service that never answers
        // is given up.
        QVERIFY(!errorreport::sendErrorReport(u"nothing leaves"_s));
        ReportStub silent(false); // reads the request, never answers
        QSignalSpy finished(errorreport::sendErrorReportTo(silent.url(), u"x"_s, nullptr, 300),
                            &QNetworkReply::finished);
        QVERIFY(finished.wait(testsupport::kHangGuardMs));
        QVERIFY(silent.done);
    }

    // A service in a folder of its host, with a query of its own, gets the
    // report in that folder, as the window's pages lie there.
    void errorReport_goesToTheServicesFolder()
    {
        ReportStub stub;
        QVERIFY(errorreport::sendErrorReportTo(QUrl(stub.url().toString() + u"/base/sub/?k=v"_s), u"x"_s));
        QTRY_VERIFY_WITH_TIMEOUT(stub.done, testsupport::kHangGuardMs);
        QVERIFY2(stub.request.startsWith("POST /base/sub/err_report.php?k=v HTTP/1.1"), stub.request.constData());
    }
};

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
