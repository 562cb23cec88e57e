// The call history page end to end against a simulated phone: the first
// load and the cached second visit, export through the dialog's filters,
// backup into a chosen folder, restore from a backup to the phone, a cache
// that cannot be replaced, a virtual device, the commands each source
// offers. The export job alone: expected CSV and text files, cancel, an
// unopenable target and a full disk.
#include "views/organiser/callhistorymainform.h"
#include "views/organiser/exportcallhistorythread.h"

#include "records/localcallhistorydb.h"
#include "shell/mytreeview.h"

#include "organisertest.h"
#include "pagetest.h"

#include <QMenu>
#include <QtTest>

#include <memory>

using organisertest::runExport;

namespace {

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

// Quotes, commas, line breaks, non-ASCII and an over-long name; each entry
// [address, person, date, duration, flags].
QList<CallRecord> sampleCalls()
{
    QList<CallRecord> out;
    for (const QJsonValue& c : organisertest::dataArray(QStringLiteral("export_calls.json")))
        out << call(c[0].toString(), c[1].toString(), c[2].toInteger(), c[3].toInt(), c[4].toInt());
    return out;
}

} // namespace

class TestCallHistoryPage : public testsupport::PageTest {
    Q_OBJECT

public:
    // The simulated phone: five calls given out of date order.
    TestCallHistoryPage()
        : PageTest({.address = QStringLiteral("127.0.112.1"),
                    .fixture = QStringLiteral("tests/views/organiser/data/phone_calls.json")})
    {
    }

private Q_SLOTS:
    void phonePage_loadsOnce_newestFirst()
    {
        CHECKED(organisertest::checkLoadsOnce<CallHistoryMainForm>(*m_sim, QStringLiteral("calls"), m_phone,
                                                                   devicesRoot()));
        ScriptedPrompt prompt;
        CallHistoryMainForm page(m_phone, devicesRoot());
        QCOMPARE(column(*page.callModel(), 1), // newest first
                 QStringLiteral("+49307654321|+44 20 7946 0958|+4917012345|+49301234567|0800 111").split(u'|'));
    }

    // A name without suffix under the preselected CSV filter gives CSV; under
    // the picked text filter a ".txt" table.
    void phonePage_exportsByTheFilter()
    {
        ScriptedPrompt prompt;
        CallHistoryMainForm page(m_phone, devicesRoot()); // question 0: the first load's progress dialog
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        selectRows(page.listView(), {4});
        prompt.answerSaveFile(dir + QStringLiteral("/calls"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 Call history."));
        prompt.answerSaveFile(dir + QStringLiteral("/table"), QStringLiteral("Text Files(*.txt)"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 Call history."));
        CHECKED(triggerMenuAction(page, QStringLiteral("Extract selected Call history")));
        CHECKED(triggerMenuAction(page, QStringLiteral("Extract selected Call history")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().at(1).filter, QStringLiteral("Text Files(*.txt);;CSV Files(*.csv)"));
        QCOMPARE(prompt.questions().at(1).selectedFilter, QStringLiteral("CSV Files(*.csv)"));
        const QByteArray csv = testsupport::readFile(dir + QStringLiteral("/calls.csv"));
        QVERIFY2(csv.count('\n') == 2 && csv.contains("\nBlocked,0800 111,"), csv.constData()); // header, the call
        QVERIFY(testsupport::readFile(dir + QStringLiteral("/table.txt")).startsWith("Flag           Number"));

        CHECKED(organisertest::screenshot(page, {709, 420}, QStringLiteral("callhistory_page.png")));
    }

    // Two selected calls backed up, then all five with the two stored ones
    // skipped; a cancelled chooser backs nothing up and says nothing.
    void phonePage_backsUpSkippingWhatIsThere()
    {
        ScriptedPrompt prompt;
        CallHistoryMainForm page(m_phone, devicesRoot());
        selectRows(page.listView(), {0, 3});
        CHECKED(organisertest::checkBackupSelectedThenAll(
            page, QStringLiteral("Backup selected Call history"), QStringLiteral("Backup Call history"),
            QStringLiteral("calls.db"), [](const QString& f) { return LocalCallHistoryDb(f).countCalls(); }, 2, 5));
        prompt.answerDialog(QDialog::Rejected, QStringLiteral("LocalDbSelForm"));
        CHECKED(triggerAction(page, QStringLiteral("Backup Call history")));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A file cut short to 0 bytes holds nothing: its backup page shows no
    // call and no error, and a backup into its folder makes its tables.
    void emptyFile_readsAsEmpty_andTakesABackup()
    {
        _LocalDbItemNode* cut = addBackup(QStringLiteral("Trip"));
        const QString file = cut->dir.absoluteFilePath(QStringLiteral("calls.db"));
        QFile empty(file);
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        ScriptedPrompt prompt;
        {
            CallHistoryMainForm backupPage(cut, devicesRoot());
            VERIFY_SCRIPT_DONE(prompt);
            QCOMPARE(backupPage.callModel()->rowCount(), 0);
        }
        QCOMPARE(QFileInfo(file).size(), 0); // reading made nothing

        CallHistoryMainForm page(m_phone, devicesRoot());
        selectRows(page.listView(), {0, 1, 2, 3, 4});
        CHECKED(organisertest::checkBackupSelectedThenAll(
            page, QStringLiteral("Backup selected Call history"), QStringLiteral("Backup Call history"),
            QStringLiteral("calls.db"), [](const QString& f) { return LocalCallHistoryDb(f).countCalls(); }, 5, 5));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A backup made before the later columns existed, on a writable folder
    // and on a read-only medium: the page lists and exports it and adds no
    // column to it.
    void readOnlyBackup_listsAndExports_keepingEveryByte()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Disc"));
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("calls.db"));
        {
            LocalCallHistoryDb db(file);
            CallRecord call;
            call.address = QStringLiteral("+49301234567");
            call.date = QDateTime::fromSecsSinceEpoch(1700000000);
            call.flags = CALL_FLAG_INCOMING;
            db.addCall(call);
            for (const char* added : {"unique_id", "cn", "device_id", "availability", "call_type", "answered"})
                db.connection().executeThrow(
                    QStringLiteral("ALTER TABLE call DROP COLUMN %1").arg(QLatin1String(added)));
        }
        const QString out = testsupport::makeTempDir(QStringLiteral("export"));
        CHECKED(
            checkReadOnlyBackup<CallHistoryMainForm>(backup, [&](CallHistoryMainForm& page, ScriptedPrompt& prompt) {
                QCOMPARE(column(*page.callModel(), 1), QStringList {QStringLiteral("+49301234567")});
                QFile::remove(out + QStringLiteral("/calls.csv"));
                prompt.answerSaveFile(out + QStringLiteral("/calls"));
                prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 Call history."));
                CHECKED(triggerAction(page, QStringLiteral("Extract Call history")));
                QVERIFY(testsupport::readFile(out + QStringLiteral("/calls.csv")).contains("+49301234567"));
            }));
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

        const int sessionsBefore = m_sim->store->completedSessions(QStringLiteral("calls"));
        CallHistoryMainForm page(backup, devicesRoot());
        for (int round = 1; round <= 2; ++round) {
            prompt.answerDeviceChoice(m_phone->device.deviceId());
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 150 Call History to Android."));
            CHECKED(triggerAction(page, QStringLiteral("Transfer Call history from Database to Android")));
            VERIFY_SCRIPT_DONE(prompt);
        }
        QVERIFY(m_sim->store->errors().isEmpty());
        QCOMPARE(m_sim->store->batchSizes(QStringLiteral("calls")).mid(0, 4), (QList<int> {100, 50, 100, 50}));
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->store->completedSessions(QStringLiteral("calls")), sessionsBefore + 2,
                                  testsupport::kHangGuardMs);
        // The phone page shows its five and the mirrored 150 from its cache.
        QCOMPARE(CallHistoryMainForm(m_phone, devicesRoot()).callModel()->rowCount(), 155);
    }

    void cacheThatCannotBeRemoved_skipsTheLoad()
    {
        // A folder where the cache file should be cannot be removed as a file.
        const QString path = m_phone->device.cacheDir().absoluteFilePath(QStringLiteral("calls.db"));
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
        const int loadsBefore = m_sim->loads(QStringLiteral("calls"));

        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("remove %1 error.").arg(path));
        prompt.answerMessage(QMessageBox::Ok); // the reload cannot open it either
        CallHistoryMainForm page(m_phone, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(m_phone->device.callsLoadTime.isNull());
        QCOMPARE(m_sim->loads(QStringLiteral("calls")), loadsBefore);
        QCOMPARE(page.callModel()->rowCount(), 0);
    }

    // A virtual device reads its own folder and never reaches for a phone.
    // It transfers to the connected phone (the second command) but is never
    // a target: the phone's page has none.
    void virtualDevice_readsItsFolderOnly_andIsNoTarget()
    {
        QString folder;
        _AndroidDeviceItemNode* virtualDevice = addVirtualDevice(QStringLiteral("Old Rocket"), &folder);
        LocalCallHistoryDb(folder + QStringLiteral("/calls.db"))
            .addCall(call(QStringLiteral("+4930999"), QStringLiteral("Kept"), 1500000000, 12, CALL_FLAG_INCOMING));
        const int connectionsBefore = int(m_sim->sim->connections().size());
        ScriptedPrompt prompt;
        CallHistoryMainForm page(virtualDevice, devicesRoot());
        QVERIFY(prompt.questions().isEmpty());
        QCOMPARE(column(*page.callModel(), 2), QStringList {QStringLiteral("Kept")});
        QCOMPARE(int(m_sim->sim->connections().size()), connectionsBefore);
        QVERIFY(page.createToolbarActions().at(1)->isEnabled());
        CallHistoryMainForm phonePage(m_phone, devicesRoot());
        QVERIFY(!phonePage.createToolbarActions().at(1)->isEnabled());
        QCOMPARE(phonePage.source().transferTargets().size(), 0);
    }

    // A number and a name that look like markup show as written in the
    // tool tips.
    void markup_showsAsWrittenInToolTips()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Markup"));
        LocalCallHistoryDb(backup->dir.absoluteFilePath(QStringLiteral("calls.db")))
            .addCall(call(QStringLiteral("<b>+4930</b>"), QStringLiteral("<img src=\"/tmp/x.png\">Eve"), 1500000000, 12,
                          CALL_FLAG_INCOMING));
        ScriptedPrompt prompt;
        CallHistoryMainForm page(backup, devicesRoot());
        QCOMPARE(column(*page.callModel(), 2), QStringList {QStringLiteral("<img src=\"/tmp/x.png\">Eve")});
        for (int col = 0; col < page.callModel()->columnCount(); ++col)
            QCOMPARE(shownToolTips(*page.callModel(), col), column(*page.callModel(), col));
        QVERIFY(prompt.questions().isEmpty());
    }

    // Each source offers its commands in the table's order and in the call
    // history's own words; the context menu needs a selected row and has the
    // same commands as the toolbar.
    void commands_followTheSource_inThePagesOwnWords()
    {
        ScriptedPrompt prompt;
        {
            CallHistoryMainForm page(m_phone, devicesRoot());
            QCOMPARE(texts(page.createToolbarActions()),
                     QStringList({"Backup Call history", "Transfer Android Call history to other Android",
                                  "Extract Call history"}));
            QVERIFY(!std::unique_ptr<QMenu>(page.createContextMenu()));
            selectRows(page.listView(), {0});
            const std::unique_ptr<QMenu> menu(page.createContextMenu());
            QVERIFY(menu);
            QCOMPARE(texts(menu->actions()),
                     QStringList({"Backup selected Call history", "Transfer selected Call history to other Android",
                                  "Extract selected Call history"}));
        }
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Commands"));
        LocalCallHistoryDb(backup->dir.absoluteFilePath(QStringLiteral("calls.db")))
            .addCall(call(QStringLiteral("+4930"), QStringLiteral("Eve"), 1500000000, 12, CALL_FLAG_INCOMING));
        CallHistoryMainForm page(backup, devicesRoot());
        QCOMPARE(texts(page.createToolbarActions()),
                 QStringList({"Transfer Call history from Database to Android", "Extract Call history",
                              "Delete Call history"}));
        selectRows(page.listView(), {0});
        const std::unique_ptr<QMenu> menu(page.createContextMenu());
        QVERIFY(menu);
        QCOMPARE(texts(menu->actions()),
                 QStringList({"Transfer selected Call history from Database to Android",
                              "Extract selected Call history", "Delete selected Call history"}));
        QVERIFY(menu->actions().first()->isEnabled());
        VERIFY_SCRIPT_DONE(prompt);
    }

    // The file's name (the row) decides the format: anything but ".csv" is
    // the text table.
    void export_matchesTheExpectedFiles_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::newRow("calls.csv") << QStringLiteral("calls_expected.csv");
        QTest::newRow("calls.CSV") << QStringLiteral("calls_expected.csv");
        QTest::newRow("calls.txt") << QStringLiteral("calls_expected.txt");
        QTest::newRow("calls.dat") << QStringLiteral("calls_expected.txt");
    }

    void export_matchesTheExpectedFiles()
    {
        QFETCH(QString, expected);
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + u'/' + QTest::currentDataTag();
        testsupport::RecordingJobReport report;
        CHECKED(runExport<ExportCallHistoryThread>(sampleCalls(), path, report));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 6 Call history.")});
        QCOMPARE(testsupport::readFile(path), testsupport::readFile(organisertest::dataFile(expected)));
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
        CHECKED(runExport<ExportCallHistoryThread>(calls, dir + QStringLiteral("/cancelled.txt"), cancelled));
        QCOMPARE(cancelled.endCount(), 0);

        testsupport::RecordingJobReport failed;
        CHECKED(runExport<ExportCallHistoryThread>(sampleCalls(), dir, failed)); // a folder
        QCOMPARE(failed.errors().size(), 1);
        QVERIFY(failed.successes().isEmpty());

        // A disk that fills up: writes beyond 16 KB fail, as on a full device.
        const QString earlier = dir + QStringLiteral("/full.txt");
        QFile f(earlier);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("the earlier export\n") > 0);
        f.close();
        testsupport::RecordingJobReport full;
        {
            testsupport::FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.ok());
            CHECKED(runExport<ExportCallHistoryThread>(calls, earlier, full));
        }
        QCOMPARE(full.successes(), QStringList());
        QCOMPARE(full.errors().size(), 1);
        QVERIFY2(full.errors().first().startsWith(QStringLiteral("write file %1 failed.").arg(earlier)),
                 qPrintable(full.errors().first()));
        QCOMPARE(testsupport::readFile(earlier), QByteArray("the earlier export\n"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList {QStringLiteral("full.txt")});

        // A short export that fills the disk only as it is completed: the
        // cut file never takes the earlier one's place, and the error says why.
        testsupport::RecordingJobReport cut;
        {
            testsupport::FileSizeLimit limit(64);
            QVERIFY(limit.ok());
            CHECKED(runExport<ExportCallHistoryThread>(sampleCalls(), earlier, cut));
        }
        QCOMPARE(cut.successes(), QStringList());
        QCOMPARE(cut.errors(), QStringList {QStringLiteral("write file %1 failed. File too large").arg(earlier)});
        QCOMPARE(testsupport::readFile(earlier), QByteArray("the earlier export\n"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList {QStringLiteral("full.txt")});
    }
};

QTEST_MAIN(TestCallHistoryPage)
#include "test_callhistorypage.moc"
