// Phone-to-phone media transfers between two simulated phones: the target
// checks every offer, block and size it receives and keeps a file only once
// it arrived whole. What it stores equals what the source holds; a source
// that announces the wrong size or sends a bad line ends the job with an
// error naming the file, and the target is told with "$error:"; a cancel
// stops both Phone Agents.
#include "jobs/androidtransferimagesa2athread.h"
#include "jobs/androidtransfermusica2athread.h"
#include "phonelink/androidloadimagesthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/translations.h"

#include "mediafixture.h"
#include "simphone.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtTest>

#include <memory>

using mediatest::MediaFile;
using phonesim::Fault;
Q_DECLARE_METATYPE(phonesim::Fault)

namespace {

QByteArray b64(const QString& text)
{
    return text.toUtf8().toBase64();
}

// How many of the lines begin with prefix.
qsizetype count(const QList<QByteArray>& lines, const QByteArray& prefix)
{
    return std::count_if(lines.begin(), lines.end(), [&](const QByteArray& l) { return l.startsWith(prefix); });
}

QJsonObject device(const QString& model, const QString& uid)
{
    QJsonObject d = testsupport::defaultDevice();
    d.insert(QStringLiteral("model"), model);
    d.insert(QStringLiteral("uid"), uid);
    return d;
}

PhotoRecord photo(const MediaFile& f)
{
    PhotoRecord r;
    r.name = f.path.mid(f.path.lastIndexOf(u'/') + 1);
    r.path = f.path;
    r.altPath = f.path;
    r.date = QDateTime::fromSecsSinceEpoch(f.date);
    r.bucketName = f.bucket;
    return r;
}

QList<PhotoRecord> photos(const QList<MediaFile>& files)
{
    QList<PhotoRecord> out;
    for (const MediaFile& f : files)
        out.append(photo(f));
    return out;
}

// The source's photos: three blocks of 64 KiB, an empty one, one of a few bytes.
QList<MediaFile> sourcePhotos()
{
    return {{QStringLiteral("images"), QStringLiteral("/sdcard/DCIM/Camera/big.jpg"), mediatest::bytes(3 * 65536, 1),
             1700000000, QStringLiteral("Camera")},
            {QStringLiteral("images"), QStringLiteral("/sdcard/DCIM/Camera/empty.jpg"), QByteArray(), 1700000001,
             QStringLiteral("Camera")},
            {QStringLiteral("images"), QStringLiteral("/sdcard/Pictures/Ä ö.png"), mediatest::bytes(100, 2), 1700000002,
             QString()}};
}

} // namespace

class TestTransferA2A : public QObject {
    Q_OBJECT

    struct Pair {
        std::unique_ptr<testsupport::SimPhone> source;
        std::unique_ptr<testsupport::SimPhone> target;
    };

    Pair startPair(const QList<MediaFile>& files, const QJsonObject& sourceOptions = {}, QJsonObject targetOptions = {})
    {
        QJsonObject so = sourceOptions;
        so.insert(QStringLiteral("device"), device(QStringLiteral("Source"), QStringLiteral("uid-source")));
        so.insert(QStringLiteral("blockSize"), 65536);
        targetOptions.insert(QStringLiteral("device"), device(QStringLiteral("Target"), QStringLiteral("uid-target")));
        ++m_next;
        Pair p;
        p.source = std::make_unique<testsupport::SimPhone>(QStringLiteral("127.0.132.%1").arg(m_next),
                                                           mediatest::fixture(files, so));
        p.target = std::make_unique<testsupport::SimPhone>(QStringLiteral("127.0.133.%1").arg(m_next),
                                                           mediatest::fixture({}, targetOptions));
        return p;
    }

    static bool run(QThread& job)
    {
        job.start();
        return job.wait(QDeadlineTimer(20000));
    }

    static QByteArray stored(const testsupport::SimPhone& phone, const QString& path)
    {
        QByteArray data("<none>");
        phone.sim->files().read(path, &data);
        return data;
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

    // Every file arrives byte for byte in its album; a file the target
    // declines is offered (its path without folder as name and path) but
    // not fetched; the result counts what the target took; the target lists
    // the photos afterwards.
    void photos_targetStoresTheSourcesBytes()
    {
        const QList<MediaFile> files = sourcePhotos();
        Pair p = startPair(files, {}, {{QStringLiteral("declineMedia"), QJsonArray {QStringLiteral("bare.jpg")}}});
        QVERIFY2(p.source->ok() && p.target->ok(), qPrintable(p.source->error + p.target->error));
        QList<PhotoRecord> items = photos(files);
        PhotoRecord bare;
        bare.name = QStringLiteral("bare");
        bare.path = QStringLiteral("bare.jpg");
        items.append(bare);
        testsupport::RecordingJobReport report;
        AndroidTransferImagesA2AThread job(15, &p.source->device, &p.target->device, items, &report);
        QVERIFY(run(job));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully transferred 3 Photos.")});
        QCOMPARE(job.offeredFiles(), 4);
        QVERIFY2(p.target->verdict(1).isEmpty(), qPrintable(p.target->verdict(1)));

        QVERIFY(stored(*p.target, QStringLiteral("/sdcard/Pictures/Camera/big.jpg")) == files.at(0).data);
        QVERIFY(stored(*p.target, QStringLiteral("/sdcard/Pictures/Camera/empty.jpg")).isEmpty());
        QVERIFY(stored(*p.target, QStringLiteral("/sdcard/Pictures/Ä ö.png")) == files.at(2).data);

        const QList<QByteArray> got = p.target->sim->linesReceived(QStringLiteral("images"));
        QCOMPARE(got.first(), QByteArray("$uid:uid-source"));
        QCOMPARE(got.at(1), "$device:" + b64(QStringLiteral("Acme Source")));
        QCOMPARE(got.mid(2, 6),
                 (QList<QByteArray> {"$img:" + b64(QStringLiteral("big.jpg")) + ",1700000000," + b64(files.at(0).path)
                                         + ',' + b64(QStringLiteral("Camera")),
                                     "$file:196608", "$block:65536", "$block:65536", "$block:65536", "."}));
        QVERIFY(got.contains("$img:" + b64(QStringLiteral("Ä ö.png")) + ",1700000002," + b64(files.at(2).path) + ','));
        QVERIFY(
            got.contains("$img:" + b64(QStringLiteral("bare.jpg")) + ",0," + b64(QStringLiteral("bare.jpg")) + ','));
        QCOMPARE(got.last(), QByteArray("$bye:"));
        // Asked of the source: each wanted file once, nothing for the declined one.
        QCOMPARE(count(p.source->sim->linesReceived(QStringLiteral("download")), "$dload:"), 3);

        QStringList texts = report.progressTexts();
        QCOMPARE(texts.mid(0, 4), QStringLiteral("Files:1/4|64KB / 192KB|128KB / 192KB|192KB / 192KB").split(u'|'));
        QCOMPARE(report.progress().first().status, QStringLiteral("Transferring:big.jpg"));

        testsupport::RecordingJobReport loadReport;
        AndroidLoadImagesThread load(15, &p.target->device, &loadReport);
        QVERIFY(run(load));
        QCOMPARE(load.bucketItems().size(), 3);
        QCOMPARE(load.buckets().size(), 2); // "Camera" and the folder's own
    }

    // Ringtones offer "$music:" with three fields to the target's ringtones.
    void ringtones_goToTheRingtonesService()
    {
        const MediaFile tone {QStringLiteral("ringtones"), QStringLiteral("/system/media/ring.ogg"),
                              mediatest::bytes(70000, 3), 1600000000, QString()};
        Pair p = startPair({tone});
        QVERIFY2(p.source->ok() && p.target->ok(), qPrintable(p.source->error + p.target->error));
        MusicRecord r;
        r.title = QStringLiteral("Ring");
        r.path = tone.path;
        r.modified = QDateTime::fromSecsSinceEpoch(tone.date);
        testsupport::RecordingJobReport report;
        AndroidTransferMusicA2AThread job(19, &p.source->device, &p.target->device, {r}, &report);
        QVERIFY(run(job));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully transferred 1 Ringtones.")});
        QVERIFY(p.target->sim->linesReceived(QStringLiteral("ringtones"))
                    .contains("$music:" + b64(QStringLiteral("ring.ogg")) + ",1600000000," + b64(tone.path)));
        QVERIFY(stored(*p.target, QStringLiteral("/sdcard/Ringtones/ring.ogg")) == tone.data);
        QCOMPARE(report.progress().first().status, QStringLiteral("Transferring:Ring"));
    }

    void sourceFaults_nameTheFileAndTellTheTarget_data()
    {
        QTest::addColumn<QJsonObject>("announce"); // the storage entry's options
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("error"); // after "Transferring <path> failed. "
        QTest::newRow("fewer bytes than announced")
            << QJsonObject {{QStringLiteral("announce"), 200000}} << Fault(Fault::Kind::ErrorAt, QStringLiteral("none"))
            << QStringLiteral("200000 bytes announced, 196608 sent");
        QTest::newRow("more bytes than announced")
            << QJsonObject {{QStringLiteral("announce"), 100000}} << Fault(Fault::Kind::ErrorAt, QStringLiteral("none"))
            << QStringLiteral("100000 bytes announced, more sent");
        // Download steps: 1 ready, 2 "$file:", 3 the first block.
        QTest::newRow("block of a negative size")
            << QJsonObject() << Fault(Fault::Kind::BlockSizeAt, QStringLiteral("download"), 3, {}, -5)
            << QStringLiteral("block size -5 out of range 0..67108864");
        QTest::newRow("block size not a number")
            << QJsonObject() << Fault(Fault::Kind::WrongLineAt, QStringLiteral("download"), 4, "$block:12x")
            << QStringLiteral("invalid block size, $block:12x");
        QTest::newRow("another line instead of a block")
            << QJsonObject() << Fault(Fault::Kind::WrongLineAt, QStringLiteral("download"), 4, "$nope:")
            << QStringLiteral("invalid command(.,$block:), $nope:");
        QTest::newRow("source closes inside a block")
            << QJsonObject() << Fault(Fault::Kind::EofMidBlock, QStringLiteral("download"), 4) << QStringLiteral("*");
        QTest::newRow("source refuses the file")
            << QJsonObject() << Fault(Fault::Kind::ErrorAt, QStringLiteral("download"), 2, "no such file")
            << QStringLiteral("no such file");
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
        Pair p = startPair({first, second});
        QVERIFY2(p.source->ok() && p.target->ok(), qPrintable(p.source->error + p.target->error));
        // The first file is step 2 to 4 of the download; the second's follow.
        if (fault.service == QLatin1String("download"))
            fault.step += 3;
        p.source->sim->addFault(fault);
        testsupport::RecordingJobReport report;
        AndroidTransferImagesA2AThread job(15, &p.source->device, &p.target->device, photos({first, second}), &report);
        QVERIFY(run(job));
        QCOMPARE(report.successes(), QStringList());
        QCOMPARE(report.errors().size(), 1);
        const QString prefix = QStringLiteral("Transferring %1 failed. ").arg(second.path);
        QVERIFY2(report.errors().first().startsWith(prefix), qPrintable(report.errors().first()));
        QVERIFY2(error == QLatin1String("*") || report.errors().first() == prefix + error,
                 qPrintable(report.errors().first()));

        QVERIFY(p.target->sim->waitFinished(QStringLiteral("service"), 1, 5000));
        const QList<QByteArray> got = p.target->sim->linesReceived(QStringLiteral("images"));
        QVERIFY2(got.last().startsWith("$error:"), got.last().constData());
        QVERIFY(stored(*p.target, QStringLiteral("/sdcard/Pictures/Ä ö.png")) == first.data);
        QVERIFY(!p.target->sim->files().contains(QStringLiteral("/sdcard/Pictures/Camera/big.jpg")));
    }

    // A target that takes nothing: the source is asked for nothing, the
    // result says nothing was transferred.
    void targetDecliningEverything_fetchesNothing()
    {
        Pair p = startPair(sourcePhotos(), {}, {{QStringLiteral("declineMedia"), true}});
        QVERIFY2(p.source->ok() && p.target->ok(), qPrintable(p.source->error + p.target->error));
        testsupport::RecordingJobReport report;
        AndroidTransferImagesA2AThread job(16, &p.source->device, &p.target->device, photos(sourcePhotos()), &report);
        QVERIFY(run(job));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully transferred 0 Videos.")});
        QCOMPARE(job.offeredFiles(), 3);
        // The simulator reads on its own thread: the last line may come after the job ended.
        QTRY_COMPARE(p.source->sim->linesReceived(QStringLiteral("download")), QList<QByteArray> {"$bye:"});
        QCOMPARE(count(p.target->sim->linesReceived(QStringLiteral("videos")), "$video:"), 3);
    }

    // A path that cannot travel as one line is not offered; the others go,
    // and the job ends in an error that names it.
    void pathWithLineBreak_isNamedAndTheRestGoes()
    {
        const QList<MediaFile> files = sourcePhotos();
        Pair p = startPair(files);
        QVERIFY2(p.source->ok() && p.target->ok(), qPrintable(p.source->error + p.target->error));
        QList<PhotoRecord> items = photos({files.at(2)});
        PhotoRecord broken = items.first();
        broken.path = QStringLiteral("/sdcard/bad\nname.jpg");
        items.prepend(broken);
        testsupport::RecordingJobReport report;
        AndroidTransferImagesA2AThread job(15, &p.source->device, &p.target->device, items, &report);
        QVERIFY(run(job));
        QCOMPARE(report.errors(),
                 QStringList {QStringLiteral("1 of 2 files were transferred to Android. These files were not sent, "
                                             "because their paths hold a line break:\n/sdcard/bad\\nname.jpg")});
        QVERIFY(stored(*p.target, QStringLiteral("/sdcard/Pictures/Ä ö.png")) == files.at(2).data);
        QVERIFY2(p.target->verdict(1).isEmpty(), qPrintable(p.target->verdict(1)));
    }

    // Two phones on USB behind one adb stand-in; the target stops answering
    // in the middle of a file. Cancel ends the job within a second, tells the
    // target, and force-stops both Phone Agents.
    void cancelOverUsb_stopsBothAgents()
    {
        testsupport::SimPhone::Options so;
        so.fixture = mediatest::fixture(sourcePhotos(), {{QStringLiteral("blockSize"), 65536}});
        testsupport::SimPhone::Options to;
        to.fixture = mediatest::fixture({});
        testsupport::SimPhone source(so);
        testsupport::SimPhone target(to);
        QVERIFY2(source.ok() && target.ok(), qPrintable(source.error + target.error));
        // The last stand-in installed answers for both phones.
        target.device.serial = QStringLiteral("USB0002");
        target.adb->setDevices({phonesim::FakeAdb::Device(source.device.serial, QStringLiteral("device"), 20, 100,
                                                          source.sim->bridgeAddress()),
                                phonesim::FakeAdb::Device(target.device.serial, QStringLiteral("device"), 20, 100,
                                                          target.sim->bridgeAddress())});
        // Target steps: 1 ready, 2 the answer "1", 3 the first block's ".".
        target.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("images"), 3));
        testsupport::RecordingJobReport report;
        AndroidTransferImagesA2AThread job(15, &source.device, &target.device, photos(sourcePhotos()), &report);
        job.start();
        QTRY_VERIFY(target.sim->linesReceived(QStringLiteral("images")).contains("$block:65536"));
        QVERIFY(!job.wait(200));
        QElapsedTimer sinceCancel;
        sinceCancel.start();
        report.cancel();
        QVERIFY(job.wait(QDeadlineTimer(5000)));
        QVERIFY2(sinceCancel.elapsed() < 1000, qPrintable(QString::number(sinceCancel.elapsed())));
        QCOMPARE(report.endCount(), 0);
        const QStringList stops = target.adb->commandLines().filter(QStringLiteral("force-stop"));
        QCOMPARE(stops.size(), 2);
        QVERIFY(stops.at(0).contains(QStringLiteral("USB0001")) && stops.at(1).contains(QStringLiteral("USB0002")));
        target.sim->releaseStalls();
        QVERIFY(target.sim->waitFinished(QStringLiteral("service"), 1, 5000));
        QVERIFY(target.sim->linesReceived(QStringLiteral("images")).last().startsWith("$error:"));
        QVERIFY(!target.sim->files().contains(QStringLiteral("/sdcard/Pictures/Camera/big.jpg")));
    }
};

QTEST_GUILESS_MAIN(TestTransferA2A)
#include "test_transfera2a.moc"
