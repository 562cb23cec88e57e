// The message loader against the simulated phone: the first load, an
// incremental load that writes nothing new, messages gone from the phone,
// attachment parts and their names, damaged attachment data, messages that
// share a key, and rollback on cancel and failure.
#include "messagestore/ios6messagedb.h"
#include "phonelink/androidloadmessagesthread.h"
#include "shell/core/translations.h"

#include "test_loadsupport.h"

#include <QtTest>

using phonesim::Fault;
using testsupport::RecordingJobReport;

namespace {

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

} // namespace

class TestLoadMessages : public QObject {
    Q_OBJECT
    static QJsonObject messagesFixture() { return loadtest::fixtureFile(QStringLiteral("loaders-messages.json")); }
    static QStringList texts(const auto& d) { return column(d, QStringLiteral("select text from message")); }
    static qint64 count(const AndroidDeviceInfo& d, const char* table)
    {
        return column(d, QStringLiteral("select count(*) from ") + QLatin1String(table)).value(0).toLongLong();
    }

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(QCoreApplication::instance());
        loadtest::useFreePorts();
    }

    void loads_firstThenNothingNewThenDeletions()
    {
        loadtest::WifiPhone phone(82, messagesFixture());
        PHONE_OK(phone);
        RecordingJobReport report;
        AndroidLoadMessagesThread job(&phone.device, &report);
        LOAD_OK(job, report);
        QVERIFY(report.progressTexts().contains(QStringLiteral("sms: 3/3")));

        // Message 2 became its text, its text part and one message per picture;
        // the application part was dropped.
        QCOMPARE(texts(phone.device), loadtest::list("Hello|Pics |\uFFFC|Hello part|\uFFFC|\uFFFC|Bye"));
        QVERIFY(column(phone.device, QStringLiteral("select guid from chat")).contains(u"SMS;-;+49301234567"));
        QCOMPARE(count(phone.device, "chat"), 2);

        // Attachment names: a suffix from the type, a name of dots replaced, a
        // non-ASCII name kept; the files are the bytes the phone sent.
        QCOMPARE(column(phone.device, QStringLiteral("select transfer_name from attachment order by rowid")),
                 loadtest::list("photo.png|Unknown2.jpg|照片.jpg"));
        IOS6MessageDb db(phone.device.cacheDir(), phone.device.mmc, true);
        const auto files = column(phone.device, QStringLiteral("select filename from attachment order by rowid"));
        for (const QString& f : files)
            QVERIFY2(db.attachmentLocalPath(f).startsWith(phone.device.cacheDir().absolutePath()), qPrintable(f));
        QFile png(db.attachmentLocalPath(files.value(0)));
        QVERIFY(png.open(QIODevice::ReadOnly));
        QCOMPARE(png.readAll().toBase64(),
                 messagesFixture()["messages"][1]["attachments"][0]["base64"].toString().toLatin1());

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
        loadtest::WifiPhone later(82, keepMessages(messagesFixture(), {1, 2}), phone.device.imei);
        RecordingJobReport third;
        AndroidLoadMessagesThread job3(&later.device, &third);
        LOAD_OK(job3, third);
        QCOMPARE(texts(later.device), loadtest::list("Hello|Pics |\uFFFC|Hello part|\uFFFC|\uFFFC"));
        QCOMPARE(count(later.device, "chat"), 1);
    }

    void sharedStoredMessage_staysWhileOneOriginRemains()
    {
        // Message 10 (a text part "Hi") and message 11 (the text "Hi", same time
        // and address) both stand for the stored message "Hi".
        QJsonObject fixture = messagesFixture();
        fixture.insert(QStringLiteral("messages"),
                       QJsonDocument::fromJson(R"([
            {"id": 10, "address": "+4930555", "date": 1700001000, "body": "\ufffc",
             "attachments": [{"name": "a.txt", "mime": "text/plain", "base64": "SGk="}]},
            {"id": 11, "address": "+4930555", "date": 1700001000, "body": "Hi"}])")
                           .array());
        loadtest::WifiPhone phone(82, fixture);
        PHONE_OK(phone);
        RecordingJobReport first;
        AndroidLoadMessagesThread job(&phone.device, &first);
        LOAD_OK(job, first);
        QCOMPARE(texts(phone.device), loadtest::list("Hi"));
        QCOMPARE(count(phone.device, "parent_hash"), 2);

        // Message 10 goes from the phone; "Hi" still stands for message 11.
        loadtest::WifiPhone later(82, keepMessages(fixture, {11}), phone.device.imei);
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

    void damagedAttachmentData_skipsThatMessageUntilTheNextLoad()
    {
        // Steps: 1 ready, 2 count, 3 batch, 4 sms 1, 5 sms 2, 6 atta, 7.. data.
        // A protocol line in the picture's data, which a lenient decoder
        // would have taken for a few bytes of picture.
        loadtest::WifiPhone phone(82, messagesFixture());
        PHONE_OK(phone);
        phone.sim->addFault(Fault(Fault::Kind::WrongLineAt, QStringLiteral("mms2"), 8, "$atta:image/png,x"));
        RecordingJobReport report;
        AndroidLoadMessagesThread job(&phone.device, &report);
        LOAD_OK(job, report);
        QCOMPARE(job.skippedMessages(), 1);
        QCOMPARE(report.successes(),
                 QStringList {QStringLiteral(
                     "1 message could not be received intact and will be fetched again on the next load.")});
        // Nothing of message 2, not even its text; the load went on after it.
        QCOMPARE(texts(phone.device), loadtest::list("Hello|Bye"));
        QCOMPARE(count(phone.device, "attachment"), 0);
        QCOMPARE(count(phone.device, "parent_hash"), 2);

        // The next load asks for it again and stores it whole.
        RecordingJobReport second;
        AndroidLoadMessagesThread job2(&phone.device, &second);
        LOAD_OK(job2, second);
        QCOMPARE(second.successes(), QStringList {QString()});
        QCOMPARE(texts(phone.device), loadtest::list("Hello|Bye|Pics |\uFFFC|Hello part|\uFFFC|\uFFFC"));
        const QList<QByteArray> answers = phone.sim->connections(QStringLiteral("service")).last().linesIn;
        QCOMPARE(answers.count("1"), 1);
        IOS6MessageDb db(phone.device.cacheDir(), phone.device.mmc, true);
        QFile png(db.attachmentLocalPath(
            column(phone.device, QStringLiteral("select filename from attachment order by rowid")).value(0)));
        QVERIFY(png.open(QIODevice::ReadOnly));
        QCOMPARE(png.readAll().toBase64(),
                 messagesFixture()["messages"][1]["attachments"][0]["base64"].toString().toLatin1());
    }

    void picturesFromOneNumberWithinASecond_areKeptApart()
    {
        // Two picture-only messages, same number, same second, same file
        // name: only the pictures tell them apart, and those come after the
        // key is made. A text sent twice in that second stays one message.
        QJsonObject fixture = messagesFixture();
        fixture.insert(QStringLiteral("messages"),
                       QJsonDocument::fromJson(R"([
            {"id": 20, "address": "+4930777", "dateMs": 1700003000100, "body": "\ufffc",
             "attachments": [{"name": "image.jpg", "mime": "image/jpeg", "base64": "Zmlyc3Q="}]},
            {"id": 21, "address": "+4930777", "dateMs": 1700003000900, "body": "\ufffc",
             "attachments": [{"name": "image.jpg", "mime": "image/jpeg", "base64": "c2Vjb25k"}]},
            {"id": 22, "address": "+4930777", "dateMs": 1700003000200, "body": "ok"},
            {"id": 23, "address": "+4930777", "dateMs": 1700003000300, "body": "ok"}])")
                           .array());
        loadtest::WifiPhone phone(82, fixture);
        PHONE_OK(phone);
        RecordingJobReport first;
        AndroidLoadMessagesThread job(&phone.device, &first);
        LOAD_OK(job, first);
        // Both pictures arrive, each in a file of its own, and both are shown.
        // (The store takes two picture messages alike in time, number and
        // file name for one message holding both.)
        QCOMPARE(count(phone.device, "message_attachment_join"), 2);
        IOS6MessageDb db(phone.device.cacheDir(), phone.device.mmc, true);
        QStringList pictures;
        for (const QString& f :
             column(phone.device, QStringLiteral("select filename from attachment order by rowid"))) {
            QFile file(db.attachmentLocalPath(f));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(f));
            pictures << QString::fromLatin1(file.readAll());
        }
        QCOMPARE(pictures, loadtest::list("first|second"));
        // The first keeps the key it always had; the repeat gets an ordinal.
        const QStringList keys = column(phone.device, QStringLiteral("select distinct parent from parent_hash"));
        QCOMPARE(keys.size(), 3);
        const QStringList repeats = keys.filter(QRegularExpression(QStringLiteral("^[0-9a-f]{32}-1$")));
        QCOMPARE(repeats.size(), 1);
        QVERIFY(keys.contains(repeats.value(0).left(32)));

        // The next load knows both and fetches neither.
        RecordingJobReport second;
        AndroidLoadMessagesThread job2(&phone.device, &second);
        LOAD_OK(job2, second);
        const QList<QByteArray> answers = phone.sim->connections(QStringLiteral("service")).last().linesIn;
        QCOMPARE(answers.count("0"), 2);
        QCOMPARE(answers.count("1"), 0);
        QCOMPARE(count(phone.device, "message_attachment_join"), 2);
        QCOMPARE(texts(phone.device).count(QStringLiteral("ok")), 1);
    }

    void cancelAndFailures_rollBackTheStore()
    {
        // A store that holds message 1 from an earlier load.
        loadtest::WifiPhone phone(82, keepMessages(messagesFixture(), {1}));
        PHONE_OK(phone);
        RecordingJobReport first;
        AndroidLoadMessagesThread job(&phone.device, &first);
        LOAD_OK(job, first);
        // Steps: 1 ready, 2 count, 3 batch, 4 sms 1, 5 sms 2, 6 atta, 7.. data. No fault: a cancel.
        const struct {
            Fault::Kind kind;
            int step;
            const char* text;
            const char* error;
        } cases[] = {{Fault::Kind::ErrorAt, 0, "", ""},
                     {Fault::Kind::ErrorAt, 7, "no room", "no room"},
                     {Fault::Kind::WrongLineAt, 6, "$atta:image/png", "$atta: command invalid param."}};
        for (const auto& c : cases) {
            loadtest::WifiPhone later(82, messagesFixture(), phone.device.imei);
            RecordingJobReport report;
            if (c.step == 0)
                report.cancelWhenProgressContains(QStringLiteral("Receiving"));
            else
                later.sim->addFault(Fault(c.kind, QStringLiteral("mms2"), c.step, c.text));
            AndroidLoadMessagesThread job2(&later.device, &report);
            QVERIFY(loadtest::runJob(job2));
            QCOMPARE(report.endCount(), c.step == 0 ? 0 : 1);
            QCOMPARE(report.errors(), c.step == 0 ? QStringList() : loadtest::list(c.error));
            QCOMPARE(texts(later.device), loadtest::list("Hello"));
            QCOMPARE(count(later.device, "parent_hash"), 1);
            QCOMPARE(count(later.device, "valid_hash"), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestLoadMessages)
#include "test_loadmessages.moc"
