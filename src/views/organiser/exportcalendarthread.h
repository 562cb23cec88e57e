// Writes calendar events to one file: a CSV table when the path's suffix is
// "csv" (any case), otherwise an iCalendar file (RFC 5545: escaped text
// values, lines folded at 75 octets, timed events in UTC, all-day events as
// dates, DTSTAMP the event's start in UTC). The table gives timed events on
// the PC's clock and all-day events at midnight of their day, the same day
// on every PC. Both leave out an event without a start or with a date
// outside the years 1 to 9999 and count it in the result. UTF-8 without
// byte-order mark, lines ended by CR LF.
#pragma once

#include "formats/absfileexportthread.h"
#include "records/calendarrecord.h"

#include <QList>
#include <QStringList>

class ExportCalendarThread : public AbsFileExportThread {
    Q_OBJECT

public:
    ExportCalendarThread(const QList<CalendarEventRecord>& events, const QString& path, JobReport* progress,
                         QObject* parent = nullptr);

    // A TEXT property value: backslash, semicolon and comma escaped, every
    // line break (CR LF, LF or CR) as "\n"; other control characters, which
    // a TEXT value cannot hold, are dropped.
    static QString escapeText(const QString& text);
    // Writes one content line, folded so that no line exceeds 75 octets of
    // UTF-8 (line end excluded) and no character is cut.
    static void writeContentLine(Stream& out, const QString& line);

protected:
    QString write(Stream& out) override;

private:
    // timeLines: the event's DTSTART line and its DTEND line if any.
    void writeEvent(Stream& out, const CalendarEventRecord& e, const QStringList& timeLines, const QString& stamp);
    void writeCsvRow(Stream& out, const CalendarEventRecord& e, const QString& start, const QString& end);

    QList<CalendarEventRecord> events;
};
