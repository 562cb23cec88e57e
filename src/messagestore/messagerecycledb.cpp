#include "messagerecycledb.h"

#include <QFile>

MessageRecycleDb::MessageRecycleDb(const QString& path)
    : m_path(path)
{
}

MessageRecycleDb::~MessageRecycleDb()
{
    close();
}

void MessageRecycleDb::open()
{
    if (isOpen() || !QFile::exists(m_path))
        return;
    openThrow(m_path, Sqlite3DB::ReadWrite);
}
