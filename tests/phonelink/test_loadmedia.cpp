// The media loaders (photos and videos by album, music and ringtones) and
// the thumbnail loader against the simulated phone.
#include "phonelink/androidloadimagesthread.h"
#include "phonelink/androidloadmusicthread.h"
#include "phonelink/androidloadthumbnailsthread.h"

#include "test_loadsupport.h"

#include <QImage>
#include <QtTest>

using phonesim::Fault;
using testsupport::RecordingJobReport;

namespace {

// The media fixture with real pictures as the thumbnails of photos 0, 2 and 4.
QJsonObject mediaFixture()
{
    QJsonObject fx = loadtest::fixtureFile(QStringLiteral("loaders-media.json"));
    QJsonObject media = fx.value(QStringLiteral("media")).toObject();
    QJsonArray images = media.value(QStringLiteral("images")).toArray();
    for (int i : {0, 2, 4}) {
        QImage image(40, 20, QImage::Format_RGB32);
        image.fill(i == 2 ? Qt::blue : Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, i == 2 ? "PNG" : "JPEG");
        QJsonObject m = images.at(i).toObject();
        m.insert(QStringLiteral("thumb"), QString::fromLatin1(bytes.toBase64()));
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

} // namespace

class TestLoadMedia : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { loadtest::useFreePorts(); }

    void imagesVideosAndMusic_fillTheirLists()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        RecordingJobReport report;
        AndroidLoadImagesThread job(15, &phone.device, &report);
        LOAD_OK(job, report);
        QCOMPARE(report.progressTexts().first(), QStringLiteral("Images:1/5"));
        QList<PhotoBucket> albums;
        job.buckets(albums);
        QCOMPARE(albums.size(), 2);
        QCOMPARE(albums.at(0).name, QStringLiteral("Alben"));
        QCOMPARE(albums.at(1).name, QStringLiteral("Camera")); // named by its first record
        QCOMPARE(paths(albums.at(1).photos), loadtest::list("/sdcard/DCIM/a.jpg|/sdcard/DCIM/b.jpg"));
        QCOMPARE(paths(job.bucketItems()),
                 loadtest::list("/sdcard/DCIM/b.jpg|/sdcard/Pics/照片.jpg|/sdcard/DCIM/a.jpg|"
                                "/sdcard/x.gif|/sdcard/short.jpg"));

        RecordingJobReport videoReport;
        AndroidLoadImagesThread videos(16, &phone.device, &videoReport);
        LOAD_OK(videos, videoReport);
        QCOMPARE(paths(videos.bucketItems()), loadtest::list("/sdcard/v.mp4"));

        RecordingJobReport musicReport;
        AndroidLoadMusicThread music(17, &phone.device, &musicReport);
        LOAD_OK(music, musicReport);
        QCOMPARE(musicReport.progressTexts(), loadtest::list("Music:1 / 2|Music:2 / 2"));
        QCOMPARE(music.items().size(), 2);
        const MusicRecord m = music.items().first();
        QCOMPARE(m.title, QStringLiteral("Café"));
        QCOMPARE(m.path, QStringLiteral("/sdcard/Music/café.mp3"));
        QCOMPARE(m.modified.toSecsSinceEpoch(), 1700000000);
        QVERIFY(!AndroidLoadMusicThread::parseMusic(QStringLiteral("k,,-9223372036854775807")).modified.isValid());
        RecordingJobReport ring;
        AndroidLoadMusicThread tones(19, &phone.device, &ring);
        LOAD_OK(tones, ring);
        QCOMPARE(tones.items().size(), 1);
    }

    void badRecord_failsAndTellsThePhone()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        phone.sim->addFault(Fault(Fault::Kind::WrongLineAt, QStringLiteral("images"), 4, "$img:k,YQ==,1,,cA==,YQ=="));
        RecordingJobReport report;
        AndroidLoadImagesThread job(15, &phone.device, &report);
        QVERIFY(loadtest::runJob(job));
        QCOMPARE(report.errors(), loadtest::list("invalid $img:, $img:k,YQ==,1,,cA==,YQ=="));
        QVERIFY(loadtest::phoneToldError(*phone.sim, QStringLiteral("images")));
    }

    // Every run goes over one connection, kept open between runs with
    // nothing sent at a run's end; a picture counts when it decodes,
    // whatever size "$file:" announced.
    void thumbnails_areFetchedOnceChecked_andStoppable()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        AndroidLoadThumbnailsThread thumbs(&phone.device);
        const QString a = QStringLiteral("/sdcard/DCIM/a.jpg");
        const QString png = QStringLiteral("/sdcard/Pics/照片.jpg");
        const QString shortJpeg = QStringLiteral("/sdcard/short.jpg");
        QSignalSpy refreshed(&thumbs, &AndroidLoadThumbnailsThread::refresh);
        thumbs.requests = {QString(), a, png, QStringLiteral("/sdcard/x.gif")};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(20000));
        QTRY_COMPARE(refreshed.size(), 2);
        QCOMPARE(refreshed.at(0).at(0).toInt(), 1);
        QCOMPARE(refreshed.at(1).at(0).toInt(), 2);
        for (const QString& p : {a, png})
            QCOMPARE(QImage(thumbs.thumbnailPath(p), "JPEG").size(), QSize(128, 128));
        // A GIF leaves no file.
        QVERIFY(!QFile::exists(thumbs.thumbnailPath(QStringLiteral("/sdcard/x.gif"))));
        const QList<QByteArray> asked = phone.sim->linesReceived(QStringLiteral("image-thumbnails"));
        QVERIFY(asked.contains("$dload:" + a.toUtf8().toBase64() + ",16384,40"));

        // The next run: thumbnails that exist are not asked for again, the
        // one announced far larger than it is arrives, on the same connection.
        thumbs.stop();
        thumbs.requests = {a, png, shortJpeg};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(20000));
        QTRY_COMPARE(refreshed.size(), 3);
        QCOMPARE(refreshed.at(2).at(0).toInt(), 2);
        QCOMPARE(QImage(thumbs.thumbnailPath(shortJpeg), "JPEG").size(), QSize(128, 128));
        const QList<phonesim::ConnectionLog> services = phone.sim->connections(QStringLiteral("service"));
        QCOMPARE(services.size(), 1);
        QVERIFY(!services.first().finished);
        QVERIFY(!phone.sim->linesReceived(QStringLiteral("image-thumbnails")).contains("$bye:"));
    }

    // A stop ends a stalled fetch at once; the connection it stalled is
    // dropped and the next run opens another.
    void thumbnails_stopEndsAStalledFetch()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        // Steps: 1 ready, 2 the answer to the first request.
        phone.sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("image-thumbnails"), 2));
        AndroidLoadThumbnailsThread thumbs(&phone.device);
        const QString a = QStringLiteral("/sdcard/DCIM/a.jpg");
        thumbs.requests = {a};
        thumbs.fetch();
        QTRY_VERIFY(!phone.sim->linesReceived(QStringLiteral("image-thumbnails")).isEmpty());
        QVERIFY(!thumbs.waitIdle(200));
        QElapsedTimer timer;
        timer.start();
        thumbs.stop();
        QVERIFY(timer.elapsed() < 3000);
        QVERIFY(thumbs.requests.isEmpty());
        phone.sim->releaseStalls();

        thumbs.requests = {a};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(20000));
        QVERIFY(QFile::exists(thumbs.thumbnailPath(a)));
        QCOMPARE(phone.sim->connections(QStringLiteral("service")).size(), 2);
    }

    // A connection the phone closed between runs is replaced before the
    // next request, which is not lost.
    void thumbnails_connectionClosedBetweenRuns_isReplaced()
    {
        loadtest::WifiPhone phone(84, mediaFixture());
        PHONE_OK(phone);
        AndroidLoadThumbnailsThread thumbs(&phone.device);
        const QString a = QStringLiteral("/sdcard/DCIM/a.jpg");
        const QString png = QStringLiteral("/sdcard/Pics/照片.jpg");
        QSignalSpy refreshed(&thumbs, &AndroidLoadThumbnailsThread::refresh);
        thumbs.requests = {a};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(20000));
        phone.sim->stop(); // closes the connection
        QVERIFY(phone.sim->start());
        thumbs.stop();
        thumbs.requests = {a, png};
        thumbs.fetch();
        QVERIFY(thumbs.waitIdle(20000));
        QTRY_COMPARE(refreshed.size(), 2);
        QCOMPARE(refreshed.at(1).at(0).toInt(), 1);
        QCOMPARE(phone.sim->connections(QStringLiteral("service")).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLoadMedia)
#include "test_loadmedia.moc"
