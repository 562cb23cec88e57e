// The start-up conversion of old "mms.db" files into the message store.
#include "jobs/updatelocaldbthread.h"
#include "messagestore/ios6messagedb.h"
#include "platform/sqlite_qt.h"
#include "shell/core/dataroot.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtTest>

namespace {

// Builds an old-layout message database in folder (the columns the
// conversion reads, as earlier versions wrote them).
class OldDb {
public:
    explicit OldDb(const QDir& folder) : m_folder(folder)
    {
        m_db.openThrow(folder.absoluteFilePath(QStringLiteral("mms.db")), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        m_db.executeScriptThrow(
            "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, person TEXT);"
            "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, date INTEGER, is_send INTEGER,"
            " subject TEXT, body TEXT, handle_id INTEGER);"
            "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, filename TEXT, mime_type TEXT);"
            "CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);");
        folder.mkpath(QStringLiteral("attachments"));
    }

    qint64 handle(const QString& address, const QString& person)
    {
        Sqlite3Sql sql(QStringLiteral("insert into handle(address, person) values(?, ?)"));
        sql.addTextParam(address);
        sql.addTextParam(person);
        m_db.executeThrow(sql);
        return m_db.lastInsertId();
    }

    qint64 message(qint64 handleId, qint64 date, bool sent, const QString& body)
    {
        Sqlite3Sql sql(QStringLiteral("insert into message(date, is_send, subject, body, handle_id) values(?,?,'',?,?)"));
        sql.addInt64Param(date);
        sql.addIntParam(sent ? 1 : 0);
        sql.addTextParam(body);
        sql.addInt64Param(handleId);
        m_db.executeThrow(sql);
        return m_db.lastInsertId();
    }

    // An attachment row; content, when given, is written as its file.
    void attach(qint64 messageId, const QString& filename, const QString& mime, const QByteArray& content = {})
    {
        Sqlite3Sql sql(QStringLiteral("insert into attachment(filename, mime_type) values(?, ?)"));
        sql.addTextParam(filename);
        sql.addTextParam(mime);
        m_db.executeThrow(sql);
        const qint64 id = m_db.lastInsertId();
        Sqlite3Sql join(QStringLiteral("insert into message_attachment values(?, ?)"));
        join.addInt64Param(messageId);
        join.addInt64Param(id);
        m_db.executeThrow(join);
        if (!content.isNull()) {
            QFile f(m_folder.absoluteFilePath(QStringLiteral("attachments/") + filename));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
    }

    void close() { m_db.close(); }

private:
    QDir m_folder;
    Sqlite3DB m_db;
};

struct StoredMessage {
    QString text;
    QString handle;
    QString chatGuid;
    int isFromMe;
    int date;
    QString attachment; // filename of its attachment, if any
};

QList<StoredMessage> storedMessages(const QDir& folder)
{
    QList<StoredMessage> out;
    IOS6MessageDb store(folder, QString(), false);
    store.open();
    Sqlite3Cursor c = store.queryThrow(QStringLiteral(
        "select m.text, h.id as hid, c.guid as cguid, m.is_from_me, m.date, "
        "(select a.filename from message_attachment_join j join attachment a on a.rowid=j.attachment_id "
        " where j.message_id=m.rowid) as afile "
        "from message m left join handle h on h.rowid=m.handle_id "
        "left join chat_message_join cm on cm.message_id=m.rowid left join chat c on c.rowid=cm.chat_id "
        "order by m.rowid"));
    while (c.moveNext()) {
        out.append({c.getText(0), c.getText(1), c.getText(2), c.getInt(3), c.getInt(4), c.getText(5)});
    }
    return out;
}

QByteArray md5Of(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5);
}

QDir newBackup(const QString& name)
{
    QDir root = getLocalDatabasesDir();
    root.mkpath(name);
    return QDir(root.absoluteFilePath(name));
}

} // namespace

class TestUpdateLocalDb : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void messagesWithAttachments_becomeOneMessagePerPart();
    void textAndUnusableAttachments_followTheirRules();
    void attachmentPathsLeavingTheFolder_areSkipped();
    void run_convertsEveryFolderOnceAndKeepsOldFileUnchanged();
    void secondConversion_takesNextFreeBackupName();
    void corruptDatabase_reportsErrorAndKeepsFile();
};

void TestUpdateLocalDb::cleanup()
{
    QDir(getLocalDatabasesDir()).removeRecursively();
}

void TestUpdateLocalDb::messagesWithAttachments_becomeOneMessagePerPart()
{
    const QDir folder = newBackup(QStringLiteral("pics"));
    OldDb old(folder);
    const qint64 h = old.handle(QStringLiteral("Friend@Example.COM"), QStringLiteral("Friend"));
    const qint64 m = old.message(h, 1700000000, true, QStringLiteral("look\uFFFC at these"));
    old.attach(m, QStringLiteral("a.jpg"), QStringLiteral("image/jpeg"), "JPEGDATA");
    old.attach(m, QStringLiteral("b.png"), QStringLiteral("image/png"), "PNGDATA");
    old.close();

    testsupport::RecordingJobReport report;
    UpdateLocalDbThread::convertOldMessageDb(folder, folder, &report);

    const QList<StoredMessage> msgs = storedMessages(folder);
    QCOMPARE(msgs.size(), 3);
    QCOMPARE(msgs[0].text, QStringLiteral("look at these"));
    QCOMPARE(msgs[1].text, QString(QChar(0xFFFC)));
    QCOMPARE(msgs[2].text, QString(QChar(0xFFFC)));
    for (const StoredMessage& s : msgs) {
        QCOMPARE(s.handle, QStringLiteral("friend@example.com"));
        QCOMPARE(s.chatGuid, QStringLiteral("SMS;-;friend@example.com"));
        QCOMPARE(s.isFromMe, 1);
        QCOMPARE(s.date, 1700000000 - 978307200);
    }
    QVERIFY(msgs[1].attachment.startsWith(QLatin1String("~/Library/SMS/Attachments/")));
    QVERIFY(msgs[1].attachment.endsWith(QLatin1String("/a.jpg")));
    QVERIFY(msgs[2].attachment.endsWith(QLatin1String("/b.png")));

    // The attachment files were copied into the store.
    IOS6MessageDb store(folder, QString(), false);
    QFile copy(store.attachmentLocalPath(msgs[1].attachment));
    QVERIFY2(copy.open(QIODevice::ReadOnly), qPrintable(copy.fileName()));
    QCOMPARE(copy.readAll(), QByteArray("JPEGDATA"));
    QVERIFY(report.progress().last().percent == 100);
}

void TestUpdateLocalDb::textAndUnusableAttachments_followTheirRules()
{
    const QDir folder = newBackup(QStringLiteral("texts"));
    OldDb old(folder);
    const qint64 h = old.handle(QStringLiteral("+49 (170) 123-4567"), QStringLiteral("Anna"));
    const qint64 m1 = old.message(h, 1600000000, false, QString());
    old.attach(m1, QStringLiteral("note.txt"), QStringLiteral("TEXT/PLAIN"), "hello from a file\n");
    const qint64 m2 = old.message(h, 1600000100, false, QString());
    old.attach(m2, QStringLiteral("blank.txt"), QStringLiteral("text/plain"), "  \n ");
    old.attach(m2, QStringLiteral("doc.pdf"), QStringLiteral("Application/pdf"), "PDF");
    old.attach(m2, QStringLiteral("untyped.bin"), QString(), "BIN");
    old.attach(m2, QStringLiteral("missing.txt"), QStringLiteral("text/plain"));
    // A message without a handle row is not converted.
    old.message(999, 1600000200, false, QStringLiteral("orphan"));
    old.close();

    testsupport::RecordingJobReport report;
    UpdateLocalDbThread::convertOldMessageDb(folder, folder, &report);
    const QList<StoredMessage> msgs = storedMessages(folder);
    QCOMPARE(msgs.size(), 1);
    QCOMPARE(msgs[0].text, QStringLiteral("hello from a file\n"));
    QCOMPARE(msgs[0].isFromMe, 0);
    QVERIFY(msgs[0].attachment.isEmpty());
    QVERIFY(!msgs[0].handle.contains(QLatin1Char(' ')));
}

void TestUpdateLocalDb::attachmentPathsLeavingTheFolder_areSkipped()
{
    const QDir folder = newBackup(QStringLiteral("escape"));
    // A file outside the backup folder that a crafted row points at.
    const QString secret = QDir(getLocalDatabasesDir()).absoluteFilePath(QStringLiteral("secret.jpg"));
    {
        QFile f(secret);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("SECRET");
    }
    OldDb old(folder);
    const qint64 h = old.handle(QStringLiteral("12345"), QString());
    const qint64 m = old.message(h, 1600000000, false, QStringLiteral("body"));
    old.attach(m, QStringLiteral("../../secret.jpg"), QStringLiteral("image/jpeg"));
    old.attach(m, QStringLiteral("..\\..\\secret.jpg"), QStringLiteral("image/jpeg"));
    old.attach(m, QStringLiteral("/etc/hostname"), QStringLiteral("text/plain"));
    old.close();

    UpdateLocalDbThread::convertOldMessageDb(folder, folder, nullptr);
    const QList<StoredMessage> msgs = storedMessages(folder);
    QCOMPARE(msgs.size(), 1);
    QCOMPARE(msgs[0].text, QStringLiteral("body"));
    QVERIFY(QFile::remove(secret));
}

void TestUpdateLocalDb::run_convertsEveryFolderOnceAndKeepsOldFileUnchanged()
{
    const QDir a = newBackup(QStringLiteral("a"));
    const QDir b = newBackup(QStringLiteral("b"));
    newBackup(QStringLiteral("plain")); // nothing to convert
    for (const QDir& d : {a, b}) {
        OldDb old(d);
        old.message(old.handle(QStringLiteral("555"), QString()), 1600000000, false, d.dirName());
        old.close();
    }
    const QByteArray before = md5Of(a.absoluteFilePath(QStringLiteral("mms.db")));
    QVERIFY(UpdateLocalDbThread::hasOldDatabase(getLocalDatabasesDir()));

    testsupport::RecordingJobReport report;
    UpdateLocalDbThread job(&report);
    job.start();
    QVERIFY(job.wait(30000));
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(report.successes(), QStringList{QStringLiteral("Successfully updated local database.")});
    QStringList statuses;
    for (const auto& p : report.progress())
        if (!p.status.isEmpty())
            statuses << p.status;
    statuses.sort();
    QCOMPARE(statuses, (QStringList{QStringLiteral("Updating local database a..."),
                                    QStringLiteral("Updating local database b...")}));

    QVERIFY(!QFile::exists(a.absoluteFilePath(QStringLiteral("mms.db"))));
    // Opened read-only: the old file is kept byte for byte under its new name.
    QCOMPARE(md5Of(a.absoluteFilePath(QStringLiteral("mms.db-bak"))), before);
    QCOMPARE(storedMessages(a).size(), 1);
    QCOMPARE(storedMessages(b).first().text, QStringLiteral("b"));
    QVERIFY(!QFile::exists(QDir(getLocalDatabasesDir().absoluteFilePath(QStringLiteral("plain")))
                               .absoluteFilePath(QStringLiteral("file-relay"))));
    QVERIFY(!UpdateLocalDbThread::hasOldDatabase(getLocalDatabasesDir()));
}

void TestUpdateLocalDb::secondConversion_takesNextFreeBackupName()
{
    const QDir folder = newBackup(QStringLiteral("again"));
    for (const QString& name : {QStringLiteral("mms.db-bak"), QStringLiteral("mms.db-bak1")}) {
        QFile f(folder.absoluteFilePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("older");
    }
    OldDb old(folder);
    old.message(old.handle(QStringLiteral("555"), QString()), 1600000000, false, QStringLiteral("x"));
    old.close();
    QCOMPARE(UpdateLocalDbThread::backupFileName(folder), QStringLiteral("mms.db-bak2"));

    testsupport::RecordingJobReport report;
    UpdateLocalDbThread job(&report);
    job.start();
    QVERIFY(job.wait(30000));
    QVERIFY(report.succeeded());
    QVERIFY(QFile::exists(folder.absoluteFilePath(QStringLiteral("mms.db-bak2"))));
    QVERIFY(!QFile::exists(folder.absoluteFilePath(QStringLiteral("mms.db"))));
    QCOMPARE(md5Of(folder.absoluteFilePath(QStringLiteral("mms.db-bak"))),
             QCryptographicHash::hash("older", QCryptographicHash::Md5));
}

void TestUpdateLocalDb::corruptDatabase_reportsErrorAndKeepsFile()
{
    const QDir folder = newBackup(QStringLiteral("broken"));
    {
        QFile f(folder.absoluteFilePath(QStringLiteral("mms.db")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    testsupport::RecordingJobReport report;
    UpdateLocalDbThread job(&report);
    job.start();
    QVERIFY(job.wait(30000));
    QVERIFY(report.failed());
    QCOMPARE(report.endCount(), 1);
    QVERIFY(QFile::exists(folder.absoluteFilePath(QStringLiteral("mms.db"))));
    QCOMPARE(md5Of(folder.absoluteFilePath(QStringLiteral("mms.db"))),
             QCryptographicHash::hash(QByteArray(4096, 'x'), QCryptographicHash::Md5));
}

QTEST_GUILESS_MAIN(TestUpdateLocalDb)
#include "test_updatelocaldb.moc"
