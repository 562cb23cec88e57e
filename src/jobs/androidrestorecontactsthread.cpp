#include "androidrestorecontactsthread.h"

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "platform/transaction.h"
#include "records/localcontactsdb.h"
#include "shell/core/jobreport.h"

#include <algorithm>

namespace {

// Names listed in the result; more are counted only.
constexpr int kNamesShown = 30;

int phasePercent(qint64 done, qint64 total, int start)
{
    return int(double(done) / double(total) * 33.0 + start);
}

} // namespace

AndroidRestoreContactsThread::AndroidRestoreContactsThread(AndroidDeviceInfo* target,
                                                           const QList<pim::_Contact>* contacts,
                                                           LocalContactsDb* targetCacheDb, JobReport* progress,
                                                           QObject* parent)
    : QThread(parent)
    , target(target)
    , contacts(contacts)
    , targetCacheDb(targetCacheDb)
    , progress(progress)
    , replyTimeoutMs(ContactsRestoreSession::kReplyTimeoutMs)
{
}

AndroidRestoreContactsThread::~AndroidRestoreContactsThread() = default;

void AndroidRestoreContactsThread::run()
{
    try {
        // Before the cache or the phone's agent is touched.
        ContactsRestoreSession::checkReachable(*target);
    } catch (const std::exception& e) {
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
        return;
    }
    // Blocking waits on the phone also end when the user cancels.
    simpleprotocol::CancelScope cancelScope(progress);
    ContactsRestoreSession session(*target);
    session.setReplyTimeoutMs(replyTimeoutMs);
    QString error;
    try {
        restore(session);
        return;
    } catch (int) {
        // The user cancelled: the dialog is closed already, nothing to post.
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    // The cache was rolled back as restore() ended.
    session.fail();
    if (!error.isEmpty() && progress)
        progress->postErrorOccurred(error);
}

void AndroidRestoreContactsThread::restore(ContactsRestoreSession& session)
{
    Transaction tran(*targetCacheDb);
    if (progress)
        progress->postUpdateProgress(tr("IDS_MERGING_CONTACTS"), -1, QString());
    const qsizetype total = contacts->size();
    for (const pim::_Contact& c : *contacts) {
        jobreport::checkCanceled(progress);
        ++processed;
        if (progress)
            progress->postUpdateProgress(QString(), phasePercent(processed, total, 0),
                                         tr("Contacts:%1/%2").arg(processed).arg(total));
        merge(c);
    }

    if (progress)
        progress->postUpdateProgress(tr("IDS_SEND_CHANGES_TO_ANDROID"), 33, QString());
    if (!newContacts.isEmpty() || !touched.isEmpty()) {
        jobreport::checkCanceled(progress);
        session.open();
        sendNewContacts(session);
        sendRows(session);
        session.close();
    }
    for (qint64 id : std::as_const(failed)) {
        // Every contact given that went into it missed the phone.
        const Touched& t = touched[id];
        for (int n = 0; n < t.newCards + t.mergedCards; ++n)
            missed << t.name;
        missedNew += t.newCards;
        missedMerged += t.mergedCards;
    }

    // An inner operation that rolled its part back leaves the unit unable to
    // commit; say so instead of reporting a success that stored nothing.
    if (targetCacheDb->connection().isRollbackOnly())
        throw std::runtime_error("The cache database rolled the transfer back.");
    tran.commit();
    if (progress)
        progress->postSucceed(resultText());
}

void AndroidRestoreContactsThread::merge(const pim::_Contact& c)
{
    pim::_Contact stored;
    bool merged = false;
    const QMap<int, QList<ContactDataRow>> written = targetCacheDb->addOrMergeContact(c, stored, &merged);
    if (merged)
        ++mergedCount;
    const bool seen = touched.contains(stored.id);
    if (written.isEmpty()) {
        // Nothing of its own to send; it reaches the phone with the contact
        // this run already writes to, or not at all.
        if (seen) {
            Touched& t = touched[stored.id];
            ++(merged ? t.mergedCards : t.newCards);
        }
        return;
    }
    const QList<ContactDataRow> names = stored.rows(pim::ENTITY_NAME);
    if (names.isEmpty()) {
        // Without a name the phone cannot make the contact: its rows stay
        // on the PC only.
        missed << stored.fullName;
        ++(merged ? missedMerged : missedNew);
        return;
    }
    // A contact of the same full name as one before it in the list merges
    // into what that one wrote: the stored contact goes to the phone once,
    // with the rows of both.
    Touched& t = touched[stored.id];
    if (!seen) {
        t.name = stored.fullName;
        t.phoneId = names.first().srcId;
        if (written.contains(pim::ENTITY_NAME))
            newContacts.append(stored);
    }
    ++(merged ? t.mergedCards : t.newCards);
    addWritten(t, written);
}

void AndroidRestoreContactsThread::addWritten(Touched& t, const QMap<int, QList<ContactDataRow>>& written)
{
    for (auto kind = written.cbegin(); kind != written.cend(); ++kind) {
        QList<ContactDataRow>& rows = t.written[kind.key()];
        for (const ContactDataRow& row : kind.value()) {
            // A row an earlier contact wrote and this one changed again.
            const auto same = std::find_if(rows.begin(), rows.end(),
                                           [&](const ContactDataRow& r) { return row.id != 0 && r.id == row.id; });
            if (same != rows.end())
                *same = row;
            else
                rows.append(row);
        }
    }
}

void AndroidRestoreContactsThread::sendNewContacts(ContactsRestoreSession& session)
{
    const qsizetype count = newContacts.size();
    qsizetype sent = 0;
    while (sent < count) {
        jobreport::checkCanceled(progress);
        session.beginBatch();
        const qsizetype end = qMin(sent + ContactsRestoreSession::kBatchContacts, count);
        for (; sent < end; ++sent) {
            const pim::_Contact& s = newContacts.at(sent);
            // The name row as the merge wrote it.
            const QList<ContactDataRow> names = touched.value(s.id).written.value(pim::ENTITY_NAME);
            if (!names.isEmpty())
                session.sendRow(pim::ENTITY_NAME, s.id, s.id, names.first(), s.id);
        }
        const QList<ContactIdMapping> made = session.readMappings(session.endBatch());
        for (const ContactIdMapping& m : made) {
            targetCacheDb->setContactSrcId(m.contactId, m.phoneId);
            targetCacheDb->setDataSrcId(m.rowId, m.phoneId);
            touched[m.contactId].phoneId = m.phoneId;
        }
        markFailed(session.unanswered(made));
        if (progress)
            progress->postUpdateProgress(QString(), phasePercent(sent, count, 33), QString());
    }
}

void AndroidRestoreContactsThread::sendRows(ContactsRestoreSession& session)
{
    const qsizetype count = touched.size();
    qsizetype done = 0;
    auto it = touched.cbegin();
    while (done < count) {
        jobreport::checkCanceled(progress);
        session.beginBatch();
        const qsizetype end = qMin(done + ContactsRestoreSession::kBatchContacts, count);
        for (; done < end; ++done, ++it) {
            const qint64 id = it.key();
            if (failedIds.contains(id))
                continue;
            qint64 a = 0;
            qint64 b = 0;
            if (!simpleprotocol::parseId(it->phoneId, nullptr, &a, &b, nullptr)) {
                // Never on the phone: there is no contact to add its rows to.
                failed.append(id);
                failedIds.insert(id);
                continue;
            }
            for (auto kind = it->written.cbegin(); kind != it->written.cend(); ++kind) {
                if (kind.key() == pim::ENTITY_NAME)
                    continue;
                for (const ContactDataRow& row : kind.value())
                    session.sendRow(kind.key(), a, b, row, id);
            }
        }
        const QList<ContactIdMapping> made = session.readMappings(session.endBatch());
        for (const ContactIdMapping& m : made)
            targetCacheDb->setDataSrcId(m.rowId, m.phoneId);
        markFailed(session.unanswered(made));
        if (progress)
            progress->postUpdateProgress(QString(), phasePercent(done, count, 67), QString());
    }
}

void AndroidRestoreContactsThread::markFailed(const QList<ContactIdMapping>& rows)
{
    for (const ContactIdMapping& m : rows) {
        if (!failedIds.contains(m.contactId)) {
            failed.append(m.contactId);
            failedIds.insert(m.contactId);
        }
    }
}

QString AndroidRestoreContactsThread::resultText() const
{
    const int transferred = processed - mergedCount - missedNew;
    const int merged = mergedCount - missedMerged;
    QString text = merged > 0 ? tr("IDS_SUC_TRANSFER_%1_CONTACTS_TO_ANDROID_%2_MERGED").arg(transferred).arg(merged)
                              : tr("IDS_SUC_TRANSFER_%1_CONTACTS_TO_ANDROID").arg(transferred);
    if (!missed.isEmpty())
        text += QLatin1Char('\n')
            + tr("IDS_CONTACTS_NOT_TRANSFERRED_%1_%2")
                  .arg(jobreport::namesShown(missed, kNamesShown, QStringLiteral("...")))
                  .arg(missed.size());
    return text;
}
