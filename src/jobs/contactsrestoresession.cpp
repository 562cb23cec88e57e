#include "contactsrestoresession.h"

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/contactcodec.h"
#include "phonelink/protocol/simpleprotocol.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {

// Answers are shown in error texts up to this length.
constexpr int kShownAnswer = 200;

QString shown(const QString& text)
{
    return text.size() > kShownAnswer ? text.left(kShownAnswer) + QStringLiteral("...") : text;
}

} // namespace

ContactsRestoreSession::ContactsRestoreSession(const AndroidDeviceInfo& device)
    : m_phone(device)
{
}

void ContactsRestoreSession::checkReachable(const AndroidDeviceInfo& device)
{
    if (!device.folder.isEmpty())
        throw std::runtime_error(
            QCoreApplication::translate("ContactsRestoreSession", "IDS_DEVICE_NOT_CONNECTED").toStdString());
}

void ContactsRestoreSession::open()
{
    m_phone.open(PhoneSession::Scheme::Restore, QStringLiteral("contacts"));
}

void ContactsRestoreSession::beginBatch()
{
    m_sent.clear();
    m_sentNew.clear();
    m_newIds.clear();
    m_batchOwner.clear();
    simpleprotocol::sendCommand(m_phone.socket(), QStringLiteral("$batch:"), QString(), true, -1);
}

void ContactsRestoreSession::sendRow(int kind, qint64 second, qint64 third, const ContactDataRow& row, qint64 contactId)
{
    // A row goes under the phone's id or under minus its local id; with
    // neither, no answer could find its way back to it.
    if (row.srcId.isEmpty() ? row.id <= 0 : !simpleprotocol::parseId(row.srcId, nullptr, nullptr, nullptr, nullptr))
        throw std::runtime_error(
            QStringLiteral("A contact row without a usable id (%1) cannot be sent.").arg(row.srcId).toStdString());
    const QString id = simpleprotocol::formatId(kind, second, third, row);
    if (m_sent.contains(id))
        throw std::runtime_error(
            QStringLiteral("The contact row %1 was to go twice in one batch.").arg(id).toStdString());
    simpleprotocol::sendCommand(m_phone.socket(), QStringLiteral("$ent:"),
                                simpleprotocol::encodeDataRow(kind, second, third, row), false, -1);
    ContactIdMapping sent;
    sent.kind = kind;
    sent.contactId = contactId;
    sent.rowId = row.id;
    sent.sentId = id;
    m_sent.insert(id, sent);
    // Every row but a new contact's name goes under its phone contact.
    if (kind != pim::ENTITY_NAME || !row.srcId.isEmpty()) {
        qint64 phoneContact = 0;
        if (simpleprotocol::parseId(id, nullptr, &phoneContact, nullptr, nullptr))
            m_batchOwner.insert(phoneContact, contactId);
    }
    if (row.srcId.isEmpty()) {
        m_sentNew.append(id);
        m_newIds.insert(id);
    }
}

void ContactsRestoreSession::sendDeletion(const QString& id)
{
    simpleprotocol::sendCommand(m_phone.socket(), QStringLiteral("$del:"), id, false, -1);
}

void ContactsRestoreSession::sendUngroup(qint64 phoneContact)
{
    simpleprotocol::sendCommand(m_phone.socket(), QStringLiteral("$ungroup:"), QString::number(phoneContact), false,
                                -1);
}

QString ContactsRestoreSession::endBatch()
{
    simpleprotocol::sendCommand(m_phone.socket(), QStringLiteral("$end:"), QString(), true, -1);
    QElapsedTimer waited;
    waited.start();
    QString line;
    try {
        line = simpleprotocol::expectCommand(m_phone.socket(), QStringLiteral("$batch:"), m_replyTimeoutMs);
    } catch (const simpleprotocol::SocketDataTransferException&) {
        if (m_replyTimeoutMs >= 0 && waited.elapsed() >= m_replyTimeoutMs)
            throw std::runtime_error(QStringLiteral("The phone did not answer within %1 seconds.")
                                         .arg(m_replyTimeoutMs / 1000.0)
                                         .toStdString());
        throw;
    }
    const QString answer = line.mid(7);
    qDebug("Android Sync, %s", qUtf8Printable(shown(answer)));
    return answer;
}

QList<ContactIdMapping> ContactsRestoreSession::readMappings(const QString& answer)
{
    static const QRegularExpression pair(
        QStringLiteral("(-?[0-9]+/-?[0-9]+/-?[0-9]+/-?[0-9]+)=>(-?[0-9]+/-?[0-9]+/-?[0-9]+/-?[0-9]+)"));
    // Whatever separates the pairs is the phone's choice, but it carries no
    // letters or digits: those would be a pair we cannot read.
    static const QRegularExpression stray(QStringLiteral("[0-9A-Za-z]"));
    QList<ContactIdMapping> mappings;
    QSet<QString> answered;
    QString rest = answer;
    QRegularExpressionMatchIterator it = pair.globalMatch(answer);
    qsizetype removed = 0;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        rest.remove(m.capturedStart() - removed, m.capturedLength());
        removed += m.capturedLength();
        const QString sentId = m.captured(1);
        const QString phoneId = m.captured(2);
        qint64 fourth = 0;
        if (!simpleprotocol::parseId(sentId, nullptr, nullptr, nullptr, nullptr)
            || !simpleprotocol::parseId(phoneId, nullptr, nullptr, nullptr, &fourth) || fourth < 0)
            throw simpleprotocol::LocalException(
                m_phone.socket(),
                QStringLiteral("invalid id pair in the answer to a batch: %1").arg(shown(m.captured(0))));
        if (!m_sent.contains(sentId))
            throw simpleprotocol::LocalException(
                m_phone.socket(),
                QStringLiteral("the phone answered with an id for a row it was not sent: %1").arg(sentId));
        if (answered.contains(sentId))
            throw simpleprotocol::LocalException(m_phone.socket(),
                                                 QStringLiteral("the phone answered twice for the row %1").arg(sentId));
        answered.insert(sentId);
        // A row sent under the phone's own id keeps it.
        if (!m_newIds.contains(sentId))
            continue;
        ContactIdMapping mapping = m_sent.value(sentId);
        mapping.phoneId = phoneId;
        checkContact(mapping, m.captured(0));
        mappings.append(mapping);
    }
    if (rest.contains(stray))
        throw simpleprotocol::LocalException(m_phone.socket(),
                                             QStringLiteral("invalid answer to a batch: $batch:%1").arg(shown(answer)));
    return mappings;
}

void ContactsRestoreSession::checkContact(const ContactIdMapping& mapping, const QString& pair)
{
    int sentKind = 0;
    qint64 sentContact = 0;
    int kind = 0;
    qint64 phoneContact = 0;
    simpleprotocol::parseId(mapping.sentId, &sentKind, &sentContact, nullptr, nullptr);
    simpleprotocol::parseId(mapping.phoneId, &kind, &phoneContact, nullptr, nullptr);
    if (kind != sentKind)
        throw simpleprotocol::LocalException(
            m_phone.socket(),
            QStringLiteral("the phone answered with an id of another kind for the row %1: %2")
                .arg(mapping.sentId, mapping.phoneId));
    // A new contact's name row went under local ids; any other row under
    // the phone contact it belongs to.
    qint64 expected = m_phoneContact.value(mapping.contactId, phoneContact);
    if (sentKind != pim::ENTITY_NAME)
        expected = sentContact;
    if (phoneContact != expected)
        throw simpleprotocol::LocalException(
            m_phone.socket(),
            QStringLiteral("the phone answered for the row %1 with an id of another contact: %2")
                .arg(mapping.sentId, mapping.phoneId));
    const auto given = m_givenTo.constFind(phoneContact);
    const qint64 owner = given != m_givenTo.cend() ? given->first : m_batchOwner.value(phoneContact, mapping.contactId);
    if (owner != mapping.contactId)
        throw simpleprotocol::LocalException(
            m_phone.socket(),
            QStringLiteral("the phone answered with one contact id for two contacts: %1")
                .arg(given != m_givenTo.cend() ? given->second + QStringLiteral(" and ") + pair : pair));
    m_phoneContact.insert(mapping.contactId, phoneContact);
    if (given == m_givenTo.cend())
        m_givenTo.insert(phoneContact, {mapping.contactId, pair});
}

QList<ContactIdMapping> ContactsRestoreSession::unanswered(const QList<ContactIdMapping>& mappings) const
{
    QSet<QString> answered;
    for (const ContactIdMapping& m : mappings)
        answered.insert(m.sentId);
    QList<ContactIdMapping> missing;
    for (const QString& id : m_sentNew)
        if (!answered.contains(id))
            missing.append(m_sent.value(id));
    return missing;
}

void ContactsRestoreSession::close()
{
    simpleprotocol::sendCommand(m_phone.socket(), QStringLiteral("$bye:"), QString(), true, -1);
    m_phone.close();
}

void ContactsRestoreSession::fail()
{
    m_phone.fail();
}
