// Call history export to CSV and to the fixed-width text table, compared
// with expected files, and the page's export command.
#include "views/organiser/callhistorymainform.h"
#include "views/organiser/exportcallhistorythread.h"

#include "records/localcallhistorydb.h"
#include "shell/core/dataroot.h"
#include "shell/core/translations.h"
#include "shell/itemmodelmain.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "testsupport.h"

#include <QMessageBox>
#include <QtTest>

namespace {

QList<CallRecord> sampleCalls()
{
    struct Row {
        const char* address;
        const char* person;
        qint64 date;
        int duration;
        int flags;
    };
    const Row rows[] = {
        { "+49301234567", "Anna Berg", 1700000000, 125, CALL_FLAG_INCOMING },
        { "+49307654321", "", 1700090000, 59, CALL_FLAG_OUTGOING },
        { "0800 111", "Hotline, \"Support\"", 1699990000, 3600, CALL_FLAG_MISSED },
        { "+4917012345", "J\xc3\xb6rg Gro\xc3\x9f", 1700050000, 0, 0 },
        { "+44 20 7946 0958", "A name longer than twenty", 1700070000, 3725, CALL_FLAG_INCOMING },
        { "555\n0199", "Line\nbreak", 1700080000, 7, CALL_FLAG_OUTGOING },
    };
    QList<CallRecord> calls;
    for (const Row& r : rows) {
        CallRecord c;
        c.address = QString::fromUtf8(r.address);
        c.person = QString::fromUtf8(r.person);
        c.date = QDateTime::fromSecsSinceEpoch(r.date);
        c.duration = r.duration;
        c.flags = r.flags;
        calls.append(c);
    }
    return calls;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString expected(const char* name)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/views/organiser/data/") + QLatin1String(name);
}

} // namespace

class TestCallHistoryExport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }
    void init() { m_dir = testsupport::makeTempDir(QStringLiteral("callexport")); }

    void csvAndText_matchTheExpectedFiles_data();
    void csvAndText_matchTheExpectedFiles();
    void emptyList_writesTheHeaderAlone();
    void cancel_removesThePartialFile();
    void unwritablePath_reportsTheFileError();
    void pageCommand_asksForAFile_andExportsTheSelection();

private:
    QString m_dir;
};

void TestCallHistoryExport::csvAndText_matchTheExpectedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedFile");
    QTest::newRow("csv") << QStringLiteral("calls.csv") << expected("calls_expected.csv");
    QTest::newRow("CSV upper case") << QStringLiteral("calls.CSV") << expected("calls_expected.csv");
    QTest::newRow("txt") << QStringLiteral("calls.txt") << expected("calls_expected.txt");
    QTest::newRow("other suffix") << QStringLiteral("calls.dat") << expected("calls_expected.txt");
}

void TestCallHistoryExport::csvAndText_matchTheExpectedFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, expectedFile);
    const QString path = m_dir + QLatin1Char('/') + name;
    testsupport::RecordingJobReport report;
    ExportCallHistoryThread job(sampleCalls(), path, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully extracted 6 Call history.") });
    QCOMPARE(report.progressTexts().first(), QStringLiteral("1 / 6"));
    QCOMPARE(report.progress().first().percent, 16);
    QCOMPARE(report.progress().last().percent, 100);
    const QByteArray got = readAll(path);
    if (got != readAll(expectedFile))
        qWarning("got:\n%s", got.constData());
    QCOMPARE(got, readAll(expectedFile));
}

void TestCallHistoryExport::emptyList_writesTheHeaderAlone()
{
    const QString path = m_dir + QStringLiteral("/empty.csv");
    testsupport::RecordingJobReport report;
    ExportCallHistoryThread job({}, path, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.successes(), QStringList { QStringLiteral("Successfully extracted 0 Call history.") });
    QCOMPARE(readAll(path), QByteArray("Flag,Number,Contact,Date,Duration\n"));
}

void TestCallHistoryExport::cancel_removesThePartialFile()
{
    QList<CallRecord> calls;
    for (int i = 0; i < 200; ++i)
        calls += sampleCalls();
    const QString path = m_dir + QStringLiteral("/cancelled.txt");
    testsupport::RecordingJobReport report;
    report.cancelWhenProgressContains(QStringLiteral("10 / 1200"));
    ExportCallHistoryThread job(calls, path, &report);
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.endCount(), 0);
    QVERIFY(!QFile::exists(path));
}

void TestCallHistoryExport::unwritablePath_reportsTheFileError()
{
    testsupport::RecordingJobReport report;
    ExportCallHistoryThread job(sampleCalls(), m_dir, &report); // a folder
    job.start();
    QVERIFY(job.wait(10000));
    QCOMPARE(report.errors().size(), 1);
    QVERIFY(!report.errors().first().isEmpty());
}

void TestCallHistoryExport::pageCommand_asksForAFile_andExportsTheSelection()
{
    const QDir backupDir(getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Export test")));
    backupDir.mkpath(QStringLiteral("."));
    {
        LocalCallHistoryDb db(backupDir.absoluteFilePath(QStringLiteral("calls.db")));
        for (const CallRecord& c : sampleCalls())
            db.addCall(c);
    }
    ItemModelMain tree;
    _LocalDbItemNode* backup = tree.addLocalDb(backupDir);
    CallHistoryMainForm page(backup, tree.devicesRoot());
    QCOMPARE(page.callModel()->rowCount(), 6);

    ScriptedPrompt prompt;
    // No suffix typed: the file becomes CSV.
    prompt.answerSaveFile(m_dir + QStringLiteral("/all"));
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 6 Call history."));
    page.miToolbarExport();
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QVERIFY(prompt.questions().first().dir.contains(QStringLiteral("call_histories-")));
    QVERIFY(prompt.questions().first().filter.contains(QStringLiteral("CSV Files(*.csv)")));
    QVERIFY(prompt.questions().first().filter.contains(QStringLiteral("Text Files(*.txt)")));
    const QList<QByteArray> lines = readAll(m_dir + QStringLiteral("/all.csv")).split('\n');
    QCOMPARE(lines.first(), QByteArray("Flag,Number,Contact,Date,Duration"));
    QVERIFY(lines.at(1).startsWith("Outgoing,+49307654321,,")); // newest first, as listed

    // The context menu's command takes the selection only.
    page.listView()->selectionModel()->select(
        page.callModel()->index(5, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    prompt.answerSaveFile(m_dir + QStringLiteral("/one.txt"));
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 Call history."));
    page.miExport();
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QVERIFY(readAll(m_dir + QStringLiteral("/one.txt")).contains("0800 111"));

    // A cancelled file dialog exports nothing.
    prompt.answerSaveFile(QString());
    page.miToolbarExport();
    QCOMPARE(prompt.pendingAnswers(), 0);
}

QTEST_MAIN(TestCallHistoryExport)
#include "test_callhistoryexport.moc"
