// The message loader against the simulated phone: the first load, an
// incremental load that writes nothing new, messages gone from the phone,
// attachment parts and their names, and rollback on cancel and failure.
#include "messagestore/ios6messagedb.h"
#include "phonelink/androidloadmessagesthread.h"

#include "test_loadsupport.h"

#include <QJsonArray>
#include <QtTest>

using phonesim::Fault;
using testsupport::RecordingJobReport;

namespace {

constexpr int kNet = 82;

QJsonObject messagesFixture()
{
    return loadtest::fixtureFile(QStringLiteral("loaders-messages.json"));
}

// The fixture with only the messages whose ids are listed.
QJsonObject keepMessages(QJsonObject fixture, const QList<int>& ids)
{
    QJsonArray kept;
    for (const QJsonValue& v : fixture.value(QStringLiteral("messages")).toArray())
        if (ids.contains(v.toObject().value(QStringLiteral("id")).toInt()))
            kept.append(v);
    fixture.insert(QStringLiteral("messages"), kept);
    return fixture;
}

qint64 count(AndroidDeviceInfo& device, const QString& sql)
{
    IOS6MessageDb db(device.cacheDir(), device.mmc, true);
    db.open();
    return db.queryInt64Throw(Sqlite3Sql(sql));
}

QStringList texts(AndroidDeviceInfo& device)
{
    IOS6MessageDb db(device.cacheDir(), device.mmc, true);
    db.open();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select text from message order by rowid"));
    QStringList out;
    while (c.moveNext())
        out.append(c.getText(0));
    return out;
}

bool load(loadtest::WifiPhone& phone, RecordingJobReport& report)
{
    AndroidLoadMessagesThread job(&phone.device, &report);
    return loadtest::runJob(job);
}

} // namespace

class TestLoadMessages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { loadtest::useFreePorts(); }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void firstLoad_storesPartsAsMessages();
    void secondLoad_writesNothingNew_andPhoneDeletionsGo();
    void sharedStoredMessage_staysWhileOneOriginRemains();
    void dates_areComputedIn64Bits();
    void cancelAndFailures_rollBackTheStore_data();
    void cancelAndFailures_rollBackTheStore();
};

void TestLoadMessages::firstLoad_storesPartsAsMessages()
{
    loadtest::WifiPhone phone(kNet, messagesFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    RecordingJobReport report;
    QVERIFY(load(phone, report));
    QVERIFY2(report.succeeded(), qPrintable(loadtest::joined(report.errors())));
    QCOMPARE(report.successes(), QStringList{QString()});
    QCOMPARE(report.progress().first().percent, 0);
    QVERIFY(report.progressTexts().contains(QStringLiteral("sms: 3/3")));

    // Message 2 became its text, its text part and one message per picture;
    // the application part was dropped.
    const QString fffc(QChar(0xFFFC));
    QCOMPARE(texts(phone.device), (QStringList{QStringLiteral("Hello"), QStringLiteral("Pics "), fffc,
                                               QStringLiteral("Hello part"), fffc, fffc,
                                               QStringLiteral("Bye")}));
    QCOMPARE(count(phone.device, QStringLiteral("select count(*) from chat")), 2);
    QCOMPARE(count(phone.device, QStringLiteral("select count(*) from chat where guid='SMS;-;+49301234567'")), 1);

    // Attachment names: a suffix from the type, a name of dots replaced, a
    // non-ASCII name kept; the files are the bytes the phone sent.
    IOS6MessageDb db(phone.device.cacheDir(), phone.device.mmc, true);
    db.open();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select transfer_name, filename from attachment order by rowid"));
    QStringList names;
    QStringList files;
    while (c.moveNext()) {
        names.append(c.getText(0));
        files.append(db.attachmentLocalPath(c.getText(1)));
    }
    QCOMPARE(names, (QStringList{QStringLiteral("photo.png"), QStringLiteral("Unknown2.jpg"),
                                 QStringLiteral("照片.jpg")}));
    const QJsonArray atts = messagesFixture()
                                .value(QStringLiteral("messages")).toArray().at(1).toObject()
                                .value(QStringLiteral("attachments")).toArray();
    QFile png(files.at(0));
    QVERIFY(png.open(QIODevice::ReadOnly));
    QCOMPARE(png.readAll(), QByteArray::fromBase64(atts.at(0).toObject().value(QStringLiteral("base64"))
                                                       .toString().toLatin1()));
    for (const QString& f : files)
        QVERIFY2(f.startsWith(phone.device.cacheDir().absolutePath()), qPrintable(f));

    // The PC asked for message 2's parts and acknowledged each of them.
    const QList<QByteArray> in = phone.sim->linesReceived(QStringLiteral("mms2"));
    QCOMPARE(in.count("1"), 1);
    QCOMPARE(in.count("."), 5);
    QCOMPARE(in.last(), QByteArray("$bye:"));
}

void TestLoadMessages::secondLoad_writesNothingNew_andPhoneDeletionsGo()
{
    loadtest::WifiPhone phone(kNet, messagesFixture());
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    RecordingJobReport first;
    QVERIFY(load(phone, first));
    QVERIFY(first.succeeded());
    const qint64 messages = count(phone.device, QStringLiteral("select count(*) from message"));
    const qint64 maxRow = count(phone.device, QStringLiteral("select max(rowid) from message"));

    RecordingJobReport second;
    QVERIFY(load(phone, second));
    QVERIFY2(second.succeeded(), qPrintable(loadtest::joined(second.errors())));
    QCOMPARE(count(phone.device, QStringLiteral("select count(*) from message")), messages);
    QCOMPARE(count(phone.device, QStringLiteral("select max(rowid) from message")), maxRow);
    QCOMPARE(count(phone.device, QStringLiteral("select count(*) from valid_hash")), 3);
    // The stored message with parts is not transferred again.
    const QList<QByteArray> in = phone.sim->connections(QStringLiteral("service")).last().linesIn;
    QCOMPARE(in.count("0"), 1);
    QCOMPARE(in.count("."), 0);

    // Message 3 is deleted on the phone: it goes, and its chat with it.
    loadtest::WifiPhone later(kNet, keepMessages(messagesFixture(), {1, 2}));
    later.device.imei = phone.device.imei;
    RecordingJobReport third;
    QVERIFY(load(later, third));
    QVERIFY(third.succeeded());
    QCOMPARE(count(later.device, QStringLiteral("select count(*) from message")), messages - 1);
    QVERIFY(!texts(later.device).contains(QStringLiteral("Bye")));
    QCOMPARE(count(later.device, QStringLiteral("select count(*) from chat")), 1);
    QCOMPARE(count(later.device, QStringLiteral("select count(*) from chat_message_join")), messages - 1);
}

void TestLoadMessages::sharedStoredMessage_staysWhileOneOriginRemains()
{
    // Message 10 (a text part "Hi") and message 11 (the text "Hi", same time
    // and address) both stand for the stored message "Hi".
    QJsonObject fixture = messagesFixture();
    const QJsonArray messages{
        QJsonObject{{QStringLiteral("id"), 10}, {QStringLiteral("address"), QStringLiteral("+4930555")},
                    {QStringLiteral("date"), 1700001000}, {QStringLiteral("body"), QStringLiteral("\uFFFC")},
                    {QStringLiteral("attachments"),
                     QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("a.txt")},
                                            {QStringLiteral("mime"), QStringLiteral("text/plain")},
                                            {QStringLiteral("base64"), QStringLiteral("SGk=")}}}}},
        QJsonObject{{QStringLiteral("id"), 11}, {QStringLiteral("address"), QStringLiteral("+4930555")},
                    {QStringLiteral("date"), 1700001000}, {QStringLiteral("body"), QStringLiteral("Hi")}}};
    fixture.insert(QStringLiteral("messages"), messages);
    loadtest::WifiPhone phone(kNet, fixture);
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    RecordingJobReport first;
    QVERIFY(load(phone, first));
    QVERIFY(first.succeeded());
    QCOMPARE(texts(phone.device), QStringList{QStringLiteral("Hi")});
    QCOMPARE(count(phone.device, QStringLiteral("select count(*) from parent_hash")), 2);

    // Message 10 goes from the phone; "Hi" still stands for message 11.
    loadtest::WifiPhone later(kNet, keepMessages(fixture, {11}));
    later.device.imei = phone.device.imei;
    RecordingJobReport second;
    QVERIFY(load(later, second));
    QVERIFY(second.succeeded());
    QCOMPARE(texts(later.device), QStringList{QStringLiteral("Hi")});
    QCOMPARE(count(later.device, QStringLiteral("select count(*) from parent_hash")), 1);
}

void TestLoadMessages::dates_areComputedIn64Bits()
{
    QCOMPARE(AndroidLoadMessagesThread::iosSecondsFromPhoneMs(1000000000000ll), 1000000000 - 978307200);
    // 2040-01-01: seconds since 1970 no longer fit 32 bits' sign; the result does.
    QCOMPARE(AndroidLoadMessagesThread::iosSecondsFromPhoneMs(2208988800000ll), 2208988800ll - 978307200);
    QCOMPARE(AndroidLoadMessagesThread::iosSecondsFromPhoneMs(std::numeric_limits<qint64>::max()),
             std::numeric_limits<int>::max());
}

void TestLoadMessages::cancelAndFailures_rollBackTheStore_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("cancelOn");
    QTest::addColumn<QString>("error");
    // Steps: 1 ready, 2 count, 3 batch, 4 sms 1, 5 sms 2, 6 atta, 7.. data.
    using K = Fault::Kind;
    QTest::newRow("cancel in attachment data") << int(K::StallAt) << 0 << QByteArray() << QStringLiteral("Receiving")
                                               << QString();
    QTest::newRow("phone error in a part") << int(K::ErrorAt) << 7 << QByteArray("no room") << QString()
                                           << QStringLiteral("no room");
    QTest::newRow("part without $atta:") << int(K::WrongLineAt) << 6 << QByteArray("$sms:1") << QString()
                                         << QStringLiteral("invalid feedback [$sms:1], must be [$atta:]");
    QTest::newRow("short $atta:") << int(K::WrongLineAt) << 6 << QByteArray("$atta:image/png") << QString()
                                  << QStringLiteral("$atta: command invalid param.");
    QTest::newRow("closed mid-batch") << int(K::CloseAt) << 5 << QByteArray("$sms:17") << QString() << QString();
    QTest::newRow("stall, then cancel") << int(K::StallAt) << 5 << QByteArray() << QStringLiteral("sms: 1/") << QString();
}

void TestLoadMessages::cancelAndFailures_rollBackTheStore()
{
    QFETCH(int, kind);
    QFETCH(int, step);
    QFETCH(QByteArray, text);
    QFETCH(QString, cancelOn);
    QFETCH(QString, error);

    // A store that holds message 1 from an earlier load.
    loadtest::WifiPhone phone(kNet, keepMessages(messagesFixture(), {1}));
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    RecordingJobReport first;
    QVERIFY(load(phone, first));
    QVERIFY(first.succeeded());

    loadtest::WifiPhone later(kNet, messagesFixture());
    later.device.imei = phone.device.imei;
    if (step > 0)
        later.sim->addFault(Fault(Fault::Kind(kind), QStringLiteral("mms2"), step, text));
    RecordingJobReport report;
    if (!cancelOn.isEmpty())
        report.cancelWhenProgressContains(cancelOn);
    QVERIFY(load(later, report));
    later.sim->releaseStalls();
    if (cancelOn.isEmpty()) {
        QCOMPARE(report.endCount(), 1);
        QVERIFY(report.failed());
        if (!error.isEmpty())
            QCOMPARE(report.errors().first(), error);
    } else {
        QCOMPARE(report.endCount(), 0);
    }
    QCOMPARE(texts(later.device), QStringList{QStringLiteral("Hello")});
    QCOMPARE(count(later.device, QStringLiteral("select count(*) from parent_hash")), 1);
    QCOMPARE(count(later.device, QStringLiteral("select count(*) from valid_hash")), 1);
}

QTEST_GUILESS_MAIN(TestLoadMessages)
#include "test_loadmessages.moc"
