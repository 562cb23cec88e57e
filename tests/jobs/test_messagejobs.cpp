// The message backup and delete jobs on the store of a folder: what they
// store and remove, what a cancel or a failure leaves, and the attachment
// files that belong to several messages.
#include "jobs/backupmmsthread.h"
#include "jobs/deletemmsthread.h"
#include "shell/core/translations.h"

#include "message_testdata.h"
#include "messagestoretestutil.h"
#include "testsupport.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int kBase = 721692800;

// Ann (three messages, one with a picture, one with a file that is gone),
// Bob (two), a message whose conversation and counterpart are unknown.
void buildMessages(MessageSet& s, const QString& files, int from = 0)
{
    auto* ann = s.handle(u"+4930111"_s, u"Ann"_s);
    auto* bob = s.handle(u"+4930222"_s);
    auto* a = s.chat(ann->id, {ann}, kBase + 300);
    auto* b = s.chat(bob->id, {bob}, kBase + 900);
    s.message(a, ann, false, u"hello %1"_s.arg(from), kBase + from);
    s.attach(s.message(a, nullptr, true, QString(), kBase + from + 10), u"image/jpeg"_s,
             writePicture(files + u"/pic%1.jpg"_s.arg(from), Qt::red));
    s.attach(s.message(a, ann, false, u"see file"_s, kBase + from + 20), u"video/mp4"_s,
             files + u"/gone%1.mp4"_s.arg(from));
    s.message(b, bob, false, u"bob 1"_s, kBase + from + 30);
    s.message(b, nullptr, true, u"bob 2"_s, kBase + from + 40);
    s.message(nullptr, nullptr, false, u"lost"_s, kBase + from + 50);
}

bool runToEnd(QThread& job)
{
    job.start();
    return job.wait(QDeadlineTimer(30000));
}

QString storeFile(const QString& folder, const QString& name)
{
    return folder + u"/file-relay/var/mobile/Library/SMS/Attachments/"_s + name;
}

} // namespace

class TestMessageJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }

    void backup_storesEachMessageOnce_andACancelKeepsNothingOfItsRun();
    void backup_intoAStoreThatCannotBeWritten_failsAndKeepsItsFiles();
    void delete_removesRowsAndEmptiedChats_keepsSharedFiles_cancelChangesNothing();
};

void TestMessageJobs::backup_storesEachMessageOnce_andACancelKeepsNothingOfItsRun()
{
    const QString files = testsupport::makeTempDir(u"files"_s);
    const QString folder = testsupport::makeTempDir(u"backup"_s);
    MessageSet s;
    buildMessages(s, files);
    for (int round = 1; round <= 2; ++round) {
        testsupport::RecordingJobReport report;
        BackupMMSThread job(QDir(folder), u"262"_s, s.list(), &report);
        QVERIFY(runToEnd(job));
        QCOMPARE(report.successes(),
                 QStringList {u"Successfully backup 6 messages.\n1 messages were left out: their conversation is "
                              "missing.\n1 attachment files were missing and could not be copied."_s});
        QCOMPARE(report.progressTexts().last(), u"Messages:6 / 6"_s);
        QCOMPARE(report.progress().first().status, u"Backing up Messages to Local Database..."_s);
        QCOMPARE(storecheck::messages(folder), 5);
        QCOMPARE(storecheck::problems(folder), QString());
    }
    QVERIFY(QFile::exists(storeFile(folder, u"pic0.jpg"_s)));

    // A cancel in the middle of new messages: none of them stays, nor the
    // picture they brought.
    MessageSet more;
    buildMessages(more, files, 5000);
    testsupport::RecordingJobReport cancelled;
    cancelled.cancelWhenProgressContains(u"Messages:4 / 6"_s);
    BackupMMSThread job(QDir(folder), u"262"_s, more.list(), &cancelled);
    QVERIFY(runToEnd(job));
    QCOMPARE(cancelled.endCount(), 0);
    QCOMPARE(storecheck::messages(folder), 5);
    QVERIFY(!QFile::exists(storeFile(folder, u"pic5000.jpg"_s)));
    QVERIFY(QFile::exists(storeFile(folder, u"pic0.jpg"_s)));
    QCOMPARE(storecheck::problems(folder), QString());
}

void TestMessageJobs::backup_intoAStoreThatCannotBeWritten_failsAndKeepsItsFiles()
{
    const QString files = testsupport::makeTempDir(u"files"_s);
    const QString folder = testsupport::makeTempDir(u"broken"_s);
    // A store file that is no database.
    const QString db = folder + u"/file-relay/var/mobile/Library/SMS/sms.db"_s;
    QDir().mkpath(QFileInfo(db).absolutePath());
    writeFile(db, QByteArray(4096, 'x'));
    MessageSet s;
    buildMessages(s, files);
    testsupport::RecordingJobReport report;
    BackupMMSThread job(QDir(folder), QString(), s.list(), &report);
    QVERIFY(runToEnd(job));
    QCOMPARE(report.errors().size(), 1);
    QVERIFY2(report.errors().first().contains(u"not a database"_s), qPrintable(report.errors().first()));
    QCOMPARE(testsupport::readFile(db), QByteArray(4096, 'x'));
    QVERIFY(!QFile::exists(storeFile(folder, u"pic0.jpg"_s)));
}

void TestMessageJobs::delete_removesRowsAndEmptiedChats_keepsSharedFiles_cancelChangesNothing()
{
    const QString files = testsupport::makeTempDir(u"files"_s);
    const QString folder = testsupport::makeTempDir(u"delete"_s);
    // Two messages of Ann share one picture file (two attachment rows); an
    // attachment row of Bob names a file outside the store.
    const QString outside = writeFile(folder + u"/outside.txt"_s, "keep me");
    {
        MessageSet s;
        auto* ann = s.handle(u"+4930111"_s);
        auto* bob = s.handle(u"+4930222"_s);
        auto* a = s.chat(ann->id, {ann}, kBase);
        auto* b = s.chat(bob->id, {bob}, kBase);
        const QString pic = writePicture(files + u"/shared.jpg"_s, Qt::blue);
        s.attach(s.message(a, ann, false, u"one"_s, kBase), u"image/jpeg"_s, pic);
        s.attach(s.message(a, ann, false, u"two"_s, kBase + 1), u"image/jpeg"_s, pic);
        s.message(a, ann, false, u"three"_s, kBase + 2);
        s.attach(s.message(b, bob, false, u"bob"_s, kBase + 3), u"text/plain"_s, outside)->filename
            = u"~/../../outside.txt"_s;
        testsupport::RecordingJobReport report;
        BackupMMSThread job(QDir(folder), QString(), s.list(), &report);
        QVERIFY(runToEnd(job));
        QVERIFY(report.succeeded());
    }
    const QString shared = storeFile(folder, u"shared.jpg"_s);
    QVERIFY(QFile::exists(shared));
    MsgDataSetPtr ds = storecheck::load(folder);
    auto byText = [&ds](const QString& text) {
        for (_MsgMessage* m : std::as_const(ds->messages))
            if (m->text == text)
                return m;
        return static_cast<_MsgMessage*>(nullptr);
    };
    const QDir dir(folder);
    auto runDelete = [&](const MsgMessageList& list, testsupport::RecordingJobReport& report) {
        DeleteMMSThread job(&dir, &list, &report);
        return runToEnd(job);
    };

    // Cancelled before the first message: nothing changes.
    testsupport::RecordingJobReport cancelled;
    cancelled.cancel();
    QVERIFY(runDelete({byText(u"one"_s), byText(u"bob"_s)}, cancelled));
    QCOMPARE(cancelled.endCount(), 0);
    QCOMPARE(storecheck::messages(folder), 4);

    // "one" goes; its picture stays for "two". Bob's conversation goes whole,
    // the file outside the store stays.
    testsupport::RecordingJobReport report;
    QVERIFY(runDelete({byText(u"one"_s), byText(u"bob"_s)}, report));
    QCOMPARE(report.successes(), QStringList {u"Successfully Deleted 2 Messages."_s});
    QCOMPARE(report.progressTexts().mid(1), (QStringList {u"Messages: 1/2"_s, u"Messages: 2/2"_s}));
    QCOMPARE(storecheck::messages(folder), 2);
    QVERIFY(QFile::exists(shared));
    QCOMPARE(testsupport::readFile(outside), QByteArray("keep me"));
    QCOMPARE(storecheck::problems(folder), QString());
    {
        IOS6MessageDb db(dir, QString(), false);
        QCOMPARE(storecheck::count(db, u"select count(*) from chat"_s), 1);
        QCOMPARE(storecheck::count(db, u"select count(*) from handle"_s), 1);
        QCOMPARE(storecheck::count(db, u"select count(*) from attachment"_s), 1);
    }

    // The last message naming the picture takes it along.
    testsupport::RecordingJobReport last;
    QVERIFY(runDelete({byText(u"two"_s)}, last));
    QVERIFY(last.succeeded());
    QVERIFY(!QFile::exists(shared));
    QCOMPARE(storecheck::messages(folder), 1);
    QCOMPARE(storecheck::problems(folder), QString());
}

QTEST_GUILESS_MAIN(TestMessageJobs)
#include "test_messagejobs.moc"
