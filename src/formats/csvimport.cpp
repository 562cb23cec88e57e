#include "formats/csvimport.h"

#include "formats/abstextexport.h"
#include "formats/vcarddate.h"
#include "shell/core/fileutils.h"

#include <QBuffer>
#include <QDate>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTextCodec>

namespace {

using Table = QHash<QString, CSVColumnDef>;

struct Tables {
    Table columns;
    // The headers of our own export, which may come numbered.
    QSet<QString> own;
};

QString column(int n)
{
    return QStringLiteral("data%1").arg(n);
}

void add(Table& t, const QString& header, int type, int subType, const QString& labelColumn, int valueColumn,
         int instance = 1)
{
    t.insert(header, CSVColumnDef {type, subType, labelColumn, column(valueColumn), instance, QString()});
}

// Every label word of a table after a prefix: "Tel:Mobile" and the like.
void addLabelled(Table& t, const QString& prefix, const QMap<int, QString>& labels, int type,
                 const QString& labelColumn, int valueColumn, const QString& suffix = QString())
{
    for (auto it = labels.constBegin(); it != labels.constEnd(); ++it)
        add(t, prefix + it.value() + suffix, type, it.key(), labelColumn, valueColumn);
}

Tables buildTables()
{
    Tables tables;
    Table& t = tables.columns;
    const QString d2 = QStringLiteral("data2");
    const QString none;

    // The program's own headers.
    add(t, QStringLiteral("Prefix"), 1, 0, none, 5);
    add(t, QStringLiteral("First Name"), 1, 0, none, 2);
    add(t, QStringLiteral("Middle Name"), 1, 0, none, 4);
    add(t, QStringLiteral("Last Name"), 1, 0, none, 3);
    add(t, QStringLiteral("Suffix"), 1, 0, none, 6);
    addLabelled(t, QStringLiteral("Tel:"), pim::phoneTypeLabels(), 3, d2, 1);
    addLabelled(t, QStringLiteral("Email:"), pim::emailTypeLabels(), 4, d2, 1);
    add(t, QStringLiteral("Nickname"), 5, 1, none, 1);
    addLabelled(t, QStringLiteral("Date:"), pim::eventTypeLabels(), 6, d2, 1);
    add(t, QStringLiteral("Category"), 7, 0, none, 2);
    addLabelled(t, QStringLiteral("IM:"), pim::imProtocolLabels(), 8, QStringLiteral("data5"), 1);
    add(t, QStringLiteral("Notes"), 9, 0, none, 1);
    // The organisation's kind is not in the file.
    add(t, QStringLiteral("Company"), 10, 0, none, 1);
    add(t, QStringLiteral("Department"), 10, 0, none, 5);
    add(t, QStringLiteral("Job Title"), 10, 0, none, 4);
    addLabelled(t, QStringLiteral("Rel:"), pim::relationTypeLabels(), 11, d2, 1);
    const QMap<int, QString> postal = pim::postalTypeLabels();
    const std::pair<const char*, int> parts[]
        = {{":Country", 10}, {":State", 8}, {":City", 7}, {":Street", 4}, {":Postcode", 9}, {":POBox", 5}};
    for (const auto& [suffix, col] : parts)
        addLabelled(t, QStringLiteral("Addr:"), postal, 12, d2, col, QLatin1String(suffix));
    addLabelled(t, QStringLiteral("Url:"), pim::websiteTypeLabels(), 13, d2, 1);
    for (auto it = t.constBegin(); it != t.constEnd(); ++it)
        tables.own.insert(it.key());

    // Outlook.
    add(t, QStringLiteral("Title"), 1, 0, none, 5);
    add(t, QStringLiteral("Web Page"), 13, 1, d2, 1);
    add(t, QStringLiteral("Birthday"), 6, 3, d2, 1);
    add(t, QStringLiteral("Anniversary"), 6, 1, d2, 1);
    add(t, QStringLiteral("E-mail Address"), 4, 1, d2, 1);
    add(t, QStringLiteral("E-mail 2 Address"), 4, 2, d2, 1);
    add(t, QStringLiteral("E-mail 3 Address"), 4, 0, d2, 1);
    const std::pair<const char*, int> phones[] = {{"Primary Phone", 12},
                                                  {"Home Phone", 1},
                                                  {"Mobile Phone", 2},
                                                  {"Pager", 6},
                                                  {"Company Main Phone", 10},
                                                  {"Business Phone", 3},
                                                  {"Business Fax", 4},
                                                  {"Assistant's Phone", 19},
                                                  {"Other Phone", 0},
                                                  {"Other Fax", 13},
                                                  {"Home Fax", 5},
                                                  {"Callback", 8},
                                                  {"Car Phone", 9},
                                                  {"ISDN", 11},
                                                  {"Radio Phone", 14},
                                                  {"TTY/TDD Phone", 16},
                                                  {"Telex", 15}};
    for (const auto& [header, code] : phones)
        add(t, QLatin1String(header), 3, code, d2, 1);
    // Second numbers are numbers of their own, not a continuation of the first.
    add(t, QStringLiteral("Home Phone 2"), 3, 1, d2, 1, 2);
    add(t, QStringLiteral("Business Phone 2"), 3, 17, d2, 1, 2);
    const std::pair<const char*, int> places[] = {{"Home", 1}, {"Business", 2}, {"Other", 0}};
    for (const auto& [place, code] : places) {
        const QString p = QLatin1String(place);
        add(t, p + QStringLiteral(" Street"), 12, code, d2, 4);
        add(t, p + QStringLiteral(" Street 2"), 12, code, d2, 4);
        add(t, p + QStringLiteral(" Street 3"), 12, code, d2, 4);
        add(t, p + QStringLiteral(" City"), 12, code, d2, 7);
        add(t, p + QStringLiteral(" State"), 12, code, d2, 8);
        add(t, p + QStringLiteral(" Postal Code"), 12, code, d2, 9);
        add(t, p + QStringLiteral(" Country"), 12, code, d2, 10);
        add(t, p + QStringLiteral(" Country/Region"), 12, code, d2, 10);
        add(t, p + QStringLiteral(" Address PO Box"), 12, code, d2, 5);
    }
    add(t, QStringLiteral("Spouse"), 11, 14, d2, 1);
    add(t, QStringLiteral("Children"), 11, 3, d2, 1);
    add(t, QStringLiteral("Manager's Name"), 11, 7, d2, 1);
    add(t, QStringLiteral("Assistant's Name"), 11, 1, d2, 1);
    add(t, QStringLiteral("Referred By"), 11, 11, d2, 1);
    add(t, QStringLiteral("Categories"), 7, 0, none, 2);

    // Google Contacts.
    add(t, QStringLiteral("Given Name"), 1, 0, none, 2);
    add(t, QStringLiteral("Additional Name"), 1, 0, none, 4);
    add(t, QStringLiteral("Family Name"), 1, 0, none, 3);
    add(t, QStringLiteral("Name Prefix"), 1, 0, none, 5);
    add(t, QStringLiteral("Name Suffix"), 1, 0, none, 6);
    add(t, QStringLiteral("E-mail 1 - Value"), 4, 1, d2, 1);
    // Its current layout: one organisation without a number.
    add(t, QStringLiteral("Organization Name"), 10, 0, none, 1);
    add(t, QStringLiteral("Organization Title"), 10, 0, none, 4);
    add(t, QStringLiteral("Organization Department"), 10, 0, none, 5);
    return tables;
}

// The numbered column groups of Google Contacts files: "Phone 2 - Value",
// "Address 1 - City" and the like. Each field names the data column it fills;
// "Type" (older files) and "Label" (newer ones) hold the kind's word.
struct GoogleKind {
    const char* name;
    int type;
    std::initializer_list<std::pair<const char*, int>> fields;
};

const GoogleKind kGoogleKinds[] = {
    {"E-mail", pim::ENTITY_EMAIL, {{"Value", 1}}},
    {"Phone", pim::ENTITY_PHONE, {{"Value", 1}}},
    {"Address",
     pim::ENTITY_POSTAL,
     {{"Formatted", 1},
      {"Street", 4},
      {"PO Box", 5},
      {"Extended Address", 6},
      {"City", 7},
      {"Region", 8},
      {"Postal Code", 9},
      {"Country", 10}}},
    {"Organization",
     pim::ENTITY_ORGANIZATION,
     {{"Name", 1},
      {"Title", 4},
      {"Department", 5},
      {"Job Description", 6},
      {"Symbol", 7},
      {"Yomi Name", 8},
      {"Location", 9}}},
    {"Website", pim::ENTITY_WEBSITE, {{"Value", 1}}},
    {"Event", pim::ENTITY_EVENT, {{"Value", 1}}},
    {"Relation", pim::ENTITY_RELATION, {{"Value", 1}}},
};

// Where a Google column goes: the row type, the group's number and the data
// column (0 for the kind's word). False for any other header.
bool googleColumn(const QString& header, int* type, int* number, int* dataColumn)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(E-mail|Phone|Address|Organization|Website|Event|Relation) "
                       "([1-9][0-9]{0,5}) - (.+)$"));
    const QRegularExpressionMatch m = pattern.match(header);
    if (!m.hasMatch())
        return false;
    const QString field = m.captured(3);
    for (const GoogleKind& kind : kGoogleKinds) {
        if (m.captured(1) != QLatin1String(kind.name))
            continue;
        *type = kind.type;
        *number = m.captured(2).toInt();
        if (field == QLatin1String("Type") || field == QLatin1String("Label")) {
            *dataColumn = 0;
            return true;
        }
        for (const auto& [name, columnNumber] : kind.fields) {
            if (field == QLatin1String(name)) {
                *dataColumn = columnNumber;
                return true;
            }
        }
    }
    return false; // a field we do not keep
}

// A kind's word as a label code: the label table's word (case and blanks
// ignored) or a word of the address books that means one; -1 for a word of
// the user's own.
int labelCode(int type, const QString& word)
{
    QString bare = word.toLower();
    bare.remove(QLatin1Char(' '));
    bare.remove(QLatin1Char('/'));
    QMap<int, QString> table;
    QList<std::pair<const char*, int>> aliases;
    switch (type) {
    case pim::ENTITY_PHONE:
        table = pim::phoneTypeLabels();
        aliases = {{"cell", 2}, {"workmobile", 17}, {"fax", 13}, {"business", 3}, {"businessfax", 4}};
        break;
    case pim::ENTITY_EMAIL:
        table = pim::emailTypeLabels();
        aliases = {{"cell", 4}, {"business", 2}};
        break;
    case pim::ENTITY_POSTAL:
        table = pim::postalTypeLabels();
        aliases = {{"business", 2}};
        break;
    case pim::ENTITY_ORGANIZATION:
        table = pim::organizationTypeLabels();
        break;
    case pim::ENTITY_WEBSITE:
        table = pim::websiteTypeLabels();
        aliases = {{"homepage", 1}, {"business", 5}};
        break;
    case pim::ENTITY_EVENT:
        table = pim::eventTypeLabels();
        break;
    case pim::ENTITY_RELATION:
        table = pim::relationTypeLabels();
        break;
    default:
        break;
    }
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        if (QString(it.value()).remove(QLatin1Char(' ')).toLower() == bare)
            return it.key();
    }
    for (const auto& [alias, code] : aliases) {
        if (bare == QLatin1String(alias))
            return code;
    }
    return -1;
}

// The code of a row without a word, as a vCard property without TYPE gets
// it; -1 for none.
int defaultLabelCode(int type)
{
    switch (type) {
    case pim::ENTITY_PHONE:
        return 2;
    case pim::ENTITY_EMAIL:
        return 1;
    case pim::ENTITY_POSTAL:
    case pim::ENTITY_WEBSITE:
    case pim::ENTITY_EVENT:
    case pim::ENTITY_RELATION:
        return 0;
    default:
        return -1;
    }
}

// Built once, then only read: a function-local static is initialised once
// even when two threads get here together.
const Tables& columnTables()
{
    static const Tables tables = buildTables();
    return tables;
}

QString decodeWith(const char* codecName, const QByteArray& bytes)
{
    if (QTextCodec* codec = QTextCodec::codecForName(codecName))
        return codec->toUnicode(bytes);
    return QString::fromLatin1(bytes);
}

// Outlook writes its dates as numbers in the PC's short date order and
// with its separator ("5/17/1980", "17/5/1980", "17.05.1980", "17-5-1980"),
// and a date of zeros ("0/0/00", "0.0.00") for none. The separator is the
// same twice.
const QRegularExpression& outlookDateForm()
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*([0-9]{1,2})([./-])([0-9]{1,2})\\2([0-9]{2}|[0-9]{4})\\s*$"));
    return form;
}

// A cell in Outlook's form, its numbers as written.
struct OutlookNumbers {
    int first = 0;
    int second = 0;
    int year = 0;
    bool fourDigitYear = false;
};

bool outlookNumbers(const QString& cell, OutlookNumbers* out)
{
    const QRegularExpressionMatch m = outlookDateForm().match(cell);
    if (!m.hasMatch())
        return false;
    *out = {m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt(), m.capturedLength(4) == 4};
    return true;
}

// True when the cell is in Outlook's form: *iso is then the date as
// "yyyy-MM-dd", or empty for no date. A two-digit year or a day that does
// not exist is not taken: the cell stays the text it is.
bool outlookDate(const QString& cell, bool dayFirst, QString* iso)
{
    OutlookNumbers n;
    if (!outlookNumbers(cell, &n))
        return false;
    if (n.first == 0 && n.second == 0 && n.year == 0) {
        iso->clear();
        return true;
    }
    const QDate date = dayFirst ? QDate(n.year, n.second, n.first) : QDate(n.year, n.first, n.second);
    if (!n.fourDigitYear || !date.isValid())
        return false;
    *iso = date.toString(Qt::ISODate);
    return true;
}

// The locale this PC writes dates in. On Unix that is the one the C
// library takes for dates: LC_ALL when set, else LC_TIME, else LANG, read
// when asked. QLocale() follows the language of messages instead, which
// may be another ("LANG=en_US.UTF-8", "LC_TIME=de_DE.UTF-8").
QLocale dateLocale()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        QString name = qEnvironmentVariable(variable);
        if (name.isEmpty())
            continue;
        // The code set and modifier ("de_DE.UTF-8@euro") say nothing of
        // the order.
        for (const QChar cut : {QLatin1Char('.'), QLatin1Char('@')})
            if (const qsizetype at = name.indexOf(cut); at >= 0)
                name.truncate(at);
        if (name.isEmpty() || name == QLatin1String("POSIX"))
            return QLocale::c();
        return QLocale(name);
    }
    return QLocale::c();
#else
    return QLocale();
#endif
}

// Whether this PC writes its short dates day before month. The C and POSIX
// locales are no choice of the user's and their short form ("d MMM yyyy")
// says nothing about numeric dates: month first then, as these files were
// read before the order was worked out.
bool localeDayFirst()
{
    const QLocale locale = dateLocale();
    if (locale.language() == QLocale::C)
        return false;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype day = format.indexOf(QLatin1Char('d'));
    const qsizetype month = format.indexOf(QLatin1Char('M'));
    return day >= 0 && month >= 0 && day < month;
}

bool isBlankRow(const QStringList& row)
{
    for (const QString& cell : row)
        if (!cell.trimmed().isEmpty())
            return false;
    return true;
}

// A column of our own export: a header of its table, or one whose label is
// the code of a kind that has no word ("Tel:7", "Addr:3:City").
bool ownColumn(const QString& key, CSVColumnDef* def)
{
    const Tables& tables = columnTables();
    if (tables.own.contains(key)) {
        *def = tables.columns.value(key);
        return true;
    }
    static const QRegularExpression coded(
        QStringLiteral("^(Tel|Email|Date|IM|Rel|Url|Addr):(-?[0-9]{1,9})(:[A-Za-z]+)?$"));
    const QRegularExpressionMatch m = coded.match(key);
    if (!m.hasMatch() || (m.captured(1) == QLatin1String("Addr")) != m.hasCaptured(3))
        return false;
    const QString withWord = m.captured(1) + QStringLiteral(":Other") + m.captured(3);
    if (!tables.own.contains(withWord))
        return false;
    *def = tables.columns.value(withWord);
    def->subType = m.captured(2).toInt();
    return true;
}

} // namespace

CSVColumnDef CSVImport::columnDef(const QString& header)
{
    const Tables& tables = columnTables();
    const auto it = tables.columns.constFind(header);
    if (it != tables.columns.constEnd())
        return it.value();
    CSVColumnDef def;
    if (ownColumn(header, &def))
        return def;
    // A numbered column of our own export: the n-th row of its kind.
    int number = 1;
    const QString base = AbsTextExport::columnBase(header, &number);
    if (number > 1 && ownColumn(base, &def)) {
        def.instance = number;
        return def;
    }
    // A chat service without a code of its own: "IM:" and its name.
    if (base.startsWith(QLatin1String("IM:")) && base.size() > 3 && ownColumn(QStringLiteral("IM:Other"), &def)) {
        const QString service = base.mid(3);
        const int code = pim::imProtocolLabels().key(service, -1);
        if (code > 0)
            def.subType = code;
        else
            def.service = service;
        def.instance = number;
        return def;
    }
    return CSVColumnDef();
}

QByteArray CSVImport::toUtf8Text(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return QString(utf16.decode(bytes.mid(2))).toUtf8();
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes;
    // UTF-16 without a byte order mark: zero bytes in every other place.
    if (bytes.size() >= 4 && bytes.contains('\0')) {
        qsizetype evenZeros = 0, oddZeros = 0;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            evenZeros += bytes.at(i) == '\0';
            oddZeros += bytes.at(i + 1) == '\0';
        }
        const qsizetype pairs = bytes.size() / 2;
        if (oddZeros * 2 > pairs || evenZeros * 2 > pairs) {
            QStringDecoder utf16(oddZeros > evenZeros ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
            return QString(utf16.decode(bytes)).toUtf8();
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(utf8.decode(bytes));
    if (!utf8.hasError())
        return bytes;
    // Address books on Windows export in the ANSI code page.
    return decodeWith("Windows-1252", bytes).toUtf8();
}

void CSVImport::load(const QString& path)
{
    m_header.clear();
    m_columns.clear();
    m_rows.clear();
    m_cursor = 0;

    QByteArray text = toUtf8Text(contactimport::readWholeFile(path));
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);

    // Blank lines before the header are no header.
    bool more = readCsvRow(&m_header, &buffer, true);
    while (more && isBlankRow(m_header)) {
        m_header.clear();
        more = readCsvRow(&m_header, &buffer, false);
    }
    if (isBlankRow(m_header)) {
        m_header.clear();
        return; // nothing but blank lines: no header, no rows
    }
    m_columns.reserve(m_header.size());
    for (const QString& header : std::as_const(m_header)) {
        Column column;
        if (!googleColumn(header, &column.googleType, &column.googleNumber, &column.googleDataColumn)) {
            column.googleType = 0;
            column.displayName = header == QLatin1String("Name");
            column.googleLabels = header == QLatin1String("Labels");
            if (!column.displayName && !column.googleLabels)
                column.def = columnDef(header);
            column.outlookDate = header == QLatin1String("Birthday") || header == QLatin1String("Anniversary");
        }
        m_columns.append(column);
    }
    // A row whose cells are all blank (spreadsheets write them at the end)
    // holds nothing: it is no entry. The last row counts even without a final
    // line break.
    for (bool more = true; more;) {
        QStringList row;
        more = readCsvRow(&row, &buffer, false);
        if (!isBlankRow(row))
            m_rows.append(row);
    }
    m_datesDayFirst = datesDayFirst();
}

bool CSVImport::datesDayFirst() const
{
    // A date that is a day only when read day first ("17.05.1980") says day
    // first, one that is a day only when read month first ("5/17/1980")
    // month first; a file whose dates all fit either way, or neither
    // ("45.05.1980"), leaves it to the PC. A two-digit year tells the order
    // too, though the date itself stays text.
    bool monthFirst = false;
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (!m_columns.at(i).outlookDate)
            continue;
        for (const QStringList& row : m_rows) {
            OutlookNumbers n;
            if (!outlookNumbers(row.value(i), &n))
                continue;
            // 2000 is a leap year: 29 February with a two-digit year is a day.
            const int year = n.fourDigitYear ? n.year : 2000;
            const bool asDayFirst = QDate(year, n.second, n.first).isValid();
            const bool asMonthFirst = QDate(year, n.first, n.second).isValid();
            if (asDayFirst && !asMonthFirst)
                return true;
            monthFirst = monthFirst || (asMonthFirst && !asDayFirst);
        }
    }
    return monthFirst ? false : localeDayFirst();
}

pim::_Contact CSVImport::next()
{
    const QStringList& row = m_rows.at(m_cursor++);
    pim::_Contact contact;
    QMap<QString, ContactDataRow> groups;
    // Google's numbered groups by (row type, number): the kind's word and the
    // cells by data column.
    struct GoogleGroup {
        QString word;
        QMap<int, QString> cells;
    };
    QMap<std::pair<int, int>, GoogleGroup> google;
    QString displayName;
    QStringList labels;
    for (qsizetype i = 0; i < m_header.size(); ++i) {
        QString cell = row.value(i);
        if (cell.isEmpty())
            continue;
        const Column& column = m_columns.at(i);
        if (column.googleType != 0) {
            GoogleGroup& g = google[{column.googleType, column.googleNumber}];
            if (column.googleDataColumn == 0)
                g.word = cell;
            else
                g.cells.insert(column.googleDataColumn, cell);
            continue;
        }
        if (column.displayName) {
            displayName = cell; // Google's display name
            continue;
        }
        if (column.googleLabels) {
            // Google's groups. "* " marks a label of Google's own ("* myContacts",
            // which every contact is in, "* starred"): no group of the user's.
            for (QString label : cell.split(QStringLiteral(" ::: "))) {
                label = label.trimmed();
                if (!label.isEmpty() && !label.startsWith(QLatin1String("* ")) && label != QLatin1String("myContacts"))
                    labels.append(label);
            }
            continue;
        }
        const CSVColumnDef& def = column.def;
        if (def.type == 0)
            continue;
        if (column.outlookDate && outlookDate(cell, m_datesDayFirst, &cell) && cell.isEmpty())
            continue; // Outlook's "no date": no event
        // Later rows of a kind and label sort after the first ("3-2-0002");
        // a chat service without a code is a label of its own ("8-0:sip").
        QString group = QStringLiteral("%1-%2").arg(def.type).arg(def.subType);
        if (!def.service.isEmpty())
            group += QLatin1Char(':') + def.service;
        if (def.instance > 1)
            group += QStringLiteral("-%1").arg(def.instance, 4, 10, QLatin1Char('0'));
        ContactDataRow& data = groups[group];
        if (!def.service.isEmpty())
            data.values.insert(QStringLiteral("data6"), def.service);
        // Every kind keeps its code, "Other" (0) too.
        if (!def.labelColumn.isEmpty())
            data.values.insert(def.labelColumn, def.subType);
        const QString held = pim::valueText(data.values, def.valueColumn);
        data.values.insert(def.valueColumn, held.isEmpty() ? cell : held + QLatin1Char(' ') + cell);
    }
    if (!displayName.isEmpty())
        groups[QStringLiteral("%1-0").arg(pim::ENTITY_NAME)];
    for (auto it = groups.begin(); it != groups.end(); ++it) {
        const int type = it.key().section(QLatin1Char('-'), 0, 0).toInt();
        ContactDataRow& data = it.value();
        if (type == pim::ENTITY_NAME) {
            contact.fullName = displayName.isEmpty() ? pim::formatName(data.values) : displayName;
            data.values.insert(QStringLiteral("data1"), contact.fullName);
        } else if (type == pim::ENTITY_POSTAL) {
            data.values.insert(QStringLiteral("data1"), pim::formatAddress(data.values));
        } else if (type == pim::ENTITY_IM) {
            data.values.insert(QStringLiteral("data2"), 1);
        } else if (type == pim::ENTITY_EVENT) {
            // Dates come back as dates, other texts as they stand.
            const QVariant date = VCardDate::fromText(pim::valueText(data.values, QStringLiteral("data1")));
            if (date.isValid())
                data.values.insert(QStringLiteral("data1"), date);
        }
        contact.entities[type].append(data);
    }

    // A Google cell may hold several values joined by " ::: ": one row
    // each, the word's parts going with them when there are as many.
    static const QString kJoin = QStringLiteral(" ::: ");
    for (auto it = google.constBegin(); it != google.constEnd(); ++it) {
        const int type = it.key().first;
        qsizetype rows = 0;
        QMap<int, QStringList> parts;
        for (auto cell = it->cells.constBegin(); cell != it->cells.constEnd(); ++cell) {
            parts.insert(cell.key(), cell.value().split(kJoin));
            rows = std::max(rows, parts.value(cell.key()).size());
        }
        const QStringList words = it->word.split(kJoin);
        for (qsizetype n = 0; n < rows; ++n) {
            ContactDataRow data;
            for (auto part = parts.constBegin(); part != parts.constEnd(); ++part) {
                const QString value = part.value().value(n);
                if (!value.trimmed().isEmpty())
                    data.values.insert(QStringLiteral("data%1").arg(part.key()), value);
            }
            if (data.values.isEmpty())
                continue;
            // "* " marks the preferred value.
            QString word = (words.size() == rows ? words.at(n) : it->word).trimmed();
            if (word.startsWith(QLatin1Char('*')))
                word = word.mid(1).trimmed();
            const int code = word.isEmpty() ? defaultLabelCode(type) : labelCode(type, word);
            if (code >= 0) {
                data.values.insert(QStringLiteral("data2"), code);
            } else if (!word.isEmpty()) {
                // A word of the user's own: a custom label.
                data.values.insert(QStringLiteral("data2"), 0);
                data.values.insert(QStringLiteral("data3"), word);
            }
            if (type == pim::ENTITY_POSTAL && pim::valueText(data.values, QStringLiteral("data1")).isEmpty())
                data.values.insert(QStringLiteral("data1"), pim::formatAddress(data.values));
            if (type == pim::ENTITY_EVENT) {
                const QVariant date = VCardDate::fromText(pim::valueText(data.values, QStringLiteral("data1")));
                if (date.isValid())
                    data.values.insert(QStringLiteral("data1"), date);
            }
            contact.entities[type].append(data);
        }
    }
    for (const QString& label : std::as_const(labels)) {
        ContactDataRow group;
        group.values.insert(QStringLiteral("data2"), label);
        contact.entities[pim::ENTITY_GROUP].append(group);
    }
    contactimport::nameUnnamed(contact);
    return contact;
}
