// Sends call-history records to a phone's "calls" restore service.
#pragma once

#include "jobs/androidrestorethread.h"
#include "records/callrecord.h"

#include <QList>

class LocalCallHistoryDb;

class AndroidRestoreCallsThread : public AndroidRestoreThread {
    Q_OBJECT

public:
    AndroidRestoreCallsThread(AndroidDeviceInfo* target, LocalCallHistoryDb* targetCacheDb,
                              const QList<CallRecord>& calls, JobReport* progress, QObject* parent = nullptr);

    // The call type word of the wire for a CallFlag value.
    static QString typeWord(int flags);
    // The "$call:" argument of a call.
    static QString callLine(const CallRecord& call);

protected:
    QString serviceName() const override;
    int itemCount() const override;
    void sendItem(int index) override;
    void storeItem(int index) override;
    QString progressText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    LocalCallHistoryDb* cacheDb;
    QList<CallRecord> items;
};
