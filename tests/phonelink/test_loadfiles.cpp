// The phone's file system and the file download against the simulated
// phone: listings and deletion over one connection used from two threads, a
// folder that lists itself, byte-identical downloads with non-ASCII names,
// names that would leave the target, and transfers that end short or long.
#include "phonelink/androiddownloadfilesthread.h"
#include "phonelink/androidloadfilesys.h"
#include "records/remotefile.h"
#include "shell/core/translations.h"

#include "test_loadsupport.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QtTest>

using phonesim::Fault;
using testsupport::RecordingJobReport;

namespace {

constexpr int kNet = 83;

QJsonObject filesFixture()
{
    return loadtest::fixtureFile(QStringLiteral("loaders-files.json"));
}

// The fixture's bytes of a file below "sdcard".
QByteArray fixtureBytes(const QStringList& path)
{
    QJsonObject node = filesFixture().value(QStringLiteral("files")).toObject();
    for (const QString& name : path) {
        for (const QJsonValue& c : node.value(QStringLiteral("children")).toArray())
            if (c.toObject().value(QStringLiteral("name")).toString() == name)
                node = c.toObject();
    }
    if (node.contains(QStringLiteral("base64")))
        return QByteArray::fromBase64(node.value(QStringLiteral("base64")).toString().toLatin1());
    return node.value(QStringLiteral("content")).toString().toUtf8();
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList filesBelow(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        out.append(QDir(dir).relativeFilePath(it.next()));
    out.sort();
    return out;
}

_RemoteFile* folderNode(const QString& path)
{
    return new _RemoteFile(nullptr, true, path, QString(), true, true, true, QString());
}

_RemoteFile* fileNode(const QString& path)
{
    return new _RemoteFile(nullptr, false, path, QString(), true, true, true, QString());
}

} // namespace

class TestLoadFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(QCoreApplication::instance()); }
    void init() { loadtest::useFreePorts(); }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void listAndDelete_overOneConnectionFromTwoThreads();
    void listingThread_guardsAFolderListingItself();
    void folderDownload_isByteIdenticalAndStaysInTarget();
    void sizeMismatch_failsAndLeavesNoFile_data();
    void sizeMismatch_failsAndLeavesNoFile();
    void transferFaults_removeThePartialFile_data();
    void transferFaults_removeThePartialFile();
};

void TestLoadFiles::listAndDelete_overOneConnectionFromTwoThreads()
{
    loadtest::WifiPhone phone(kNet, filesFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    AndroidLoadFileSys fs(&phone.device);

    QList<_RemoteFile*> top = fs.listFolder(QStringLiteral("/"));
    QCOMPARE(top.size(), 3);
    QVERIFY(top.at(0)->isDir);
    QCOMPARE(top.at(0)->path, QStringLiteral("/sdcard"));
    QCOMPARE(top.at(1)->name, QStringLiteral("short.bin"));
    QCOMPARE(top.at(1)->size, 5);
    std::unique_ptr<_RemoteFile> sdcard(top.takeFirst());
    qDeleteAll(top);

    // Listed on a job thread into the node, then used again here.
    RecordingJobReport report;
    AndroidLoadFileSysThread job(&fs, {sdcard.get()}, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(sdcard->children.size(), 7);
    const _RemoteFile* notes = sdcard->children.at(0);
    QCOMPARE(notes->size, 5);
    QCOMPARE(notes->modified.toMSecsSinceEpoch(), 1000);
    QCOMPARE(sdcard->children.at(1)->name, QStringLiteral("Москва.txt"));

    QVERIFY(fs.deleteFile(QStringLiteral("/sdcard/notes.txt")));
    QVERIFY(!fs.deleteFile(QStringLiteral("/sdcard/notes.txt")));
    QList<_RemoteFile*> again;
    fs.listFolder(again, QStringLiteral("/sdcard"));
    QCOMPARE(again.size(), 6);
    qDeleteAll(again);
    QCOMPARE(phone.sim->connections(QStringLiteral("service")).size(), 1);

    // A bad line drops the connection; the next request opens a new one.
    phone.sim->addFault(Fault(Fault::Kind::WrongLineAt, QStringLiteral("files"), 2, "$what:"));
    std::unique_ptr<AndroidLoadFileSys> fs2 = std::make_unique<AndroidLoadFileSys>(&phone.device);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, fs2->listFolder(QStringLiteral("/")));
    QVERIFY(!fs2->isOpen());
    QList<_RemoteFile*> retry = fs2->listFolder(QStringLiteral("/"));
    QCOMPARE(retry.size(), 3);
    qDeleteAll(retry);
    fs2.reset();
    QVERIFY(phone.sim->waitFinished(QStringLiteral("service"), 2, 5000));
    QCOMPARE(phone.sim->connections(QStringLiteral("service")).last().linesIn.last(), QByteArray("$bye:"));
}

void TestLoadFiles::listingThread_guardsAFolderListingItself()
{
    loadtest::WifiPhone phone(kNet, filesFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    AndroidLoadFileSys fs(&phone.device);
    std::unique_ptr<_RemoteFile> root(folderNode(QStringLiteral("/")));
    RecordingJobReport report;
    AndroidLoadFileSysThread job(&fs, {root.get()}, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(root->countFiles(), 9);
    QVERIFY(report.progressTexts().contains(QStringLiteral("Loading:/sdcard/DCIM")));
    // "loop" names /sdcard again: reached, not listed a second time.
    const QList<QByteArray> in = phone.sim->linesReceived(QStringLiteral("files"));
    QCOMPARE(in.count("$path:/sdcard"), 1);
}

void TestLoadFiles::folderDownload_isByteIdenticalAndStaysInTarget()
{
    loadtest::WifiPhone phone(kNet, filesFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    AndroidLoadFileSys fs(&phone.device);
    std::unique_ptr<_RemoteFile> sdcard(folderNode(QStringLiteral("/sdcard")));
    RecordingJobReport listed;
    AndroidLoadFileSysThread lister(&fs, {sdcard.get()}, &listed);
    QVERIFY(loadtest::runJob(lister));
    QVERIFY(listed.succeeded());

    const QString base = testsupport::makeTempDir(QStringLiteral("download"));
    QDir(base).mkdir(QStringLiteral("target"));
    const QString target = base + QStringLiteral("/target");
    // An existing file of the same name is replaced.
    QDir(target).mkdir(QStringLiteral("sdcard"));
    {
        QFile old(target + QStringLiteral("/sdcard/notes.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older, longer text");
    }

    RecordingJobReport report;
    AndroidDownloadFilesThread job(&phone.device, {sdcard.get()}, QDir(target), &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(job.filesTotal, 7);
    QCOMPARE(job.filesDone, 6);
    QCOMPARE(report.successes(), QStringList{QStringLiteral("Successfully extracted 6 files.")});
    QVERIFY(report.progressTexts().contains(QStringLiteral("Files:1/7")));
    QVERIFY(report.progressTexts().contains(QStringLiteral("97KB / 97KB")));
    QCOMPARE(report.progress().first().percent, 14);

    QCOMPARE(filesBelow(target),
             (QStringList{QStringLiteral("sdcard/DCIM/café.mp3"), QStringLiteral("sdcard/DCIM/照片.jpg"),
                          QStringLiteral("sdcard/big.bin"), QStringLiteral("sdcard/empty.txt"),
                          QStringLiteral("sdcard/notes.txt"), QStringLiteral("sdcard/Москва.txt")}));
    const QString s = target + QStringLiteral("/sdcard/");
    QCOMPARE(fileBytes(s + QStringLiteral("notes.txt")), QByteArray("hello"));
    QCOMPARE(fileBytes(s + QStringLiteral("Москва.txt")), fixtureBytes({QStringLiteral("sdcard"), QStringLiteral("Москва.txt")}));
    QCOMPARE(fileBytes(s + QStringLiteral("big.bin")), fixtureBytes({QStringLiteral("sdcard"), QStringLiteral("big.bin")}));
    QCOMPARE(fileBytes(s + QStringLiteral("DCIM/照片.jpg")),
             fixtureBytes({QStringLiteral("sdcard"), QStringLiteral("DCIM"), QStringLiteral("照片.jpg")}));
    QCOMPARE(fileBytes(s + QStringLiteral("empty.txt")), QByteArray());
    // ".." was refused: nothing landed beside or above the target.
    QCOMPARE(job.refusedNames(), QStringList{QStringLiteral("/sdcard/..")});
    QCOMPARE(filesBelow(base).size(), 6);
}

void TestLoadFiles::sizeMismatch_failsAndLeavesNoFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");
    QTest::newRow("short") << QStringLiteral("/short.bin")
                           << QStringLiteral("download /short.bin failed: 10 bytes announced, 5 received.");
    QTest::newRow("long") << QStringLiteral("/long.bin")
                          << QStringLiteral("download /long.bin failed: 5 bytes announced, 10 received.");
}

void TestLoadFiles::sizeMismatch_failsAndLeavesNoFile()
{
    QFETCH(QString, path);
    QFETCH(QString, error);
    loadtest::WifiPhone phone(kNet, filesFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    const QString target = testsupport::makeTempDir(QStringLiteral("mismatch"));
    std::unique_ptr<_RemoteFile> file(fileNode(path));
    RecordingJobReport report;
    AndroidDownloadFilesThread job(&phone.device, {file.get()}, QDir(target), &report);
    QVERIFY(loadtest::runJob(job));
    QCOMPARE(report.errors(), QStringList{error});
    QCOMPARE(filesBelow(target), QStringList());
}

void TestLoadFiles::transferFaults_removeThePartialFile_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("error"); // empty: cancelled
    // Steps: 1 ready, 2..4 notes.txt ("$file:", block, "."), 5 big.bin's
    // "$file:", 6.. its blocks.
    using K = Fault::Kind;
    QTest::newRow("end of stream in a block") << int(K::EofMidBlock) << qint64(1000) << QStringLiteral("*");
    QTest::newRow("oversized block") << int(K::BlockSizeAt) << (qint64(1) << 40)
                                     << QStringLiteral("block size 1099511627776 out of range");
    QTest::newRow("negative block") << int(K::BlockSizeAt) << qint64(-5)
                                    << QStringLiteral("block size -5 out of range");
    QTest::newRow("stall, then cancel") << int(K::StallAt) << qint64(0) << QString();
}

void TestLoadFiles::transferFaults_removeThePartialFile()
{
    QFETCH(int, kind);
    QFETCH(qint64, size);
    QFETCH(QString, error);
    loadtest::WifiPhone phone(kNet, filesFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    phone.sim->addFault(Fault(Fault::Kind(kind), QStringLiteral("download"), 7, QByteArray(), size));
    const QString target = testsupport::makeTempDir(QStringLiteral("faults"));
    std::unique_ptr<_RemoteFile> notes(fileNode(QStringLiteral("/sdcard/notes.txt")));
    std::unique_ptr<_RemoteFile> big(fileNode(QStringLiteral("/sdcard/big.bin")));
    RecordingJobReport report;
    if (error.isEmpty())
        report.cancelWhenProgressContains(QStringLiteral("32KB / 97KB"));
    AndroidDownloadFilesThread job(&phone.device, {notes.get(), big.get()}, QDir(target), &report);
    QVERIFY(loadtest::runJob(job));
    phone.sim->releaseStalls();
    if (error.isEmpty()) {
        QCOMPARE(report.endCount(), 0);
    } else {
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(error == QLatin1String("*") || report.errors().first().startsWith(error),
                 qPrintable(report.errors().first()));
    }
    // The finished file stays, the partial one is gone.
    QCOMPARE(filesBelow(target), QStringList{QStringLiteral("notes.txt")});
}

QTEST_GUILESS_MAIN(TestLoadFiles)
#include "test_loadfiles.moc"
