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
#include "shell/scriptedprompt.h"

#include "fakeadbenv.h"
#include "mwtestutil.h"
#include "phonesim.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTcpServer>
#include <QtTest>

namespace {

const QString kSerial = QStringLiteral("R58M41XYZ");

phonesim::Fixture fixture()
{
    phonesim::Fixture f;
    QString error;
    f.loadJson(R"({"device": {"version": 20, "model": "Rocket 7", "manufacturer": "Acme",
                   "imei": "356938035643809", "uid": "uid-7f3a", "sdk": "13", "mmc": "262"}})",
               &error);
    return f;
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QStringList questionsOf(const ScriptedPrompt& prompt, ScriptedPrompt::Kind kind)
{
    QStringList out;
    for (const auto& q : prompt.questions())
        if (q.kind == kind)
            out << q.text;
    return out;
}

void saveShot(QWidget* w, const QString& name)
{
    const QString dir = testsupport::binaryDir() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    QCoreApplication::processEvents();
    const QPixmap pm = w->grab();
    QVERIFY(!pm.isNull());
    QVERIFY(pm.save(dir + QLatin1Char('/') + name));
}

} // namespace

class TestMainWindowE2E : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void usbPhone_isConnectedShownAndDropped();
    void wifiConnection_addsPhoneNode();
    void oldMessageDatabase_isConvertedAtStartup();

private:
    std::unique_ptr<phonesim::FakeAdb> m_adb;
    std::unique_ptr<phonesim::PhoneSim> m_sim;
};

void TestMainWindowE2E::initTestCase()
{
    installTranslations(qApp);
    AndroidConnectWithUSBThread::setInstallPauseMs(0);
}

void TestMainWindowE2E::init()
{
    m_adb = std::make_unique<phonesim::FakeAdb>(testsupport::makeTempDir(QStringLiteral("fakeadb")));
    QVERIFY2(m_adb->isValid(), "fake-adb is not built");
    m_adb->install();
    const int port = freePort();
    simpleprotocol::setLocalPortProvider([port] { return port; });
}

void TestMainWindowE2E::cleanup()
{
    simpleprotocol::setLocalPortProvider({});
    m_sim.reset();
    m_adb.reset();
    mwtest::resetDataRoot();
}

void TestMainWindowE2E::usbPhone_isConnectedShownAndDropped()
{
    phonesim::PhoneSim::Options o;
    o.wifi = false;
    o.acceptTimeoutMs = 5000;
    o.idleTimeoutMs = 5000;
    m_sim = std::make_unique<phonesim::PhoneSim>(fixture(), o);
    QString error;
    QVERIFY2(m_sim->start(&error), qPrintable(error));

    mwtest::addNotes(mwtest::backupDir(QStringLiteral("Backup 2024-05-01")), 3);
    mwtest::addNotes(mwtest::backupDir(QStringLiteral("Work phone")), 1);

    ScriptedPrompt prompt;
    MainWindowOptions opts;
    opts.monitorPollMs = 200;
    opts.usbTipsDelayMs = -1;
    opts.checkForUpdate = false;
    opts.openUrl = [](const QUrl&) {};
    MainWindow win(nullptr, opts);
    win.show();
    QVERIFY(QTest::qWaitForWindowExposed(&win));

    phonesim::FakeAdb::Device phone(kSerial, QStringLiteral("device"), 20, 21, m_sim->bridgeAddress());
    m_adb->setDevices({phone});

    const auto& devices = win.model()->devicesRoot()->children;
    QTRY_COMPARE_WITH_TIMEOUT(devices.size(), 1, 20000);
    auto* node = static_cast<_AndroidDeviceItemNode*>(devices.first());
    QCOMPARE(node->text, QStringLiteral("Acme Rocket 7"));
    QCOMPARE(node->device.serial, kSerial);
    QCOMPARE(node->device.uid, QStringLiteral("uid-7f3a"));
    QCOMPARE(node->device.mmc, QStringLiteral("262"));
    QCOMPARE(node->children.size(), 11);
    QCOMPARE(win.currentNode(), static_cast<AbsTreeItemModel::_ItemNode*>(node));
    QVERIFY(qobject_cast<AndroidDeviceInfoForm*>(win.currentPage()));
    // Connected under the progress dialog; the known MCC asked nothing.
    QCOMPARE(questionsOf(prompt, ScriptedPrompt::Kind::Dialog), QStringList{QStringLiteral("ProgressForm")});
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));

    // The backups with their counts, the phone's page on the right.
    for (auto* backup : win.model()->localDbRoot()->children)
        win.selectNode(backup);
    win.selectNode(node);
    win.tree()->expandAll();
    saveShot(&win, QStringLiteral("main_window.png"));

    m_adb->setDevices({});
    QTRY_VERIFY_WITH_TIMEOUT(devices.isEmpty(), 20000);
    QCOMPARE(win.currentNode(), static_cast<AbsTreeItemModel::_ItemNode*>(win.model()->devicesRoot()));
}

void TestMainWindowE2E::wifiConnection_addsPhoneNode()
{
    phonesim::PhoneSim::Options o;
    o.address = QHostAddress(QStringLiteral("127.0.48.7"));
    o.controlPort = 48889;
    o.acceptTimeoutMs = 5000;
    o.idleTimeoutMs = 5000;
    m_sim = std::make_unique<phonesim::PhoneSim>(fixture(), o);
    QString error;
    QVERIFY2(m_sim->start(&error), qPrintable(error));

    auto w = mwtest::makeWindow();
    MainWindow& win = *w->window;
    ScriptedPrompt prompt;
    prompt.answerDialog(QDialog::Accepted, QStringLiteral("AndroidWIFIForm"), [](QDialog* d) {
        auto* form = static_cast<AndroidWIFIForm*>(d);
        form->txtWifiSocket->setText(QStringLiteral("127.0.48.7"));
        form->onBtnConnect();
    });
    QMetaObject::invokeMethod(&win, "miConnectWifi");
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));

    const auto& devices = win.model()->devicesRoot()->children;
    QCOMPARE(devices.size(), 1);
    auto* node = static_cast<_AndroidDeviceItemNode*>(devices.first());
    QVERIFY(node->device.isWiFi);
    QCOMPARE(node->device.host, QStringLiteral("127.0.48.7"));
    QCOMPARE(node->device.deviceId(), QStringLiteral("uid-7f3a"));
    QCOMPARE(node->children.size(), 11);

    // An adb serial does not remove a phone connected over Wi-Fi; the same
    // phone connecting again replaces its node.
    QMetaObject::invokeMethod(&win, "onAndroidUSBDisconnected", Q_ARG(QString, kSerial));
    QCOMPARE(devices.size(), 1);
    node->text = QStringLiteral("old node");
    prompt.answerDialog(QDialog::Accepted, QStringLiteral("AndroidWIFIForm"), [](QDialog* d) {
        auto* form = static_cast<AndroidWIFIForm*>(d);
        form->txtWifiSocket->setText(QStringLiteral("127.0.48.7"));
        form->onBtnConnect();
    });
    QMetaObject::invokeMethod(&win, "miConnectWifi");
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices.first()->text, QStringLiteral("Acme Rocket 7"));
}

void TestMainWindowE2E::oldMessageDatabase_isConvertedAtStartup()
{
    const QDir folder = mwtest::backupDir(QStringLiteral("Old backup"));
    {
        Sqlite3DB db;
        db.openThrow(folder.absoluteFilePath(QStringLiteral("mms.db")), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        db.executeScriptThrow(
            "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY, address TEXT, person TEXT);"
            "CREATE TABLE message (ROWID INTEGER PRIMARY KEY, date INTEGER, is_send INTEGER, subject TEXT,"
            " body TEXT, handle_id INTEGER);"
            "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY, filename TEXT, mime_type TEXT);"
            "CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);"
            "INSERT INTO handle VALUES (1, '5551234', 'Bob');"
            "INSERT INTO message VALUES (1, 1600000000, 0, '', 'hello', 1);"
            "INSERT INTO message VALUES (2, 1600000060, 1, '', 'hi Bob', 1);");
    }
    mwtest::backupDir(QStringLiteral("New backup"));

    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully updated local database."));
    QVERIFY(startup::convertOldDatabases(getLocalDatabasesDir()));
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(questionsOf(prompt, ScriptedPrompt::Kind::Dialog), QStringList{QStringLiteral("ProgressForm")});
    QVERIFY(QFile::exists(folder.absoluteFilePath(QStringLiteral("mms.db-bak"))));
    QVERIFY(!QFile::exists(folder.absoluteFilePath(QStringLiteral("mms.db"))));

    auto w = mwtest::makeWindow();
    auto* node = static_cast<_LocalDbItemNode*>(w->window->model()->localDbRoot()->children.value(0));
    if (node->text != QStringLiteral("Old backup"))
        node = static_cast<_LocalDbItemNode*>(w->window->model()->localDbRoot()->children.value(1));
    w->window->selectNode(node);
    QCOMPARE(node->counts[_LocalDbItemNode::Messages], 2);

    // Nothing left to convert: no dialog at the next start.
    ScriptedPrompt quiet;
    QVERIFY(!startup::convertOldDatabases(getLocalDatabasesDir()));
    QVERIFY(quiet.questions().isEmpty());
}

QTEST_MAIN(TestMainWindowE2E)
#include "test_mainwindow_e2e.moc"
