#include "recordtime.h"

#include <QRegularExpression>

#include <cstdlib>
#include <limits>

namespace records {

namespace {

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The farthest from UTC a zone may be: real zones keep within fourteen hours
// of it, and an offset written with minutes and seconds may add them to that
// (as "GMT+14:59" may).
constexpr int kMaxOffsetSecs = 14 * 3600 + 59 * 60 + 59;

// Reads a POSIX TZ rule ("std offset [dst [offset][,start[/time],end[/time]]]")
// and accepts it only when every field is in range: Qt's rule arithmetic
// never ends on a month above 12, a week above 5 or a weekday above 6, and
// an offset beyond kMaxOffsetSecs (its own or the one daylight saving time
// adds an hour to) moves an all-day event's day by as many days as it likes.
class PosixRule {
public:
    explicit PosixRule(QStringView text)
        : s(text)
    {
    }

    // Whether Qt reads the text as a POSIX zone when no zone file has its
    // name: a name of three letters or more (or "<...>") and an offset
    // ("XYZ-15", "EST5EDT", "<+05>-5").
    static bool startsLikeZone(QStringView text)
    {
        PosixRule rule(text);
        return rule.name() && (rule.peek() == u'+' || rule.peek() == u'-' || isDigit(rule.peek()));
    }

    bool valid()
    {
        int standard = 0;
        if (!name() || !offset(&standard))
            return false;
        if (atEnd())
            return true; // standard time only
        if (!name())
            return false;
        // Without an offset of its own, daylight saving time is an hour ahead.
        int daylight = standard - 3600;
        if (peek() != u',' && !atEnd() && !offset(&daylight))
            return false;
        if (std::abs(daylight) > kMaxOffsetSecs)
            return false;
        // Without transitions only a zone file of that name ("EST5EDT") makes
        // it a zone for Qt.
        if (atEnd())
            return true;
        return take(u',') && transition() && take(u',') && transition() && atEnd();
    }

private:
    bool atEnd() const { return i == s.size(); }
    char16_t peek() const { return atEnd() ? u'\0' : s[i].unicode(); }
    bool take(char16_t c)
    {
        if (peek() != c)
            return false;
        ++i;
        return true;
    }

    // Three letters or more, or "<...>" around three or more letters,
    // digits and signs.
    bool name()
    {
        const qsizetype from = i;
        if (take(u'<')) {
            while (isLetter(peek()) || isDigit(peek()) || peek() == u'+' || peek() == u'-')
                ++i;
            return i - from - 1 >= 3 && take(u'>');
        }
        while (isLetter(peek()))
            ++i;
        return i - from >= 3;
    }

    // minDigits to maxDigits decimal digits of a value from min to max.
    bool number(int minDigits, int maxDigits, int min, int max, int* value = nullptr)
    {
        int digits = 0;
        int n = 0;
        for (; digits < maxDigits && isDigit(peek()); ++digits, ++i)
            n = n * 10 + (peek() - u'0');
        if (value)
            *value = n;
        return digits >= minDigits && n >= min && n <= max;
    }

    // [+-]h[:mm[:ss]]: an offset, or the time of day of a transition; its
    // seconds (signed) go to secs when given.
    bool clock(int hourDigits, int maxHours, int* secs = nullptr)
    {
        const bool negative = peek() == u'-';
        if (peek() == u'+' || peek() == u'-')
            ++i;
        int value = 0;
        if (!number(1, hourDigits, 0, maxHours, &value))
            return false;
        for (int part = 0; part < 2; ++part) {
            int sixty = 0;
            if (take(u':') && !number(2, 2, 0, 59, &sixty))
                return false;
            value = value * 60 + sixty;
        }
        if (secs)
            *secs = negative ? -value : value;
        return true;
    }

    // A zone's offset from UTC, west of Greenwich positive as POSIX writes
    // it, within the bound.
    bool offset(int* secs) { return clock(2, 24, secs) && std::abs(*secs) <= kMaxOffsetSecs; }

    // Mm.w.d, Jn or n, then an optional time of day (up to 167 hours, as
    // tz files write them).
    bool transition()
    {
        bool date = false;
        if (take(u'M'))
            date = number(1, 2, 1, 12) && take(u'.') && number(1, 1, 1, 5) && take(u'.') && number(1, 1, 0, 6);
        else if (take(u'J'))
            date = number(1, 3, 1, 365);
        else
            date = number(1, 3, 0, 365);
        return date && (!take(u'/') || clock(3, 167));
    }

    QStringView s;
    qsizetype i = 0;
};

QTimeZone validOrUtc(const QTimeZone& zone)
{
    return zone.isValid() ? zone : QTimeZone::utc();
}

} // namespace

qint64 secsSinceEpoch(const QDateTime& dt)
{
    if (!dt.isValid())
        return 0;
    return dt.toMSecsSinceEpoch() / 1000;
}

QDateTime dateTimeFromSecs(qint64 secs)
{
    // A file from elsewhere may hold any number: one whose milliseconds do
    // not fit 64 bits is no date.
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 1000;
    if (secs > kLimit || secs < -kLimit)
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(secs * 1000);
}

QDate allDayDate(const QDateTime& dt, const QTimeZone& zone)
{
    const QDateTime utc = dt.toUTC();
    if (!utc.isValid() || utc.date().year() < 2)
        return QDate();
    return utc.toTimeZone(zone).date();
}

QTimeZone eventTimeZone(const QString& text)
{
    // A phone names a fixed offset as Java does: "GMT+5" is five hours
    // ahead of UTC.
    static const QRegularExpression offset(
        QRegularExpression::anchoredPattern(QStringLiteral("(?:UTC|GMT)(?:([+-])(\\d{1,2})(?::?(\\d{2}))?)?")));
    // Area/Location names: letters, digits, "_", "+" and "-"; no dots, so
    // no way out of the zone folder.
    static const QRegularExpression iana(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z][A-Za-z0-9_+-]*(?:/[A-Za-z0-9_+-]+)*")));
    constexpr qsizetype kMaxLength = 100;

    const QString name = text.trimmed();
    if (name.isEmpty() || name.size() > kMaxLength)
        return QTimeZone::utc();
    if (const QRegularExpressionMatch m = offset.match(name); m.hasMatch()) {
        const int hours = m.captured(2).toInt();
        const int minutes = m.captured(3).toInt();
        if (hours > 14 || minutes > 59)
            return QTimeZone::utc();
        const int seconds = hours * 3600 + minutes * 60;
        return validOrUtc(QTimeZone(m.captured(1) == QLatin1String("-") ? -seconds : seconds));
    }
    // Qt reads a text that names no zone file of the system as a POSIX zone
    // when it starts like one, however far its offset: such a text is a
    // rule checked field by field, a zone file's name among them ("EST5EDT").
    if (PosixRule::startsLikeZone(name))
        return PosixRule(name).valid() ? validOrUtc(QTimeZone(name.toUtf8())) : QTimeZone::utc();
    // Any other name holds no comma, so no rule of its own: Qt takes the
    // system's zone file of that name or none.
    if (iana.match(name).hasMatch())
        return validOrUtc(QTimeZone(name.toUtf8()));
    return QTimeZone::utc();
}

qint32 hashSecs(const QDateTime& dt)
{
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(secsSinceEpoch(dt))));
}

void addInt32(QCryptographicHash& hash, qint32 value)
{
    const auto u = static_cast<quint32>(value);
    const char bytes[4] = {char(u & 0xff), char((u >> 8) & 0xff), char((u >> 16) & 0xff), char((u >> 24) & 0xff)};
    hash.addData(QByteArrayView(bytes, 4));
}

QByteArray hexResult(const QCryptographicHash& hash)
{
    return hash.result().toHex();
}

} // namespace records
