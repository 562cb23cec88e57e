#include "exportcalendarthread.h"

#include "records/recordtime.h"
#include "shell/core/errorreport.h"
#include "shell/core/fileutils.h"
#include "views/organiser/itemmodelcalendar.h"

#include <QFileInfo>
#include <QTimeZone>
#include <QUuid>

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

// The day of an all-day event. The phone keeps such events at midnight of
// their time zone, UTC when it names none or one we do not take: the date
// is read in that zone, never in the PC's. Invalid for an instant before the
// year 2, where the zone's rules would not end.
QDate allDayDate(const QDateTime& dt, const QString& tz)
{
    const QDateTime utc = dt.toUTC();
    if (!utc.isValid() || utc.date().year() < 2)
        return QDate();
    return utc.toTimeZone(records::eventTimeZone(tz)).date();
}

// The DTSTART and DTEND lines of an event (DTEND empty when none is
// written): timed events in UTC, all-day events as their dates. False for an
// event that cannot be written: no start (the phone sends second 0 for a
// start it does not have) or a date outside the years 1 to 9999.
bool eventTimes(const CalendarEventRecord& e, QString* startLine, QString* endLine)
{
    if (!e.start.isValid() || records::secsSinceEpoch(e.start) == 0)
        return false;
    // An end that is missing is left out, and so is an end that is not after
    // the start (RFC 5545 wants DTEND later than DTSTART): the event then
    // lasts its start's day or instant.
    endLine->clear();
    if (e.allDay != 0) {
        const QDate first = allDayDate(e.start, e.tz);
        if (!inRange(first))
            return false;
        *startLine = QStringLiteral("DTSTART;VALUE=DATE:") + first.toString(QStringLiteral("yyyyMMdd"));
        if (e.end.isValid()) {
            const QDate last = allDayDate(e.end, e.tz);
            if (!inRange(last))
                return false;
            if (last > first)
                *endLine = QStringLiteral("DTEND;VALUE=DATE:") + last.toString(QStringLiteral("yyyyMMdd"));
        }
        return true;
    }
    const QDateTime start = e.start.toUTC();
    if (!inRange(start.date()))
        return false;
    *startLine = QStringLiteral("DTSTART:") + dateTimeValue(start) + QLatin1Char('Z');
    if (e.end.isValid()) {
        const QDateTime end = e.end.toUTC();
        if (!inRange(end.date()))
            return false;
        if (end > start)
            *endLine = QStringLiteral("DTEND:") + dateTimeValue(end) + QLatin1Char('Z');
    }
    return true;
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
    // One stamp for the whole file: when it was made, in UTC.
    const QString stamp = dateTimeValue(QDateTime::currentDateTimeUtc()) + QLatin1Char('Z');
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
    int leftOut = 0; // events an iCalendar file cannot hold
    for (const CalendarEventRecord& e : std::as_const(events)) {
        checkCanceled();
        ++written;
        postProgress(written, total, tr("%1 / %2").arg(written).arg(total));
        if (csv)
            writeCsvRow(out, e);
        else if (!writeEvent(out, e, stamp))
            ++leftOut;
    }
    if (!csv)
        writeContentLine(out, QStringLiteral("END:VCALENDAR"));
    QString result = tr("IDS_SUC_EXPORT_%1_CALENDAR_ITEMS").arg(written - leftOut);
    if (leftOut > 0)
        result += QLatin1Char('\n') + tr("IDS_CALENDAR_EVENTS_LEFT_OUT_%1").arg(leftOut);
    return result;
}

bool ExportCalendarThread::writeEvent(Stream& out, const CalendarEventRecord& e, const QString& stamp)
{
    QString startLine, endLine;
    if (!eventTimes(e, &startLine, &endLine))
        return false;
    writeContentLine(out, QStringLiteral("BEGIN:VEVENT"));
    writeContentLine(out, startLine);
    if (!endLine.isEmpty())
        writeContentLine(out, endLine);
    writeContentLine(out, QStringLiteral("DTSTAMP:") + stamp);
    const QString rule = ruleValue(e.rrule);
    if (!rule.isEmpty())
        writeContentLine(out, QStringLiteral("RRULE:") + rule);
    writeContentLine(out, QStringLiteral("SUMMARY:") + escapeText(e.summary));
    writeContentLine(out, QStringLiteral("DESCRIPTION:") + escapeText(e.description));
    writeContentLine(out, QStringLiteral("UID:") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    writeContentLine(out, QStringLiteral("END:VEVENT"));
    return true;
}

void ExportCalendarThread::writeCsvRow(Stream& out, const CalendarEventRecord& e)
{
    out << csvText(e.summary) << ',' << csvQuote(ItemModelCalendar::dateText(e.start)) << ','
        << csvQuote(ItemModelCalendar::dateText(e.end)) << ',' << csvText(e.rrule) << ',' << csvText(e.description);
    out.endLine();
}
