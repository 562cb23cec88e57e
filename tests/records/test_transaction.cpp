// The transaction guard on each kind of database: what it commits stays,
// what it leaves without a commit (a return, an exception) is rolled back, a
// commit that saves nothing says so, and a guard moves without rolling back
// twice.
#include "platform/transaction.h"
#include "records/absdb.h"

#include "testsupport.h"

#include <QtTest>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

const QString kTable = u"create table if not exists t(x integer)"_s;

// A record database of one table.
class TableLocalDb : public AbsLocalDb {
public:
    using AbsLocalDb::AbsLocalDb;
    void open() override
    {
        db.openThrow(path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        db.executeThrow(kTable);
    }
};

// The same as a store of the message kind, which is its own connection.
class TableDb : public AbsDb {
public:
    explicit TableDb(const QString& path)
        : m_path(path)
    {
    }
    void open() override
    {
        if (isOpen())
            return;
        openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        executeThrow(kTable);
    }

private:
    QString m_path;
};

void insert(Sqlite3DB& db, int x)
{
    Sqlite3Sql sql("insert into t(x) values(?)");
    sql.addIntParam(x);
    db.executeThrow(sql);
}

qint64 rows(Sqlite3DB& db)
{
    return db.queryInt64Throw(Sqlite3Sql("select count(*) from t"));
}

} // namespace

class TestTransaction : public QObject {
    Q_OBJECT

private:
    QString m_dir;

    void openRaw(Sqlite3DB& db, const char* name)
    {
        db.openThrow(m_dir + u'/' + QLatin1String(name), Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        db.executeThrow(kTable);
    }

private Q_SLOTS:
    void init() { m_dir = testsupport::makeTempDir(u"transaction"_s); }

    // Committed rows stay; a guard that goes uncommitted, by a return or an
    // exception, rolls its level back, an inner one the whole unit, whose
    // outer commit then reports that nothing was kept.
    void commitKeepsAndLeavingRollsBack()
    {
        Sqlite3DB db;
        openRaw(db, "raw.db");
        {
            Transaction tran(db);
            insert(db, 1);
            QVERIFY(tran.commit());
            QVERIFY(!tran.isActive());
        }
        {
            Transaction tran(db);
            insert(db, 2);
        }
        QCOMPARE(rows(db), 1);
        QCOMPARE(db.tranDepth(), 0);
        try {
            Transaction tran(db);
            insert(db, 3);
            throw std::runtime_error("failed");
        } catch (const std::runtime_error&) {
        }
        QCOMPARE(rows(db), 1);
        QCOMPARE(db.tranDepth(), 0);

        {
            Transaction outer(db);
            insert(db, 4);
            try {
                Transaction inner(db);
                insert(db, 5);
                throw std::runtime_error("inner failed");
            } catch (const std::runtime_error&) {
            }
            QVERIFY(!outer.commit());
        }
        QCOMPARE(rows(db), 1);
        QCOMPARE(db.tranDepth(), 0);
    }

    // A commit that saves nothing is reported: the record databases throw
    // at their outermost level and say false at an inner one; a commit that
    // SQLite refuses throws. Each time the connection is ready for the next
    // unit once the guard has gone.
    void failedCommitIsReported()
    {
        TableLocalDb local(m_dir + u"/local.db"_s);
        {
            Transaction tran(local);
            insert(local.connection(), 1);
            {
                Transaction failed(local);
            }
            Transaction inner(local);
            QVERIFY(!inner.commit());
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, tran.commit());
        }
        QCOMPARE(local.connection().tranDepth(), 0);
        {
            Transaction tran(local);
            insert(local.connection(), 2);
            QVERIFY(tran.commit());
        }
        QCOMPARE(rows(local.connection()), 1);

        TableDb store(m_dir + u"/store.db"_s);
        {
            Transaction tran(store);
            insert(store, 1);
            {
                Transaction failed(store);
            }
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, tran.commit());
        }
        QVERIFY(!store.isInTransaction());
        {
            Transaction tran(store);
            insert(store, 2);
            QVERIFY(tran.commit());
        }
        QCOMPARE(rows(store), 1);

        // A deferred foreign key fails the COMMIT itself.
        Sqlite3DB db;
        openRaw(db, "keys.db");
        db.executeThrow(u"PRAGMA foreign_keys=ON"_s);
        db.executeThrow(u"create table parent(id integer primary key)"_s);
        db.executeThrow(u"create table child(p integer references parent(id) deferrable initially deferred)"_s);
        {
            Transaction tran(db);
            db.executeThrow(u"insert into child(p) values(7)"_s);
            QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, tran.commit());
        }
        QCOMPARE(db.tranDepth(), 0);
        QCOMPARE(db.queryInt64Throw(Sqlite3Sql("select count(*) from child")), 0);
    }

    // A guard moves into a member or out of a function and rolls back once;
    // one assigned over another rolls the level it replaces back. A guard
    // whose connection was closed meanwhile lets go without reopening it.
    void movedGuardHoldsItsLevelOnce()
    {
        Sqlite3DB first;
        Sqlite3DB second;
        openRaw(first, "first.db");
        openRaw(second, "second.db");
        Transaction<Sqlite3DB> held;
        QVERIFY(!held.isActive());
        QVERIFY(!held.commit());
        held = Transaction(first);
        insert(first, 1);
        Transaction taken(std::move(held));
        QVERIFY(!held.isActive());
        QVERIFY(taken.isActive());
        QCOMPARE(first.tranDepth(), 1);
        Transaction other(second);
        insert(second, 1);
        other = std::move(taken);
        QCOMPARE(second.tranDepth(), 0);
        QCOMPARE(rows(second), 0);
        QVERIFY(other.commit());
        QCOMPARE(rows(first), 1);

        TableLocalDb local(m_dir + u"/local.db"_s);
        {
            Transaction tran(local);
            insert(local.connection(), 1);
            local.close();
        }
        QVERIFY(!local.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestTransaction)
#include "test_transaction.moc"
