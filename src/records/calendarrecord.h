// Calendars, their events and the events' reminders.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct CalendarReminderRecord {
    CalendarReminderRecord() = default;
    CalendarReminderRecord(qint64 id, qint64 eventId)
        : id(id)
        , eventId(eventId)
    {
    }

    qint64 id = 0; // row id in "reminders"; not written
    qint64 eventId = 0;
    int minutes = 0; // minutes before the event's start
    int method = 0; // the phone's method code, kept as it comes
    QString srcId;
};

struct CalendarEventRecord {
    CalendarEventRecord() = default;
    CalendarEventRecord(qint64 id, qint64 calendarId, const QString& calendarName)
        : id(id)
        , calendarId(calendarId)
        , calendarName(calendarName)
    {
    }

    // Duplicate key: MD5 (lower-case hex) of the start's 32-bit seconds and
    // the first line of the summary.
    QByteArray hash() const;

    qint64 id = 0; // row id in "events"; not written
    qint64 calendarId = 0; // 0: the calendar is found by calendarName
    QString calendarName;
    QString tz; // time zone name, kept as it comes
    QDateTime start;
    QDateTime end;
    QString summary; // may hold several lines
    QString description;
    QString url;
    QString rrule; // recurrence rule, kept as it comes
    int allDay = 0; // non-zero for an all-day event
    QString srcId;
    QList<CalendarReminderRecord> reminders;
};

struct CalendarRecord {
    CalendarRecord() = default;
    CalendarRecord(qint64 id, const QString& name)
        : id(id)
        , name(name)
    {
    }

    qint64 id = 0;
    QString name;
    QString srcId;
    QList<CalendarEventRecord> events;
};

// The calendar page's event order, later starts first. Strict: events of the
// same start compare equal.
bool calendarEventLessThan(const CalendarEventRecord& a, const CalendarEventRecord& b);
