// Loads the phone's contacts, one "$ent:" line per data row, into its cache
// "contacts.db".
#pragma once

#include "phonelink/androidloadthread.h"

class LocalContactsDb;

class AndroidLoadContactsThread : public AndroidLoadThread {
    Q_OBJECT
public:
    AndroidLoadContactsThread(LocalContactsDb* cacheDb, AndroidDeviceInfo* device, JobReport* progress,
                              QObject* parent = nullptr);

    // Rows whose contact's name row did not come first in their batch; they
    // are dropped, since no contact would reach them.
    int orphanRows() const { return m_orphans; }

protected:
    void load() override;

private:
    LocalContactsDb* m_db;
    int m_orphans = 0;
};
