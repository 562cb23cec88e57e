// The file and media uploads and phone-to-phone media transfers against
// simulated phones, which check every offer, line, block and size they
// receive and keep a file only once it arrived whole.
// Uploads: a folder holding a link back to itself, files ending on a block
// boundary, a phone that closes, refuses, answers wrongly or stalls, and a
// file gone when its turn comes. Transfers: what the target stores equals
// what the source holds; a source that announces the wrong size or sends a
// bad line ends the job with an error naming the file, and the target is
// told with "$error:"; a target that fails is not told again; a cancel
// stops both Phone Agents. (The offers of each
// media kind, hidden files, names that cannot travel and a target declining
// everything are in the file-system and music pages' tests.)
#include "jobs/androidtransferimagesa2athread.h"
#include "jobs/androiduploadfilesthread.h"
#include "jobs/androiduploadimagesthread.h"
#include "jobs/androiduploadmusicthread.h"

#include "jobtestutil.h"
#include "mediafixture.h"

using namespace Qt::StringLiterals;
using mediatest::MediaFile;
using phonesim::Fault;
using Report = testsupport::RecordingJobReport;

namespace {

constexpr int kFiles = 0; // the file upload; other kinds are the media node types
constexpr int kPhotos = 15;
constexpr int kMusic = 17;

// Removes a file when a progress text names its turn.
struct ReportRemovingFile : Report {
    QString when, path;
    void postUpdateProgress(const QString& status, int progress, const QString& text) override
    {
        if (text == when)
            QFile::remove(path);
        Report::postUpdateProgress(status, progress, text);
    }
};

// The files the phone stored by the file upload: path, size and block sizes.
QStringList received(const testsupport::SimPhone& phone)
{
    QStringList out;
    for (const QVariantMap& r : phone.store->records(u"upload"_s))
        out << u"%1 %2 [%3]"_s.arg(r.value(u"path"_s).toString())
                   .arg(r.value(u"size"_s).toLongLong())
                   .arg(r.value(u"blocks"_s).toStringList().join(u','));
    out.sort();
    return out;
}

QJsonObject device(const QString& model, const QString& uid)
{
    QJsonObject d = testsupport::defaultDevice();
    d.insert(u"model"_s, model);
    d.insert(u"uid"_s, uid);
    return d;
}

QList<PhotoRecord> photos(const QList<MediaFile>& files)
{
    QList<PhotoRecord> out;
    for (const MediaFile& f : files) {
        PhotoRecord r;
        r.name = f.path.section(u'/', -1);
        r.path = r.altPath = f.path;
        r.date = QDateTime::fromSecsSinceEpoch(f.date);
        r.bucketName = f.bucket;
        out.append(r);
    }
    return out;
}

// The source's photos: three blocks of 64 KiB, an empty one, one of a few bytes.
QList<MediaFile> sourcePhotos()
{
    return {{u"images"_s, u"/sdcard/DCIM/Camera/big.jpg"_s, mediatest::bytes(3 * 65536, 1), 1700000000, u"Camera"_s},
            {u"images"_s, u"/sdcard/DCIM/Camera/empty.jpg"_s, QByteArray(), 1700000001, u"Camera"_s},
            {u"images"_s, u"/sdcard/Pictures/Ä ö.png"_s, mediatest::bytes(100, 2), 1700000002, QString()}};
}

QByteArray stored(const testsupport::SimPhone& phone, const QString& path)
{
    QByteArray data("<none>");
    phone.sim->files().read(path, &data);
    return data;
}

} // namespace

class TestMediaJobs : public QObject {
    Q_OBJECT

    // A source holding the files and an empty target, each on its own address.
    auto startPair(const QList<MediaFile>& files, QJsonObject targetOptions = {})
    {
        const QJsonObject source {{u"device"_s, device(u"Source"_s, u"uid-source"_s)}, {u"blockSize"_s, 65536}};
        targetOptions.insert(u"device"_s, device(u"Target"_s, u"uid-target"_s));
        ++m_next;
        return std::pair {
            std::make_unique<testsupport::SimPhone>(u"127.0.132.%1"_s.arg(m_next), mediatest::fixture(files, source)),
            std::make_unique<testsupport::SimPhone>(u"127.0.133.%1"_s.arg(m_next),
                                                    mediatest::fixture({}, targetOptions))};
    }

    int m_next = 10;

    // Transfers the two files; the job must end in one error that names the
    // second ("*": any text after the name), and the target's session end.
    // A checking helper (see CHECKED).
    [[nodiscard]] static bool transferFailsOnTheSecond(testsupport::SimPhone& source, testsupport::SimPhone& target,
                                                       const MediaFile& first, const MediaFile& second,
                                                       const QString& error,
                                                       std::source_location at = std::source_location::current())
    {
        Report report;
        AndroidTransferImagesA2AThread job(15, &source.device, &target.device, photos({first, second}), &report);
        HELPER_VERIFY(jobtest::run(job));
        HELPER_COMPARE(report.successes(), QStringList());
        HELPER_COMPARE(report.errors().size(), 1);
        const QString prefix = u"Transferring %1 failed. "_s.arg(second.path);
        HELPER_VERIFY2(report.errors().first() == prefix + error
                           || (error == "*"_L1 && report.errors().first().startsWith(prefix)),
                       qPrintable(report.errors().first()));
        HELPER_VERIFY(target.sim->waitFinished(u"service"_s, 1, testsupport::kHangGuardMs));
        return true;
    }

private Q_SLOTS:
    void initTestCase() { jobtest::initJobTests(); }

    void uploads_sendWholeFilesOrNoPartOfThem_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Fault>("fault"); // file upload steps: 1 ready, 2 and 3 a.bin, 4 big.bin's first "."
        QTest::addColumn<bool>("gone"); // big.bin is removed when its turn comes
        QTest::addColumn<QString>("error"); // start of the one error; "*": any; "": success; "cancel": of a stall
        const Fault none(Fault::Kind::ErrorAt, u"none"_s);
        QTest::newRow("all taken") << kFiles << none << false << QString();
        QTest::newRow("closed after a block")
            << kFiles << Fault(Fault::Kind::CloseAt, u"upload"_s, 4) << false << u"*"_s;
        QTest::newRow("error from the phone")
            << kFiles << Fault(Fault::Kind::ErrorAt, u"upload"_s, 4, "storage full") << false << u"storage full"_s;
        QTest::newRow("wrong acknowledgement") << kFiles << Fault(Fault::Kind::WrongLineAt, u"upload"_s, 4, "$nope:")
                                               << false << u"invalid feedback [$nope:], must be [.]"_s;
        QTest::newRow("file gone by its turn") << kFiles << none << true << u"open %1/big.bin failed."_s;
        QTest::newRow("photo gone by its turn") << kPhotos << none << true << u"open %1/big.bin failed."_s;
        QTest::newRow("stalled file upload")
            << kFiles << Fault(Fault::Kind::StallAt, u"upload"_s, 4) << false << u"cancel"_s;
        // Music steps: 1 ready, 2 to 5 a.bin, 6 the next offer's answer, 7 big.bin's first ".".
        QTest::newRow("stalled music upload")
            << kMusic << Fault(Fault::Kind::StallAt, u"music"_s, 7) << false << u"cancel"_s;
    }

    // The folder "up" holds a.bin, big.bin (two whole blocks) and a link
    // back to itself; the file upload is given the folder, a media upload
    // the two files. a.bin goes whole. big.bin goes whole, or the job ends
    // with one error naming the cause (telling the phone when the PC gives
    // up), or a cancel ends it within a second; the phone keeps no part of it.
    void uploads_sendWholeFilesOrNoPartOfThem()
    {
        QFETCH(int, kind);
        QFETCH(Fault, fault);
        QFETCH(bool, gone);
        QFETCH(QString, error);
        const QString base = testsupport::makeTempDir(u"up"_s) + u"/up"_s;
        QVERIFY(QDir().mkpath(base) && QFile::link(base, base + u"/loop"_s));
        QVERIFY(jobtest::writeFile(base + u"/a.bin"_s, "a")
                && jobtest::writeFile(base + u"/big.bin"_s, mediatest::bytes(2 * 524288, 4)));
        static int next = 10;
        START_PHONE(phone, u"127.0.131.%1"_s.arg(++next), mediatest::fixture({}));
        phone->sim->addFault(fault);
        const QString service = kind == kFiles ? u"upload"_s : kind == kMusic ? u"music"_s : u"images"_s;
        const QString folder = kind == kFiles ? u"/sdcard/up/"_s
            : kind == kMusic                  ? u"/sdcard/Music/"_s
                                              : u"/sdcard/Pictures/"_s;
        ReportRemovingFile report;
        if (gone)
            std::tie(report.when, report.path)
                = std::tuple(kind ? u"Files:2/2"_s : u"Files:2 / 2"_s, base + u"/big.bin"_s);
        std::unique_ptr<QThread> job;
        if (kind == kFiles)
            job = std::make_unique<AndroidUploadFilesThread>(&phone->device, u"/sdcard"_s, QList {QFileInfo(base)},
                                                             &report);
        else if (kind == kMusic)
            job = std::make_unique<AndroidUploadMusicThread>(
                kind, &phone->device, QStringList {base + u"/a.bin"_s, base + u"/big.bin"_s}, &report);
        else
            job = std::make_unique<AndroidUploadImagesThread>(
                kind, &phone->device, QStringList {base + u"/a.bin"_s, base + u"/big.bin"_s}, &report);
        if (error == "cancel"_L1) {
            const bool cancelled = jobtest::cancelWhenStalled(
                *job, report, [&] { return phone->sim->linesReceived(service).contains("$block:524288"); });
            phone->sim->releaseStalls();
            CHECKED(cancelled);
        } else {
            QVERIFY(jobtest::run(*job));
        }
        QVERIFY(phone->sim->files().contains(folder + u"a.bin"_s));
        if (error.isEmpty()) {
            QCOMPARE(report.successes(), QStringList {u"Successfully transferred 2 files to Android."_s});
            QCOMPARE(received(*phone),
                     (QStringList {u"/sdcard/up/a.bin 1 [1]"_s, u"/sdcard/up/big.bin 1048576 [524288,524288]"_s}));
            QCOMPARE(phone->verdict(1), QString());
            return;
        }
        QVERIFY(!phone->sim->files().contains(folder + u"big.bin"_s));
        if (error == "cancel"_L1)
            return;
        QCOMPARE(report.successes(), QStringList());
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(error == "*"_L1 || report.errors().first().startsWith(QString(error).replace(u"%1"_s, base)),
                 qPrintable(report.errors().first()));
        if (gone) {
            QVERIFY(phone->sim->waitFinished(u"service"_s, 1, testsupport::kHangGuardMs));
            QVERIFY(phone->sim->linesReceived(service).last().startsWith("$error:"));
        }
    }

    void overUsb_onlyAFailureOrCancelStopsTheAgent_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("end"); // "success", "error" or "cancel" (of a stall)
        const Fault none(Fault::Kind::ErrorAt, u"none"_s);
        QTest::newRow("files taken") << kFiles << none << u"success"_s;
        QTest::newRow("files refused") << kFiles << Fault(Fault::Kind::ErrorAt, u"upload"_s, 4, "full") << u"error"_s;
        QTest::newRow("files cancelled") << kFiles << Fault(Fault::Kind::StallAt, u"upload"_s, 4) << u"cancel"_s;
        QTest::newRow("photos taken") << kPhotos << none << u"success"_s;
        QTest::newRow("photos closed") << kPhotos << Fault(Fault::Kind::CloseAt, u"images"_s, 2) << u"error"_s;
    }

    // Over USB a job that fails or is cancelled force-stops the Phone
    // Agent once; one that succeeds leaves it running. Either way the
    // phone sees its session end.
    void overUsb_onlyAFailureOrCancelStopsTheAgent()
    {
        QFETCH(int, kind);
        QFETCH(Fault, fault);
        QFETCH(QString, end);
        const QString file = testsupport::makeTempDir(u"usb"_s) + u"/big.bin"_s;
        QVERIFY(jobtest::writeFile(file, mediatest::bytes(2 * 524288, 4)));
        testsupport::SimPhone::Options options;
        options.fixture = mediatest::fixture({});
        testsupport::SimPhone phone(options);
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        phone.sim->addFault(fault);
        Report report;
        std::unique_ptr<QThread> job;
        if (kind == kFiles)
            job = std::make_unique<AndroidUploadFilesThread>(&phone.device, u"/sdcard"_s, QList {QFileInfo(file)},
                                                             &report);
        else
            job = std::make_unique<AndroidUploadImagesThread>(kind, &phone.device, QStringList {file}, &report);
        if (end == "cancel"_L1) {
            const bool cancelled = jobtest::cancelWhenStalled(
                *job, report, [&] { return phone.sim->linesReceived(u"upload"_s).contains("$block:524288"); });
            phone.sim->releaseStalls();
            CHECKED(cancelled);
        } else {
            QVERIFY(jobtest::run(*job));
        }
        QCOMPARE(report.successes().size(), end == "success"_L1 ? 1 : 0);
        QCOMPARE(report.errors().size(), end == "error"_L1 ? 1 : 0);
        QCOMPARE(phone.adb->commandLines().filter(u"force-stop"_s).size(), end == "success"_L1 ? 0 : 1);
        QVERIFY(phone.sim->waitFinished(u"service"_s, 1, testsupport::kHangGuardMs));
    }

    // Every file arrives byte for byte in its album; a file the target
    // declines is offered (its path without folder as name and path) but
    // not fetched; a path that cannot travel as one line is not offered. The
    // job ends in an error that names that path and counts what the target
    // took.
    void photos_targetStoresTheSourcesBytes_aPathWithALineBreakIsNamed()
    {
        const QList<MediaFile> files = sourcePhotos();
        auto [source, target] = startPair(files, {{u"declineMedia"_s, QJsonArray {u"bare.jpg"_s}}});
        QVERIFY2(source->ok() && target->ok(), qPrintable(source->error + target->error));
        QList<PhotoRecord> items = photos(files);
        items.append(PhotoRecord());
        items.last().name = u"bare"_s;
        items.last().path = u"bare.jpg"_s;
        items.append(items.at(2));
        items.last().path = u"/sdcard/bad\nname.jpg"_s;
        Report report;
        AndroidTransferImagesA2AThread job(15, &source->device, &target->device, items, &report);
        QVERIFY(jobtest::run(job));
        QCOMPARE(report.errors(),
                 QStringList {u"3 of 5 files were transferred to Android. These files were not sent, because their "
                              "paths hold a line break:\n/sdcard/bad\\nname.jpg"_s});
        QCOMPARE(job.offeredFiles(), 4);
        QCOMPARE(target->verdict(1), QString());
        QVERIFY(stored(*target, u"/sdcard/Pictures/Camera/big.jpg"_s) == files.at(0).data);
        QVERIFY(stored(*target, u"/sdcard/Pictures/Camera/empty.jpg"_s).isEmpty());
        QVERIFY(stored(*target, u"/sdcard/Pictures/Ä ö.png"_s) == files.at(2).data);

        const QList<QByteArray> got = target->sim->linesReceived(u"images"_s);
        QCOMPARE(got.mid(0, 8),
                 (QList<QByteArray> {"$uid:uid-source", "$device:" + jobtest::b64(u"Acme Source"_s),
                                     "$img:" + jobtest::b64(u"big.jpg"_s) + ",1700000000,"
                                         + jobtest::b64(files.at(0).path) + ',' + jobtest::b64(u"Camera"_s),
                                     "$file:196608", "$block:65536", "$block:65536", "$block:65536", "."}));
        QVERIFY(
            got.contains("$img:" + jobtest::b64(u"Ä ö.png"_s) + ",1700000002," + jobtest::b64(files.at(2).path) + ','));
        QVERIFY(got.contains("$img:" + jobtest::b64(u"bare.jpg"_s) + ",0," + jobtest::b64(u"bare.jpg"_s) + ','));
        QCOMPARE(got.last(), QByteArray("$bye:"));
        // Asked of the source: each wanted file once, nothing for the declined one.
        QCOMPARE(jobtest::countPrefix(source->sim->linesReceived(u"download"_s), "$dload:"), 3);
    }

    void sourceFaults_nameTheFileAndTellTheTarget_data()
    {
        QTest::addColumn<QJsonObject>("announce"); // the storage entry's options
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("error"); // after "Transferring <path> failed. "; "*": any
        const Fault none(Fault::Kind::ErrorAt, u"none"_s);
        QTest::newRow("fewer bytes than announced")
            << QJsonObject {{u"announce"_s, 200000}} << none << u"200000 bytes announced, 196608 sent"_s;
        QTest::newRow("more bytes than announced")
            << QJsonObject {{u"announce"_s, 100000}} << none << u"100000 bytes announced, more sent"_s;
        // Download steps of the second file: 1 "$file:", 2 the first block.
        QTest::newRow("block of a negative size")
            << QJsonObject() << Fault(Fault::Kind::BlockSizeAt, u"download"_s, 2, {}, -5)
            << u"block size -5 out of range 0..67108864"_s;
        QTest::newRow("block size not a number")
            << QJsonObject() << Fault(Fault::Kind::WrongLineAt, u"download"_s, 3, "$block:12x")
            << u"invalid block size, $block:12x"_s;
        QTest::newRow("another line instead of a block")
            << QJsonObject() << Fault(Fault::Kind::WrongLineAt, u"download"_s, 3, "$nope:")
            << u"invalid command(.,$block:), $nope:"_s;
        QTest::newRow("source closes inside a block")
            << QJsonObject() << Fault(Fault::Kind::EofMidBlock, u"download"_s, 3) << u"*"_s;
        QTest::newRow("source refuses the file")
            << QJsonObject() << Fault(Fault::Kind::ErrorAt, u"download"_s, 1, "no such file") << u"no such file"_s;
    }

    // The first file arrives; the second fails: the job names it, the
    // target is sent "$error:" and keeps nothing of it.
    void sourceFaults_nameTheFileAndTellTheTarget()
    {
        QFETCH(QJsonObject, announce);
        QFETCH(Fault, fault);
        QFETCH(QString, error);
        MediaFile first = sourcePhotos().at(2);
        MediaFile second = sourcePhotos().at(0);
        second.file = announce;
        auto [source, target] = startPair({first, second});
        QVERIFY2(source->ok() && target->ok(), qPrintable(source->error + target->error));
        // The download's step 1 is "$ready:", the first file takes 2 to 4.
        if (fault.service == "download"_L1)
            fault.step += 4;
        source->sim->addFault(fault);
        CHECKED(transferFailsOnTheSecond(*source, *target, first, second, error));
        QVERIFY(target->sim->linesReceived(u"images"_s).last().startsWith("$error:"));
        QVERIFY(stored(*target, u"/sdcard/Pictures/Ä ö.png"_s) == first.data);
        QVERIFY(!target->sim->files().contains(u"/sdcard/Pictures/Camera/big.jpg"_s));
    }

    void targetFaults_nameTheFileAndAreNotEchoed_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("error"); // after "Transferring <path> failed. "; "*": any
        QTest::addColumn<int>("errorsSent"); // "$error:" lines the target receives
        QTest::addColumn<bool>("kept"); // the target stored the second file whole before it failed
        // Target steps: 1 ready, 2..5 the first file (answer, ".", "$file:",
        // "$img:"), 6 the second offer's answer, 7..9 its blocks' ".", 10 its "$file:".
        QTest::newRow("garbage for a block's acknowledgement")
            << Fault(Fault::Kind::WrongLineAt, u"images"_s, 7, "$nope:") << u"invalid feedback [$nope:], must be [.]"_s
            << 1 << false;
        QTest::newRow("garbage for the file's end") << Fault(Fault::Kind::WrongLineAt, u"images"_s, 10, "$nope:")
                                                    << u"invalid feedback [$nope:], must be [$file:]"_s << 1 << true;
        QTest::newRow("target gives up") << Fault(Fault::Kind::ErrorAt, u"images"_s, 8, "Storage is full")
                                         << u"Storage is full"_s << 0 << false;
        QTest::newRow("target closes") << Fault(Fault::Kind::CloseAt, u"images"_s, 8) << u"*"_s << 0 << false;
    }

    // The target fails while it receives the second file: the job names the
    // file, and the target is told "$error:" only for a line it sent that
    // this side refused, once; a target that gave up is not answered.
    void targetFaults_nameTheFileAndAreNotEchoed()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, error);
        QFETCH(int, errorsSent);
        QFETCH(bool, kept);
        const MediaFile first = sourcePhotos().at(2);
        const MediaFile second = sourcePhotos().at(0);
        auto [source, target] = startPair({first, second});
        QVERIFY2(source->ok() && target->ok(), qPrintable(source->error + target->error));
        target->sim->addFault(fault);
        CHECKED(transferFailsOnTheSecond(*source, *target, first, second, error));
        QCOMPARE(int(jobtest::countPrefix(target->sim->linesReceived(u"images"_s), "$error:")), errorsSent);
        QVERIFY(stored(*target, u"/sdcard/Pictures/Ä ö.png"_s) == first.data);
        QCOMPARE(target->sim->files().contains(u"/sdcard/Pictures/Camera/big.jpg"_s), kept);
    }

    // Two phones on USB behind one adb stand-in; the target stops answering
    // in the middle of a file. Cancel ends the job within a second, tells the
    // target, and force-stops both Phone Agents.
    void cancelOverUsb_stopsBothAgents()
    {
        testsupport::SimPhone::Options so;
        so.fixture = mediatest::fixture(sourcePhotos(), {{u"blockSize"_s, 65536}});
        testsupport::SimPhone::Options to;
        to.fixture = mediatest::fixture({});
        testsupport::SimPhone source(so);
        testsupport::SimPhone target(to);
        QVERIFY2(source.ok() && target.ok(), qPrintable(source.error + target.error));
        // The last stand-in installed answers for both phones.
        target.device.serial = u"USB0002"_s;
        target.adb->setDevices(
            {phonesim::FakeAdb::Device(source.device.serial, u"device"_s, 20, 100, source.sim->bridgeAddress()),
             phonesim::FakeAdb::Device(target.device.serial, u"device"_s, 20, 100, target.sim->bridgeAddress())});
        // Target steps: 1 ready, 2 the answer "1", 3 the first block's ".".
        target.sim->addFault(Fault(Fault::Kind::StallAt, u"images"_s, 3));
        Report report;
        AndroidTransferImagesA2AThread job(15, &source.device, &target.device, photos(sourcePhotos()), &report);
        const bool cancelled = jobtest::cancelWhenStalled(
            job, report, [&] { return target.sim->linesReceived(u"images"_s).contains("$block:65536"); });
        if (!cancelled)
            target.sim->releaseStalls();
        CHECKED(cancelled);
        const QStringList stops = target.adb->commandLines().filter(u"force-stop"_s);
        QCOMPARE(stops.size(), 2);
        QVERIFY(stops.at(0).contains(u"USB0001"_s) && stops.at(1).contains(u"USB0002"_s));
        target.sim->releaseStalls();
        QVERIFY(target.sim->waitFinished(u"service"_s, 1, testsupport::kHangGuardMs));
        QVERIFY(target.sim->linesReceived(u"images"_s).last().startsWith("$error:"));
        QVERIFY(!target.sim->files().contains(u"/sdcard/Pictures/Camera/big.jpg"_s));
    }
};

QTEST_GUILESS_MAIN(TestMediaJobs)
#include "test_mediajobs.moc"
