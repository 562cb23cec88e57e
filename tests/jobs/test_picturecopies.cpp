// A picture and the copies transfers make of it are one picture, wherever
// they meet. A transfer re-encodes every JPEG and PNG it sends (scaled when
// large), so a phone holds other bytes than the store it was sent from: the
// backups of a phone whose cache was made anew, transfers back to the
// source and along a chain of phones, and the loads that bring the copies
// back keep every picture once, and send none twice.
#include "messagestore/partbytes.h"
#include "shell/core/fileutils.h"

#include "messagejobtest.h"
#include "testpictures.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <thread>

using namespace Qt::StringLiterals;
using namespace messagejobtest;
using phonesim::Fault;

namespace {

const QString kAnn = u"+4930111"_s;
const QString kBob = u"+4930222"_s;

// A's pictures: a JPEG and a PNG large enough that a transfer scales them,
// a small JPEG it re-encodes as it is, and a text.
QJsonArray picturesOfA()
{
    static const QJsonArray messages {
        phoneMessage(1700000100, kAnn, QString(), {{u"photo.jpg"_s, photo(2400, 1800, "JPG", 1)}}),
        phoneMessage(1700000200, kBob, QString(), {{u"image.png"_s, photo(1600, 1200, "PNG", 2)}}),
        phoneMessage(1700000300, kAnn, QString(), {{u"small.jpg"_s, photo(640, 480, "JPG", 3)}}),
        phoneMessage(1700000400, kAnn, u"see you"_s)};
    return messages;
}

// Runs work on a thread of its own, which sees a file system of one page
// at dir (mounted in a namespace of that thread and the threads it starts,
// gone with them; read-only when asked) and TMPDIR naming it: what the work
// writes there finds the disk full. Empty, or why this machine does not let
// a test mount one.
QString onASmallFileSystem(const QString& dir, bool readOnly, const std::function<void()>& work)
{
    QString error;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    std::thread thread([&] {
        const QByteArray path = QFile::encodeName(dir);
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount("small", path.constData(), "tmpfs", readOnly ? MS_RDONLY : 0, "size=4k") != 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        qputenv("TMPDIR", path);
        work();
    });
    thread.join();
    qputenv("TMPDIR", oldTemp);
    return error;
}

const QString kNothingSent = u"Nothing was sent: Android already holds these 4 Messages."_s;

} // namespace

class TestPictureCopies : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { jobtest::initJobTests(); }

    void backup_ofAPhoneWhoseCacheWasMadeAnew_holdsEachRestoredPictureOnce();
    void backup_ofAPhoneWhoseCacheWasMadeAnew_holdsEachTransferredPictureOnce();
    void transfer_backToTheSource_sendsNothing_alsoAfterEitherCacheWasMadeAnew();
    void transfer_cutAndRetried_thenBackToTheSource_sendsNothingTwice();
    void transfer_alongAChain_knowsTheFirstPicture_data();
    void transfer_alongAChain_knowsTheFirstPicture();
    void transfer_decidesBeforeThePhoneIsAsked();
    void transfer_encodesWhatGoesBeforeThePhoneIsAsked();
    void transfer_withAFullTemporaryFolder_failsBeforeThePhoneIsAsked_data();
    void transfer_withAFullTemporaryFolder_failsBeforeThePhoneIsAsked();
    void transfer_ofManyPicturesWithAFullTemporaryFolder_endsAtTheFirstFailure();
    void transfer_ofPicturesBeyondTheBounds_sendsThemAsTheyAre_undecoded();
    void restore_ofAMessageWithAPartThatCannotGo_sendsItOnce();
    void transfer_ofPhotosOfEveryShape_arrivesUpright_andGoesOnce();
    void transfer_ofABlackAndWhitePicture_afterBsCacheWasMadeAnew_goesOnce();
    void load_aListingShorterOrLongerThanAnnounced_removesNothing();
    void load_whatAListingRemoves_data();
    void load_whatAListingRemoves();
    void load_aDamagedLineThatAnnouncesParts_fetchesNothing();
    void load_thatFailsAfterTakingThePhonesCopy_leavesTheCacheAsItWas();
    void load_aTransferredMessageThePhoneDoesNotGiveBack_leavesTheCache();
    void load_aTransferredPictureListedInTheRecordedPlaceOfAnother_isFound();
    void load_aPictureWhoseCacheFileIsGone_isFetchedAgain();
};

// A's backup goes to B; B's backups into the same folder, also each after
// B's cache was made anew, and restores of that folder to B leave folder,
// phone and cache as they were, cycle after cycle.
void TestPictureCopies::backup_ofAPhoneWhoseCacheWasMadeAnew_holdsEachRestoredPictureOnce()
{
    START_PHONE(a, u"127.0.115.1"_s, QJsonObject {{u"messages"_s, picturesOfA()}});
    START_PHONE(b, u"127.0.115.2"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    const QString folder = testsupport::makeTempDir(u"backupOfA"_s);
    QCOMPARE(backUpStore(cacheA, folder), u"Successfully backup 4 messages."_s);
    const QStringList inFolder = cachedPictures(folder);
    QCOMPARE(inFolder.size(), 3);

    QCOMPARE(transferStore(folder, b->device), u"Successfully restored 4 Messages to Android."_s);
    QVERIFY(load(b->device));
    const QStringList inCacheB = cachedPictures(cacheB);
    for (int cycle = 1; cycle <= 3; ++cycle) {
        const QString at = u"cycle %1"_s.arg(cycle);
        QCOMPARE(backUpStore(cacheB, folder), u"Successfully backup 4 messages."_s);
        QVERIFY2(cachedPictures(folder) == inFolder, qPrintable(at));
        removeDir(cacheB);
        QVERIFY(load(b->device));
        QVERIFY2(cachedPictures(cacheB) == inCacheB, qPrintable(at));
        QCOMPARE(backUpStore(cacheB, folder), u"Successfully backup 4 messages."_s);
        QVERIFY2(cachedPictures(folder) == inFolder, qPrintable(at + u": "_s + cachedPictures(folder).join(u'\n')));
        QCOMPARE(messageCount(folder), 4);
        QCOMPARE(transferStore(folder, b->device), kNothingSent);
        QCOMPARE(b->store->records(u"mms2"_s).size(), 4);
        QVERIFY(load(b->device));
        QVERIFY2(cachedPictures(cacheB) == inCacheB, qPrintable(at));
    }
    // B's cache holds the copies the transfer made, as the phone does:
    // other bytes than A's.
    QCOMPARE(inCacheB, sentPictures(*b));
    QVERIFY(!inCacheB.contains(inFolder.first()));
}

// A's pictures go to B, B is backed up, its cache made anew and backed up
// again into the same folder: the folder keeps B's pictures once, and two
// restores of it send nothing.
void TestPictureCopies::backup_ofAPhoneWhoseCacheWasMadeAnew_holdsEachTransferredPictureOnce()
{
    START_PHONE(a, u"127.0.115.3"_s, QJsonObject {{u"messages"_s, picturesOfA()}});
    START_PHONE(b, u"127.0.115.4"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    QCOMPARE(transferStore(cacheA, b->device), u"Successfully restored 4 Messages to Android."_s);
    QVERIFY(load(b->device));
    const QString folder = testsupport::makeTempDir(u"backupOfB"_s);
    QCOMPARE(backUpStore(cacheB, folder), u"Successfully backup 4 messages."_s);
    const QStringList inFolder = cachedPictures(folder);
    const QStringList inCacheB = cachedPictures(cacheB);
    for (int cycle = 1; cycle <= 3; ++cycle) {
        removeDir(cacheB);
        QVERIFY(load(b->device));
        QCOMPARE(cachedPictures(cacheB), inCacheB);
        QCOMPARE(backUpStore(cacheB, folder), u"Successfully backup 4 messages."_s);
        QCOMPARE(cachedPictures(folder), inFolder);
        QCOMPARE(messageCount(folder), 4);
        for (int restore = 1; restore <= 2; ++restore) {
            QCOMPARE(transferStore(folder, b->device), kNothingSent);
            QCOMPARE(b->store->records(u"mms2"_s).size(), 4);
        }
    }
    QCOMPARE(inFolder, sentPictures(*b));
}

// A's pictures went to B; B's go back to A and A's to B again, also once
// B's or A's cache was made anew: nothing goes twice, on neither phone.
void TestPictureCopies::transfer_backToTheSource_sendsNothing_alsoAfterEitherCacheWasMadeAnew()
{
    START_PHONE(a, u"127.0.115.5"_s, QJsonObject {{u"messages"_s, picturesOfA()}});
    START_PHONE(b, u"127.0.115.6"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    QCOMPARE(transferStore(cacheA, b->device), u"Successfully restored 4 Messages to Android."_s);
    // B's copies go back before and after B's load.
    QCOMPARE(transferStore(cacheB, a->device), kNothingSent);
    QVERIFY(load(b->device));
    QCOMPARE(transferStore(cacheB, a->device), kNothingSent);
    const QStringList onA = cachedPictures(cacheA);
    const QStringList onB = cachedPictures(cacheB);
    for (int cycle = 1; cycle <= 3; ++cycle) {
        const QString& cleared = cycle == 2 ? cacheA : cacheB;
        removeDir(cleared);
        QVERIFY(load(cycle == 2 ? a->device : b->device));
        QCOMPARE(transferStore(cacheB, a->device), kNothingSent);
        QCOMPARE(transferStore(cacheA, b->device), kNothingSent);
        QCOMPARE(a->store->records(u"mms2"_s).size(), 0);
        QCOMPARE(b->store->records(u"mms2"_s).size(), 4);
        QVERIFY(load(a->device));
        QVERIFY(load(b->device));
        QCOMPARE(cachedPictures(cacheA), onA);
        QCOMPARE(cachedPictures(cacheB), onB);
    }
}

// The transfer of A's pictures to B breaks off after the phone kept them
// all; B is loaded and the transfer retried, then B's pictures go to A:
// nothing is sent twice.
void TestPictureCopies::transfer_cutAndRetried_thenBackToTheSource_sendsNothingTwice()
{
    START_PHONE(a, u"127.0.115.19"_s, QJsonObject {{u"messages"_s, picturesOfA()}});
    START_PHONE(b, u"127.0.115.20"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    // Steps: 1 "$ready:", 2 "$defsmsapp:0", 3 to 5 the three pictures'
    // acknowledgements, 6 the batch's.
    b->sim->addFault(Fault(Fault::Kind::WrongLineAt, u"restore:mms2"_s, 6, "garbage"));
    QCOMPARE(transferStore(cacheA, b->device), u"invalid feedback [garbage], must be [$batch:]"_s);
    QCOMPARE(b->store->records(u"mms2"_s).size(), 4);
    QVERIFY(load(b->device));
    QCOMPARE(transferStore(cacheA, b->device), kNothingSent);
    QCOMPARE(transferStore(cacheB, a->device), kNothingSent);
    QCOMPARE(a->store->records(u"mms2"_s).size(), 0);
    QCOMPARE(b->store->records(u"mms2"_s).size(), 4);
}

void TestPictureCopies::transfer_alongAChain_knowsTheFirstPicture_data()
{
    QTest::addColumn<bool>("madeAnew");
    QTest::addRow("as the caches know it") << false;
    QTest::addRow("caches made anew on the way") << true;
}

// A's pictures go to B, B's to C; C is backed up into the folder of A's
// backup, which keeps each picture once and, restored to A, sends nothing.
// With B's cache made anew before B's go to C, C holds copies of copies
// whose first picture B no longer knew; so too once C's cache was made
// anew.
void TestPictureCopies::transfer_alongAChain_knowsTheFirstPicture()
{
    QFETCH(bool, madeAnew);
    START_PHONE(a, u"127.0.115.7"_s, QJsonObject {{u"messages"_s, picturesOfA()}});
    START_PHONE(b, u"127.0.115.8"_s);
    START_PHONE(c, u"127.0.115.9"_s);
    for (auto* phone : {a.get(), b.get(), c.get()})
        QVERIFY(load(phone->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    const QString cacheC = c->device.cacheDir().absolutePath();
    const QString folder = testsupport::makeTempDir(u"backupOfA"_s);
    QCOMPARE(backUpStore(cacheA, folder), u"Successfully backup 4 messages."_s);
    const QStringList inFolder = cachedPictures(folder);

    QCOMPARE(transferStore(cacheA, b->device), u"Successfully restored 4 Messages to Android."_s);
    QVERIFY(load(b->device));
    if (madeAnew) {
        removeDir(cacheB);
        QVERIFY(load(b->device));
    }
    QCOMPARE(transferStore(cacheB, c->device), u"Successfully restored 4 Messages to Android."_s);
    QVERIFY(load(c->device));
    for (int round = 1; round <= (madeAnew ? 2 : 1); ++round) {
        if (round == 2) {
            removeDir(cacheC);
            QVERIFY(load(c->device));
        }
        QCOMPARE(backUpStore(cacheC, folder), u"Successfully backup 4 messages."_s);
        QCOMPARE(messageCount(folder), 4);
        QCOMPARE(cachedPictures(folder), inFolder);
        QCOMPARE(transferStore(folder, a->device), kNothingSent);
        QCOMPARE(transferStore(cacheC, a->device), kNothingSent);
        QCOMPARE(transferStore(cacheC, b->device), kNothingSent);
        QCOMPARE(a->store->records(u"mms2"_s).size(), 0);
        QCOMPARE(b->store->records(u"mms2"_s).size(), 4);
    }
    // C holds copies of B's copies.
    QCOMPARE(cachedPictures(cacheC), sentPictures(*c));
    QVERIFY(cachedPictures(cacheC) != cachedPictures(cacheB));
}

// B holds the copies of A's photos that a transfer made, and its cache was
// made anew: deciding which of A's photos B holds means encoding each, all
// before the phone is asked. The progress shows it, and a cancel as the
// last is compared finds no session opened.
void TestPictureCopies::transfer_decidesBeforeThePhoneIsAsked()
{
    constexpr int kPhotos = 40;
    QJsonArray onA;
    QJsonArray onB;
    const QString files = testsupport::makeTempDir(u"photos"_s);
    for (int i = 0; i < kPhotos; ++i) {
        const QByteArray original = photo(2000, 1500, "JPG", i);
        const QString path = files + u"/p%1.jpg"_s.arg(i);
        QVERIFY(jobtest::writeFile(path, original));
        onA.append(phoneMessage(1700000000 + i * 60, kAnn, QString(), {{u"p%1.jpg"_s.arg(i), original}}));
        onB.append(phoneMessage(1700000000 + i * 60, kAnn, QString(),
                                {{u"p%1.jpg"_s.arg(i), encodedImage(path, u"image/jpeg"_s)}}));
    }
    START_PHONE(a, u"127.0.115.10"_s, QJsonObject {{u"messages"_s, onA}});
    START_PHONE(b, u"127.0.115.11"_s, QJsonObject {{u"messages"_s, onB}});
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    MsgDataSetPtr ds = jobtest::loadStore(a->device.cacheDir().absolutePath(), u"262"_s);
    const qsizetype sessions = b->sim->connections(u"service"_s).size();
    {
        Report report;
        const QString last = u"Comparing pictures: %1/%1"_s.arg(kPhotos);
        report.cancelWhenProgressContains(last);
        QVERIFY(transfer(b->device, getDataSetMessages(*ds), &report));
        QVERIFY(!report.succeeded());
        QVERIFY(report.progressTexts().contains(last));
        QCOMPARE(b->sim->connections(u"service"_s).size(), sessions);
    }
    Report report;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &report));
    QCOMPARE(report.successes(),
             QStringList {u"Nothing was sent: Android already holds these %1 Messages."_s.arg(kPhotos)});
    QCOMPARE(b->store->records(u"mms2"_s).size(), 0);
}

// The pictures that go are encoded before the phone is asked, so that the
// session never waits on an encoding: a cancel as the last is prepared
// finds no session opened, and the transfer then sends each as encoded.
void TestPictureCopies::transfer_encodesWhatGoesBeforeThePhoneIsAsked()
{
    START_PHONE(a, u"127.0.115.30"_s, QJsonObject {{u"messages"_s, picturesOfA()}});
    START_PHONE(b, u"127.0.115.31"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    MsgDataSetPtr ds = jobtest::loadStore(a->device.cacheDir().absolutePath(), u"262"_s);
    const qsizetype sessions = b->sim->connections(u"service"_s).size();
    {
        Report report;
        report.cancelWhenProgressContains(u"Preparing pictures: 3/3"_s);
        QVERIFY(transfer(b->device, getDataSetMessages(*ds), &report));
        QVERIFY(!report.succeeded());
        QCOMPARE(b->sim->connections(u"service"_s).size(), sessions);
    }
    QCOMPARE(transferStore(a->device.cacheDir().absolutePath(), b->device),
             u"Successfully restored 4 Messages to Android."_s);
    QStringList encoded;
    for (const _MsgAttachment* att : std::as_const(ds->attachments))
        encoded << bytesDigest(encodedImage(att->localPath, att->mime_type));
    QStringList received;
    for (const QString& line : sentPictures(*b))
        received << line.section(u'|', -1);
    QCOMPARE(sorted(received), sorted(encoded));
}

// A picture that cannot be prepared whole (its folder is full, which a
// small picture meets only as its file is closed) is a clear error before
// the phone is asked, and nothing goes; with room, it goes as encoded.
void TestPictureCopies::transfer_withAFullTemporaryFolder_failsBeforeThePhoneIsAsked_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("error");
    QTest::newRow("full") << false << u"Cannot prepare the picture small.jpg for the phone. No space left on device"_s;
    QTest::newRow("read-only") << true << u"Cannot make a folder for the pictures. Read-only file system"_s;
}

void TestPictureCopies::transfer_withAFullTemporaryFolder_failsBeforeThePhoneIsAsked()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, error);
    const QByteArray small = photo(200, 150, "JPG", 7);
    // Each row its own phones, and so caches of their own.
    START_PHONE(a, readOnly ? u"127.0.115.62"_s : u"127.0.115.60"_s,
                QJsonObject {{u"messages"_s,
                              QJsonArray {phoneMessage(1700000100, kAnn, QString(), {{u"small.jpg"_s, small}})}}});
    START_PHONE(b, readOnly ? u"127.0.115.63"_s : u"127.0.115.61"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    MsgDataSetPtr ds = jobtest::loadStore(a->device.cacheDir().absolutePath(), u"262"_s);
    QCOMPARE(ds->attachments.size(), 1);
    const QByteArray encoded = encodedImage(ds->attachments.begin().value()->localPath, u"image/jpeg"_s);
    // More than the page the folder holds, less than a file's write buffer.
    QVERIFY2(encoded.size() > 4096 && encoded.size() < 16384, qPrintable(QString::number(encoded.size())));
    const qsizetype sessions = b->sim->connections(u"service"_s).size();

    Report report;
    bool ended = false;
    const QString notMounted = onASmallFileSystem(testsupport::makeTempDir(u"small"_s), readOnly, [&] {
        ended = transfer(b->device, getDataSetMessages(*ds), &report);
    });
    if (!notMounted.isEmpty())
        QSKIP(qPrintable(u"cannot mount a small file system here: "_s + notMounted));
    QVERIFY(ended);
    QCOMPARE(report.errors(), QStringList {error});
    QCOMPARE(b->sim->connections(u"service"_s).size(), sessions);
    QVERIFY(b->store->records(u"mms2"_s).isEmpty());

    QCOMPARE(transferStore(a->device.cacheDir().absolutePath(), b->device),
             u"Successfully restored 1 Messages to Android."_s);
    QCOMPARE(sentPictures(*b), QStringList {pictureLine(1700000100, kAnn, u"small.jpg"_s, encoded)});
}

// A's photos go to B while the temporary folder is full. The first picture
// that cannot be written ends the preparing as a cancel would: the job
// counts each picture as it is done, and the error comes at the latest
// with the first count, not after the others' counts.
void TestPictureCopies::transfer_ofManyPicturesWithAFullTemporaryFolder_endsAtTheFirstFailure()
{
    constexpr int kPhotos = 24;
    QJsonArray onA;
    for (int i = 0; i < kPhotos; ++i)
        onA.append(phoneMessage(1700001000 + i * 60, kAnn, QString(),
                                {{u"photo%1.jpg"_s.arg(i), photo(320, 240, "JPG", 20 + i)}}));
    START_PHONE(a, u"127.0.115.36"_s, QJsonObject {{u"messages"_s, onA}});
    START_PHONE(b, u"127.0.115.37"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    MsgDataSetPtr ds = jobtest::loadStore(a->device.cacheDir().absolutePath(), u"262"_s);
    QCOMPARE(ds->attachments.size(), kPhotos);
    // Each more than the page the folder holds: none can be written.
    for (const _MsgAttachment* att : std::as_const(ds->attachments))
        QVERIFY(encodedImage(att->localPath, u"image/jpeg"_s).size() > 4096);
    const qsizetype sessions = b->sim->connections(u"service"_s).size();

    Report report;
    bool ended = false;
    const QString notMounted = onASmallFileSystem(testsupport::makeTempDir(u"small"_s), false, [&] {
        ended = transfer(b->device, getDataSetMessages(*ds), &report);
    });
    if (!notMounted.isEmpty())
        QSKIP(qPrintable(u"cannot mount a small file system here: "_s + notMounted));
    QVERIFY(ended);
    QCOMPARE(report.errors().size(), 1);
    QVERIFY2(report.errors().constFirst().endsWith(u" for the phone. No space left on device"_s),
             qPrintable(report.errors().constFirst()));
    const QStringList preparing = report.progressTexts().filter(u"Preparing pictures"_s);
    QVERIFY2(preparing.isEmpty() || preparing == QStringList {u"Preparing pictures: 1/%1"_s.arg(kPhotos)},
             qPrintable(preparing.join(u'|')));
    QCOMPARE(b->sim->connections(u"service"_s).size(), sessions);
    QVERIFY(b->store->records(u"mms2"_s).isEmpty());
}

// Pictures whose decode would cost beyond the bounds (a 0.5 MB JPEG of
// scans that take the decoder seconds, a PNG whose chunk claims 2 GB, one
// whose texts would take more than the budget) are told by their headers.
// B holds other pictures of their correspondent and second, of the size a
// transfer would make of them: none is compared by its encoding, and each
// goes as it is.
void TestPictureCopies::transfer_ofPicturesBeyondTheBounds_sendsThemAsTheyAre_undecoded()
{
    const QByteArray png = photo(300, 200, "PNG", 1);
    const QList<std::pair<QString, QByteArray>> parts {{u"scans.jpg"_s, testpictures::greyScans(16000, 16000, 99)},
                                                       {u"claims.png"_s, testpictures::withLongChunk(png, 2147483000u)},
                                                       {u"texts.png"_s, testpictures::withTexts(png, 30, 7600000)}};
    const QList<std::pair<QString, QByteArray>> others {{u"scans.jpg"_s, photo(1080, 1080, "JPG", 2)},
                                                        {u"claims.png"_s, photo(300, 200, "PNG", 3)},
                                                        {u"texts.png"_s, photo(300, 200, "PNG", 4)}};
    QJsonArray onA;
    QJsonArray onB;
    QStringList sent;
    for (int i = 0; i < parts.size(); ++i) {
        const qint64 seconds = 1700000000 + i * 60;
        onA.append(phoneMessage(seconds, kAnn, QString(), {parts.at(i)}));
        onB.append(phoneMessage(seconds, kAnn, QString(), {others.at(i)}));
        sent << pictureLine(seconds, kAnn, parts.at(i).first, parts.at(i).second);
    }
    START_PHONE(a, u"127.0.115.32"_s, QJsonObject {{u"messages"_s, onA}});
    START_PHONE(b, u"127.0.115.33"_s, QJsonObject {{u"messages"_s, onB}});
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    MsgDataSetPtr ds = jobtest::loadStore(a->device.cacheDir().absolutePath(), u"262"_s);
    Report report;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &report));
    QCOMPARE(report.successes(), QStringList {u"Successfully restored 3 Messages to Android."_s});
    QVERIFY2(!report.progressTexts().join(u'\n').contains(u"Comparing pictures"_s),
             qPrintable(report.progressTexts().join(u'\n')));
    QCOMPARE(sentPictures(*b), sorted(sent));
}

// A's backup holds an MMS with a subject and a picture whose file is gone
// from the folder, and a text. Restored to B, the MMS goes without its
// picture, once: B's loads and restores that follow, also once B's cache
// was made anew, send nothing, and B's phone, cache and backup keep two
// messages.
void TestPictureCopies::restore_ofAMessageWithAPartThatCannotGo_sendsItOnce()
{
    QJsonObject withSubject = phoneMessage(1700000100, kAnn, QString(), {{u"photo.jpg"_s, photo(800, 600, "JPG", 12)}});
    withSubject.insert(u"subject"_s, u"Holiday"_s);
    START_PHONE(a, u"127.0.115.24"_s,
                QJsonObject {{u"messages"_s, QJsonArray {withSubject, phoneMessage(1700000200, kAnn, u"see you"_s)}}});
    START_PHONE(b, u"127.0.115.25"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString folder = testsupport::makeTempDir(u"backupOfA"_s);
    QCOMPARE(backUpStore(a->device.cacheDir().absolutePath(), folder), u"Successfully backup 2 messages."_s);
    MsgDataSetPtr ds = jobtest::loadStore(folder, u"262"_s);
    for (const _MsgAttachment* att : std::as_const(ds->attachments))
        QVERIFY(QFile::remove(att->localPath));

    const QString sent = transferStore(folder, b->device);
    QVERIFY2(sent.startsWith(u"Successfully restored 2 Messages to Android."_s) && sent.contains(u"photo.jpg"_s),
             qPrintable(sent));
    const QString cacheB = b->device.cacheDir().absolutePath();
    const QString backupOfB = testsupport::makeTempDir(u"backupOfB"_s);
    for (int round = 1; round <= 3; ++round) {
        if (round == 2)
            removeDir(cacheB);
        QVERIFY(load(b->device));
        QCOMPARE(messageCount(cacheB), 2);
        QCOMPARE(transferStore(folder, b->device), u"Nothing was sent: Android already holds these 2 Messages."_s);
        QCOMPARE(b->store->records(u"mms2"_s).size(), 2);
        QCOMPARE(backUpStore(cacheB, backupOfB), u"Successfully backup 2 messages."_s);
        QCOMPARE(messageCount(backupOfB), 2);
    }
}

// A listing that ends short of the messages it announced, or runs past
// them, removes nothing from the cache: neither a message loaded earlier
// nor those a transfer sent, which the next transfer therefore does not
// send again. The load says so.
void TestPictureCopies::load_aListingShorterOrLongerThanAnnounced_removesNothing()
{
    const QJsonObject older = phoneMessage(1700000010, kBob, u"older"_s);
    const QJsonObject mine = phoneMessage(1700000020, kBob, u"mine"_s);
    START_PHONE(a, u"127.0.115.26"_s, QJsonObject {{u"messages"_s, picturesOfA()}});
    START_PHONE(b, u"127.0.115.27"_s, QJsonObject {{u"messages"_s, QJsonArray {older, mine}}});
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    QCOMPARE(transferStore(cacheA, b->device), u"Successfully restored 4 Messages to Android."_s);
    QCOMPARE(messageCount(cacheB), 6);
    const QString state = jobtest::storeState(cacheB);

    // Steps: 1 "$ready:", 2 "$count:".
    const QList<std::pair<QJsonArray, QByteArray>> listings {{QJsonArray {mine}, "$count:6"},
                                                             {QJsonArray {older, mine}, "$count:1"}};
    for (const auto& [listed, announced] : listings) {
        auto later = listing(b, listed);
        QVERIFY2(later->ok(), qPrintable(later->error));
        later->sim->addFault(Fault(Fault::Kind::WrongLineAt, u"backup:mms2"_s, 2, announced));
        Report report;
        AndroidLoadMessagesThread job(&later->device, &report);
        QVERIFY(jobtest::run(job));
        QVERIFY(report.succeeded());
        QCOMPARE(messageCount(cacheB), 6);
        QCOMPARE(transferStore(cacheA, later->device), kNothingSent);
        QCOMPARE(later->store->records(u"mms2"_s).size(), 0);
        QVERIFY2(report.successes().constFirst().contains(u"announced"_s), qPrintable(report.successes().join(u'|')));
        b = std::move(later);
    }
    QCOMPARE(jobtest::storeState(cacheB), state);
}

namespace {

// Faults of B's listing of two messages, by step: 1 "$ready:", 2
// "$count:", 3 "$batch:", 4 and 5 the messages' lines, 6 "$end:", 7 "$bye:".
Fault countLine(const QByteArray& line)
{
    return line.isEmpty() ? Fault(Fault::Kind::DropLineAt, u"backup:mms2"_s, 2)
                          : Fault(Fault::Kind::WrongLineAt, u"backup:mms2"_s, 2, line);
}

Fault lineAt(Fault::Kind kind, int step, const QByteArray& line)
{
    return Fault(kind, u"backup:mms2"_s, step, line);
}

} // namespace

void TestPictureCopies::load_whatAListingRemoves_data()
{
    using enum Fault::Kind;
    QTest::addColumn<QList<Fault>>("faults");
    QTest::addColumn<QString>("note"); // empty: the listing is whole
    QTest::newRow("no count line") << QList<Fault> {countLine({})} << QString();
    QTest::newRow("$count:0") << QList<Fault> {countLine("$count:0")} << QString();
    QTest::newRow("$count:x") << QList<Fault> {countLine("$count:x")} << QString();
    QTest::newRow("a total, then $count:0 at the end")
        << QList<Fault> {lineAt(LineBeforeAt, 7, "$count:0")} << QString();
    QTest::newRow("a wrong total, then the right one after the batch")
        << QList<Fault> {countLine("$count:5"), lineAt(LineBeforeAt, 7, "$count:2")} << QString();

    const QString keeps = u"; the cache keeps the messages it did not list until a complete listing."_s;
    QTest::newRow("short of its total") << QList<Fault> {countLine("$count:3")}
                                        << u"The phone announced 3 messages but listed 2"_s + keeps;
    QTest::newRow("past its total") << QList<Fault> {countLine("$count:1")}
                                    << u"The phone announced 1 message but listed 2"_s + keeps;
    QTest::newRow("the last count line differs") << QList<Fault> {lineAt(LineBeforeAt, 7, "$count:4")}
                                                 << u"The phone announced 4 messages but listed 2"_s + keeps;
    QTest::newRow("a garbled message line, no total") << QList<Fault> {countLine({}), lineAt(WrongLineAt, 4, "garbage")}
                                                      << u"1 line of the phone's listing could not be read"_s + keeps;
    QTest::newRow("a message line cut short, $count:0")
        << QList<Fault> {countLine("$count:0"), lineAt(WrongLineAt, 4, "$sms:1,0")}
        << u"1 line of the phone's listing could not be read"_s + keeps;
    // The line of "kept" with a field that is not Base64 of UTF-8: read
    // leniently, each is another message than the phone's.
    const QList<std::pair<const char*, QByteArray>> damaged {
        {"a text outside Base64", "$sms:1700000020000,0,KzQ5MzAyMjI=,,kept!,"},
        {"a text with padding inside", "$sms:1700000020000,0,KzQ5MzAyMjI=,,a2U=cHQ=,"},
        {"a text that is not UTF-8", "$sms:1700000020000,0,KzQ5MzAyMjI=,,//4=,"},
        {"a number that is not encoded", "$sms:1700000020000,0,+4930222,,a2VwdA==,"}};
    for (const auto& [name, line] : damaged)
        QTest::newRow(name) << QList<Fault> {lineAt(WrongLineAt, 4, line)}
                            << u"1 line of the phone's listing could not be read"_s + keeps;
}

// B held two messages, deleted one and received another. A whole listing
// (also one with no usable total, or the right one last) takes the deleted
// one out of the cache without a word, and a transfer of B's earlier backup
// sends it again, once. A listing that delivers another number than the
// last total it announced, or holds a message line that cannot be read,
// cannot tell what the phone holds: the cache keeps every message and the
// load says why, with the numbers.
void TestPictureCopies::load_whatAListingRemoves()
{
    QFETCH(QList<Fault>, faults);
    QFETCH(QString, note);
    static int row = 40;
    const QJsonObject deleted = phoneMessage(1700000010, kBob, u"deleted"_s);
    const QJsonObject kept = phoneMessage(1700000020, kBob, u"kept"_s);
    START_PHONE(b, u"127.0.115.%1"_s.arg(++row), QJsonObject {{u"messages"_s, QJsonArray {deleted, kept}}});
    QVERIFY(load(b->device));
    const QString cacheB = b->device.cacheDir().absolutePath();
    const QString folder = testsupport::makeTempDir(u"backupOfB"_s);
    QCOMPARE(backUpStore(cacheB, folder), u"Successfully backup 2 messages."_s);

    auto later = listing(b, {kept, phoneMessage(1700000030, kBob, u"added"_s)});
    QVERIFY2(later->ok(), qPrintable(later->error));
    for (const Fault& fault : std::as_const(faults))
        later->sim->addFault(fault);
    Report report;
    AndroidLoadMessagesThread job(&later->device, &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.errors(), QStringList());
    QCOMPARE(report.successes(), QStringList {note});
    QVERIFY(!report.progressTexts().join(u'|').contains(u"-1"_s));
    const MsgDataSetPtr cached = jobtest::loadStore(cacheB, u"262"_s);
    QStringList texts;
    for (const _MsgMessage* m : std::as_const(cached->messages))
        texts << m->text;
    const QStringList expected
        = note.isEmpty() ? QStringList {u"added"_s, u"kept"_s} : QStringList {u"added"_s, u"deleted"_s, u"kept"_s};
    QCOMPARE(sorted(texts), expected);

    if (note.isEmpty()) {
        const QString sent = transferStore(folder, later->device);
        QVERIFY2(sent.startsWith(u"Successfully restored 1 Messages to Android."_s), qPrintable(sent));
    }
    QCOMPARE(transferStore(folder, later->device), u"Nothing was sent: Android already holds these 2 Messages."_s);
    QCOMPARE(later->store->records(u"mms2"_s).size(), note.isEmpty() ? 1 : 0);
}

// B's photo, a message without text, is read whole. A later listing
// damages its line's text and announces its part: the load answers that it
// wants no part, so the phone goes on, and keeps the cache as it was.
void TestPictureCopies::load_aDamagedLineThatAnnouncesParts_fetchesNothing()
{
    const QJsonArray onB {phoneMessage(1700000100, kAnn, QString(), {{u"photo.jpg"_s, photo(320, 240, "JPG", 5)}}),
                          phoneMessage(1700000200, kAnn, u"later"_s)};
    START_PHONE(b, u"127.0.115.34"_s, QJsonObject {{u"messages"_s, onB}});
    {
        Report report;
        AndroidLoadMessagesThread job(&b->device, &report);
        QVERIFY(jobtest::run(job));
        QCOMPARE(report.successes(), QStringList {QString()});
    }
    const QString cacheB = b->device.cacheDir().absolutePath();
    const QString state = jobtest::storeState(cacheB);

    auto later = listing(b, onB);
    QVERIFY2(later->ok(), qPrintable(later->error));
    // Steps: 1 "$ready:", 2 "$count:", 3 "$batch:", 4 the photo's line.
    later->sim->addFault(lineAt(Fault::Kind::WrongLineAt, 4, "$sms:1700000100000,0,KzQ5MzAxMTE=,,kept!,,1"));
    Report report;
    AndroidLoadMessagesThread job(&later->device, &report);
    QVERIFY(jobtest::run(job));
    QVERIFY2(report.successes().value(0).startsWith(u"1 line of the phone's listing could not be read"_s),
             qPrintable(report.successes().join(u'|') + report.errors().join(u'|')));
    QCOMPARE(fetches(*later), 0);
    QCOMPARE(jobtest::storeState(cacheB), state);
}

// B's load takes the phone's copy of A's photo into the cache, then breaks
// off, garbles the listing's end or is cancelled: the cache keeps the
// picture it held, file and rows, and the next load takes the copy.
void TestPictureCopies::load_thatFailsAfterTakingThePhonesCopy_leavesTheCacheAsItWas()
{
    const QJsonArray onA {phoneMessage(1700000100, kAnn, QString(), {{u"photo.jpg"_s, photo(1600, 1200, "JPG", 9)}}),
                          phoneMessage(1700000200, kAnn, u"later"_s)};
    START_PHONE(a, u"127.0.115.17"_s, QJsonObject {{u"messages"_s, onA}});
    START_PHONE(b, u"127.0.115.18"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    QCOMPARE(transferStore(a->device.cacheDir().absolutePath(), b->device),
             u"Successfully restored 2 Messages to Android."_s);
    const QString cacheB = b->device.cacheDir().absolutePath();
    const QStringList before = cachedPictures(cacheB);
    const QString state = jobtest::storeState(cacheB);
    // Steps: 1 ready, 2 count, 3 batch, 4 the photo's message, 5 its
    // "$atta:", 6 its data, 7 its end, 8 the text.
    for (const Fault::Kind kind : {Fault::Kind::CloseAt, Fault::Kind::StallAt}) {
        b->sim->addFault(Fault(kind, u"backup:mms2"_s, 8, "cut"));
        Report report;
        AndroidLoadMessagesThread job(&b->device, &report);
        if (kind == Fault::Kind::StallAt) {
            const qsizetype answers = b->sim->linesReceived(u"mms2"_s).count("1");
            CHECKED(jobtest::cancelWhenStalled(job, report,
                                               [&] { return b->sim->linesReceived(u"mms2"_s).count("1") > answers; }));
            b->sim->releaseStalls();
        } else {
            QVERIFY(jobtest::run(job));
            QCOMPARE(report.errors().size(), 1);
        }
        QCOMPARE(cachedPictures(cacheB), before);
        QCOMPARE(jobtest::storeState(cacheB), state);
    }
    QVERIFY(load(b->device));
    QCOMPARE(cachedPictures(cacheB), sentPictures(*b));
    QVERIFY(cachedPictures(cacheB) != before);
}

// A message sent to B that B no longer lists (deleted there, or never
// kept) leaves B's cache with the next load, and the next transfer sends
// it again.
void TestPictureCopies::load_aTransferredMessageThePhoneDoesNotGiveBack_leavesTheCache()
{
    const QJsonArray onA {phoneMessage(1700000100, kAnn, QString(), {{u"photo.jpg"_s, photo(1600, 1200, "JPG", 4)}})};
    START_PHONE(a, u"127.0.115.12"_s, QJsonObject {{u"messages"_s, onA}});
    START_PHONE(b, u"127.0.115.13"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    QCOMPARE(transferStore(cacheA, b->device), u"Successfully restored 1 Messages to Android."_s);
    const QString cacheB = b->device.cacheDir().absolutePath();
    QCOMPARE(messageCount(cacheB), 1);

    auto later = listing(b, {});
    QVERIFY2(later->ok(), qPrintable(later->error));
    for (int round = 1; round <= 2; ++round) {
        QVERIFY(load(later->device));
        QCOMPARE(messageCount(cacheB), 0);
        QCOMPARE(cachedPictures(cacheB), QStringList());
    }
    const QString folder = testsupport::makeTempDir(u"backupOfB"_s);
    QCOMPARE(backUpStore(cacheB, folder), u"Successfully backup 0 messages."_s);
    QCOMPARE(transferStore(cacheA, later->device), u"Successfully restored 1 Messages to Android."_s);
    QCOMPARE(later->store->records(u"mms2"_s).size(), 1);
}

// B held two like pictures (one number, second and name) and lost the
// second before A's like picture was sent to it: the phone lists A's in the
// second's place. The load finds it there, B's cache holds what B does,
// and A's picture is not sent again.
void TestPictureCopies::load_aTransferredPictureListedInTheRecordedPlaceOfAnother_isFound()
{
    const auto like = [](const QByteArray& bytes) {
        return phoneMessage(1700000100, kBob, QString(), {{u"image.jpg"_s, bytes}});
    };
    const QByteArray first = photo(800, 600, "JPG", 6);
    const QByteArray second = photo(800, 600, "JPG", 7);
    START_PHONE(a, u"127.0.115.15"_s, QJsonObject {{u"messages"_s, QJsonArray {like(photo(800, 600, "JPG", 8))}}});
    START_PHONE(b, u"127.0.115.16"_s, QJsonObject {{u"messages"_s, QJsonArray {like(first), like(second)}}});
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    auto later = listing(b, {like(first)});
    QVERIFY2(later->ok(), qPrintable(later->error));
    const QString cacheA = a->device.cacheDir().absolutePath();
    QCOMPARE(transferStore(cacheA, later->device), u"Successfully restored 1 Messages to Android."_s);

    const QString cacheB = later->device.cacheDir().absolutePath();
    const QStringList heldByB
        = sorted(QStringList {pictureLine(1700000100, kBob, u"image.jpg"_s, first)} + sentPictures(*later));
    for (int round = 1; round <= 2; ++round) {
        QVERIFY(load(later->device));
        QVERIFY2(cachedPictures(cacheB) == heldByB, qPrintable(cachedPictures(cacheB).join(u'\n')));
    }
    QCOMPARE(transferStore(cacheA, later->device), u"Nothing was sent: Android already holds these 1 Messages."_s);
    QCOMPARE(later->store->records(u"mms2"_s).size(), 1);
}

// A picture whose file went from the cache is fetched by the next load, and
// a backup then holds it whole.
void TestPictureCopies::load_aPictureWhoseCacheFileIsGone_isFetchedAgain()
{
    const QByteArray pictureBytes = photo(800, 600, "JPG", 5);
    const QJsonArray messages {phoneMessage(1700000100, kAnn, u"hello"_s),
                               phoneMessage(1700000200, kAnn, QString(), {{u"photo.jpg"_s, pictureBytes}}),
                               phoneMessage(1700000200, kAnn, QString(), {{u"photo.jpg"_s, "another photo"}})};
    START_PHONE(phone, u"127.0.115.14"_s, QJsonObject {{u"messages"_s, messages}});
    QVERIFY(load(phone->device));
    const QString cache = phone->device.cacheDir().absolutePath();
    const QStringList whole = cachedPictures(cache);
    QCOMPARE(whole.size(), 2);
    MsgDataSetPtr ds = jobtest::loadStore(cache);
    QString lost;
    for (const _MsgAttachment* att : std::as_const(ds->attachments)) {
        if (testsupport::readFile(att->localPath) == pictureBytes)
            lost = att->localPath;
    }
    QVERIFY(QFile::remove(lost));

    QVERIFY(load(phone->device));
    QCOMPARE(fetches(*phone), 1);
    QCOMPARE(testsupport::readFile(lost), pictureBytes);
    QCOMPARE(cachedPictures(cache), whole);
    QVERIFY(load(phone->device));
    QCOMPARE(fetches(*phone), 0);
    const QString folder = testsupport::makeTempDir(u"backup"_s);
    QCOMPARE(backUpStore(cache, folder), u"Successfully backup 3 messages."_s);
    QCOMPARE(cachedPictures(folder), whole);
}

// A's photos of the shapes phones take go to B: turned upright as their
// orientation says, and scaled. A photo whose unturned copy B holds from an
// earlier version counts as held. Loads, a cache made anew and transfers
// back to A send nothing again.
void TestPictureCopies::transfer_ofPhotosOfEveryShape_arrivesUpright_andGoesOnce()
{
    // A red corner where the camera's first row and column meet.
    const auto marked = [](int width, int height, int seed, int orientation = 1) {
        QImage image = testpictures::detailedPhoto(width, height, seed);
        for (int y = 0; y < height / 8; ++y)
            for (int x = 0; x < width / 8; ++x)
                image.setPixel(x, y, qRgb(255, 0, 0));
        const QByteArray bytes = testpictures::encoded(image, "JPG");
        return orientation == 1 ? bytes : testpictures::withOrientation(bytes, orientation);
    };
    struct Shape {
        QString name;
        QByteArray bytes;
        QSize sent;
    };
    const QList<Shape> shapes {
        {u"wide.jpg"_s, marked(1920, 1080, 20), QSize(1080, 608)},
        {u"wider.jpg"_s, marked(4000, 2250, 21), QSize(1080, 608)},
        {u"tall.jpg"_s, marked(1080, 1920, 22), QSize(608, 1080)},
        {u"right.jpg"_s, marked(4000, 3000, 23, 6), QSize(810, 1080)},
        {u"left.jpg"_s, marked(4000, 3000, 24, 8), QSize(810, 1080)},
        {u"classic.jpg"_s, marked(3000, 2000, 25), QSize(1080, 720)},
        {u"square.jpg"_s, marked(2000, 2000, 26), QSize(1080, 1080)},
        {u"panorama.jpg"_s, marked(8000, 2000, 27), QSize(1080, 270)},
    };
    const QString files = testsupport::makeTempDir(u"shapes"_s);
    QJsonArray onA;
    QJsonArray onB;
    for (qsizetype i = 0; i < shapes.size(); ++i) {
        const Shape& shape = shapes.at(i);
        onA.append(phoneMessage(1700000000 + i * 60, kAnn, QString(), {{shape.name, shape.bytes}}));
        // B holds the copy an earlier version sent of the photo turned right.
        if (shape.name == u"right.jpg"_s) {
            const QString path = files + u"/"_s + shape.name;
            QVERIFY(jobtest::writeFile(path, shape.bytes));
            const EncodedImage earlier = encodeImage(path, u"image/jpeg"_s, true);
            QCOMPARE(QImage::fromData(earlier.unturned).size(), QSize(1080, 810));
            onB.append(phoneMessage(1700000000 + i * 60, kAnn, QString(), {{shape.name, earlier.unturned}}));
        }
    }
    START_PHONE(a, u"127.0.115.28"_s, QJsonObject {{u"messages"_s, onA}});
    START_PHONE(b, u"127.0.115.29"_s, QJsonObject {{u"messages"_s, onB}});
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    QCOMPARE(
        transferStore(cacheA, b->device),
        u"Successfully restored 7 Messages to Android.<br/>1 Messages were on Android already and were not sent again."_s);

    QHash<QString, QImage> received;
    for (const QVariantMap& m : b->store->records(u"mms2"_s)) {
        for (const QVariant& v : m.value(u"attachments"_s).toList())
            received.insert(
                v.toMap().value(u"name"_s).toString(),
                QImage::fromData(QByteArray::fromBase64(v.toMap().value(u"base64"_s).toString().toLatin1())));
    }
    QCOMPARE(received.size(), 7);
    for (const Shape& shape : shapes) {
        if (!received.contains(shape.name))
            continue;
        const QImage& image = received.value(shape.name);
        QVERIFY2(image.size() == shape.sent, qPrintable(shape.name));
    }
    const auto red = [](const QImage& image, int x, int y) {
        return qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 60;
    };
    QVERIFY(red(received.value(u"wide.jpg"_s), 10, 10));
    QVERIFY(red(received.value(u"left.jpg"_s), 10, 1069)); // turned left: the corner at the bottom
    QVERIFY(!red(received.value(u"left.jpg"_s), 10, 10));

    for (int round = 1; round <= 3; ++round) {
        if (round == 2)
            removeDir(cacheB);
        QVERIFY(load(b->device));
        QCOMPARE(transferStore(cacheA, b->device), u"Nothing was sent: Android already holds these 8 Messages."_s);
        QCOMPARE(b->store->records(u"mms2"_s).size(), 7);
        QCOMPARE(transferStore(cacheB, a->device), u"Nothing was sent: Android already holds these 8 Messages."_s);
        QCOMPARE(a->store->records(u"mms2"_s).size(), 0);
    }
}

// A's black-and-white picture (one bit a pixel, of a width the bits of a
// byte do not divide, as a QR code's) and a colour one go to B. B's cache
// is made anew, three times: each transfer that follows finds both on the
// phone, and B holds each once.
void TestPictureCopies::transfer_ofABlackAndWhitePicture_afterBsCacheWasMadeAnew_goesOnce()
{
    const QJsonArray onA {
        phoneMessage(1700000100, kAnn, QString(), {{u"code.png"_s, testpictures::pngOf(203, 206, 0, 1)}}),
        phoneMessage(1700000200, kBob, QString(), {{u"image.png"_s, photo(560, 400, "PNG", 5)}})};
    START_PHONE(a, u"127.0.115.64"_s, QJsonObject {{u"messages"_s, onA}});
    START_PHONE(b, u"127.0.115.65"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    QCOMPARE(transferStore(cacheA, b->device), u"Successfully restored 2 Messages to Android."_s);
    for (int cycle = 1; cycle <= 3; ++cycle) {
        removeDir(cacheB);
        QVERIFY(load(b->device));
        QCOMPARE(transferStore(cacheA, b->device), u"Nothing was sent: Android already holds these 2 Messages."_s);
        QVERIFY2(b->store->records(u"mms2"_s).size() == 2, qPrintable(u"cycle %1"_s.arg(cycle)));
    }
}

QTEST_GUILESS_MAIN(TestPictureCopies)
#include "test_picturecopies.moc"
