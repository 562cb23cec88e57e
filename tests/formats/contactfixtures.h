// Contacts and small helpers shared by the contact format tests.
#pragma once

#include "records/contact.h"
#include "testsupport.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QRegularExpression>

namespace fixtures {

inline void addRow(pim::_Contact& c, int type, std::initializer_list<std::pair<int, QVariant>> values)
{
    ContactDataRow& r = c.entities[type].emplace_back();
    for (const auto& [n, v] : values)
        r.values.insert(QStringLiteral("data%1").arg(n), v);
}

inline QString v(const ContactDataRow& r, int n)
{
    return pim::valueText(r.values, QStringLiteral("data%1").arg(n));
}

inline QByteArray photoOf(const pim::_Contact& c)
{
    return c.rows(pim::ENTITY_PHOTO).value(0).values.value(QStringLiteral("data15")).toByteArray();
}

// Every non-empty data column of every row, as "<kind> <column>=<text>".
inline QStringList dump(const pim::_Contact& c)
{
    QStringList out;
    for (int type : c.entities.keys())
        for (const ContactDataRow& r : c.rows(type))
            for (const QString& key : r.values.keys())
                if (!pim::valueText(r.values, key).isEmpty())
                    out.append(QStringLiteral("%1 %2=%3").arg(type).arg(key, pim::valueText(r.values, key)));
    return out;
}

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Pages of a PDF as Qt writes them (page objects are not compressed).
inline int pdfPages(const QString& path)
{
    return QString::fromLatin1(readBytes(path)).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b")));
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

template <typename Importer> QList<pim::_Contact> importAll(const QString& path)
{
    Importer reader;
    reader.open(path);
    QList<pim::_Contact> out;
    while (reader.hasNext())
        out.append(reader.next());
    return out;
}

template <typename Importer> QList<pim::_Contact> importBytes(const QByteArray& bytes)
{
    return importAll<Importer>(writeFile(QStringLiteral("in"), bytes));
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

// A contact with a row of every kind, non-ASCII text and separators included.
inline pim::_Contact fullContact()
{
    pim::_Contact c;
    c.fullName = QString::fromUtf8("Dr Zoë Q. Ångström-Łukasz");
    addRow(c, pim::ENTITY_NAME,
           {{1, c.fullName},
            {2, QString::fromUtf8("Zoë")},
            {3, QString::fromUtf8("Ångström-Łukasz")},
            {4, QStringLiteral("Q.")},
            {5, QStringLiteral("Dr")}});
    addRow(c, pim::ENTITY_PHONE, {{1, QStringLiteral("+44 20 7946 0018")}, {2, 2}});
    addRow(c, pim::ENTITY_PHONE, {{1, QStringLiteral("020 7946 0000")}, {2, 1}});
    addRow(c, pim::ENTITY_PHONE, {{1, QStringLiteral("555-WORK")}, {2, 3}});
    addRow(c, pim::ENTITY_EMAIL, {{1, QStringLiteral("zoe@example.org")}, {2, 1}});
    addRow(c, pim::ENTITY_NICKNAME, {{1, QString::fromUtf8("Zo, \"the\" bee")}});
    addRow(c, pim::ENTITY_EVENT, {{1, QStringLiteral("1980-05-17")}, {2, 3}});
    addRow(c, pim::ENTITY_GROUP, {{2, QStringLiteral("Friends")}});
    addRow(c, pim::ENTITY_IM, {{1, QStringLiteral("zoe.skype")}, {2, 1}, {5, 4}});
    addRow(c, pim::ENTITY_NOTE, {{1, QString::fromUtf8("Line one; with, commas\nLine two — ünïcode\\end")}});
    addRow(c, pim::ENTITY_ORGANIZATION,
           {{1, QStringLiteral("Acme; Ltd")}, {4, QStringLiteral("Engineer")}, {5, QStringLiteral("R&D")}});
    addRow(c, pim::ENTITY_RELATION, {{1, QStringLiteral("Anna")}, {2, 13}});
    addRow(c, pim::ENTITY_POSTAL,
           {{2, 1},
            {4, QStringLiteral("1 High Street")},
            {7, QStringLiteral("London")},
            {8, QStringLiteral("Greater London")},
            {9, QStringLiteral("N1 9GU")},
            {10, QStringLiteral("UK")}});
    addRow(c, pim::ENTITY_WEBSITE, {{1, QStringLiteral("https://example.org/zoe")}, {2, 2}});
    return c;
}

} // namespace fixtures
