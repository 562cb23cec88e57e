#include "androidsendchangesthread.h"

#include "jobs/contactsrestoresession.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/contactcodec.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/localcontactsdb.h"
#include "shell/core/jobreport.h"

#include <QHash>

AndroidSendChangesThread::AndroidSendChangesThread(AndroidDeviceInfo* device, LocalContactsDb* cacheDb,
                                                   JobReport* progress, QObject* parent)
    : QThread(parent)
    , device(device)
    , cacheDb(cacheDb)
    , progress(progress)
    , replyTimeoutMs(ContactsRestoreSession::kReplyTimeoutMs)
{
}

AndroidSendChangesThread::~AndroidSendChangesThread() = default;

void AndroidSendChangesThread::setChanges(pim::_Contact* edited, const QList<ContactChange>& list)
{
    mode = SendContactEdits;
    contact = edited;
    changes = list;
}

void AndroidSendChangesThread::setDeletedContacts(const QList<pim::_Contact>& contacts)
{
    mode = SendContactDeletions;
    deletedContacts = contacts;
}

void AndroidSendChangesThread::setGroupRemovals(const QList<pim::_Contact>& contacts)
{
    mode = SendGroupRemovals;
    deletedContacts = contacts;
}

void AndroidSendChangesThread::run()
{
    try {
        // Refusals come before any word to the phone or its agent.
        ContactsRestoreSession::checkReachable(*device);
        if (mode == SendContactEdits && !simpleprotocol::parseId(contact->srcId, nullptr, nullptr, nullptr, nullptr)
            && contact->rows(pim::ENTITY_NAME).isEmpty())
            throw std::runtime_error(tr("IDS_NEW_CONTACT_WITHOUT_NAME").toStdString());
        if (mode != SendContactEdits && mode != SendContactDeletions && mode != SendGroupRemovals)
            throw std::logic_error("AndroidSendChangesThread: nothing to send was given");
    } catch (const std::exception& e) {
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
        return;
    }

    // Blocking waits on the phone also end when the user cancels.
    simpleprotocol::CancelScope cancelScope(progress);
    ContactsRestoreSession session(*device);
    session.setReplyTimeoutMs(replyTimeoutMs);
    try {
        session.open();
        if (mode == SendContactEdits)
            sendChanges(session);
        else if (mode == SendContactDeletions)
            sendDeletions(session);
        else
            sendGroupRemovals(session);
        session.close();
    } catch (int) {
        session.fail();
        return;
    } catch (const std::exception& e) {
        session.fail();
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
        return;
    }
    if (progress)
        progress->postSucceed(QString());
}

void AndroidSendChangesThread::sendChanges(ContactsRestoreSession& session)
{
    if (progress)
        progress->postUpdateProgress(QString(), 99, QString());

    // The phone's two ids of the contact; a contact new to the phone gets
    // them by sending its name row alone first.
    qint64 a = 0;
    qint64 b = 0;
    QHash<qint64, QString> madeNow; // local row id to the id the phone just gave it
    if (!simpleprotocol::parseId(contact->srcId, nullptr, &a, &b, nullptr)) {
        const ContactDataRow name = contact->rows(pim::ENTITY_NAME).first();
        session.beginBatch();
        session.sendRow(pim::ENTITY_NAME, contact->id, contact->id, name, contact->id);
        const QString answer = session.endBatch();
        const QList<ContactIdMapping> mappings = session.readMappings(answer);
        if (mappings.isEmpty())
            throw std::runtime_error(
                QStringLiteral("receive $batch: command error, invalid command:$batch:%1").arg(answer).toStdString());
        const ContactIdMapping& made = mappings.first();
        cacheDb->setContactSrcId(contact->id, made.phoneId);
        cacheDb->setDataSrcId(made.rowId, made.phoneId);
        madeNow.insert(made.rowId, made.phoneId);
        simpleprotocol::parseId(made.phoneId, nullptr, &a, &b, nullptr);
    }

    session.beginBatch();
    for (const ContactChange& change : std::as_const(changes)) {
        // A new contact's name went in the batch above.
        if (change.entityType == pim::ENTITY_NAME && change.action == ContactChange::ACTION_ADDED)
            continue;
        ContactDataRow row = change.row;
        if (row.srcId.isEmpty() && madeNow.contains(row.id))
            row.srcId = madeNow.value(row.id);
        switch (change.action) {
        case ContactChange::ACTION_ADDED:
        case ContactChange::ACTION_UPDATED:
            session.sendRow(change.entityType, a, b, row, contact->id);
            break;
        case ContactChange::ACTION_DELETED:
            session.sendDeletion(simpleprotocol::formatId(change.entityType, a, b, row));
            break;
        default:
            break;
        }
    }
    applyMappings(session, session.endBatch());
}

void AndroidSendChangesThread::applyMappings(ContactsRestoreSession& session, const QString& answer)
{
    const QList<ContactIdMapping> mappings = session.readMappings(answer);
    for (const ContactIdMapping& made : mappings)
        cacheDb->setDataSrcId(made.rowId, made.phoneId);
    if (!session.unanswered(mappings).isEmpty())
        outOfStep = true;
}

void AndroidSendChangesThread::sendDeletions(ContactsRestoreSession& session)
{
    session.beginBatch();
    for (const pim::_Contact& c : std::as_const(deletedContacts)) {
        const QList<ContactDataRow> names = c.rows(pim::ENTITY_NAME);
        if (!names.isEmpty())
            session.sendDeletion(simpleprotocol::formatId(pim::ENTITY_NAME, 0, 0, names.first()));
    }
    // The phone's answer to deletions carries nothing to keep.
    session.endBatch();
}

void AndroidSendChangesThread::sendGroupRemovals(ContactsRestoreSession& session)
{
    // The contacts the phone has, with its contact ids.
    struct Removal {
        const pim::_Contact* contact;
        qint64 a;
        qint64 b;
    };
    QList<Removal> removals;
    for (const pim::_Contact& c : std::as_const(deletedContacts)) {
        qint64 a = 0;
        qint64 b = 0;
        if (simpleprotocol::parseId(c.srcId, nullptr, &a, &b, nullptr))
            removals.append({&c, a, b});
    }
    // A list without any such contact still sends its (empty) batch.
    qsizetype done = 0;
    do {
        session.beginBatch();
        for (const Removal& r : removals.mid(done, ContactsRestoreSession::kBatchContacts)) {
            const QList<ContactDataRow> groups = r.contact->rows(pim::ENTITY_GROUP);
            if (groups.isEmpty())
                session.sendUngroup(r.a);
            else
                session.sendRow(pim::ENTITY_GROUP, r.a, r.b, groups.first(), r.contact->id);
        }
        applyMappings(session, session.endBatch());
        done += ContactsRestoreSession::kBatchContacts;
    } while (done < removals.size());
}
