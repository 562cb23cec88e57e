// The update check: when it runs, and what the window does with the web
// service's answer (a loopback stub plays the service).
#include "shell/core/translations.h"
#include "shell/main/updatecheck.h"
#include "shell/scriptedprompt.h"

#include "mwtestutil.h"
#include "testsupport.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// Answers every request with one fixed reply and records the request lines.
class StubService : public QObject {
public:
    StubService(int status, const QByteArray& body) : m_status(status), m_body(body)
    {
        m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_pending[s] += s->readAll();
                    if (!m_pending[s].contains("\r\n\r\n"))
                        return;
                    requests << QString::fromLatin1(m_pending[s].left(m_pending[s].indexOf("\r\n")));
                    s->write("HTTP/1.1 " + QByteArray::number(m_status) + " X\r\nContent-Length: " +
                             QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body);
                    s->disconnectFromHost();
                });
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    QStringList requests;

private:
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
    int m_status;
    QByteArray m_body;
};

qint64 readStamp()
{
    QFile f(updatecheck::stampPath());
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().toLongLong();
}

} // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installTranslations(qApp); }
    void cleanup();

    void isCheckDue_data();
    void isCheckDue();
    void classify();
    void urls_carryProductAndBuild();
    void offByDefault_noRequestAndNoMenuTarget();
    void currentVersion_rewritesStamp();
    void garbageOrErrorReplies_leaveWindowOpen();
    void newVersionLater_keepsRunning();
    void obsoleteVersion_closesCleanly();
};

void TestUpdateCheck::cleanup()
{
    qunsetenv("APP_WEB_SERVICE_URL");
    mwtest::resetDataRoot();
}

void TestUpdateCheck::isCheckDue_data()
{
    QTest::addColumn<QByteArray>("stamp");
    QTest::addColumn<bool>("due");
    const qint64 now = 1767600000;
    QTest::newRow("a day ago") << QByteArray::number(now - 86400) << false;
    QTest::newRow("a day and a second") << QByteArray::number(now - 86401) << true;
    QTest::newRow("not a number") << QByteArray("yesterday") << true;
    QTest::newRow("zero") << QByteArray("0") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("in the future") << QByteArray::number(now + 10) << true;
}

void TestUpdateCheck::isCheckDue()
{
    QFETCH(QByteArray, stamp);
    QFETCH(bool, due);
    const QString path = testsupport::makeTempDir(QStringLiteral("stamp")) + QStringLiteral("/stamp");
    QVERIFY(updatecheck::isCheckDue(path, 1767600000)); // missing
    mwtest::writeFile(path, stamp);
    QCOMPARE(updatecheck::isCheckDue(path, 1767600000), due);
}

void TestUpdateCheck::classify()
{
    using updatecheck::Reply;
    QCOMPARE(updatecheck::classify(200, "HTTP://dl.example/x.exe"), Reply::NewVersion);
    QCOMPARE(updatecheck::classify(200, ""), Reply::Current);
    QCOMPARE(updatecheck::classify(200, "https-but-not-http"), Reply::Current);
    QCOMPARE(updatecheck::classify(404, "http://x"), Reply::Ignored);
    QCOMPARE(updatecheck::downloadAddress(" http://x/y \r\n"), QStringLiteral("http://x/y"));
}

void TestUpdateCheck::urls_carryProductAndBuild()
{
    const QUrl base(QStringLiteral("http://127.0.0.1:9/svc/"));
    QCOMPARE(updatecheck::checkUrl(base).toString(),
             QStringLiteral("http://127.0.0.1:9/svc/sms_check_update.php?pid=7C31E05A9D2B46F08A1E5B3C6D7F9012&ver=28&q=1"));
    QVERIFY(updatecheck::updatePageUrl(base).query().startsWith(
        QStringLiteral("pid=7C31E05A9D2B46F08A1E5B3C6D7F9012&ver=28&vs=")));
}

void TestUpdateCheck::offByDefault_noRequestAndNoMenuTarget()
{
    StubService stub(200, "http://127.0.0.1/new.exe");
    auto w = mwtest::makeWindow(true);
    QMetaObject::invokeMethod(w->window.get(), "miCheckForUpdate");
    QMetaObject::invokeMethod(w->window.get(), "miHelp");
    QTest::qWait(200);
    QVERIFY(stub.requests.isEmpty());
    QVERIFY(w->opened.isEmpty());
    QCOMPARE(readStamp(), -1);
}

void TestUpdateCheck::currentVersion_rewritesStamp()
{
    StubService stub(200, "no");
    qputenv("APP_WEB_SERVICE_URL", stub.base().toUtf8());
    auto w = mwtest::makeWindow(true);
    QTRY_VERIFY(readStamp() > 0);
    QCOMPARE(stub.requests.size(), 1);
    QVERIFY(stub.requests.first().startsWith(
        QStringLiteral("GET /sms_check_update.php?pid=7C31E05A9D2B46F08A1E5B3C6D7F9012&ver=28&q=1 ")));
    QVERIFY(qAbs(readStamp() - QDateTime::currentSecsSinceEpoch()) < 60);

    // Within a day the next start asks nothing.
    auto again = mwtest::makeWindow(true);
    QTest::qWait(200);
    QCOMPARE(stub.requests.size(), 1);

    // The menu opens the update page instead.
    QMetaObject::invokeMethod(w->window.get(), "miCheckForUpdate");
    QCOMPARE(w->opened.size(), 1);
    QVERIFY(w->opened.first().toString().startsWith(stub.base() + QStringLiteral("/sms_check_update.php?pid=")));
}

void TestUpdateCheck::garbageOrErrorReplies_leaveWindowOpen()
{
    {
        StubService stub(404, "http://127.0.0.1/x");
        qputenv("APP_WEB_SERVICE_URL", stub.base().toUtf8());
        mwtest::writeFile(updatecheck::stampPath(), "12345");
        ScriptedPrompt prompt;
        auto w = mwtest::makeWindow(true);
        w->window->show();
        QTRY_COMPARE(stub.requests.size(), 1);
        QTest::qWait(200);
        QCOMPARE(readStamp(), 12345);
        QVERIFY(w->window->isVisible());
        QVERIFY(prompt.questions().isEmpty());
    }
    StubService stub(200, QByteArray("\x00\xff\xfe garbage \x01", 13));
    qputenv("APP_WEB_SERVICE_URL", stub.base().toUtf8());
    ScriptedPrompt prompt;
    auto w = mwtest::makeWindow(true);
    w->window->show();
    QTRY_VERIFY(readStamp() > 12345);
    QVERIFY(w->window->isVisible());
    QVERIFY(prompt.questions().isEmpty());
}

void TestUpdateCheck::newVersionLater_keepsRunning()
{
    StubService stub(200, "HTTP://127.0.0.1/new-version.exe\n");
    qputenv("APP_WEB_SERVICE_URL", stub.base().toUtf8());
    mwtest::writeFile(updatecheck::stampPath(), "12345");
    ScriptedPrompt prompt;
    prompt.answerDialog(QMessageBox::No, QStringLiteral("QMessageBox"), [](QDialog* d) {
        auto* box = static_cast<QMessageBox*>(d);
        QVERIFY(box->text().contains(QStringLiteral("A new version of Quillharbor Handset Ferry is available.")));
        QCOMPARE(box->button(QMessageBox::Yes)->text(), QStringLiteral("Download now"));
        QCOMPARE(box->button(QMessageBox::No)->text(), QStringLiteral("Download later"));
    });
    auto w = mwtest::makeWindow(true);
    w->window->show();
    QTRY_COMPARE(prompt.pendingAnswers(), 0);
    QTRY_VERIFY(readStamp() > 12345);
    QVERIFY(w->window->isVisible());
    QVERIFY(w->opened.isEmpty());
}

void TestUpdateCheck::obsoleteVersion_closesCleanly()
{
    StubService stub(200, "http://127.0.0.1/latest.exe");
    qputenv("APP_WEB_SERVICE_URL", stub.base().toUtf8());
    ScriptedPrompt prompt;
    prompt.answerDialog(QMessageBox::Ok, QStringLiteral("QMessageBox"), [](QDialog* d) {
        auto* box = static_cast<QMessageBox*>(d);
        QVERIFY(box->text().contains(QStringLiteral("has become obsolete")));
        QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("Download"));
    });
    auto w = mwtest::makeWindow(true);
    w->window->show();
    QTRY_VERIFY(!w->window->isVisible());
    QCOMPARE(w->opened, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1/latest.exe"))});
    QCOMPARE(readStamp(), -1); // not recorded: the next start asks again
    QVERIFY(w->window->monitor() == nullptr);
}

QTEST_MAIN(TestUpdateCheck)
#include "test_updatecheck.moc"
