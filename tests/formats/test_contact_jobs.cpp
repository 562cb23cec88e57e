// The contact import and export jobs: progress, cancel, failures, and what
// they leave on disk.
#include "contactfixtures.h"
#include "formats/exporttofilethread.h"
#include "formats/importcontactsthread.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

using testsupport::RecordingJobReport;

namespace {

QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = testsupport::makeTempDir(QStringLiteral("jobs")) + QLatin1Char('/') + name;
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QList<pim::_Contact> tenContacts()
{
    QList<pim::_Contact> list;
    for (int i = 0; i < 10; ++i)
        list.append(fixtures::named(QStringLiteral("N%1").arg(i), QStringLiteral("F")));
    return list;
}

} // namespace

class TestContactJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void importKeepsNamedContacts()
    {
        const QString path = writeFile(QStringLiteral("a.vcf"), "BEGIN:VCARD\nN:A;B\nEND:VCARD\n"
                                                                 "BEGIN:VCARD\nFN:no name\nEND:VCARD\n"
                                                                 "BEGIN:VCARD\nN:C;D\nEND:VCARD\n");
        RecordingJobReport report;
        ImportContactsToLocalThread job(path, ImportVCard, &report);
        job.start();
        QVERIFY(job.wait(30000));
        QVERIFY(report.succeeded());
        QCOMPARE(report.successes(), QStringList({QString()}));
        QCOMPARE(report.progressTexts(), QStringList({QStringLiteral("Contacts:1/3"), QStringLiteral("Contacts:2/3"),
                                                      QStringLiteral("Contacts:3/3")}));
        QCOMPARE(report.progress().first().percent, 33);
        QCOMPARE(job.contacts().size(), 2);
    }

    void importFailuresAndCancel()
    {
        {
            RecordingJobReport report;
            ImportContactsToLocalThread job(writeFile(QStringLiteral("e.csv"), ""), ImportCSV, &report);
            job.start();
            QVERIFY(job.wait(30000));
            QVERIFY(report.succeeded());
            QVERIFY(report.progress().isEmpty());
            QVERIFY(job.contacts().isEmpty());
        }
        {
            RecordingJobReport report;
            ImportContactsToLocalThread job(QStringLiteral("/nonexistent/file.vcf"), ImportVCard, &report);
            job.start();
            QVERIFY(job.wait(30000));
            QVERIFY(report.failed());
            QVERIFY(!report.errors().first().isEmpty());
        }
        {
            RecordingJobReport report;
            ImportContactsToLocalThread job(QStringLiteral("x"), 3, &report);
            job.start();
            QVERIFY(job.wait(30000));
            QCOMPARE(report.errors(), QStringList({QString()}));
        }
        {
            QByteArray csv = "First Name\n";
            for (int i = 0; i < 10; ++i)
                csv += "N" + QByteArray::number(i) + "\n";
            RecordingJobReport report;
            report.cancelWhenProgressContains(QStringLiteral("Contacts:1/10"));
            ImportContactsToLocalThread job(writeFile(QStringLiteral("c.csv"), csv), ImportCSV, &report);
            job.start();
            QVERIFY(job.wait(30000));
            QCOMPARE(report.endCount(), 0);
            QCOMPARE(report.progress().size(), 1);
        }
    }

    void exportSucceeds()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("exp"));
        RecordingJobReport report;
        ExportToFileThread job({}, ExportCSV, dir + QStringLiteral("/e.csv"), &report);
        job.start();
        QVERIFY(job.wait(30000));
        QVERIFY(report.succeeded());
        QVERIFY(report.successes().first().contains(QLatin1Char('0')));
        QVERIFY(report.progress().isEmpty());
        QFile f(dir + QStringLiteral("/e.csv"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\n"));

        RecordingJobReport four;
        ExportToFileThread job4(tenContacts().mid(0, 4), ExportVCard, dir + QStringLiteral("/f.vcf"), &four);
        job4.start();
        QVERIFY(job4.wait(30000));
        QCOMPARE(four.progress().first().text, QStringLiteral("Contacts:1/4"));
        QCOMPARE(four.progress().first().percent, 25);
        QVERIFY(four.succeeded());

        // HTML: the chosen name becomes a folder holding the page.
        RecordingJobReport html;
        ExportToFileThread jobHtml(tenContacts(), ExportHTML, dir + QStringLiteral("/c.html"), &html);
        jobHtml.start();
        QVERIFY(jobHtml.wait(30000));
        QVERIFY(html.succeeded());
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/c.html/c.html")));
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/c.html/photos/contact.png")));
    }

    void badFormatCreatesNothing()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("fmt"));
        for (int format : {0, 6}) {
            RecordingJobReport report;
            ExportToFileThread job(tenContacts(), format, dir + QStringLiteral("/x"), &report);
            job.start();
            QVERIFY(job.wait(30000));
            QCOMPARE(report.errors(), QStringList({QString()}));
        }
        QVERIFY(QDir(dir).isEmpty());
    }

    void cancelRemovesOnlyWhatTheJobMade()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("cancel"));
        for (int format : {ExportVCard, ExportCSV, ExportTXT, ExportPDF}) {
            RecordingJobReport report;
            report.cancelWhenProgressContains(QStringLiteral("Contacts:3/10"));
            const QString path = dir + QStringLiteral("/out%1").arg(format);
            ExportToFileThread job(tenContacts(), format, path, &report);
            job.start();
            QVERIFY(job.wait(30000));
            QCOMPARE(report.endCount(), 0);
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        }
        // HTML into a folder that was there before: the folder and what was
        // in it stay; the page and the photos folder go.
        const QString chosen = dir + QStringLiteral("/site.html");
        QDir().mkpath(chosen);
        QFile keep(chosen + QStringLiteral("/keep.txt"));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.close();
        RecordingJobReport report;
        report.cancelWhenProgressContains(QStringLiteral("Contacts:3/10"));
        ExportToFileThread job(tenContacts(), ExportHTML, chosen, &report);
        job.start();
        QVERIFY(job.wait(30000));
        QVERIFY(QFileInfo::exists(chosen + QStringLiteral("/keep.txt")));
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("/site.html")));
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("/photos")));
        // A new HTML folder is removed whole.
        RecordingJobReport report2;
        report2.cancelWhenProgressContains(QStringLiteral("Contacts:3/10"));
        ExportToFileThread job2(tenContacts(), ExportHTML, dir + QStringLiteral("/new/deep/site.html"), &report2);
        job2.start();
        QVERIFY(job2.wait(30000));
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/new")));
    }

    void failureKeepsTheUsersFolder()
    {
        // The user picked an existing folder as the file: the export fails
        // and the folder with its content stays.
        const QString dir = testsupport::makeTempDir(QStringLiteral("userdir"));
        QFile mine(dir + QStringLiteral("/precious.txt"));
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("keep");
        mine.close();
        for (int format : {ExportVCard, ExportCSV, ExportTXT, ExportPDF}) {
            RecordingJobReport report;
            ExportToFileThread job(tenContacts(), format, dir, &report);
            job.start();
            QVERIFY(job.wait(30000));
            QVERIFY(report.failed());
            QVERIFY(report.errors().first().startsWith(QStringLiteral("create file error. ")));
            QVERIFY(QFileInfo::exists(dir + QStringLiteral("/precious.txt")));
        }
    }
};

QTEST_MAIN(TestContactJobs)
#include "test_contact_jobs.moc"
