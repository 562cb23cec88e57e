#include "formats/vcardexport.h"

#include "formats/vcarddate.h"

#include <QRegularExpression>

namespace {

const QString kCharset = QStringLiteral("CHARSET");
const QString kUtf8 = QStringLiteral("UTF-8");
const QString kEncoding = QStringLiteral("ENCODING");
const QString kType = QStringLiteral("TYPE");

QString col(const ContactDataRow& row, int n)
{
    return pim::valueText(row.values, QStringLiteral("data%1").arg(n));
}

int code(const ContactDataRow& row, int n)
{
    return col(row, n).trimmed().toInt();
}

// Dates are written as ISO dates, with the time only when there is one;
// a date without a year as "--MM-dd".
QString eventDate(const ContactDataRow& row)
{
    return VCardDate::toText(row.values.value(QStringLiteral("data1")));
}

// Components joined by ";" with each one's text escaped.
QString components(std::initializer_list<QString> parts)
{
    QStringList escaped;
    for (const QString& p : parts)
        escaped.append(vcardEscapeText(p));
    return escaped.join(QLatin1Char(';'));
}

class CardBuilder {
public:
    // A property whose value is UTF-8 text. A value holding a line break is
    // written quoted-printable, so that it stays on its line.
    void add(const QString& name, const QString& value, std::initializer_list<std::pair<QString, QString>> params,
             bool charset = true, bool qp = false)
    {
        VCardProperty p;
        p.name = name;
        for (const auto& [k, v] : params)
            p.params.insert(k, v);
        if (charset)
            p.params.insert(kCharset, kUtf8);
        const QByteArray bytes = value.toUtf8();
        if (qp || bytes.contains('\r') || bytes.contains('\n')) {
            p.params.insert(kEncoding, QStringLiteral("QUOTED-PRINTABLE"));
            p.value = quotedPrintableEncode(bytes, 0);
        } else {
            p.value = bytes;
        }
        card.append(std::move(p));
    }

    VCardCard card;
};

// A chat address of a service without a code of its own, as an IMPP
// address: in the service's own scheme when it is a chat service's ("sip:
// ann"), else in the generic "im:" scheme, so that no reader takes it for a
// number ("tel:") or a link ("https:"); the name as X-SERVICE-TYPE when it
// is not the scheme as written.
void addImpp(CardBuilder& b, const QString& service, const QString& handle)
{
    const QString lower = service.toLower();
    const QString scheme = isChatUriScheme(lower) ? lower : QStringLiteral("im");
    b.add(QStringLiteral("IMPP"), scheme + QLatin1Char(':') + vcardEscapeText(handle), {});
    if (service == scheme)
        return;
    // In double quotes unless it is a plain word.
    QString text = vcardEscapeParam(service);
    static const QRegularExpression plainWord(QStringLiteral("^[A-Za-z0-9+._-]+$"));
    if (!plainWord.match(text).hasMatch())
        text = QLatin1Char('"') + text + QLatin1Char('"');
    b.card.last().params.insert(QStringLiteral("X-SERVICE-TYPE"), text);
}

QString phoneTypeWord(int c)
{
    switch (c) {
    case 1:
        return QStringLiteral("home,voice");
    case 2:
        return QStringLiteral("cell");
    case 3:
        return QStringLiteral("work,voice");
    case 4:
        return QStringLiteral("work,fax");
    case 5:
        return QStringLiteral("home,fax");
    case 6:
        return QStringLiteral("pager");
    case 9:
        return QStringLiteral("car");
    case 11:
        return QStringLiteral("isdn");
    case 13:
        return QStringLiteral("fax");
    default:
        return QString();
    }
}

// The e-mail's kind beside "internet", so that the importer reads it back.
QString emailTypeWords(int c)
{
    switch (c) {
    case 1:
        return QStringLiteral("internet,home");
    case 2:
        return QStringLiteral("internet,work");
    case 4:
        return QStringLiteral("internet,cell");
    case 0:
        return QStringLiteral("internet,other");
    default:
        return QStringLiteral("internet");
    }
}

QString word(int c, std::initializer_list<const char*> words, const char* fallback)
{
    if (c >= 1 && c <= int(words.size()))
        return QLatin1String(words.begin()[c - 1]);
    return fallback ? QLatin1String(fallback) : QString();
}

} // namespace

VCardExport::VCardExport(const QString& path)
    : m_file(path)
{
}

VCardExport::~VCardExport() = default;

void VCardExport::begin()
{
    if (!m_file.open())
        failExport("create file error.", m_file.errorString());
}

void VCardExport::end()
{
    if (!m_file.isOpen())
        return;
    if (!m_file.commit())
        failExport("write file error.", m_file.errorString());
}

void VCardExport::write(const pim::_Contact& contact)
{
    if (!m_file.write(cardFor(contact).serialize()))
        failExport("write file error.", m_file.errorString());
}

VCardCard VCardExport::cardFor(const pim::_Contact& contact)
{
    CardBuilder b;
    b.add(QStringLiteral("VERSION"), QStringLiteral("3.0"), {}, false);
    b.add(QStringLiteral("FN"), vcardEscapeText(contact.fullName), {});
    for (auto it = contact.entities.constBegin(); it != contact.entities.constEnd(); ++it) {
        for (const ContactDataRow& row : it.value()) {
            switch (it.key()) {
            case pim::ENTITY_NAME:
                // family; given; additional; prefix; suffix
                b.add(QStringLiteral("N"),
                      components({col(row, 3), col(row, 2), col(row, 4), col(row, 5), col(row, 6)}), {});
                break;
            case pim::ENTITY_PHOTO: {
                VCardProperty p;
                p.name = QStringLiteral("PHOTO");
                p.params.insert(kEncoding, QStringLiteral("B"));
                p.params.insert(kType, QStringLiteral("JPEG"));
                p.value = base64Lines(row.values.value(QStringLiteral("data15")).toByteArray(), 75);
                b.card.append(std::move(p));
                break;
            }
            case pim::ENTITY_PHONE: {
                const QString type = phoneTypeWord(code(row, 2));
                // Escaped like text: readers split unescaped "," and ";"
                // (pauses and waits in a number).
                const QString number = vcardEscapeText(col(row, 1));
                if (type.isEmpty())
                    b.add(QStringLiteral("TEL"), number, {}, false);
                else
                    b.add(QStringLiteral("TEL"), number, {{kType, type}}, false);
                break;
            }
            case pim::ENTITY_EMAIL:
                b.add(QStringLiteral("EMAIL"), vcardEscapeText(col(row, 1)), {{kType, emailTypeWords(code(row, 2))}},
                      false);
                break;
            case pim::ENTITY_NICKNAME:
                b.add(QStringLiteral("NICKNAME"), vcardEscapeText(col(row, 1)), {});
                break;
            case pim::ENTITY_EVENT: {
                const QString date = eventDate(row);
                if (date.isEmpty())
                    break; // an empty BDAY is no date to any reader
                if (!VCardDate::isDate(row.values.value(QStringLiteral("data1")))) {
                    // A date kept as the text it was read as ("12/31/99"):
                    // BDAY holds dates only, so it goes into X-EVENT, which
                    // says that it is text and which event it is.
                    const int kind = code(row, 2);
                    b.add(QStringLiteral("X-EVENT"), vcardEscapeText(date),
                          {{kType,
                            kind == 3       ? QStringLiteral("birthday")
                                : kind == 1 ? QStringLiteral("anniversary")
                                            : QStringLiteral("other")},
                           {QStringLiteral("VALUE"), QStringLiteral("text")}},
                          false);
                    break;
                }
                if (code(row, 2) == 3)
                    b.add(QStringLiteral("BDAY"), date, {}, false);
                else
                    b.add(QStringLiteral("X-EVENT"), date,
                          {{kType, code(row, 2) == 1 ? QStringLiteral("anniversary") : QStringLiteral("other")}},
                          false);
                break;
            }
            case pim::ENTITY_GROUP:
                b.add(QStringLiteral("CATEGORIES"), vcardEscapeText(col(row, 2)), {});
                break;
            case pim::ENTITY_IM: {
                const QString type = word(code(row, 5),
                                          {"aim", "msn", "yahoo", "skype", "qq", "googletalk", "icq", "jabber",
                                           "netmetting", "gadugadu", "facebook"},
                                          nullptr);
                const QString service = col(row, 6).trimmed();
                if (type.isEmpty() && !service.isEmpty())
                    addImpp(b, service, col(row, 1));
                else if (type.isEmpty())
                    b.add(QStringLiteral("X-IM"), vcardEscapeText(col(row, 1)), {});
                else
                    b.add(QStringLiteral("X-IM"), vcardEscapeText(col(row, 1)), {{kType, type}});
                break;
            }
            case pim::ENTITY_NOTE:
                b.add(QStringLiteral("NOTE"), vcardEscapeText(col(row, 1)), {}, true, true);
                break;
            case pim::ENTITY_ORGANIZATION:
                b.add(QStringLiteral("TITLE"), vcardEscapeText(col(row, 4)), {});
                b.add(QStringLiteral("ORG"), components({col(row, 1), col(row, 5)}) + QStringLiteral(";;"), {});
                break;
            case pim::ENTITY_RELATION: {
                const QString type = word(code(row, 2),
                                          {"assistant", "brother", "child", "dompartner", "father", "friend", "manager",
                                           "mother", "parent", "partner", "ref", "relative", "sister", "spouse"},
                                          nullptr);
                if (type.isEmpty())
                    b.add(QStringLiteral("X-REL"), vcardEscapeText(col(row, 1)), {});
                else
                    b.add(QStringLiteral("X-REL"), vcardEscapeText(col(row, 1)), {{kType, type}});
                break;
            }
            case pim::ENTITY_POSTAL:
                // Post-office box, extended address, street, city, region,
                // postcode, country: each part in its own place comes back.
                b.add(QStringLiteral("ADR"),
                      components(
                          {col(row, 5), col(row, 6), col(row, 4), col(row, 7), col(row, 8), col(row, 9), col(row, 10)}),
                      {{kType, word(code(row, 2), {"home", "work"}, "intl")}}, true, true);
                break;
            case pim::ENTITY_WEBSITE:
                b.add(QStringLiteral("URL"), vcardEscapeText(col(row, 1)),
                      {{kType, word(code(row, 2), {"homepage", "blog", "profile", "home", "work", "ftp"}, "other")}},
                      false);
                break;
            default:
                break;
            }
        }
    }
    return b.card;
}
