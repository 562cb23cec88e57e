// The call-history database: duplicates by hash, the flags read back, the
// migration of the seven-column file and removal of the file.
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

private Q_SLOTS:
    void init();
    void hash_dateAddressAndFlags();
    void addCall_sameCallTwiceKeepsOneRow();
    void loadAll_newestFirst_everyColumnBack();
    void flags_unknownReadAsZero();
    void oldSevenColumnFile_isMigratedWithRows();
    void removeDbFile_throwsWithoutFile();
    void badInput_notADatabase();

private:
    QString m_path;
};

void TestCallDb::init()
{
    m_path = testsupport::makeTempDir(QStringLiteral("calls")) + QStringLiteral("/calls.db");
}

void TestCallDb::hash_dateAddressAndFlags()
{
    const CallRecord c = call(QStringLiteral("+15551234"), 1700000000, CALL_FLAG_OUTGOING);
    QByteArray data;
    const quint32 secs = 1700000000;
    for (int i = 0; i < 4; ++i)
        data.append(char((secs >> (8 * i)) & 0xff));
    data.append("+15551234");
    data.append(QByteArray("\x05\x00\x00\x00", 4));
    QCOMPARE(c.hash(), QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

void TestCallDb::addCall_sameCallTwiceKeepsOneRow()
{
    LocalCallHistoryDb db(m_path);
    QVERIFY(db.loadAll().isEmpty());
    QCOMPARE(db.countCalls(), 0);
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

void TestCallDb::loadAll_newestFirst_everyColumnBack()
{
    QCOMPARE(CallRecord().duration, 0); // left to the filler: 0 by default
    QCOMPARE(CallRecord().flags, 0);
    LocalCallHistoryDb db(m_path);
    CallRecord full = call(QStringLiteral("555"), 2000, CALL_FLAG_MISSED);
    full.faceTimeData = QByteArray("\x00\x01", 2);
    full.answered = 0;
    full.uniqueId = QStringLiteral("u");
    db.addCall(call(QStringLiteral("1"), 1000, CALL_FLAG_INCOMING));
    const qint64 id = db.addCall(full);
    db.addCall(call(QStringLiteral("2"), 1500, CALL_FLAG_OUTGOING));
    const QList<CallRecord> calls = db.loadAll();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls[1].address, QStringLiteral("2"));
    QCOMPARE(calls[0].id, id);
    QCOMPARE(calls[0].flags, int(CALL_FLAG_MISSED));
    QCOMPARE(calls[0].faceTimeData, full.faceTimeData);
    QCOMPARE(calls[0].answered, 0);
    QCOMPARE(calls[0].uniqueId, full.uniqueId);
    db.deleteCall(id);
    QCOMPARE(db.countCalls(), 2);
}

void TestCallDb::flags_unknownReadAsZero()
{
    LocalCallHistoryDb db(m_path);
    const CallRecord odd = call(QStringLiteral("555"), 1000, 2);
    db.addCall(odd);
    QCOMPARE(db.loadAll().value(0).flags, 0);
    // The stored value and hash are kept: the same call is still a duplicate.
    QCOMPARE(db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral("select flags from call"))), 2);
    db.addCall(odd);
    QCOMPARE(db.countCalls(), 1);
}

void TestCallDb::oldSevenColumnFile_isMigratedWithRows()
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
        QCOMPARE(c.availability, 0);
        QCOMPARE(c.read, 0);
        QVERIFY(c.uniqueId.isEmpty());
        const auto cols = db.connection().tbInfo(QStringLiteral("call"));
        QCOMPARE(cols.size(), 20);
        QCOMPARE(cols.value(QStringLiteral("unique_id")).cid, 19);
        QCOMPARE(cols.value(QStringLiteral("name")).cid, 7);
    }
    LocalCallHistoryDb again(m_path);
    QCOMPARE(again.countCalls(), 1);
    QCOMPARE(again.connection().tbInfo(QStringLiteral("call")).size(), 20);
}

void TestCallDb::removeDbFile_throwsWithoutFile()
{
    LocalCallHistoryDb db(m_path);
    db.addCall(call(QStringLiteral("1"), 1, CALL_FLAG_INCOMING));
    db.removeDbFile();
    QVERIFY(!QFile::exists(m_path));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.removeDbFile());
    QVERIFY(db.loadAll().isEmpty()); // the next use starts a new file
}

void TestCallDb::badInput_notADatabase()
{
    {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is not SQLite, just some text that is long enough to look like a header........");
    }
    const QByteArray before = [&] {
        QFile f(m_path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    LocalCallHistoryDb db(m_path);
    QCOMPARE(db.countCalls(), 0);
    QVERIFY_THROWS_EXCEPTION(std::exception, db.addCall(call(QStringLiteral("1"), 1, CALL_FLAG_INCOMING)));
    db.close();
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

QTEST_GUILESS_MAIN(TestCallDb)
#include "test_calldb.moc"
