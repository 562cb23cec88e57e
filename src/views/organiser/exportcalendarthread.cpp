#include "exportcalendarthread.h"

#include "records/recordtime.h"
#include "shell/core/errorreport.h"
#include "shell/core/fileutils.h"
#include "views/organiser/itemmodelcalendar.h"

#include <QFileInfo>
#include <QTimeZone>
#include <QUuid>

#include <optional>

namespace {

constexpr int kMaxLineOctets = 75;

bool isControl(char16_t c)
{
    return (c < 0x20 && c != u'\t') || c == 0x7f;
}

// A recurrence rule goes out as stored up to its first line break: what
// follows a break is no part of the rule (and would start a property of its
// own). Other control characters are dropped.
QString ruleValue(const QString& rrule)
{
    QString out;
    out.reserve(rrule.size());
    for (QChar c : rrule) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            break;
        if (!isControl(c.unicode()))
            out.append(c);
    }
    return out;
}

QString dateTimeValue(const QDateTime& dt)
{
    return dt.toString(QStringLiteral("yyyyMMdd'T'HHmmss"));
}

// RFC 5545 dates have four-digit years.
bool inRange(const QDate& date)
{
    return date.isValid() && date.year() >= 1 && date.year() <= 9999;
}

// When an event happens, as both formats write it.
struct EventTimes {
    bool allDay = false;
    // An all-day event's first day and the day its end falls on (invalid
    // when it has no end).
    QDate firstDay;
    QDate endDay;
    // A timed event's start and end in UTC (the end invalid when none).
    QDateTime start;
    QDateTime end;
};

// Nothing for an event that cannot be written: no start (the phone sends
// second 0 for a start it does not have; secsSinceEpoch gives 0 for an
// invalid one too) or a date outside the years 1 to 9999.
std::optional<EventTimes> eventTimes(const CalendarEventRecord& e)
{
    if (records::secsSinceEpoch(e.start) == 0)
        return std::nullopt;
    // An end the phone does not have arrives as second 0 too.
    const bool hasEnd = records::secsSinceEpoch(e.end) != 0;
    EventTimes t;
    t.allDay = e.allDay != 0;
    if (t.allDay) {
        const QTimeZone zone = records::eventTimeZone(e.tz);
        t.firstDay = records::allDayDate(e.start, zone);
        if (!inRange(t.firstDay))
            return std::nullopt;
        if (hasEnd) {
            t.endDay = records::allDayDate(e.end, zone);
            if (!inRange(t.endDay))
                return std::nullopt;
        }
        return t;
    }
    t.start = e.start.toUTC();
    if (!inRange(t.start.date()))
        return std::nullopt;
    if (hasEnd) {
        t.end = e.end.toUTC();
        if (!inRange(t.end.date()))
            return std::nullopt;
    }
    return t;
}

// The DTSTART line of an event and its DTEND line when one is written:
// timed events in UTC, all-day events as their dates. An end that is
// missing is left out, and so is an end that is not after the start
// (RFC 5545 wants DTEND later than DTSTART): the event then lasts its
// start's day or instant.
QStringList icalTimes(const EventTimes& t)
{
    if (t.allDay) {
        QStringList lines {QStringLiteral("DTSTART;VALUE=DATE:") + t.firstDay.toString(QStringLiteral("yyyyMMdd"))};
        if (t.endDay.isValid() && t.endDay > t.firstDay)
            lines.append(QStringLiteral("DTEND;VALUE=DATE:") + t.endDay.toString(QStringLiteral("yyyyMMdd")));
        return lines;
    }
    QStringList lines {QStringLiteral("DTSTART:") + dateTimeValue(t.start) + QLatin1Char('Z')};
    if (t.end.isValid() && t.end > t.start)
        lines.append(QStringLiteral("DTEND:") + dateTimeValue(t.end) + QLatin1Char('Z'));
    return lines;
}

// The DTSTAMP value: the event's start as DTSTART writes it, as a UTC
// date-time (an all-day event's first day at midnight), so that exports of
// the same events give the same file at any time and on every PC.
QString stampValue(const EventTimes& t)
{
    if (t.allDay)
        return t.firstDay.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("T000000Z");
    return dateTimeValue(t.start) + QLatin1Char('Z');
}

// A CSV date: a timed event's time on the PC's clock, an all-day event's
// day at midnight, the same on every PC.
QString csvDate(const EventTimes& t, const QDate& day, const QDateTime& time)
{
    if (!t.allDay)
        return ItemModelCalendar::dateText(time.toLocalTime());
    return ItemModelCalendar::dayText(day);
}

// CSV fields are written as a text-mode writer would: every line break
// inside a field as CR LF.
QString csvText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return csvQuote(text);
}

} // namespace

ExportCalendarThread::ExportCalendarThread(const QList<CalendarEventRecord>& events, const QString& path,
                                           JobReport* progress, QObject* parent)
    : AbsFileExportThread(path, LineEnd::CrLf, progress, parent)
    , events(events)
{
    setProgressStatus(tr("IDS_EXPORTING_CALENDAR_ITEMS"));
}

QString ExportCalendarThread::escapeText(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        switch (c) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u';':
            out += QLatin1String("\\;");
            break;
        case u',':
            out += QLatin1String("\\,");
            break;
        case u'\r':
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\\n");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        default:
            if (!isControl(c))
                out.append(QChar(c));
        }
    }
    return out;
}

void ExportCalendarThread::writeContentLine(Stream& out, const QString& line)
{
    qsizetype start = 0;
    int octets = 0;
    for (qsizetype i = 0; i < line.size();) {
        const QChar c = line.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate();
        const int units = pair ? 2 : 1;
        // UTF-8 length; a lone surrogate goes out as U+FFFD (3 octets).
        const int size = pair ? 4 : c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
        if (octets + size > kMaxLineOctets) {
            out << line.mid(start, i - start);
            out.endLine();
            out << ' '; // the continuation's leading blank counts as its first octet
            start = i;
            octets = 1;
        }
        octets += size;
        i += units;
    }
    out << line.mid(start);
    out.endLine();
}

QString ExportCalendarThread::write(Stream& out)
{
    const bool csv = QFileInfo(path()).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    if (csv) {
        out << "Summary,Start Date,End Date,RRule,Description";
        out.endLine();
    } else {
        for (const QString& line :
             {QStringLiteral("BEGIN:VCALENDAR"),
              QStringLiteral("PRODID:-//Quillharbor Ltd//%1//EN").arg(escapeText(appinfo::productName())),
              QStringLiteral("VERSION:2.0"), QStringLiteral("CALSCALE:GREGORIAN"), QStringLiteral("METHOD:PUBLISH")})
            writeContentLine(out, line);
    }

    const int total = int(events.size());
    int written = 0;
    int leftOut = 0; // events without a start or with a date out of range
    for (const CalendarEventRecord& e : std::as_const(events)) {
        checkCanceled();
        ++written;
        postProgress(written, total, tr("%1 / %2").arg(written).arg(total));
        const std::optional<EventTimes> times = eventTimes(e);
        if (!times)
            ++leftOut;
        else if (csv)
            writeCsvRow(out, e, csvDate(*times, times->firstDay, times->start),
                        csvDate(*times, times->endDay, times->end));
        else
            writeEvent(out, e, icalTimes(*times), stampValue(*times));
    }
    if (!csv)
        writeContentLine(out, QStringLiteral("END:VCALENDAR"));
    QString result = tr("IDS_SUC_EXPORT_%1_CALENDAR_ITEMS").arg(written - leftOut);
    if (leftOut > 0)
        result += QLatin1Char('\n') + tr("IDS_CALENDAR_EVENTS_LEFT_OUT_%1").arg(leftOut);
    return result;
}

void ExportCalendarThread::writeEvent(Stream& out, const CalendarEventRecord& e, const QStringList& timeLines,
                                      const QString& stamp)
{
    writeContentLine(out, QStringLiteral("BEGIN:VEVENT"));
    for (const QString& line : timeLines)
        writeContentLine(out, line);
    writeContentLine(out, QStringLiteral("DTSTAMP:") + stamp);
    const QString rule = ruleValue(e.rrule);
    if (!rule.isEmpty())
        writeContentLine(out, QStringLiteral("RRULE:") + rule);
    writeContentLine(out, QStringLiteral("SUMMARY:") + escapeText(e.summary));
    writeContentLine(out, QStringLiteral("DESCRIPTION:") + escapeText(e.description));
    writeContentLine(out, QStringLiteral("UID:") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    writeContentLine(out, QStringLiteral("END:VEVENT"));
}

void ExportCalendarThread::writeCsvRow(Stream& out, const CalendarEventRecord& e, const QString& start,
                                       const QString& end)
{
    out << csvText(e.summary) << ',' << csvQuote(start) << ',' << csvQuote(end) << ',' << csvText(e.rrule) << ','
        << csvText(e.description);
    out.endLine();
}
