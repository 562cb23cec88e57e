// The calendar page's tree: each calendar (by name, case ignored) with its
// events below it, later starts first, in five columns (summary, start, end,
// all day, rule).
#pragma once

#include "records/calendarrecord.h"
#include "shell/abstreeitemmodel.h"

#include <QList>

class ItemModelCalendar : public AbsTreeItemModel {
    Q_OBJECT

public:
    // The kinds of the rows.
    enum { kCalendarRow = 0, kEventRow = 1 };

    // A calendar row: the calendar as read, its events in database order.
    class _CalendarItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        explicit _CalendarItemNode(const CalendarRecord& calendar)
            : _ItemNode(kCalendarRow, QString(), nullptr)
            , calendar(calendar)
        {
        }
        CalendarRecord calendar;
    };

    // An event row below its calendar's row.
    class _CalEventItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        _CalEventItemNode(const CalendarEventRecord& event, _ItemNode* parent)
            : _ItemNode(kEventRow, event.summary, parent)
            , event(event)
            , startText(eventDateText(event, event.start))
            , endText(eventDateText(event, event.end))
        {
        }
        CalendarEventRecord event;
        // The start and end as the list shows them, worked out once: an
        // all-day event's day takes its zone's rules.
        QString startText;
        QString endText;
    };

    explicit ItemModelCalendar(QObject* parent = nullptr);

    // Replaces the content.
    void setCalendars(const QList<CalendarRecord>& calendars);
    // The calendars in display order, each with its events in display order.
    const QList<CalendarRecord>& calendars() const { return m_calendars; }

    // What a row of this model holds: its calendar (as read) for a calendar
    // row, its event for an event row; null otherwise.
    const CalendarRecord* calendarAt(const QModelIndex& index) const;
    const CalendarEventRecord* eventAt(const QModelIndex& index) const;

    // A start or end as the list and the CSV export show it (system locale,
    // short); empty for an invalid date-time.
    static QString dateText(const QDateTime& date);
    // An all-day event's day at midnight, the same on every PC; empty for
    // an invalid day.
    static QString dayText(const QDate& day);
    // The event's start or end (when) as the list shows it: an all-day
    // event's day in its own zone (dayText), a timed one on the PC's clock,
    // nothing for a time the phone does not have.
    static QString eventDateText(const CalendarEventRecord& e, const QDateTime& when);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<CalendarRecord> m_calendars;
};
