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

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir + QLatin1Char('/') + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_dir = testsupport::makeTempDir(QStringLiteral("absdb"));
        m_schema = writeFile(QStringLiteral("schema.sql"), kSchema);
    }

    void createReopenAndRemove()
    {
        TestLocalDb db(freshPath(), m_schema);
        QCOMPARE(db.count(), 0);
        QVERIFY(db.connection().tableExists(QStringLiteral("items")));
        db.insert(QStringLiteral("kept"));
        db.close();
        QCOMPARE(db.count(), 1); // reopening keeps the rows
        db.closeAndRemoveFile();
        QVERIFY(!QFileInfo::exists(db.filePath()));
        QCOMPARE(db.count(), 0); // the next use starts afresh from the schema

        TestLocalDb never(freshPath(), m_schema);
        never.closeAndRemoveFile();
        QVERIFY(!QFileInfo::exists(never.filePath()));
    }

    void badSchemaOrFileGivesAnErrorAndKeepsUserData()
    {
        const QString missing = QStringLiteral(":/res/no_such_schema.sql");
        QFile probe(missing);
        QVERIFY(!probe.open(QIODevice::ReadOnly));
        TestLocalDb noSchema(freshPath(), missing);
        try {
            noSchema.open();
            QFAIL("no exception");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), probe.errorString());
        }
        QCOMPARE(noSchema.count(), 0); // no tables: 0, not a crash

        TestLocalDb badScript(freshPath(), writeFile(QStringLiteral("bad.sql"), "CREATE TABLE a (x);\nCREATE TABLEX b (y);\n"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, badScript.open());

        const QByteArray userData(5000, 'u');
        const QString notDb = writeFile(QStringLiteral("user.db"), userData);
        TestLocalDb db(notDb, m_schema);
        QCOMPARE(db.count(), 0);
        db.close();
        QFile f(notDb);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), userData);
    }

    void failedUnitsLeaveNoRowAndBlockAutocommit()
    {
        const QString path = freshPath();
        TestLocalDb db(path, m_schema);
        QCOMPARE(db.count(), 0); // opens the file
        db.insert(QStringLiteral("before"));
        db.close();
        db.beginTran(); // opens the closed object first
        db.insert(QStringLiteral("a"));
        QVERIFY_THROWS_EXCEPTION(
            Sqlite3Exception, db.connection().executeThrow(QStringLiteral("INSERT INTO missing VALUES (1)")));
        db.endTran(false);
        QCOMPARE(committedRows(path), 1);

        db.beginTran();
        db.insert(QStringLiteral("outer"));
        db.beginTran();
        db.insert(QStringLiteral("inner"));
        db.endTran(false);
        QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, db.insert(QStringLiteral("after")));
        db.endTran(true); // the outer commit does nothing
        QCOMPARE(committedRows(path), 1);
        db.beginTran();
        db.insert(QStringLiteral("next"));
        db.endTran(true);
        QCOMPARE(committedRows(path), 2);
    }

    void absDbUnits()
    {
        const QString path = freshPath();
        TestDb db(path);
        db.endTran(true); // without a begin: nothing happens, no file
        QVERIFY(!db.isOpen());
        QVERIFY(!QFileInfo::exists(path));

        Sqlite3Row row;
        row[QStringLiteral("name")] = QStringLiteral("Zoë");
        row[QStringLiteral("data")] = QByteArray("\0\1", 2);
        db.beginTran();
        QCOMPARE(db.insertRow(row, QStringLiteral("items")), 1);
        db.endTran(true);
        QCOMPARE(committedRows(path), 1);
        db.beginTran();
        db.insertRow(row, QStringLiteral("items"));
        db.beginTran();
        db.insertRow(row, QStringLiteral("items"));
        db.endTran(false);
        QVERIFY(db.isInTransaction());
        db.endTran(true);
        QVERIFY(!db.isInTransaction());
        QCOMPARE(db.tranDepth(), 0);
        QCOMPARE(committedRows(path), 1);
    }
};

QTEST_GUILESS_MAIN(TestAbsDb)
#include "test_absdb.moc"
