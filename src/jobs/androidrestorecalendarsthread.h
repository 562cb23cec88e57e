// Sends calendar events, each with its reminders, to a phone's "calendars"
// restore service; an event and its reminder lines count as one record.
#pragma once

#include "jobs/androidrestorethread.h"
#include "records/calendarrecord.h"

#include <QList>

class LocalCalendarsDb;

class AndroidRestoreCalendarsThread : public AndroidRestoreThread {
    Q_OBJECT

public:
    AndroidRestoreCalendarsThread(AndroidDeviceInfo* target, LocalCalendarsDb* targetCacheDb,
                                  const QList<CalendarEventRecord>& events, JobReport* progress,
                                  QObject* parent = nullptr);

    // The "$event:" argument of an event (the calendar is named, not numbered).
    static QString eventLine(const CalendarEventRecord& event);

protected:
    QString serviceName() const override;
    int itemCount() const override;
    void sendItem(int index) override;
    void storeItem(int index) override;
    QString progressText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    LocalCalendarsDb* cacheDb;
    QList<CalendarEventRecord> items;
};
