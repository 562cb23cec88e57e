// The main window end to end: a phone over the adb stand-in against the
// simulated phone is connected under the progress dialog, shown and dropped,
// with a screenshot of the whole window; the start-up tip with and without a
// phone on Wi-Fi.
#include "phonelink/androidconnectthreads.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "phonelink/ui/androiddeviceinfoform.h"
#include "phonelink/ui/androidwifiform.h"
#include "shell/core/translations.h"
#include "shell/itemmodelmain.h"
#include "shell/mytreeview.h"

#include "mwtestutil.h"
#include "simphone.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

class TestMainWindowE2E : public QObject {
    Q_OBJECT

private slots:
    void usbPhone_isConnectedShownAndDropped()
    {
        installTranslations(qApp);
        AndroidConnectWithUSBThread::setInstallPauseMs(0);
        testsupport::SimPhone phone {testsupport::SimPhone::Options()};
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        phone.adb->setDevices({}); // no phone until told
        QTcpServer probe; // a free port for the phone's forwarded service
        probe.listen(QHostAddress::LocalHost, 0);
        simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
        probe.close();
        mwtest::backupDir(u"Backup 2024-05-01"_s, 3);
        mwtest::backupDir(u"Work phone"_s, 1);

        ScriptedPrompt prompt;
        auto w = mwtest::makeWindow(false, 200);
        MainWindow& win = *w->window;
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        phone.adb->setDevices(
            {phonesim::FakeAdb::Device(u"R58M41XYZ"_s, u"device"_s, 20, 21, phone.sim->bridgeAddress())});
        const auto& devices = win.model()->devicesRoot()->children;
        QTRY_COMPARE_WITH_TIMEOUT(devices.size(), 1, 20000);
        auto* node = static_cast<_AndroidDeviceItemNode*>(devices.first());
        QCOMPARE(node->device.mmc, u"262"_s);
        QCOMPARE(node->children.size(), 11);
        QVERIFY(qobject_cast<AndroidDeviceInfoForm*>(win.currentPage()));
        // Connected under the progress dialog; the known MCC asked nothing.
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(prompt.questions().first().text, u"ProgressForm"_s);
        VERIFY_SCRIPT_DONE(prompt);

        // The backups with their counts, the phone's page on the right.
        for (auto* backup : win.model()->localDbRoot()->children)
            win.selectNode(backup);
        win.selectNode(node);
        win.tree()->expandAll();
        QDir().mkpath(testsupport::binaryDir() + u"/screenshots"_s);
        QCoreApplication::processEvents();
        QVERIFY(win.grab().save(testsupport::binaryDir() + u"/screenshots/main_window.png"_s));

        phone.adb->setDevices({});
        QTRY_VERIFY_WITH_TIMEOUT(devices.isEmpty(), 20000);
        QCOMPARE(win.currentNode(), static_cast<AbsTreeItemModel::_ItemNode*>(win.model()->devicesRoot()));
        simpleprotocol::setLocalPortProvider({});
    }

    // The "Android device not found" tip is for a user without a phone: due
    // while a phone is being connected over Wi-Fi (nothing is on USB), it
    // waits for the connection and stays away; a window without any phone
    // still shows it.
    void usbTip_onlyWhenNoPhoneIsConnected()
    {
        installTranslations(qApp);
        testsupport::SimPhone phone(u"127.0.47.31"_s);
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        ScriptedPrompt prompt;
        prompt.answerDialog(QDialog::Accepted, u"AndroidWIFIForm"_s, [&phone](QDialog* d) {
            auto* form = static_cast<AndroidWIFIForm*>(d);
            form->txtWifiSocket->setText(phone.device.host);
            QTest::mouseClick(form->btnConnect, Qt::LeftButton);
        });
        MainWindowOptions o;
        o.startMonitor = false;
        o.usbTipsDelayMs = 0; // due as soon as the connection's dialog runs
        o.checkForUpdate = false;
        {
            MainWindow win(nullptr, o);
            QMetaObject::invokeMethod(&win, "miConnectWifi");
            QCOMPARE(win.model()->devicesRoot()->children.size(), 1);
            QTest::qWait(1500);
            VERIFY_SCRIPT_DONE(prompt);
            for (const auto& q : prompt.questions())
                QVERIFY2(q.kind != ScriptedPrompt::Kind::Message, qPrintable(q.text));
        }

        prompt.answerMessage(QMessageBox::Ok, u"Android device not found."_s);
        MainWindow win(nullptr, o);
        QTRY_COMPARE(prompt.pendingAnswers(), 0);
        VERIFY_SCRIPT_DONE(prompt);
    }
};

QTEST_MAIN(TestMainWindowE2E)
#include "test_mainwindow_e2e.moc"
