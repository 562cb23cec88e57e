#include "phonelink/protocol/contactcodec.h"

#include "phonelink/protocol/simpleprotocol.h"

#include <QDate>
#include <QDateTime>

namespace simpleprotocol {

namespace {

QMap<int, QString> buildLabelTable()
{
    struct Entry {
        int category;
        int type;
        const char* word;
    };
    // The words are the Phone Agent's; "parnet" is how it spells relation 9.
    static const Entry entries[] = {
        {3, 0, "other"},        {3, 1, "home"},          {3, 2, "mobile"},      {3, 3, "work"},
        {3, 4, "work fax"},     {3, 5, "home fax"},      {3, 6, "pager"},       {3, 8, "callback"},
        {3, 9, "car"},          {3, 10, "company main"}, {3, 11, "isdn"},       {3, 12, "main"},
        {3, 13, "other fax"},   {3, 14, "radio"},        {3, 15, "telex"},      {3, 16, "ttytdd"},
        {3, 17, "work mobile"}, {3, 18, "work pager"},   {3, 19, "assistant"},  {3, 20, "mms"},
        {4, 0, "other"},        {4, 1, "home"},          {4, 2, "work"},        {4, 4, "mobile"},
        {5, 1, "default"},      {5, 2, "other"},         {5, 4, "short"},       {5, 5, "init"},
        {6, 0, "other"},        {6, 1, "anniversary"},   {6, 3, "birthday"},    {8, 0, "other"},
        {8, 1, "home"},         {8, 2, "work"},          {99, 1, "aim"},        {99, 2, "msn"},
        {99, 3, "yahoo"},       {99, 4, "skype"},        {99, 5, "qq"},         {99, 6, "googletalk"},
        {99, 7, "icq"},         {99, 8, "jabber"},       {99, 9, "netmeeting"}, {10, 0, "other"},
        {10, 1, "work"},        {11, 1, "assistant"},    {11, 2, "brother"},    {11, 3, "child"},
        {11, 4, "dom partner"}, {11, 5, "father"},       {11, 6, "friend"},     {11, 7, "manager"},
        {11, 8, "mother"},      {11, 9, "parnet"},       {11, 10, "partner"},   {11, 11, "refby"},
        {11, 12, "relative"},   {11, 13, "sister"},      {11, 14, "spouse"},    {12, 0, "other"},
        {12, 1, "home"},        {12, 2, "work"},         {13, 0, "other"},      {13, 1, "homepage"},
        {13, 2, "blog"},        {13, 3, "profile"},      {13, 4, "home"},       {13, 5, "work"},
        {13, 6, "ftp"},
    };
    QMap<int, QString> table;
    for (const Entry& e : entries)
        table.insert(e.category * 100 + e.type, QString::fromLatin1(e.word));
    return table;
}

QMap<QString, int> buildLabelCodeTable()
{
    QMap<QString, int> reverse;
    const QMap<int, QString>& table = labelTable();
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        reverse.insert(QStringLiteral("%1/%2").arg(it.key() / 100).arg(it.value()), it.key() % 100);
    return reverse;
}

// An integer column that is absent or not a number counts as 0.
int intValue(const QVariantMap& values, const QString& key)
{
    bool ok = false;
    const int v = values.value(key).toString().trimmed().toInt(&ok);
    return ok ? v : 0;
}

QString key(int column)
{
    return QStringLiteral("data%1").arg(column);
}

QString b64(const QVariantMap& values, int column)
{
    return encodeValue(values, key(column));
}

QString eventDate(const QVariantMap& values)
{
    const QString text = values.value(key(1)).toString().trimmed();
    QDate date = QDateTime::fromString(text, Qt::ISODate).date();
    if (!date.isValid())
        date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

// Fields 1 and 2 of every kind with a label: the type word and the custom
// label. A custom label makes the type 0 ("custom").
void readTypeAndLabel(const QStringList& fields, int kind, QVariantMap& values)
{
    const qsizetype n = fields.size();
    if (n > 1)
        values.insert(key(2), labelCode(kind, fields.at(1)));
    if (n > 2) {
        values.insert(key(3), decodeField(fields.at(2)));
        if (!fields.at(2).isEmpty())
            values.insert(key(2), 0);
    }
}

// Reads fields first.. into the columns, each when present.
void readTexts(const QStringList& fields, int first, std::initializer_list<int> columns, QVariantMap& values)
{
    int i = first;
    for (int column : columns) {
        if (fields.size() > i)
            values.insert(key(column), decodeField(fields.at(i)));
        ++i;
    }
}

} // namespace

const QMap<int, QString>& labelTable()
{
    // Built once; a function-local static is safe when two jobs start at once.
    static const QMap<int, QString> table = buildLabelTable();
    return table;
}

const QMap<QString, int>& labelCodeTable()
{
    static const QMap<QString, int> table = buildLabelCodeTable();
    return table;
}

QString labelFor(int category, int type)
{
    return labelTable().value(category * 100 + type);
}

int labelCode(int category, const QString& word)
{
    if (word.isEmpty())
        return 0;
    return labelCodeTable().value(QStringLiteral("%1/%2").arg(category).arg(word), 0);
}

QString formatId(int kind, qint64 second, qint64 third, const ContactDataRow& row)
{
    if (!row.srcId.isEmpty())
        return row.srcId;
    return QStringLiteral("%1/%2/%3/%4").arg(kind).arg(second).arg(third).arg(-row.id);
}

QString encodeDataRow(int kind, qint64 second, qint64 third, const ContactDataRow& row)
{
    const QVariantMap& v = row.values;
    QStringList out {formatId(kind, second, third, row)};
    switch (kind) {
    case 1:
        out << b64(v, 5) << b64(v, 2) << b64(v, 4) << b64(v, 3) << b64(v, 6);
        break;
    case 2:
        out << QString::fromLatin1(v.value(key(15)).toByteArray().toBase64());
        break;
    case 3:
    case 4:
    case 5:
    case 11:
    case 13:
        out << labelFor(kind, intValue(v, key(2))) << b64(v, 3) << b64(v, 1);
        break;
    case 6:
        out << labelFor(6, intValue(v, key(2))) << b64(v, 3) << eventDate(v);
        break;
    case 7:
        out << b64(v, 2);
        break;
    case 8:
        out << labelFor(8, intValue(v, key(2))) << b64(v, 3) << labelFor(kImProtocolCategory, intValue(v, key(5)))
            << b64(v, 6) << b64(v, 1);
        break;
    case 9:
        out << b64(v, 1);
        break;
    case 10:
        out << labelFor(10, intValue(v, key(2))) << b64(v, 3) << b64(v, 1) << b64(v, 5) << b64(v, 4);
        break;
    case 12:
        // The phone's address has no post-office box or extended address:
        // they travel in the street, as the phone's own vCard import keeps them.
        out << labelFor(12, intValue(v, key(2))) << b64(v, 3) << b64(v, 10) << b64(v, 8) << b64(v, 7)
            << encodeField(pim::streetLines(v)) << b64(v, 9);
        break;
    default:
        break;
    }
    return out.join(QLatin1Char(','));
}

void decodeContact(const QStringList& fields, int kind, QVariantMap& values)
{
    const qsizetype n = fields.size();
    switch (kind) {
    case 1:
        readTexts(fields, 1, {5, 2, 4, 3, 6}, values);
        values.insert(key(1), pim::formatName(values));
        break;
    case 2:
        if (n > 1)
            values.insert(key(15), QByteArray::fromBase64(fields.at(1).toLatin1()));
        break;
    case 3:
    case 4:
    case 11:
    case 13:
        readTypeAndLabel(fields, kind, values);
        readTexts(fields, 3, {1}, values);
        break;
    case 5:
        // The phone's nickname type and label are not kept.
        values.insert(key(2), 1);
        readTexts(fields, 3, {1}, values);
        break;
    case 6:
        readTypeAndLabel(fields, kind, values);
        if (n > 3) {
            const QDate date = QDate::fromString(fields.at(3), QStringLiteral("yyyy-MM-dd"));
            values.insert(key(1),
                          date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("T00:00:00")
                                         : QString());
        }
        break;
    case 7:
        readTexts(fields, 1, {2}, values);
        break;
    case 8:
        readTypeAndLabel(fields, kind, values);
        if (n > 3)
            values.insert(key(5), labelCode(kImProtocolCategory, fields.at(3)));
        if (n > 4) {
            values.insert(key(6), decodeField(fields.at(4)));
            if (!fields.at(4).isEmpty())
                values.insert(key(5), 0);
        }
        readTexts(fields, 5, {1}, values);
        break;
    case 9:
        readTexts(fields, 1, {1}, values);
        break;
    case 10:
        readTypeAndLabel(fields, kind, values);
        readTexts(fields, 3, {1, 5, 4}, values);
        break;
    case 12:
        readTypeAndLabel(fields, kind, values);
        readTexts(fields, 3, {10, 8, 7, 4, 9}, values);
        values.insert(key(1), pim::formatAddress(values));
        break;
    default:
        break;
    }
}

} // namespace simpleprotocol
