// The media loaders (photos and videos by album, music and ringtones) and
// the thumbnail loader against the simulated phone.
#include "phonelink/androidloadimagesthread.h"
#include "phonelink/androidloadmusicthread.h"
#include "phonelink/androidloadthumbnailsthread.h"
#include "shell/core/fileutils.h"

#include "test_loadsupport.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

using phonesim::Fault;
using testsupport::RecordingJobReport;

namespace {

constexpr int kNet = 84;

QString pictureBase64(const char* format, const QColor& color)
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return QString::fromLatin1(bytes.toBase64());
}

// The media fixture with real pictures as the thumbnails of three photos.
QJsonObject mediaFixture()
{
    QJsonObject fx = loadtest::fixtureFile(QStringLiteral("loaders-media.json"));
    QJsonObject media = fx.value(QStringLiteral("media")).toObject();
    QJsonArray images = media.value(QStringLiteral("images")).toArray();
    const QString thumbs[] = {pictureBase64("JPEG", Qt::red), QString(), pictureBase64("PNG", Qt::blue), QString(),
                              pictureBase64("JPEG", Qt::green)};
    for (int i = 0; i < images.size(); ++i) {
        QJsonObject m = images.at(i).toObject();
        if (!thumbs[i].isEmpty())
            m.insert(QStringLiteral("thumb"), thumbs[i]);
        images.replace(i, m);
    }
    media.insert(QStringLiteral("images"), images);
    fx.insert(QStringLiteral("media"), media);
    fx.insert(QStringLiteral("thumbLineBytes"), 100);
    return fx;
}

QStringList paths(const QList<PhotoRecord>& records)
{
    QStringList out;
    for (const PhotoRecord& r : records)
        out.append(r.path);
    return out;
}

bool phoneToldError(const phonesim::PhoneSim& sim, const QString& service)
{
    sim.waitFinished(QStringLiteral("service"), 1, 5000);
    for (const QByteArray& l : sim.linesReceived(service))
        if (l.startsWith("$error:"))
            return true;
    return false;
}

} // namespace

class TestLoadMedia : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { loadtest::useFreePorts(); }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void images_areGroupedByAlbumAndOrdered();
    void videos_useTheirOwnServiceAndRecord();
    void images_badLines_data();
    void images_badLines();
    void music_andRingtones_fillTheList();
    void music_failuresAndCancel();
    void thumbnails_areFetchedOnceAndChecked();
    void thumbnails_stopEndsAStalledFetch();
};

void TestLoadMedia::images_areGroupedByAlbumAndOrdered()
{
    loadtest::WifiPhone phone(kNet, mediaFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    RecordingJobReport report;
    AndroidLoadImagesThread job(15, &phone.device, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(report.progressTexts().first(), QStringLiteral("Images:1/5"));

    QList<PhotoBucket> albums;
    job.buckets(albums);
    QCOMPARE(albums.size(), 2);
    QCOMPARE(albums.at(0).name, QStringLiteral("Alben"));
    QCOMPARE(albums.at(1).name, QStringLiteral("Camera")); // named by its first record
    QCOMPARE(albums.at(1).id, 7);
    QCOMPARE(paths(albums.at(1).photos), (QStringList{QStringLiteral("/sdcard/DCIM/a.jpg"),
                                                      QStringLiteral("/sdcard/DCIM/b.jpg")}));
    const PhotoRecord a = albums.at(1).photos.first();
    QCOMPARE(a.rawRef, QStringLiteral("k1"));
    QCOMPARE(a.name, QStringLiteral("a.jpg"));
    QCOMPARE(a.altPath, a.path);
    QCOMPARE(a.date.toSecsSinceEpoch(), 10);

    QCOMPARE(paths(job.bucketItems()),
             (QStringList{QStringLiteral("/sdcard/DCIM/b.jpg"), QStringLiteral("/sdcard/Pics/照片.jpg"),
                          QStringLiteral("/sdcard/DCIM/a.jpg"), QStringLiteral("/sdcard/x.gif"),
                          QStringLiteral("/sdcard/short.jpg")}));
}

void TestLoadMedia::videos_useTheirOwnServiceAndRecord()
{
    loadtest::WifiPhone phone(kNet, mediaFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    RecordingJobReport report;
    AndroidLoadImagesThread job(16, &phone.device, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(paths(job.bucketItems()), QStringList{QStringLiteral("/sdcard/v.mp4")});
    QCOMPARE(phone.sim->connections(QStringLiteral("service")).first().service, QStringLiteral("videos"));
}

void TestLoadMedia::images_badLines_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("told");
    QTest::newRow("short record") << 4 << QByteArray("$img:k,YQ==,1,,cA==,YQ==")
                                  << QStringLiteral("invalid $img:, $img:k,YQ==,1,,cA==,YQ==") << true;
    QTest::newRow("other record") << 4 << QByteArray("$video:1,2,3,4,5,6,7")
                                  << QStringLiteral("invalid command($end:,$img:), $video:1,2,3,4,5,6,7") << false;
    QTest::newRow("bad top level") << 3 << QByteArray("$img:1")
                                   << QStringLiteral("invalid command($bye:,$batch:), $img:1") << false;
}

void TestLoadMedia::images_badLines()
{
    QFETCH(int, step);
    QFETCH(QByteArray, line);
    QFETCH(QString, error);
    QFETCH(bool, told);
    loadtest::WifiPhone phone(kNet, mediaFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    phone.sim->addFault(Fault(Fault::Kind::WrongLineAt, QStringLiteral("images"), step, line));
    RecordingJobReport report;
    AndroidLoadImagesThread job(15, &phone.device, &report);
    QVERIFY(loadtest::runJob(job));
    QCOMPARE(report.errors(), QStringList{error});
    QCOMPARE(phoneToldError(*phone.sim, QStringLiteral("images")), told);
}

void TestLoadMedia::music_andRingtones_fillTheList()
{
    loadtest::WifiPhone phone(kNet, mediaFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    RecordingJobReport report;
    AndroidLoadMusicThread job(17, &phone.device, &report);
    QVERIFY(loadtest::runJob(job));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(report.progressTexts(), (QStringList{QStringLiteral("Music:1 / 2"), QStringLiteral("Music:2 / 2")}));
    QCOMPARE(job.items().size(), 2);
    const MusicRecord m = job.items().first();
    QCOMPARE(m.rawRef, QStringLiteral("m1"));
    QCOMPARE(m.title, QStringLiteral("Café"));
    QCOMPARE(m.path, QStringLiteral("/sdcard/Music/café.mp3"));
    QCOMPARE(m.modified.toSecsSinceEpoch(), 1700000000);
    QCOMPARE(m.size, 3);
    QCOMPARE(m.duration, 180);

    RecordingJobReport ring;
    AndroidLoadMusicThread tones(19, &phone.device, &ring);
    QVERIFY(loadtest::runJob(tones));
    QVERIFY(ring.succeeded());
    QCOMPARE(tones.items().size(), 1);
    QCOMPARE(tones.items().first().title, QStringLiteral("Ring"));

    const MusicRecord three = AndroidLoadMusicThread::parseMusic(QStringLiteral("k,QQ==,5"));
    QCOMPARE(three.title, QStringLiteral("A"));
    QCOMPARE(three.modified.toSecsSinceEpoch(), 5);
    QVERIFY(three.path.isEmpty());
    QCOMPARE(three.size, 0);
}

void TestLoadMedia::music_failuresAndCancel()
{
    loadtest::WifiPhone phone(kNet, mediaFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    phone.sim->addFault(Fault(Fault::Kind::WrongLineAt, QStringLiteral("music"), 4, "$playlist:1"));
    RecordingJobReport report;
    AndroidLoadMusicThread job(17, &phone.device, &report);
    QVERIFY(loadtest::runJob(job));
    QCOMPARE(report.errors(), QStringList{QStringLiteral("invalid command($end:,$music:),$playlist:1")});
    QVERIFY(phoneToldError(*phone.sim, QStringLiteral("music")));

    // A cancel is noticed before the first record.
    RecordingJobReport canceled;
    canceled.cancel();
    AndroidLoadMusicThread job2(17, &phone.device, &canceled);
    QVERIFY(loadtest::runJob(job2));
    QCOMPARE(canceled.endCount(), 0);
    QVERIFY(job2.items().isEmpty());
}

void TestLoadMedia::thumbnails_areFetchedOnceAndChecked()
{
    loadtest::WifiPhone phone(kNet, mediaFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    AndroidLoadThumbnailsThread thumbs(&phone.device);
    const QString a = QStringLiteral("/sdcard/DCIM/a.jpg");
    const QString png = QStringLiteral("/sdcard/Pics/照片.jpg");
    QCOMPARE(thumbs.thumbnailPath(a),
             phone.device.cacheDir().absoluteFilePath(QStringLiteral("thumbnails/") + md5Hex(a)));

    QSignalSpy refreshed(&thumbs, &AndroidLoadThumbnailsThread::refresh);
    thumbs.requests = {QString(), a, png, QStringLiteral("/sdcard/x.gif"), QStringLiteral("/sdcard/short.jpg")};
    QVERIFY(loadtest::runJob(thumbs));
    QTRY_COMPARE(refreshed.size(), 2);
    QCOMPARE(refreshed.at(0).at(0).toInt(), 1);
    QCOMPARE(refreshed.at(1).at(0).toInt(), 2);
    for (const QString& p : {a, png}) {
        QImage image(thumbs.thumbnailPath(p), "JPEG");
        QCOMPARE(image.size(), QSize(128, 128));
    }
    // A GIF and a transfer shorter than announced leave no file.
    QVERIFY(!QFile::exists(thumbs.thumbnailPath(QStringLiteral("/sdcard/x.gif"))));
    QVERIFY(!QFile::exists(thumbs.thumbnailPath(QStringLiteral("/sdcard/short.jpg"))));
    const QList<QByteArray> in = phone.sim->linesReceived(QStringLiteral("image-thumbnails"));
    QVERIFY(in.contains("$dload:" + a.toUtf8().toBase64() + ",16384,40"));

    // Thumbnails that exist are not asked for again.
    const int connections = phone.sim->connections(QStringLiteral("service")).size();
    thumbs.stop();
    thumbs.requests = {a, png};
    QVERIFY(loadtest::runJob(thumbs));
    QCOMPARE(phone.sim->connections(QStringLiteral("service")).size(), connections);
}

void TestLoadMedia::thumbnails_stopEndsAStalledFetch()
{
    loadtest::WifiPhone phone(kNet, mediaFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("image-thumbnails"), 3));
    AndroidLoadThumbnailsThread thumbs(&phone.device);
    thumbs.requests = {QStringLiteral("/sdcard/DCIM/a.jpg")};
    thumbs.start();
    QTRY_VERIFY(!phone.sim->linesReceived(QStringLiteral("image-thumbnails")).isEmpty());
    QElapsedTimer timer;
    timer.start();
    thumbs.stop();
    QVERIFY(timer.elapsed() < 3000);
    QVERIFY(thumbs.requests.isEmpty());
    phone.sim->releaseStalls();
}

QTEST_GUILESS_MAIN(TestLoadMedia)
#include "test_loadmedia.moc"
