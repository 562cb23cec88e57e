#include "contact.h"

#include <QCryptographicHash>

namespace pim {

namespace {

QString variantText(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = v.toByteArray();
        return QString::fromUtf8(bytes.constData(), qstrnlen(bytes.constData(), size_t(bytes.size())));
    }
    return v.toString();
}

bool isIntegral(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// Decimal text of an integral variant, signed or unsigned.
QString integralText(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return QString::number(v.toULongLong());
    default:
        return QString::number(v.toLongLong());
    }
}

// No value at all: absent, an empty text or no bytes. A number never is.
bool holdsNothing(const QVariant& v)
{
    if (!v.isValid())
        return true;
    if (isIntegral(v))
        return false;
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray().isEmpty();
    return v.toString().isEmpty();
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    // A row read from a file leaves out what the cache stores as an empty
    // text: both say there is no value.
    const bool aNothing = holdsNothing(a);
    const bool bNothing = holdsNothing(b);
    if (aNothing || bNothing)
        return aNothing == bNothing;
    const bool aNum = isIntegral(a);
    const bool bNum = isIntegral(b);
    if (aNum && bNum)
        return integralText(a) == integralText(b);
    if (aNum)
        return integralText(a) == variantText(b);
    if (bNum)
        return variantText(a) == integralText(b);
    if (a.typeId() == QMetaType::QByteArray && b.typeId() == QMetaType::QByteArray)
        return a.toByteArray() == b.toByteArray();
    return a.toString() == b.toString();
}

QString key(int n)
{
    return QStringLiteral("data%1").arg(n);
}

QMap<int, QString> makeTable(std::initializer_list<std::pair<int, const char*>> entries)
{
    QMap<int, QString> m;
    for (const auto& e : entries)
        m.insert(e.first, QString::fromUtf8(e.second));
    return m;
}

} // namespace

QString valueText(const QVariantMap& values, const QString& k)
{
    return variantText(values.value(k));
}

QString formatName(const QVariantMap& values)
{
    QString name = valueText(values, key(5));
    for (int n : {2, 4, 3, 6}) {
        const QString part = valueText(values, key(n));
        if (!part.isEmpty())
            name += QLatin1Char(' ') + part;
    }
    return name.trimmed();
}

QString streetWithExtended(const QVariantMap& values)
{
    const QString street = valueText(values, key(4));
    const QString extended = valueText(values, key(6));
    if (street.isEmpty() || extended.isEmpty())
        return street + extended;
    return street + QLatin1Char(' ') + extended;
}

QString streetLines(const QVariantMap& values)
{
    const QString street = streetWithExtended(values);
    const QString box = valueText(values, key(5));
    if (street.isEmpty() || box.isEmpty())
        return street + box;
    return street + QLatin1Char('\n') + box;
}

QString formatAddress(const QVariantMap& values)
{
    QString text = streetLines(values);
    const QString city = valueText(values, key(7));
    const QString region = valueText(values, key(8));
    const QString postcode = valueText(values, key(9));
    const QString country = valueText(values, key(10));
    if (!city.isEmpty() || !region.isEmpty()) {
        text += QLatin1Char('\n');
        if (!city.isEmpty()) {
            text += city;
            if (!region.isEmpty() || !postcode.isEmpty())
                text += QLatin1Char(',');
        }
        if (!region.isEmpty())
            text += QLatin1Char(' ') + region;
        if (!postcode.isEmpty())
            text += QLatin1Char(' ') + postcode;
    }
    if (!country.isEmpty())
        text += QLatin1Char('\n') + country;
    return text.trimmed();
}

QString md5Base64(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toBase64());
}

QString photoHash(const QVariantMap& values)
{
    return md5Base64(values.value(key(15)).toByteArray());
}

int phoneTypeRank(const ContactDataRow& row)
{
    bool ok = false;
    const int code = valueText(row.values, key(2)).toInt(&ok);
    switch (ok ? code : 0) {
    case 2:
        return 10;
    case 12:
        return 20;
    case 1:
        return 30;
    case 3:
        return 40;
    default:
        return 100;
    }
}

bool phoneLessThan(const ContactDataRow& a, const ContactDataRow& b)
{
    return phoneTypeRank(a) < phoneTypeRank(b);
}

bool isSameDataValues(const QVariantMap& a, const QVariantMap& b, const QStringList& keys)
{
    for (const QString& k : keys) {
        if (!sameValue(a.value(k), b.value(k)))
            return false;
    }
    return true;
}

bool isDataEmpty(const QVariantMap& values, const QStringList& keys)
{
    for (const QString& k : keys) {
        if (!valueText(values, k).isEmpty())
            return false;
    }
    return true;
}

// The tables are built once (C++ guarantees a thread-safe first fill) and
// handed out as copies.
QMap<int, QString> phoneTypeLabels()
{
    static const QMap<int, QString> table = makeTable({
        {0, "Other"},    {1, "Home"},         {2, "Mobile"},      {3, "Work"},       {4, "Work Fax"},
        {5, "Home Fax"}, {6, "Pager"},        {8, "Callback"},    {9, "Car"},        {10, "Company Main"},
        {11, "ISDN"},    {12, "Main"},        {13, "Other Fax"},  {14, "Radio"},     {15, "Telex"},
        {16, "TTY TDD"}, {17, "Work Mobile"}, {18, "Work Pager"}, {19, "Assistant"}, {20, "MMS"},
    });
    return table;
}

QMap<int, QString> emailTypeLabels()
{
    static const QMap<int, QString> table = makeTable({{0, "Other"}, {1, "Home"}, {2, "Work"}, {4, "Mobile"}});
    return table;
}

QMap<int, QString> eventTypeLabels()
{
    static const QMap<int, QString> table = makeTable({{0, "Other"}, {1, "Anniversary"}, {3, "Birthday"}});
    return table;
}

QMap<int, QString> imProtocolLabels()
{
    static const QMap<int, QString> table = makeTable({
        {0, "Other"},
        {1, "AIM"},
        {2, "MSN"},
        {3, "Yahoo"},
        {4, "Skype"},
        {5, "QQ"},
        {6, "Google Talk"},
        {7, "ICQ"},
        {8, "Jabber"},
        {9, "Net Meeting"},
        {10, "Gadu Gadu"},
        {11, "Facebook"},
    });
    return table;
}

QMap<int, QString> imTypeLabels()
{
    static const QMap<int, QString> table = makeTable({{0, "Other"}, {1, "Home"}, {2, "Work"}});
    return table;
}

QMap<int, QString> organizationTypeLabels()
{
    static const QMap<int, QString> table = makeTable({{0, "Other"}, {1, "Work"}});
    return table;
}

QMap<int, QString> relationTypeLabels()
{
    static const QMap<int, QString> table = makeTable({
        {0, "Other"},
        {1, "Assistant"},
        {2, "Brother"},
        {3, "Child"},
        {4, "Domestic Partner"},
        {5, "Father"},
        {6, "Friend"},
        {7, "Manager"},
        {8, "Mother"},
        {9, "Parent"},
        {10, "Partner"},
        {11, "Referred by"},
        {12, "Relative"},
        {13, "Sister"},
        {14, "Spouse"},
    });
    return table;
}

QMap<int, QString> postalTypeLabels()
{
    static const QMap<int, QString> table = makeTable({{0, "Other"}, {1, "Home"}, {2, "Work"}});
    return table;
}

QMap<int, QString> websiteTypeLabels()
{
    static const QMap<int, QString> table = makeTable({
        {0, "Other"},
        {1, "Home page"},
        {2, "Blog"},
        {3, "Profile"},
        {4, "Home"},
        {5, "Work"},
        {6, "FTP"},
    });
    return table;
}

} // namespace pim
