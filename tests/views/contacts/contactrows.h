// Contact rows and photo bytes for the contacts view tests.
#pragma once

#include "records/contact.h"

#include <QBuffer>
#include <QImage>

#include <initializer_list>
#include <utility>

namespace contacttest {

// A row with the given columns ("data<n>"); a row id gives it the source
// id "src<id>" too.
inline ContactDataRow row(std::initializer_list<std::pair<int, QVariant>> values, qint64 id = 0)
{
    ContactDataRow r(id, id ? QStringLiteral("src%1").arg(id) : QString());
    for (const auto& [n, v] : values)
        r.values.insert(QStringLiteral("data%1").arg(n), v);
    return r;
}

inline QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace contacttest
