#include "records/absdb.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <stdexcept>

namespace {

const QByteArray kSchema
    = "CREATE TABLE items (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, n INTEGER, big INTEGER, data BLOB);\n"
      "CREATE INDEX items_name ON items(name);\n";

class TestLocalDb : public AbsLocalDb {
public:
    TestLocalDb(const QString& path, const QString& schema)
        : AbsLocalDb(path)
        , m_schema(schema)
    {
    }
    void open() override { openOrCreate(m_schema); }
    qint64 count() { return countOf(QStringLiteral("SELECT count(*) FROM items")); }
    void insert(const QString& name)
    {
        Sqlite3Sql sql(QStringLiteral("INSERT INTO items (name) VALUES (?)"));
        sql.addTextParam(name);
        connection().executeThrow(sql);
    }

private:
    QString m_schema;
};

class TestDb : public AbsDb {
public:
    explicit TestDb(const QString& path)
        : m_path(path)
    {
    }
    void open() override
    {
        if (isOpen())
            return;
        const bool fresh = !QFile::exists(m_path);
        openThrow(m_path, fresh ? ReadWrite | Create : ReadWrite);
        if (fresh)
            executeScriptThrow(kSchema);
    }
    qint64 count()
    {
        open();
        return queryInt64Throw(Sqlite3Sql("SELECT count(*) FROM items"));
    }

private:
    QString m_path;
};

// Rows as another connection sees them: what really reached the file.
qint64 committedRows(const QString& path)
{
    Sqlite3DB other;
    other.openThrow(path, Sqlite3DB::ReadOnly);
    return other.queryInt64Throw(Sqlite3Sql("SELECT count(*) FROM items"));
}

} // namespace

class TestAbsDb : public QObject {
    Q_OBJECT

private:
    QString m_dir;
    QString m_schema;
    int m_n = 0;

    QString freshPath() { return QStringLiteral("%1/db%2.db").arg(m_dir).arg(++m_n); }

private Q_SLOTS:
    void initTestCase()
    {
        m_dir = testsupport::makeTempDir(QStringLiteral("absdb"));
        m_schema = m_dir + QStringLiteral("/schema.sql");
        QFile f(m_schema);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kSchema);
    }

    void firstUseCreatesTheFileFromTheSchema()
    {
        const QString path = freshPath();
        TestLocalDb db(path, m_schema);
        QVERIFY(!db.isOpen());
        QCOMPARE(db.count(), 0);
        QVERIFY(db.isOpen());
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(db.connection().tableExists(QStringLiteral("items")));
        db.insert(QStringLiteral("kept"));
        db.close();
        QVERIFY(!db.isOpen());
        // Reopening an existing file keeps its rows.
        QCOMPARE(db.count(), 1);
    }

    void missingSchemaResourceThrowsTheFileError()
    {
        const QString missing = QStringLiteral(":/res/no_such_schema.sql");
        QFile probe(missing);
        QVERIFY(!probe.open(QIODevice::ReadOnly));
        TestLocalDb db(freshPath(), missing);
        try {
            db.open();
            QFAIL("no exception");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), probe.errorString());
            QVERIFY(!QString::fromUtf8(e.what()).isEmpty());
        }
        // The count of a database without its tables is 0, not a crash.
        QCOMPARE(db.count(), 0);
    }

    void failingSchemaScriptThrowsSqlitesMessage()
    {
        const QString bad = m_dir + QStringLiteral("/bad.sql");
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("CREATE TABLE a (x);\nCREATE TABLEX b (y);\n");
        }
        TestLocalDb db(freshPath(), bad);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.open());
        QVERIFY(db.connection().tableExists(QStringLiteral("a")));
    }

    void closeAndRemoveFile()
    {
        TestLocalDb never(freshPath(), m_schema);
        never.closeAndRemoveFile(); // never created: nothing happens
        QVERIFY(!QFileInfo::exists(never.filePath()));

        TestLocalDb db(freshPath(), m_schema);
        db.beginTran();
        db.insert(QStringLiteral("x"));
        db.endTran(true);
        db.closeAndRemoveFile();
        QVERIFY(!db.isOpen());
        QVERIFY(!QFileInfo::exists(db.filePath()));
        // The next use starts a fresh file from the schema.
        QCOMPARE(db.count(), 0);
        QVERIFY(QFileInfo::exists(db.filePath()));
    }

    void countOnAFileThatIsNotADatabaseIsZeroAndKeepsTheFile()
    {
        const QString path = freshPath();
        const QByteArray userData(5000, 'u');
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(userData);
        }
        TestLocalDb db(path, m_schema);
        QCOMPARE(db.count(), 0);
        db.close();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), userData);
    }

    void failedUnitLeavesTheFileAsBefore()
    {
        const QString path = freshPath();
        TestLocalDb db(path, m_schema);
        QCOMPARE(db.count(), 0);
        db.insert(QStringLiteral("before"));
        db.close();

        db.beginTran(); // opens the closed object first
        QVERIFY(db.isOpen());
        db.insert(QStringLiteral("a"));
        QVERIFY_THROWS_EXCEPTION(
            Sqlite3Exception, db.connection().executeThrow(QStringLiteral("INSERT INTO missing VALUES (1)")));
        db.endTran(false);
        QCOMPARE(db.count(), 1);
        QCOMPARE(committedRows(path), 1);
    }

    void nestedRollbackLeavesNoRowAndBlocksAutocommit()
    {
        const QString path = freshPath();
        TestLocalDb db(path, m_schema);
        db.beginTran();
        db.insert(QStringLiteral("outer"));
        db.beginTran();
        db.insert(QStringLiteral("inner"));
        db.endTran(false); // an inner unit fails
        // A write before the outer level ends must fail, not autocommit.
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, db.insert(QStringLiteral("after")));
        QCOMPARE(committedRows(path), 0);
        db.endTran(true); // the outer commit does nothing
        QCOMPARE(db.count(), 0);
        QCOMPARE(committedRows(path), 0);

        // The next unit works normally again.
        db.beginTran();
        db.insert(QStringLiteral("next"));
        db.endTran(true);
        QCOMPARE(committedRows(path), 1);
    }

    void absDbEndTranWithoutBeginDoesNothing()
    {
        const QString path = freshPath();
        TestDb db(path);
        db.endTran(true);
        db.endTran(false);
        QVERIFY(!db.isOpen());
        QVERIFY(!db.isInTransaction());
        QVERIFY(!QFileInfo::exists(path));
    }

    void absDbInsertRowAndNestedUnits()
    {
        const QString path = freshPath();
        TestDb db(path);
        db.beginTran();
        QVERIFY(db.isInTransaction());
        Sqlite3Row row;
        row[QStringLiteral("name")] = QStringLiteral("Zoë");
        row[QStringLiteral("n")] = 7;
        row[QStringLiteral("big")] = qlonglong(1) << 40;
        row[QStringLiteral("data")] = QByteArray("\0\1", 2);
        QCOMPARE(db.insertRow(row, QStringLiteral("items")), 1);
        db.endTran(true);
        QVERIFY(!db.isInTransaction());
        QCOMPARE(committedRows(path), 1);

        // Nested: an inner rollback undoes the outer unit, and the outer
        // end still closes the SQLite transaction.
        db.beginTran();
        db.insertRow(row, QStringLiteral("items"));
        db.beginTran();
        db.insertRow(row, QStringLiteral("items"));
        db.endTran(false);
        QVERIFY(db.isInTransaction());
        db.endTran(true);
        QVERIFY(!db.isInTransaction());
        QCOMPARE(db.tranDepth(), 0);
        QCOMPARE(db.count(), 1);
        QCOMPARE(committedRows(path), 1);

        // NULL columns read as 0 and empty.
        Sqlite3Row empty;
        empty[QStringLiteral("name")] = QVariant();
        const qint64 id = db.insertRow(empty, QStringLiteral("items"));
        Sqlite3Sql q(QStringLiteral("SELECT name, n, big, data FROM items WHERE id = ?"));
        q.addInt64Param(id);
        Sqlite3Cursor c = db.queryThrow(q);
        QVERIFY(c.moveNext());
        QCOMPARE(c.getText(QStringLiteral("name")), QString());
        QCOMPARE(c.getInt(QStringLiteral("n")), 0);
        QCOMPARE(c.getInt64(QStringLiteral("big")), 0);
        QCOMPARE(c.getBlob(QStringLiteral("data")), QByteArray());
        QCOMPARE(c.getInt64(2), 0);
    }
};

QTEST_GUILESS_MAIN(TestAbsDb)
#include "test_absdb.moc"
