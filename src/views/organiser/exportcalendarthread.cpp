#include "exportcalendarthread.h"

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

// A recurrence rule goes out as stored, less any control character: a line
// break inside it would start a property of its own.
QString ruleValue(const QString& rrule)
{
    QString out;
    out.reserve(rrule.size());
    for (QChar c : rrule) {
        if (!isControl(c.unicode()))
            out.append(c);
    }
    return out;
}

QString dateTimeValue(const QDateTime& dt)
{
    return dt.toString(QStringLiteral("yyyyMMdd'T'HHmmss"));
}

// The day of an all-day event. The phone keeps such events at midnight of
// their time zone (UTC as a rule): the date is read in that zone, in local
// time when the zone is unknown.
QDate allDayDate(const QDateTime& dt, const QString& tz)
{
    const QTimeZone zone(tz.toUtf8());
    return zone.isValid() ? dt.toTimeZone(zone).date() : dt.date();
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
    for (const CalendarEventRecord& e : std::as_const(events)) {
        checkCanceled();
        ++written;
        postProgress(written, total, tr("%1 / %2").arg(written).arg(total));
        if (csv)
            writeCsvRow(out, e);
        else
            writeEvent(out, e, stamp);
    }
    if (!csv)
        writeContentLine(out, QStringLiteral("END:VCALENDAR"));
    return tr("IDS_SUC_EXPORT_%1_CALENDAR_ITEMS").arg(written);
}

void ExportCalendarThread::writeEvent(Stream& out, const CalendarEventRecord& e, const QString& stamp)
{
    writeContentLine(out, QStringLiteral("BEGIN:VEVENT"));
    // A start or end that is missing is left out, and so is an end that is
    // not after the start (RFC 5545 wants DTEND later than DTSTART): the
    // event then lasts its start's day or instant.
    if (e.start.isValid()) {
        if (e.allDay != 0) {
            const QDate first = allDayDate(e.start, e.tz);
            writeContentLine(out, QStringLiteral("DTSTART;VALUE=DATE:") + first.toString(QStringLiteral("yyyyMMdd")));
            if (e.end.isValid()) {
                const QDate last = allDayDate(e.end, e.tz);
                if (last > first)
                    writeContentLine(out,
                                     QStringLiteral("DTEND;VALUE=DATE:") + last.toString(QStringLiteral("yyyyMMdd")));
            }
        } else {
            writeContentLine(out, QStringLiteral("DTSTART:") + dateTimeValue(e.start));
            if (e.end.isValid() && e.end > e.start)
                writeContentLine(out, QStringLiteral("DTEND:") + dateTimeValue(e.end));
        }
    }
    writeContentLine(out, QStringLiteral("DTSTAMP:") + stamp);
    const QString rule = ruleValue(e.rrule);
    if (!rule.isEmpty())
        writeContentLine(out, QStringLiteral("RRULE:") + rule);
    writeContentLine(out, QStringLiteral("SUMMARY:") + escapeText(e.summary));
    writeContentLine(out, QStringLiteral("DESCRIPTION:") + escapeText(e.description));
    writeContentLine(out, QStringLiteral("UID:") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    writeContentLine(out, QStringLiteral("END:VEVENT"));
}

void ExportCalendarThread::writeCsvRow(Stream& out, const CalendarEventRecord& e)
{
    out << csvText(e.summary) << ',' << csvQuote(ItemModelCalendar::dateText(e.start)) << ','
        << csvQuote(ItemModelCalendar::dateText(e.end)) << ',' << csvText(e.rrule) << ',' << csvText(e.description);
    out.endLine();
}
