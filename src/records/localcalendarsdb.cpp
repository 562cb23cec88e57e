#include "localcalendarsdb.h"

#include "platform/transaction.h"
#include "recordtime.h"

LocalCalendarsDb::LocalCalendarsDb(const QString& path)
    : AbsLocalDb(path)
{
}

void LocalCalendarsDb::open()
{
    if (isOpen())
        return;
    openOrCreate(QStringLiteral(":res/local_calendars_db.sql"));
    tables.clear();
    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select name,sql from sqlite_master where type='table'"));
        while (c.moveNext())
            tables.insert(c.getText(0), c.getText(1));
    }
    // The whole update or nothing of it; inside the caller's unit when
    // beginTran opens the file.
    Transaction<Sqlite3DB> tran(db);
    if (!tables.value(QStringLiteral("events")).contains(QLatin1String("url TEXT"), Qt::CaseInsensitive))
        db.executeThrow(QStringLiteral("ALTER TABLE events ADD COLUMN url TEXT;"));
    // Calendars are matched by name ignoring case; files made before this
    // index existed get it here.
    db.executeThrow(
        QStringLiteral("CREATE INDEX IF NOT EXISTS index_calendars_name_nocase ON calendars (name COLLATE NOCASE)"));
    tran.commit();
}

qint64 LocalCalendarsDb::countEvents()
{
    return countOf(QStringLiteral("select count(*) from events"));
}

qint64 LocalCalendarsDb::getOrCreateCalendar(const QString& name, const QString& srcId)
{
    openForWriting();
    Sqlite3Sql find(QStringLiteral("select _id from calendars where name=? COLLATE NOCASE limit 1"));
    find.addTextParam(name);
    const qint64 id = db.queryInt64Throw(find);
    if (id != 0)
        return id;
    Sqlite3Sql insert(QStringLiteral("insert into calendars(name,src_id) values(?,?)"));
    insert.addTextParam(name);
    insert.addTextParam(srcId);
    db.executeThrow(insert);
    return db.lastInsertId();
}

qint64 LocalCalendarsDb::addEvent(qint64 calendarId, const CalendarEventRecord& event, bool* duplicate)
{
    openForWriting();
    // The event and its reminders are one unit: a failure among the
    // reminders must not leave an event whose hash then blocks the retry.
    Transaction<Sqlite3DB> tran(db);
    if (calendarId == 0)
        calendarId = getOrCreateCalendar(event.calendarName, QString());
    const QString hash = QString::fromLatin1(event.hash());
    Sqlite3Sql find(QStringLiteral("select _id from events where calendar_id=? and hash=?"));
    find.addInt64Param(calendarId);
    find.addTextParam(hash);
    const qint64 existing = db.queryInt64Throw(find);
    if (existing != 0) {
        if (duplicate)
            *duplicate = true;
        tran.commit();
        return existing;
    }
    if (duplicate)
        *duplicate = false;
    Sqlite3Sql insert(QStringLiteral(
        "insert into events(calendar_id,tz,start_date,end_date,summary,description,rrule,all_day,hash,src_id,url) "
        "values(?,?,?,?,?,?,?,?,?,?,?)"));
    insert.addInt64Param(calendarId);
    insert.addTextParam(event.tz);
    insert.addInt64Param(records::secsSinceEpoch(event.start));
    insert.addInt64Param(records::secsSinceEpoch(event.end));
    insert.addTextParam(event.summary);
    insert.addTextParam(event.description);
    insert.addTextParam(event.rrule);
    insert.addIntParam(event.allDay);
    insert.addTextParam(hash);
    insert.addTextParam(event.srcId);
    insert.addTextParam(event.url);
    db.executeThrow(insert);
    const qint64 eventId = db.lastInsertId();
    for (const CalendarReminderRecord& r : event.reminders) {
        Sqlite3Sql rem(QStringLiteral("insert into reminders(event_id,minutes,method,src_id) values(?,?,?,?)"));
        rem.addInt64Param(eventId);
        rem.addIntParam(r.minutes);
        rem.addIntParam(r.method);
        rem.addTextParam(r.srcId);
        db.executeThrow(rem);
    }
    tran.commit();
    return eventId;
}

void LocalCalendarsDb::deleteEvent(qint64 eventId)
{
    openForWriting();
    db.executeThrow(QStringLiteral("delete from reminders where event_id=%1").arg(eventId));
    db.executeThrow(QStringLiteral("delete from events where _id=%1").arg(eventId));
    db.executeThrow(
        QStringLiteral("delete from calendars where _id not in (select calendar_id from events group by calendar_id)"));
}

QList<CalendarRecord> LocalCalendarsDb::loadAll()
{
    openForReading();
    QList<CalendarRecord> result;
    Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from calendars order by name asc"));
    while (c.moveNext()) {
        CalendarRecord cal(c.getInt64(QStringLiteral("_id")), c.getText(QStringLiteral("name")));
        cal.srcId = c.getText(QStringLiteral("src_id"));
        result.append(cal);
    }
    for (CalendarRecord& cal : result)
        cal.events = loadEvents(cal.id, cal.name);
    return result;
}

QList<CalendarEventRecord> LocalCalendarsDb::loadEvents(qint64 calendarId, const QString& calendarName)
{
    openForReading();
    QList<CalendarEventRecord> events;
    {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select * from events where calendar_id=%1").arg(calendarId));
        while (c.moveNext()) {
            CalendarEventRecord e(c.getInt64(QStringLiteral("_id")), calendarId, calendarName);
            e.tz = c.getText(QStringLiteral("tz"));
            e.start = records::dateTimeFromSecs(c.getInt64(QStringLiteral("start_date")));
            e.end = records::dateTimeFromSecs(c.getInt64(QStringLiteral("end_date")));
            e.summary = c.getText(QStringLiteral("summary"));
            e.description = c.getText(QStringLiteral("description"));
            e.rrule = c.getText(QStringLiteral("rrule"));
            e.allDay = c.getInt(QStringLiteral("all_day"));
            e.srcId = c.getText(QStringLiteral("src_id"));
            if (c.hasColumn(QStringLiteral("url"))) // absent from older files opened for reading
                e.url = c.getText(QStringLiteral("url"));
            events.append(e);
        }
    }
    for (CalendarEventRecord& e : events) {
        Sqlite3Cursor r = db.queryThrow(QStringLiteral("select * from reminders where event_id=%1").arg(e.id));
        while (r.moveNext()) {
            CalendarReminderRecord rem(r.getInt64(QStringLiteral("_id")), e.id);
            rem.minutes = r.getInt(QStringLiteral("minutes"));
            rem.method = r.getInt(QStringLiteral("method"));
            rem.srcId = r.getText(QStringLiteral("src_id"));
            e.reminders.append(rem);
        }
    }
    return events;
}
