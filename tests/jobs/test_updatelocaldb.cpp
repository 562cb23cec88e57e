// The start-up conversion of old "mms.db" files into the message store.
#include "jobs/updatelocaldbthread.h"
#include "messagestore/ios6messagedb.h"
#include "platform/sqlite_qt.h"
#include "shell/core/dataroot.h"

#include "testsupport.h"

#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// An old-layout message database in folder (the columns the conversion reads,
// as earlier versions wrote them), filled by the given inserts.
void makeOldDb(const QDir& folder, const QByteArray& inserts)
{
    Sqlite3DB db;
    db.openThrow(folder.absoluteFilePath(u"mms.db"_s), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    db.executeScriptThrow(
        "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, person TEXT);"
        "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, date INTEGER, is_send INTEGER,"
        " subject TEXT, body TEXT, handle_id INTEGER);"
        "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, filename TEXT, mime_type TEXT);"
        "CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);"
        + inserts);
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One line per stored message: text|handle|chat|from me|date|attachment file name.
QStringList storedMessages(const QDir& folder)
{
    QStringList out;
    IOS6MessageDb store(folder, QString(), false);
    store.open();
    Sqlite3Cursor c = store.queryThrow(
        u"select m.text, h.id, c.guid, m.is_from_me, m.date,"
        " (select a.filename from message_attachment_join j join attachment a on a.rowid=j.attachment_id"
        "  where j.message_id=m.rowid) from message m left join handle h on h.rowid=m.handle_id"
        " left join chat_message_join cm on cm.message_id=m.rowid left join chat c on c.rowid=cm.chat_id"
        " order by m.rowid"_s);
    while (c.moveNext()) {
        const QString file = c.getText(5).section(u'/', -1);
        out << QStringList {c.getText(0), c.getText(1), c.getText(2), c.getText(3), c.getText(4), file}.join(u'|');
    }
    return out;
}

QDir newBackup(const QString& name)
{
    QDir root = getLocalDatabasesDir();
    root.mkpath(name + u"/attachments"_s);
    return QDir(root.absoluteFilePath(name));
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
    const QString secret = getLocalDatabasesDir().absoluteFilePath(u"secret.jpg"_s);
    writeFile(secret, "SECRET");
    makeOldDb(folder,
              "INSERT INTO handle VALUES (1, 'Friend@Example.COM', 'Friend'), (2, '+49 (170) 123-4567', 'Anna'),"
              " (3, '12345', '');"
              // A sent message with two pictures: one message per part.
              "INSERT INTO message VALUES (1, 1700000000, 1, '', 'look\xEF\xBF\xBC at these', 1);"
              "INSERT INTO attachment VALUES (1, 'a.jpg', 'image/jpeg'), (2, 'b.png', 'image/png');"
              // A text attachment becomes the text; blank, untyped, non-text and missing ones are dropped.
              "INSERT INTO message VALUES (2, 1600000000, 0, '', '', 2), (3, 1600000100, 0, '', '', 2);"
              "INSERT INTO attachment VALUES (3, 'note.txt', 'TEXT/PLAIN'), (4, 'blank.txt', 'text/plain'),"
              " (5, 'doc.pdf', 'Application/pdf'), (6, 'untyped.bin', NULL), (7, 'missing.txt', 'text/plain');"
              // A message without a handle row is not converted.
              "INSERT INTO message VALUES (4, 1600000200, 0, '', 'orphan', 999);"
              // Attachment paths that leave the folder are skipped.
              "INSERT INTO message VALUES (5, 1600000300, 0, '', 'body', 3);"
              "INSERT INTO attachment VALUES (8, '../../secret.jpg', 'image/jpeg'),"
              " (9, '..\\..\\secret.jpg', 'image/jpeg'), (10, '/etc/hostname', 'text/plain');"
              "INSERT INTO message_attachment VALUES (1, 1), (1, 2), (2, 3), (3, 4), (3, 5), (3, 6), (3, 7),"
              " (5, 8), (5, 9), (5, 10);");
    for (const auto& [name, content] : {std::pair {"a.jpg", "JPEGDATA"},
                                        {"b.png", "PNGDATA"},
                                        {"note.txt", "hello from a file\n"},
                                        {"blank.txt", "  \n "},
                                        {"doc.pdf", "PDF"},
                                        {"untyped.bin", "BIN"}})
        writeFile(folder.absoluteFilePath(u"attachments/"_s + QLatin1String(name)), content);

    testsupport::RecordingJobReport report;
    UpdateLocalDbThread::convertOldMessageDb(folder, folder, &report);
    QCOMPARE(report.progress().last().percent, 100);
    const QString obj(QChar(0xFFFC));
    QCOMPARE(storedMessages(folder),
             (QStringList {u"look at these|friend@example.com|SMS;-;friend@example.com|1|721692800|"_s,
                           obj + u"|friend@example.com|SMS;-;friend@example.com|1|721692800|a.jpg"_s,
                           obj + u"|friend@example.com|SMS;-;friend@example.com|1|721692800|b.png"_s,
                           u"hello from a file\n|+491701234567|SMS;-;+491701234567|0|621692800|"_s,
                           u"body|12345|SMS;-;12345|0|621693100|"_s}));

    // The attachment files were copied into the store.
    IOS6MessageDb store(folder, QString(), false);
    store.open();
    Sqlite3Cursor c = store.queryThrow(u"select filename from attachment where filename like '%a.jpg'"_s);
    QVERIFY(c.moveNext());
    QVERIFY(c.getText(0).startsWith("~/Library/SMS/Attachments/"_L1));
    QCOMPARE(readFile(store.attachmentLocalPath(c.getText(0))), QByteArray("JPEGDATA"));
}

void TestUpdateLocalDb::run_convertsEachFolderOnce_keepsOldFiles_andStopsAtACorruptOne()
{
    const QDir a = newBackup(u"a"_s);
    const QDir b = newBackup(u"b"_s);
    newBackup(u"plain"_s); // nothing to convert
    // "a" was converted twice before: its new backup name is the next free one.
    writeFile(a.absoluteFilePath(u"mms.db-bak"_s), "older");
    writeFile(a.absoluteFilePath(u"mms.db-bak1"_s), "older");
    for (const QDir& d : {a, b})
        makeOldDb(d,
                  "INSERT INTO handle VALUES (1, '555', '');"
                  "INSERT INTO message VALUES (1, 1600000000, 0, '', '"
                      + d.dirName().toUtf8() + "', 1);");
    const QByteArray before = readFile(a.absoluteFilePath(u"mms.db"_s));
    QVERIFY(UpdateLocalDbThread::hasOldDatabase(getLocalDatabasesDir()));

    testsupport::RecordingJobReport report;
    UpdateLocalDbThread job(&report);
    job.start();
    QVERIFY(job.wait(30000));
    QCOMPARE(report.successes(), QStringList {u"Successfully updated local database."_s});
    // Opened read-only: the old file is kept byte for byte under its new name.
    QVERIFY(!QFile::exists(a.absoluteFilePath(u"mms.db"_s)));
    QCOMPARE(readFile(a.absoluteFilePath(u"mms.db-bak2"_s)), before);
    QCOMPARE(readFile(a.absoluteFilePath(u"mms.db-bak"_s)), QByteArray("older"));
    QCOMPARE(storedMessages(a).size(), 1);
    QVERIFY(storedMessages(b).first().startsWith("b|"_L1));
    QVERIFY(!QFile::exists(getLocalDatabasesDir().absoluteFilePath(u"plain/file-relay"_s)));
    QVERIFY(!UpdateLocalDbThread::hasOldDatabase(getLocalDatabasesDir()));

    // A corrupt database fails the next run and is kept as it is.
    const QString file = newBackup(u"broken"_s).absoluteFilePath(u"mms.db"_s);
    writeFile(file, QByteArray(4096, 'x'));
    testsupport::RecordingJobReport failed;
    UpdateLocalDbThread again(&failed);
    again.start();
    QVERIFY(again.wait(30000));
    QVERIFY(failed.failed());
    QCOMPARE(readFile(file), QByteArray(4096, 'x'));
}

QTEST_GUILESS_MAIN(TestUpdateLocalDb)
#include "test_updatelocaldb.moc"
