// The media uploads against the simulated phone, which checks every offer
// and block it receives, keeps a file only once it arrived whole and lists
// it in its collection afterwards: the offer lines of each kind, a phone
// that declines, empty and vanished files, and a stalled phone.
#include "jobs/androiduploadimagesthread.h"
#include "jobs/androiduploadmusicthread.h"
#include "phonelink/androidloadimagesthread.h"
#include "phonelink/androidloadmusicthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/translations.h"

#include "mediafixture.h"
#include "simphone.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTimeZone>
#include <QtTest>

#include <memory>

using phonesim::Fault;

namespace {

constexpr qint64 kBlock = 524288;

QByteArray b64(const QString& text)
{
    return text.toUtf8().toBase64();
}

// Writes a file modified at the given time (seconds since 1970).
bool writeFile(const QString& path, const QByteArray& data, qint64 secs)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.flush())
        return false;
    return f.setFileTime(QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc()), QFileDevice::FileModificationTime);
}

// The lines the phone received on a service, with the bytes of each block
// left out.
QList<QByteArray> lines(const testsupport::SimPhone& phone, const QString& service)
{
    return phone.sim->linesReceived(service);
}

} // namespace

class TestUploadMedia : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::SimPhone> startPhone(const QJsonObject& options = {})
    {
        return std::make_unique<testsupport::SimPhone>(QStringLiteral("127.0.131.%1").arg(m_next++),
                                                       mediatest::fixture({}, options));
    }

    static bool run(QThread& job)
    {
        job.start();
        return job.wait(QDeadlineTimer(20000));
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

    // A song the phone wants and one it declines: the offers carry the
    // name and time with one trailing comma; the declined one gets no data
    // and does not count. The song is listed by the phone afterwards.
    void music_offersNameAndTime_declinedSendsNothing()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("music"));
        const QByteArray song = mediatest::bytes(kBlock + 3, 1);
        QVERIFY(writeFile(base + QStringLiteral("/Ä.mp3"), song, 1325376000));
        QVERIFY(writeFile(base + QStringLiteral("/b.mp3"), "declined", 1325376001));
        auto phone = startPhone({{QStringLiteral("declineMedia"), QJsonArray {QStringLiteral("b.mp3")}}});
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        testsupport::RecordingJobReport report;
        AndroidUploadMusicThread job(17, &phone->device,
                                     {base + QStringLiteral("/Ä.mp3"), base + QStringLiteral("/b.mp3")}, &report);
        QVERIFY(run(job));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully transferred 1 Songs to Android.")});
        QCOMPARE(job.offeredFiles(), 2);
        const QList<QByteArray> expected {"$uid:",
                                          "$device:",
                                          "$music:" + b64(QStringLiteral("Ä.mp3")) + ",1325376000,",
                                          "$file:",
                                          "$block:524288",
                                          "$block:3",
                                          ".",
                                          "$music:" + b64(QStringLiteral("b.mp3")) + ",1325376001,",
                                          "$bye:"};
        QVERIFY2(phone->verdict(1).isEmpty(), qPrintable(phone->verdict(1)));
        QCOMPARE(lines(*phone, QStringLiteral("music")), expected);
        QByteArray stored;
        QVERIFY(phone->sim->files().read(QStringLiteral("/sdcard/Music/Ä.mp3"), &stored));
        QVERIFY(stored == song);
        QVERIFY(!phone->sim->files().contains(QStringLiteral("/sdcard/Music/b.mp3")));
        QCOMPARE(report.progressTexts(), QStringLiteral("Files:1/2|512KB / 512KB|512KB / 512KB|Files:2/2").split(u'|'));
        QCOMPARE(report.progress().first().status, QStringLiteral("Transferring:Ä.mp3"));
        QCOMPARE(report.progress().first().percent, 50);

        testsupport::RecordingJobReport loadReport;
        AndroidLoadMusicThread load(17, &phone->device, &loadReport);
        QVERIFY(run(load));
        QCOMPARE(load.items().size(), 1);
        QCOMPARE(load.items().first().path, QStringLiteral("/sdcard/Music/Ä.mp3"));
        QCOMPARE(load.items().first().modified.toSecsSinceEpoch(), 1325376000);

        // Ringtones go to their own service with the same offer.
        testsupport::RecordingJobReport ringReport;
        AndroidUploadMusicThread ring(19, &phone->device, {base + QStringLiteral("/Ä.mp3")}, &ringReport);
        QVERIFY(run(ring));
        QCOMPARE(ringReport.successes(),
                 QStringList {QStringLiteral("Successfully transferred 1 Ringtones to Android.")});
        QVERIFY(phone->sim->files().contains(QStringLiteral("/sdcard/Ringtones/Ä.mp3")));
    }

    // Photos and videos end their offers with two empty fields; a picture
    // of no bytes goes as "$file:", no block, "."; both are listed later.
    void imagesAndVideos_twoEmptyFields_emptyFileHasNoBlock()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("images"));
        QVERIFY(writeFile(base + QStringLiteral("/empty.jpg"), QByteArray(), 100));
        QVERIFY(writeFile(base + QStringLiteral("/p.png"), mediatest::bytes(10, 2), 200));
        QVERIFY(writeFile(base + QStringLiteral("/v.mp4"), mediatest::bytes(20, 3), 300));
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        testsupport::RecordingJobReport report;
        AndroidUploadImagesThread photos(
            15, &phone->device, {base + QStringLiteral("/empty.jpg"), base + QStringLiteral("/p.png")}, &report);
        QVERIFY(run(photos));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully transferred 2 Photos to Android.")});
        const QList<QByteArray> got = lines(*phone, QStringLiteral("images"));
        QCOMPARE(got.mid(2, 4),
                 (QList<QByteArray> {"$img:" + b64(QStringLiteral("empty.jpg")) + ",100,,", "$file:", ".",
                                     "$img:" + b64(QStringLiteral("p.png")) + ",200,,"}));

        testsupport::RecordingJobReport videoReport;
        AndroidUploadImagesThread videos(16, &phone->device, {base + QStringLiteral("/v.mp4")}, &videoReport);
        QVERIFY(run(videos));
        QCOMPARE(videoReport.successes(),
                 QStringList {QStringLiteral("Successfully transferred 1 Videos to Android.")});
        QVERIFY(lines(*phone, QStringLiteral("videos")).contains("$video:" + b64(QStringLiteral("v.mp4")) + ",300,,"));

        testsupport::RecordingJobReport loadReport;
        AndroidLoadImagesThread load(15, &phone->device, &loadReport);
        QVERIFY(run(load));
        QStringList listed;
        for (const PhotoRecord& r : load.bucketItems())
            listed << r.path;
        QCOMPARE(listed, QStringLiteral("/sdcard/Pictures/p.png|/sdcard/Pictures/empty.jpg").split(u'|'));
        QByteArray stored("x");
        QVERIFY(phone->sim->files().read(QStringLiteral("/sdcard/Pictures/empty.jpg"), &stored));
        QVERIFY(stored.isEmpty());
    }

    // A phone that wants nothing gets only the offers, and the result says
    // that nothing was transferred.
    void phoneDecliningEverything_countsNothing()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("decline"));
        QStringList paths;
        for (int i = 0; i < 3; ++i) {
            paths << base + QStringLiteral("/%1.jpg").arg(i);
            QVERIFY(writeFile(paths.last(), "x", 1));
        }
        auto phone = startPhone({{QStringLiteral("declineMedia"), true}});
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        testsupport::RecordingJobReport report;
        AndroidUploadImagesThread job(15, &phone->device, paths, &report);
        QVERIFY(run(job));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully transferred 0 Photos to Android.")});
        QCOMPARE(job.offeredFiles(), 3);
        QVERIFY(!lines(*phone, QStringLiteral("images")).contains("$file:"));
    }

    // A file gone by its turn, when the phone wants it, ends the job with
    // "open ... failed" naming the path as given; the phone is told first.
    void fileGoneByItsTurn_endsTheJobAndTellsThePhone()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("gone"));
        QVERIFY(writeFile(base + QStringLiteral("/a.jpg"), "a", 1));
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        testsupport::RecordingJobReport report;
        AndroidUploadImagesThread job(15, &phone->device,
                                      {base + QStringLiteral("/a.jpg"), base + QStringLiteral("/gone.jpg")}, &report);
        QVERIFY(run(job));
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(report.errors().first().startsWith(QStringLiteral("open %1/gone.jpg failed.").arg(base)),
                 qPrintable(report.errors().first()));
        phone->sim->waitFinished(QStringLiteral("service"), 1, 5000);
        QVERIFY(lines(*phone, QStringLiteral("images")).last().startsWith("$error:"));
        QVERIFY(phone->sim->files().contains(QStringLiteral("/sdcard/Pictures/a.jpg")));
    }

    // A phone that stops answering in the middle of a file: Cancel ends the
    // job within a second, the phone keeps no part of the file.
    void stalledPhone_cancelEndsItWithinASecond()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("stall"));
        QVERIFY(writeFile(base + QStringLiteral("/big.mp3"), mediatest::bytes(kBlock * 2, 4), 1));
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        // Steps: 1 ready, 2 the answer "1", 3 the first block's ".".
        phone->sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("music"), 3));
        testsupport::RecordingJobReport report;
        AndroidUploadMusicThread job(17, &phone->device, {base + QStringLiteral("/big.mp3")}, &report);
        job.start();
        QTRY_VERIFY(lines(*phone, QStringLiteral("music")).contains("$block:524288"));
        QVERIFY(!job.wait(200));
        QElapsedTimer sinceCancel;
        sinceCancel.start();
        report.cancel();
        QVERIFY(job.wait(QDeadlineTimer(5000)));
        QVERIFY2(sinceCancel.elapsed() < 1000, qPrintable(QString::number(sinceCancel.elapsed())));
        QCOMPARE(report.endCount(), 0);
        phone->sim->releaseStalls();
        QVERIFY(!phone->sim->files().contains(QStringLiteral("/sdcard/Music/big.mp3")));
    }
};

QTEST_GUILESS_MAIN(TestUploadMedia)
#include "test_uploadmedia.moc"
