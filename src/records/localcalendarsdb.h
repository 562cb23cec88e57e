// The calendars file of a local backup or device cache folder.
#pragma once

#include "records/absdb.h"
#include "records/calendarrecord.h"

#include <QHash>
#include <QList>

class ICalendarDb {
public:
    virtual ~ICalendarDb() = default;
    // Every calendar (by name) with its events and their reminders.
    virtual QList<CalendarRecord> loadAll() = 0;
};

class LocalCalendarsDb : public AbsLocalDb, public ICalendarDb {
public:
    explicit LocalCalendarsDb(const QString& path);

    // Opens or creates the file, then brings an old layout up to date (the
    // events' url column, the name index that ignores case) in one
    // transaction (the unit's, when beginTran opens the file).
    void open() override;
    QList<CalendarRecord> loadAll() override;
    // The events of one calendar, each with its reminders, in stored order.
    QList<CalendarEventRecord> loadEvents(qint64 calendarId, const QString& calendarName);

    // 0 on any error.
    qint64 countEvents();

    // The calendar's row id, found by name ignoring ASCII case, made when missing.
    qint64 getOrCreateCalendar(const QString& name, const QString& srcId);
    // Stores the event with its reminders unless an event of the same hash is
    // in the calendar; returns the stored or new event id. calendarId 0 finds
    // or makes the calendar by event.calendarName. duplicate may be null.
    qint64 addEvent(qint64 calendarId, const CalendarEventRecord& event, bool* duplicate);
    // Deletes the event, its reminders and every calendar left without events.
    void deleteEvent(qint64 eventId);

    // CREATE text of each table as SQLite keeps it, taken at open.
    const QHash<QString, QString>& tableSchemas() const { return tables; }

private:
    QHash<QString, QString> tables;
};
