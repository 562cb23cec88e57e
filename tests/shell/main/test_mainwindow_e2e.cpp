// The main window end to end: phones over the adb stand-in and over Wi-Fi
// against the simulated phone, the start-up conversion under its progress
// dialog, and a screenshot of the whole window.
#include "phonelink/androidconnectthreads.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "phonelink/ui/androiddeviceinfoform.h"
#include "phonelink/ui/androidwifiform.h"
#include "platform/sqlite_qt.h"
#include "shell/core/translations.h"
#include "shell/itemmodelmain.h"
#include "shell/main/startup.h"
#include "shell/mytreeview.h"

#include "mwtestutil.h"
#include "simphone.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTcpServer>
#include <QtTest>

using Node = AbsTreeItemModel::_ItemNode;

namespace {

const QString kSerial = QStringLiteral("R58M41XYZ");

} // namespace

class TestMainWindowE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installTranslations(qApp);
        AndroidConnectWithUSBThread::setInstallPauseMs(0);
    }

    void init()
    {
        // adb is the stand-in for every test, listing no phone until told.
        m_phone = std::make_unique<testsupport::SimPhone>(testsupport::SimPhone::Options());
        QVERIFY2(m_phone->ok(), qPrintable(m_phone->error));
        m_phone->adb->setDevices({});
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
    }

    void cleanup()
    {
        simpleprotocol::setLocalPortProvider({});
        m_wifi.reset();
        m_phone.reset();
        testsupport::resetDataRoot();
    }

    void usbPhone_isConnectedShownAndDropped()
    {
        mwtest::backupDir(QStringLiteral("Backup 2024-05-01"), 3);
        mwtest::backupDir(QStringLiteral("Work phone"), 1);

        ScriptedPrompt prompt;
        auto w = mwtest::makeWindow(false, 200);
        MainWindow& win = *w->window;
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));

        m_phone->adb->setDevices(
            {phonesim::FakeAdb::Device(kSerial, QStringLiteral("device"), 20, 21, m_phone->sim->bridgeAddress())});
        const auto& devices = win.model()->devicesRoot()->children;
        QTRY_COMPARE_WITH_TIMEOUT(devices.size(), 1, 20000);
        auto* node = static_cast<_AndroidDeviceItemNode*>(devices.first());
        QCOMPARE(node->text, QStringLiteral("Acme Rocket 7"));
        QCOMPARE(node->device.mmc, QStringLiteral("262"));
        QVERIFY(qobject_cast<AndroidDeviceInfoForm*>(win.currentPage()));
        // Connected under the progress dialog; the known MCC asked nothing.
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
        VERIFY_SCRIPT_DONE(prompt);

        // The backups with their counts, the phone's page on the right.
        for (auto* backup : win.model()->localDbRoot()->children)
            win.selectNode(backup);
        win.selectNode(node);
        win.tree()->expandAll();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QCoreApplication::processEvents();
        QVERIFY(win.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/main_window.png")));

        m_phone->adb->setDevices({});
        QTRY_VERIFY_WITH_TIMEOUT(devices.isEmpty(), 20000);
        QCOMPARE(win.currentNode(), static_cast<Node*>(win.model()->devicesRoot()));
    }

    void wifiConnection_addsPhoneNode()
    {
        m_wifi = std::make_unique<testsupport::SimPhone>(QStringLiteral("127.0.48.7"));
        QVERIFY2(m_wifi->ok(), qPrintable(m_wifi->error));
        auto w = mwtest::makeWindow();
        MainWindow& win = *w->window;
        ScriptedPrompt prompt;
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("AndroidWIFIForm"),
                            [host = m_wifi->device.host](QDialog* d) {
                                static_cast<AndroidWIFIForm*>(d)->txtWifiSocket->setText(host);
                                static_cast<AndroidWIFIForm*>(d)->onBtnConnect();
                            });
        QMetaObject::invokeMethod(&win, "miConnectWifi");
        VERIFY_SCRIPT_DONE(prompt);

        const auto& devices = win.model()->devicesRoot()->children;
        QCOMPARE(devices.size(), 1);
        auto* node = static_cast<_AndroidDeviceItemNode*>(devices.first());
        QVERIFY(node->device.isWiFi);
        QCOMPARE(node->device.deviceId(), QStringLiteral("uid-7f3a"));
    }

    void oldMessageDatabase_isConvertedAtStartup()
    {
        const QDir folder = mwtest::backupDir(QStringLiteral("Old backup"));
        {
            Sqlite3DB db;
            db.openThrow(folder.absoluteFilePath(QStringLiteral("mms.db")), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            db.executeScriptThrow(
                mwtest::readFile(testsupport::sourceDir() + QStringLiteral("/tests/shell/main/data/old_mms.sql")));
        }
        mwtest::backupDir(QStringLiteral("New backup"));

        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully updated local database."));
        QVERIFY(startup::convertOldDatabases(getLocalDatabasesDir()));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
        QVERIFY(QFile::exists(folder.absoluteFilePath(QStringLiteral("mms.db-bak"))));
        QVERIFY(!QFile::exists(folder.absoluteFilePath(QStringLiteral("mms.db"))));

        auto w = mwtest::makeWindow();
        for (auto* n : w->window->model()->localDbRoot()->children) {
            auto* node = static_cast<_LocalDbItemNode*>(n);
            w->window->selectNode(node);
            QCOMPARE(node->counts[_LocalDbItemNode::Messages], node->text == QStringLiteral("Old backup") ? 2 : 0);
        }

        // Nothing left to convert: no dialog at the next start.
        ScriptedPrompt quiet;
        QVERIFY(!startup::convertOldDatabases(getLocalDatabasesDir()));
        QVERIFY(quiet.questions().isEmpty());
    }

private:
    std::unique_ptr<testsupport::SimPhone> m_phone; // on USB
    std::unique_ptr<testsupport::SimPhone> m_wifi;
};

QTEST_MAIN(TestMainWindowE2E)
#include "test_mainwindow_e2e.moc"
