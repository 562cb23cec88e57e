// The message transfer to a simulated phone, which checks every line it
// receives: the default-app handshake, batches, pictures scaled or sent as
// they are, attachments that cannot go, what a cancel or a failure leaves in
// the cache, and a round trip through a second phone.
#include "jobs/androidrestoremessagesthread.h"
#include "phonelink/androidloadmessagesthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/translations.h"

#include "message_testdata.h"
#include "messagestoretestutil.h"
#include "simphone.h"
#include "testsupport.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QTcpServer>
#include <QtTest>

using namespace Qt::StringLiterals;
using phonesim::Fault;
Q_DECLARE_METATYPE(phonesim::Fault)

namespace {

constexpr int kBase = 721692800;

// A 2x1 GIF: no decoder for scaling is tried on it, it goes as it is.
const QByteArray kGif = QByteArray::fromBase64("R0lGODlhAgABAIAAAP8AAAAA/ywAAAAAAgABAAACAkQBADs=");

std::unique_ptr<testsupport::SimPhone> startPhone(const QString& address, const QJsonObject& fixture = {})
{
    auto phone = std::make_unique<testsupport::SimPhone>(address, fixture);
    if (!phone->ok())
        phone->sim.reset();
    return phone;
}

bool transfer(AndroidDeviceInfo& target, const MsgMessageList& list, JobReport* report)
{
    AndroidRestoreMessagesThread job(&target, list, report);
    job.start();
    return job.wait(QDeadlineTimer(60000));
}

bool load(AndroidDeviceInfo& device)
{
    testsupport::RecordingJobReport report;
    AndroidLoadMessagesThread job(&device, &report);
    job.start();
    return job.wait(QDeadlineTimer(60000)) && report.succeeded();
}

QByteArray picture(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QList<QVariantMap> attachmentsOf(const QVariantMap& record)
{
    QList<QVariantMap> out;
    for (const QVariant& v : record.value(u"attachments"_s).toList())
        out.append(v.toMap());
    return out;
}

QByteArray dataOf(const QVariantMap& attachment)
{
    return QByteArray::fromBase64(attachment.value(u"base64"_s).toString().toLatin1());
}

// n plain messages with Ann, a minute apart, after the given ones.
void addPlain(MessageSet& s, _MsgChat* chat, _MsgHandle* ann, int n, int from)
{
    for (int i = 0; i < n; ++i)
        s.message(chat, ann, i % 2 == 0, u"message %1"_s.arg(from + i), kBase + 600 + (from + i) * 60);
}

// One line per stored message: date, direction, address, text, subject and
// its attachments (pictures by their size, other files by name and bytes).
QStringList summary(const QString& cacheFolder, bool scaled)
{
    MsgDataSetPtr ds = storecheck::load(cacheFolder, u"262"_s);
    QStringList lines;
    for (const _MsgMessage* m : std::as_const(ds->messages)) {
        QStringList atts;
        for (const _MsgAttachment* a : getAttachments(m)) {
            const QString name = QFileInfo(a->localPath).fileName();
            QImage image(a->localPath);
            if (a->mime_type.startsWith("image/jpeg"_L1)) {
                QSize size = image.size();
                if (scaled && qMax(size.width(), size.height()) > 1080)
                    size.scale(1080, 1080, Qt::KeepAspectRatio);
                atts << u"%1 %2x%3"_s.arg(name).arg(size.width()).arg(size.height());
            } else {
                atts << name + u' '
                        + QString::fromLatin1(
                            QCryptographicHash::hash(testsupport::readFile(a->localPath), QCryptographicHash::Md5)
                                .toHex());
            }
        }
        lines << u"%1|%2|%3|%4|%5|%6"_s.arg(m->date)
                     .arg(m->is_from_me)
                     .arg(m->handle ? m->handle->id : QString(), m->text, m->subject, atts.join(u';'));
    }
    lines.sort();
    return lines;
}

} // namespace

class TestRestoreMessages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }
    void init()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
        m_files = testsupport::makeTempDir(u"files"_s);
    }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void transfer_handshakeBatchesAndAttachments_secondRunSendsNothing();
    void failures_keepExactlyTheAcknowledgedBatches_data();
    void failures_keepExactlyTheAcknowledgedBatches();
    void roundTrip_throughAnEmptyPhone_givesTheOriginalsBack();

private:
    QString m_files;
};

void TestRestoreMessages::transfer_handshakeBatchesAndAttachments_secondRunSendsNothing()
{
    auto phone = startPhone(u"127.0.114.1"_s, QJsonObject {{u"defaultSmsApp"_s, 1}});
    QVERIFY2(phone->sim, qPrintable(phone->error));
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
    // Nothing of it can go: not sent at all.
    s.attach(s.message(chat, ann, true, QString(), kBase + 10), u"image/jpeg"_s, QString())->filename
        = u"~/../../outside.jpg"_s;
    // The same text twice: sent once; a message whose conversation is gone.
    s.message(chat, ann, false, u"twice"_s, kBase + 20);
    s.message(chat, ann, false, u"twice"_s, kBase + 20);
    s.message(nullptr, ann, true, u"no conversation"_s, kBase + 30);
    addPlain(s, chat, ann, 145, 0);
    // What a phone cannot take.
    s.message(chat, ann, false, QString(), kBase + 40)->item_type = 2;
    s.message(chat, nullptr, false, u"nobody"_s, kBase + 50);

    const QString expected
        = u"Successfully restored 149 Messages to Android.2 group messages or system messages can't be transferred."
          "<br/>2 attachments could not be sent (missing or unreadable files, or names that cannot be sent): gone.mp4, "
          "outside.jpg<br/>Now please click \"YES\" to resume your default Messaging app settings when the message "
          "pops out on your Android's screen."_s;
    for (int round = 1; round <= 2; ++round) {
        testsupport::RecordingJobReport report;
        QVERIFY(transfer(phone->device, s.list(), &report));
        // The second time the message with files is on the phone already.
        QCOMPARE(report.successes(),
                 QStringList {
                     round == 1
                         ? expected
                         : QString(expected).replace(u"2 attachments"_s, u"1 attachments"_s).remove(u"gone.mp4, "_s)});
        QCOMPARE(report.tips().size(), 1);
        QVERIFY(report.tips().first().startsWith(u"Please click \"YES\" to temporarily set"_s));
        QCOMPARE(report.progressTexts().last(), u"Messages:150 / 150"_s);
        QCOMPARE(phone->verdict(round), QString());
    }
    // Batches of 100 and 50 counted messages; the second run sent none.
    QCOMPARE(phone->store->batchSizes(u"mms2"_s), (QList<int> {98, 50, 0, 0}));
    const QList<QByteArray> lines = phone->sim->linesReceived(u"mms2"_s);
    const qsizetype second = lines.indexOf("$bye:") + 1;
    QVERIFY(second > 0);
    QCOMPARE(lines.at(0), QByteArray("$defsmsapp:"));
    for (qsizetype i = second; i < lines.size(); ++i)
        QVERIFY2(!lines.at(i).startsWith("$sms:"), lines.at(i).constData());

    const QList<QVariantMap> received = phone->store->records(u"mms2"_s);
    QCOMPARE(received.size(), 148);
    QCOMPARE(received.first().value(u"body"_s).toString(), u"withfiles"_s);
    QCOMPARE(received.first().value(u"dateMs"_s).toLongLong(), (qint64(kBase) + 978307200) * 1000);
    const QList<QVariantMap> atts = attachmentsOf(received.first());
    QStringList names;
    for (const QVariantMap& a : atts)
        names << a.value(u"mime"_s).toString() + u' ' + a.value(u"name"_s).toString();
    QCOMPARE(names,
             (QStringList {u"image/jpeg big.jpg"_s, u"image/png small.png"_s, u"image/gif anim.gif"_s,
                           u"video/mp4 clip.mp4"_s, u"text/plain a,b.txt"_s}));
    QCOMPARE(QImage::fromData(dataOf(atts.at(0)), "JPG").size(), QSize(1080, 720));
    QVERIFY(dataOf(atts.at(1)).startsWith("\x89PNG"));
    QCOMPARE(QImage::fromData(dataOf(atts.at(1))).size(), QSize(300, 200));
    QCOMPARE(dataOf(atts.at(2)), kGif);
    QCOMPARE(dataOf(atts.at(3)), video);
    QCOMPARE(dataOf(atts.at(4)), QByteArray("comma"));
    // The video goes in blocks of 512 KiB: three data lines.
    const qsizetype clip = lines.indexOf("$atta:video/mp4,clip.mp4");
    QCOMPARE(lines.at(clip + 4), QByteArray("."));

    // The cache holds what was sent, once, in a sound store.
    const QString cache = phone->device.cacheDir().absolutePath();
    QCOMPARE(storecheck::messages(cache), 148);
    QCOMPARE(storecheck::problems(cache), QString());
}

void TestRestoreMessages::failures_keepExactlyTheAcknowledgedBatches_data()
{
    // Step 1 "$ready:", 2 "$defsmsapp:0", 3 the first batch's acknowledgement,
    // 4 the picture's in the second batch, 5 the second batch's, 6 the third's.
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("cancelAt");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("cached");
    QTest::addColumn<int>("onPhone");
    QTest::newRow("phone error in the third batch") << Fault(Fault::Kind::ErrorAt, u"mms2"_s, 6, "Storage is full")
                                                    << QString() << u"Storage is full"_s << 200 << 200;
    QTest::newRow("garbage for an acknowledgement")
        << Fault(Fault::Kind::WrongLineAt, u"mms2"_s, 3, "garbage") << QString()
        << u"invalid feedback [garbage], must be [$batch:]"_s << 0 << 100;
    QTest::newRow("garbage for the handshake") << Fault(Fault::Kind::WrongLineAt, u"mms2"_s, 2, "$hello:") << QString()
                                               << u"invalid feedback [$hello:], must be [$defsmsapp:]"_s << 0 << 0;
    QTest::newRow("stall in the third batch, then cancel")
        << Fault(Fault::Kind::StallAt, u"mms2"_s, 6) << u"Messages:250 / 250"_s << QString() << 200 << 200;
    QTest::newRow("closed inside an attachment")
        << Fault(Fault::Kind::CloseAt, u"mms2"_s, 4, "$ba") << QString() << QString() << 100 << 100;
}

void TestRestoreMessages::failures_keepExactlyTheAcknowledgedBatches()
{
    QFETCH(Fault, fault);
    QFETCH(QString, cancelAt);
    QFETCH(QString, error);
    QFETCH(int, cached);
    QFETCH(int, onPhone);
    static int row = 10;
    auto phone = startPhone(u"127.0.114.%1"_s.arg(++row));
    QVERIFY2(phone->sim, qPrintable(phone->error));
    phone->sim->addFault(fault);
    MessageSet s;
    auto* ann = s.handle(u"+4930111"_s);
    auto* chat = s.chat(ann->id, {ann}, kBase);
    addPlain(s, chat, ann, 250, 0);
    s.attach(s.messages.at(150).get(), u"image/png"_s, writeFile(m_files + u"/p.png"_s, picture(10, 10, "PNG")));

    testsupport::RecordingJobReport report;
    if (!cancelAt.isEmpty())
        report.cancelWhenProgressContains(cancelAt);
    QVERIFY(transfer(phone->device, s.list(), &report));
    QCOMPARE(report.successes(), QStringList());
    if (fault.kind == Fault::Kind::CloseAt)
        QCOMPARE(report.errors().size(), 1);
    else
        QCOMPARE(report.errors(), error.isEmpty() ? QStringList() : QStringList {error});
    const QString cache = phone->device.cacheDir().absolutePath();
    QCOMPARE(storecheck::messages(cache), cached);
    QCOMPARE(storecheck::problems(cache), QString());
    phone->sim->releaseStalls();
    QTRY_COMPARE(phone->store->records(u"mms2"_s).size(), onPhone);
    QCOMPARE(phone->store->completedSessions(u"mms2"_s), 0);
}

void TestRestoreMessages::roundTrip_throughAnEmptyPhone_givesTheOriginalsBack()
{
    auto b64 = [](const QByteArray& bytes) { return QString::fromLatin1(bytes.toBase64()); };
    auto message = [](int id, const QString& address, int type, const QString& body, const QJsonArray& atts = {}) {
        return QJsonObject {
            {u"id"_s, id},     {u"thread"_s, 1},  {u"address"_s, address}, {u"date"_s, 1700000000 + id * 60},
            {u"type"_s, type}, {u"body"_s, body}, {u"attachments"_s, atts}};
    };
    auto att = [&b64](const QString& name, const QString& mime, const QByteArray& bytes) {
        return QJsonObject {{u"name"_s, name}, {u"mime"_s, mime}, {u"base64"_s, b64(bytes)}};
    };
    QJsonObject withSubject = message(2, u"+4930111"_s, 2, u"Reply, with ü and 😀"_s);
    withSubject.insert(u"subject"_s, u"Re: plans"_s);
    const QJsonArray messages {
        message(1, u"+4930111"_s, 1, u"Hello"_s), withSubject,
        message(3, u"+4930222"_s, 1, QString(), {att(u"photo.jpg"_s, u"image/jpeg"_s, picture(2000, 1500, "JPG"))}),
        message(4, u"+4930222"_s, 2, u"card"_s,
                {att(u"card.vcf"_s, u"text/x-vcard"_s, "BEGIN:VCARD\r\nFN:Dana\r\nEND:VCARD\r\n")}),
        message(5, u"Mail@Example.org"_s, 1, u"gif"_s, {att(u"anim.gif"_s, u"image/gif"_s, kGif)})};
    auto source = startPhone(u"127.0.114.2"_s, QJsonObject {{u"messages"_s, messages}});
    auto target = startPhone(u"127.0.114.3"_s);
    QVERIFY2(source->sim && target->sim, qPrintable(source->error + target->error));
    QVERIFY(load(source->device));
    QVERIFY(load(target->device));

    const QString sourceCache = source->device.cacheDir().absolutePath();
    MsgDataSetPtr ds = storecheck::load(sourceCache, u"262"_s);
    testsupport::RecordingJobReport report;
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
}

QTEST_GUILESS_MAIN(TestRestoreMessages)
#include "test_restoremessages.moc"
