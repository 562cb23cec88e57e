#include "records/localcalendarsdb.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>

#include <algorithm>

namespace {

CalendarEventRecord makeEvent(const QString& calendar, qint64 startMs, const QString& summary)
{
    CalendarEventRecord e;
    e.calendarName = calendar;
    e.start = QDateTime::fromMSecsSinceEpoch(startMs);
    e.end = QDateTime::fromMSecsSinceEpoch(startMs + 3600000);
    e.summary = summary;
    return e;
}

QByteArray expectedHash(qint32 secs, const QByteArray& firstLine)
{
    QByteArray data;
    for (int i = 0; i < 4; ++i)
        data.append(char((quint32(secs) >> (8 * i)) & 0xff));
    data.append(firstLine);
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

} // namespace

class TestCalendarDb : public QObject {
    Q_OBJECT

private:
    QString m_path;

private Q_SLOTS:
    void init() { m_path = testsupport::makeTempDir(QStringLiteral("calendars")) + QStringLiteral("/calendars.db"); }

    void hash_startSecondsAndFirstSummaryLine()
    {
        CalendarEventRecord e = makeEvent(QString(), 1500, QStringLiteral("Lunch\nwith Ann"));
        QCOMPARE(e.hash(), expectedHash(1, "Lunch"));
        e.summary.clear();
        QCOMPARE(e.hash(), expectedHash(1, QByteArray())); // the 4 start bytes alone
        e.start = QDateTime::fromMSecsSinceEpoch(-1500);      // toward zero: -1
        QCOMPARE(e.hash(), expectedHash(-1, QByteArray()));
        // Past 2038 the hash keeps the 32-bit form of the seconds.
        const qint64 late = 4102444800LL; // 2100-01-01
        e.start = QDateTime::fromMSecsSinceEpoch(late * 1000);
        QCOMPARE(e.hash(), expectedHash(qint32(quint32(late)), QByteArray()));
    }

    void addEvent_duplicateInSameCalendarOnly()
    {
        LocalCalendarsDb db(m_path);
        CalendarEventRecord a = makeEvent(QStringLiteral("Work"), 1000000, QStringLiteral("Meeting\nroom 1"));
        CalendarReminderRecord rem;
        rem.minutes = 15;
        a.reminders << rem;
        a.allDay = 1;
        a.url = QStringLiteral("http://x");
        bool dup = true;
        db.beginTran();
        const qint64 id = db.addEvent(0, a, &dup);
        QVERIFY(!dup);
        CalendarEventRecord b = makeEvent(QStringLiteral("Work"), 1000400, QStringLiteral("Meeting\nroom 2"));
        QCOMPARE(db.addEvent(0, b, &dup), id);
        QVERIFY(dup);
        QVERIFY(db.addEvent(0, makeEvent(QStringLiteral("Home"), 1000000, QStringLiteral("Meeting")), &dup) != id);
        QVERIFY(!dup);
        db.endTran(true);
        QCOMPARE(db.countEvents(), 2);

        const QList<CalendarRecord> cals = db.loadAll();
        QCOMPARE(cals.size(), 2);
        QCOMPARE(cals[0].name, QStringLiteral("Home"));
        const CalendarEventRecord& stored = cals[1].events.value(0);
        QCOMPARE(stored.id, id);
        QCOMPARE(stored.summary, QStringLiteral("Meeting\nroom 1"));
        QCOMPARE(stored.allDay, 1);
        QCOMPARE(stored.url, QStringLiteral("http://x"));
        QCOMPARE(stored.reminders.size(), 1);
        QCOMPARE(stored.reminders[0].minutes, 15);

        // Times before 1970 and past 2038 come back whole.
        CalendarEventRecord far = makeEvent(QStringLiteral("Far"), 4102444800LL * 1000, QStringLiteral("x"));
        far.end = QDateTime::fromMSecsSinceEpoch(-2208988800LL * 1000);
        LocalCalendarsDb farDb(m_path + QStringLiteral(".far"));
        farDb.addEvent(0, far, nullptr);
        const CalendarEventRecord back = farDb.loadAll().value(0).events.value(0);
        QCOMPARE(back.start, far.start);
        QCOMPARE(back.end, far.end);
        QCOMPARE(back.hash(), far.hash());
    }

    void calendars_matchNameIgnoringCaseButNoWildcards()
    {
        LocalCalendarsDb db(m_path);
        const qint64 work = db.getOrCreateCalendar(QStringLiteral("Work"), QStringLiteral("7"));
        QCOMPARE(db.getOrCreateCalendar(QStringLiteral("work"), QString()), work);
        db.addEvent(0, makeEvent(QStringLiteral("WORK"), 0, QStringLiteral("x")), nullptr);
        const qint64 wild = db.getOrCreateCalendar(QStringLiteral("W%"), QString());
        QVERIFY(wild != work);
        QVERIFY(db.getOrCreateCalendar(QStringLiteral("Wor_"), QString()) != work);
        const QList<CalendarRecord> cals = db.loadAll();
        QCOMPARE(cals.size(), 3);
        QCOMPARE(cals.last().srcId, QStringLiteral("7"));
        QCOMPARE(cals.last().events.size(), 1);
    }

    void reopen_addsUrlOnceAndKeepsOldRows()
    {
        // An old file: the script's tables and rows, without the url column.
        {
            Sqlite3DB raw;
            raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            QFile script(QStringLiteral(":res/local_calendars_db.sql"));
            QVERIFY(script.open(QIODevice::ReadOnly));
            raw.executeScriptThrow(script.readAll());
            QVERIFY(!raw.tbInfo(QStringLiteral("events")).contains(QStringLiteral("url")));
            raw.executeThrow(QStringLiteral("insert into calendars(_id,name) values(1,'Old')"));
            raw.executeThrow(QStringLiteral(
                "insert into events(calendar_id,start_date,end_date,summary,hash) values(1,100,200,'kept','h')"));
            raw.executeThrow(QStringLiteral("insert into reminders(event_id,minutes) values(1,5)"));
        }
        for (int round = 0; round < 2; ++round) {
            LocalCalendarsDb db(m_path);
            const QList<CalendarRecord> cals = db.loadAll();
            QCOMPARE(cals.size(), 1);
            QCOMPARE(cals[0].events.size(), 1);
            QCOMPARE(cals[0].events[0].summary, QStringLiteral("kept"));
            QCOMPARE(cals[0].events[0].start.toMSecsSinceEpoch(), 100000);
            QCOMPARE(cals[0].events[0].reminders.size(), 1);
            QVERIFY(db.connection().tbInfo(QStringLiteral("events")).contains(QStringLiteral("url")));
        }
    }

    void deleteEvent_dropsEmptyCalendars()
    {
        LocalCalendarsDb db(m_path);
        CalendarEventRecord e = makeEvent(QStringLiteral("Solo"), 0, QStringLiteral("only"));
        CalendarReminderRecord rem;
        e.reminders << rem;
        const qint64 id = db.addEvent(0, e, nullptr);
        const qint64 keep = db.addEvent(0, makeEvent(QStringLiteral("Busy"), 0, QStringLiteral("a")), nullptr);
        db.addEvent(0, makeEvent(QStringLiteral("Busy"), 0, QStringLiteral("b")), nullptr);
        db.getOrCreateCalendar(QStringLiteral("Empty"), QString());
        db.beginTran();
        db.deleteEvent(id);
        db.deleteEvent(keep);
        db.endTran(true);
        const QList<CalendarRecord> cals = db.loadAll();
        QCOMPARE(cals.size(), 1);
        QCOMPARE(cals[0].name, QStringLiteral("Busy"));
        QCOMPARE(cals[0].events.size(), 1);
        QCOMPARE(db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from reminders"))), 0);
    }

    void eventOrder_isStrictLaterFirst()
    {
        const CalendarEventRecord early = makeEvent(QString(), 1000, QStringLiteral("early"));
        const CalendarEventRecord late = makeEvent(QString(), 5000, QStringLiteral("late"));
        const CalendarEventRecord lateToo = makeEvent(QString(), 5000, QStringLiteral("late too"));
        QVERIFY(!calendarEventLessThan(late, lateToo));
        QVERIFY(!calendarEventLessThan(lateToo, late));
        QList<CalendarEventRecord> list = {early, late, lateToo, early};
        std::stable_sort(list.begin(), list.end(), calendarEventLessThan);
        QCOMPARE(list[0].summary, QStringLiteral("late"));
        QCOMPARE(list[1].summary, QStringLiteral("late too"));
        QCOMPARE(list[3].summary, QStringLiteral("early"));
    }

    void badInput_missingTableIsAClearError()
    {
        {
            Sqlite3DB raw;
            raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            raw.executeThrow(QStringLiteral("create table calendars(_id integer primary key, name, src_id)"));
        }
        LocalCalendarsDb db(m_path);
        try {
            db.loadAll();
            QFAIL("no error");
        } catch (const std::exception& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("events")), e.what());
        }
        QCOMPARE(db.countEvents(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCalendarDb)
#include "test_calendardb.moc"
