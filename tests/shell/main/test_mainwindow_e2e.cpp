// The main window end to end: a phone over the adb stand-in against the
// simulated phone is connected under the progress dialog, shown and dropped,
// with a screenshot of the whole window; a new phone connected once the user
// allowed debugging on it; a phone that leaves while its page's first load
// or a restore to it runs; clearing the cache with a phone connected; the
// start-up tip with and without a phone on Wi-Fi.
#include "phonelink/androidconnectthreads.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "phonelink/ui/androiddeviceinfoform.h"
#include "phonelink/ui/androidwifiform.h"
#include "records/localcallhistorydb.h"
#include "shell/core/translations.h"
#include "shell/getstartform.h"
#include "shell/itemmodelmain.h"
#include "shell/mytreeview.h"
#include "views/contacts/contactspages.h"
#include "views/organiser/callhistorymainform.h"
#include "views/organiser/organiserpages.h"

#include "../../views/contacts/contacttest.h"
#include "mwtestutil.h"
#include "simphone.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

using Node = AbsTreeItemModel::_ItemNode;

Node* childOfKind(Node* node, int kind)
{
    for (Node* c : node->children)
        if (c->type == kind)
            return c;
    return nullptr;
}

// A USB phone on the adb stand-in, its forwarded service on a free loopback
// port, and its node once the window connected it (null when it did not).
_AndroidDeviceItemNode* plugIn(testsupport::SimPhone& phone, MainWindow& win)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
    probe.close();
    phone.adb->setDevices({phonesim::FakeAdb::Device(u"R58M41XYZ"_s, u"device"_s, 20, 21, phone.sim->bridgeAddress())});
    const auto& devices = win.model()->devicesRoot()->children;
    if (!QTest::qWaitFor([&] { return devices.size() == 1; }, testsupport::kHangGuardMs))
        return nullptr;
    return static_cast<_AndroidDeviceItemNode*>(devices.first());
}

// Takes the phone away while a session of a service runs on it (the phone
// greeted the job and stalls after that): adb loses it first; once the
// window has put the phone's node aside (the job still uses it), the
// simulator stops, which ends the session under the job.
class PhonePuller : public QObject {
public:
    PhonePuller(testsupport::SimPhone& phone, MainWindow& win, const QString& service)
        : m_phone(phone)
        , m_win(win)
        , m_service(service)
    {
        m_deadline.setRemainingTime(testsupport::kHangGuardMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { step(); });
        m_timer.start(10);
    }

    bool sessionSeen = false;
    // The node was still in the tree, waiting, while the job ran.
    bool nodeKeptForTheJob = false;

private:
    void step()
    {
        if (!sessionSeen) {
            for (const phonesim::ConnectionLog& c : m_phone.sim->connections(u"service"_s))
                sessionSeen = sessionSeen || (c.service == m_service && !c.finished && !c.linesOut.isEmpty());
            if (sessionSeen)
                m_phone.adb->setDevices({});
        } else if (m_win.pendingRemovals() == 1) {
            nodeKeptForTheJob = m_win.model()->devicesRoot()->children.size() == 1;
        } else if (!m_deadline.hasExpired()) {
            return;
        }
        if (nodeKeptForTheJob || m_deadline.hasExpired()) {
            // Also when nothing happened in time: a stalled job never ends.
            m_timer.stop();
            m_phone.sim.reset();
        }
    }

    testsupport::SimPhone& m_phone;
    MainWindow& m_win;
    QString m_service;
    QTimer m_timer;
    QDeadlineTimer m_deadline;
};

// Triggers the shown page's action whose text is key translated in the
// page's context; false when it is missing or disabled.
bool triggerPageAction(MainWindow& win, const QString& context, const QString& key)
{
    const QString text = QCoreApplication::translate(context.toUtf8().constData(), key.toUtf8().constData());
    for (QAction* a : win.pageActions()) {
        if (a->text() == text && a->isEnabled()) {
            a->trigger();
            return true;
        }
    }
    return false;
}

} // namespace

class TestMainWindowE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installTranslations(qApp);
        AndroidConnectWithUSBThread::setInstallPauseMs(0);
        registerOrganiserPages(MainWindow::pages());
        registerContactsPages(MainWindow::pages());
    }

    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

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
        QTRY_COMPARE_WITH_TIMEOUT(devices.size(), 1, testsupport::kHangGuardMs);
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
        QTRY_VERIFY_WITH_TIMEOUT(devices.isEmpty(), testsupport::kHangGuardMs);
        QCOMPARE(win.currentNode(), static_cast<AbsTreeItemModel::_ItemNode*>(win.model()->devicesRoot()));
        simpleprotocol::setLocalPortProvider({});
    }

    // A phone plugged in for the first time is listed as 'unauthorized'
    // until the user allows debugging on it: the window tells how, its
    // connection fails, and once adb lists the phone as usable a few
    // listings later, it is connected and shown.
    void newPhone_connectsOnceAllowed()
    {
        testsupport::SimPhone phone {testsupport::SimPhone::Options()};
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        phone.adb->setDevices({});
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
        probe.close();
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, u"Error:R58M41XYZ\tunauthorized"_s);
        prompt.answerMessage(QMessageBox::Ok, u"unauthorized"_s); // the connection failed
        auto w = mwtest::makeWindow(false, 50);
        MainWindow& win = *w->window;
        const auto device = [&phone](const QString& state) {
            return phonesim::FakeAdb::Device(u"R58M41XYZ"_s, state, 20, 21, phone.sim->bridgeAddress());
        };
        phone.adb->setDevices({device(u"unauthorized"_s)});
        QTRY_COMPARE_WITH_TIMEOUT(prompt.pendingAnswers(), 0, testsupport::kHangGuardMs);
        const auto listings = [&phone] { return phone.adb->commandLines().count(u"adb devices"_s); };
        const qsizetype seen = listings();
        QTRY_VERIFY_WITH_TIMEOUT(listings() > seen + 3, testsupport::kHangGuardMs);
        const auto& devices = win.model()->devicesRoot()->children;
        QVERIFY(devices.isEmpty());
        VERIFY_SCRIPT_DONE(prompt);

        phone.adb->setDevices({device(u"device"_s)});
        QTRY_COMPARE_WITH_TIMEOUT(devices.size(), 1, testsupport::kHangGuardMs);
        QCOMPARE(static_cast<_AndroidDeviceItemNode*>(devices.first())->device.serial, u"R58M41XYZ"_s);
        QVERIFY(qobject_cast<AndroidDeviceInfoForm*>(win.currentPage()));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // The phone's calls page loads in its constructor; the phone leaves
    // meanwhile. The load fails, the page is built all the same, and then
    // the phone's node goes with its page.
    void phoneLeaves_whileItsPageLoads()
    {
        testsupport::SimPhone phone {testsupport::SimPhone::Options()};
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        phone.adb->setDevices({});
        phone.sim->addFault(phonesim::Fault(phonesim::Fault::Kind::StallAt, u"backup:calls"_s, 2));
        ScriptedPrompt prompt;
        auto w = mwtest::makeWindow(false, 50);
        MainWindow& win = *w->window;
        _AndroidDeviceItemNode* node = plugIn(phone, win);
        QVERIFY(node);

        prompt.answerMessage(QMessageBox::Ok, u"The remote host closed the connection"_s); // the load failed
        PhonePuller puller(phone, win, u"calls"_s);
        win.selectNode(childOfKind(node, NAV_CALL_HISTORY));
        QVERIFY(puller.sessionSeen);
        QVERIFY(puller.nodeKeptForTheJob);
        VERIFY_SCRIPT_DONE(prompt);

        QTRY_VERIFY_WITH_TIMEOUT(win.model()->devicesRoot()->children.isEmpty(), testsupport::kHangGuardMs);
        QCOMPARE(win.pendingRemovals(), 0);
        QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
        QCOMPARE(win.currentNode(), static_cast<Node*>(win.model()->devicesRoot()));
    }

    // A backup's calls go to the phone, which leaves while the restore runs:
    // the restore fails, the phone's node goes once it is over, and the
    // backup's page stays.
    void phoneLeaves_whileARestoreToItRuns()
    {
        {
            const QDir dir = mwtest::backupDir(u"Old phone"_s);
            LocalCallHistoryDb db(dir.absoluteFilePath(u"calls.db"_s));
            CallRecord call;
            call.address = u"+4930123456"_s;
            call.date = QDateTime::fromSecsSinceEpoch(1600000000);
            call.flags = CALL_FLAG_INCOMING;
            db.addCall(call);
        }
        testsupport::SimPhone phone {testsupport::SimPhone::Options()};
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        phone.adb->setDevices({});
        phone.sim->addFault(phonesim::Fault(phonesim::Fault::Kind::StallAt, u"restore:calls"_s, 2));
        ScriptedPrompt prompt;
        auto w = mwtest::makeWindow(false, 50);
        MainWindow& win = *w->window;
        Node* backup = win.model()->findLocalDb(u"Old phone"_s);
        QVERIFY(backup);
        win.selectNode(backup); // counts the folder and adds its categories
        _AndroidDeviceItemNode* node = plugIn(phone, win);
        QVERIFY(node);
        win.selectNode(childOfKind(backup, NAV_CALL_HISTORY));
        auto* page = qobject_cast<CallHistoryMainForm*>(win.currentPage());
        QVERIFY(page);

        const QString restore = QCoreApplication::translate("CallHistoryMainForm", "IDS_MI_TOOLBAR_TRANSFER_DB2A");
        QAction* action = nullptr;
        for (QAction* a : win.pageActions())
            if (a->text() == restore)
                action = a;
        QVERIFY(action && action->isEnabled());
        prompt.answerDeviceChoice(node->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, u"The remote host closed the connection"_s); // the restore failed
        PhonePuller puller(phone, win, u"calls"_s);
        action->trigger();
        QVERIFY(puller.sessionSeen);
        QVERIFY(puller.nodeKeptForTheJob);
        VERIFY_SCRIPT_DONE(prompt);

        QTRY_VERIFY_WITH_TIMEOUT(win.model()->devicesRoot()->children.isEmpty(), testsupport::kHangGuardMs);
        QCOMPARE(win.pendingRemovals(), 0);
        QCOMPARE(win.currentPage(), page);
    }

    // "Clear Cache files" with a phone connected and its calls page shown:
    // the page is built again and shows the phone's calls, and a second
    // transfer of a backup's contacts loads the phone's contacts first and
    // sends none of them again.
    void clearCache_phonesLoadAgain_andATransferSendsNothingTwice()
    {
        const QDir backupDir = mwtest::backupDir(u"Home"_s);
        contacttest::storeAll(backupDir.absoluteFilePath(u"contacts.db"_s),
                              contacttest::contacts(u"transferBackup"_s)); // Gus, Hal, Ann Lee
        testsupport::SimPhone phone(u"127.0.48.5"_s,
                                    testsupport::fixtureFile(u"tools/phone-sim/fixtures/sample-phone.json"_s));
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        ScriptedPrompt prompt;
        auto w = mwtest::makeWindow();
        MainWindow& win = *w->window;
        _AndroidDeviceItemNode* node = win.model()->addAndroidDevice(phone.device);
        win.model()->addDeviceCategories(node);
        Node* backup = win.model()->findLocalDb(u"Home"_s);
        QVERIFY(backup);
        win.selectNode(backup);
        const auto shownCalls = [&win] {
            auto* page = qobject_cast<CallHistoryMainForm*>(win.currentPage());
            return page ? page->callModel()->rowCount() : -1;
        };
        const auto transfer = [&](const QString& result) {
            win.selectNode(childOfKind(backup, NAV_CONTACTS));
            prompt.answerDeviceChoice(phone.device.deviceId());
            prompt.answerMessage(QMessageBox::Ok, result);
            return triggerPageAction(win, u"ContactsMainForm"_s, u"IDS_MI_TOOLBAR_TRANSFER_DB2A"_s);
        };

        win.selectNode(childOfKind(node, NAV_CALL_HISTORY));
        QCOMPARE(shownCalls(), 1);
        QVERIFY(transfer(u"Successfully transferred 2 contacts to Android,with 1 repeated contacts merged."_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(phone.loads(u"contacts"_s), 1);
        QCOMPARE(phone.loads(u"calls"_s), 1);

        win.selectNode(childOfKind(node, NAV_CALL_HISTORY));
        QCOMPARE(phone.loads(u"calls"_s), 1); // from the cache
        prompt.answerMessage(QMessageBox::Ok, u"Successfully cleared cache files."_s);
        QMetaObject::invokeMethod(&win, "miClearCache");
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(phone.loads(u"calls"_s), 2);
        QCOMPARE(shownCalls(), 1);
        win.selectNode(node);
        win.selectNode(childOfKind(node, NAV_CALL_HISTORY));
        QCOMPARE(shownCalls(), 1);
        QCOMPARE(phone.loads(u"calls"_s), 2);

        QVERIFY(transfer(u"Successfully transferred 0 contacts to Android,with 3 repeated contacts merged."_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(phone.loads(u"contacts"_s), 2);
        QStringList onPhone;
        for (const phonesim::SimContact& c : phone.sim->contactBook().contacts())
            for (const phonesim::SimRow& r : c.rows)
                if (r.kind == 1)
                    onPhone << r.columns.value(u"data2"_s).toString();
        onPhone.sort();
        QCOMPARE(onPhone, (QStringList {u"Ann"_s, u"Gus"_s, u"Hal"_s}));
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
        QTRY_COMPARE_WITH_TIMEOUT(prompt.pendingAnswers(), 0, testsupport::kHangGuardMs);
        VERIFY_SCRIPT_DONE(prompt);
    }
};

QTEST_MAIN(TestMainWindowE2E)
#include "test_mainwindow_e2e.moc"
