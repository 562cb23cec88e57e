// The store writer's unit of work: attachment files go in with the commit
// and out again with a rollback (with the folders made for them), files a
// producer stages are renamed into place, and what the writer holds back or
// skips within a unit (each chat's newest date, look-ups in a store that
// was empty) leaves the same rows as one write at a time would.
#include "messagestore/exportmessagesdb.h"
#include "messagestore/ios6messagedb.h"
#include "messagestore/partbytes.h"

#include "msgtesthelpers.h"
#include "testsupport.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kPicture = u"~/Library/SMS/Attachments/ab/cd/GUID-1/pic.jpg"_s;

// A photo of one colour, large enough that a transfer scales it, at path.
QString writePhoto(const QString& path, const QColor& colour)
{
    QImage image(1600, 1200, QImage::Format_RGB32);
    image.fill(colour);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path, "JPG") ? path : QString();
}

} // namespace

class TestStoreWriterUnit : public QObject {
    Q_OBJECT
private slots:
    void attachmentFilesCommitAndRollBackWithTheRows()
    {
        const QString base = testsupport::makeTempDir(u"unit"_s);
        const QDir dir(base + u"/store"_s);
        const QString src = writeFile(base + u"/in/pic.jpg"_s, "PICTURE");
        QFile::setPermissions(src, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        MsgBuilder b;
        auto* m = b.single(u"+1"_s, u"with a picture"_s, 10);
        b.attach(m, 1, kPicture, src);
        IOS6MessageDb probe(dir, QString(), false);
        const QString target = probe.attachmentLocalPath(kPicture);
        const QString attachments = dir.absoluteFilePath(u"file-relay/var/mobile/Library/SMS/Attachments"_s);

        // Destroyed without end(), or rolled back: no row, no file, and no
        // folder made for it.
        {
            ExportMessagesDb w(dir, QString());
            w.begin();
            w.write(*m);
            QCOMPARE(testsupport::readFile(target), QByteArray("PICTURE"));
        }
        QVERIFY(!QFile::exists(target));
        QVERIFY(!QFileInfo::exists(attachments));
        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*m);
        w.rollback();
        QVERIFY(!QFileInfo::exists(attachments));
        QCOMPARE(count(w.store(), u"message"_s), 0);

        // Committed: the source's bytes and permissions under the final name,
        // nothing else beside it.
        w.begin();
        w.write(*m);
        QVERIFY(w.commit());
        QCOMPARE(testsupport::readFile(target), QByteArray("PICTURE"));
        QCOMPARE(QFile::permissions(target), QFile::permissions(src));
        QCOMPARE(
            QDir(QFileInfo(target).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList {u"pic.jpg"_s});

        // A file that was there before is neither replaced nor removed.
        auto* other = b.message(m->chat, m->handle, u"same file name"_s, 20);
        b.attach(other, 2, kPicture, writeFile(base + u"/in/other.jpg"_s, "OTHER"));
        w.begin();
        w.write(*other);
        w.rollback();
        QCOMPARE(testsupport::readFile(target), QByteArray("PICTURE"));
        w.end();
    }

    // An older store gains its columns in the writer's unit: a rollback
    // leaves its file as it was, byte for byte, and the next unit of the
    // same writer adds them again and keeps them with its commit.
    void anOlderStoreIsBroughtUpToDateInTheUnit()
    {
        const QString base = testsupport::makeTempDir(u"older"_s);
        const QDir dir(base + u"/store"_s);
        MsgBuilder b;
        auto* first = b.single(u"+1"_s, u"first"_s, 10);
        auto* second = b.message(first->chat, first->handle, u"second"_s, 20);
        b.attach(second, 1, kPicture, writeFile(base + u"/in/pic.jpg"_s, "PICTURE"));
        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*first);
        w.end();
        const QString file = w.store().dbPath();
        {
            Sqlite3DB raw;
            raw.openThrow(file, Sqlite3DB::ReadWrite);
            raw.executeThrow(u"ALTER TABLE attachment DROP COLUMN content_hash"_s);
        }
        const QByteArray older = testsupport::readFile(file);

        w.begin();
        QVERIFY(w.store().hasContentHashColumn());
        w.write(*second);
        w.rollback();
        QCOMPARE(testsupport::readFile(file), older);

        w.begin();
        w.write(*second);
        QVERIFY(w.commit());
        QCOMPARE(count(w.store(), u"message"_s), 2);
        QCOMPARE(count(w.store(), u"attachment"_s, u"where content_hash is not null"_s), 1);
        w.end();
    }

    void stagedFilesAreRenamedIntoPlaceAndUnusedOnesGo()
    {
        const QDir dir(testsupport::makeTempDir(u"staged"_s));
        ExportMessagesDb w(dir, QString());
        w.setTakesLocalFiles(true);
        w.begin();
        const QString target = w.store().attachmentLocalPath(kPicture);
        const QString staged = w.stageAttachment(kPicture);
        QCOMPARE(QFileInfo(staged).absolutePath(), QFileInfo(target).absolutePath());
        writeFile(staged, "RECEIVED");
        const QString unused = w.stageAttachment(u"~/Library/SMS/Attachments/zz/yy/GUID-2/x.jpg"_s);
        writeFile(unused, "DROPPED");
        QVERIFY(w.stageAttachment(u"~/Library/SMS/Attachments/../../../../../escape.jpg"_s).isEmpty());

        MsgBuilder b;
        b.attach(b.single(u"+1"_s, u"\uFFFC"_s, 10), 1, kPicture, staged);
        w.write(*b.messages[0]);
        QVERIFY(!QFile::exists(staged)); // taken, not copied
        w.end();
        QCOMPARE(testsupport::readFile(target), QByteArray("RECEIVED"));
        QVERIFY(!QFile::exists(unused));
        QVERIFY(!QFileInfo::exists(dir.absoluteFilePath(u"file-relay/var/mobile/Library/SMS/Attachments/zz"_s)));
    }

    void heldBackAndSkippedWorkLeavesTheSameRows()
    {
        const QDir dir(testsupport::makeTempDir(u"fresh"_s));
        MsgBuilder b;
        auto* m = b.single(u"+1"_s, u"hello"_s, 300);
        auto* picture = b.single(u"+2"_s, u"\uFFFC"_s, 50);
        _MsgChat* chatA = m->chat;
        _MsgChat* chatB = picture->chat;
        auto* sameContent = b.message(chatA, m->handle, u"hello"_s, 300); // another guid
        auto* sameGuid = b.message(chatA, m->handle, u"changed"_s, 999);
        sameGuid->guid = m->guid;
        auto* samePicture = b.message(chatB, picture->handle, u"\uFFFC again"_s, 20);
        b.attach(picture, 1, u"~/Library/SMS/Attachments/p.jpg"_s, QString());
        b.attach(samePicture, 2, u"~/Library/SMS/Attachments/p.jpg"_s, QString())->guid
            = picture->attachments.value(u"1"_s)->guid;

        // One unit on an empty store: repeats are found all the same.
        ExportMessagesDb w(dir, QString());
        w.begin();
        for (auto* msg : {m, sameContent, sameGuid, picture, samePicture})
            w.write(*msg);
        w.end();
        IOS6MessageDb db(dir, QString(), false);
        db.open();
        QCOMPARE(count(db, u"message"_s), 3);
        QCOMPARE(count(db, u"attachment"_s), 1);
        QCOMPARE(count(db, u"message_attachment_join"_s), 2);
        auto last = [&db](const _MsgChat* chat) {
            return db.queryInt64Throw(Sqlite3Sql(u"select _last from chat where guid='%1'"_s.arg(chat->guid)));
        };
        QCOMPARE(last(chatA), 300);
        QCOMPARE(last(chatB), 50);

        // A later unit raises a chat's newest date, never lowers it.
        auto* older = b.message(chatA, m->handle, u"older"_s, 100);
        auto* newer = b.message(chatB, picture->handle, u"newer"_s, 70);
        w.begin();
        w.write(*older);
        w.write(*newer);
        w.end();
        QCOMPARE(last(chatA), 300);
        QCOMPARE(last(chatB), 70);
    }

    // The files of attachment rows a unit deletes (as the loader does for
    // messages gone from the phone) go with its commit, with the folders
    // they leave empty; a rollback keeps them, and so does a row that still
    // names the file. No journal is left either way.
    void filesOfDeletedRowsGoWithTheCommit()
    {
        const QString base = testsupport::makeTempDir(u"released"_s);
        const QDir dir(base + u"/store"_s);
        const QString other = u"~/Library/SMS/Attachments/ef/gh/GUID-2/other.jpg"_s;
        MsgBuilder b;
        auto* first = b.single(u"+1"_s, u"first"_s, 10);
        auto* second = b.message(first->chat, first->handle, u"second"_s, 20);
        auto* sharing = b.message(first->chat, first->handle, u"shares the first picture"_s, 30);
        b.attach(first, 1, kPicture, writeFile(base + u"/in/1.jpg"_s, "FIRST"));
        b.attach(second, 2, other, writeFile(base + u"/in/2.jpg"_s, "SECOND"));
        b.attach(sharing, 3, kPicture, base + u"/in/1.jpg"_s);
        ExportMessagesDb w(dir, QString());
        w.begin();
        for (auto* m : {first, second, sharing})
            w.write(*m);
        QVERIFY(w.commit());
        const QString picture = w.store().attachmentLocalPath(kPicture);
        const QString otherPicture = w.store().attachmentLocalPath(other);
        const auto journals
            = [&] { return QFileInfo(w.store().dbPath()).dir().entryList({u"sms.db-placing-*"_s}, QDir::Files); };

        const QString deleteJoins = u"delete from message_attachment_join where message_id in (1, 2)"_s;
        w.begin();
        w.store().executeThrow(deleteJoins);
        w.rollback();
        QCOMPARE(testsupport::readFile(otherPicture), QByteArray("SECOND"));
        w.begin();
        w.store().executeThrow(deleteJoins);
        QVERIFY(w.commit());
        QVERIFY(!QFile::exists(otherPicture));
        QVERIFY(!QFileInfo::exists(dir.absoluteFilePath(u"file-relay/var/mobile/Library/SMS/Attachments/ef"_s)));
        QCOMPARE(testsupport::readFile(picture), QByteArray("FIRST"));
        QCOMPARE(journals(), QStringList());
        w.end();
    }

    // A message is the stored one when its parts are the same bytes, never
    // for the names alone: a picture of another's logic hash and guid but
    // other bytes is a message of its own, under a tagged name; the same
    // bytes under another name are the stored message. Each is found
    // again by later units, and a stored message's missing file is copied in.
    void aMessageIsKnownByItsPartsBytes()
    {
        const QString base = testsupport::makeTempDir(u"bytes"_s);
        const QDir dir(base + u"/store"_s);
        MsgBuilder b;
        auto* mine = b.single(u"+1"_s, u"\uFFFC"_s, 10);
        auto* theirs = b.message(mine->chat, mine->handle, u"\uFFFC"_s, 10);
        auto* renamed = b.message(mine->chat, mine->handle, u"\uFFFC"_s, 10);
        theirs->guid = mine->guid;
        b.attach(mine, 1, kPicture, writeFile(base + u"/in/mine.jpg"_s, "MINE"));
        b.attach(theirs, 2, kPicture, writeFile(base + u"/in/theirs.jpg"_s, "THEIRS"))->guid
            = mine->attachments.value(u"1"_s)->guid;
        b.attach(renamed, 3, u"~/Library/SMS/Attachments/zz/other.jpg"_s, base + u"/in/mine.jpg"_s);
        QCOMPARE(makeLogicHash(mine), makeLogicHash(theirs));

        ExportMessagesDb w(dir, QString());
        w.begin();
        const ExportMessagesDb::Written first = w.write(*mine, makeLogicHash(mine));
        const ExportMessagesDb::Written second = w.write(*theirs, makeLogicHash(theirs));
        QVERIFY(w.commit());
        QVERIFY(first.inserted && second.inserted);
        QCOMPARE(first.logicHash, makeLogicHash(mine));
        QVERIFY(second.logicHash != first.logicHash);
        for (int round = 1; round <= 2; ++round) {
            w.begin();
            for (auto* m : {mine, theirs, renamed}) {
                const ExportMessagesDb::Written again = w.write(*m, makeLogicHash(m));
                QVERIFY(!again.inserted);
                QCOMPARE(again.logicHash, m == theirs ? second.logicHash : first.logicHash);
            }
            QVERIFY(w.commit());
            QCOMPARE(count(w.store(), u"message"_s), 2);
            QCOMPARE(count(w.store(), u"attachment"_s), 2);
            // The first picture's file goes: the next unit brings it back.
            QVERIFY(QFile::remove(w.store().attachmentLocalPath(kPicture)));
        }
        QStringList stored;
        Sqlite3Cursor c = w.store().queryThrow(u"select filename from attachment order by rowid"_s);
        while (c.moveNext())
            stored << QString::fromLatin1(testsupport::readFile(w.store().attachmentLocalPath(c.getText(0))));
        QCOMPARE(stored, (QStringList {QString(), u"THEIRS"_s}));
        w.begin();
        QCOMPARE(w.write(*mine, makeLogicHash(mine)).partsMissing, 0);
        QVERIFY(w.commit());
        QCOMPARE(testsupport::readFile(w.store().attachmentLocalPath(kPicture)), QByteArray("MINE"));
        QCOMPARE(w.partsMissing(), QStringList());
        w.end();
    }

    // A picture and the copy a transfer makes of it (scaled and encoded
    // anew) are one picture to the writer, whichever side the store holds;
    // another picture of the same size and name is another message.
    void aPictureAndItsTransferredCopyAreOneMessage()
    {
        const QString base = testsupport::makeTempDir(u"copies"_s);
        const QString original = writePhoto(base + u"/in/original/pic.jpg"_s, Qt::darkCyan);
        const QString copy = writeFile(base + u"/in/copy/pic.jpg"_s, encodedImage(original, u"image/jpeg"_s));
        const QString other = writePhoto(base + u"/in/other/pic.jpg"_s, Qt::darkMagenta);

        MsgBuilder b;
        const auto message = [&b](const QString& path) {
            auto* m = b.single(u"+1"_s, u"\uFFFC"_s, 10);
            b.attach(m, 1, kPicture, path)->mime_type = u"image/jpeg"_s;
            return m;
        };
        for (const auto& [held, given] : {std::pair(original, copy), std::pair(copy, original)}) {
            const QDir dir(testsupport::makeTempDir(u"store"_s));
            ExportMessagesDb w(dir, QString());
            w.begin();
            QVERIFY(w.write(*message(held), makeLogicHash(message(held))).inserted);
            QVERIFY(w.commit());
            w.begin();
            const ExportMessagesDb::Written again = w.write(*message(given), makeLogicHash(message(given)));
            QVERIFY(!again.inserted);
            QVERIFY(w.write(*message(other), makeLogicHash(message(other))).inserted);
            QVERIFY(w.commit());
            QCOMPARE(count(w.store(), u"message"_s), 2);
            // What the transfer makes of the original is kept: the next
            // writer need not encode it again.
            QCOMPARE(w.store().identityOf(contentOfFile(original)).sent, contentOfFile(copy));
            w.end();
        }
    }

    // A stored picture whose file went is brought back by a write that
    // gives its transferred copy: every row that names the file then says
    // what it holds, and parts are paired by equal bytes before copies, so
    // that a message of a picture and its copy gets each back in its place,
    // whatever the order of the parts given.
    void aFileBroughtBackAsACopy_isWhatEveryRowSays_andEqualBytesPairFirst()
    {
        const QString base = testsupport::makeTempDir(u"filled"_s);
        const QString original = writePhoto(base + u"/in/original/pic.jpg"_s, Qt::darkCyan);
        const QString copy = writeFile(base + u"/in/copy/pic.jpg"_s, encodedImage(original, u"image/jpeg"_s));
        const PartIdentity sentAsCopy {contentOfFile(copy), PartContent()};
        MsgBuilder b;
        const auto picture = [&b](_MsgMessage* m, qint64 rowid, const QString& filename, const QString& path) {
            b.attach(m, rowid, filename, path)->mime_type = u"image/jpeg"_s;
        };

        // Two messages share one file; it goes, and comes back as the copy.
        {
            const QDir dir(base + u"/shared"_s);
            auto* first = b.single(u"+1"_s, u"\uFFFC"_s, 10);
            auto* second = b.message(first->chat, first->handle, u"\uFFFC"_s, 20);
            picture(first, 1, kPicture, original);
            picture(second, 2, kPicture, original);
            ExportMessagesDb w(dir, QString());
            w.begin();
            QVERIFY(w.write(*first, makeLogicHash(first)).inserted);
            QVERIFY(w.write(*second, makeLogicHash(second)).inserted);
            w.store().recordIdentity(contentOfFile(original), sentAsCopy);
            QVERIFY(w.commit());
            QCOMPARE(count(w.store(), u"attachment"_s, u"where filename='%1'"_s.arg(kPicture)), 2);
            const QString target = w.store().attachmentLocalPath(kPicture);
            QVERIFY(QFile::remove(target));
            auto* given = b.message(first->chat, first->handle, u"\uFFFC"_s, 10);
            picture(given, 3, kPicture, copy);
            w.begin();
            QVERIFY(!w.write(*given, makeLogicHash(given)).inserted);
            QVERIFY(w.commit());
            QCOMPARE(testsupport::readFile(target), testsupport::readFile(copy));
            Sqlite3Cursor c = w.store().queryThrow(u"select content_hash from attachment"_s);
            for (int rows = 0; rows < 2; ++rows) {
                QVERIFY(c.moveNext());
                QCOMPARE(c.getText(0), contentOfFile(copy).digest);
            }
            w.end();
        }
        // One message of the picture and its copy; the copy's file goes and
        // comes back with the parts given the other way round.
        {
            const QDir dir(base + u"/pair"_s);
            const QString nameA = u"~/Library/SMS/Attachments/ab/cd/GUID-A/a.jpg"_s;
            const QString nameB = u"~/Library/SMS/Attachments/ab/cd/GUID-B/b.jpg"_s;
            auto* held = b.single(u"+2"_s, u"\uFFFC\uFFFC"_s, 30);
            picture(held, 1, nameA, original);
            picture(held, 2, nameB, copy);
            auto* given = b.message(held->chat, held->handle, u"\uFFFC\uFFFC"_s, 30);
            picture(given, 1, nameB, copy);
            picture(given, 2, nameA, original);
            QCOMPARE(makeLogicHash(given), makeLogicHash(held));
            ExportMessagesDb w(dir, QString());
            w.begin();
            QVERIFY(w.write(*held, makeLogicHash(held)).inserted);
            w.store().recordIdentity(contentOfFile(original), sentAsCopy);
            QVERIFY(w.commit());
            QVERIFY(QFile::remove(w.store().attachmentLocalPath(nameB)));
            w.begin();
            QVERIFY(!w.write(*given, makeLogicHash(given)).inserted);
            QVERIFY(w.commit());
            QCOMPARE(testsupport::readFile(w.store().attachmentLocalPath(nameB)), testsupport::readFile(copy));
            QCOMPARE(testsupport::readFile(w.store().attachmentLocalPath(nameA)), testsupport::readFile(original));
            w.end();
        }
    }

    // A row names a path whose file went missing from the store: a new
    // picture of the same file name goes under a name of its own, so that
    // the old message never shows it, and a later write of the old message
    // brings its own file back.
    void aPathARowNamesIsNotTakenWhenItsFileIsGone()
    {
        const QString base = testsupport::makeTempDir(u"named"_s);
        const QDir dir(base + u"/store"_s);
        MsgBuilder b;
        auto* first = b.single(u"+1"_s, u"\uFFFC"_s, 10);
        b.attach(first, 1, kPicture, writeFile(base + u"/in/a/pic.jpg"_s, "FIRST"));
        // Another message (its own time), whose file name is the same.
        auto* second = b.message(first->chat, first->handle, u"\uFFFC"_s, 20);
        b.attach(second, 2, kPicture, writeFile(base + u"/in/b/pic.jpg"_s, "SECOND"));
        ExportMessagesDb w(dir, QString());
        w.begin();
        w.write(*first);
        QVERIFY(w.commit());
        const QString target = w.store().attachmentLocalPath(kPicture);
        QVERIFY(QFile::remove(target));

        w.begin();
        QVERIFY(w.write(*second, makeLogicHash(second)).inserted);
        QVERIFY(w.commit());
        QVERIFY(!QFile::exists(target));
        IOS6MessageDb& store = w.store();
        QCOMPARE(count(store, u"attachment"_s), 2);
        QCOMPARE(count(store, u"attachment"_s, u"where filename='%1'"_s.arg(kPicture)), 1);
        {
            Sqlite3Cursor c
                = store.queryThrow(Sqlite3Sql(u"select filename from attachment where filename<>'%1'"_s.arg(kPicture)));
            QVERIFY(c.moveNext());
            QCOMPARE(testsupport::readFile(store.attachmentLocalPath(c.getText(0))), QByteArray("SECOND"));
        }

        w.begin();
        QVERIFY(!w.write(*first, makeLogicHash(first)).inserted);
        w.end();
        QCOMPARE(testsupport::readFile(target), QByteArray("FIRST"));
    }
};

QTEST_GUILESS_MAIN(TestStoreWriterUnit)
#include "test_storewriterunit.moc"
