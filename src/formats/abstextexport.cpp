#include "formats/abstextexport.h"

#include "formats/vcarddate.h"
#include "shell/core/fileutils.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <tuple>

namespace {

QString col(const ContactDataRow& row, int n)
{
    return pim::valueText(row.values, QStringLiteral("data%1").arg(n));
}

int code(const ContactDataRow& row, int n)
{
    return col(row, n).trimmed().toInt();
}

// The word of a row's kind; a code without a word is written as its number
// ("Tel:7"), which the importer reads back as that code.
QString label(const QMap<int, QString>& table, int code)
{
    const auto it = table.constFind(code);
    return it != table.constEnd() ? it.value() : QString::number(code);
}

} // namespace

AbsTextExport::AbsTextExport(const QString& fileName, const QList<pim::_Contact>* contacts)
    : m_file(fileName)
    , m_contacts(contacts)
{
}

AbsTextExport::~AbsTextExport() = default;

QString AbsTextExport::columnBase(const QString& key, int* number)
{
    // "<key> <n>" or, for the parts of an address, "Addr:<label> <n>:<part>".
    static const QRegularExpression numbered(QStringLiteral("^(.*\\S) ([1-9][0-9]{0,5})(:[A-Za-z]+)?$"));
    const QRegularExpressionMatch m = numbered.match(key);
    if (!m.hasMatch()) {
        *number = 1;
        return key;
    }
    *number = m.captured(2).toInt();
    return m.captured(1) + m.captured(3);
}

int AbsTextExport::columnRank(const QString& numberedKey)
{
    int number = 1;
    const QString key = columnBase(numberedKey, &number);
    static const std::pair<const char*, int> exact[]
        = {{"Prefix", 10},   {"First Name", 20}, {"Middle Name", 30}, {"Last Name", 40},  {"Suffix", 50},
           {"Nickname", 51}, {"Category", 60},   {"Company", 70},     {"Department", 80}, {"Job Title", 90}};
    for (const auto& [name, rank] : exact)
        if (key == QLatin1String(name))
            return rank;
    if (key.startsWith(QLatin1String("Tel:")))
        return 100;
    if (key.startsWith(QLatin1String("Email:")))
        return 200;
    if (key.startsWith(QLatin1String("Date:")))
        return 300;
    if (key.startsWith(QLatin1String("Addr:"))) {
        static const std::pair<const char*, int> parts[] = {{":Country", 401}, {":State", 402},    {":City", 403},
                                                            {":Street", 404},  {":Postcode", 405}, {":POBox", 406}};
        for (const auto& [suffix, rank] : parts)
            if (key.endsWith(QLatin1String(suffix)))
                return rank;
        return 1000;
    }
    if (key.startsWith(QLatin1String("IM:")))
        return 500;
    if (key.startsWith(QLatin1String("Rel:")))
        return 600;
    if (key.startsWith(QLatin1String("Url:")))
        return 700;
    if (key == QLatin1String("Notes"))
        return 800;
    return 1000;
}

QList<QPair<QString, QString>> AbsTextExport::cells(const pim::_Contact& contact)
{
    QList<QPair<QString, QString>> out;
    // Rows met so far per kind and label: the n-th row's keys carry " n".
    QHash<QString, int> rowsOf;
    const auto suffix = [&rowsOf](const QString& kind) {
        const int n = ++rowsOf[kind];
        return n > 1 ? QStringLiteral(" %1").arg(n) : QString();
    };
    const auto add = [&out](const QString& key, const QString& value) { out.append({key, value}); };
    const auto addIf = [&add](const QString& key, const QString& value) {
        if (!value.isEmpty())
            add(key, value);
    };
    const auto addOne = [&add, &suffix](const QString& key, const QString& value) { add(key + suffix(key), value); };
    for (auto it = contact.entities.constBegin(); it != contact.entities.constEnd(); ++it) {
        for (const ContactDataRow& row : it.value()) {
            switch (it.key()) {
            case pim::ENTITY_NAME: {
                const QString n = suffix(QStringLiteral("Name"));
                addIf(QStringLiteral("Prefix") + n, col(row, 5));
                addIf(QStringLiteral("First Name") + n, col(row, 2));
                addIf(QStringLiteral("Middle Name") + n, col(row, 4));
                addIf(QStringLiteral("Last Name") + n, col(row, 3));
                addIf(QStringLiteral("Suffix") + n, col(row, 6));
                break;
            }
            case pim::ENTITY_PHONE:
                addOne(QStringLiteral("Tel:") + label(pim::phoneTypeLabels(), code(row, 2)), col(row, 1));
                break;
            case pim::ENTITY_EMAIL:
                addOne(QStringLiteral("Email:") + label(pim::emailTypeLabels(), code(row, 2)), col(row, 1));
                break;
            case pim::ENTITY_NICKNAME:
                addOne(QStringLiteral("Nickname"), col(row, 1));
                break;
            case pim::ENTITY_EVENT:
                // A date as a date, with its time only when it has one.
                addOne(QStringLiteral("Date:") + label(pim::eventTypeLabels(), code(row, 2)),
                       VCardDate::toText(row.values.value(QStringLiteral("data1"))));
                break;
            case pim::ENTITY_GROUP:
                addOne(QStringLiteral("Category"), col(row, 2));
                break;
            case pim::ENTITY_IM: {
                // A service without a code of its own has its name as the
                // label ("IM:Signal"); a name that would read as a numbered
                // column ("IM:Line 2") carries its number even when first.
                const QString service = col(row, 6).trimmed();
                const int protocol = code(row, 5);
                if (service.isEmpty() || (protocol > 0 && pim::imProtocolLabels().contains(protocol))) {
                    addOne(QStringLiteral("IM:") + label(pim::imProtocolLabels(), protocol), col(row, 1));
                    break;
                }
                const QString key = QStringLiteral("IM:") + service;
                int number = 1;
                const QString n = suffix(key);
                add(key + (n.isEmpty() && columnBase(key, &number) != key ? QStringLiteral(" 1") : n), col(row, 1));
                break;
            }
            case pim::ENTITY_NOTE:
                addOne(QStringLiteral("Notes"), col(row, 1));
                break;
            case pim::ENTITY_ORGANIZATION: {
                const QString n = suffix(QStringLiteral("Company"));
                addIf(QStringLiteral("Company") + n, col(row, 1));
                addIf(QStringLiteral("Department") + n, col(row, 5));
                addIf(QStringLiteral("Job Title") + n, col(row, 4));
                break;
            }
            case pim::ENTITY_RELATION:
                addOne(QStringLiteral("Rel:") + label(pim::relationTypeLabels(), code(row, 2)), col(row, 1));
                break;
            case pim::ENTITY_POSTAL: {
                QString prefix = QStringLiteral("Addr:") + label(pim::postalTypeLabels(), code(row, 2));
                prefix += suffix(prefix);
                addIf(prefix + QStringLiteral(":Country"), col(row, 10));
                addIf(prefix + QStringLiteral(":State"), col(row, 8));
                addIf(prefix + QStringLiteral(":City"), col(row, 7));
                // The extended address goes with the street, as on a phone.
                addIf(prefix + QStringLiteral(":Street"), pim::streetWithExtended(row.values));
                addIf(prefix + QStringLiteral(":Postcode"), col(row, 9));
                addIf(prefix + QStringLiteral(":POBox"), col(row, 5));
                break;
            }
            case pim::ENTITY_WEBSITE:
                addOne(QStringLiteral("Url:") + label(pim::websiteTypeLabels(), code(row, 2)), col(row, 1));
                break;
            default:
                break; // photos and unknown kinds have no column
            }
        }
    }
    return out;
}

void AbsTextExport::begin()
{
    if (!m_file.open())
        failExport("create file error.", m_file.errorString());
    QSet<QString> keySet;
    if (m_contacts)
        for (const pim::_Contact& c : *m_contacts)
            for (const auto& cell : cells(c))
                keySet.insert(cell.first);
    struct Column {
        int rank;
        QString base;
        int number;
        QString key;
    };
    QList<Column> columns;
    columns.reserve(keySet.size());
    for (const QString& key : std::as_const(keySet)) {
        int number = 1;
        const QString base = columnBase(key, &number);
        columns.append({columnRank(key), base, number, key});
    }
    // A numbered column follows the first one of its kind and label.
    std::sort(columns.begin(), columns.end(), [](const Column& a, const Column& b) {
        return std::tie(a.rank, a.base, a.number, a.key) < std::tie(b.rank, b.base, b.number, b.key);
    });
    QStringList keys;
    keys.reserve(columns.size());
    for (const Column& c : std::as_const(columns))
        keys.append(c.key);
    m_columnIndex.clear();
    for (int i = 0; i < keys.size(); ++i)
        m_columnIndex.insert(keys.at(i), i);
    writeBytes(writeHeader(keys));
}

void AbsTextExport::write(const pim::_Contact& contact)
{
    QList<QString> values(m_columnIndex.size());
    for (const auto& [key, value] : cells(contact)) {
        const auto it = m_columnIndex.constFind(key);
        if (it != m_columnIndex.constEnd())
            values[it.value()] = value;
    }
    writeBytes(writeRow(values.constData(), int(values.size())));
}

void AbsTextExport::end()
{
    if (m_file.isOpen() && !m_file.commit())
        failExport("write file error.", m_file.errorString());
}

void AbsTextExport::writeBytes(const QByteArray& bytes)
{
    if (!m_file.write(bytes))
        failExport("write file error.", m_file.errorString());
}

CSVExport::CSVExport(const QString& fileName, const QList<pim::_Contact>* contacts)
    : AbsTextExport(fileName, contacts)
{
}

QByteArray CSVExport::writeHeader(const QStringList& keys)
{
    // A key that holds a name of the user's (a chat service) is quoted when
    // it has to be; the others never need it.
    QStringList fields;
    fields.reserve(keys.size());
    for (const QString& key : keys)
        fields.append(csvQuote(key));
    return (fields.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
}

QByteArray CSVExport::writeRow(const QString* values, int count)
{
    QString line;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            line += QLatin1Char(',');
        line += csvQuote(values[i]);
    }
    line += QLatin1Char('\n');
    return line.toUtf8();
}

TxtExport::TxtExport(const QString& fileName, const QList<pim::_Contact>* contacts)
    : AbsTextExport(fileName, contacts)
{
}

int TxtExport::columnWidth(const QString& numberedKey)
{
    int number = 1;
    const QString key = columnBase(numberedKey, &number); // "Notes 2" is as wide as "Notes"
    if (key.startsWith(QLatin1String("Date:")))
        return 20;
    if (key.startsWith(QLatin1String("Addr:")) && key.endsWith(QLatin1String(":Street")))
        return 50;
    if (key.startsWith(QLatin1String("Url:")))
        return 60;
    if (key == QLatin1String("Notes"))
        return 100;
    return 25;
}

QByteArray TxtExport::writeHeader(const QStringList& keys)
{
    m_widths.clear();
    QString line;
    for (const QString& key : keys) {
        const int width = columnWidth(key);
        m_widths.append(width);
        line += key.leftJustified(width); // pads, never cuts
    }
    line += QLatin1Char('\n');
    return line.toUtf8();
}

QByteArray TxtExport::writeRow(const QString* values, int count)
{
    QString line;
    for (int i = 0; i < count; ++i) {
        QString value = values[i];
        value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        line += value.leftJustified(m_widths.value(i, 25));
    }
    line += QLatin1Char('\n');
    return line.toUtf8();
}
