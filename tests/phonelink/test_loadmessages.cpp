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

// The first column of a query on the phone's cache store.
QStringList column(const AndroidDeviceInfo& device, const QString& sql)
{
    IOS6MessageDb db(device.cacheDir(), device.mmc, true);
    db.open();
    Sqlite3Cursor c = db.queryThrow(sql);
    QStringList out;
    while (c.moveNext())
        out.append(c.getText(0));
    return out;
}

qint64 count(const AndroidDeviceInfo& device, const char* table)
{
    return column(device, QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).value(0).toLongLong();
}

QStringList texts(const AndroidDeviceInfo& device)
{
    return column(device, QStringLiteral("select text from message order by rowid"));
}

} // namespace

class TestLoadMessages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { loadtest::useFreePorts(); }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void loads_firstThenNothingNewThenDeletions();
    void sharedStoredMessage_staysWhileOneOriginRemains();
    void cancelAndFailures_rollBackTheStore_data();
    void cancelAndFailures_rollBackTheStore();
};

void TestLoadMessages::loads_firstThenNothingNewThenDeletions()
{
    loadtest::WifiPhone phone(kNet, messagesFixture());
    PHONE_OK(phone);
    RecordingJobReport report;
    AndroidLoadMessagesThread job(&phone.device, &report);
    LOAD_OK(job, report);
    QVERIFY(report.progressTexts().contains(QStringLiteral("sms: 3/3")));

    // Message 2 became its text, its text part and one message per picture;
    // the application part was dropped.
    QCOMPARE(texts(phone.device), loadtest::list("Hello|Pics |\uFFFC|Hello part|\uFFFC|\uFFFC|Bye"));
    QCOMPARE(column(phone.device, QStringLiteral("select guid from chat")).count(QStringLiteral("SMS;-;+49301234567")), 1);
    QCOMPARE(count(phone.device, "chat"), 2);

    // Attachment names: a suffix from the type, a name of dots replaced, a
    // non-ASCII name kept; the files are the bytes the phone sent.
    QCOMPARE(column(phone.device, QStringLiteral("select transfer_name from attachment order by rowid")),
             loadtest::list("photo.png|Unknown2.jpg|照片.jpg"));
    IOS6MessageDb db(phone.device.cacheDir(), phone.device.mmc, true);
    const QStringList files = column(phone.device, QStringLiteral("select filename from attachment order by rowid"));
    for (const QString& f : files)
        QVERIFY2(db.attachmentLocalPath(f).startsWith(phone.device.cacheDir().absolutePath()), qPrintable(f));
    QFile png(db.attachmentLocalPath(files.value(0)));
    QVERIFY(png.open(QIODevice::ReadOnly));
    QCOMPARE(png.readAll().toBase64(), messagesFixture()["messages"][1]["attachments"][0]["base64"].toString().toLatin1());
    // The PC asked for message 2's parts and acknowledged each of them.
    const QList<QByteArray> in = phone.sim->linesReceived(QStringLiteral("mms2"));
    QCOMPARE(in.count("1"), 1);
    QCOMPARE(in.count("."), 5);

    // A second load writes nothing and does not transfer the parts again.
    const QStringList rows = column(phone.device, QStringLiteral("select rowid from message"));
    RecordingJobReport second;
    AndroidLoadMessagesThread job2(&phone.device, &second);
    LOAD_OK(job2, second);
    QCOMPARE(column(phone.device, QStringLiteral("select rowid from message")), rows);
    QCOMPARE(count(phone.device, "valid_hash"), 3);
    const QList<QByteArray> again = phone.sim->connections(QStringLiteral("service")).last().linesIn;
    QCOMPARE(again.count("0"), 1);
    QCOMPARE(again.count("."), 0);

    // Message 3 is deleted on the phone: it goes, and its chat with it.
    loadtest::WifiPhone later(kNet, keepMessages(messagesFixture(), {1, 2}), phone.device.imei);
    RecordingJobReport third;
    AndroidLoadMessagesThread job3(&later.device, &third);
    LOAD_OK(job3, third);
    QCOMPARE(count(later.device, "message"), rows.size() - 1);
    QVERIFY(!texts(later.device).contains(QStringLiteral("Bye")));
    QCOMPARE(count(later.device, "chat"), 1);
}

void TestLoadMessages::sharedStoredMessage_staysWhileOneOriginRemains()
{
    // Message 10 (a text part "Hi") and message 11 (the text "Hi", same time
    // and address) both stand for the stored message "Hi".
    QJsonObject fixture = messagesFixture();
    fixture.insert(QStringLiteral("messages"), QJsonDocument::fromJson(R"([
        {"id": 10, "address": "+4930555", "date": 1700001000, "body": "\ufffc",
         "attachments": [{"name": "a.txt", "mime": "text/plain", "base64": "SGk="}]},
        {"id": 11, "address": "+4930555", "date": 1700001000, "body": "Hi"}])").array());
    loadtest::WifiPhone phone(kNet, fixture);
    PHONE_OK(phone);
    RecordingJobReport first;
    AndroidLoadMessagesThread job(&phone.device, &first);
    LOAD_OK(job, first);
    QCOMPARE(texts(phone.device), loadtest::list("Hi"));
    QCOMPARE(count(phone.device, "parent_hash"), 2);

    // Message 10 goes from the phone; "Hi" still stands for message 11.
    loadtest::WifiPhone later(kNet, keepMessages(fixture, {11}), phone.device.imei);
    RecordingJobReport second;
    AndroidLoadMessagesThread job2(&later.device, &second);
    LOAD_OK(job2, second);
    QCOMPARE(texts(later.device), loadtest::list("Hi"));
    QCOMPARE(count(later.device, "parent_hash"), 1);

    // Dates are computed in 64 bits: 2040 and beyond still come out right.
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
    QTest::newRow("short $atta:") << int(K::WrongLineAt) << 6 << QByteArray("$atta:image/png") << QString()
                                  << QStringLiteral("$atta: command invalid param.");
    QTest::newRow("closed mid-batch") << int(K::CloseAt) << 5 << QByteArray("$sms:17") << QString() << QString();
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
    PHONE_OK(phone);
    RecordingJobReport first;
    AndroidLoadMessagesThread job(&phone.device, &first);
    LOAD_OK(job, first);

    loadtest::WifiPhone later(kNet, messagesFixture(), phone.device.imei);
    if (step > 0)
        later.sim->addFault(Fault(Fault::Kind(kind), QStringLiteral("mms2"), step, text));
    RecordingJobReport report;
    if (!cancelOn.isEmpty())
        report.cancelWhenProgressContains(cancelOn);
    AndroidLoadMessagesThread job2(&later.device, &report);
    QVERIFY(loadtest::runJob(job2));
    later.sim->releaseStalls();
    QCOMPARE(report.endCount(), cancelOn.isEmpty() ? 1 : 0);
    QCOMPARE(report.failed(), cancelOn.isEmpty());
    if (!error.isEmpty())
        QCOMPARE(report.errors().value(0), error);
    QCOMPARE(texts(later.device), loadtest::list("Hello"));
    QCOMPARE(count(later.device, "parent_hash"), 1);
    QCOMPARE(count(later.device, "valid_hash"), 1);
}

QTEST_GUILESS_MAIN(TestLoadMessages)
#include "test_loadmessages.moc"
