#include "calendarrecord.h"

#include "recordtime.h"

QByteArray CalendarEventRecord::hash() const
{
    QCryptographicHash h(QCryptographicHash::Md5);
    records::addInt32(h, records::hashSecs(start));
    const QString firstLine = summary.section(QLatin1Char('\n'), 0, 0);
    h.addData(firstLine.toUtf8());
    return records::hexResult(h);
}

bool calendarEventLessThan(const CalendarEventRecord& a, const CalendarEventRecord& b)
{
    return b.start < a.start;
}
