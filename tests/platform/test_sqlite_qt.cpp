#include "platform/sqlite_qt.h"
#include "testsupport.h"

#include <QFile>
#include <QTest>

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
    void initTestCase() { m_dir = testsupport::makeTempDir(QStringLiteral("sqlite")); }

    void typedBindingAndNullReads()
    {
        Sqlite3DB db;
        newDb(db, "types.db");
        Sqlite3Sql sql("INSERT INTO t (name, n, big, data) VALUES (?, ?, ?, ?)");
        sql.addTextParam(QStringLiteral("Zoë 张"));
        sql.addIntParam(-7);
        sql.addInt64Param(Q_INT64_C(5000000000));
        sql.addBlobParam(QByteArray("\0\1\2", 3));
        db.executeThrow(sql);
        Sqlite3Sql nulls("INSERT INTO t (name, n, big, data) VALUES (?, ?, ?, ?)");
        for (int i = 0; i < 4; ++i)
            nulls.addNullParam();
        db.executeThrow(nulls);
        Sqlite3Row row; // a row keeps its first order when a name is set again
        row["name"] = QStringLiteral("a'b\"c");
        row["n"] = 3;
        row["data"] = QByteArray("xyz");
        row["name"] = QStringLiteral("renamed");
        QCOMPARE(row.names(), QStringList({"name", "n", "data"}));
        db.executeThrow(row.insertSql(QStringLiteral("t")));

        Sqlite3Cursor c = db.queryThrow(Sqlite3Sql("SELECT * FROM t ORDER BY id"));
        QVERIFY(c.moveNext());
        QCOMPARE(c.getText("name"), QStringLiteral("Zoë 张"));
        QCOMPARE(c.getInt("n"), -7);
        QCOMPARE(c.getInt64("big"), Q_INT64_C(5000000000));
        QCOMPARE(c.getBlob("data"), QByteArray("\0\1\2", 3));
        QVERIFY(c.moveNext());
        QVERIFY(c.isNull("name"));
        QCOMPARE(c.getText("name"), QString());
        QCOMPARE(c.getInt("n"), 0);
        QCOMPARE(c.getInt64(3), 0);
        QVERIFY(c.getBlob("data").isEmpty());
        QVERIFY(c.moveNext());
        QCOMPARE(c.getText("name"), QStringLiteral("renamed"));
        QCOMPARE(c.getBlob("data"), QByteArray("xyz"));
        QVERIFY(!c.moveNext());
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, c.getText("nope"));
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

        db.beginTran(); // close rolls an open transaction back
        insertName(db, "lost");
        db.close();
        db.openThrow(path, Sqlite3DB::ReadWrite);
        QCOMPARE(count(db), 3);
        QCOMPARE(db.tranDepth(), 0);
    }

    void errorsAndBadFiles()
    {
        Sqlite3DB db;
        newDb(db, "errors.db");
        try {
            db.executeThrow(QStringLiteral("INSERT INTO missing VALUES (1)"));
            QFAIL("no exception");
        } catch (const std::exception& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(QLatin1String("no such table")));
        }
        Sqlite3Sql wrongCount("INSERT INTO t (name) VALUES (?)");
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, db.executeThrow(wrongCount));
        insertName(db, "ok"); // the cached statement is still usable
        QCOMPARE(count(db), 1);
        QVERIFY(db.tbInfo(QStringLiteral("t")).value("id").primaryKey);
        QVERIFY(db.tbInfo("u").isEmpty());

        const QString path = m_dir + QStringLiteral("/garbage.db");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        Sqlite3DB garbage;
        garbage.openThrow(path, Sqlite3DB::ReadWrite);
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, garbage.queryInt64Throw(Sqlite3Sql("SELECT count(*) FROM sqlite_master")));
        QCOMPARE(QFileInfo(path).size(), 4096); // untouched
        Sqlite3DB missing;
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, missing.openThrow(m_dir + "/none/x.db", Sqlite3DB::ReadWrite));
        QVERIFY(!missing.isOpen());
    }

    void reusedStatementKeepsEveryBoundValue()
    {
        Sqlite3DB db;
        newDb(db, "wide.db");
        QStringList cols, marks;
        for (int i = 0; i < 20; ++i) {
            cols << QStringLiteral("c%1 TEXT").arg(i);
            marks << QStringLiteral("?");
        }
        db.executeThrow(QStringLiteral("CREATE TABLE w (%1, b BLOB)").arg(cols.join(QLatin1Char(','))));
        Sqlite3Sql sql(QStringLiteral("INSERT INTO w VALUES (%1,?)").arg(marks.join(QLatin1Char(','))));
        for (int row = 0; row < 3; ++row) {
            sql.clearParams();
            for (int i = 0; i < 20; ++i)
                sql.addTextParam(QStringLiteral("r%1 Zoë %2").arg(row).arg(i));
            sql.addBlobParam(QByteArray(row + 1, char('x' + row)));
            db.executeThrow(sql);
        }
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("SELECT * FROM w ORDER BY rowid"));
        for (int row = 0; row < 3; ++row) {
            QVERIFY(c.moveNext());
            for (int i = 0; i < 20; ++i)
                QCOMPARE(c.getText(i), QStringLiteral("r%1 Zoë %2").arg(row).arg(i));
            QCOMPARE(c.getBlob(20), QByteArray(row + 1, char('x' + row)));
        }
        QVERIFY(!c.moveNext());
    }
};

QTEST_GUILESS_MAIN(TestSqliteQt)
#include "test_sqlite_qt.moc"
