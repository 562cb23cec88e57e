// The "contacts" restore service of one phone, as the contact jobs speak it:
// batches of "$ent:", "$del:" and "$ungroup:" lines, each answered by the
// phone with "$batch:" and an "old=>new" id pair for every row it made.
//
// The session remembers what each batch sent, so that a phone's id lands
// only on the row it was made for: a pair counts only for a row this batch
// sent as new (its id ends in minus its local row id); a pair for a row sent
// under the phone's own id is ignored; a pair for anything not sent, the
// same row answered twice, or anything else in the answer is refused (the
// phone is told with "$error:"). So is a new id of another kind than its
// row's, a row's id naming another phone contact than the one it was sent
// to, and one phone contact given to two local contacts in the session:
// later edits of one would change the other on the phone. A wait for an
// answer ends after replyTimeoutMs with an error, and at once on the job's
// cancel.
#pragma once

#include "phonelink/phonesession.h"
#include "records/contact.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

class AndroidDeviceInfo;

// A row the phone made: the local ids it was sent under, and its new id.
struct ContactIdMapping {
    int kind = 0;
    qint64 contactId = 0; // the local contact the row belongs to
    qint64 rowId = 0; // the local data row
    QString sentId; // the quadruple as sent
    QString phoneId; // the phone's quadruple for it
};

class ContactsRestoreSession {
public:
    // Contacts per batch: what the phone's service takes in one.
    static constexpr int kBatchContacts = 20;
    // A phone takes its time over a batch with photos; one that says
    // nothing for this long is given up on.
    static constexpr int kReplyTimeoutMs = 120000;

    // The device is not owned and must outlive the session.
    explicit ContactsRestoreSession(const AndroidDeviceInfo& device);
    ContactsRestoreSession(const ContactsRestoreSession&) = delete;
    ContactsRestoreSession& operator=(const ContactsRestoreSession&) = delete;

    // Throws, with a text for the user, when the device has no phone to
    // talk to (a virtual device): check before anything is sent to it or
    // its agent stopped.
    static void checkReachable(const AndroidDeviceInfo& device);

    void setReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms; }
    bool isOpen() const { return m_phone.isOpen(); }

    // Opens "restore://127.0.0.1:<port>/contacts" on the phone.
    void open();
    // "$batch:"; forgets what the previous batch sent.
    void beginBatch();
    // "$ent:" of the row under kind/second/third (its own phone id when it
    // has one); contactId is the local contact it belongs to.
    void sendRow(int kind, qint64 second, qint64 third, const ContactDataRow& row, qint64 contactId);
    // "$del:" of an id quadruple.
    void sendDeletion(const QString& id);
    // "$ungroup:" of a phone contact id: the phone takes the contact out of
    // every group it is in.
    void sendUngroup(qint64 phoneContact);
    // "$end:", then the phone's "$batch:" line; returns the text after it.
    QString endBatch();
    // The pairs of an answer (endBatch's text) for the rows this batch sent
    // as new, in the answer's order; throws on anything else (see above).
    // Remembers the phone contact each local contact was given.
    QList<ContactIdMapping> readMappings(const QString& answer);
    // The rows this batch sent as new that none of the mappings names.
    QList<ContactIdMapping> unanswered(const QList<ContactIdMapping>& mappings) const;
    // "$bye:", then the connection ends.
    void close();
    // Ends the connection without a word and stops the Phone Agent (after
    // a failure or a cancel), also when it was never opened.
    void fail();

private:
    // Throws unless the phone's id of a new row is of the row's kind and
    // names the phone contact of the row's local contact, and no other's.
    void checkContact(const ContactIdMapping& mapping, const QString& pair);

    PhoneSession m_phone;
    int m_replyTimeoutMs = kReplyTimeoutMs;
    // What the batch in flight sent, by the id it went under; the order
    // of the new rows is kept for unanswered().
    QHash<QString, ContactIdMapping> m_sent;
    QList<QString> m_sentNew;
    QSet<QString> m_newIds;
    // The phone contact each local contact belongs to: what the batch in
    // flight sent under the phone's contact ids, and what the session's
    // answers gave (with the pair that gave it, for the error text).
    QHash<qint64, qint64> m_batchOwner; // phone contact -> local contact
    QHash<qint64, qint64> m_phoneContact; // local contact -> phone contact
    QHash<qint64, std::pair<qint64, QString>> m_givenTo; // phone contact -> local contact, pair
};
