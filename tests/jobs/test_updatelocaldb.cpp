// The start-up conversion of old "mms.db" files into the message store.
#include "jobs/updatelocaldbthread.h"
#include "shell/core/dataroot.h"

#include "jobtestutil.h"

using namespace Qt::StringLiterals;

namespace {

QString dataFile(const QString& name)
{
    return testsupport::sourceDir() + u"/tests/jobs/data/"_s + name;
}

// An old-layout message database in folder, filled by the given inserts.
void makeOldDb(const QDir& folder, const QByteArray& inserts)
{
    Sqlite3DB db;
    db.openThrow(folder.absoluteFilePath(u"mms.db"_s), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    db.executeScriptThrow(testsupport::readFile(dataFile(u"old_mms.sql"_s)) + inserts);
}

// One line per stored message: text|handle|chat|from me|date|the bytes of its
// attachment file in the store.
QStringList storedMessages(const QDir& folder)
{
    QStringList out;
    IOS6MessageDb store(folder, QString(), false);
    store.open();
    Sqlite3Cursor c = store.queryThrow(
        u"select m.text||'|'||h.id||'|'||c.guid||'|'||m.is_from_me||'|'||m.date||'|',"
        " (select a.filename from message_attachment_join j join attachment a on a.rowid=j.attachment_id"
        "  where j.message_id=m.rowid) from message m left join handle h on h.rowid=m.handle_id"
        " left join chat_message_join cm on cm.message_id=m.rowid left join chat c on c.rowid=cm.chat_id"
        " order by m.rowid"_s);
    while (c.moveNext())
        out << c.getText(0) + QString::fromLatin1(testsupport::readFile(store.attachmentLocalPath(c.getText(1))));
    return out;
}

QDir newBackup(const QString& name)
{
    getLocalDatabasesDir().mkpath(name + u"/attachments"_s);
    return QDir(getLocalDatabasesDir().absoluteFilePath(name));
}

} // namespace

class TestUpdateLocalDb : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QDir(getLocalDatabasesDir()).removeRecursively(); }
    void messagesAndAttachments_followTheirRules();
    void run_convertsEachFolderOnce_keepsOldFiles_andStopsAtACorruptOne();
};

void TestUpdateLocalDb::messagesAndAttachments_followTheirRules()
{
    const QDir folder = newBackup(u"pics"_s);
    // A file outside the backup folder that crafted rows point at.
    QVERIFY(jobtest::writeFile(getLocalDatabasesDir().absoluteFilePath(u"secret.jpg"_s), "SECRET"));
    makeOldDb(folder, testsupport::readFile(dataFile(u"old_mms_rules.sql"_s)));
    const QDir attachments(dataFile(u"old_mms_attachments"_s));
    for (const QString& name : attachments.entryList(QDir::Files))
        QVERIFY(QFile::copy(attachments.absoluteFilePath(name), folder.absoluteFilePath(u"attachments/"_s + name)));

    testsupport::RecordingJobReport report;
    UpdateLocalDbThread::convertOldMessageDb(folder, folder, &report);
    QCOMPARE(report.progress().last().percent, 100);
    const QString obj(QChar(0xFFFC));
    QCOMPARE(storedMessages(folder),
             (QStringList {u"look at these|friend@example.com|SMS;-;friend@example.com|1|721692800|"_s,
                           obj + u"|friend@example.com|SMS;-;friend@example.com|1|721692800|JPEGDATA"_s,
                           obj + u"|friend@example.com|SMS;-;friend@example.com|1|721692800|PNGDATA"_s,
                           u"hello from a file\n|+491701234567|SMS;-;+491701234567|0|621692800|"_s,
                           u"body|12345|SMS;-;12345|0|621693100|"_s}));
}

void TestUpdateLocalDb::run_convertsEachFolderOnce_keepsOldFiles_andStopsAtACorruptOne()
{
    const QDir a = newBackup(u"a"_s);
    const QDir b = newBackup(u"b"_s);
    newBackup(u"plain"_s); // nothing to convert
    // "a" was converted twice before: its new backup name is the next free one.
    QVERIFY(jobtest::writeFile(a.absoluteFilePath(u"mms.db-bak"_s), "older"));
    QVERIFY(jobtest::writeFile(a.absoluteFilePath(u"mms.db-bak1"_s), "older"));
    for (const QDir& d : {a, b})
        makeOldDb(d,
                  "INSERT INTO handle VALUES (1, '555', '');"
                  "INSERT INTO message VALUES (1, 1600000000, 0, '', '"
                      + d.dirName().toUtf8() + "', 1);");
    const QByteArray before = testsupport::readFile(a.absoluteFilePath(u"mms.db"_s));
    QVERIFY(UpdateLocalDbThread::hasOldDatabase(getLocalDatabasesDir()));

    testsupport::RecordingJobReport report;
    UpdateLocalDbThread job(&report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.successes(), QStringList {u"Successfully updated local database."_s});
    // Opened read-only: the old file is kept byte for byte under its new name.
    QVERIFY(!QFile::exists(a.absoluteFilePath(u"mms.db"_s)));
    QCOMPARE(testsupport::readFile(a.absoluteFilePath(u"mms.db-bak2"_s)), before);
    QCOMPARE(testsupport::readFile(a.absoluteFilePath(u"mms.db-bak"_s)), QByteArray("older"));
    QCOMPARE(storedMessages(a).size(), 1);
    QVERIFY(storedMessages(b).first().startsWith("b|"_L1));
    QVERIFY(!QFile::exists(getLocalDatabasesDir().absoluteFilePath(u"plain/file-relay"_s)));
    QVERIFY(!UpdateLocalDbThread::hasOldDatabase(getLocalDatabasesDir()));

    // A corrupt database fails the next run and is kept as it is.
    const QString file = newBackup(u"broken"_s).absoluteFilePath(u"mms.db"_s);
    QVERIFY(jobtest::writeFile(file, QByteArray(4096, 'x')));
    testsupport::RecordingJobReport failed;
    UpdateLocalDbThread again(&failed);
    QVERIFY(jobtest::run(again));
    QVERIFY(failed.failed());
    QCOMPARE(testsupport::readFile(file), QByteArray(4096, 'x'));
}

QTEST_GUILESS_MAIN(TestUpdateLocalDb)
#include "test_updatelocaldb.moc"
