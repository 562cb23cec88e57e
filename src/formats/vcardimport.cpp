#include "formats/vcardimport.h"

#include <QDateTime>
#include <QFile>

#include <stdexcept>

namespace contactimport {

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.errorString().toUtf8().toStdString());
    if (file.size() > kMaxFileBytes)
        throw std::runtime_error("file too large.");
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(file.errorString().toUtf8().toStdString());
    return bytes;
}

} // namespace contactimport

namespace {

using pim::_Contact;

const QString kData1 = QStringLiteral("data1");
const QString kData2 = QStringLiteral("data2");

bool isTransferWord(const QString& word)
{
    return word.compare(QLatin1String("QUOTED-PRINTABLE"), Qt::CaseInsensitive) == 0
        || word.compare(QLatin1String("BASE64"), Qt::CaseInsensitive) == 0
        || word.compare(QLatin1String("8BIT"), Qt::CaseInsensitive) == 0;
}

// The type words of a property in lower case: the TYPE parameter split at
// commas, and the bare parameters that vCard 2.1 writes instead
// ("TEL;HOME;VOICE:"). Other writers use upper case; we read both.
QStringList typeWords(const VCardProperty& p)
{
    QStringList words;
    for (auto it = p.params.constBegin(); it != p.params.constEnd(); ++it) {
        if (it.key().compare(QLatin1String("TYPE"), Qt::CaseInsensitive) == 0)
            words += it.value().toLower().split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (it.value().isEmpty() && !isTransferWord(it.key()))
            words += it.key().toLower();
    }
    return words;
}

// The code of the first type word found in the table, else fallback.
int lookup(const QStringList& words, std::initializer_list<std::pair<const char*, int>> table, int fallback)
{
    for (const QString& w : words)
        for (const auto& [word, code] : table)
            if (w == QLatin1String(word))
                return code;
    return fallback;
}

int phoneType(const QStringList& w)
{
    const auto has = [&w](const char* word) { return w.contains(QLatin1String(word)); };
    if (has("fax"))
        return has("home") ? 5 : has("work") ? 4 : 13;
    if (has("cell"))
        return 2;
    if (has("pager"))
        return 6;
    if (has("car"))
        return 9;
    if (has("isdn"))
        return 11;
    if (has("home"))
        return 1;
    if (has("work"))
        return 3;
    return 2;
}

// "yyyy-MM-dd", optionally followed by "T" and a time; a date alone gives
// midnight, anything else an invalid date-time.
QDateTime parseIsoDateTime(const QString& raw)
{
    const QString s = raw.trimmed();
    if (s.size() < 10 || s.at(4) != QLatin1Char('-') || s.at(7) != QLatin1Char('-'))
        return QDateTime();
    const QDate date = QDate::fromString(s.left(10), Qt::ISODate);
    if (!date.isValid())
        return QDateTime();
    if (s.size() == 10)
        return QDateTime(date, QTime(0, 0));
    if (s.at(10) != QLatin1Char('T'))
        return QDateTime();
    return QDateTime::fromString(s, Qt::ISODate);
}

// The type's first row, created empty when the contact has none yet.
ContactDataRow& firstRow(_Contact& c, int type)
{
    QList<ContactDataRow>& rows = c.entities[type];
    if (rows.isEmpty())
        rows.append(ContactDataRow());
    return rows.first();
}

ContactDataRow& newRow(_Contact& c, int type)
{
    QList<ContactDataRow>& rows = c.entities[type];
    rows.append(ContactDataRow());
    return rows.last();
}

void setComponents(ContactDataRow& row, const QStringList& parts, int first, std::initializer_list<int> columns)
{
    int i = first;
    for (int column : columns) {
        if (i >= parts.size())
            break;
        row.values.insert(QStringLiteral("data%1").arg(column), parts.at(i++));
    }
}

} // namespace

void VCardImport::open(const QString& path)
{
    m_cards = VCardParser::parse(contactimport::readWholeFile(path));
    m_cursor = 0;
}

pim::_Contact VCardImport::next()
{
    return contactFromCard(m_cards.at(m_cursor++));
}

pim::_Contact VCardImport::contactFromCard(const VCardCard& card)
{
    _Contact c;
    for (const VCardProperty& p : card) {
        // Property names are case-insensitive in vCard.
        const QString name = p.name.toUpper();
        if (name == QLatin1String("N")) {
            // family; given; additional; prefix; suffix
            ContactDataRow& row = firstRow(c, pim::ENTITY_NAME);
            setComponents(row, p.splitValue(), 0, {3, 2, 4, 5, 6});
            c.fullName = pim::formatName(row.values);
            row.values.insert(kData1, c.fullName);
        } else if (name == QLatin1String("PHOTO")) {
            firstRow(c, pim::ENTITY_PHOTO).values.insert(QStringLiteral("data15"), p.value);
        } else if (name == QLatin1String("TEL")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_PHONE);
            row.values.insert(kData1, p.decodeValue());
            row.values.insert(kData2, phoneType(typeWords(p)));
        } else if (name == QLatin1String("EMAIL")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_EMAIL);
            row.values.insert(kData1, p.decodeValue());
            row.values.insert(kData2, 1);
        } else if (name == QLatin1String("NICKNAME")) {
            firstRow(c, pim::ENTITY_NICKNAME).values.insert(kData1, p.decodeText());
        } else if (name == QLatin1String("BDAY")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_EVENT);
            row.values.insert(kData1, parseIsoDateTime(p.decodeValue()));
            row.values.insert(kData2, 3);
        } else if (name == QLatin1String("X-EVENT")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_EVENT);
            row.values.insert(kData1, parseIsoDateTime(p.decodeValue()));
            row.values.insert(kData2, typeWords(p).contains(QLatin1String("anniversary")) ? 1 : 0);
        } else if (name == QLatin1String("CATEGORIES")) {
            firstRow(c, pim::ENTITY_GROUP).values.insert(kData2, p.decodeText());
        } else if (name == QLatin1String("X-IM")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_IM);
            row.values.insert(kData2, 1);
            row.values.insert(kData1, p.decodeText());
            const int protocol = lookup(typeWords(p),
                                        {{"aim", 1},
                                         {"msn", 2},
                                         {"yahoo", 3},
                                         {"skype", 4},
                                         {"qq", 5},
                                         {"googletalk", 6},
                                         {"icq", 7},
                                         {"jabber", 8},
                                         {"netmetting", 9},
                                         {"gadugadu", 10},
                                         {"facebook", 11}},
                                        -1);
            if (protocol >= 0)
                row.values.insert(QStringLiteral("data5"), protocol);
        } else if (name == QLatin1String("NOTE")) {
            firstRow(c, pim::ENTITY_NOTE).values.insert(kData1, p.decodeText());
        } else if (name == QLatin1String("ORG")) {
            setComponents(firstRow(c, pim::ENTITY_ORGANIZATION), p.splitValue(), 0, {1, 5});
        } else if (name == QLatin1String("TITLE")) {
            firstRow(c, pim::ENTITY_ORGANIZATION).values.insert(QStringLiteral("data4"), p.decodeText());
        } else if (name == QLatin1String("X-REL")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_RELATION);
            row.values.insert(kData1, p.decodeText());
            row.values.insert(kData2,
                              lookup(typeWords(p),
                                     {{"assistant", 1},
                                      {"brother", 2},
                                      {"child", 3},
                                      {"dompartner", 4},
                                      {"father", 5},
                                      {"friend", 6},
                                      {"manager", 7},
                                      {"mother", 8},
                                      {"parent", 9},
                                      {"partner", 10},
                                      {"ref", 11},
                                      {"relative", 12},
                                      {"sister", 13},
                                      {"spouse", 14}},
                                     0));
        } else if (name == QLatin1String("ADR")) {
            // post-office box; extended; street; city; region; postcode; country
            ContactDataRow& row = newRow(c, pim::ENTITY_POSTAL);
            setComponents(row, p.splitValue(), 2, {4, 7, 8, 9, 10});
            row.values.insert(kData2, lookup(typeWords(p), {{"home", 1}, {"work", 2}}, 0));
            row.values.insert(kData1, pim::formatAddress(row.values));
        } else if (name == QLatin1String("URL")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_WEBSITE);
            row.values.insert(kData1, p.decodeValue());
            row.values.insert(
                kData2,
                lookup(typeWords(p),
                       {{"homepage", 1}, {"blog", 2}, {"profile", 3}, {"home", 4}, {"work", 5}, {"ftp", 6}}, 0));
        }
    }
    return c;
}
