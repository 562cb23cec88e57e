// The contact import and export jobs: progress, cancel, failures, and what
// they leave on disk.
#include "contactfixtures.h"
#include "formats/exporttofilethread.h"
#include "formats/importcontactsthread.h"

#include <QDir>
#include <QTest>

using testsupport::RecordingJobReport;

namespace {

bool finished(QThread& job)
{
    job.start();
    return job.wait(30000);
}

QList<pim::_Contact> tenContacts()
{
    return QList<pim::_Contact>(10, fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee")));
}

const int fileFormats[] = {ExportVCard, ExportCSV, ExportTXT, ExportPDF};

} // namespace

class TestContactJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void importProgressFailuresAndCancel()
    {
        const QString path = fixtures::writeFile(QStringLiteral("a.vcf"),
                                                 "BEGIN:VCARD\nN:A;B\nEND:VCARD\n"
                                                 "BEGIN:VCARD\nTEL:1\nEND:VCARD\n"
                                                 "BEGIN:VCARD\nN:C;D\nEND:VCARD\n");
        RecordingJobReport report;
        ImportContactsToLocalThread job(path, ImportVCard, &report);
        QVERIFY(finished(job));
        QCOMPARE(report.successes(), QStringList({QString()}));
        QCOMPARE(report.progressTexts(), QStringList({"Contacts:1/3", "Contacts:2/3", "Contacts:3/3"}));
        QCOMPARE(job.contacts().size(), 2);

        RecordingJobReport empty, missing, canceled;
        ImportContactsToLocalThread emptyJob(fixtures::writeFile(QStringLiteral("e.csv"), ""), ImportCSV, &empty);
        QVERIFY(finished(emptyJob));
        QVERIFY(empty.succeeded() && empty.progress().isEmpty() && emptyJob.contacts().isEmpty());
        ImportContactsToLocalThread missingJob(QStringLiteral("/nonexistent/file.vcf"), ImportVCard, &missing);
        QVERIFY(finished(missingJob));
        QVERIFY(missing.failed() && !missing.errors().first().isEmpty());

        canceled.cancelWhenProgressContains(QStringLiteral("Contacts:1/10"));
        ImportContactsToLocalThread cancelJob(
            fixtures::writeFile(QStringLiteral("c.csv"), "First Name\nA\nB\nC\nD\nE\nF\nG\nH\nI\nJ\n"), ImportCSV,
            &canceled);
        QVERIFY(finished(cancelJob));
        QCOMPARE(canceled.endCount(), 0);
        QCOMPARE(canceled.progress().size(), 1);
    }

    void htmlExportMakesAFolder()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("exp"));
        RecordingJobReport report;
        ExportToFileThread job(tenContacts(), ExportHTML, dir + QStringLiteral("/c.html"), &report);
        QVERIFY(finished(job));
        QVERIFY(report.succeeded());
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/c.html/c.html")));
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/c.html/photos/contact.png")));
    }

    void failureOrCancelRemovesOnlyWhatTheJobMade()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("cancel"));
        const QString chosen = dir + QStringLiteral("/site.html"); // a folder that was there before
        QVERIFY(QDir().mkpath(chosen));
        QVERIFY(QFile(chosen + QStringLiteral("/keep.txt")).open(QIODevice::WriteOnly));
        for (int format : fileFormats) { // the folder picked as the file
            RecordingJobReport report;
            ExportToFileThread job(tenContacts(), format, chosen, &report);
            QVERIFY(finished(job));
            QVERIFY(report.failed() && report.errors().first().startsWith(QStringLiteral("create file error. ")));
        }
        QList<std::pair<int, QString>> jobs
            = {{ExportHTML, chosen}, {ExportHTML, dir + QStringLiteral("/new/deep/site.html")}};
        for (int format : fileFormats)
            jobs.append({format, dir + QStringLiteral("/out%1").arg(format)});
        for (const auto& [format, path] : jobs) {
            RecordingJobReport report;
            report.cancelWhenProgressContains(QStringLiteral("Contacts:3/10"));
            ExportToFileThread job(tenContacts(), format, path, &report);
            QVERIFY(finished(job));
            QCOMPARE(report.endCount(), 0);
            if (path != chosen)
                QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        }
        // The folder chosen and what was in it stay; the page and photos go. A new folder goes whole.
        QVERIFY(QFileInfo::exists(chosen + QStringLiteral("/keep.txt")));
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("/site.html")));
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("/photos")));
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/new")));
    }
};

QTEST_MAIN(TestContactJobs)
#include "test_contact_jobs.moc"
