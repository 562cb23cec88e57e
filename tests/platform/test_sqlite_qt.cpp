#include "platform/sqlite_qt.h"
#include "testsupport.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestSqliteQt : public QObject {
    Q_OBJECT

private:
    QString m_dir;

    QString newDb(Sqlite3DB& db, const char* name)
    {
        const QString path = m_dir + QLatin1Char('/') + QLatin1String(name);
        QFile::remove(path);
        db.openThrow(path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        db.executeThrow(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                       "name TEXT, n INTEGER, big INTEGER, data BLOB)"));
        return path;
    }

    static qint64 count(Sqlite3DB& db) { return db.queryInt64Throw(Sqlite3Sql("SELECT count(*) FROM t")); }

    static void insertName(Sqlite3DB& db, const QString& name)
    {
        Sqlite3Sql sql("INSERT INTO t (name) VALUES (?)");
        sql.addTextParam(name);
        db.executeThrow(sql);
    }

private Q_SLOTS:
    void initTestCase() { m_dir = testsupport::makeTempDir(u"sqlite"_s); }

    // One statement reused keeps each row's own values; NULL reads as 0 or
    // empty; errors carry SQLite's message and leave the connection usable.
    void typedBindingNullReadsAndErrors()
    {
        Sqlite3DB db;
        newDb(db, "types.db");
        Sqlite3Sql sql("INSERT INTO t (name, n, big, data) VALUES (?, ?, ?, ?)");
        sql.addTextParam(u"Zoë 张"_s);
        sql.addIntParam(-7);
        sql.addInt64Param(Q_INT64_C(5000000000));
        sql.addBlobParam(QByteArray("\0\1\2", 3));
        db.executeThrow(sql);
        sql.clearParams();
        for (int i = 0; i < 4; ++i)
            sql.addNullParam();
        db.executeThrow(sql);
        Sqlite3Cursor c = db.queryThrow(Sqlite3Sql("SELECT * FROM t ORDER BY id"));
        QVERIFY(c.moveNext());
        QCOMPARE(c.getText("name"), u"Zoë 张"_s);
        QCOMPARE(c.getInt("n"), -7);
        QCOMPARE(c.getInt64("big"), Q_INT64_C(5000000000));
        QCOMPARE(c.getBlob("data"), QByteArray("\0\1\2", 3));
        QVERIFY(c.moveNext());
        QVERIFY(c.isNull("name"));
        QCOMPARE(c.getText("name"), QString());
        QCOMPARE(c.getInt("n"), 0);
        QCOMPARE(c.getInt64(3), 0);
        QVERIFY(c.getBlob("data").isEmpty());
        QVERIFY(!c.moveNext());
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, c.getText("nope"));

        try {
            db.executeThrow(u"INSERT INTO missing VALUES (1)"_s);
            QFAIL("no exception");
        } catch (const std::exception& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(QLatin1String("no such table")));
        }
        Sqlite3Sql wrongCount("INSERT INTO t (name) VALUES (?)");
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, db.executeThrow(wrongCount));
        insertName(db, "ok"); // the cached statement is still usable
        QCOMPARE(count(db), 3);
        Sqlite3DB missing;
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, missing.openThrow(m_dir + "/none/x.db", Sqlite3DB::ReadWrite));
        QVERIFY(!missing.isOpen());
    }

    void nestedTransactions()
    {
        Sqlite3DB db;
        const QString path = newDb(db, "nest.db");
        db.beginTran();
        insertName(db, "a");
        db.beginTran();
        insertName(db, "b");
        QVERIFY(db.commitTran());
        {
            Sqlite3DB other; // nothing is visible outside before the outer commit
            other.openThrow(path, Sqlite3DB::ReadWrite);
            QCOMPARE(count(other), 0);
        }
        QVERIFY(db.commitTran());
        QCOMPARE(count(db), 2);
        QVERIFY(!db.commitTran());

        // An inner rollback rolls the whole unit back; writes before the
        // outer end fail instead of autocommitting.
        db.beginTran();
        insertName(db, "outer");
        db.beginTran();
        insertName(db, "inner");
        db.rollbackTran();
        QVERIFY(db.isRollbackOnly());
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, insertName(db, "stray"));
        QCOMPARE(count(db), 2);
        QVERIFY(!db.commitTran());
        QCOMPARE(count(db), 2);
        QVERIFY(!db.isRollbackOnly());
        insertName(db, "after");
        QCOMPARE(count(db), 3);

        // SQLite rolling the unit back on its own makes it rollback-only too.
        db.executeThrow(QStringLiteral("CREATE TRIGGER veto BEFORE INSERT ON t WHEN new.name='veto' "
                                       "BEGIN SELECT RAISE(ROLLBACK, 'vetoed'); END"));
        db.beginTran();
        db.beginTran();
        insertName(db, "first");
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, insertName(db, "veto"));
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, insertName(db, "stray"));
        QVERIFY(!db.commitTran());
        QVERIFY(!db.commitTran());
        QCOMPARE(count(db), 3);

        db.beginTran(); // close rolls an open transaction back
        insertName(db, "lost");
        db.close();
        db.openThrow(path, Sqlite3DB::ReadWrite);
        QCOMPARE(count(db), 3);
        QCOMPARE(db.tranDepth(), 0);
    }

    void keptStatementTextsSurviveEvictionAndSchemaChanges()
    {
        Sqlite3DB db;
        newDb(db, "cache.db");
        for (const char* name : {"b", "a", "c"})
            insertName(db, QString::fromLatin1(name));
        // One text object, as a caller keeps it for a look-up per record.
        const QString firstName = u"SELECT id FROM t WHERE name >= ? ORDER BY name"_s;
        auto lookUp = [&](const QString& text, const char* from) {
            Sqlite3Sql sql(text);
            sql.addTextParam(QString::fromLatin1(from));
            return db.queryInt64Throw(sql);
        };
        QCOMPARE(lookUp(firstName, "a"), 2); // the first row only
        QCOMPARE(lookUp(firstName, "c"), 3); // the same statement, fresh values
        QCOMPARE(lookUp(firstName, "z"), 0);

        // More statements than the cache keeps push it out; it comes back.
        for (int i = 0; i < 100; ++i)
            QCOMPARE(db.queryInt64Throw(Sqlite3Sql(u"SELECT %1"_s.arg(i))), i);
        QCOMPARE(lookUp(firstName, "b"), 1);
        // Another object with the same text finds the same statement.
        QCOMPARE(lookUp(QString(firstName.constData(), firstName.size()), "b"), 1);

        // A schema change between two uses of a kept statement.
        db.executeThrow(u"ALTER TABLE t ADD COLUMN extra INTEGER DEFAULT 5"_s);
        const QString extra = u"SELECT count(*) FROM t WHERE extra = 5"_s;
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql(extra)), 3);
        db.executeThrow(u"DROP INDEX IF EXISTS none"_s);
        insertName(db, "d");
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql(extra)), 4);
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, db.queryInt64Throw(Sqlite3Sql("SELECT nope FROM t")));
    }

    // SQLite reads a file in write-ahead-log mode when the header's read
    // version (byte 19) is 2, whatever byte 18 says, and whenever a log lies
    // beside it. A read-only open of such a file reads its rows and leaves
    // no log or index file: an empty log stays as it was, one that holds
    // something (here no valid frame) is folded in and goes.
    void readOnlyOpen_ofALogModeFile_leavesNothingBeside_data()
    {
        QTest::addColumn<int>("writeVersion");
        QTest::addColumn<int>("readVersion");
        QTest::addColumn<QByteArray>("log"); // null: none
        QTest::newRow("log mode") << 2 << 2 << QByteArray();
        QTest::newRow("read version alone") << 1 << 2 << QByteArray();
        QTest::newRow("empty log beside") << 1 << 1 << QByteArray("");
        QTest::newRow("empty log, log mode") << 2 << 2 << QByteArray("");
        QTest::newRow("stray log beside") << 1 << 1 << QByteArray(4096, 'x');
    }
    void readOnlyOpen_ofALogModeFile_leavesNothingBeside()
    {
        QFETCH(int, writeVersion);
        QFETCH(int, readVersion);
        QFETCH(QByteArray, log);
        const QString dir = testsupport::makeTempDir(u"walopen"_s);
        const QString path = dir + u"/a.db"_s;
        {
            Sqlite3DB db;
            db.openThrow(path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            db.executeThrow(u"CREATE TABLE t (name TEXT)"_s);
            for (const char* name : {"a", "b", "c"})
                insertName(db, QLatin1String(name));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(18));
        QVERIFY(file.putChar(char(writeVersion)) && file.putChar(char(readVersion)));
        file.close();
        QFile logFile(path + u"-wal"_s);
        QVERIFY(log.isNull() || (logFile.open(QIODevice::WriteOnly) && logFile.write(log) == log.size()));
        logFile.close();
        const QMap<QString, QByteArray> before = testsupport::fileDigests(dir);
        const auto unchanged = [&](std::source_location at = std::source_location::current()) {
            if (log.isEmpty())
                HELPER_COMPARE(testsupport::fileDigests(dir), before);
            else
                HELPER_COMPARE(testsupport::filesBelow(dir), QStringList {u"a.db"_s});
            return true;
        };

        Sqlite3DB db;
        db.openReadOnlyThrow(path);
        QCOMPARE(count(db), 3);
        CHECKED(unchanged());
        db.close();
        CHECKED(unchanged());
    }
};

QTEST_GUILESS_MAIN(TestSqliteQt)
#include "test_sqlite_qt.moc"
