// Contacts, files and small helpers shared by the contact format tests.
#pragma once

#include "records/contact.h"
#include "testsupport.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace fixtures {

inline QString dataFile(const QString& name)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/formats/contact_data/") + name;
}

inline void addRow(pim::_Contact& c, int type, std::initializer_list<std::pair<int, QVariant>> values)
{
    ContactDataRow& r = c.entities[type].emplace_back();
    for (const auto& [n, v] : values)
        r.values.insert(QStringLiteral("data%1").arg(n), v);
}

inline QByteArray photoOf(const pim::_Contact& c)
{
    return c.rows(pim::ENTITY_PHOTO).value(0).values.value(QStringLiteral("data15")).toByteArray();
}

// The form of the expected files: each contact's full name, then one line
// per row, "<kind>" and its non-empty columns "dataN=text" (bytes as Base64,
// control characters as \xNN), tab-separated.
inline QStringList dump(const QList<pim::_Contact>& contacts)
{
    QStringList out;
    for (const pim::_Contact& c : contacts) {
        out.append(c.fullName);
        for (int type : c.entities.keys())
            for (const ContactDataRow& r : c.rows(type)) {
                QString line = QString::number(type);
                for (auto it = r.values.cbegin(); it != r.values.cend(); ++it) {
                    const QString text = it->typeId() == QMetaType::QByteArray
                        ? QString::fromLatin1(it->toByteArray().toBase64())
                        : pim::valueText(r.values, it.key());
                    if (!text.isEmpty())
                        line += QLatin1Char('\t') + it.key() + QLatin1Char('=');
                    for (QChar ch : text)
                        line += ch.unicode() < 0x20 ? QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'))
                                                    : QString(ch);
                }
                out.append(line);
            }
    }
    return out;
}

// Pages of a PDF as Qt writes them (page objects are not compressed).
inline int pdfPages(const QString& path)
{
    return int(testsupport::readFile(path).count("/Type /Page\n"));
}

inline QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = testsupport::makeTempDir(QStringLiteral("in")) + QLatin1Char('/') + name;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

// Runs an exporter over the contacts into a new folder; the file's path.
template <typename Exporter, typename... Args>
QString exportTo(const QString& name, const QList<pim::_Contact>& contacts, Args... args)
{
    const QString path = testsupport::makeTempDir(QStringLiteral("out")) + QLatin1Char('/') + name;
    Exporter e(path, args...);
    e.begin();
    for (const auto& c : contacts)
        e.write(c);
    e.end();
    return path;
}

template <typename Importer> QList<pim::_Contact> importAll(const QString& path, int* skippedLines = nullptr)
{
    Importer reader;
    reader.open(path);
    QList<pim::_Contact> out;
    while (reader.hasNext())
        out.append(reader.next());
    if (skippedLines)
        *skippedLines = reader.skippedLines();
    return out;
}

// given, family (and the full name as the importers compute it).
inline pim::_Contact named(const QString& given, const QString& family)
{
    pim::_Contact c;
    c.fullName = (given + QLatin1Char(' ') + family).trimmed();
    addRow(c, pim::ENTITY_NAME, {{1, c.fullName}, {2, given}, {3, family}});
    return c;
}

inline QByteArray jpegBytes(const QColor& color, int size = 64)
{
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    img.save(&buf, "JPEG");
    return bytes;
}

// contact_data/contacts.json: [{"name": full name, "rows": [["<kind> <word>",
// {"<column>": value}], ...]}], then a photo on the first and every
// address's whole text as the importers compute it.
inline QList<pim::_Contact> contacts()
{
    QList<pim::_Contact> out;
    for (const QJsonValue& jc :
         QJsonDocument::fromJson(testsupport::readFile(dataFile(QStringLiteral("contacts.json")))).array()) {
        pim::_Contact& c = out.emplace_back();
        c.fullName = jc[QLatin1String("name")].toString();
        for (const QJsonValue& row : jc[QLatin1String("rows")].toArray()) {
            const int type = row[0].toString().section(u' ', 0, 0).toInt();
            ContactDataRow& r = c.entities[type].emplace_back();
            const QJsonObject values = row[1].toObject();
            for (auto it = values.begin(); it != values.end(); ++it)
                r.values.insert(QStringLiteral("data") + it.key(),
                                it->isDouble() ? QVariant(it->toInt()) : it->toVariant());
            if (type == pim::ENTITY_POSTAL)
                r.values.insert(QStringLiteral("data1"), pim::formatAddress(r.values));
        }
    }
    addRow(out[0], pim::ENTITY_PHOTO, {{15, jpegBytes(Qt::darkCyan)}, {4, "hash"}});
    return out;
}

} // namespace fixtures
