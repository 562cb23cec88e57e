#include "formats/vcardimport.h"

#include "formats/vcarddate.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
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

void nameUnnamed(pim::_Contact& contact)
{
    for (int type :
         {pim::ENTITY_ORGANIZATION, pim::ENTITY_EMAIL, pim::ENTITY_PHONE, pim::ENTITY_NICKNAME, pim::ENTITY_IM})
        for (const pim::ContactDataRow& row : contact.entities.value(type))
            if (contact.fullName.isEmpty())
                contact.fullName = pim::valueText(row.values, QStringLiteral("data1")).trimmed();
}

} // namespace contactimport

namespace {

using pim::_Contact;

const QString kData1 = QStringLiteral("data1");
const QString kData2 = QStringLiteral("data2");
const QString kData3 = QStringLiteral("data3");
const QString kData4 = QStringLiteral("data4");
const QString kData5 = QStringLiteral("data5");

bool isTransferWord(const QString& word)
{
    return word.compare(QLatin1String("QUOTED-PRINTABLE"), Qt::CaseInsensitive) == 0
        || word.compare(QLatin1String("BASE64"), Qt::CaseInsensitive) == 0
        || word.compare(QLatin1String("8BIT"), Qt::CaseInsensitive) == 0;
}

// The type words of a property in lower case: every TYPE value split at
// commas (repeated TYPE parameters arrive joined), and the bare parameters
// that vCard 2.1 writes instead ("TEL;HOME;VOICE:"). Other writers use upper
// case; we read both.
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

QString paramValue(const VCardProperty& p, QLatin1String name)
{
    for (auto it = p.params.constBegin(); it != p.params.constEnd(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    return QString();
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

int emailType(const QStringList& w)
{
    return lookup(w, {{"home", 1}, {"work", 2}, {"cell", 4}, {"mobile", 4}, {"other", 0}}, 1);
}

// A phone number given as a "tel:" URI (vCard 4.0) is kept as the number.
QString phoneNumber(const VCardProperty& p)
{
    QString number = p.decodeText();
    if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        number.remove(0, 4);
    return number;
}

// The event value of a date property. A date whose year the writer marks
// as left out (X-APPLE-OMIT-YEAR names the placeholder year) keeps its month
// and day only.
QVariant eventDate(const VCardProperty& p)
{
    // A value said to be text is escaped as text is.
    const bool text = paramValue(p, QLatin1String("VALUE")).compare(QLatin1String("text"), Qt::CaseInsensitive) == 0;
    QVariant date = VCardDate::fromText(text ? p.decodeText() : p.decodeValue());
    const QString omitted = paramValue(p, QLatin1String("X-APPLE-OMIT-YEAR"));
    if (!omitted.isEmpty() && date.typeId() == QMetaType::QDateTime) {
        const QDate d = date.toDateTime().date();
        if (QString::number(d.year()) == omitted)
            date = VCardDate::yearless(d.month(), d.day());
    }
    return date;
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

// The first organisation row that none of the columns has been set in yet
// (a new row when every row has one of them).
ContactDataRow& orgRow(_Contact& c, std::initializer_list<QString> columns)
{
    QList<ContactDataRow>& rows = c.entities[pim::ENTITY_ORGANIZATION];
    for (ContactDataRow& row : rows)
        if (std::none_of(columns.begin(), columns.end(), [&row](const QString& k) { return row.values.contains(k); }))
            return row;
    rows.append(ContactDataRow());
    return rows.last();
}

// "data0" .. "data15", made once: a card sets many columns.
const QString& dataKey(int column)
{
    static const QList<QString> keys = [] {
        QList<QString> k;
        for (int n = 0; n <= 15; ++n)
            k.append(QStringLiteral("data%1").arg(n));
        return k;
    }();
    return keys.at(column);
}

void setComponents(ContactDataRow& row, const QStringList& parts, int first, std::initializer_list<int> columns)
{
    int i = first;
    for (int column : columns) {
        if (i >= parts.size())
            break;
        row.values.insert(dataKey(column), parts.at(i++));
    }
}

QMap<int, QString> labelTable(int type)
{
    switch (type) {
    case pim::ENTITY_PHONE:
        return pim::phoneTypeLabels();
    case pim::ENTITY_EMAIL:
        return pim::emailTypeLabels();
    case pim::ENTITY_EVENT:
        return pim::eventTypeLabels();
    case pim::ENTITY_IM:
        return pim::imTypeLabels();
    case pim::ENTITY_RELATION:
        return pim::relationTypeLabels();
    case pim::ENTITY_POSTAL:
        return pim::postalTypeLabels();
    case pim::ENTITY_WEBSITE:
        return pim::websiteTypeLabels();
    default:
        return {};
    }
}

// The label that an X-ABLabel of the row's group gives it. The address
// books' own words come as "_$!<HomePage>!$_" and name a type of the
// table; any other text is a custom label (type 0 with the text in data3).
void applyLabel(ContactDataRow& row, int type, const QString& label)
{
    QString word = label.trimmed();
    if (word.startsWith(QLatin1String("_$!<")) && word.endsWith(QLatin1String(">!$_"))) {
        word = word.mid(4, word.size() - 8);
        QString bare = word;
        bare.remove(QLatin1Char(' '));
        const QMap<int, QString> table = labelTable(type);
        for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
            if (QString(it.value()).remove(QLatin1Char(' ')).compare(bare, Qt::CaseInsensitive) == 0) {
                row.values.insert(kData2, it.key());
                row.values.remove(kData3);
                return;
            }
        }
    }
    if (word.isEmpty())
        return;
    row.values.insert(kData2, 0);
    row.values.insert(kData3, word);
}

// A chat service's code from a word naming it: an X-SERVICE-TYPE, a TYPE of
// X-IM or the scheme of an IMPP address; -1 for a service we have no code for.
int imProtocol(QString word)
{
    word = word.toLower();
    word.remove(QLatin1Char(' '));
    word.remove(QLatin1Char('-'));
    static const std::pair<const char*, int> kWords[] = {
        {"aim", 1},   {"msn", 2},        {"msnim", 2},      {"windowslive", 2}, {"yahoo", 3}, {"ymsgr", 3},
        {"skype", 4}, {"qq", 5},         {"googletalk", 6}, {"gtalk", 6},       {"icq", 7},   {"jabber", 8},
        {"xmpp", 8},  {"netmetting", 9}, {"netmeeting", 9}, {"gadugadu", 10},   {"gg", 10},   {"facebook", 11},
    };
    for (const auto& [w, code] : kWords)
        if (word == QLatin1String(w))
            return code;
    return -1;
}

// The chat properties other writers use, with the service each one names.
int imPropertyProtocol(const QString& name)
{
    static const std::pair<const char*, int> kProperties[] = {
        {"X-AIM", 1},         {"X-MSN", 2},   {"X-YAHOO", 3}, {"X-SKYPE", 4},  {"X-SKYPE-USERNAME", 4}, {"X-QQ", 5},
        {"X-GOOGLE-TALK", 6}, {"X-GTALK", 6}, {"X-ICQ", 7},   {"X-JABBER", 8}, {"X-GADUGADU", 10},
    };
    for (const auto& [n, code] : kProperties)
        if (name == QLatin1String(n))
            return code;
    return -1;
}

// A parameter value as text. Files of vCard 3.0 and 4.0 are UTF-8, so
// are their parameters; older ones in another code page are read as they
// come (the parser holds a parameter's bytes as Latin-1 characters). The
// escapes of RFC 6868 are undone.
QString paramText(const QString& latin1)
{
    const QByteArray bytes = latin1.toLatin1();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return vcardUnescapeParam(utf8.hasError() ? latin1 : text);
}

// The handle and the service of an IMPP address ("skype:ann.s",
// "aim:goim?screenname=ann"); the service from X-SERVICE-TYPE when given.
std::pair<QString, QString> imppAddress(const VCardProperty& p)
{
    QString handle = p.decodeText().trimmed();
    QString service = paramText(paramValue(p, QLatin1String("X-SERVICE-TYPE")));
    const qsizetype colon = handle.indexOf(QLatin1Char(':'));
    // An address of another kind ("https://...") is kept whole, its scheme
    // and "//" with it: that scheme names no chat service.
    if (colon > 0 && handle.mid(colon + 1).startsWith(QLatin1String("//"))
        && !isChatUriScheme(handle.left(colon).toLower()))
        return {handle, service};
    if (colon > 0) {
        const QString scheme = handle.left(colon);
        if (service.isEmpty())
            service = scheme;
        handle.remove(0, colon + 1);
        if (handle.startsWith(QLatin1String("//")))
            handle.remove(0, 2);
        // The older messengers name the handle in a query ("goim?screenname=
        // ann", "chat?contact=ann", "sendIM?ann"); in other addresses of a
        // known service a query follows the handle ("skype:ann?call"). An
        // address of a service we have no code for is kept whole.
        const qsizetype query = handle.indexOf(QLatin1Char('?'));
        const int schemeCode = imProtocol(scheme);
        if (query >= 0 && schemeCode >= 1 && schemeCode <= 3) {
            const QString rest = handle.mid(query + 1);
            const qsizetype eq = rest.indexOf(QLatin1Char('='));
            handle = eq >= 0 ? rest.mid(eq + 1).section(QLatin1Char('&'), 0, 0) : rest;
        } else if (query >= 0 && schemeCode >= 0) {
            handle.truncate(query);
        }
    }
    return {handle, service};
}

void addImRow(_Contact& c, const VCardProperty& p, const QString& handle, int protocol, const QString& service)
{
    ContactDataRow& row = newRow(c, pim::ENTITY_IM);
    row.values.insert(kData1, handle);
    row.values.insert(kData2, lookup(typeWords(p), {{"home", 1}, {"work", 2}, {"other", 0}}, 1));
    if (protocol >= 0) {
        row.values.insert(QStringLiteral("data5"), protocol);
    } else if (!service.isEmpty()) {
        row.values.insert(QStringLiteral("data5"), 0);
        row.values.insert(QStringLiteral("data6"), service);
    }
}

bool isBase64Encoded(const VCardProperty& p)
{
    for (auto it = p.params.constBegin(); it != p.params.constEnd(); ++it) {
        const QString word = it.key().compare(QLatin1String("ENCODING"), Qt::CaseInsensitive) == 0 ? it.value()
            : it.value().isEmpty()                                                                 ? it.key()
                                                                                                   : QString();
        if (word.compare(QLatin1String("B"), Qt::CaseInsensitive) == 0
            || word.compare(QLatin1String("BASE64"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The picture a PHOTO holds. A "data:" URI is decoded; any other link is not
// fetched and gives no picture.
QByteArray pictureBytes(const VCardProperty& p)
{
    if (isBase64Encoded(p))
        return p.value;
    const QByteArray text = p.value.trimmed();
    if (text.size() >= 5 && qstrnicmp(text.constData(), "data:", 5) == 0) {
        const qsizetype comma = text.indexOf(',');
        if (comma < 0)
            return QByteArray();
        const QByteArray meta = text.mid(5, comma - 5);
        const QByteArray data = text.mid(comma + 1);
        if (meta.size() >= 7 && qstricmp(meta.right(7).constData(), ";base64") == 0)
            return QByteArray::fromBase64(QByteArray::fromPercentEncoding(data));
        return QByteArray::fromPercentEncoding(data);
    }
    const QString value = paramValue(p, QLatin1String("VALUE"));
    if (value.compare(QLatin1String("uri"), Qt::CaseInsensitive) == 0
        || value.compare(QLatin1String("url"), Qt::CaseInsensitive) == 0)
        return QByteArray();
    // A scheme ("https:", "file:", "cid:") makes it a link too.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    if (scheme.match(QString::fromLatin1(text.left(64))).hasMatch())
        return QByteArray();
    return p.value;
}

// A contact without N keeps the name its FN gives: the part after the last
// blank is the family name, the rest the given name.
void nameFromFormattedName(_Contact& c, const QString& formatted)
{
    const QString fn = formatted.simplified();
    if (fn.isEmpty())
        return;
    ContactDataRow& row = firstRow(c, pim::ENTITY_NAME);
    const qsizetype blank = fn.lastIndexOf(QLatin1Char(' '));
    row.values.insert(QStringLiteral("data2"), blank < 0 ? fn : fn.left(blank));
    if (blank >= 0)
        row.values.insert(QStringLiteral("data3"), fn.mid(blank + 1));
    c.fullName = pim::formatName(row.values);
    row.values.insert(kData1, c.fullName);
}

} // namespace

void VCardImport::open(const QString& path)
{
    m_cards = VCardParser::parse(contactimport::readWholeFile(path), &m_skippedLines);
    m_cursor = 0;
}

pim::_Contact VCardImport::next()
{
    return contactFromCard(m_cards.at(m_cursor++));
}

pim::_Contact VCardImport::contactFromCard(const VCardCard& card)
{
    _Contact c;
    const VCardProperty* formattedName = nullptr;
    // X-ABLabel by group: the custom label of the grouped property.
    QHash<QString, QString> groupLabels;
    for (const VCardProperty& p : card)
        if (p.name.endsWith(QLatin1String(".X-ABLABEL"), Qt::CaseInsensitive))
            groupLabels.insert(p.group().toLower(), p.decodeText());
    const auto labelled = [&groupLabels](const VCardProperty& p, ContactDataRow& row, int type) {
        if (groupLabels.isEmpty())
            return;
        const auto it = groupLabels.constFind(p.group().toLower());
        if (it != groupLabels.constEnd())
            applyLabel(row, type, it.value());
    };

    for (const VCardProperty& p : card) {
        // Property names are case-insensitive in vCard; a group ("item1.")
        // only binds the property to others.
        const QString name = p.plainName().toUpper();
        if (name == QLatin1String("N")) {
            // family; given; additional; prefix; suffix
            ContactDataRow& row = firstRow(c, pim::ENTITY_NAME);
            setComponents(row, p.splitValue(), 0, {3, 2, 4, 5, 6});
            c.fullName = pim::formatName(row.values);
            row.values.insert(kData1, c.fullName);
        } else if (name == QLatin1String("FN")) {
            formattedName = &p;
        } else if (name == QLatin1String("PHOTO")) {
            const QByteArray picture = pictureBytes(p);
            if (!picture.isEmpty())
                firstRow(c, pim::ENTITY_PHOTO).values.insert(QStringLiteral("data15"), picture);
        } else if (name == QLatin1String("TEL")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_PHONE);
            row.values.insert(kData1, phoneNumber(p));
            row.values.insert(kData2, phoneType(typeWords(p)));
            labelled(p, row, pim::ENTITY_PHONE);
        } else if (name == QLatin1String("EMAIL")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_EMAIL);
            row.values.insert(kData1, p.decodeText());
            row.values.insert(kData2, emailType(typeWords(p)));
            labelled(p, row, pim::ENTITY_EMAIL);
        } else if (name == QLatin1String("NICKNAME")) {
            // Every nickname has its row: a second one replaces nothing.
            newRow(c, pim::ENTITY_NICKNAME).values.insert(kData1, p.decodeText());
        } else if (name == QLatin1String("BDAY") || name == QLatin1String("ANNIVERSARY")
                   || name == QLatin1String("X-EVENT")) {
            const QVariant date = eventDate(p);
            if (!date.isValid())
                continue; // an empty date is no event
            ContactDataRow& row = newRow(c, pim::ENTITY_EVENT);
            row.values.insert(kData1, date);
            // Our export writes a birthday or an anniversary kept as text as
            // an X-EVENT of that type.
            const QStringList types = name == QLatin1String("X-EVENT") ? typeWords(p) : QStringList();
            const bool birthday = name == QLatin1String("BDAY") || types.contains(QLatin1String("birthday"));
            const bool anniversary
                = name == QLatin1String("ANNIVERSARY") || types.contains(QLatin1String("anniversary"));
            row.values.insert(kData2, birthday ? 3 : anniversary ? 1 : 0);
            labelled(p, row, pim::ENTITY_EVENT);
        } else if (name == QLatin1String("CATEGORIES")) {
            firstRow(c, pim::ENTITY_GROUP).values.insert(kData2, p.decodeText());
        } else if (name == QLatin1String("X-IM")) {
            // Written by our export: the handle, the service as TYPE.
            int protocol = -1;
            for (const QString& w : typeWords(p))
                if (protocol < 0)
                    protocol = imProtocol(w);
            ContactDataRow& row = newRow(c, pim::ENTITY_IM);
            row.values.insert(kData2, 1);
            row.values.insert(kData1, p.decodeText());
            if (protocol >= 0)
                row.values.insert(QStringLiteral("data5"), protocol);
            labelled(p, row, pim::ENTITY_IM);
        } else if (name == QLatin1String("IMPP")) {
            const auto [handle, service] = imppAddress(p);
            addImRow(c, p, handle, imProtocol(service), service);
            labelled(p, c.entities[pim::ENTITY_IM].last(), pim::ENTITY_IM);
        } else if (name == QLatin1String("NOTE")) {
            // Further notes are added on a new line, never in place of one.
            const QString text = p.decodeText();
            ContactDataRow& row = firstRow(c, pim::ENTITY_NOTE);
            const QString held = pim::valueText(row.values, kData1);
            row.values.insert(kData1, held.isEmpty() ? text : text.isEmpty() ? held : held + QLatin1Char('\n') + text);
        } else if (name == QLatin1String("ORG")) {
            // ORG and TITLE pair up in the order they come; a further one
            // starts a further organisation.
            setComponents(orgRow(c, {kData1, kData5}), p.splitValue(), 0, {1, 5});
        } else if (name == QLatin1String("TITLE")) {
            orgRow(c, {kData4}).values.insert(kData4, p.decodeText());
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
            labelled(p, row, pim::ENTITY_RELATION);
        } else if (name == QLatin1String("ADR")) {
            // post-office box; extended; street; city; region; postcode; country
            ContactDataRow& row = newRow(c, pim::ENTITY_POSTAL);
            const QStringList parts = p.splitValue();
            setComponents(row, parts, 2, {4, 7, 8, 9, 10});
            for (int i : {0, 1})
                if (i < parts.size() && !parts.at(i).isEmpty())
                    row.values.insert(dataKey(5 + i), parts.at(i));
            row.values.insert(kData2, lookup(typeWords(p), {{"home", 1}, {"work", 2}}, 0));
            labelled(p, row, pim::ENTITY_POSTAL);
            // The text shows the post-office box and the extended address too
            // (some phones put the whole address there).
            row.values.insert(kData1, pim::formatAddress(row.values));
        } else if (name == QLatin1String("URL")) {
            ContactDataRow& row = newRow(c, pim::ENTITY_WEBSITE);
            row.values.insert(kData1, p.decodeText());
            row.values.insert(
                kData2,
                lookup(typeWords(p),
                       {{"homepage", 1}, {"blog", 2}, {"profile", 3}, {"home", 4}, {"work", 5}, {"ftp", 6}}, 0));
            labelled(p, row, pim::ENTITY_WEBSITE);
        } else if (name == QLatin1String("X-MS-IMADDRESS")) {
            // Outlook's chat address names no service unless it is written
            // as an address with one ("sip:ann@example.com").
            const auto [handle, service] = imppAddress(p);
            addImRow(c, p, handle, imProtocol(service), service);
            labelled(p, c.entities[pim::ENTITY_IM].last(), pim::ENTITY_IM);
        } else if (const int protocol = imPropertyProtocol(name); protocol >= 0) {
            addImRow(c, p, p.decodeText().trimmed(), protocol, QString());
            labelled(p, c.entities[pim::ENTITY_IM].last(), pim::ENTITY_IM);
        }
    }
    if (c.fullName.isEmpty() && formattedName)
        nameFromFormattedName(c, formattedName->decodeText());
    contactimport::nameUnnamed(c);
    return c;
}
