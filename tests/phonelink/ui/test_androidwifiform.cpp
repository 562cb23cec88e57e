#include "phonelink/protocol/simpleprotocol.h"
#include "phonelink/ui/androidwifiform.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include "../simtestutil.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class TestAndroidWIFIForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(QCoreApplication::instance()); }
    void init()
    {
        m_port = simtest::freePort();
        const int port = m_port;
        simpleprotocol::setLocalPortProvider([port] { return port; });
    }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void parseAddress();
    void connect_data();
    void connect();

private:
    int m_port = 0;
};

void TestAndroidWIFIForm::parseAddress()
{
    QCOMPARE(AndroidWIFIForm::parseAddress(QStringLiteral("  192.168.1.20 ")), QStringLiteral("192.168.1.20"));
    QCOMPARE(AndroidWIFIForm::parseAddress(QStringLiteral("999.300.1.1")), QStringLiteral("999.300.1.1"));
    for (const char* bad : { "192.168.1", "192.168.1.20:48889", "", "phone.local" })
        QVERIFY2(AndroidWIFIForm::parseAddress(QString::fromLatin1(bad)).isEmpty(), bad);
}

void TestAndroidWIFIForm::connect_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("refusal"); // the phone refuses with this text
    QTest::addColumn<QString>("message");    // the box shown; "%1" is the local port
    QTest::newRow("answers") << " 127.0.46.20 " << QByteArray() << QString();
    QTest::newRow("refuses") << "127.0.46.21" << QByteArray("busy")
                             << "start backup://127.0.0.1:%1/device-info failed.busy";
    QTest::newRow("malformed") << "192.168.1.20:48889" << QByteArray()
                               << "Input Error. Please input the correct WiFi connection info.";
}

void TestAndroidWIFIForm::connect()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, refusal);
    QFETCH(QString, message);
    std::unique_ptr<phonesim::PhoneSim> sim;
    if (const QString address = AndroidWIFIForm::parseAddress(typed); !address.isEmpty()) {
        QString error;
        sim = simtest::startWifiSim(address, &error);
        QVERIFY2(sim, qPrintable(error));
        if (!refusal.isEmpty())
            sim->addFault(phonesim::Fault(phonesim::Fault::Kind::RefuseControl, {}, 0, refusal));
    }

    ScriptedPrompt prompt;
    if (!message.isEmpty())
        prompt.answerMessage(QMessageBox::Ok, message.contains(QLatin1String("%1")) ? message.arg(m_port) : message);
    AndroidWIFIForm form;
    form.txtWifiSocket->setText(typed);
    QTest::mouseClick(form.btnConnect, Qt::LeftButton);
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(prompt.pendingAnswers(), 0);
    if (!message.isEmpty()) { // the dialog stays open, without a phone
        QCOMPARE(form.result(), 0);
        QVERIFY(form.device.uid.isEmpty());
        return;
    }
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(form.device.isWiFi);
    QCOMPARE(form.device.host, QStringLiteral("127.0.46.20"));
    QCOMPARE(form.device.port, 48889);
    QCOMPARE(form.device.uid, QStringLiteral("uid-7f3a"));
}

QTEST_MAIN(TestAndroidWIFIForm)
#include "test_androidwifiform.moc"
