// Contacts for the format tests.
#pragma once

#include "records/contact.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

namespace fixtures {

inline ContactDataRow row(std::initializer_list<std::pair<int, QVariant>> values)
{
    ContactDataRow r;
    for (const auto& [n, v] : values)
        r.values.insert(QStringLiteral("data%1").arg(n), v);
    return r;
}

inline void addRow(pim::_Contact& c, int type, const ContactDataRow& r)
{
    c.entities[type].append(r);
}

// given, family (and the full name as the importers compute it).
inline pim::_Contact named(const QString& given, const QString& family)
{
    pim::_Contact c;
    c.fullName = (given + QLatin1Char(' ') + family).trimmed();
    addRow(c, pim::ENTITY_NAME, row({{1, c.fullName}, {2, given}, {3, family}}));
    return c;
}

inline QByteArray jpegBytes(const QColor& color, int size = 64)
{
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG");
    return bytes;
}

// A contact with a row of every kind, non-ASCII text included.
inline pim::_Contact fullContact()
{
    pim::_Contact c = named(QString::fromUtf8("Zoë"), QString::fromUtf8("Ångström-Łukasz"));
    c.entities[pim::ENTITY_NAME].first().values.insert(QStringLiteral("data4"), QStringLiteral("Q."));
    c.entities[pim::ENTITY_NAME].first().values.insert(QStringLiteral("data5"), QStringLiteral("Dr"));
    c.fullName = pim::formatName(c.entities[pim::ENTITY_NAME].first().values);
    c.entities[pim::ENTITY_NAME].first().values.insert(QStringLiteral("data1"), c.fullName);
    addRow(c, pim::ENTITY_PHONE, row({{1, QStringLiteral("+44 20 7946 0018")}, {2, 2}}));
    addRow(c, pim::ENTITY_PHONE, row({{1, QStringLiteral("020 7946 0000")}, {2, 1}}));
    addRow(c, pim::ENTITY_PHONE, row({{1, QStringLiteral("555-WORK")}, {2, 3}}));
    addRow(c, pim::ENTITY_EMAIL, row({{1, QStringLiteral("zoe@example.org")}, {2, 1}}));
    addRow(c, pim::ENTITY_NICKNAME, row({{1, QString::fromUtf8("Zo, \"the\" bee")}}));
    addRow(c, pim::ENTITY_EVENT, row({{1, QStringLiteral("1980-05-17")}, {2, 3}}));
    addRow(c, pim::ENTITY_GROUP, row({{2, QStringLiteral("Friends")}}));
    addRow(c, pim::ENTITY_IM, row({{1, QStringLiteral("zoe.skype")}, {2, 1}, {5, 4}}));
    addRow(c, pim::ENTITY_NOTE, row({{1, QString::fromUtf8("Line one; with, commas\nLine two — ünïcode\\end")}}));
    addRow(c, pim::ENTITY_ORGANIZATION, row({{1, QStringLiteral("Acme; Ltd")}, {4, QStringLiteral("Engineer")},
                                             {5, QStringLiteral("R&D")}}));
    addRow(c, pim::ENTITY_RELATION, row({{1, QStringLiteral("Anna")}, {2, 13}}));
    addRow(c, pim::ENTITY_POSTAL, row({{2, 1}, {4, QStringLiteral("1 High Street")}, {7, QStringLiteral("London")},
                                       {8, QStringLiteral("Greater London")}, {9, QStringLiteral("N1 9GU")},
                                       {10, QStringLiteral("UK")}}));
    addRow(c, pim::ENTITY_WEBSITE, row({{1, QStringLiteral("https://example.org/zoe")}, {2, 2}}));
    return c;
}

} // namespace fixtures
