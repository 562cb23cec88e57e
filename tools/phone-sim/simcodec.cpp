#include "simcodec.h"

#include <QDate>
#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

namespace phonesim {

namespace codec {

namespace {

// Words indexed by code; "" marks a code without a word.
struct Category {
    int id;
    QList<const char*> words;
};

const QList<Category>& categories()
{
    static const QList<Category> all = {
        {3, {"other", "home",     "mobile", "work",         "work fax",   "home fax",  "pager",
             "",      "callback", "car",    "company main", "isdn",       "main",      "other fax",
             "radio", "telex",    "ttytdd", "work mobile",  "work pager", "assistant", "mms"}},
        {4, {"other", "home", "work", "", "mobile"}},
        {5, {"", "default", "other", "", "short", "init"}},
        {6, {"other", "anniversary", "", "birthday"}},
        {8, {"other", "home", "work"}},
        {10, {"other", "work"}},
        {11,
         {"", "assistant", "brother", "child", "dom partner", "father", "friend", "manager", "mother", "parnet",
          "partner", "refby", "relative", "sister", "spouse"}},
        {12, {"other", "home", "work"}},
        {13, {"other", "homepage", "blog", "profile", "home", "work", "ftp"}},
        {99, {"", "aim", "msn", "yahoo", "skype", "qq", "googletalk", "icq", "jabber", "netmeeting"}},
    };
    return all;
}

const Category* find(int category)
{
    for (const Category& c : categories())
        if (c.id == category)
            return &c;
    return nullptr;
}

} // namespace

QByteArray text(const QString& value)
{
    return value.toUtf8().toBase64();
}

QString untext(const QByteArray& field)
{
    return QString::fromUtf8(QByteArray::fromBase64(field));
}

bool untextStrict(const QByteArray& field, QString* out)
{
    if (field.isEmpty()) {
        out->clear();
        return true;
    }
    const auto r = QByteArray::fromBase64Encoding(field, QByteArray::AbortOnBase64DecodingErrors);
    if (!r || r.decoded.toBase64() != field)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *out = utf8.decode(r.decoded);
    return !utf8.hasError();
}

QByteArray word(int category, int code)
{
    const Category* c = find(category);
    if (!c || code < 0 || code >= c->words.size())
        return {};
    return QByteArray(c->words.at(code));
}

int code(int category, const QByteArray& w, bool* known)
{
    if (known)
        *known = false;
    const Category* c = find(category);
    if (!c || w.isEmpty())
        return 0;
    for (int i = 0; i < c->words.size(); ++i) {
        if (w == c->words.at(i)) {
            if (known)
                *known = true;
            return i;
        }
    }
    return 0;
}

QList<QPair<int, int>> allLabels()
{
    QList<QPair<int, int>> out;
    for (const Category& c : categories())
        for (int i = 0; i < c.words.size(); ++i)
            if (*c.words.at(i))
                out.append({c.id, i});
    return out;
}

} // namespace codec

namespace {

QString col(int n)
{
    return QStringLiteral("data") + QString::number(n);
}

QByteArray textOf(const SimRow& row, int n)
{
    return codec::text(row.columns.value(col(n)).toString());
}

int intOf(const SimRow& row, int n)
{
    return row.columns.value(col(n)).toString().toInt();
}

// Layout per kind: how each field after the id is made. 't' text column,
// 'w' type word of data2, 'p' protocol word of data5, 'd' date of data1,
// 'b' Base64 bytes of data15.
struct Field {
    char how;
    int column;
};

QList<Field> layout(int kind)
{
    switch (kind) {
    case 1:
        return {{'t', 5}, {'t', 2}, {'t', 4}, {'t', 3}, {'t', 6}};
    case 2:
        return {{'b', 15}};
    case 3:
    case 4:
    case 5:
    case 11:
    case 13:
        return {{'w', 2}, {'t', 3}, {'t', 1}};
    case 6:
        return {{'w', 2}, {'t', 3}, {'d', 1}};
    case 7:
        return {{'t', 2}};
    case 8:
        return {{'w', 2}, {'t', 3}, {'p', 5}, {'t', 6}, {'t', 1}};
    case 9:
        return {{'t', 1}};
    case 10:
        return {{'w', 2}, {'t', 3}, {'t', 1}, {'t', 5}, {'t', 4}};
    case 12:
        return {{'w', 2}, {'t', 3}, {'t', 10}, {'t', 8}, {'t', 7}, {'t', 4}, {'t', 9}};
    default:
        return {};
    }
}

} // namespace

QByteArray encodeEnt(const SimRow& row)
{
    QByteArray line = "$ent:" + row.id.toLatin1();
    for (const Field& f : layout(row.kind)) {
        line += ',';
        switch (f.how) {
        case 't':
            line += textOf(row, f.column);
            break;
        case 'w':
            line += codec::word(row.kind, intOf(row, f.column));
            break;
        case 'p':
            line += codec::word(99, intOf(row, f.column));
            break;
        case 'b':
            line += row.columns.value(col(f.column)).toByteArray().toBase64();
            break;
        case 'd': {
            const QString v = row.columns.value(col(f.column)).toString();
            const QDate d = QDate::fromString(v.left(10), QStringLiteral("yyyy-MM-dd"));
            if (d.isValid())
                line += d.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
            break;
        }
        }
    }
    return line;
}

bool decodeEnt(const QByteArray& line, SimRow* row)
{
    QByteArray body = line;
    if (body.startsWith("$ent:"))
        body = body.mid(5);
    const QList<QByteArray> fields = body.split(',');
    static const QRegularExpression quad(QStringLiteral("\\A-?[0-9]+/-?[0-9]+/-?[0-9]+/-?[0-9]+\\z"));
    const QString id = QString::fromLatin1(fields.value(0));
    if (!quad.match(id).hasMatch())
        return false;
    row->id = id;
    row->kind = id.section(QLatin1Char('/'), 0, 0).toInt();
    row->columns.clear();
    const QList<Field> fs = layout(row->kind);
    for (int i = 0; i < fs.size() && i + 1 < fields.size(); ++i) {
        const QByteArray& v = fields.at(i + 1);
        const Field& f = fs.at(i);
        switch (f.how) {
        case 't':
            row->columns.insert(col(f.column), codec::untext(v));
            break;
        case 'w':
            row->columns.insert(col(f.column), codec::code(row->kind, v));
            break;
        case 'p':
            row->columns.insert(col(f.column), codec::code(99, v));
            break;
        case 'b':
            row->columns.insert(col(f.column), QByteArray::fromBase64(v));
            break;
        case 'd': {
            const QDate d = QDate::fromString(QString::fromLatin1(v), QStringLiteral("yyyy-MM-dd"));
            row->columns.insert(col(f.column), d.isValid() ? d.toString(Qt::ISODate) : QString());
            break;
        }
        }
    }
    return true;
}

bool checkEnt(const QByteArray& argument, SimRow* row, QString* why)
{
    const QList<QByteArray> fields = argument.split(',');
    static const QRegularExpression quad(
        QStringLiteral("\\A-?[0-9]{1,18}/-?[0-9]{1,18}/-?[0-9]{1,18}/-?[0-9]{1,18}\\z"));
    const QString id = QString::fromLatin1(fields.first());
    const int kind = id.section(QLatin1Char('/'), 0, 0).toInt();
    if (!quad.match(id).hasMatch() || kind < 1 || kind > 13) {
        *why = QStringLiteral("bad id quadruple");
        return false;
    }
    const QList<Field> fs = layout(kind);
    if (fields.size() != fs.size() + 1) {
        *why = QStringLiteral("%1 fields for kind %2, must be %3").arg(fields.size() - 1).arg(kind).arg(fs.size());
        return false;
    }
    row->id = id;
    row->kind = kind;
    row->columns.clear();
    for (int i = 0; i < fs.size(); ++i) {
        const QByteArray& v = fields.at(i + 1);
        const Field& f = fs.at(i);
        bool ok = true;
        switch (f.how) {
        case 't': {
            QString text;
            ok = codec::untextStrict(v, &text);
            row->columns.insert(col(f.column), text);
            break;
        }
        case 'w':
        case 'p': {
            bool known = false;
            const int c = codec::code(f.how == 'p' ? 99 : kind, v, &known);
            ok = v.isEmpty() || known;
            row->columns.insert(col(f.column), c);
            break;
        }
        case 'b': {
            const auto r = QByteArray::fromBase64Encoding(v, QByteArray::AbortOnBase64DecodingErrors);
            ok = r && r.decoded.toBase64() == v;
            row->columns.insert(col(f.column), r.decoded);
            break;
        }
        case 'd': {
            const QDate d = QDate::fromString(QString::fromLatin1(v), QStringLiteral("yyyy-MM-dd"));
            ok = v.isEmpty() || d.isValid();
            row->columns.insert(col(f.column), d.isValid() ? d.toString(Qt::ISODate) : QString());
            break;
        }
        }
        if (!ok) {
            *why = QStringLiteral("field %1 of kind %2 is not valid").arg(i + 1).arg(kind);
            return false;
        }
    }
    return true;
}

QByteArray helloPayload(const QList<QPair<QString, QString>>& pairs)
{
    QByteArray out;
    for (const auto& p : pairs) {
        if (!out.isEmpty())
            out += ';';
        out += p.first.toUtf8() + '=' + p.second.toUtf8();
    }
    return out;
}

} // namespace phonesim
