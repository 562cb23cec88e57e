// Loads the phone's call log into its cache "calls.db".
#pragma once

#include "phonelink/androidloadthread.h"

class LocalCallHistoryDb;
struct CallRecord;

class AndroidLoadCallsThread : public AndroidLoadThread {
    Q_OBJECT
public:
    AndroidLoadCallsThread(AndroidDeviceInfo* device, LocalCallHistoryDb* cacheDb, JobReport* progress,
                           QObject* parent = nullptr);

    // The record of a "$call:" line's fields (the text after the command).
    static CallRecord parseCall(const QString& fields);

protected:
    void load() override;

private:
    LocalCallHistoryDb* m_db;
};
