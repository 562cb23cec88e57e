#include "phonelink/protocol/simpleprotocol.h"
#include "phonelink/ui/androidwifiform.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include "phonesim.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

class TestAndroidWIFIForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(QCoreApplication::instance()); }
    void init();
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void parseAddress_data();
    void parseAddress();
    void malformedAddress_warnsAndStays();
    void phoneAnswers_dialogKeepsDescriptorAndAccepts();
    void phoneRefuses_errorShownDialogStays();
    void cancel_rejects();

private:
    int m_port = 0;
};

namespace {
phonesim::Fixture fixture()
{
    phonesim::Fixture f;
    QString error;
    f.loadJson(R"({"device": {"version": 20, "model": "Rocket 7", "manufacturer": "Acme",
                   "imei": "356938035643809", "uid": "uid-7f3a", "sdk": "13", "mmc": "262"}})",
        &error);
    return f;
}

std::unique_ptr<phonesim::PhoneSim> startSim(const QString& address)
{
    phonesim::PhoneSim::Options o;
    o.address = QHostAddress(address);
    o.acceptTimeoutMs = 5000;
    o.idleTimeoutMs = 5000;
    auto sim = std::make_unique<phonesim::PhoneSim>(fixture(), o);
    QString error;
    if (!sim->start(&error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    return sim;
}
} // namespace

void TestAndroidWIFIForm::init()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    m_port = probe.serverPort();
    const int port = m_port;
    simpleprotocol::setLocalPortProvider([port] { return port; });
}

void TestAndroidWIFIForm::parseAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address");
    QTest::newRow("padded") << "  192.168.1.20 "
                            << "192.168.1.20";
    QTest::newRow("three parts") << "192.168.1"
                                 << "";
    QTest::newRow("with port") << "192.168.1.20:48889"
                               << "";
    QTest::newRow("values unchecked") << "999.300.1.1"
                                      << "999.300.1.1";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("host name") << "phone.local"
                               << "";
}

void TestAndroidWIFIForm::parseAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QCOMPARE(AndroidWIFIForm::parseAddress(text), address);
}

void TestAndroidWIFIForm::malformedAddress_warnsAndStays()
{
    ScriptedPrompt prompt;
    prompt.answerMessage(
        QMessageBox::Ok, QStringLiteral("Input Error. Please input the correct WiFi connection info."));
    AndroidWIFIForm form;
    form.txtWifiSocket->setText(QStringLiteral("192.168.1.20:48889"));
    form.onBtnConnect();
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(prompt.pendingAnswers(), 0);
    QCOMPARE(form.result(), 0);
    QVERIFY(form.device.host.isEmpty());
}

void TestAndroidWIFIForm::phoneAnswers_dialogKeepsDescriptorAndAccepts()
{
    auto sim = startSim(QStringLiteral("127.0.46.20"));
    QVERIFY(sim);
    ScriptedPrompt prompt;
    AndroidWIFIForm form;
    form.txtWifiSocket->setText(QStringLiteral(" 127.0.46.20 "));
    QTest::mouseClick(form.btnConnect, Qt::LeftButton);
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(form.device.isWiFi);
    QCOMPARE(form.device.host, QStringLiteral("127.0.46.20"));
    QCOMPARE(form.device.port, 48889);
    QCOMPARE(form.device.uid, QStringLiteral("uid-7f3a"));
    QCOMPARE(form.device.displayName(), QStringLiteral("Acme Rocket 7"));
}

void TestAndroidWIFIForm::phoneRefuses_errorShownDialogStays()
{
    auto sim = startSim(QStringLiteral("127.0.46.21"));
    QVERIFY(sim);
    phonesim::Fault f;
    f.kind = phonesim::Fault::Kind::RefuseControl;
    f.text = "busy";
    sim->addFault(f);

    ScriptedPrompt prompt;
    const QString expected = QStringLiteral("start backup://127.0.0.1:%1/device-info failed.busy").arg(m_port);
    prompt.answerMessage(QMessageBox::Ok, expected);
    AndroidWIFIForm form;
    form.txtWifiSocket->setText(QStringLiteral("127.0.46.21"));
    form.onBtnConnect();
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(prompt.pendingAnswers(), 0);
    QCOMPARE(form.result(), 0);
    QVERIFY(form.device.uid.isEmpty());
}

void TestAndroidWIFIForm::cancel_rejects()
{
    AndroidWIFIForm form;
    form.show();
    QTest::mouseClick(form.btnClose, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(!form.isVisible());
}

QTEST_MAIN(TestAndroidWIFIForm)
#include "test_androidwifiform.moc"
