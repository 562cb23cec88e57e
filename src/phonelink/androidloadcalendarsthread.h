// Loads the phone's calendars, events and reminders into its cache
// "calendars.db". Everything is kept in memory until the phone has sent it
// all, then written in one transaction.
#pragma once

#include "phonelink/androidloadthread.h"

class LocalCalendarsDb;

class AndroidLoadCalendarsThread : public AndroidLoadThread {
    Q_OBJECT
public:
    AndroidLoadCalendarsThread(AndroidDeviceInfo* device, LocalCalendarsDb* cacheDb, JobReport* progress,
                               QObject* parent = nullptr);

    // The sum of the comma-separated numbers after "$count:" (a part that is
    // not a number counts 0).
    static qint64 parseCountList(const QString& text);

protected:
    void load() override;

private:
    LocalCalendarsDb* m_db;
};
