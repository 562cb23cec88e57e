#include "records/localcallhistorydb.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>

namespace {

CallRecord call(const QString& number, qint64 secs, int flags)
{
    CallRecord c;
    c.address = number;
    c.date = QDateTime::fromMSecsSinceEpoch(secs * 1000);
    c.flags = flags;
    return c;
}

} // namespace

class TestCallDb : public QObject {
    Q_OBJECT

private:
    QString m_path;

private Q_SLOTS:
    void init() { m_path = testsupport::makeTempDir(QStringLiteral("calls")) + QStringLiteral("/calls.db"); }

    void hash_dateAddressAndFlags()
    {
        const CallRecord c = call(QStringLiteral("+15551234"), 1700000000, CALL_FLAG_OUTGOING);
        const QByteArray data("\x00\xf1\x53\x65+15551234\x05\x00\x00\x00", 17); // date LE, address, flags LE
        QCOMPARE(c.hash(), QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
    }

    void addCall_sameCallTwiceKeepsOneRow()
    {
        LocalCallHistoryDb db(m_path);
        db.beginTran();
        CallRecord a = call(QStringLiteral("555"), 1000, CALL_FLAG_INCOMING);
        a.duration = 10;
        const qint64 id = db.addCall(a);
        CallRecord b = a;
        b.duration = 99;
        b.name = QStringLiteral("Other");
        b.date = b.date.addMSecs(999); // same second
        QCOMPARE(db.addCall(b), id);
        QVERIFY(db.addCall(call(QStringLiteral("555"), 1000, CALL_FLAG_OUTGOING)) != id);
        db.endTran(true);
        QCOMPARE(db.countCalls(), 2);
        // Past 2038 the date is kept whole.
        const qint64 late = 4102444800LL;
        db.addCall(call(QStringLiteral("556"), late, CALL_FLAG_MISSED));
        QCOMPARE(db.loadAll().value(0).date.toMSecsSinceEpoch(), late * 1000);
    }

    void loadAll_newestFirst_unknownFlagsReadAsZero()
    {
        QCOMPARE(CallRecord().duration, 0); // left to the filler: 0 by default
        QCOMPARE(CallRecord().flags, 0);
        LocalCallHistoryDb db(m_path);
        CallRecord full = call(QStringLiteral("555"), 2000, 2); // 2: no known flag
        full.faceTimeData = QByteArray("\x00\x01", 2);
        full.uniqueId = QStringLiteral("u");
        db.addCall(call(QStringLiteral("1"), 1000, CALL_FLAG_INCOMING));
        const qint64 id = db.addCall(full);
        db.addCall(call(QStringLiteral("2"), 1500, CALL_FLAG_OUTGOING));
        const QList<CallRecord> calls = db.loadAll();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[1].address, QStringLiteral("2"));
        QCOMPARE(calls[0].id, id);
        QCOMPARE(calls[0].flags, 0);
        QCOMPARE(calls[0].faceTimeData, full.faceTimeData);
        QCOMPARE(calls[0].uniqueId, full.uniqueId);
        // The stored value and hash are kept: the same call is still a duplicate.
        QCOMPARE(db.addCall(full), id);
        db.deleteCall(id);
        QCOMPARE(db.countCalls(), 2);
    }

    void oldSevenColumnFile_isMigratedWithRows()
    {
        {
            Sqlite3DB raw;
            raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            QFile script(QStringLiteral(":res/local_callhistory_db.sql"));
            QVERIFY(script.open(QIODevice::ReadOnly));
            raw.executeScriptThrow(script.readAll());
            QCOMPARE(raw.tbInfo(QStringLiteral("call")).size(), 7);
            raw.executeThrow(QStringLiteral(
                "insert into call(address,date,duration,flags,person,hash) values('555',100,5,4,'Ann','h1')"));
        }
        {
            LocalCallHistoryDb db(m_path);
            const QList<CallRecord> calls = db.loadAll();
            QCOMPARE(calls.size(), 1);
            const CallRecord& c = calls[0];
            QCOMPARE(c.address, QStringLiteral("555"));
            QCOMPARE(c.person, QStringLiteral("Ann"));
            QCOMPARE(c.flags, 4);
            QCOMPARE(c.answered, 1);
            QCOMPARE(c.callType, 1);
            QCOMPARE(db.connection().tbInfo(QStringLiteral("call")).value(QStringLiteral("unique_id")).cid, 19);
        }
        LocalCallHistoryDb again(m_path);
        QCOMPARE(again.countCalls(), 1);
        QCOMPARE(again.connection().tbInfo(QStringLiteral("call")).size(), 20);
    }

    void badInput_notADatabase()
    {
        const QByteArray before("this is not SQLite, just some text that is long enough to look like a header........");
        {
            QFile f(m_path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        LocalCallHistoryDb db(m_path);
        QCOMPARE(db.countCalls(), 0);
        QVERIFY_THROWS_EXCEPTION(std::exception, db.addCall(call(QStringLiteral("1"), 1, CALL_FLAG_INCOMING)));
        db.close();
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_GUILESS_MAIN(TestCallDb)
#include "test_calldb.moc"
