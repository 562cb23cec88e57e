// The store writer's unit of work: attachment files go in with the commit
// and out again with a rollback (with the folders made for them), files a
// producer stages are renamed into place, and what the writer holds back or
// skips within a unit (each chat's newest date, look-ups in a store that
// was empty) leaves the same rows as one write at a time would.
#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"

#include "msgtesthelpers.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QString kPicture = QStringLiteral("~/Library/SMS/Attachments/ab/cd/GUID-1/pic.jpg");

} // namespace

class TestStoreWriterUnit : public QObject {
    Q_OBJECT
private slots:
    void attachmentFilesCommitAndRollBackWithTheRows()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("unit"));
        const QDir dir(base + QStringLiteral("/store"));
        const QString src = writeFile(base + QStringLiteral("/in/pic.jpg"), "PICTURE");
        QFile::setPermissions(src, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* chat = b.chat(QStringLiteral("+1"), {h});
        auto* m = b.message(chat, h, QStringLiteral("with a picture"), 10);
        b.attach(m, 1, kPicture, src);
        IOS6MessageDb probe(dir, QString(), false);
        const QString target = probe.attachmentLocalPath(kPicture);
        const QString attachments
            = dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments"));

        // Destroyed without end(), or rolled back: no row, no file, and no
        // folder made for it.
        {
            ExportMessagesDb w(dir, QString());
            w.begin();
            w.write(*m);
            QCOMPARE(readFile(target), QByteArray("PICTURE"));
        }
        QVERIFY(!QFile::exists(target));
        QVERIFY(!QFileInfo::exists(attachments));
        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*m);
        w.rollback();
        QVERIFY(!QFileInfo::exists(attachments));
        QCOMPARE(count(w.store(), QStringLiteral("message")), 0);

        // Committed: the source's bytes and permissions under the final name,
        // nothing else beside it.
        w.begin();
        w.write(*m);
        QVERIFY(w.commit());
        QCOMPARE(readFile(target), QByteArray("PICTURE"));
        QCOMPARE(QFile::permissions(target), QFile::permissions(src));
        QCOMPARE(
            QDir(QFileInfo(target).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList {QStringLiteral("pic.jpg")});

        // A file that was there before is neither replaced nor removed.
        auto* other = b.message(chat, h, QStringLiteral("same file name"), 20);
        b.attach(other, 2, kPicture, writeFile(base + QStringLiteral("/in/other.jpg"), "OTHER"));
        w.begin();
        w.write(*other);
        w.rollback();
        QCOMPARE(readFile(target), QByteArray("PICTURE"));
        w.end();
    }

    void stagedFilesAreRenamedIntoPlaceAndUnusedOnesGo()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("staged")));
        ExportMessagesDb w(dir, QString());
        w.setTakesLocalFiles(true);
        w.begin();
        const QString target = w.store().attachmentLocalPath(kPicture);
        const QString staged = w.stageAttachment(kPicture);
        QCOMPARE(QFileInfo(staged).absolutePath(), QFileInfo(target).absolutePath());
        writeFile(staged, "RECEIVED");
        const QString unused = w.stageAttachment(QStringLiteral("~/Library/SMS/Attachments/zz/yy/GUID-2/x.jpg"));
        writeFile(unused, "DROPPED");
        QVERIFY(w.stageAttachment(QStringLiteral("~/Library/SMS/Attachments/../../../../../escape.jpg")).isEmpty());

        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* m = b.message(b.chat(QStringLiteral("+1"), {h}), h, QStringLiteral("\uFFFC"), 10);
        b.attach(m, 1, kPicture, staged);
        w.write(*m);
        QVERIFY(!QFile::exists(staged)); // taken, not copied
        w.end();
        QCOMPARE(readFile(target), QByteArray("RECEIVED"));
        QVERIFY(!QFile::exists(unused));
        QVERIFY(!QFileInfo::exists(
            dir.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/Attachments/zz"))));
    }

    void heldBackAndSkippedWorkLeavesTheSameRows()
    {
        const QDir dir(testsupport::makeTempDir(QStringLiteral("fresh")));
        MsgBuilder b;
        auto* h = b.handle(QStringLiteral("+1"), 1);
        auto* g = b.handle(QStringLiteral("+2"), 2);
        auto* chatA = b.chat(QStringLiteral("+1"), {h});
        auto* chatB = b.chat(QStringLiteral("+2"), {g});
        auto* m = b.message(chatA, h, QStringLiteral("hello"), 300);
        auto* sameContent = b.message(chatA, h, QStringLiteral("hello"), 300); // another guid
        auto* sameGuid = b.message(chatA, h, QStringLiteral("changed"), 999);
        sameGuid->guid = m->guid;
        auto* picture = b.message(chatB, g, QStringLiteral("\uFFFC"), 50);
        auto* samePicture = b.message(chatB, g, QStringLiteral("\uFFFC again"), 20);
        b.attach(picture, 1, QStringLiteral("~/Library/SMS/Attachments/p.jpg"), QString());
        b.attach(samePicture, 2, QStringLiteral("~/Library/SMS/Attachments/p.jpg"), QString())->guid
            = picture->attachments.value(QStringLiteral("1"))->guid;

        // One unit on an empty store: repeats are found all the same.
        ExportMessagesDb w(dir, QString());
        w.begin();
        for (auto* msg : {m, sameContent, sameGuid, picture, samePicture})
            w.write(*msg);
        w.end();
        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, QStringLiteral("message")), 3);
        QCOMPARE(count(db, QStringLiteral("attachment")), 1);
        QCOMPARE(count(db, QStringLiteral("message_attachment_join")), 2);
        auto last = [&db](const QString& guid) {
            Sqlite3Sql sql("select _last from chat where guid=?");
            sql.addTextParam(guid);
            return db.queryInt64Throw(sql);
        };
        QCOMPARE(last(chatA->guid), 300);
        QCOMPARE(last(chatB->guid), 50);

        // A later unit raises a chat's newest date, never lowers it.
        auto* older = b.message(chatA, h, QStringLiteral("older"), 100);
        auto* newer = b.message(chatB, g, QStringLiteral("newer"), 70);
        w.begin();
        w.write(*older);
        w.write(*newer);
        w.end();
        QCOMPARE(last(chatA->guid), 300);
        QCOMPARE(last(chatB->guid), 70);
    }
};

QTEST_GUILESS_MAIN(TestStoreWriterUnit)
#include "test_storewriterunit.moc"
