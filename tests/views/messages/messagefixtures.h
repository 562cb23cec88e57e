// Message stores for the messages page tests: records built in memory
// (MessageSet) written into the store of a folder the way the store writer
// writes every message.
#pragma once

#include "message_testdata.h"
#include "messagestore/exportmessagesdb.h"

#include <QDir>

namespace messagefixtures {

// Writes every message of the set into the store of folder (made when
// missing); true when the store committed.
inline bool writeStore(const QString& folder, const MessageSet& set, const QString& mcc = QString())
{
    try {
        ExportMessagesDb db {QDir(folder), mcc};
        db.begin();
        for (const auto& m : set.messages)
            db.write(*m);
        db.end();
        return true;
    } catch (const std::exception& e) {
        qWarning("writing the store failed: %s", e.what());
        return false;
    }
}

// Seconds since 2001 of 2023-11-14 22:13:20 UTC, a date the tests count from.
constexpr int kBase = 721692800;

} // namespace messagefixtures
