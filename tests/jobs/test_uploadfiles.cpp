// The file upload against the simulated phone, which checks every line it
// receives and keeps a file only once it arrived whole: what a chosen tree
// sends (hidden files, an empty folder, a link loop, block boundaries, a
// name that cannot travel), and a phone that stalls, closes, refuses, or a
// file that is gone when its turn comes.
#include "jobs/androiduploadfilesthread.h"
#include "jobs/fileblocksender.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/translations.h"

#include "simphone.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

using phonesim::Fault;
Q_DECLARE_METATYPE(phonesim::Fault)

namespace {

constexpr qint64 kBlock = 524288;

QByteArray bytes(qint64 n, int seed)
{
    QByteArray out(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        out[i] = char((i * 7 + seed) & 0xff);
    return out;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Removes a file when a progress text names its turn.
class ReportRemovingFile : public testsupport::RecordingJobReport {
public:
    ReportRemovingFile(const QString& whenText, const QString& path)
        : m_when(whenText)
        , m_path(path)
    {
    }
    void postUpdateProgress(const QString& status, int progress, const QString& text) override
    {
        if (text == m_when)
            QFile::remove(m_path);
        RecordingJobReport::postUpdateProgress(status, progress, text);
    }

private:
    QString m_when;
    QString m_path;
};

} // namespace

class TestUploadFiles : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::SimPhone> startPhone()
    {
        auto phone = std::make_unique<testsupport::SimPhone>(
            QStringLiteral("127.0.121.%1").arg(m_next++),
            testsupport::fixtureFile(QStringLiteral("tools/phone-sim/fixtures/loaders-files.json")));
        return phone;
    }

    static bool run(AndroidUploadFilesThread& job)
    {
        job.start();
        return job.wait(QDeadlineTimer(20000));
    }

    // The files the phone stored, by path: size and block sizes.
    static QMap<QString, QString> received(const testsupport::SimPhone& phone)
    {
        QMap<QString, QString> out;
        for (const QVariantMap& r : phone.store->records(QStringLiteral("upload"))) {
            QStringList blocks;
            for (const QVariant& b : r.value(QStringLiteral("blocks")).toList())
                blocks << b.toString();
            out.insert(
                r.value(QStringLiteral("path")).toString(),
                QStringLiteral("%1 [%2]").arg(r.value(QStringLiteral("size")).toLongLong()).arg(blocks.join(',')));
        }
        return out;
    }

    int m_next = 10;

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(qApp);
        simpleprotocol::setLocalPortProvider([] {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            return int(probe.serverPort());
        });
    }

    // A folder A with a file, a hidden file, an empty folder, two files
    // either side of the block size, an empty file, a link back to A and a
    // name with a line feed; and a hidden file chosen directly.
    void tree_sendsExactlyTheFilesAndNamesTheOneLeft()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("upload"));
        const QString a = base + QStringLiteral("/A");
        QVERIFY(QDir().mkpath(a + QStringLiteral("/C")) && QDir().mkpath(a + QStringLiteral("/D")));
        const QMap<QString, QByteArray> files {
            {QStringLiteral("A/b.txt"), "bee"},
            {QStringLiteral("A/.hidden"), "skipped"},
            {QStringLiteral("A/D/exact.bin"), bytes(kBlock, 1)},
            {QStringLiteral("A/D/over.bin"), bytes(kBlock + 1, 2)},
            {QStringLiteral("A/empty.bin"), QByteArray()},
            {QStringLiteral("A/bad\nname.txt"), "never sent"},
            {QStringLiteral(".direct"), "chosen itself"},
        };
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(writeFile(base + QLatin1Char('/') + it.key(), it.value()));
        QVERIFY(QFile::link(a, a + QStringLiteral("/D/back")));

        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        testsupport::RecordingJobReport report;
        AndroidUploadFilesThread job(&phone->device, QStringLiteral("/sdcard/DCIM"),
                                     {QFileInfo(a), QFileInfo(base + QStringLiteral("/.direct"))}, &report);
        QVERIFY(run(job));

        const QString t = QStringLiteral("/sdcard/DCIM/");
        const QMap<QString, QString> expected {
            {t + QStringLiteral("A/b.txt"), QStringLiteral("3 [3]")},
            {t + QStringLiteral("A/D/exact.bin"), QStringLiteral("524288 [524288]")},
            {t + QStringLiteral("A/D/over.bin"), QStringLiteral("524289 [524288,1]")},
            {t + QStringLiteral("A/empty.bin"), QStringLiteral("0 []")},
            {t + QStringLiteral(".direct"), QStringLiteral("13 [13]")},
        };
        QCOMPARE(received(*phone), expected);
        QVERIFY2(phone->verdict(1).isEmpty(), qPrintable(phone->verdict(1)));
        QCOMPARE(phone->store->completedSessions(QStringLiteral("upload")), 1);
        for (const QString& name : {QStringLiteral("A/D/exact.bin"), QStringLiteral("A/D/over.bin")}) {
            QByteArray stored;
            QVERIFY(phone->sim->files().read(t + name, &stored));
            QVERIFY2(stored == files.value(name), qPrintable(name));
        }
        // Listed in the phone's folder afterwards, each once.
        QStringList listed;
        for (const phonesim::FileStore::Entry& e : phone->sim->files().list(t + QStringLiteral("A")))
            listed << e.path.mid(t.size() + 2);
        listed.sort();
        // (The empty folder C sent nothing, so the phone has none.)
        QCOMPARE(listed, QStringLiteral("D|b.txt|empty.bin").split(u'|'));

        // Not a success: the file left behind is named.
        QCOMPARE(job.totalFiles(), 6);
        QCOMPARE(job.sentFiles(), 5);
        QCOMPARE(report.successes(), QStringList());
        QCOMPARE(report.errors(),
                 QStringList {QStringLiteral("5 of 6 files were transferred to Android. These files were not sent, "
                                             "because their names hold a line break:\n%1/A/bad\\nname.txt")
                                  .arg(base)});
        QVERIFY(report.progressTexts().contains(QStringLiteral("Files:6 / 6")));
        QVERIFY(report.progressTexts().contains(QStringLiteral("512KB / 512KB")));
    }

    void allSent_isASuccess_countingFiles()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("upload"));
        QVERIFY(QDir().mkpath(base + QStringLiteral("/Music/Empty")));
        QVERIFY(writeFile(base + QStringLiteral("/Music/Ä.mp3"), "song"));
        QVERIFY(writeFile(base + QStringLiteral("/top.txt"), "top"));
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        testsupport::RecordingJobReport report;
        AndroidUploadFilesThread job(
            &phone->device, QStringLiteral("/"),
            {QFileInfo(base + QStringLiteral("/Music")), QFileInfo(base + QStringLiteral("/top.txt"))}, &report);
        QVERIFY(run(job));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully transferred 2 files to Android.")});
        QCOMPARE(received(*phone).keys(), QStringLiteral("/Music/Ä.mp3|/top.txt").split(u'|'));
        bool statusShown = false;
        for (const auto& p : report.progress())
            statusShown = statusShown || p.status == QLatin1String("Transferring: top.txt");
        QVERIFY(statusShown);
    }

    // A phone that stops answering in the middle of a file: Cancel ends the
    // job within a second and the phone keeps no part of the file.
    void stalledPhone_cancelEndsItWithinASecond()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("upload"));
        QVERIFY(writeFile(base + QStringLiteral("/two-blocks.bin"), bytes(kBlock + 10, 3)));
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        // Steps: 1 ready, 2 the first block's ".", 3 the second's.
        phone->sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("upload"), 3));
        testsupport::RecordingJobReport report;
        AndroidUploadFilesThread job(&phone->device, QStringLiteral("/sdcard"),
                                     {QFileInfo(base + QStringLiteral("/two-blocks.bin"))}, &report);
        job.start();
        const auto blocksSent = [&] {
            const QList<QByteArray> lines = phone->sim->linesReceived(QStringLiteral("upload"));
            return std::count_if(lines.begin(), lines.end(),
                                 [](const QByteArray& l) { return l.startsWith("$block:"); });
        };
        QTRY_COMPARE(blocksSent(), 2);
        QVERIFY(!job.wait(200)); // stalled
        QElapsedTimer sinceCancel;
        sinceCancel.start();
        report.cancel();
        QVERIFY(job.wait(QDeadlineTimer(5000)));
        QVERIFY2(sinceCancel.elapsed() < 1000, qPrintable(QString::number(sinceCancel.elapsed())));
        QCOMPARE(report.endCount(), 0);
        phone->sim->releaseStalls();
        QVERIFY(!phone->sim->files().contains(QStringLiteral("/sdcard/two-blocks.bin")));
    }

    void phoneFailures_endTheJobWithTheirText_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("error"); // the start of the posted error; "*": any
        QTest::newRow("closed after the first block")
            << Fault(Fault::Kind::CloseAt, QStringLiteral("upload"), 2) << QStringLiteral("*");
        QTest::newRow("error from the phone")
            << Fault(Fault::Kind::ErrorAt, QStringLiteral("upload"), 2, "storage full")
            << QStringLiteral("storage full");
        QTest::newRow("wrong acknowledgement") << Fault(Fault::Kind::WrongLineAt, QStringLiteral("upload"), 2, "$nope:")
                                               << QStringLiteral("invalid feedback [$nope:], must be [.]");
    }

    void phoneFailures_endTheJobWithTheirText()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, error);
        const QString base = testsupport::makeTempDir(QStringLiteral("upload"));
        QVERIFY(writeFile(base + QStringLiteral("/two-blocks.bin"), bytes(kBlock + 10, 4)));
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        phone->sim->addFault(fault);
        testsupport::RecordingJobReport report;
        AndroidUploadFilesThread job(&phone->device, QStringLiteral("/sdcard"),
                                     {QFileInfo(base + QStringLiteral("/two-blocks.bin"))}, &report);
        QVERIFY(run(job));
        QCOMPARE(report.successes(), QStringList());
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(error == QLatin1String("*") || report.errors().first().startsWith(error),
                 qPrintable(report.errors().first()));
        QVERIFY(!phone->sim->files().contains(QStringLiteral("/sdcard/two-blocks.bin")));
    }

    // The media uploads post each block's progress once the phone took it.
    void blockSender_afterAcknowledgement_postsWithoutStatus()
    {
        const QString path = testsupport::makeTempDir(QStringLiteral("sender")) + QStringLiteral("/song.mp3");
        QVERIFY(writeFile(path, bytes(kBlock * 2 + 5, 5)));
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        std::unique_ptr<QTcpSocket> socket(phone->device.connect(
            QStringLiteral("restore://127.0.0.1:%1/upload").arg(simpleprotocol::nextLocalPort()), 10000));
        testsupport::RecordingJobReport report;
        FileBlockSender sender(FileBlockSender::Progress::AfterAck);
        simpleprotocol::sendCommand(socket.get(), QStringLiteral("$file:"), QStringLiteral("/Music/song.mp3"), true,
                                    -1);
        sender.open(socket.get(), path, QStringLiteral("song.mp3"));
        QCOMPARE(sender.send(socket.get(), &report, QStringLiteral("ignored")), kBlock * 2 + 5);
        simpleprotocol::sendCommand(socket.get(), QStringLiteral("."), QString(), true, -1);
        simpleprotocol::expectCommand(socket.get(), QStringLiteral("$file:"), -1);
        simpleprotocol::sendCommand(socket.get(), QStringLiteral("$bye:"), QString(), true, -1);
        QCOMPARE(report.progressTexts(),
                 QStringLiteral("512KB / 1,024KB|1,024KB / 1,024KB|1,024KB / 1,024KB").split(u'|'));
        for (const auto& p : report.progress())
            QVERIFY(p.status.isEmpty() && p.percent == -1);
        QCOMPARE(received(*phone).value(QStringLiteral("/Music/song.mp3")),
                 QStringLiteral("1048581 [524288,524288,5]"));

        // A file that cannot be opened names the path as the caller gave it.
        QVERIFY_THROWS_EXCEPTION(simpleprotocol::LocalException,
                                 sender.open(nullptr, path + QStringLiteral(".gone"), QStringLiteral("gone.mp3")));
    }

    // A file gone by its turn ends the job with "open ... failed", told to
    // the phone first; the files before it stay on the phone.
    void fileGoneByItsTurn_endsTheJob()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("upload"));
        QVERIFY(writeFile(base + QStringLiteral("/first.txt"), "one"));
        QVERIFY(writeFile(base + QStringLiteral("/second.txt"), "two"));
        QVERIFY(writeFile(base + QStringLiteral("/third.txt"), "three"));
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ReportRemovingFile report(QStringLiteral("Files:2 / 3"), base + QStringLiteral("/second.txt"));
        AndroidUploadFilesThread job(&phone->device, QStringLiteral("/sdcard"),
                                     {QFileInfo(base + QStringLiteral("/first.txt")),
                                      QFileInfo(base + QStringLiteral("/second.txt")),
                                      QFileInfo(base + QStringLiteral("/third.txt"))},
                                     &report);
        QVERIFY(run(job));
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(report.errors().first().startsWith(QStringLiteral("open %1/second.txt failed.").arg(base)),
                 qPrintable(report.errors().first()));
        QCOMPARE(received(*phone).keys(), QStringList {QStringLiteral("/sdcard/first.txt")});
        phone->sim->waitFinished(QStringLiteral("service"), 1, 5000);
        QVERIFY(phone->sim->linesReceived(QStringLiteral("upload")).last().startsWith("$error:"));
    }
};

QTEST_GUILESS_MAIN(TestUploadFiles)
#include "test_uploadfiles.moc"
