// The call-history file of a local backup or device cache folder.
#pragma once

#include "records/absdb.h"
#include "records/callrecord.h"

#include <QHash>
#include <QList>

class ICallHistoryDb {
public:
    virtual ~ICallHistoryDb() = default;
    // Every call, newest first.
    virtual QList<CallRecord> loadAll() = 0;
};

class LocalCallHistoryDb : public AbsLocalDb, public ICallHistoryDb {
public:
    explicit LocalCallHistoryDb(const QString& path);

    // Opens or creates the file, then adds the columns an older file lacks,
    // all in one transaction (the unit's, when beginTran opens the file).
    void open() override;
    QList<CallRecord> loadAll() override;

    // 0 on any error.
    qint64 countCalls();
    // The call's row id; the call is stored only when its hash is new.
    qint64 addCall(const CallRecord& call);
    void deleteCall(qint64 id);
    // Closes and deletes the file; throws std::runtime_error when that
    // fails, also when there is no file.
    void removeDbFile();

private:
    QHash<QString, _SqliteCol> columns;
};
