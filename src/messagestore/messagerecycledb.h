// The recycle store "recycle.db" of a message store folder. Kept with the
// store for the file layout's sake; nothing opens it, so the file is never
// created.
#pragma once

#include "records/absdb.h"

#include <QString>

class MessageRecycleDb : public AbsDb {
public:
    explicit MessageRecycleDb(const QString& path);
    ~MessageRecycleDb() override;

    // Opens the file read-write when it exists; never creates it.
    void open() override;

    QString filePath() const { return m_path; }

private:
    QString m_path;
};
