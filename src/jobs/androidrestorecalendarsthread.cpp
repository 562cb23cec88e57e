#include "androidrestorecalendarsthread.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "records/localcalendarsdb.h"

using simpleprotocol::encodeField;

AndroidRestoreCalendarsThread::AndroidRestoreCalendarsThread(AndroidDeviceInfo* target, LocalCalendarsDb* targetCacheDb,
                                                             const QList<CalendarEventRecord>& events,
                                                             JobReport* progress, QObject* parent)
    : AndroidRestoreThread(target, targetCacheDb, progress, parent)
    , cacheDb(targetCacheDb)
    , items(events)
{
}

QString AndroidRestoreCalendarsThread::eventLine(const CalendarEventRecord& e)
{
    return QStringList {encodeField(e.calendarName),
                        QString::number(restoreLineSecs(e.start)),
                        QString::number(restoreLineSecs(e.end)),
                        encodeField(e.tz),
                        encodeField(e.summary),
                        encodeField(e.description),
                        QString::number(e.allDay),
                        encodeField(e.rrule),
                        QString::number(e.reminders.size())}
        .join(QLatin1Char(','));
}

QString AndroidRestoreCalendarsThread::serviceName() const
{
    return QStringLiteral("calendars");
}

int AndroidRestoreCalendarsThread::itemCount() const
{
    return int(items.size());
}

void AndroidRestoreCalendarsThread::sendItem(int index)
{
    const CalendarEventRecord& e = items.at(index);
    sendRecord(QStringLiteral("$event:"), eventLine(e));
    for (const CalendarReminderRecord& r : e.reminders)
        sendRecord(QStringLiteral("$reminder:"), QStringLiteral("%1,%2").arg(r.minutes).arg(r.method));
}

void AndroidRestoreCalendarsThread::storeItem(int index)
{
    // Calendar id 0: the cache finds or makes the calendar by its name.
    cacheDb->addEvent(0, items.at(index), nullptr);
}

QString AndroidRestoreCalendarsThread::progressText(int done, int total) const
{
    return tr("Events:%1 / %2").arg(done).arg(total);
}

QString AndroidRestoreCalendarsThread::resultText(int done) const
{
    return tr("IDS_EXPORT_CALENDAR_EVENTS_TO_ANDROID_SUC_%1").arg(done);
}
