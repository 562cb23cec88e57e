#include "formats/vcarddate.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

bool allDigits(QStringView s)
{
    for (const QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !s.isEmpty();
}

// "yyyy-MM-dd" or "yyyyMMdd".
QDate parseDate(QStringView s)
{
    if (s.size() == 10 && s.at(4) == QLatin1Char('-') && s.at(7) == QLatin1Char('-') && allDigits(s.first(4))
        && allDigits(s.sliced(5, 2)) && allDigits(s.sliced(8, 2)))
        return QDate(s.first(4).toInt(), s.sliced(5, 2).toInt(), s.sliced(8, 2).toInt());
    if (s.size() == 8 && allDigits(s))
        return QDate(s.first(4).toInt(), s.sliced(4, 2).toInt(), s.sliced(6, 2).toInt());
    return QDate();
}

// "hh", "hhmm", "hhmmss", "hh:mm", "hh:mm:ss", each with an optional
// fraction of a second.
QTime parseTime(QStringView s)
{
    int msec = 0;
    const qsizetype fraction
        = s.indexOf(QLatin1Char('.')) >= 0 ? s.indexOf(QLatin1Char('.')) : s.indexOf(QLatin1Char(','));
    if (fraction >= 0) {
        const QStringView digits = s.sliced(fraction + 1);
        if (!allDigits(digits))
            return QTime();
        msec = digits.left(3).toString().leftJustified(3, QLatin1Char('0')).toInt();
        s = s.first(fraction);
    }
    QString compact = s.toString();
    compact.remove(QLatin1Char(':'));
    if (!allDigits(compact) || (compact.size() != 2 && compact.size() != 4 && compact.size() != 6))
        return QTime();
    const int h = compact.first(2).toInt();
    const int m = compact.size() >= 4 ? compact.sliced(2, 2).toInt() : 0;
    const int sec = compact.size() == 6 ? compact.sliced(4, 2).toInt() : 0;
    return QTime(h, m, sec, msec);
}

// "Z", "+hh", "+hhmm", "+hh:mm" (or "-"); false when it is none of them.
bool parseOffset(QStringView s, int* seconds)
{
    if (s.compare(QLatin1String("Z"), Qt::CaseInsensitive) == 0) {
        *seconds = 0;
        return true;
    }
    const int sign = s.startsWith(QLatin1Char('-')) ? -1 : 1;
    QString digits = s.sliced(1).toString();
    digits.remove(QLatin1Char(':'));
    if (!allDigits(digits) || (digits.size() != 2 && digits.size() != 4))
        return false;
    const int h = digits.first(2).toInt();
    const int m = digits.size() == 4 ? digits.sliced(2, 2).toInt() : 0;
    if (h > 14 || m > 59)
        return false;
    *seconds = sign * (h * 3600 + m * 60);
    return true;
}

QDateTime parseDateTime(QStringView s)
{
    qsizetype t = s.indexOf(QLatin1Char('T'));
    if (t < 0)
        t = s.indexOf(QLatin1Char('t'));
    const QDate date = parseDate(t < 0 ? s : s.first(t));
    if (!date.isValid())
        return QDateTime();
    if (t < 0)
        return QDateTime(date, QTime(0, 0));
    QStringView time = s.sliced(t + 1);
    qsizetype zoneAt = -1;
    for (qsizetype i = 0; i < time.size(); ++i) {
        const QChar c = time.at(i);
        if (c == QLatin1Char('Z') || c == QLatin1Char('z') || c == QLatin1Char('+') || c == QLatin1Char('-')) {
            zoneAt = i;
            break;
        }
    }
    int offset = 0;
    if (zoneAt >= 0 && !parseOffset(time.sliced(zoneAt), &offset))
        return QDateTime();
    const QTime clock = parseTime(zoneAt >= 0 ? time.first(zoneAt) : time);
    if (!clock.isValid())
        return QDateTime();
    if (zoneAt < 0)
        return QDateTime(date, clock);
    if (offset == 0)
        return QDateTime(date, clock, QTimeZone::utc());
    return QDateTime(date, clock, QTimeZone(offset));
}

} // namespace

QString VCardDate::yearless(int month, int day)
{
    // 2000 is a leap year: 29 February is a day of some years.
    if (!QDate(2000, month, day).isValid())
        return QString();
    return QStringLiteral("--%1-%2").arg(month, 2, 10, QLatin1Char('0')).arg(day, 2, 10, QLatin1Char('0'));
}

QVariant VCardDate::fromText(const QString& text)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return QVariant();
    if (s.startsWith(QLatin1String("--"))) {
        // Month and day without a year: "--MMdd" (vCard 4.0) or "--MM-dd".
        QString md = s.sliced(2);
        if (md.size() == 5 && md.at(2) == QLatin1Char('-'))
            md.remove(2, 1);
        if (md.size() == 4 && allDigits(md)) {
            const QString yearless = VCardDate::yearless(md.first(2).toInt(), md.sliced(2).toInt());
            if (!yearless.isEmpty())
                return yearless;
        }
        return s;
    }
    const QDateTime dt = parseDateTime(s);
    if (dt.isValid())
        return dt;
    return s;
}

bool VCardDate::isDate(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().isValid();
    const QVariant v = value.typeId() == QMetaType::QDateTime ? value : fromText(value.toString());
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().isValid();
    // fromText gives a day without a year as "--MM-dd", and any other text
    // as it stands.
    const QString text = v.toString();
    return text.size() == 7 && text.startsWith(QLatin1String("--"))
        && yearless(text.sliced(2, 2).toInt(), text.sliced(5, 2).toInt()) == text;
}

QString VCardDate::toText(const QVariant& value)
{
    QVariant v = value;
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().isValid() ? v.toDate().toString(Qt::ISODate) : QString();
    if (v.typeId() != QMetaType::QDateTime)
        v = fromText(v.toString()); // stored as text: read it as a file's date
    if (v.typeId() != QMetaType::QDateTime)
        return v.toString();
    const QDateTime dt = v.toDateTime();
    if (!dt.isValid())
        return QString();
    if (dt.time() == QTime(0, 0))
        return dt.date().toString(Qt::ISODate);
    return dt.toString(Qt::ISODate);
}
