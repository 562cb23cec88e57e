#include "contactbook.h"

#include <QMutexLocker>
#include <QRegularExpression>

namespace phonesim {

bool splitQuad(const QString& id, qint64 numbers[4])
{
    static const QRegularExpression quad(
        QStringLiteral("\\A(-?[0-9]{1,18})/(-?[0-9]{1,18})/(-?[0-9]{1,18})/(-?[0-9]{1,18})\\z"));
    const QRegularExpressionMatch m = quad.match(id);
    if (!m.hasMatch())
        return false;
    for (int i = 0; i < 4; ++i)
        numbers[i] = m.captured(i + 1).toLongLong();
    return numbers[0] >= INT_MIN && numbers[0] <= INT_MAX;
}

namespace {

QString quadOf(int kind, qint64 contact, qint64 row)
{
    return QStringLiteral("%1/%2/%2/%3").arg(kind).arg(contact).arg(row);
}

} // namespace

ContactBook::ContactBook(const QList<SimContact>& contacts)
{
    setContacts(contacts);
}

QList<SimContact> ContactBook::contacts() const
{
    QMutexLocker lock(&m_mutex);
    return m_contacts;
}

void ContactBook::setContacts(const QList<SimContact>& contacts)
{
    QMutexLocker lock(&m_mutex);
    m_contacts = contacts;
    m_nextContact = 1;
    m_nextRow = 1;
    for (const SimContact& c : contacts) {
        m_nextContact = std::max(m_nextContact, c.id + 1);
        for (const SimRow& r : c.rows) {
            qint64 n[4];
            if (splitQuad(r.id, n))
                m_nextRow = std::max(m_nextRow, n[3] + 1);
        }
    }
}

SimContact* ContactBook::find(qint64 id)
{
    for (SimContact& c : m_contacts)
        if (c.id == id)
            return &c;
    return nullptr;
}

const SimContact* ContactBook::find(qint64 id) const
{
    return const_cast<ContactBook*>(this)->find(id);
}

bool ContactBook::hasContact(qint64 id) const
{
    QMutexLocker lock(&m_mutex);
    return find(id) != nullptr;
}

QString ContactBook::rowIdWith(const QString& value) const
{
    QMutexLocker lock(&m_mutex);
    for (const SimContact& c : m_contacts)
        for (const SimRow& r : c.rows)
            for (const QVariant& v : r.columns)
                if (v.typeId() == QMetaType::QString && v.toString() == value)
                    return r.id;
    return QString();
}

bool ContactBook::hasRow(const QString& id) const
{
    QMutexLocker lock(&m_mutex);
    qint64 n[4];
    const SimContact* c = splitQuad(id, n) ? find(n[1]) : nullptr;
    if (!c)
        return false;
    return std::any_of(c->rows.begin(), c->rows.end(), [&](const SimRow& r) { return r.id == id; });
}

QString ContactBook::addContact(const SimRow& nameRow)
{
    QMutexLocker lock(&m_mutex);
    SimContact c;
    c.id = m_nextContact++;
    SimRow row = nameRow;
    row.kind = 1;
    row.id = quadOf(1, c.id, m_nextRow++);
    c.rows.append(row);
    m_contacts.append(c);
    return row.id;
}

bool ContactBook::addRow(qint64 contactId, const SimRow& row, QString* newId)
{
    QMutexLocker lock(&m_mutex);
    SimContact* c = find(contactId);
    if (!c)
        return false;
    SimRow stored = row;
    stored.id = quadOf(row.kind, contactId, m_nextRow++);
    // The loader files a contact's rows under its name row, which goes first.
    if (row.kind == 1)
        c->rows.prepend(stored);
    else
        c->rows.append(stored);
    *newId = stored.id;
    return true;
}

bool ContactBook::updateRow(const SimRow& row)
{
    QMutexLocker lock(&m_mutex);
    qint64 n[4];
    SimContact* c = splitQuad(row.id, n) ? find(n[1]) : nullptr;
    if (!c)
        return false;
    for (SimRow& r : c->rows) {
        if (r.id == row.id) {
            r.columns = row.columns;
            return true;
        }
    }
    return false;
}

bool ContactBook::remove(const QString& id)
{
    QMutexLocker lock(&m_mutex);
    qint64 n[4];
    if (!splitQuad(id, n))
        return false;
    if (n[0] == 1) {
        for (qsizetype i = 0; i < m_contacts.size(); ++i) {
            if (m_contacts.at(i).id == n[1]) {
                m_contacts.removeAt(i);
                return true;
            }
        }
        return false;
    }
    SimContact* c = find(n[1]);
    if (!c)
        return false;
    return c->rows.removeIf([&](const SimRow& r) { return r.id == id; }) > 0;
}

bool ContactBook::removeGroups(qint64 contactId)
{
    QMutexLocker lock(&m_mutex);
    SimContact* c = find(contactId);
    if (!c)
        return false;
    c->rows.removeIf([](const SimRow& r) { return r.kind == 7; });
    return true;
}

} // namespace phonesim
