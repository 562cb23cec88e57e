// The phone's file system and the file download against the simulated
// phone: listings and deletion over one connection used from two threads, a
// folder that lists itself, byte-identical downloads with non-ASCII names,
// names that would leave the target, transfers that fail in any way without
// touching an earlier copy, and paths that cannot travel as one line.
#include "phonelink/androiddownloadfilesthread.h"
#include "phonelink/androidloadfilesys.h"
#include "records/remotefile.h"
#include "shell/core/translations.h"

#include "test_loadsupport.h"

#include <QtTest>

using phonesim::Fault;
using testsupport::RecordingJobReport;

namespace {

// Every file below dir with its bytes, by relative path.
QMap<QString, QByteArray> filesBelow(const QString& dir)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        out.insert(QDir(dir).relativeFilePath(f.fileName()), f.open(QIODevice::ReadOnly) ? f.readAll() : "?");
    }
    return out;
}

_RemoteFile* node(const QString& path, bool isDir)
{
    return new _RemoteFile(nullptr, isDir, path, QString(), true, true, true, QString());
}

} // namespace

class TestLoadFiles : public QObject {
    Q_OBJECT
    static QJsonObject filesFixture() { return loadtest::fixtureFile(QStringLiteral("loaders-files.json")); }

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(QCoreApplication::instance());
        loadtest::useFreePorts();
    }

    void listDownloadAndDelete()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        AndroidLoadFileSys fs(&phone.device);
        QList<_RemoteFile*> top = fs.listFolder(QStringLiteral("/"));
        QCOMPARE(top.size(), 3);
        QVERIFY(top.at(0)->isDir && top.at(0)->path == QLatin1String("/sdcard"));
        std::unique_ptr<_RemoteFile> sdcard(top.takeFirst());
        qDeleteAll(top);

        // The same connection lists the tree on a job thread; "loop" names
        // /sdcard again: reached, not listed a second time.
        RecordingJobReport listed;
        AndroidLoadFileSysThread lister(&fs, {sdcard.get()}, &listed);
        LOAD_OK(lister, listed);
        QVERIFY(listed.progressTexts().contains(QStringLiteral("Loading:/sdcard/DCIM")));
        QCOMPARE(phone.sim->linesReceived(QStringLiteral("files")).count("$path:/sdcard"), 1);
        QCOMPARE(sdcard->children.size(), 7);
        QCOMPARE(sdcard->children.at(0)->modified.toMSecsSinceEpoch(), 1000);
        QCOMPARE(sdcard->children.at(1)->name, QStringLiteral("Москва.txt"));

        // Download into a target that already holds an older notes.txt.
        const QString base = testsupport::makeTempDir(QStringLiteral("download"));
        const QString s = base + QStringLiteral("/target/sdcard/");
        QVERIFY(QDir().mkpath(s));
        QFile old(s + QStringLiteral("notes.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an older, longer text") > 0 && old.flush());
        RecordingJobReport report;
        AndroidDownloadFilesThread job(&phone.device, {sdcard.get()}, QDir(base + QStringLiteral("/target")), &report);
        LOAD_OK(job, report);
        QCOMPARE(report.successes(), loadtest::list("Successfully extracted 6 files."));
        QVERIFY(report.progressTexts().contains(QStringLiteral("Files:1/7")));
        QVERIFY(report.progressTexts().contains(QStringLiteral("97KB / 97KB")));
        // Byte-identical under their own names; ".." was refused and nothing
        // landed beside or above the target.
        const QJsonValue sd = filesFixture()[QStringLiteral("files")][QStringLiteral("children")][0];
        const auto base64 = [](const auto& v) { return QByteArray::fromBase64(v["base64"].toString().toLatin1()); };
        const QMap<QString, QByteArray> expected {
            {QStringLiteral("target/sdcard/notes.txt"), "hello"},
            {QStringLiteral("target/sdcard/Москва.txt"), QStringLiteral("привет").toUtf8()},
            {QStringLiteral("target/sdcard/big.bin"), base64(sd["children"][2])},
            {QStringLiteral("target/sdcard/empty.txt"), ""},
            {QStringLiteral("target/sdcard/DCIM/照片.jpg"), base64(sd["children"][4]["children"][0])},
            {QStringLiteral("target/sdcard/DCIM/café.mp3"), "not really music"}};
        QCOMPARE(filesBelow(base), expected);
        QCOMPARE(job.refusedNames(), loadtest::list("/sdcard/.."));

        // Deleting goes over the listing connection too.
        QVERIFY(fs.deleteFile(QStringLiteral("/sdcard/notes.txt")));
        QVERIFY(!fs.deleteFile(QStringLiteral("/sdcard/notes.txt")));
        QList<_RemoteFile*> again;
        fs.listFolder(again, QStringLiteral("/sdcard"));
        QCOMPARE(again.size(), 6);
        qDeleteAll(again);
        const QList<phonesim::ConnectionLog> used = phone.sim->connections(QStringLiteral("service"));
        QCOMPARE(std::count_if(used.begin(), used.end(), [](const auto& c) { return c.service == "files"; }), 1);
    }

    void transferFaults_failAndLeaveNoPartialFile_data()
    {
        QTest::addColumn<QString>("file"); // downloaded after notes.txt
        QTest::addColumn<int>("kind"); // a fault in big.bin's blocks; -1: none
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("error"); // start of the error; "*": any; empty: cancelled
        using K = Fault::Kind;
        QTest::newRow("fewer bytes than announced")
            << QStringLiteral("/short.bin") << -1 << qint64(0)
            << QStringLiteral("download /short.bin failed: 10 bytes announced, 5 received.");
        QTest::newRow("more bytes than announced")
            << QStringLiteral("/long.bin") << -1 << qint64(0)
            << QStringLiteral("download /long.bin failed: 5 bytes announced, 10 received.");
        const QString big = QStringLiteral("/sdcard/big.bin");
        QTest::newRow("end of stream in a block") << big << int(K::EofMidBlock) << qint64(1000) << QStringLiteral("*");
        QTest::newRow("oversized block") << big << int(K::BlockSizeAt) << (qint64(1) << 40)
                                         << QStringLiteral("block size 1099511627776 out of range");
        QTest::newRow("negative block") << big << int(K::BlockSizeAt) << qint64(-5)
                                        << QStringLiteral("block size -5 out of range");
        QTest::newRow("stall, then cancel") << big << int(K::StallAt) << qint64(0) << QString();
        QTest::newRow("error from the phone")
            << big << int(K::ErrorAt) << qint64(0) << QStringLiteral("storage unmounted");
        QTest::newRow("wrong line") << big << int(K::WrongLineAt) << qint64(0)
                                    << QStringLiteral("invalid command(.,$block:), $bogus:");
        QTest::newRow("cut mid line") << big << int(K::CloseAt) << qint64(0) << QStringLiteral("*");
    }

    void transferFaults_failAndLeaveNoPartialFile()
    {
        QFETCH(QString, file);
        QFETCH(int, kind);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        // Steps: 1 ready, 2..4 notes.txt, 5 big.bin's "$file:", 6.. its blocks.
        const QByteArray text = kind == int(Fault::Kind::ErrorAt) ? QByteArray("storage unmounted")
            : kind == int(Fault::Kind::WrongLineAt)               ? QByteArray("$bogus:")
            : kind == int(Fault::Kind::CloseAt)                   ? QByteArray("$blo")
                                                                  : QByteArray();
        if (kind >= 0)
            phone.sim->addFault(Fault(Fault::Kind(kind), QStringLiteral("download"), 7, text, size));
        // The file was extracted once before; that copy must survive.
        const QString target = testsupport::makeTempDir(QStringLiteral("faults"));
        const QString earlierName = file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
        QFile earlier(target + QLatin1Char('/') + earlierName);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("the copy extracted before") > 0);
        earlier.close();
        std::unique_ptr<_RemoteFile> notes(node(QStringLiteral("/sdcard/notes.txt"), false)), second(node(file, false));
        RecordingJobReport report;
        if (error.isEmpty())
            report.cancelWhenProgressContains(QStringLiteral("32KB / 97KB"));
        AndroidDownloadFilesThread job(&phone.device, {notes.get(), second.get()}, QDir(target), &report);
        QVERIFY(loadtest::runJob(job));
        phone.sim->releaseStalls();
        QCOMPARE(report.endCount(), error.isEmpty() ? 0 : 1);
        const QString posted = report.errors().value(0);
        QVERIFY2(report.errors().size() == (error.isEmpty() ? 0 : 1)
                     && (error == QLatin1String("*") ? !posted.isEmpty() : posted.startsWith(error)),
                 qPrintable(posted));
        // The finished file stays, the earlier copy is untouched, no partial
        // or temporary file is left.
        const QMap<QString, QByteArray> expected {{QStringLiteral("notes.txt"), "hello"},
                                                  {earlierName, "the copy extracted before"}};
        QCOMPARE(filesBelow(target), expected);
    }

    void pathWithALineBreak_isRefusedBeforeSending()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        const QString path = QStringLiteral("/sdcard/A\nB/x.txt");
        const QString error = QStringLiteral("The argument of %1 contains a line break and was not sent: "
                                             "\"/sdcard/A\\nB/x.txt\"");

        // The download fails with that error; the phone never sees a request
        // for "/sdcard/A" or "B/x.txt".
        const QString target = testsupport::makeTempDir(QStringLiteral("linebreak"));
        std::unique_ptr<_RemoteFile> bad(node(path, false));
        RecordingJobReport report;
        AndroidDownloadFilesThread job(&phone.device, {bad.get()}, QDir(target), &report);
        QVERIFY(loadtest::runJob(job));
        QCOMPARE(report.errors(), QStringList {error.arg(QStringLiteral("$dload:"))});
        QVERIFY(filesBelow(target).isEmpty());

        AndroidLoadFileSys fs(&phone.device);
        try {
            fs.deleteFile(path);
            QFAIL("deleting a path with a line break did not fail");
        } catch (const simpleprotocol::ArgumentException& e) {
            QCOMPARE(e.message(), error.arg(QStringLiteral("$del:")));
        }
        phone.sim->waitFinished(QStringLiteral("service"), 1, 5000);
        for (const QByteArray& line :
             phone.sim->linesReceived(QStringLiteral("download")) + phone.sim->linesReceived(QStringLiteral("files")))
            QVERIFY2(!line.startsWith("$dload:") && !line.startsWith("$del:") && line != "B/x.txt", line.constData());
    }

    // A stalled phone: a listing gives up within the time between lines,
    // and a cancel of the calling thread's scope ends it within a second.
    void listingAStalledPhone_givesUpOrIsCancelled()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("files"), 2, {}, 0, -1));
        AndroidLoadFileSys fs(&phone.device);
        fs.setLineTimeoutMs(800);
        QElapsedTimer t;
        t.start();
        QVERIFY_THROWS_EXCEPTION(simpleprotocol::SocketDataTransferException, fs.listFolder(QStringLiteral("/")));
        QVERIFY2(t.elapsed() >= 700 && t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));

        AndroidLoadFileSys patient(&phone.device); // the default limit, far away
        std::atomic<bool> cancel {false};
        QElapsedTimer sinceCancel;
        const std::unique_ptr<QThread> canceller(QThread::create([&] {
            QThread::msleep(300);
            sinceCancel.start();
            cancel = true;
        }));
        canceller->start();
        simpleprotocol::CancelScope scope([&] { return cancel.load(); });
        bool canceled = false;
        try {
            patient.listFolder(QStringLiteral("/"));
        } catch (int) {
            canceled = true;
        }
        canceller->wait();
        QVERIFY(canceled);
        QVERIFY2(sinceCancel.elapsed() < 1000, qPrintable(QString::number(sinceCancel.elapsed())));
        phone.sim->releaseStalls();
    }
};

QTEST_GUILESS_MAIN(TestLoadFiles)
#include "test_loadfiles.moc"
