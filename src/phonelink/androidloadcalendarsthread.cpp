#include "phonelink/androidloadcalendarsthread.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "records/calendarrecord.h"
#include "records/localcalendarsdb.h"
#include "records/recordtime.h"

#include <QHash>
#include <QMap>

namespace {

QDateTime fromSecs(const QString& field)
{
    return records::dateTimeFromSecs(field.toLongLong());
}

} // namespace

AndroidLoadCalendarsThread::AndroidLoadCalendarsThread(AndroidDeviceInfo* device, LocalCalendarsDb* cacheDb,
                                                       JobReport* progress, QObject* parent)
    : AndroidLoadThread(device, cacheDb, progress, parent)
    , m_db(cacheDb)
{
}

qint64 AndroidLoadCalendarsThread::parseCountList(const QString& text)
{
    qint64 total = 0;
    for (const QString& part : text.split(QLatin1Char(',')))
        total += part.trimmed().toLongLong();
    return total;
}

void AndroidLoadCalendarsThread::load()
{
    openService(QStringLiteral("calendars"));
    const QString countLine = simpleprotocol::expectCommand(socket, QStringLiteral("$count:"), -1);
    const qint64 total = parseCountList(countLine.mid(7));
    qint64 done = 0;

    // By the phone's calendar id, ascending; events by the phone's event id
    // point at their place in their calendar's list (a later event with the
    // same id takes the entry over).
    QMap<qint64, CalendarRecord> calendars;
    QHash<qint64, QPair<qint64, qsizetype>> events;

    BatchRules rules;
    rules.recordCommands = {QStringLiteral("$calendar:"), QStringLiteral("$event:"), QStringLiteral("$reminder:")};
    rules.topError = [](const QString& line) { return QStringLiteral("invalid command($end:,$batch:), ") + line; };
    rules.batchError = [](const QString& line) {
        return QStringLiteral("invalid command($end:,$calendar:,$event,$reminder), ") + line;
    };
    rules.beforeBatchRead = [&] {
        checkCanceled();
        postRecordProgress(done, total, QString());
    };
    readBatches(rules, [&](const QString& command, const QString& rest) {
        ++done;
        const QStringList f = rest.split(QLatin1Char(','));
        if (command == QLatin1String("$calendar:")) {
            if (f.size() < 4)
                return;
            const qint64 id = f.at(0).toLongLong();
            CalendarRecord& cal = calendars[id];
            cal.id = id;
            cal.name = simpleprotocol::decodeField(f.at(3));
        } else if (command == QLatin1String("$event:")) {
            if (f.size() < 2)
                return;
            const qint64 calendarId = f.at(1).toLongLong();
            auto cal = calendars.find(calendarId);
            if (cal == calendars.end())
                return;
            CalendarEventRecord ev(f.at(0).toLongLong(), calendarId, cal->name);
            if (f.size() > 2)
                ev.start = fromSecs(f.at(2));
            if (f.size() > 3)
                ev.end = fromSecs(f.at(3));
            if (f.size() > 4)
                ev.tz = simpleprotocol::decodeField(f.at(4));
            if (f.size() > 5)
                ev.summary = simpleprotocol::decodeField(f.at(5));
            if (f.size() > 6)
                ev.description = simpleprotocol::decodeField(f.at(6));
            if (f.size() > 7)
                ev.allDay = f.at(7).toInt();
            if (f.size() > 8)
                ev.rrule = simpleprotocol::decodeField(f.at(8));
            cal->events.append(ev);
            events.insert(ev.id, {calendarId, cal->events.size() - 1});
        } else {
            if (f.size() < 4)
                return;
            CalendarReminderRecord reminder(f.at(0).toLongLong(), f.at(1).toLongLong());
            reminder.minutes = f.at(2).toInt();
            reminder.method = f.at(3).toInt();
            const auto where = events.constFind(reminder.eventId);
            if (where == events.constEnd())
                return;
            calendars[where->first].events[where->second].reminders.append(reminder);
        }
    });

    // Nothing was written so far: a failure before this point leaves the
    // cache as it was.
    beginTran();
    for (const CalendarRecord& cal : std::as_const(calendars)) {
        const qint64 storedId = m_db->getOrCreateCalendar(cal.name, QString());
        for (const CalendarEventRecord& ev : cal.events)
            m_db->addEvent(storedId, ev, nullptr);
    }
    finish();
}
