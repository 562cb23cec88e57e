// The call history page end to end against a simulated phone: the first
// load, backup into a chosen folder, restore from a backup to the phone,
// deletion on a backup page, and a screenshot.
#include "views/organiser/callhistorymainform.h"

#include "jobs/localdbselform.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/localcallhistorydb.h"
#include "shell/core/dataroot.h"
#include "shell/core/translations.h"
#include "shell/itemmodelmain.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "phonesim.h"
#include "restoreservices.h"
#include "testsupport.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

namespace {

constexpr char kAddress[] = "127.0.112.1";

// The simulated phone: five calls given out of date order.
QString fixturePath()
{
    return testsupport::sourceDir() + QStringLiteral("/tests/views/organiser/data/phone_calls.json");
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QStringList column(const QAbstractItemModel& m, int col)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.index(r, col).data().toString();
    return out;
}

void selectRows(MyTreeView* view, const QList<int>& rows)
{
    view->selectionModel()->clearSelection();
    for (int r : rows)
        view->selectionModel()->select(
            view->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace

class TestCallHistoryPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void firstVisit_loadsOnce_secondVisitReadsTheCache();
    void actionsAndMenu_followTheSourceAndThePhoneCount();
    void backup_goesIntoTheChosenFolder_skippingWhatIsThere();
    void restoreFromBackup_goesInBatches_andCacheStoresNoneTwice();
    void backupPage_deletesSelectedThenAll();
    void cacheThatCannotBeRemoved_skipsTheLoad();
    void screenshot_ofThePhonePage();

private:
    _AndroidDeviceItemNode* addPhone(const QString& imei);

    std::unique_ptr<phonesim::PhoneSim> m_sim;
    std::shared_ptr<phonesim::RestoreStore> m_store;
    ItemModelMain m_tree;
    _AndroidDeviceItemNode* m_phone = nullptr;
};

_AndroidDeviceItemNode* TestCallHistoryPage::addPhone(const QString& imei)
{
    AndroidDeviceInfo info;
    info.isWiFi = true;
    info.host = QString::fromLatin1(kAddress);
    info.port = 48889;
    info.uid = QStringLiteral("uid-page");
    info.imei = imei;
    info.manufacturer = QStringLiteral("Acme");
    info.model = QStringLiteral("Rocket 7");
    return m_tree.addAndroidDevice(info);
}

void TestCallHistoryPage::initTestCase()
{
    installTranslations(qApp);
    phonesim::Fixture fixture;
    QString error;
    QVERIFY2(fixture.load(fixturePath(), &error), qPrintable(error));
    phonesim::PhoneSim::Options o;
    o.address = QHostAddress(QString::fromLatin1(kAddress));
    o.controlPort = 48889;
    o.acceptTimeoutMs = 5000;
    o.idleTimeoutMs = 5000;
    m_sim = std::make_unique<phonesim::PhoneSim>(fixture, o);
    m_store = phonesim::registerRestoreServices(*m_sim);
    QVERIFY2(m_sim->start(&error), qPrintable(error));
    const int port = freePort();
    simpleprotocol::setLocalPortProvider([port] { return port; });
    m_phone = addPhone(QStringLiteral("490154203237518"));
}

void TestCallHistoryPage::cleanupTestCase()
{
    simpleprotocol::setLocalPortProvider({});
    m_sim->stop();
}

void TestCallHistoryPage::firstVisit_loadsOnce_secondVisitReadsTheCache()
{
    ScriptedPrompt prompt;
    {
        CallHistoryMainForm page(m_phone, m_tree.devicesRoot());
        QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
        QVERIFY(!m_phone->device.callsLoadTime.isNull());
        QCOMPARE(page.databasePath(), m_phone->device.cacheDir().absoluteFilePath(QStringLiteral("calls.db")));

        const ItemModelCall& model = *page.callModel();
        QCOMPARE(model.columnCount(), 5);
        QStringList headers;
        for (int i = 0; i < 5; ++i)
            headers << model.headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headers,
            (QStringList { QStringLiteral("Flag"), QStringLiteral("Number"), QStringLiteral("Contact"),
                QStringLiteral("Date"), QStringLiteral("Duration") }));
        // Newest first.
        QCOMPARE(column(model, 1),
            (QStringList { QStringLiteral("+49307654321"), QStringLiteral("+44 20 7946 0958"),
                QStringLiteral("+4917012345"), QStringLiteral("+49301234567"), QStringLiteral("0800 111") }));
        QCOMPARE(column(model, 0),
            (QStringList { QStringLiteral("Outgoing"), QStringLiteral("Incoming"), QStringLiteral("Blocked"),
                QStringLiteral("Incoming"), QStringLiteral("Blocked") }));
        QCOMPARE(column(model, 2).at(2), QStringLiteral("Jörg Groß"));
        QCOMPARE(column(model, 4),
            (QStringList { QStringLiteral("0' 59''"), QStringLiteral("62' 5''"), QStringLiteral("0' 0''"),
                QStringLiteral("2' 5''"), QStringLiteral("60' 0''") }));
        QCOMPARE(model.index(0, 3).data().toString(),
            QLocale::system().toString(QDateTime::fromSecsSinceEpoch(1700090000), QLocale::ShortFormat));
        QCOMPARE(model.index(0, 1).data(Qt::ToolTipRole).toString(), QStringLiteral("+49307654321"));
        QVERIFY(model.index(2, 0).data(Qt::DecorationRole).value<QPixmap>().width() == 18);
        QVERIFY(model.index(1, 1).data(Qt::DecorationRole).isNull());
        QCOMPARE(model.index(0, 2).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(250, 250, 250));
        QCOMPARE(model.index(1, 2).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 255, 255));
        QCOMPARE(model.index(0, 0).data(Qt::SizeHintRole).toSize(), QSize(0, 25));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:5"));
    }
    QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 5000));
    const auto loads = [this] {
        int n = 0;
        for (const auto& c : m_sim->connections(QStringLiteral("service")))
            n += c.service == QLatin1String("calls") && c.url.startsWith(QLatin1String("backup://")) ? 1 : 0;
        return n;
    };
    QCOMPARE(loads(), 1);

    // Second visit: the cache only, no dialog.
    CallHistoryMainForm again(m_phone, m_tree.devicesRoot());
    QCOMPARE(prompt.questions().size(), 1);
    QCOMPARE(again.callModel()->rowCount(), 5);
    QCOMPARE(loads(), 1);
}

void TestCallHistoryPage::actionsAndMenu_followTheSourceAndThePhoneCount()
{
    const QDir backupDir(getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Menu test")));
    backupDir.mkpath(QStringLiteral("."));
    _LocalDbItemNode* backup = m_tree.addLocalDb(backupDir);
    {
        LocalCallHistoryDb db(backupDir.absoluteFilePath(QStringLiteral("calls.db")));
        CallRecord c;
        c.address = QStringLiteral("1");
        c.date = QDateTime::fromSecsSinceEpoch(1);
        db.addCall(c);
    }

    CallHistoryMainForm phonePage(m_phone, m_tree.devicesRoot());
    QStringList texts;
    QList<bool> enabled;
    for (QAction* a : phonePage.createToolbarActions()) {
        texts << a->text();
        enabled << a->isEnabled();
        QCOMPARE(a->parent(), &phonePage);
    }
    QCOMPARE(texts,
        (QStringList { QStringLiteral("Backup Call history"),
            QStringLiteral("Transfer Android Call history to other Android"),
            QStringLiteral("Extract Call history") }));
    QCOMPARE(enabled, (QList<bool> { true, false, true })); // one phone only
    QVERIFY(!phonePage.createContextMenu()); // nothing selected
    selectRows(phonePage.listView(), { 1 });
    std::unique_ptr<QMenu> menu(phonePage.createContextMenu());
    QVERIFY(menu);
    texts.clear();
    for (QAction* a : menu->actions())
        texts << a->text();
    QCOMPARE(texts,
        (QStringList { QStringLiteral("Backup selected Call history"),
            QStringLiteral("Transfer selected Call history to other Android"),
            QStringLiteral("Extract selected Call history") }));

    CallHistoryMainForm backupPage(backup, m_tree.devicesRoot());
    texts.clear();
    enabled.clear();
    for (QAction* a : backupPage.createToolbarActions()) {
        texts << a->text();
        enabled << a->isEnabled();
    }
    QCOMPARE(texts,
        (QStringList { QStringLiteral("Transfer Call history from Database to Android"),
            QStringLiteral("Extract Call history"), QStringLiteral("Delete Call history") }));
    QCOMPARE(enabled, (QList<bool> { true, true, true }));
    selectRows(backupPage.listView(), { 0 });
    menu.reset(backupPage.createContextMenu());
    texts.clear();
    for (QAction* a : menu->actions())
        texts << a->text();
    QCOMPARE(texts,
        (QStringList { QStringLiteral("Transfer selected Call history from Database to Android"),
            QStringLiteral("Extract selected Call history"), QStringLiteral("Delete selected Call history") }));
    menu.reset(); // before the page that parents it
    m_tree.removeNode(backup);
}

void TestCallHistoryPage::backup_goesIntoTheChosenFolder_skippingWhatIsThere()
{
    CallHistoryMainForm page(m_phone, m_tree.devicesRoot());
    QSignalSpy finished(&page, &CallHistoryMainForm::backupFinished);
    ScriptedPrompt prompt;
    QString suggested;
    auto choose = [&suggested](QDialog* d) {
        auto* form = qobject_cast<LocalDbSelForm*>(d);
        suggested = form->comboBox()->currentText();
        form->comboBox()->setEditText(QStringLiteral(" Trip "));
        form->onBtnOkPress();
    };

    // Two selected calls first.
    selectRows(page.listView(), { 0, 3 });
    prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 2 Call History."));
    page.miBackup();
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(suggested, QStringLiteral("Acme Rocket 7-backup"));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toString(), QStringLiteral("Trip"));
    const QString file = getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Trip/calls.db"));
    {
        LocalCallHistoryDb db(file);
        QCOMPARE(db.countCalls(), 2);
    }

    // Then the toolbar without a selection: all five, the two stored ones skipped.
    page.listView()->selectionModel()->clearSelection();
    prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 5 Call History."));
    page.miToolbarBackup();
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(finished.size(), 2);
    LocalCallHistoryDb db(file);
    QCOMPARE(db.countCalls(), 5);

    // A cancelled chooser backs nothing up and says nothing.
    prompt.answerDialog(QDialog::Rejected, QStringLiteral("LocalDbSelForm"));
    page.miToolbarBackup();
    QCOMPARE(finished.size(), 2);
    QCOMPARE(prompt.pendingAnswers(), 0);
}

void TestCallHistoryPage::restoreFromBackup_goesInBatches_andCacheStoresNoneTwice()
{
    // A backup folder with 150 calls of another phone.
    const QDir backupDir(getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Old phone")));
    backupDir.mkpath(QStringLiteral("."));
    {
        LocalCallHistoryDb db(backupDir.absoluteFilePath(QStringLiteral("calls.db")));
        db.beginTran();
        for (int i = 0; i < 150; ++i) {
            CallRecord c;
            c.address = QStringLiteral("+3367%1").arg(100000 + i);
            c.date = QDateTime::fromSecsSinceEpoch(1600000000 + i * 600);
            c.duration = i;
            c.flags = i % 3 == 0 ? CALL_FLAG_OUTGOING : CALL_FLAG_INCOMING;
            db.addCall(c);
        }
        db.endTran(true);
    }
    _LocalDbItemNode* backup = m_tree.addLocalDb(backupDir);
    LocalCallHistoryDb cache(m_phone->device.cacheDir().absoluteFilePath(QStringLiteral("calls.db")));
    const qint64 before = cache.countCalls();
    cache.close();
    QCOMPARE(before, 5);

    CallHistoryMainForm page(backup, m_tree.devicesRoot());
    QCOMPARE(page.callModel()->rowCount(), 150);
    ScriptedPrompt prompt;
    for (int round = 1; round <= 2; ++round) {
        prompt.answerDeviceChoice(m_phone->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 150 Call History to Android."));
        page.miToolbarDB2A();
        QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
        QCOMPARE(prompt.pendingAnswers(), 0);
    }
    QVERIFY(m_store->errors().isEmpty());
    QCOMPARE(m_store->batchSizes(QStringLiteral("calls")), (QList<int> { 100, 50, 100, 50 }));
    QCOMPARE(m_store->completedSessions(QStringLiteral("calls")), 2);
    QCOMPARE(cache.countCalls(), 155);

    // The phone page shows the mirrored calls from its cache.
    CallHistoryMainForm phonePage(m_phone, m_tree.devicesRoot());
    QCOMPARE(phonePage.callModel()->rowCount(), 155);
    m_tree.removeNode(backup);
}

void TestCallHistoryPage::backupPage_deletesSelectedThenAll()
{
    const QDir backupDir(getLocalDatabasesDir().absoluteFilePath(QStringLiteral("To delete")));
    backupDir.mkpath(QStringLiteral("."));
    {
        LocalCallHistoryDb db(backupDir.absoluteFilePath(QStringLiteral("calls.db")));
        for (int i = 0; i < 4; ++i) {
            CallRecord c;
            c.address = QStringLiteral("55%1").arg(i);
            c.date = QDateTime::fromSecsSinceEpoch(1650000000 + i);
            db.addCall(c);
        }
    }
    _LocalDbItemNode* backup = m_tree.addLocalDb(backupDir);
    CallHistoryMainForm page(backup, m_tree.devicesRoot());
    QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:4"));
    ScriptedPrompt prompt;

    selectRows(page.listView(), { 0, 2 });
    prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete selected Call History?"));
    page.miDelete();
    QCOMPARE(page.callModel()->rowCount(), 4);

    prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected Call History?"));
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted selected Call History."));
    page.miToolbarDelete();
    QCOMPARE(column(*page.callModel(), 1), (QStringList { QStringLiteral("552"), QStringLiteral("550") }));
    QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:2"));

    page.listView()->selectionModel()->clearSelection();
    prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all Call History?"));
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all Call History."));
    page.miToolbarDelete();
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:0"));
    QCOMPARE(page.callModel()->rowCount(), 0);
    m_tree.removeNode(backup);
}

void TestCallHistoryPage::cacheThatCannotBeRemoved_skipsTheLoad()
{
    _AndroidDeviceItemNode* phone = addPhone(QStringLiteral("imei-blocked"));
    // A folder where the cache file should be cannot be removed as a file.
    const QString path = phone->device.cacheDir().absoluteFilePath(QStringLiteral("calls.db"));
    QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
    const int servicesBefore = int(m_sim->connections(QStringLiteral("service")).size());

    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("remove %1 error.").arg(path));
    prompt.answerMessage(QMessageBox::Ok); // the reload cannot open it either
    CallHistoryMainForm page(phone, m_tree.devicesRoot());
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(prompt.pendingAnswers(), 0);
    QVERIFY(phone->device.callsLoadTime.isNull());
    QCOMPARE(int(m_sim->connections(QStringLiteral("service")).size()), servicesBefore);
    QCOMPARE(page.callModel()->rowCount(), 0);
    m_tree.removeNode(phone);
}

void TestCallHistoryPage::screenshot_ofThePhonePage()
{
    CallHistoryMainForm page(m_phone, m_tree.devicesRoot());
    page.resize(709, 420);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    selectRows(page.listView(), { 1 });
    QCoreApplication::processEvents();
    QCOMPARE(page.listView()->columnWidth(0), (709 - 23) / 5);
    const QString dir = testsupport::binaryDir() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    QVERIFY(page.grab().save(dir + QStringLiteral("/callhistory_page.png")));
}

QTEST_MAIN(TestCallHistoryPage)
#include "test_callhistorypage.moc"
