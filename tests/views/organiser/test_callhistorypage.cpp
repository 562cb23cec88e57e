// The call history page end to end against a simulated phone: the first
// load, export, backup into a chosen folder, restore from a backup to the
// phone, a cache that cannot be replaced, and a screenshot. The export job
// alone, compared with expected CSV and text files.
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

#include "phonesim.h"
#include "restoreservices.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

// Every scripted answer was used and nothing unscripted was asked.
#define VERIFY_SCRIPT_DONE(p)                                                                                          \
    QVERIFY2((p).unexpected().isEmpty() && (p).pendingAnswers() == 0,                                                  \
             qPrintable((p).unexpected().join(u'\n') + QStringLiteral(" pending %1").arg((p).pendingAnswers())))

namespace {

constexpr char kAddress[] = "127.0.112.1";

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
        view->selectionModel()->select(view->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

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

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void runExport(const QList<CallRecord>& calls, const QString& path, testsupport::RecordingJobReport& report)
{
    ExportCallHistoryThread job(calls, path, &report);
    job.start();
    QVERIFY(job.wait(10000));
}

} // namespace

class TestCallHistoryPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(qApp);
        // The simulated phone: five calls given out of date order.
        phonesim::Fixture fixture;
        QString error;
        QVERIFY2(fixture.load(testsupport::sourceDir() + QStringLiteral("/tests/views/organiser/data/phone_calls.json"),
                              &error),
                 qPrintable(error));
        phonesim::PhoneSim::Options o;
        o.address = QHostAddress(QString::fromLatin1(kAddress));
        o.controlPort = 48889;
        o.acceptTimeoutMs = o.idleTimeoutMs = 5000;
        m_sim = std::make_unique<phonesim::PhoneSim>(fixture, o);
        m_store = phonesim::registerRestoreServices(*m_sim);
        QVERIFY2(m_sim->start(&error), qPrintable(error));
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
        m_phone = addPhone(QStringLiteral("490154203237518"));
    }

    void cleanupTestCase()
    {
        simpleprotocol::setLocalPortProvider({});
        m_sim->stop();
    }

    void firstVisit_loadsOnce_secondVisitReadsTheCache()
    {
        ScriptedPrompt prompt;
        {
            CallHistoryMainForm page(m_phone, m_tree.devicesRoot());
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
        QVERIFY(m_sim->waitFinished(QStringLiteral("service"), 1, 5000));
        QCOMPARE(phoneLoads(), 1);

        // Second visit: the cache only, no dialog.
        CallHistoryMainForm again(m_phone, m_tree.devicesRoot());
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(again.callModel()->rowCount(), 5);
        QCOMPARE(phoneLoads(), 1);

        // Exporting the selection to a name without suffix writes CSV.
        const QString out = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/calls");
        selectRows(again.listView(), {4});
        prompt.answerSaveFile(out);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 Call history."));
        again.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        const QList<QByteArray> lines = readAll(out + QStringLiteral(".csv")).split('\n');
        QCOMPARE(lines.size(), 3); // the header, one call, the last line's end
        QVERIFY(lines.at(1).startsWith("Blocked,0800 111,"));

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
        const QDir dir(getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Old phone")));
        dir.mkpath(QStringLiteral("."));
        {
            LocalCallHistoryDb db(dir.absoluteFilePath(QStringLiteral("calls.db")));
            db.beginTran();
            for (int i = 0; i < 150; ++i)
                db.addCall(call(QStringLiteral("+3367%1").arg(100000 + i), QString(), 1600000000 + i * 600, 0,
                                i % 3 == 0 ? CALL_FLAG_OUTGOING : CALL_FLAG_INCOMING));
            db.endTran(true);
        }
        _LocalDbItemNode* backup = m_tree.addLocalDb(dir);
        const QString cache = m_phone->device.cacheDir().absoluteFilePath(QStringLiteral("calls.db"));
        QCOMPARE(LocalCallHistoryDb(cache).countCalls(), 5);

        CallHistoryMainForm page(backup, m_tree.devicesRoot());
        ScriptedPrompt prompt;
        for (int round = 1; round <= 2; ++round) {
            prompt.answerDeviceChoice(m_phone->device.deviceId());
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 150 Call History to Android."));
            page.miToolbarDB2A();
            VERIFY_SCRIPT_DONE(prompt);
        }
        QVERIFY(m_store->errors().isEmpty());
        QCOMPARE(m_store->batchSizes(QStringLiteral("calls")), (QList<int> {100, 50, 100, 50}));
        QTRY_COMPARE(m_store->completedSessions(QStringLiteral("calls")), 2);
        QCOMPARE(LocalCallHistoryDb(cache).countCalls(), 155);
        // The phone page shows the mirrored calls from its cache.
        QCOMPARE(CallHistoryMainForm(m_phone, m_tree.devicesRoot()).callModel()->rowCount(), 155);
        m_tree.removeNode(backup);
    }

    void cacheThatCannotBeRemoved_skipsTheLoad()
    {
        _AndroidDeviceItemNode* phone = addPhone(QStringLiteral("imei-blocked"));
        // A folder where the cache file should be cannot be removed as a file.
        const QString path = phone->device.cacheDir().absoluteFilePath(QStringLiteral("calls.db"));
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
        const auto servicesBefore = m_sim->connections(QStringLiteral("service")).size();

        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("remove %1 error.").arg(path));
        prompt.answerMessage(QMessageBox::Ok); // the reload cannot open it either
        CallHistoryMainForm page(phone, m_tree.devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(phone->device.callsLoadTime.isNull());
        QCOMPARE(m_sim->connections(QStringLiteral("service")).size(), servicesBefore);
        QCOMPARE(page.callModel()->rowCount(), 0);
        m_tree.removeNode(phone);
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
        QCOMPARE(readAll(path),
                 readAll(testsupport::sourceDir() + QStringLiteral("/tests/views/organiser/data/") + expected));
    }

    void export_cancelledOrUnwritable_leavesNoFile()
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
    }

private:
    _AndroidDeviceItemNode* addPhone(const QString& imei)
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

    int phoneLoads() const
    {
        int n = 0;
        for (const auto& c : m_sim->connections(QStringLiteral("service")))
            n += c.service == QLatin1String("calls") && c.url.startsWith(QLatin1String("backup://")) ? 1 : 0;
        return n;
    }

    std::unique_ptr<phonesim::PhoneSim> m_sim;
    std::shared_ptr<phonesim::RestoreStore> m_store;
    ItemModelMain m_tree;
    _AndroidDeviceItemNode* m_phone = nullptr;
};

QTEST_MAIN(TestCallHistoryPage)
#include "test_callhistorypage.moc"
