// The phone's page and the Wi-Fi dialog.
#include "phonelink/ui/androiddeviceinfoform.h"
#include "phonelink/ui/androidwifiform.h"
#include "scriptedprompt.h"
#include "shell/core/translations.h"

#include "../test_loadsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class TestPhoneForms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(QCoreApplication::instance()); }
    void init() { m_port = loadtest::pinLocalPort(); }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void page_showsTheRoadsId_andPhoneTextIsNotMarkup()
    {
        AndroidDeviceInfo d;
        d.serial = QStringLiteral("R58M41XYZ");
        d.uid = QStringLiteral("uid-7f3a");
        d.model = QStringLiteral("<img src=x onerror=alert(1)>");
        d.imei = QStringLiteral("356938035643809");
        for (bool wifi : {false, true}) {
            d.isWiFi = wifi;
            AndroidDeviceInfoForm page(&d);
            QCOMPARE(page.valueText(1, 1), wifi ? QStringLiteral("uid-7f3a") : QStringLiteral("R58M41XYZ"));
            QCOMPARE(page.valueText(1, 3), wifi ? QStringLiteral("Wi-Fi") : QStringLiteral("USB"));
            QCOMPARE(page.cacheLink()->text(),
                     QStringLiteral("<a href=\"%1\">356938035643809</a>").arg(d.cacheDir().absolutePath()));
            int shown = 0;
            for (QLabel* l : page.findChildren<QLabel*>())
                if (l->text().contains(QStringLiteral("<img src=x")) && ++shown)
                    QCOMPARE(l->textFormat(), Qt::PlainText);
            QVERIFY(shown > 0);
        }
        d.imei = QStringLiteral("<b>1</b>");
        AndroidDeviceInfoForm page(&d);
        QVERIFY(!page.cacheLink()->text().contains(QStringLiteral("<b>")));
    }

    void connect_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("refusal"); // the phone refuses with this text
        QTest::addColumn<QString>("message"); // the box shown; "%1" is the local port
        QTest::newRow("answers") << " " + testsupport::loopback(QStringLiteral("127.0.46.20")) + " " << QByteArray()
                                 << QString();
        QTest::newRow("refuses") << testsupport::loopback(QStringLiteral("127.0.46.21")) << QByteArray("busy")
                                 << "start backup://127.0.0.1:%1/device-info failed.busy";
        for (const char* typed : {"192.168.1.20:48889", "192.168.1", "phone.local", "  "})
            QTest::newRow(typed) << typed << QByteArray()
                                 << "Input Error. Please input the correct WiFi connection info.";
    }

    void connect()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, refusal);
        QFETCH(QString, message);
        std::unique_ptr<testsupport::SimPhone> phone;
        if (const QString address = AndroidWIFIForm::parseAddress(typed); !address.isEmpty()) {
            phone = std::make_unique<testsupport::SimPhone>(address);
            QVERIFY2(phone->ok(), qPrintable(phone->error));
            if (!refusal.isEmpty())
                phone->sim->addFault(phonesim::Fault(phonesim::Fault::Kind::RefuseControl, {}, 0, refusal));
        }
        ScriptedPrompt prompt;
        if (!message.isEmpty())
            prompt.answerMessage(QMessageBox::Ok,
                                 message.contains(QLatin1String("%1")) ? message.arg(m_port) : message);
        AndroidWIFIForm form;
        form.txtWifiSocket->setText(typed);
        QTest::mouseClick(form.btnConnect, Qt::LeftButton);
        VERIFY_SCRIPT_DONE(prompt);
        // A failure keeps the dialog open, without a phone.
        QCOMPARE(form.result(), message.isEmpty() ? int(QDialog::Accepted) : 0);
        QCOMPARE(form.device.uid, message.isEmpty() ? QStringLiteral("uid-7f3a") : QString());
        if (message.isEmpty())
            QCOMPARE(form.device.host + QLatin1Char(':') + QString::number(form.device.port),
                     testsupport::loopback(QStringLiteral("127.0.46.20")) + QStringLiteral(":48889"));
    }

private:
    int m_port = 0;
};

QTEST_MAIN(TestPhoneForms)
#include "test_phoneforms.moc"
