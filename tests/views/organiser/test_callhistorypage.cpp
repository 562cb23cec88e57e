// The call history page end to end against a simulated phone: the first
// load, export, backup into a chosen folder, restore from a backup to the
// phone, a cache that cannot be replaced, a virtual device, the commands'
// enabling, and a screenshot. The export job alone, compared with expected
// CSV and text files, and failing on a full disk.
#include "views/organiser/callhistorymainform.h"
#include "views/organiser/exportcallhistorythread.h"

#include "jobs/localdbselform.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/localcallhistorydb.h"
#include "shell/core/dataroot.h"
#include "shell/core/translations.h"
#include "shell/itemmodelmain.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr char kAddress[] = "127.0.112.1";

CallRecord call(const QString& address, const QString& person, qint64 date, int duration, int flags)
{
    CallRecord c;
    c.address = address;
    c.person = person;
    c.date = QDateTime::fromSecsSinceEpoch(date);
    c.duration = duration;
    c.flags = flags;
    return c;
}

// Quotes, commas, line breaks, non-ASCII and an over-long name.
QList<CallRecord> sampleCalls()
{
    return {
        call(QStringLiteral("+49301234567"), QStringLiteral("Anna Berg"), 1700000000, 125, CALL_FLAG_INCOMING),
        call(QStringLiteral("+49307654321"), QString(), 1700090000, 59, CALL_FLAG_OUTGOING),
        call(QStringLiteral("0800 111"), QStringLiteral("Hotline, \"Support\""), 1699990000, 3600, CALL_FLAG_MISSED),
        call(QStringLiteral("+4917012345"), QStringLiteral("Jörg Groß"), 1700050000, 0, 0),
        call(QStringLiteral("+44 20 7946 0958"), QStringLiteral("A name longer than twenty"), 1700070000, 3725,
             CALL_FLAG_INCOMING),
        call(QStringLiteral("555\n0199"), QStringLiteral("Line\nbreak"), 1700080000, 7, CALL_FLAG_OUTGOING)};
}

void runExport(const QList<CallRecord>& calls, const QString& path, testsupport::RecordingJobReport& report)
{
    ExportCallHistoryThread job(calls, path, &report);
    job.start();
    QVERIFY(job.wait(10000));
}

} // namespace

class TestCallHistoryPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        // The simulated phone: five calls given out of date order.
        m_sim = std::make_unique<testsupport::SimPhone>(
            QString::fromLatin1(kAddress),
            testsupport::fixtureFile(QStringLiteral("tests/views/organiser/data/phone_calls.json")));
        QVERIFY2(m_sim->ok(), qPrintable(m_sim->error));
    }

    void init() { m_phone = addPhone(*m_sim); }
    void cleanup() { cleanupPage(); }

    void firstVisit_loadsOnce_secondVisitReadsTheCache()
    {
        ScriptedPrompt prompt;
        const int loadsBefore = m_sim->loads(QStringLiteral("calls"));
        {
            CallHistoryMainForm page(m_phone, devicesRoot());
            checkModel(page.callModel());
            VERIFY_SCRIPT_DONE(prompt);
            QCOMPARE(prompt.questions().size(), 1);
            QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
            const ItemModelCall& model = *page.callModel();
            QStringList headers;
            for (int i = 0; i < model.columnCount(); ++i)
                headers << model.headerData(i, Qt::Horizontal).toString();
            QCOMPARE(headers, QStringLiteral("Flag|Number|Contact|Date|Duration").split(u'|'));
            // Newest first.
            QCOMPARE(column(model, 0), QStringLiteral("Outgoing|Incoming|Blocked|Incoming|Blocked").split(u'|'));
            QCOMPARE(column(model, 1),
                     QStringLiteral("+49307654321|+44 20 7946 0958|+4917012345|+49301234567|0800 111").split(u'|'));
            QCOMPARE(column(model, 2).at(2), QStringLiteral("Jörg Groß"));
            QCOMPARE(column(model, 4), QStringLiteral("0' 59''|62' 5''|0' 0''|2' 5''|60' 0''").split(u'|'));
            QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:5"));
        }
        QCOMPARE(m_sim->loads(QStringLiteral("calls")), loadsBefore + 1);

        // Second visit: the cache only, no dialog.
        CallHistoryMainForm again(m_phone, devicesRoot());
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(again.callModel()->rowCount(), 5);
        QCOMPARE(m_sim->loads(QStringLiteral("calls")), loadsBefore + 1);

        // Exporting the selection to a name without suffix under the
        // preselected CSV filter writes CSV.
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        selectRows(again.listView(), {4});
        prompt.answerSaveFile(dir + QStringLiteral("/calls"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 Call history."));
        again.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        const ScriptedPrompt::Question asked = prompt.questions().at(prompt.questions().size() - 3);
        QCOMPARE(asked.filter, QStringLiteral("Text Files(*.txt);;CSV Files(*.csv)"));
        QCOMPARE(asked.selectedFilter, QStringLiteral("CSV Files(*.csv)"));
        const QList<QByteArray> lines = testsupport::readFile(dir + QStringLiteral("/calls.csv")).split('\n');
        QCOMPARE(lines.size(), 3); // the header, one call, the last line's end
        QVERIFY(lines.at(1).startsWith("Blocked,0800 111,"));

        // Picking the text filter for a name without suffix writes the table.
        prompt.answerSaveFile(dir + QStringLiteral("/table"), QStringLiteral("Text Files(*.txt)"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 Call history."));
        again.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(testsupport::readFile(dir + QStringLiteral("/table.txt")).startsWith("Flag           Number"));

        // The screenshot goes to the build folder.
        again.resize(709, 420);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        selectRows(again.listView(), {1});
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(again.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/callhistory_page.png")));
    }

    void backup_goesIntoTheChosenFolder_skippingWhatIsThere()
    {
        ScriptedPrompt prompt;
        CallHistoryMainForm page(m_phone, devicesRoot());
        QSignalSpy finished(&page, &CallHistoryMainForm::backupFinished);
        QString suggested;
        auto choose = [&suggested](QDialog* d) {
            auto* form = qobject_cast<LocalDbSelForm*>(d);
            suggested = form->comboBox()->currentText();
            form->comboBox()->setEditText(QStringLiteral(" Trip "));
            form->onBtnOkPress();
        };
        const QString file = getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Trip/calls.db"));

        // Two selected calls first.
        selectRows(page.listView(), {0, 3});
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 2 Call History."));
        page.miBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(suggested, QStringLiteral("Acme Rocket 7-backup"));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toString(), QStringLiteral("Trip"));
        QCOMPARE(LocalCallHistoryDb(file).countCalls(), 2);

        // Then the toolbar without a selection: all five, the two stored ones skipped.
        page.listView()->selectionModel()->clearSelection();
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 5 Call History."));
        page.miToolbarBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(LocalCallHistoryDb(file).countCalls(), 5);

        // A cancelled chooser backs nothing up and says nothing.
        prompt.answerDialog(QDialog::Rejected, QStringLiteral("LocalDbSelForm"));
        page.miToolbarBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), 2);
    }

    void restoreFromBackup_goesInBatches_andCacheStoresNoneTwice()
    {
        // A backup folder with 150 calls of another phone.
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old phone"));
        {
            LocalCallHistoryDb db(backup->dir.absoluteFilePath(QStringLiteral("calls.db")));
            db.beginTran();
            for (int i = 0; i < 150; ++i)
                db.addCall(call(QStringLiteral("+3367%1").arg(100000 + i), QString(), 1600000000 + i * 600, 0,
                                i % 3 == 0 ? CALL_FLAG_OUTGOING : CALL_FLAG_INCOMING));
            db.endTran(true);
        }
        ScriptedPrompt prompt;
        CallHistoryMainForm(m_phone, devicesRoot()); // the phone's five calls into its cache
        const QString cache = m_phone->device.cacheDir().absoluteFilePath(QStringLiteral("calls.db"));
        QCOMPARE(LocalCallHistoryDb(cache).countCalls(), 5);

        const int sessionsBefore = m_sim->store->completedSessions(QStringLiteral("calls"));
        CallHistoryMainForm page(backup, devicesRoot());
        for (int round = 1; round <= 2; ++round) {
            prompt.answerDeviceChoice(m_phone->device.deviceId());
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 150 Call History to Android."));
            page.miToolbarDB2A();
            VERIFY_SCRIPT_DONE(prompt);
        }
        QVERIFY(m_sim->store->errors().isEmpty());
        QCOMPARE(m_sim->store->batchSizes(QStringLiteral("calls")).mid(0, 4), (QList<int> {100, 50, 100, 50}));
        QTRY_COMPARE(m_sim->store->completedSessions(QStringLiteral("calls")), sessionsBefore + 2);
        QCOMPARE(LocalCallHistoryDb(cache).countCalls(), 155);
        // The phone page shows the mirrored calls from its cache.
        QCOMPARE(CallHistoryMainForm(m_phone, devicesRoot()).callModel()->rowCount(), 155);
    }

    void cacheThatCannotBeRemoved_skipsTheLoad()
    {
        AndroidDeviceInfo info = m_sim->device;
        info.imei = QStringLiteral("imei-blocked");
        _AndroidDeviceItemNode* phone = tree().addAndroidDevice(info);
        // A folder where the cache file should be cannot be removed as a file.
        const QString path = phone->device.cacheDir().absoluteFilePath(QStringLiteral("calls.db"));
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
        const int loadsBefore = m_sim->loads(QStringLiteral("calls"));

        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("remove %1 error.").arg(path));
        prompt.answerMessage(QMessageBox::Ok); // the reload cannot open it either
        CallHistoryMainForm page(phone, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(phone->device.callsLoadTime.isNull());
        QCOMPARE(m_sim->loads(QStringLiteral("calls")), loadsBefore);
        QCOMPARE(page.callModel()->rowCount(), 0);
    }

    // A virtual device reads its own folder and never reaches for a phone; it
    // offers no delete and is never a transfer target.
    void virtualDevice_readsItsFolderOnly_andIsNoTarget()
    {
        QString folder;
        _AndroidDeviceItemNode* virtualDevice = addVirtualDevice(QStringLiteral("Old Rocket"), &folder);
        {
            LocalCallHistoryDb db(folder + QStringLiteral("/calls.db"));
            db.addCall(call(QStringLiteral("+4930999"), QStringLiteral("Kept"), 1500000000, 12, CALL_FLAG_INCOMING));
        }
        const int connectionsBefore = int(m_sim->sim->connections().size());
        ScriptedPrompt prompt;
        CallHistoryMainForm page(virtualDevice, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(prompt.questions().isEmpty());
        QCOMPARE(column(*page.callModel(), 2), QStringList {QStringLiteral("Kept")});
        QCOMPARE(int(m_sim->sim->connections().size()), connectionsBefore);

        // Transfer from the virtual device to the connected phone works; the
        // phone page cannot send to the virtual device.
        const QList<QAction*> actions = page.createToolbarActions();
        QCOMPARE(texts(actions),
                 QStringLiteral("Backup Call history|Transfer Android Call history to other "
                                "Android|Extract Call history")
                     .split(u'|'));
        QVERIFY(actions.at(1)->isEnabled());
        CallHistoryMainForm phonePage(m_phone, devicesRoot());
        QVERIFY(!phonePage.createToolbarActions().at(1)->isEnabled());
        QCOMPARE(phonePage.source().transferTargets().size(), 0);
    }

    // Transfer entries follow the connected phones: none, one (this page's
    // own), two.
    void commands_areEnabledByConnectedPhones()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Enable"));
        tree().removeNode(m_phone);
        CallHistoryMainForm none(backup, devicesRoot());
        QCOMPARE(texts(none.createToolbarActions()),
                 QStringLiteral("Transfer Call history from Database to Android|Extract Call history|Delete Call "
                                "history")
                     .split(u'|'));
        QCOMPARE(enabledStates(none.createToolbarActions()), (QList<bool> {false, true, true}));

        m_phone = addPhone(*m_sim);
        ScriptedPrompt prompt;
        CallHistoryMainForm one(m_phone, devicesRoot());
        QCOMPARE(enabledStates(one.createToolbarActions()), (QList<bool> {true, false, true}));
        QCOMPARE(enabledStates(CallHistoryMainForm(backup, devicesRoot()).createToolbarActions()),
                 (QList<bool> {true, true, true}));

        AndroidDeviceInfo other = m_sim->device;
        other.uid = QStringLiteral("uid-other");
        other.host = QStringLiteral("127.0.112.9");
        other.callsLoadTime = QDateTime::currentDateTime(); // nothing to load
        tree().addAndroidDevice(other);
        CallHistoryMainForm two(m_phone, devicesRoot());
        QCOMPARE(enabledStates(two.createToolbarActions()), (QList<bool> {true, true, true}));
        // The context menu needs a selection.
        QVERIFY(!two.createContextMenu());
        selectRows(two.listView(), {0});
        std::unique_ptr<QMenu> menu(two.createContextMenu());
        QVERIFY(menu);
        QCOMPARE(texts(menu->actions()),
                 QStringLiteral("Backup selected Call history|Transfer selected Call history "
                                "to other Android|Extract selected Call history")
                     .split(u'|'));
    }

    void export_matchesTheExpectedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("csv") << "calls.csv"
                             << "calls_expected.csv";
        QTest::newRow("CSV upper case") << "calls.CSV"
                                        << "calls_expected.csv";
        QTest::newRow("txt") << "calls.txt"
                             << "calls_expected.txt";
        QTest::newRow("other suffix") << "calls.dat"
                                      << "calls_expected.txt";
    }

    void export_matchesTheExpectedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QLatin1Char('/') + name;
        testsupport::RecordingJobReport report;
        runExport(sampleCalls(), path, report);
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 6 Call history.")});
        QCOMPARE(testsupport::readFile(path),
                 testsupport::readFile(testsupport::sourceDir() + QStringLiteral("/tests/views/organiser/data/")
                                       + expected));
    }

    // Cancelled, unopenable or out of space: no file is left under the
    // target's name (an earlier one stays whole) and no success is claimed.
    void export_cancelledOrFailed_leavesNoFile()
    {
        QList<CallRecord> calls;
        for (int i = 0; i < 200; ++i)
            calls += sampleCalls();
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        testsupport::RecordingJobReport cancelled;
        cancelled.cancelWhenProgressContains(QStringLiteral("10 / 1200"));
        runExport(calls, dir + QStringLiteral("/cancelled.txt"), cancelled);
        QCOMPARE(cancelled.endCount(), 0);
        QVERIFY(!QFile::exists(dir + QStringLiteral("/cancelled.txt")));

        testsupport::RecordingJobReport failed;
        runExport(sampleCalls(), dir, failed); // a folder
        QCOMPARE(failed.errors().size(), 1);
        QVERIFY(!failed.errors().first().isEmpty());

        // A disk that fills up: writes beyond 16 KB fail, as on a full device.
        const QString earlier = dir + QStringLiteral("/full.txt");
        {
            QFile f(earlier);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the earlier export\n");
        }
        testsupport::RecordingJobReport full;
        {
            testsupport::FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.ok());
            runExport(calls, earlier, full);
        }
        QCOMPARE(full.successes(), QStringList());
        QCOMPARE(full.errors().size(), 1);
        QVERIFY2(full.errors().first().startsWith(QStringLiteral("write file %1 failed.").arg(earlier)),
                 qPrintable(full.errors().first()));
        QCOMPARE(testsupport::readFile(earlier), QByteArray("the earlier export\n"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList {QStringLiteral("full.txt")});
    }

private:
    std::unique_ptr<testsupport::SimPhone> m_sim;
    _AndroidDeviceItemNode* m_phone = nullptr;
};

QTEST_MAIN(TestCallHistoryPage)
#include "test_callhistorypage.moc"
