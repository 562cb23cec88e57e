// The phone's storage against the simulated phone. The file system and the
// download: listings over one connection used from two threads, a folder
// that lists itself, byte-identical downloads with non-ASCII names, names
// that would leave the target, transfers that fail in any way without
// touching an earlier copy, paths that cannot travel as one line, a tree
// deeper than the listing goes (what lies below is named), a phone
// that stalls in a listing. The media: photo albums, and thumbnails over one
// kept connection (the media fixture's photos 0 and 4 have JPEG thumbnails,
// photo 2 a PNG one, photo 3 a GIF; photo 4 announces far more bytes than it
// sends). What the phone sends as a thumbnail is read by the picture
// reader: turned upright, a hostile one never decoded.
#include "phonelink/androiddownloadfilesthread.h"
#include "phonelink/androidloadfilesys.h"
#include "phonelink/androidloadimagesthread.h"
#include "phonelink/androidloadmusicthread.h"
#include "phonelink/androidloadthumbnailsthread.h"
#include "records/remotefile.h"
#include "shell/core/translations.h"

#include "decodewatch.h"
#include "test_loadsupport.h"
#include "testpictures.h"

#include <QImage>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>

using testsupport::RecordingJobReport;

namespace {

// Every file below dir with its bytes, by relative path.
QMap<QString, QByteArray> contents(const QString& dir)
{
    QMap<QString, QByteArray> out;
    for (const QString& f : testsupport::filesBelow(dir))
        out.insert(f, testsupport::readFile(dir + QLatin1Char('/') + f));
    return out;
}

std::unique_ptr<_RemoteFile> fileNode(const QString& path)
{
    return std::make_unique<_RemoteFile>(nullptr, false, path, QString(), true, true, true, QString());
}

QJsonObject mediaFixture()
{
    return testsupport::fixtureFile(QStringLiteral("tests/phonelink/data/media-thumbnails.json"));
}

QStringList paths(const QList<PhotoRecord>& records)
{
    QStringList out;
    for (const PhotoRecord& r : records)
        out.append(r.path);
    return out;
}

// Whether this process's end of the latest connection to a service of the
// phone sends small writes at once (TCP_NODELAY): 1 or 0, -1 when there is
// no such connection.
int lowDelayOf(const testsupport::SimPhone& phone, const QString& service)
{
    int port = -1;
    for (const phonesim::ConnectionLog& log : phone.sim->connections(QStringLiteral("service")))
        if (log.service == service)
            port = QUrl(log.url).port();
    const QHostAddress host(phone.device.host);
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const int fd = name.toInt();
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        sockaddr_in peer {};
        socklen_t length = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 || peer.sin_family != AF_INET
            || ntohs(peer.sin_port) != port || QHostAddress(ntohl(peer.sin_addr.s_addr)) != host)
            continue;
        int on = 0;
        socklen_t size = sizeof on;
        if (getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0)
            return on != 0 ? 1 : 0;
    }
    return -1;
}

// The thumbnail file is a whole 128 x 128 JPEG.
bool wholeThumbnail(const QString& file)
{
    const QByteArray bytes = testsupport::readFile(file);
    return bytes.endsWith("\xFF\xD9") && QImage::fromData(bytes, "JPEG").size() == QSize(128, 128);
}

const QString kJpeg = QStringLiteral("/sdcard/DCIM/a.jpg");
const QString kPng = QStringLiteral("/sdcard/Pics/照片.jpg");

} // namespace

class TestLoadFiles : public QObject {
    Q_OBJECT
    static QJsonObject filesFixture()
    {
        return testsupport::fixtureFile(QStringLiteral("tools/phone-sim/fixtures/loaders-files.json"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(QCoreApplication::instance());
        loadtest::useFreePorts();
    }

    void listAndDownload_stayInsideTheirFolders()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        AndroidLoadFileSys fs(&phone.device);
        QList<_RemoteFile*> top = fs.listFolder(QStringLiteral("/"));
        QCOMPARE(top.size(), 3);
        QVERIFY(top.at(0)->isDir && top.at(0)->path == QLatin1String("/sdcard"));
        std::unique_ptr<_RemoteFile> sdcard(top.takeFirst());
        qDeleteAll(top);

        // The same connection lists the tree on a job thread. "loop" (the
        // path /sdcard again) and ".." are not inside /sdcard: out of reach,
        // and /sdcard is not listed a second time.
        RecordingJobReport listed;
        AndroidLoadFileSysThread lister(&fs, {sdcard.get()}, &listed);
        LOAD_OK(lister, listed);
        QCOMPARE(phone.sim->linesReceived(QStringLiteral("files")).count("$path:/sdcard"), 1);
        QCOMPARE(sdcard->children.size(), 7);
        QCOMPARE(sdcard->children.at(1)->name, QStringLiteral("Москва.txt"));
        for (const _RemoteFile* f : {sdcard->children.at(0), sdcard->children.at(4)})
            QVERIFY(f->deletable && f->exportable && f->importable);
        for (const _RemoteFile* f : {sdcard->children.at(5), sdcard->children.at(6)})
            QVERIFY2(!f->deletable && !f->exportable && !f->importable, qPrintable(f->path));
        QVERIFY(sdcard->children.at(5)->children.isEmpty());

        // Download into a target that already holds an older notes.txt: the
        // files arrive byte-identical under their own names, ".." and "loop"
        // are refused, nothing lands beside or above the target.
        const QString base = testsupport::makeTempDir(QStringLiteral("download"));
        QVERIFY(QDir().mkpath(base + QStringLiteral("/target/sdcard")));
        QFile old(base + QStringLiteral("/target/sdcard/notes.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an older, longer text") > 0 && old.flush());
        RecordingJobReport report;
        AndroidDownloadFilesThread job(&phone.device, {sdcard.get()}, QDir(base + QStringLiteral("/target")), &report);
        LOAD_OK(job, report);
        QCOMPARE(report.successes(), loadtest::list("Successfully extracted 6 files."));
        const QJsonValue sd = filesFixture()[QStringLiteral("files")][QStringLiteral("children")][0];
        const auto base64 = [](const auto& v) { return QByteArray::fromBase64(v["base64"].toString().toLatin1()); };
        const QMap<QString, QByteArray> expected {
            {QStringLiteral("target/sdcard/notes.txt"), "hello"},
            {QStringLiteral("target/sdcard/Москва.txt"), QStringLiteral("привет").toUtf8()},
            {QStringLiteral("target/sdcard/big.bin"), base64(sd["children"][2])},
            {QStringLiteral("target/sdcard/empty.txt"), ""},
            {QStringLiteral("target/sdcard/DCIM/照片.jpg"), base64(sd["children"][4]["children"][0])},
            {QStringLiteral("target/sdcard/DCIM/café.mp3"), "not really music"}};
        QCOMPARE(contents(base), expected);
        QCOMPARE(job.refusedNames(), loadtest::list("/sdcard|/sdcard/.."));
    }

    // A tree deeper than the listing goes: every folder above the limit is
    // listed and downloaded with its file, the first folder below it is
    // named as left out, not passed over in silence.
    void deepTree_whatLiesBelowTheLimitIsNamed()
    {
        constexpr int kLevels = AndroidLoadFileSysThread::kMaxDepth + 6;
        const QJsonObject file {{QStringLiteral("name"), QStringLiteral("f.txt")},
                                {QStringLiteral("content"), QStringLiteral("x")}};
        QJsonObject folder {{QStringLiteral("name"), QStringLiteral("d")},
                            {QStringLiteral("children"), QJsonArray {file}}};
        for (int level = kLevels - 1; level > 0; --level)
            folder = QJsonObject {{QStringLiteral("name"), level == 1 ? QStringLiteral("deep") : QStringLiteral("d")},
                                  {QStringLiteral("children"), QJsonArray {file, folder}}};
        const QJsonObject root {{QStringLiteral("name"), QStringLiteral("/")},
                                {QStringLiteral("children"), QJsonArray {folder}}};
        loadtest::WifiPhone phone(84, QJsonObject {{QStringLiteral("files"), root}});
        PHONE_OK(phone);
        AndroidLoadFileSys fs(&phone.device);
        QList<_RemoteFile*> top = fs.listFolder(QStringLiteral("/"));
        QCOMPARE(top.size(), 1);
        std::unique_ptr<_RemoteFile> deep(top.takeFirst());

        RecordingJobReport listed;
        AndroidLoadFileSysThread lister(&fs, {deep.get()}, &listed);
        LOAD_OK(lister, listed);
        const QString belowLimit
            = QStringLiteral("/deep") + QStringLiteral("/d").repeated(AndroidLoadFileSysThread::kMaxDepth);
        QCOMPARE(lister.refusedPaths(), QStringList {belowLimit});
        const QList<QByteArray> asked = phone.sim->linesReceived(QStringLiteral("files"));
        QCOMPARE(asked.size(), AndroidLoadFileSysThread::kMaxDepth + 1); // "/" and the folders above the limit
        QCOMPARE(asked.last(), "$path:" + belowLimit.chopped(2).toUtf8());

        const QString target = testsupport::makeTempDir(QStringLiteral("deep"));
        RecordingJobReport report;
        AndroidDownloadFilesThread job(&phone.device, {deep.get()}, QDir(target), &report);
        LOAD_OK(job, report);
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 64 files.")});
        QVERIFY(job.refusedNames().isEmpty());
        QCOMPARE(testsupport::filesBelow(target).size(), AndroidLoadFileSysThread::kMaxDepth);
        QVERIFY(QFileInfo(target + belowLimit).isDir());
    }

    // A download that fails in any way, or is cancelled, keeps the file
    // finished before it and leaves the copy extracted earlier untouched.
    void transferFaults_failAndLeaveNoPartialFile_data()
    {
        CHECKED(loadtest::jsonRows(QStringLiteral("download-faults.json")));
    }
    void transferFaults_failAndLeaveNoPartialFile()
    {
        QFETCH(QJsonObject, row);
        // Without a file of its own, a row's fault hits big.bin's blocks.
        // Steps: 1 ready, 2..4 notes.txt, 5 big.bin's "$file:", 6.. its blocks.
        const QString file = row[QStringLiteral("file")].toString(QStringLiteral("/sdcard/big.bin"));
        const bool cancel = row[QStringLiteral("cancel")].toBool();
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        if (row.contains(QStringLiteral("fault"))) {
            row.insert(QStringLiteral("service"), QStringLiteral("download"));
            row.insert(QStringLiteral("step"), 7);
            phone.sim->addFault(loadtest::faultOf(row));
        }
        const QString target = testsupport::makeTempDir(QStringLiteral("faults"));
        const QString earlierName = file.section(QLatin1Char('/'), -1);
        QFile earlier(target + QLatin1Char('/') + earlierName);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("the copy extracted before") > 0);
        earlier.close();
        const auto notes = fileNode(QStringLiteral("/sdcard/notes.txt")), second = fileNode(file);
        RecordingJobReport report;
        if (cancel)
            report.cancelWhenProgressContains(QStringLiteral("32KB / 97KB"));
        AndroidDownloadFilesThread job(&phone.device, {notes.get(), second.get()}, QDir(target), &report);
        QVERIFY(loadtest::runJob(job));
        phone.sim->releaseStalls();
        QCOMPARE(report.endCount(), cancel ? 0 : 1);
        QCOMPARE(report.errors().size(), cancel ? 0 : 1);
        const QString posted = report.errors().value(0);
        QVERIFY2(cancel || loadtest::errorMatches(posted, row[QStringLiteral("error")].toString()), qPrintable(posted));
        // No partial or temporary file is left.
        const QMap<QString, QByteArray> expected {{QStringLiteral("notes.txt"), "hello"},
                                                  {earlierName, "the copy extracted before"}};
        QCOMPARE(contents(target), expected);
    }

    // A file is a few short lines each way: the PC's end sends them at once
    // rather than after the phone's delayed acknowledgement of the line
    // before (checked while the phone holds its first answer back). A
    // stalled phone that goes away leaves no file.
    void download_sendsShortLinesAtOnce()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        // Steps: 1 ready, 2 the answer to the first request.
        phone.sim->addFault(phonesim::Fault(phonesim::Fault::Kind::StallAt, QStringLiteral("download"), 2));
        const QString target = testsupport::makeTempDir(QStringLiteral("lowdelay"));
        const auto notes = fileNode(QStringLiteral("/sdcard/notes.txt"));
        RecordingJobReport report;
        AndroidDownloadFilesThread job(&phone.device, {notes.get()}, QDir(target), &report);
        job.start();
        auto end = qScopeGuard([&] {
            phone.sim->releaseStalls();
            job.wait(testsupport::kHangGuardMs);
        });
        QTRY_VERIFY_WITH_TIMEOUT(!phone.sim->linesReceived(QStringLiteral("download")).isEmpty(),
                                 testsupport::kHangGuardMs);
        QCOMPARE(lowDelayOf(phone, QStringLiteral("download")), 1);
        end.dismiss();
        phone.sim->releaseStalls();
        QVERIFY(job.wait(testsupport::kHangGuardMs));
        QCOMPARE(report.errors().size(), 1);
        QCOMPARE(testsupport::filesBelow(target), QStringList());
    }

    // A disk that fills up while a small file is written: the job fails
    // naming the reason and the copy extracted earlier stays as it was.
    void download_fullDisk_keepsTheEarlierCopy()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        const QString target = testsupport::makeTempDir(QStringLiteral("fulldisk"));
        QFile earlier(target + QStringLiteral("/notes.txt"));
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("the copy extracted before") > 0);
        earlier.close();
        const auto notes = fileNode(QStringLiteral("/sdcard/notes.txt"));
        RecordingJobReport report;
        AndroidDownloadFilesThread job(&phone.device, {notes.get()}, QDir(target), &report);
        {
            testsupport::FileSizeLimit full(3);
            QVERIFY(full.ok());
            QVERIFY(loadtest::runJob(job));
        }
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(report.errors().first().startsWith(QStringLiteral("write file ")),
                 qPrintable(report.errors().first()));
        // The reason, also when the last write took part of the bytes.
        QVERIFY2(report.errors().first().endsWith(QStringLiteral("failed. File too large")),
                 qPrintable(report.errors().first()));
        const QMap<QString, QByteArray> expected {{QStringLiteral("notes.txt"), "the copy extracted before"}};
        QCOMPARE(contents(target), expected);
    }

    // A cancel as the second file begins keeps the first, received whole.
    void download_cancelBetweenFiles_keepsTheFileBefore()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        const QString target = testsupport::makeTempDir(QStringLiteral("between"));
        const auto notes = fileNode(QStringLiteral("/sdcard/notes.txt"));
        const auto big = fileNode(QStringLiteral("/sdcard/big.bin"));
        RecordingJobReport report;
        report.cancelWhenProgressContains(QStringLiteral("Files:2/2"));
        AndroidDownloadFilesThread job(&phone.device, {notes.get(), big.get()}, QDir(target), &report);
        QVERIFY(loadtest::runJob(job));
        QCOMPARE(report.endCount(), 0);
        const QMap<QString, QByteArray> expected {{QStringLiteral("notes.txt"), "hello"}};
        QCOMPARE(contents(target), expected);
    }

    void pathWithALineBreak_isRefusedBeforeSending()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        const QString path = QStringLiteral("/sdcard/A\nB/x.txt");
        // The download skips that file and names it; the next file comes
        // all the same.
        const QString target = testsupport::makeTempDir(QStringLiteral("linebreak"));
        const auto bad = fileNode(path), notes = fileNode(QStringLiteral("/sdcard/notes.txt"));
        RecordingJobReport report;
        AndroidDownloadFilesThread job(&phone.device, {bad.get(), notes.get()}, QDir(target), &report);
        LOAD_OK(job, report);
        QCOMPARE(report.successes(), loadtest::list("Successfully extracted 1 files."));
        QCOMPARE(job.refusedNames(), QStringList {path});
        QCOMPARE(testsupport::filesBelow(target), QStringList {QStringLiteral("notes.txt")});

        // Listing and deleting refuse it too, and the connection stays
        // usable. The phone never sees a request for "/sdcard/A" or "B/x.txt".
        AndroidLoadFileSys fs(&phone.device);
        QVERIFY_THROWS_EXCEPTION(simpleprotocol::ArgumentException, fs.deleteFile(path));
        QVERIFY_THROWS_EXCEPTION(simpleprotocol::ArgumentException, fs.listFolder(path));
        qDeleteAll(fs.listFolder(QStringLiteral("/"))); // still in step
        for (const QByteArray& line :
             phone.sim->linesReceived(QStringLiteral("download")) + phone.sim->linesReceived(QStringLiteral("files")))
            QVERIFY2(!line.contains("/sdcard/A") && line != "B/x.txt", line.constData());
    }

    // An entry the phone lists is used only when its path is one name
    // directly below the listed folder.
    void directlyInside_acceptsOneNameBelowTheFolder()
    {
        const auto in = [](const QString& pair) {
            return AndroidLoadFileSys::isDirectlyInside(pair.section(u' ', 0, 0), pair.section(u' ', 1));
        };
        for (const char* pair : {"/ /sdcard", "/sdcard /sdcard/a b.txt", "/sdcard /sdcard/...", "/sdcard/ /sdcard/x"})
            QVERIFY2(in(QString::fromUtf8(pair)), pair);
        for (const char* pair : {"/ /", "/sdcard /sdcard", "/sdcard /sdcard/", "/sdcard /sdcard/..",
                                 "/sdcard /sdcard/.", "/sdcard /sdcard//x", "/sdcard /sdcard/DCIM/x.jpg",
                                 "/sdcard /sdcardx", "/sdcard /other/x", "/sdcard sdcard/x", "sdcard sdcard/x", "/ //"})
            QVERIFY2(!in(QString::fromUtf8(pair)), pair);
    }

    // A stalled phone: a listing gives up once the set time between lines
    // has passed (not before, and not at the default limit), and a cancel of
    // the calling thread's scope ends it while the phone still stalls.
    void listingAStalledPhone_givesUpOrIsCancelled()
    {
        loadtest::WifiPhone phone(83, filesFixture());
        PHONE_OK(phone);
        phone.sim->addFault(phonesim::Fault(phonesim::Fault::Kind::StallAt, QStringLiteral("files"), 2, {}, 0, -1));
        AndroidLoadFileSys fs(&phone.device);
        fs.setLineTimeoutMs(800);
        QElapsedTimer t;
        t.start();
        QVERIFY_THROWS_EXCEPTION(simpleprotocol::SocketDataTransferException, fs.listFolder(QStringLiteral("/")));
        // The upper bound is a hang guard, far below the default limit.
        QVERIFY2(t.elapsed() >= 800 && t.elapsed() < AndroidLoadFileSys::kLineTimeoutMs,
                 qPrintable(QString::number(t.elapsed())));

        // Cancelled once the phone has the request: a cancel, not the
        // default limit's failure, ends it.
        AndroidLoadFileSys patient(&phone.device);
        const qsizetype asked = phone.sim->linesReceived(QStringLiteral("files")).size();
        simpleprotocol::CancelScope scope(
            [&] { return phone.sim->linesReceived(QStringLiteral("files")).size() > asked; });
        QVERIFY_THROWS_EXCEPTION(int, patient.listFolder(QStringLiteral("/")));
        phone.sim->releaseStalls();
    }

    void photoAlbums_areGroupedAndOrdered()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        RecordingJobReport report;
        AndroidLoadImagesThread job(15, &phone.device, &report);
        LOAD_OK(job, report);
        QList<PhotoBucket> albums;
        job.buckets(albums);
        QCOMPARE(albums.size(), 2);
        QCOMPARE(albums.at(0).name, QStringLiteral("Alben"));
        QCOMPARE(albums.at(1).name, QStringLiteral("Camera")); // named by its first record
        QCOMPARE(paths(albums.at(1).photos), loadtest::list("/sdcard/DCIM/a.jpg|/sdcard/DCIM/b.jpg"));
        QCOMPARE(paths(job.bucketItems()),
                 loadtest::list("/sdcard/DCIM/b.jpg|/sdcard/Pics/照片.jpg|/sdcard/DCIM/a.jpg|"
                                "/sdcard/x.gif|/sdcard/short.jpg"));

        // A song time whose milliseconds do not fit 64 bits is no date, not
        // a wrapped one.
        QVERIFY(!AndroidLoadMusicThread::parseMusic(QStringLiteral("k,,-9223372036854775807")).modified.isValid());
    }

    // Every run goes over one connection, kept open between runs with
    // nothing sent at a run's end, and replaced when the phone closed it; a
    // picture counts when it decodes, whatever size "$file:" announced.
    void thumbnails_areFetchedOnceChecked_overOneKeptConnection()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        AndroidLoadThumbnailsThread thumbs(&phone.device);
        const QString shortJpeg = QStringLiteral("/sdcard/short.jpg");
        QSignalSpy refreshed(&thumbs, &AndroidLoadThumbnailsThread::refresh);
        thumbs.requests = {QString(), kJpeg, kPng, QStringLiteral("/sdcard/x.gif")};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(testsupport::kHangGuardMs));
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 2, testsupport::kHangGuardMs);
        QCOMPARE(refreshed.at(0).at(0).toInt(), 1);
        QCOMPARE(refreshed.at(1).at(0).toInt(), 2);
        for (const QString& p : {kJpeg, kPng})
            QCOMPARE(QImage(thumbs.thumbnailPath(p), "JPEG").size(), QSize(128, 128));
        // A GIF leaves no file.
        QVERIFY(!QFile::exists(thumbs.thumbnailPath(QStringLiteral("/sdcard/x.gif"))));
        const QList<QByteArray> asked = phone.sim->linesReceived(QStringLiteral("image-thumbnails"));
        QVERIFY(asked.contains("$dload:" + kJpeg.toUtf8().toBase64() + ",16384,40"));

        // The next run: thumbnails that exist are not asked for again, the
        // one announced far larger than it is arrives, on the same connection.
        thumbs.stop();
        thumbs.requests = {kJpeg, kPng, shortJpeg};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(testsupport::kHangGuardMs));
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 3, testsupport::kHangGuardMs);
        QCOMPARE(refreshed.at(2).at(0).toInt(), 2);
        QCOMPARE(QImage(thumbs.thumbnailPath(shortJpeg), "JPEG").size(), QSize(128, 128));
        const QList<phonesim::ConnectionLog> services = phone.sim->connections(QStringLiteral("service"));
        QCOMPARE(services.size(), 1);
        QVERIFY(!services.first().finished);
        QVERIFY(!phone.sim->linesReceived(QStringLiteral("image-thumbnails")).contains("$bye:"));

        // A connection the phone closed between runs is replaced before the
        // next request, which is served.
        phone.sim->stop();
        QVERIFY(phone.sim->start());
        QVERIFY(QFile::remove(thumbs.thumbnailPath(kPng)));
        thumbs.stop();
        thumbs.requests = {kJpeg, kPng};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(testsupport::kHangGuardMs));
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 4, testsupport::kHangGuardMs);
        QCOMPARE(refreshed.at(3).at(0).toInt(), 1);
        QCOMPARE(phone.sim->connections(QStringLiteral("service")).size(), 2);
    }

    // A thumbnail is read by the picture reader, on the worker: one that an
    // EXIF orientation turns is kept upright (a tall picture in the
    // square), the bombs leave no file and are never decoded.
    void thumbnails_readUpright_hostileOnesNeverDecoded()
    {
        const QByteArray turned
            = testpictures::withOrientation(testpictures::encoded(testpictures::filled(40, 20, Qt::red), "JPG"), 6);
        QJsonObject fixture = mediaFixture();
        QJsonArray images;
        for (const QByteArray& thumb : {turned, testpictures::scanBomb(), testpictures::chunkBomb()})
            images << QJsonObject {{QStringLiteral("path"), QStringLiteral("/sdcard/%1.jpg").arg(images.size())},
                                   {QStringLiteral("bucket"), QStringLiteral("Camera")},
                                   {QStringLiteral("thumb"), QString::fromLatin1(thumb.toBase64())}};
        fixture.insert(QStringLiteral("media"), QJsonObject {{QStringLiteral("images"), images}});
        loadtest::WifiPhone phone(84, fixture);
        PHONE_OK(phone);
        testsupport::DecodeWatch decodes;
        AndroidLoadThumbnailsThread worker(&phone.device);
        QSignalSpy refreshed(&worker, &AndroidLoadThumbnailsThread::refresh);
        worker.requests
            = {QStringLiteral("/sdcard/0.jpg"), QStringLiteral("/sdcard/1.jpg"), QStringLiteral("/sdcard/2.jpg")};
        worker.fetch();
        QVERIFY(worker.waitIdle(testsupport::kHangGuardMs));
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, testsupport::kHangGuardMs);
        const QImage upright(worker.thumbnailPath(QStringLiteral("/sdcard/0.jpg")), "JPEG");
        QVERIFY(testpictures::shows(upright, Qt::red, QPoint(64, 10)));
        QVERIFY(testpictures::shows(upright, Qt::white, QPoint(10, 64))); // the canvas beside the picture
        QVERIFY(!QFile::exists(worker.thumbnailPath(QStringLiteral("/sdcard/1.jpg")))
                && !QFile::exists(worker.thumbnailPath(QStringLiteral("/sdcard/2.jpg"))));
        QCOMPARE(decodes.count(), 1);
        QCOMPARE(decodes.onWindowThread(), 0);
    }

    // The page stops its thumbnails when it goes: a stop ends a stalled
    // fetch at once; the stalled connection is dropped and the next run
    // opens another.
    void thumbnails_stopEndsAStalledFetch()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        // Steps: 1 ready, 2 the answer to the first request.
        phone.sim->addFault(phonesim::Fault(phonesim::Fault::Kind::StallAt, QStringLiteral("image-thumbnails"), 2));
        AndroidLoadThumbnailsThread thumbs(&phone.device);
        thumbs.requests = {kJpeg};
        thumbs.fetch();
        QTRY_VERIFY_WITH_TIMEOUT(!phone.sim->linesReceived(QStringLiteral("image-thumbnails")).isEmpty(),
                                 testsupport::kHangGuardMs);
        QVERIFY(!thumbs.waitIdle(200));
        // Every data line is answered at once, not after a delayed
        // acknowledgement.
        QCOMPARE(lowDelayOf(phone, QStringLiteral("image-thumbnails")), 1);
        {
            // The fetch waits for the phone without a time limit: only the
            // stop ends it.
            const testsupport::HangGuard guard([&] { phone.sim->releaseStalls(); });
            thumbs.stop();
            QVERIFY2(!guard.fired(), "the stop waited for the stalled phone");
        }
        phone.sim->releaseStalls();
        thumbs.requests = {kJpeg};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(testsupport::kHangGuardMs));
        QVERIFY(QFile::exists(thumbs.thumbnailPath(kJpeg)));
        QCOMPARE(phone.sim->connections(QStringLiteral("service")).size(), 2);
    }

    // A thumbnail that cannot be written whole (a full disk) leaves nothing
    // under its name; kept ones that are cut short or empty are fetched
    // again in the next run.
    void thumbnails_brokenFilesAreFetchedAgain()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        AndroidLoadThumbnailsThread thumbs(&phone.device);
        QSignalSpy refreshed(&thumbs, &AndroidLoadThumbnailsThread::refresh);
        const auto run = [&](const QStringList& paths) {
            thumbs.requests = paths;
            thumbs.fetch();
            return thumbs.waitIdle(testsupport::kHangGuardMs);
        };
        const auto asked = [&] {
            int n = 0;
            for (const QByteArray& line : phone.sim->linesReceived(QStringLiteral("image-thumbnails")))
                n += line.startsWith("$dload:") ? 1 : 0;
            return n;
        };
        {
            testsupport::FileSizeLimit full(300);
            QVERIFY(full.ok());
            QVERIFY(run({kJpeg}));
        }
        thumbs.stop();
        QCOMPARE(asked(), 1);
        QCOMPARE(refreshed.size(), 0);
        QCOMPARE(testsupport::filesBelow(QFileInfo(thumbs.thumbnailPath(kJpeg)).path()), QStringList());

        QVERIFY(run({kJpeg, kPng}));
        thumbs.stop();
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 2, testsupport::kHangGuardMs);
        for (const QString& p : {kJpeg, kPng})
            QVERIFY(wholeThumbnail(thumbs.thumbnailPath(p)));
        const QByteArray jpeg = testsupport::readFile(thumbs.thumbnailPath(kJpeg));
        QFile cut(thumbs.thumbnailPath(kJpeg));
        QVERIFY(cut.resize(jpeg.size() - 64));
        QFile empty(thumbs.thumbnailPath(kPng));
        QVERIFY(empty.resize(0));

        const int before = asked();
        QVERIFY(run({kJpeg, kPng}));
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 4, testsupport::kHangGuardMs);
        QCOMPARE(asked() - before, 2);
        for (const QString& p : {kJpeg, kPng})
            QVERIFY(wholeThumbnail(thumbs.thumbnailPath(p)));
        QCOMPARE(testsupport::readFile(thumbs.thumbnailPath(kJpeg)), jpeg);
    }
};

QTEST_GUILESS_MAIN(TestLoadFiles)
#include "test_loadfiles.moc"
