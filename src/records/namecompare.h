// The name order shared by the playlist, calendar and file pages.
#pragma once

#include <QString>

#include <type_traits>

namespace records_detail {
inline const QString& nameOf(const QString& s)
{
    return s;
}
template <typename T> const QString& nameOf(const T& r)
{
    if constexpr (std::is_pointer_v<T>)
        return r->name;
    else
        return r.name;
}
} // namespace records_detail

// Names compared in lower case, code-unit order. A strict weak order: names
// equal in lower case compare equal (a stable sort keeps their order).
// Works on records with a "name" field, pointers to them, and plain texts.
template <typename T> bool lessByNameNoCase(const T& a, const T& b)
{
    return records_detail::nameOf(a).toLower() < records_detail::nameOf(b).toLower();
}
