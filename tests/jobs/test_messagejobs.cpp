// The message jobs. Backup and delete work on the store of a folder: what
// they store and remove, what a cancel or a failure leaves, and attachment
// files that belong to several messages. The transfer goes to a simulated
// phone that checks every line: the default-app handshake, batches, pictures
// scaled or sent as they are, attachments that cannot go, the cache holding
// exactly what the phone acknowledged, and a round trip through a second
// phone. Pictures go from phone to phone under the names the first gave
// them, and the second phone's loads (also failing ones) and a retry after
// a failed batch keep every picture once.
#include "jobs/androidrestoremessagesthread.h"
#include "jobs/backupmmsthread.h"
#include "jobs/deletemmsthread.h"
#include "phonelink/androidloadmessagesthread.h"

#include "shell/core/fileutils.h"

#include "../messagestore/killedwriter.h"
#include "hiddendamage.h"
#include "message_testdata.h"
#include "messagejobtest.h"

#include <QBuffer>
#include <QDirIterator>
#include <QJsonArray>
#include <QtEndian>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace messagejobtest;
using phonesim::Fault;

namespace {

constexpr int kBase = 721692800;

// A 2x1 GIF: no decoder for scaling is tried on it, it goes as it is.
const QByteArray kGif = QByteArray::fromBase64("R0lGODlhAgABAIAAAP8AAAAA/ywAAAAAAgABAAACAkQBADs=");

// Ann: a text and a message of hers sharing one picture file, a message
// whose video is gone; Bob: a message whose attachment row names a file
// outside the store, and one more; a message whose conversation and
// counterpart are unknown.
void buildMessages(MessageSet& s, const QString& files, int from = 0)
{
    auto* ann = s.handle(u"+4930111"_s, u"Ann"_s);
    auto* bob = s.handle(u"+4930222"_s);
    auto* a = s.chat(ann->id, {ann}, kBase + 300);
    auto* b = s.chat(bob->id, {bob}, kBase + 900);
    const QString pic = writePicture(files + u"/pic%1.jpg"_s.arg(from), Qt::red);
    s.attach(s.message(a, ann, false, u"hello %1"_s.arg(from), kBase + from), u"image/jpeg"_s, pic);
    s.attach(s.message(a, nullptr, true, QString(), kBase + from + 10), u"image/jpeg"_s, pic);
    s.attach(s.message(a, ann, false, u"see file"_s, kBase + from + 20), u"video/mp4"_s,
             files + u"/gone%1.mp4"_s.arg(from));
    s.attach(s.message(b, bob, false, u"bob 1"_s, kBase + from + 30), u"text/plain"_s,
             writeFile(files + u"/outside.txt"_s, "keep me"))
        ->filename
        = u"~/../../outside.txt"_s;
    s.message(b, nullptr, true, u"bob 2"_s, kBase + from + 40);
    s.message(nullptr, nullptr, false, u"lost"_s, kBase + from + 50);
}

QString storeFile(const QString& folder, const QString& name)
{
    return folder + u"/file-relay/var/mobile/Library/SMS/Attachments/"_s + name;
}

// Every file below folder (links left out) with its bytes.
QMap<QString, QByteArray> filesBelow(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, testsupport::readFile(path));
    }
    return files;
}

// The journals of unfinished writes beside the store of folder.
QStringList journals(const QString& folder)
{
    return QDir(folder + u"/file-relay/var/mobile/Library/SMS"_s).entryList({u"sms.db-placing-*"_s}, QDir::Files);
}

// Cuts the cell count of the attachment table's right-most leaf page in
// half: a table scan no longer returns the newest rows, SQLite's quick check
// reports it.
bool hideNewestAttachments(const QString& folder)
{
    IOS6MessageDb store(QDir(folder), QString(), false);
    store.openReadOnly();
    const qint64 root
        = store.queryInt64Throw(Sqlite3Sql(u"select rootpage from sqlite_master where name='attachment'"_s));
    store.close();
    QFile file(store.dbPath());
    if (root <= 0 || !file.open(QIODevice::ReadWrite))
        return false;
    const auto read16 = [](const QByteArray& b, qsizetype at) { return (quint8(b[at]) << 8) | quint8(b[at + 1]); };
    QByteArray header = file.read(100);
    const qint64 pageSize = read16(header, 16) == 1 ? 65536 : read16(header, 16);
    for (qint64 page = root;;) {
        file.seek((page - 1) * pageSize);
        QByteArray bytes = file.read(pageSize);
        const qsizetype at = page == 1 ? 100 : 0;
        if (bytes.size() != pageSize)
            return false;
        if (quint8(bytes[at]) == 0x05) { // interior: to its right-most child
            page = qFromBigEndian<quint32>(bytes.constData() + at + 8);
            continue;
        }
        const int cells = read16(bytes, at + 3);
        if (quint8(bytes[at]) != 0x0D || cells < 2)
            return false;
        bytes[at + 3] = char((cells / 2) >> 8);
        bytes[at + 4] = char((cells / 2) & 0xFF);
        file.seek((page - 1) * pageSize);
        return file.write(bytes) == pageSize;
    }
}

// Makes the store in folder one of an earlier version, whose attachment
// rows keep nothing of their files' bytes.
void makeOlder(const QString& folder)
{
    IOS6MessageDb store(QDir(folder), QString(), false);
    store.open();
    store.executeThrow(u"ALTER TABLE attachment DROP COLUMN content_hash"_s);
    store.close();
}

QByteArray picture(int width, int height, const char* format, Qt::GlobalColor colour = Qt::darkGreen)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// n plain messages with Ann, a minute apart.
void addPlain(MessageSet& s, _MsgChat* chat, _MsgHandle* ann, int n)
{
    for (int i = 0; i < n; ++i)
        s.message(chat, ann, i % 2 == 0, u"message %1"_s.arg(i), kBase + 600 + i * 60);
}

// One line per stored message: date, direction, address, text, subject and
// its attachments (pictures by their size, other files by name and bytes).
QStringList summary(const QString& cacheFolder, bool scaled)
{
    MsgDataSetPtr ds = jobtest::loadStore(cacheFolder, u"262"_s);
    QStringList lines;
    for (const _MsgMessage* m : std::as_const(ds->messages)) {
        QStringList atts;
        for (const _MsgAttachment* a : getAttachments(m)) {
            const QString name = QFileInfo(a->localPath).fileName();
            if (a->mime_type.startsWith("image/jpeg"_L1)) {
                QSize size = QImage(a->localPath).size();
                if (scaled && qMax(size.width(), size.height()) > 1080)
                    size.scale(1080, 1080, Qt::KeepAspectRatio);
                atts << u"%1 %2x%3"_s.arg(name).arg(size.width()).arg(size.height());
            } else {
                atts << name + u' ' + QString::fromLatin1(testsupport::readFile(a->localPath).toHex());
            }
        }
        lines << u"%1|%2|%3|%4|%5|%6"_s.arg(m->date)
                     .arg(m->is_from_me)
                     .arg(m->handle ? m->handle->id : QString(), m->text, m->subject, atts.join(u';'));
    }
    lines.sort();
    return lines;
}

// A phone with a text and three pictures in one message, two picture
// messages from one number within one second, a message whose two parts
// are both named photo.jpg, and a text; plain texts before them.
QJsonArray picturePhone(int texts)
{
    QJsonArray messages;
    for (int i = 0; i < texts; ++i)
        messages.append(phoneMessage(1699990000 + i * 60, u"+4930444"_s, u"text %1"_s.arg(i)));
    messages.append(phoneMessage(
        1700000000, u"+4930111"_s, u"Look"_s,
        {{u"mms0.jpg"_s, "picture one"}, {u"mms1.jpg"_s, "picture two"}, {u"mms2.jpg"_s, "picture three"}}));
    messages.append(phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"a.png"_s, "first of a second"}}));
    messages.append(phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"b.png"_s, "second of a second"}}));
    messages.append(phoneMessage(1700000200, u"+4930333"_s, QString(),
                                 {{u"photo.jpg"_s, "first photo"}, {u"photo.jpg"_s, "second photo"}}));
    messages.append(phoneMessage(1700000300, u"+4930111"_s, u"bye"_s));
    return messages;
}

// One line per stored message: date, direction, address, text and each
// attachment by the name the phone gave it and its bytes.
QStringList storedParts(const QString& cacheFolder)
{
    MsgDataSetPtr ds = jobtest::loadStore(cacheFolder, u"262"_s);
    QStringList lines;
    for (const _MsgMessage* m : std::as_const(ds->messages)) {
        QStringList atts;
        for (const _MsgAttachment* a : getAttachments(m))
            atts << a->transfer_name + u'=' + QString::fromLatin1(testsupport::readFile(a->localPath));
        lines << u"%1|%2|%3|%4|%5"_s.arg(m->date)
                     .arg(m->is_from_me)
                     .arg(m->handle ? m->handle->id : QString(), removeObjReplacementChars(m), atts.join(u';'));
    }
    lines.sort();
    return lines;
}

// What the phone was sent, one line per message: date, address, body and
// each part by name and bytes.
QStringList phoneParts(const testsupport::SimPhone& phone)
{
    QStringList lines;
    for (const QVariantMap& m : phone.store->records(u"mms2"_s)) {
        QStringList atts;
        for (const QVariant& v : m.value(u"attachments"_s).toList())
            atts << v.toMap().value(u"name"_s).toString() + u'='
                    + QString::fromLatin1(QByteArray::fromBase64(v.toMap().value(u"base64"_s).toString().toLatin1()));
        lines << u"%1|%2|%3|%4"_s.arg(m.value(u"dateMs"_s).toLongLong())
                     .arg(m.value(u"address"_s).toString(), m.value(u"body"_s).toString(), atts.join(u';'));
    }
    lines.sort();
    return lines;
}

// Forty picture messages with Ann, their files in files, backed up into
// folder; false when the backup did not succeed.
bool backUpFortyPictures(MessageSet& s, const QString& files, const QString& folder)
{
    auto* ann = s.handle(u"+4930111"_s, u"Ann"_s);
    auto* chat = s.chat(ann->id, {ann}, kBase + 100);
    for (int i = 0; i < 40; ++i)
        s.attach(s.message(chat, ann, false, u"picture %1"_s.arg(i), kBase + i), u"image/jpeg"_s,
                 writeFile(files + u"/p%1.jpg"_s.arg(i), "picture " + QByteArray::number(i)));
    Report report;
    BackupMMSThread job(QDir(folder), u"262"_s, s.list(), &report);
    return jobtest::run(job) && report.succeeded();
}

// A load of device while the phone plays a fault of kind: a close ends it
// with an error, garbage for a picture's data with the count of messages
// not received intact, a stall (stalled() says when it waits) with a
// cancel. A checking helper.
[[nodiscard]] bool loadUnderFault(testsupport::SimPhone& phone, Fault::Kind kind, const std::function<bool()>& stalled,
                                  std::source_location at = std::source_location::current())
{
    Report report;
    AndroidLoadMessagesThread job(&phone.device, &report);
    if (kind == Fault::Kind::StallAt) {
        const bool cancelled = jobtest::cancelWhenStalled(job, report, stalled, at);
        phone.sim->releaseStalls();
        return cancelled;
    }
    HELPER_VERIFY(jobtest::run(job));
    if (kind == Fault::Kind::CloseAt)
        HELPER_COMPARE(report.errors().size(), 1);
    else
        HELPER_COMPARE(report.successes(),
                       QStringList {u"1 message could not be received intact and will be "
                                    "fetched again on the next load."_s});
    return true;
}

} // namespace

class TestMessageJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { jobtest::initJobTests(); }
    void init() { m_files = testsupport::makeTempDir(u"files"_s); }

    void backupAndDelete_keepTheStoreConsistent_andCancelsKeepNothingOfTheirRun();
    void transfer_handshakeBatchesAndAttachments_secondRunSendsNothing();
    void transfer_failures_keepExactlyTheAcknowledgedBatches_data();
    void transfer_failures_keepExactlyTheAcknowledgedBatches();
    void transfer_roundTripThroughAnEmptyPhone_givesTheOriginalsBack();
    void transfer_picturesToAnEmptyPhone_keepTheirNames_andReloadsStoreThemOnce();
    void transfer_retryAfterAFailedSecondBatch_sendsNothingTwice();
    void transfer_picturesOfTheSameNameNumberAndSecond_areToldApartByTheirBytes();
    void transfer_toAPhoneThatReceivedALikePictureSinceItsLoad_keepsBoth();
    void restore_ofTwoLikePicturesOneGoneFromThePhone_sendsThatOneAlone();
    void transfer_messagesWhosePiecesShareKeys_goOnce();
    void load_aGroupOfLikePicturesThatLosesOrGainsOne_keepsWhatThePhoneLists();
    void backup_aPictureMissingBefore_isCopiedByTheNextBackup_andWhatStillLacksIsNamed();
    void load_partNamesTooLongForAFileSystem_areShortenedToFit();
    void load_aPartTheCacheCannotTake_isFetchedAgain();
    void backup_intoAStoreCutToNothing_makesItsTables();
    void backup_intoAStoreThatCannotTellItsFiles_keepsEveryPicture_data();
    void backup_intoAStoreThatCannotTellItsFiles_keepsEveryPicture();
    void backup_neverReachesThroughALink();
    void backup_intoADamagedOlderStore_leavesItUnchanged();
    void backup_intoAnOlderStoreDamagedBeyondItsColumns_keepsEveryByte();
    void backup_intoADamagedOrReadOnlyCurrentStore_isRefused_andLeavesItUnchanged_data();
    void backup_intoADamagedOrReadOnlyCurrentStore_isRefused_andLeavesItUnchanged();

private:
    QString m_files;
};

void TestMessageJobs::backupAndDelete_keepTheStoreConsistent_andCancelsKeepNothingOfTheirRun()
{
    const QString folder = testsupport::makeTempDir(u"store"_s);
    MessageSet s;
    buildMessages(s, m_files);
    for (int round = 1; round <= 2; ++round) {
        Report report;
        BackupMMSThread job(QDir(folder), u"262"_s, s.list(), &report);
        QVERIFY(jobtest::run(job));
        QCOMPARE(report.successes(),
                 QStringList {
                     u"Successfully backup 6 messages.\n1 messages were left out: their conversation is "
                     "missing.\n2 attachment files were missing and could not be copied: gone0.mp4, outside.txt"_s});
        QCOMPARE(jobtest::storeState(folder), u"5/2/2/4 ok 0 0 0 0"_s);
    }
    const QString pic = storeFile(folder, u"pic0.jpg"_s);
    QVERIFY(QFile::exists(pic));

    // A cancel in the middle of new messages: none of them stays, nor the
    // picture they brought.
    MessageSet more;
    buildMessages(more, m_files, 5000);
    Report cancelled;
    cancelled.cancelWhenProgressContains(u"Messages:4 / 6"_s);
    BackupMMSThread job(QDir(folder), u"262"_s, more.list(), &cancelled);
    QVERIFY(jobtest::run(job));
    QCOMPARE(cancelled.endCount(), 0);
    QCOMPARE(jobtest::storeState(folder), u"5/2/2/4 ok 0 0 0 0"_s);
    QVERIFY(!QFile::exists(storeFile(folder, u"pic5000.jpg"_s)));

    MsgDataSetPtr ds = jobtest::loadStore(folder);
    QHash<QString, _MsgMessage*> byText;
    for (_MsgMessage* m : std::as_const(ds->messages))
        byText.insert(m->text, m);
    const QDir dir(folder);
    auto runDelete = [&](const MsgMessageList& list, Report& report) {
        DeleteMMSThread job(&dir, &list, &report);
        return jobtest::run(job);
    };
    // Where Bob's attachment row points, outside the store.
    const QString outside = writeFile(folder + u"/file-relay/outside.txt"_s, "keep me");
    // A delete cancelled before the first message changes nothing.
    const MsgMessageList three {byText[QString()], byText[u"bob 1"_s], byText[u"bob 2"_s]};
    Report stopped;
    stopped.cancel();
    QVERIFY(runDelete(three, stopped));
    QCOMPARE(stopped.endCount(), 0);
    QCOMPARE(jobtest::storeState(folder), u"5/2/2/4 ok 0 0 0 0"_s);
    // Ann's picture message goes, the picture stays for her text; Bob's
    // conversation goes whole, the file outside the store stays.
    Report deleted;
    QVERIFY(runDelete(three, deleted));
    QCOMPARE(deleted.successes(), QStringList {u"Successfully Deleted 3 Messages."_s});
    QCOMPARE(jobtest::storeState(folder), u"2/1/1/2 ok 0 0 0 0"_s);
    QVERIFY(QFile::exists(pic));
    QCOMPARE(testsupport::readFile(outside), QByteArray("keep me"));
    // The last message naming the picture takes it along.
    Report last;
    QVERIFY(runDelete({byText[u"hello 0"_s]}, last) && last.succeeded());
    QVERIFY(!QFile::exists(pic));
    QCOMPARE(jobtest::storeState(folder), u"1/1/1/1 ok 0 0 0 0"_s);

    // A store file that is no database: a clear error, the file as it was
    // and no attachment copied.
    const QString broken = testsupport::makeTempDir(u"broken"_s);
    const QString db = broken + u"/file-relay/var/mobile/Library/SMS/sms.db"_s;
    QDir().mkpath(QFileInfo(db).absolutePath());
    writeFile(db, QByteArray(4096, 'x'));
    Report failed;
    BackupMMSThread onBroken(QDir(broken), QString(), s.list(), &failed);
    QVERIFY(jobtest::run(onBroken));
    QCOMPARE(failed.errors().size(), 1);
    QVERIFY2(failed.errors().first().contains(u"not a database"_s), qPrintable(failed.errors().first()));
    QCOMPARE(testsupport::readFile(db), QByteArray(4096, 'x'));
    QVERIFY(!QFile::exists(storeFile(broken, u"pic0.jpg"_s)));
}

void TestMessageJobs::transfer_handshakeBatchesAndAttachments_secondRunSendsNothing()
{
    START_PHONE(phone, u"127.0.114.1"_s, QJsonObject {{u"defaultSmsApp"_s, 1}});
    MessageSet s;
    auto* ann = s.handle(u"+4930111"_s, u"Ann"_s);
    auto* chat = s.chat(ann->id, {ann}, kBase);
    // Every kind of attachment, and two that cannot go.
    auto* rich = s.message(chat, ann, false, u"with\uFFFCfiles"_s, kBase);
    const QByteArray video = QByteArray(1200 * 1024, 'v') + "end";
    s.attach(rich, u"image/jpeg"_s, writeFile(m_files + u"/big.jpg"_s, picture(2160, 1440, "JPG")));
    s.attach(rich, u"image/png"_s, writeFile(m_files + u"/small.png"_s, picture(300, 200, "PNG")));
    s.attach(rich, u"image/gif"_s, writeFile(m_files + u"/anim.gif"_s, kGif));
    s.attach(rich, u"video/mp4"_s, writeFile(m_files + u"/clip.mp4"_s, video));
    s.attach(rich, u"text/plain"_s, writeFile(m_files + u"/a,b.txt"_s, "comma"));
    s.attach(rich, u"video/mp4"_s, m_files + u"/gone.mp4"_s);
    s.attach(rich, u"text/plain"_s, writeFile(m_files + u"/line\nbreak.txt"_s, "never sent"));
    // Nothing of it can go: not sent at all.
    s.attach(s.message(chat, ann, true, QString(), kBase + 10), u"image/jpeg"_s, QString())->filename
        = u"~/../../outside.jpg"_s;
    // The same text twice: sent once; a message whose conversation is gone.
    s.message(chat, ann, false, u"twice"_s, kBase + 20);
    s.message(chat, ann, false, u"twice"_s, kBase + 20);
    s.message(nullptr, ann, true, u"no conversation"_s, kBase + 30);
    addPlain(s, chat, ann, 145);
    // What a phone cannot take.
    s.message(chat, ann, false, QString(), kBase + 40)->item_type = 2;
    s.message(chat, nullptr, false, u"nobody"_s, kBase + 50);

    // The second time the message with files is on the phone already. (The
    // first result names "line\nbreak.txt" with its line feed.)
    const QStringList results
        = QString::fromUtf8(
              testsupport::readFile(testsupport::sourceDir() + u"/tests/jobs/data/transfer_messages_results.txt"_s))
              .split(u"\n\n"_s);
    for (int round = 1; round <= 2; ++round) {
        Report report;
        QVERIFY(transfer(phone->device, s.list(), &report));
        QCOMPARE(report.successes(), QStringList {results.at(round - 1).trimmed()});
        QCOMPARE(report.tips().size(), 1);
        QVERIFY(report.tips().first().startsWith(u"Please click \"YES\" to temporarily set"_s));
        QCOMPARE(report.progressTexts().last(), u"Messages:150 / 150"_s);
        QCOMPARE(phone->verdict(round), QString());
    }
    // Batches of 100 and 50 counted messages; the second run sent none.
    QCOMPARE(phone->store->batchSizes(u"mms2"_s), (QList<int> {98, 50, 0, 0}));
    const QList<QByteArray> lines = phone->sim->linesReceived(u"mms2"_s);
    QCOMPARE(lines.at(0), QByteArray("$defsmsapp:"));
    const qsizetype second = lines.indexOf("$bye:") + 1;
    QVERIFY(second > 0);
    QCOMPARE(jobtest::countPrefix(lines.mid(second), "$sms:"), 0);

    const QList<QVariantMap> received = phone->store->records(u"mms2"_s);
    QCOMPARE(received.size(), 148);
    QCOMPARE(received.first().value(u"body"_s).toString(), u"withfiles"_s);
    QStringList names;
    QList<QByteArray> data;
    for (const QVariant& v : received.first().value(u"attachments"_s).toList()) {
        names << v.toMap().value(u"mime"_s).toString() + u' ' + v.toMap().value(u"name"_s).toString();
        data << QByteArray::fromBase64(v.toMap().value(u"base64"_s).toString().toLatin1());
    }
    QCOMPARE(names,
             (QStringList {u"image/jpeg big.jpg"_s, u"image/png small.png"_s, u"image/gif anim.gif"_s,
                           u"video/mp4 clip.mp4"_s, u"text/plain a,b.txt"_s}));
    QCOMPARE(QImage::fromData(data.at(0), "JPG").size(), QSize(1080, 720));
    QVERIFY(data.at(1).startsWith("\x89PNG"));
    QCOMPARE(data.at(2), kGif);
    QCOMPARE(data.at(3), video);
    QCOMPARE(data.at(4), QByteArray("comma"));
    // The video goes in blocks of 512 KiB: three data lines.
    QCOMPARE(lines.at(lines.indexOf("$atta:video/mp4,clip.mp4") + 4), QByteArray("."));

    // The cache holds what was sent, once, in a sound store.
    const QString cache = jobtest::storeState(phone->device.cacheDir().absolutePath());
    QVERIFY2(cache.startsWith("148/1/1/"_L1) && cache.endsWith(" ok 0 0 0 0"_L1), qPrintable(cache));
}

void TestMessageJobs::transfer_failures_keepExactlyTheAcknowledgedBatches_data()
{
    // Step 1 "$ready:", 2 "$defsmsapp:0", 3 the first batch's acknowledgement,
    // 4 the picture's in the second batch, 5 the second batch's, 6 the third's.
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("cancelAt");
    QTest::addColumn<QString>("error"); // "*": any one error
    QTest::addColumn<QString>("cached"); // the state of the phone's cache
    QTest::addColumn<int>("onPhone");
    QTest::newRow("phone error in the third batch")
        << Fault(Fault::Kind::ErrorAt, u"mms2"_s, 6, "Storage is full") << QString() << u"Storage is full"_s
        << u"200/1/1/1 ok 0 0 0 0"_s << 200;
    QTest::newRow("garbage for an acknowledgement")
        << Fault(Fault::Kind::WrongLineAt, u"mms2"_s, 3, "garbage") << QString()
        << u"invalid feedback [garbage], must be [$batch:]"_s << u"0/0/0/0 ok 0 0 0 0"_s << 100;
    QTest::newRow("garbage for the handshake")
        << Fault(Fault::Kind::WrongLineAt, u"mms2"_s, 2, "$hello:") << QString()
        << u"invalid feedback [$hello:], must be [$defsmsapp:]"_s << u"0/0/0/0 ok 0 0 0 0"_s << 0;
    QTest::newRow("stall in the third batch, then cancel")
        << Fault(Fault::Kind::StallAt, u"mms2"_s, 6) << u"Messages:250 / 250"_s << QString()
        << u"200/1/1/1 ok 0 0 0 0"_s << 200;
    QTest::newRow("closed inside an attachment")
        << Fault(Fault::Kind::CloseAt, u"mms2"_s, 4, "$ba") << QString() << u"*"_s << u"100/1/1/0 ok 0 0 0 0"_s << 100;
}

void TestMessageJobs::transfer_failures_keepExactlyTheAcknowledgedBatches()
{
    QFETCH(Fault, fault);
    QFETCH(QString, cancelAt);
    QFETCH(QString, error);
    QFETCH(QString, cached);
    QFETCH(int, onPhone);
    static int row = 10;
    START_PHONE(phone, u"127.0.114.%1"_s.arg(++row));
    phone->sim->addFault(fault);
    MessageSet s;
    auto* ann = s.handle(u"+4930111"_s);
    auto* chat = s.chat(ann->id, {ann}, kBase);
    addPlain(s, chat, ann, 250);
    s.attach(s.messages.at(150).get(), u"image/png"_s, writeFile(m_files + u"/p.png"_s, picture(10, 10, "PNG")));

    Report report;
    if (!cancelAt.isEmpty())
        report.cancelWhenProgressContains(cancelAt);
    QVERIFY(transfer(phone->device, s.list(), &report));
    QCOMPARE(report.successes(), QStringList());
    if (error == "*"_L1)
        QCOMPARE(report.errors().size(), 1);
    else
        QCOMPARE(report.errors(), error.isEmpty() ? QStringList() : QStringList {error});
    QCOMPARE(jobtest::storeState(phone->device.cacheDir().absolutePath()), cached);
    phone->sim->releaseStalls();
    QTRY_COMPARE_WITH_TIMEOUT(phone->store->records(u"mms2"_s).size(), onPhone, testsupport::kHangGuardMs);
    QCOMPARE(phone->store->completedSessions(u"mms2"_s), 0);
}

void TestMessageJobs::transfer_roundTripThroughAnEmptyPhone_givesTheOriginalsBack()
{
    // Texts, a subject, a vCard and a GIF from the data file, and a photo
    // large enough to be scaled.
    QJsonArray messages
        = testsupport::fixtureFile(u"tests/jobs/data/roundtrip_messages.json"_s)[u"messages"_s].toArray();
    const QJsonObject photo {{u"name"_s, u"photo.jpg"_s},
                             {u"mime"_s, u"image/jpeg"_s},
                             {u"base64"_s, QString::fromLatin1(picture(2000, 1500, "JPG").toBase64())}};
    messages.append(QJsonObject {{u"id"_s, 3},
                                 {u"thread"_s, 1},
                                 {u"address"_s, u"+4930222"_s},
                                 {u"date"_s, 1700000180},
                                 {u"type"_s, 1},
                                 {u"body"_s, QString()},
                                 {u"attachments"_s, QJsonArray {photo}}});
    START_PHONE(source, u"127.0.114.2"_s, QJsonObject {{u"messages"_s, messages}});
    START_PHONE(target, u"127.0.114.3"_s);
    QVERIFY(load(source->device));
    QVERIFY(load(target->device));

    const QString sourceCache = source->device.cacheDir().absolutePath();
    MsgDataSetPtr ds = jobtest::loadStore(sourceCache, u"262"_s);
    Report report;
    QVERIFY(transfer(target->device, getDataSetMessages(*ds), &report));
    QCOMPARE(report.successes(), QStringList {u"Successfully restored 7 Messages to Android."_s});
    QCOMPARE(target->verdict(2), QString());

    // What the second phone holds now, read into a cache of its own.
    AndroidDeviceInfo fresh = target->device;
    fresh.imei = u"round-trip"_s;
    QVERIFY(load(fresh));
    const QStringList back = summary(fresh.cacheDir().absolutePath(), false);
    QCOMPARE(back.size(), 7);
    QCOMPARE(back, summary(sourceCache, true));

    // The target's own cache, filled by the transfer, loaded again: every
    // picture stays once, and a further load changes nothing.
    const QString targetCache = target->device.cacheDir().absolutePath();
    QVERIFY(load(target->device));
    QCOMPARE(summary(targetCache, true), back);
    const QString state = jobtest::storeState(targetCache);
    QVERIFY(load(target->device));
    QCOMPARE(jobtest::storeState(targetCache), state);
    QCOMPARE(summary(targetCache, true), back);
}

// Phone A's pictures go to an empty phone B under the names A gave them,
// and B's loads know them for the messages its cache holds: each message
// and picture once, however often B is loaded.
void TestMessageJobs::transfer_picturesToAnEmptyPhone_keepTheirNames_andReloadsStoreThemOnce()
{
    START_PHONE(a, u"127.0.114.40"_s, QJsonObject {{u"messages"_s, picturePhone(0)}});
    START_PHONE(b, u"127.0.114.41"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QStringList onA = storedParts(cacheA);
    QCOMPARE(onA.size(), 9);

    MsgDataSetPtr ds = jobtest::loadStore(cacheA, u"262"_s);
    Report report;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &report));
    QCOMPARE(report.errors(), QStringList());
    QCOMPARE(b->verdict(2), QString());
    QStringList names;
    for (const QString& line : phoneParts(*b)) {
        const QString parts = line.section(u'|', 3);
        if (!parts.isEmpty())
            names << parts.section(u'=', 0, 0);
    }
    names.sort();
    QCOMPARE(names,
             (QStringList {u"a.png"_s, u"b.png"_s, u"mms0.jpg"_s, u"mms1.jpg"_s, u"mms2.jpg"_s, u"photo.jpg"_s,
                           u"photo.jpg"_s}));

    const QString cacheB = b->device.cacheDir().absolutePath();
    QCOMPARE(storedParts(cacheB), onA);
    // A load that breaks off, gets garbage for a picture's data (steps: 1
    // ready, 2 count, 3 batch, 4 "Look", 5 the first picture's message, 6
    // its "$atta:", 7 its data) or is cancelled while it waits leaves every
    // picture once.
    const struct {
        Fault::Kind kind;
        const char* text;
    } faults[] = {{Fault::Kind::CloseAt, "cut"}, {Fault::Kind::WrongLineAt, "not*Base64"}, {Fault::Kind::StallAt, ""}};
    for (const auto& fault : faults) {
        b->sim->addFault(Fault(fault.kind, u"backup:mms2"_s, 7, fault.text));
        const qsizetype answers = b->sim->linesReceived(u"mms2"_s).count("1");
        CHECKED(loadUnderFault(*b, fault.kind, [&] { return b->sim->linesReceived(u"mms2"_s).count("1") > answers; }));
        QCOMPARE(storedParts(cacheB), onA);
    }
    for (int round = 1; round <= 3; ++round) {
        QVERIFY(load(b->device));
        QVERIFY2(storedParts(cacheB) == onA, qPrintable(u"load %1:\n"_s.arg(round) + storedParts(cacheB).join(u'\n')));
    }
    // Nothing of it goes again.
    Report again;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &again));
    QCOMPARE(again.successes(), QStringList {u"Nothing was sent: Android already holds these 9 Messages."_s});
    QCOMPARE(b->store->records(u"mms2"_s).size(), 9);
}

// The phone keeps the second batch, whose pictures the cache then learns
// only from a load; the retry sends none of them again.
void TestMessageJobs::transfer_retryAfterAFailedSecondBatch_sendsNothingTwice()
{
    START_PHONE(a, u"127.0.114.42"_s, QJsonObject {{u"messages"_s, picturePhone(100)}});
    START_PHONE(b, u"127.0.114.43"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    MsgDataSetPtr ds = jobtest::loadStore(cacheA, u"262"_s);
    QCOMPARE(ds->messages.size(), 109);
    // Steps: 1 "$ready:", 2 "$defsmsapp:0", 3 the first batch's
    // acknowledgement, 4 to 10 the seven pictures', 11 the second batch's.
    b->sim->addFault(Fault(Fault::Kind::WrongLineAt, u"restore:mms2"_s, 11, "garbage"));
    Report failed;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &failed));
    QCOMPARE(failed.errors(), QStringList {u"invalid feedback [garbage], must be [$batch:]"_s});
    QCOMPARE(b->store->records(u"mms2"_s).size(), 109);

    // As the page does after a failure: the phone's messages first.
    QVERIFY(load(b->device));
    Report retry;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &retry));
    QCOMPARE(retry.successes(), QStringList {u"Nothing was sent: Android already holds these 109 Messages."_s});
    const QStringList onPhone = phoneParts(*b);
    QCOMPARE(onPhone.size(), 109);
    QCOMPARE(QSet<QString>(onPhone.begin(), onPhone.end()).size(), 109);

    // B's cache holds every message and picture once, named as on A.
    const QString cacheB = b->device.cacheDir().absolutePath();
    for (int round = 1; round <= 2; ++round) {
        QVERIFY(load(b->device));
        QCOMPARE(storedParts(cacheB), storedParts(cacheA));
    }
}

// Phone B holds pictures of its own under the names, numbers and seconds of
// A's: A's are sent all the same (one travels as it is, the photo scaled),
// B's loads keep B's and A's each once, and nothing goes twice, also once
// B's cache was made anew from what the phone holds.
void TestMessageJobs::transfer_picturesOfTheSameNameNumberAndSecond_areToldApartByTheirBytes()
{
    const QByteArray photoA = picture(2000, 1500, "JPG");
    // (Another picture: scaled to the size of A's as it travels, the same
    // colour would make it A's copy.)
    const QByteArray photoB = picture(1600, 1200, "JPG", Qt::darkBlue);
    const QJsonArray onA {phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"image.png"_s, "picture of A"}}),
                          phoneMessage(1700000200, u"+4930333"_s, QString(), {{u"photo.jpg"_s, photoA}})};
    const QJsonArray onB {phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"image.png"_s, "picture of B"}}),
                          phoneMessage(1700000200, u"+4930333"_s, QString(), {{u"photo.jpg"_s, photoB}})};
    START_PHONE(a, u"127.0.114.50"_s, QJsonObject {{u"messages"_s, onA}});
    START_PHONE(b, u"127.0.114.51"_s, QJsonObject {{u"messages"_s, onB}});
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    const QString cacheA = a->device.cacheDir().absolutePath();
    const QString cacheB = b->device.cacheDir().absolutePath();
    const QStringList ownB = cachedPictures(cacheB);
    QStringList both = cachedPictures(cacheA) + ownB;
    both.sort();
    QCOMPARE(both.size(), 4);

    MsgDataSetPtr ds = jobtest::loadStore(cacheA, u"262"_s);
    Report report;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &report));
    QCOMPARE(report.successes(), QStringList {u"Successfully restored 2 Messages to Android."_s});
    QCOMPARE(b->verdict(2), QString());
    QCOMPARE(b->store->records(u"mms2"_s).size(), 2);
    QCOMPARE(cachedPictures(cacheB), both);
    // Once loaded, the cache holds B's pictures as the phone does: A's
    // photo as it travelled, scaled.
    const QStringList heldByB = sorted(ownB + sentPictures(*b));
    QVERIFY(!heldByB.contains(pictureLine(1700000200, u"+4930333"_s, u"photo.jpg"_s, photoA)));
    for (int round = 1; round <= 2; ++round) {
        QVERIFY(load(b->device));
        QVERIFY2(cachedPictures(cacheB) == heldByB, qPrintable(cachedPictures(cacheB).join(u'\n')));
    }
    Report again;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &again));
    QCOMPARE(again.successes(), QStringList {u"Nothing was sent: Android already holds these 2 Messages."_s});

    // The cache made anew holds what the loaded one held, the photo as it
    // travelled: it still stands for A's.
    removeDir(cacheB);
    QVERIFY(load(b->device));
    QCOMPARE(cachedPictures(cacheB), heldByB);
    Report afterClear;
    QVERIFY(transfer(b->device, getDataSetMessages(*ds), &afterClear));
    QCOMPARE(afterClear.successes(), QStringList {u"Nothing was sent: Android already holds these 2 Messages."_s});
    QCOMPARE(b->store->records(u"mms2"_s).size(), 2);
}

// B received a picture of A's name, number and second after the PC last
// loaded it: A's goes, and B's loads keep B's own picture as well as A's,
// each once, however often B is loaded.
void TestMessageJobs::transfer_toAPhoneThatReceivedALikePictureSinceItsLoad_keepsBoth()
{
    const QJsonObject pictureA = phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"image.png"_s, "picture of A"}});
    const QJsonObject pictureB = phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"image.png"_s, "picture of B"}});
    START_PHONE(a, u"127.0.114.52"_s, QJsonObject {{u"messages"_s, QJsonArray {pictureA}}});
    START_PHONE(b, u"127.0.114.53"_s);
    QVERIFY(load(a->device));
    QVERIFY(load(b->device));
    auto later = listing(b, {pictureB});
    QVERIFY2(later->ok(), qPrintable(later->error));

    MsgDataSetPtr ds = jobtest::loadStore(a->device.cacheDir().absolutePath(), u"262"_s);
    Report report;
    QVERIFY(transfer(later->device, getDataSetMessages(*ds), &report));
    QCOMPARE(report.successes(), QStringList {u"Successfully restored 1 Messages to Android."_s});
    const QStringList expected = sorted({pictureLine(1700000100, u"+4930222"_s, u"image.png"_s, "picture of A"),
                                         pictureLine(1700000100, u"+4930222"_s, u"image.png"_s, "picture of B")});
    const QString cacheB = later->device.cacheDir().absolutePath();
    for (int round = 1; round <= 3; ++round) {
        QVERIFY(load(later->device));
        QVERIFY2(cachedPictures(cacheB) == expected,
                 qPrintable(u"load %1:\n"_s.arg(round) + cachedPictures(cacheB).join(u'\n')));
    }
    QCOMPARE(fetches(*later), 0);
}

// The phone held two pictures of one name from one number in one second
// and lost one; the backup made before goes back: only the lost one is
// sent, and the phone then holds each once.
void TestMessageJobs::restore_ofTwoLikePicturesOneGoneFromThePhone_sendsThatOneAlone()
{
    const QJsonObject first = phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"image.jpg"_s, "first picture"}});
    const QJsonObject second = phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"image.jpg"_s, "second picture"}});
    START_PHONE(phone, u"127.0.114.54"_s, QJsonObject {{u"messages"_s, QJsonArray {first, second}}});
    QVERIFY(load(phone->device));
    const QString folder = testsupport::makeTempDir(u"likeBackup"_s);
    MsgDataSetPtr cached = jobtest::loadStore(phone->device.cacheDir().absolutePath(), u"262"_s);
    Report backedUp;
    BackupMMSThread backup(QDir(folder), u"262"_s, getDataSetMessages(*cached), &backedUp);
    QVERIFY(jobtest::run(backup) && backedUp.succeeded());

    auto later = listing(phone, {second});
    QVERIFY2(later->ok(), qPrintable(later->error));
    // As the page does: the phone's messages first.
    QVERIFY(load(later->device));
    MsgDataSetPtr ds = jobtest::loadStore(folder, u"262"_s);
    Report report;
    QVERIFY(transfer(later->device, getDataSetMessages(*ds), &report));
    QCOMPARE(report.successes(),
             QStringList {u"Successfully restored 1 Messages to Android.<br/>1 Messages were on Android already and "
                          "were not sent again."_s});
    QCOMPARE(sentPictures(*later),
             QStringList {pictureLine(1700000100, u"+4930222"_s, u"image.jpg"_s, "first picture")});
    QVERIFY(load(later->device));
    QCOMPARE(cachedPictures(later->device.cacheDir().absolutePath()), cachedPictures(folder));
}

// Messages of one correspondent and second whose pieces share keys: a text
// and a picture message of the same text; two of a subject alone. A store
// keeps one message of one text and second (its logic hash), and so does a
// phone's cache: B, which holds the picture message and one of the two,
// holds them all; so too one of the first of a message of two pictures
// alone, where B holds the message of two. Of a like pair B lacks, both go.
// Three rounds of load (one into a cache made anew) and transfer send
// nothing more.
void TestMessageJobs::transfer_messagesWhosePiecesShareKeys_goOnce()
{
    constexpr int kAt = kBase + 100;
    const QString kAnn = u"+4930111"_s;
    const QByteArray photo = readAll(writePicture(m_files + u"/photo.jpg"_s, Qt::blue));
    writePicture(m_files + u"/later.jpg"_s, Qt::green);
    MessageSet s;
    auto* ann = s.handle(kAnn);
    auto* chat = s.chat(ann->id, {ann}, kAt);
    s.message(chat, ann, false, u"see you"_s, kAt);
    s.attach(s.message(chat, ann, false, u"see you\uFFFC"_s, kAt), u"image/jpeg"_s, m_files + u"/photo.jpg"_s);
    s.message(chat, ann, false, QString(), kAt + 10)->subject = u"Plans"_s;
    s.message(chat, ann, false, QString(), kAt + 10)->subject = u"Tickets"_s;
    s.message(chat, ann, false, u"bye"_s, kAt + 20);
    s.attach(s.message(chat, ann, false, u"bye\uFFFC"_s, kAt + 20), u"image/jpeg"_s, m_files + u"/later.jpg"_s);
    const QByteArray first = readAll(writePicture(m_files + u"/a.jpg"_s, Qt::red));
    const QByteArray second = readAll(writePicture(m_files + u"/b.jpg"_s, Qt::yellow));
    auto* both = s.message(chat, ann, false, u"\uFFFC\uFFFC"_s, kAt + 30);
    s.attach(both, u"image/jpeg"_s, m_files + u"/a.jpg"_s);
    s.attach(both, u"image/jpeg"_s, m_files + u"/b.jpg"_s);
    s.attach(s.message(chat, ann, false, u"\uFFFC"_s, kAt + 30), u"image/jpeg"_s, m_files + u"/a.jpg"_s);

    const qint64 seconds = qint64(kAt) + kIosEpochOffset;
    QJsonObject plans = phoneMessage(seconds + 10, kAnn, QString());
    plans.insert(u"subject"_s, u"Plans"_s);
    const QJsonArray onB {phoneMessage(seconds, kAnn, u"see you"_s, {{u"photo.jpg"_s, photo}}), plans,
                          phoneMessage(seconds + 30, kAnn, QString(), {{u"a.jpg"_s, first}, {u"b.jpg"_s, second}})};
    START_PHONE(b, u"127.0.114.60"_s, QJsonObject {{u"messages"_s, onB}});
    QVERIFY(load(b->device));
    Report report;
    QVERIFY(transfer(b->device, s.list(), &report));
    QCOMPARE(report.successes(),
             QStringList {u"Successfully restored 2 Messages to Android.<br/>6 Messages were on Android already and "
                          "were not sent again."_s});
    const auto sentBodies = [&b] {
        QStringList bodies;
        for (const QVariantMap& m : b->store->records(u"mms2"_s))
            bodies << m.value(u"body"_s).toString() + u'|' + QString::number(m.value(u"attachments"_s).toList().size());
        return sorted(bodies);
    };
    const QStringList sentOnce {u"bye|0"_s, u"bye|1"_s};
    QCOMPARE(sentBodies(), sentOnce);
    for (int round = 1; round <= 3; ++round) {
        if (round == 2)
            removeDir(b->device.cacheDir().absolutePath());
        QVERIFY(load(b->device));
        Report again;
        QVERIFY(transfer(b->device, s.list(), &again));
        QCOMPARE(again.successes(), QStringList {u"Nothing was sent: Android already holds these 8 Messages."_s});
        QCOMPARE(sentBodies(), sentOnce);
    }
}

// A group of like pictures (one number, one second, one name) that loses
// or gains a picture keeps in the cache exactly what the phone lists, at
// every load; a backup taken then holds it.
void TestMessageJobs::load_aGroupOfLikePicturesThatLosesOrGainsOne_keepsWhatThePhoneLists()
{
    QList<QJsonObject> pictures;
    QStringList lines;
    for (int i = 0; i < 4; ++i) {
        const QByteArray bytes = "picture " + QByteArray::number(i);
        pictures.append(phoneMessage(1700000100, u"+4930222"_s, QString(), {{u"image.jpg"_s, bytes}}));
        lines.append(pictureLine(1700000100, u"+4930222"_s, u"image.jpg"_s, bytes));
    }
    START_PHONE(phone, u"127.0.114.55"_s, QJsonObject {{u"messages"_s, QJsonArray {pictures[1], pictures[2]}}});
    QVERIFY(load(phone->device));
    const QString cache = phone->device.cacheDir().absolutePath();
    QCOMPARE(cachedPictures(cache), sorted(QStringList {lines[1], lines[2]}));

    // The first goes. A second listing broken off, cancelled while it waits
    // or answered with garbage for the picture (steps: 1 ready, 2 count, 3
    // batch, 4 the message, 5 its "$atta:", 6 its data) leaves the cache as
    // it was (garbage: the next load fetches the picture in its first
    // listing); then the second is left, and a backup holds it.
    auto lost = listing(phone, {pictures[2]});
    const QStringList held = cachedPictures(cache);
    const struct {
        Fault::Kind kind;
        const char* text;
    } faults[] = {{Fault::Kind::CloseAt, "cut"}, {Fault::Kind::StallAt, ""}, {Fault::Kind::WrongLineAt, "not*Base64"}};
    for (const auto& f : faults) {
        Fault fault(f.kind, u"backup:mms2"_s, 6, f.text);
        fault.skip = 1;
        lost->sim->addFault(fault);
        const qsizetype sessions = lost->sim->connections(u"service"_s).size();
        CHECKED(loadUnderFault(*lost, f.kind, [&] {
            const QList<phonesim::ConnectionLog> c = lost->sim->connections(u"service"_s);
            return c.size() == sessions + 2 && c.last().linesIn.contains("1");
        }));
        QCOMPARE(cachedPictures(cache), held);
    }
    QVERIFY(load(lost->device));
    QCOMPARE(cachedPictures(cache), QStringList {lines[2]});
    const QString folder = testsupport::makeTempDir(u"groupBackup"_s);
    Report backedUp;
    const MsgDataSetPtr shown = jobtest::loadStore(cache, u"262"_s);
    BackupMMSThread backup(QDir(folder), u"262"_s, getDataSetMessages(*shown), &backedUp);
    QVERIFY(jobtest::run(backup));
    QCOMPARE(backedUp.successes(), QStringList {u"Successfully backup 1 messages."_s});
    QCOMPARE(cachedPictures(folder), QStringList {lines[2]});

    // One comes before it, then one after both: each load keeps what the
    // phone lists; a picture appended is the only one fetched.
    auto gained = listing(lost, {pictures[0], pictures[2]});
    QVERIFY(load(gained->device));
    QCOMPARE(cachedPictures(cache), sorted(QStringList {lines[0], lines[2]}));
    auto appended = listing(gained, {pictures[0], pictures[2], pictures[3]});
    QVERIFY(load(appended->device));
    QCOMPARE(cachedPictures(cache), sorted(QStringList {lines[0], lines[2], lines[3]}));
    QCOMPARE(appended->sim->connections(u"service"_s).size(), 1);
    QCOMPARE(fetches(*appended), 1);
    QVERIFY(load(appended->device));
    QCOMPARE(fetches(*appended), 0);
    QCOMPARE(cachedPictures(cache), sorted(QStringList {lines[0], lines[2], lines[3]}));
}

// A picture whose file was missing at a backup is copied in by the next
// backup of the same messages once the file is there; what still lacks
// its file is counted and named.
void TestMessageJobs::backup_aPictureMissingBefore_isCopiedByTheNextBackup_andWhatStillLacksIsNamed()
{
    const QString folder = testsupport::makeTempDir(u"repair"_s);
    MessageSet s;
    auto* ann = s.handle(u"+4930111"_s, u"Ann"_s);
    auto* chat = s.chat(ann->id, {ann}, kBase + 100);
    s.attach(s.message(chat, ann, false, u"here"_s, kBase), u"image/jpeg"_s,
             writeFile(m_files + u"/here.jpg"_s, "here all along"));
    s.attach(s.message(chat, ann, false, u"late"_s, kBase + 10), u"image/jpeg"_s, m_files + u"/late.jpg"_s);
    s.attach(s.message(chat, ann, false, u"never"_s, kBase + 20), u"image/jpeg"_s, m_files + u"/never.jpg"_s);
    const auto backup = [&] {
        Report report;
        BackupMMSThread job(QDir(folder), u"262"_s, s.list(), &report);
        return jobtest::run(job) ? report.successes() : QStringList {u"not run"_s};
    };
    QCOMPARE(backup(),
             QStringList {u"Successfully backup 3 messages.\n2 attachment files were missing and could not be "
                          "copied: late.jpg, never.jpg"_s});
    writeFile(m_files + u"/late.jpg"_s, "late but there");
    QCOMPARE(backup(),
             QStringList {u"Successfully backup 3 messages.\n1 attachment files were missing and could not be "
                          "copied: never.jpg"_s});
    QCOMPARE(testsupport::readFile(storeFile(folder, u"late.jpg"_s)), QByteArray("late but there"));
    QCOMPARE(jobtest::storeState(folder), u"3/1/1/3 ok 0 0 0 0"_s);
}

// A part name longer than a file system takes (86 characters of three
// bytes each) is shortened to fit, its suffix kept: the picture is stored
// and not fetched again. A second part whose name differs only beyond
// what fits keeps a file of its own.
void TestMessageJobs::load_partNamesTooLongForAFileSystem_areShortenedToFit()
{
    const QString longName = QString(86, QChar(0x7167)) + u".jpg"_s;
    const QString alike = QString(86, QChar(0x7167)) + u"x.jpg"_s;
    START_PHONE(phone, u"127.0.114.56"_s,
                QJsonObject {{u"messages"_s,
                              QJsonArray {phoneMessage(1700000100, u"+4930222"_s, u"see"_s,
                                                       {{longName, "long named"}, {alike, "alike"}})}}});
    Report report;
    AndroidLoadMessagesThread job(&phone->device, &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.successes(), QStringList {QString()});
    MsgDataSetPtr ds = jobtest::loadStore(phone->device.cacheDir().absolutePath(), u"262"_s);
    QCOMPARE(ds->attachments.size(), 2);
    QMap<QByteArray, QString> stored;
    for (const _MsgAttachment* a : std::as_const(ds->attachments))
        stored.insert(testsupport::readFile(a->localPath), QFileInfo(a->localPath).fileName());
    QCOMPARE(stored.keys(), (QList<QByteArray> {"alike", "long named"}));
    QVERIFY(stored.value("alike") != stored.value("long named"));
    for (const QString& name : std::as_const(stored)) {
        QVERIFY2(name.endsWith(u".jpg"_s) && name.startsWith(QString(80, QChar(0x7167))), qPrintable(name));
        QVERIFY(name.toUtf8().size() <= 255);
    }
    QVERIFY(load(phone->device));
    QCOMPARE(fetches(*phone), 0);
}

// A picture the cache cannot take (its attachment folder cannot be made)
// leaves the load successful but counted as not received intact, its text
// kept; the next load fetches it again and completes it, the one after
// fetches nothing.
void TestMessageJobs::load_aPartTheCacheCannotTake_isFetchedAgain()
{
    const QJsonObject plain = phoneMessage(1700000200, u"+4930222"_s, u"plain"_s);
    START_PHONE(phone, u"127.0.114.57"_s, QJsonObject {{u"messages"_s, QJsonArray {plain}}});
    QVERIFY(load(phone->device));
    const QString cache = phone->device.cacheDir().absolutePath();
    const QString attachments = cache + u"/file-relay/var/mobile/Library/SMS/Attachments"_s;
    writeFile(attachments, "in the way");
    auto later = listing(
        phone,
        {phoneMessage(1700000100, u"+4930222"_s, u"see"_s, {{u"a.jpg"_s, "first"}, {u"b.jpg"_s, "second"}}), plain});
    Report report;
    AndroidLoadMessagesThread job(&later->device, &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.successes(),
             QStringList {u"1 message could not be received intact and will be fetched again on the next load."_s});
    QCOMPARE(jobtest::storeState(cache), u"4/1/1/2 ok 0 0 0 0"_s);

    QVERIFY(QFile::remove(attachments));
    QVERIFY(load(later->device));
    QCOMPARE(fetches(*later), 1);
    const QStringList pictures {pictureLine(1700000100, u"+4930222"_s, u"a.jpg"_s, "first"),
                                pictureLine(1700000100, u"+4930222"_s, u"b.jpg"_s, "second")};
    QCOMPARE(cachedPictures(cache), pictures);
    QCOMPARE(jobtest::storeState(cache), u"4/1/1/2 ok 0 0 0 0"_s);
    QVERIFY(load(later->device));
    QCOMPARE(fetches(*later), 0);
    QCOMPARE(cachedPictures(cache), pictures);
}

// A store file of 0 bytes (a copy cut short) holds nothing: the backup
// makes its tables and stores the messages.
void TestMessageJobs::backup_intoAStoreCutToNothing_makesItsTables()
{
    const QString folder = testsupport::makeTempDir(u"cut"_s);
    const QString store = IOS6MessageDb(QDir(folder), QString(), false).dbPath();
    QVERIFY(QDir().mkpath(QFileInfo(store).absolutePath()));
    QFile empty(store);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    MessageSet s;
    buildMessages(s, m_files);
    Report report;
    BackupMMSThread job(QDir(folder), u"262"_s, s.list(), &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.errors(), QStringList());
    QCOMPARE(jobtest::storeState(folder), u"5/2/2/4 ok 0 0 0 0"_s);
}

// A store that is missing, cut to nothing or damaged cannot tell which
// files of its attachment folder its rows name: a backup into it removes
// none, not even what a killed writer noted. A store whose row names its
// file under a changed name is sound: the killed writer's files go, the
// picture stays.
void TestMessageJobs::backup_intoAStoreThatCannotTellItsFiles_keepsEveryPicture_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("sound");
    QTest::newRow("cut to nothing") << u"cut"_s << false;
    QTest::newRow("missing") << u"missing"_s << false;
    QTest::newRow("attachment table damaged") << u"damaged"_s << false;
    QTest::newRow("a byte changed in a file name") << u"renamed"_s << true;
}

void TestMessageJobs::backup_intoAStoreThatCannotTellItsFiles_keepsEveryPicture()
{
    QFETCH(QString, damage);
    QFETCH(bool, sound);
    const QString folder = testsupport::makeTempDir(u"vouch"_s);
    const QString db = IOS6MessageDb(QDir(folder), QString(), false).dbPath();
    MessageSet s;
    QVERIFY(backUpFortyPictures(s, m_files, folder));
    const QMap<QString, QByteArray> pictures = filesBelow(storeFile(folder, QString()));
    QCOMPARE(pictures.size(), 40);

    // A writer killed after placing two pictures of its own.
    const QStringList killed {u"~/Library/SMS/Attachments/k1/killed1.jpg"_s,
                              u"~/Library/SMS/Attachments/k2/killed2.jpg"_s};
    QVERIFY(killedwriter::killedWrite(QDir(folder), [&](ExportMessagesDb& writer) {
        killedwriter::PictureMessages m;
        for (const QString& filename : killed)
            m.write(writer, filename, writeFile(m_files + u"/killed.jpg"_s, "killed"));
    }));
    QCOMPARE(journals(folder).size(), 1);
    QVERIFY(QFile::exists(storeFile(folder, u"k1/killed1.jpg"_s))
            && QFile::exists(storeFile(folder, u"k2/killed2.jpg"_s)));
    // Its transaction rolled back first, as the next open of the store does.
    IOS6MessageDb(QDir(folder), QString(), false).openReadOnly();

    if (damage == "cut"_L1) {
        QVERIFY(QFile::resize(db, 0));
    } else if (damage == "missing"_L1) {
        QVERIFY(QFile::remove(db));
    } else {
        IOS6MessageDb store(QDir(folder), QString(), false);
        store.open();
        if (damage == "damaged"_L1) {
            // As if the killed writer had committed its rows, which the
            // damage then hides.
            for (const QString& filename : killed) {
                Sqlite3Sql insert(u"insert into attachment(guid, filename) values(?, ?)"_s);
                insert.addTextParam(newMsgGuid());
                insert.addTextParam(filename);
                store.executeThrow(insert);
                store.executeThrow(u"insert into message_attachment_join values(1, last_insert_rowid())"_s);
            }
        } else {
            store.executeThrow(u"update attachment set filename = replace(filename, '~/', '~|') where rowid = 7"_s);
        }
        store.close();
        if (damage == "damaged"_L1) {
            QVERIFY(hideNewestAttachments(folder));
            IOS6MessageDb damaged(QDir(folder), QString(), false);
            damaged.openReadOnly();
            QVERIFY(damaged.queryInt64Throw(Sqlite3Sql(u"select count(filename) from attachment"_s)) < 42);
            Sqlite3Cursor check = damaged.queryThrow(u"PRAGMA quick_check"_s);
            QVERIFY(check.moveNext() && check.getText(0) != "ok"_L1);
        }
    }

    MessageSet more;
    auto* bob = more.handle(u"+4930222"_s);
    more.attach(more.message(more.chat(bob->id, {bob}, kBase + 900), bob, false, u"new"_s, kBase + 900),
                u"image/jpeg"_s, writeFile(m_files + u"/new.jpg"_s, "new picture"));
    Report second;
    BackupMMSThread again(QDir(folder), u"262"_s, more.list(), &second);
    QVERIFY(jobtest::run(again));
    // (A damaged table may refuse the new rows; that is another matter.)
    if (damage != "damaged"_L1)
        QVERIFY2(second.succeeded(), qPrintable(second.errors().join(u'\n')));
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it)
        QCOMPARE(testsupport::readFile(it.key()), it.value());
    QCOMPARE(QFile::exists(storeFile(folder, u"k1/killed1.jpg"_s)), !sound);
    QCOMPARE(QFile::exists(storeFile(folder, u"k2/killed2.jpg"_s)), !sound);
    QCOMPARE(QFileInfo::exists(storeFile(folder, u"k1"_s)), !sound);
    QCOMPARE(journals(folder), QStringList());
}

// Nothing outside the attachment folder is touched, and nothing is reached
// through a link: neither a temporary of someone else beside a file a row
// names through a linked folder, nor one that lies where a killed writer
// noted its own, behind a link put in its folder's place.
void TestMessageJobs::backup_neverReachesThroughALink()
{
    const QString folder = testsupport::makeTempDir(u"linked"_s);
    const QString elsewhere = testsupport::makeTempDir(u"elsewhere"_s);
    QVERIFY(QDir().mkpath(elsewhere + u"/shared"_s));
    const QString theirs
        = writeFile(elsewhere + u"/shared/.part-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces), "theirs");
    QVERIFY(QDir().mkpath(folder + u"/file-relay/var/mobile/Library/SMS"_s));
    QVERIFY(QFile::link(elsewhere + u"/shared"_s, folder + u"/file-relay/var/mobile/Library/SMS/Linked"_s));
    MessageSet s;
    buildMessages(s, m_files);
    s.attachments.front()->filename = u"~/Library/SMS/Linked/shared.jpg"_s;
    Report first;
    BackupMMSThread job(QDir(folder), u"262"_s, s.list(), &first);
    QVERIFY(jobtest::run(job) && first.succeeded());
    QVERIFY(QFile::exists(elsewhere + u"/shared/shared.jpg"_s));

    QVERIFY(killedwriter::killedWrite(QDir(folder), [&](ExportMessagesDb& writer) {
        writeFile(writer.stageAttachment(u"~/Library/SMS/Attachments/0b/0B-T/x.jpg"_s), "staged");
    }));
    const QString noted = storeFile(folder, u"0b/0B-T"_s);
    const QStringList temporaries = QDir(noted).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(temporaries.size(), 1);
    QVERIFY(QDir().rename(noted, elsewhere + u"/0B-T"_s));
    QVERIFY(QFile::link(elsewhere + u"/0B-T"_s, noted));

    Report second;
    BackupMMSThread again(QDir(folder), u"262"_s, s.list(), &second);
    QVERIFY(jobtest::run(again) && second.succeeded());
    QCOMPARE(testsupport::readFile(theirs), QByteArray("theirs"));
    QCOMPARE(testsupport::readFile(elsewhere + u"/0B-T/"_s + temporaries.first()), QByteArray("staged"));
    QVERIFY(QFileInfo(noted).isSymLink());
    QCOMPARE(journals(folder), QStringList());
}

// A store of an earlier version, which a writer brings up to date when it
// opens it, that is damaged: the backup refuses it before anything is
// written, the update included.
void TestMessageJobs::backup_intoADamagedOlderStore_leavesItUnchanged()
{
    const QString folder = testsupport::makeTempDir(u"older"_s);
    MessageSet s;
    QVERIFY(backUpFortyPictures(s, m_files, folder));
    const QString db = IOS6MessageDb(QDir(folder), QString(), false).dbPath();
    makeOlder(folder);
    QVERIFY(hideNewestAttachments(folder));
    const QByteArray before = testsupport::readFile(db);

    Report second;
    BackupMMSThread again(QDir(folder), u"262"_s, s.list(), &second);
    QVERIFY(jobtest::run(again));
    QCOMPARE(second.errors().size(), 1);
    QVERIFY2(second.errors().first().contains(u"is damaged: nothing was changed in it"_s),
             qPrintable(second.errors().first()));
    QCOMPARE(testsupport::readFile(db), before);
}

// An older store whose damage SQLite's check sees only once the backup has
// added its columns: the backup adds them in its own unit, finds the store
// damaged, and the folder keeps every byte of every file. Made sound again
// (a copy put back), the store takes the next backup.
void TestMessageJobs::backup_intoAnOlderStoreDamagedBeyondItsColumns_keepsEveryByte()
{
    const QString folder = testsupport::makeTempDir(u"beyond"_s);
    MessageSet s;
    QVERIFY(backUpFortyPictures(s, m_files, folder));
    const QString db = IOS6MessageDb(QDir(folder), QString(), false).dbPath();
    makeOlder(folder);
    const QByteArray sound = testsupport::readFile(db);
    CHECKED(hiddendamage::beyondLastColumn(db, u"attachment"_s, 1));
    {
        IOS6MessageDb store(QDir(folder), QString(), false);
        store.openReadOnly();
        QCOMPARE(store.quickCheck(), QString()); // sound as it stands
    }
    const QMap<QString, QByteArray> before = filesBelow(folder);

    MessageSet more;
    auto* bob = more.handle(u"+4930222"_s);
    more.attach(more.message(more.chat(bob->id, {bob}, kBase + 900), bob, false, u"new"_s, kBase + 900),
                u"image/jpeg"_s, writeFile(m_files + u"/new.jpg"_s, "new picture"));
    Report report;
    BackupMMSThread job(QDir(folder), u"262"_s, more.list(), &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.successes(), QStringList());
    QCOMPARE(report.errors().size(), 1);
    QVERIFY2(report.errors().first().startsWith(u"The backup file %1 is damaged: nothing was saved to it."_s.arg(db)),
             qPrintable(report.errors().first()));
    QCOMPARE(filesBelow(folder), before);

    QVERIFY(jobtest::writeFile(db, sound));
    Report again;
    BackupMMSThread next(QDir(folder), u"262"_s, more.list(), &again);
    QVERIFY(jobtest::run(next));
    QVERIFY2(again.succeeded(), qPrintable(again.errors().join(u'\n')));
    QCOMPARE(jobtest::storeState(folder), u"41/2/2/41 ok 0 0 0 0"_s);
    QCOMPARE(testsupport::readFile(storeFile(folder, u"new.jpg"_s)), QByteArray("new picture"));
}

void TestMessageJobs::backup_intoADamagedOrReadOnlyCurrentStore_isRefused_andLeavesItUnchanged_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("error");
    QTest::newRow("an index page damaged")
        << u"damaged"_s << u"The backup file %1 is damaged: nothing was saved to it."_s;
    QTest::newRow("read-only") << u"read-only"_s << u"attempt to write a readonly database"_s;
}

// A current store (nothing to bring up to date) that is damaged where the
// backup's own inserts would rewrite the page, so that a check after them
// finds it sound, or that cannot be written: the backup refuses it, says
// why, and leaves every byte of the folder as it was.
void TestMessageJobs::backup_intoADamagedOrReadOnlyCurrentStore_isRefused_andLeavesItUnchanged()
{
    QFETCH(QString, store);
    QFETCH(QString, error);
    const QString folder = testsupport::makeTempDir(u"current"_s);
    MessageSet s;
    QVERIFY(backUpFortyPictures(s, m_files, folder));
    const QString db = IOS6MessageDb(QDir(folder), QString(), false).dbPath();
    if (store == "damaged"_L1) {
        CHECKED(hiddendamage::cellPointerPastItsPage(db, u"sqlite_autoindex_message_1"_s));
        IOS6MessageDb damaged(QDir(folder), QString(), false);
        damaged.openReadOnly();
        QVERIFY(damaged.quickCheck().contains(u"out of range"_s));
    } else {
        if (::geteuid() == 0)
            QSKIP("permissions do not stop root from writing");
        QVERIFY(QFile::setPermissions(db, QFileDevice::ReadOwner));
    }
    const QMap<QString, QByteArray> before = filesBelow(folder);

    // Enough new messages that the index page splits.
    MessageSet more;
    auto* bob = more.handle(u"+4930222"_s);
    addPlain(more, more.chat(bob->id, {bob}, kBase + 900), bob, 150);
    Report report;
    BackupMMSThread job(QDir(folder), u"262"_s, more.list(), &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.successes(), QStringList());
    QCOMPARE(report.errors().size(), 1);
    QVERIFY2(report.errors().first().contains(error.replace(u"%1"_s, db)), qPrintable(report.errors().first()));
    QCOMPARE(filesBelow(folder), before);
}

QTEST_GUILESS_MAIN(TestMessageJobs)
#include "test_messagejobs.moc"
