// Writes what the user did to a phone's contacts on the PC back to the
// phone, over its "contacts" restore service: the edits of one contact, the
// deletion of contacts, or their group removals. The phone's ids of the
// rows it makes are stored in the phone's cache database, inside the
// transaction the caller (the contacts page) holds open on it: the caller
// commits only when the job succeeded, so its rollback also drops those ids.
//
// An edit of a contact the phone does not have yet first sends its name row
// alone, for the phone's contact ids, then every change in one batch; an
// edit of a contact the phone has sends one batch. A phone's id is stored
// only on the row it was made for (see ContactsRestoreSession). A new contact
// without a name row, and a device that is not connected (a virtual device),
// are refused before anything is sent.
//
// Group removals go by the phone's contact id: a contact left without a
// group row is taken out of all its groups ("$ungroup:"), one that keeps
// groups sends its first group row; contacts the phone does not have are
// skipped. A batch holds as many contacts as a contact restore's (the
// phone's limit), so a long list goes in several.
//
// Failures and cancels end the session and force-stop the Phone Agent (over
// USB); a failure is posted, a cancel says nothing. Success posts an empty
// text.
#pragma once

#include "records/contact.h"
#include "records/contactchange.h"

#include <QList>
#include <QThread>

class AndroidDeviceInfo;
class ContactsRestoreSession;
class JobReport;
class LocalContactsDb;

// What run() sends.
enum SendChangesMode { SendContactEdits = 0, SendContactDeletions = 1, SendGroupRemovals = 2 };

class AndroidSendChangesThread : public QThread {
    Q_OBJECT

public:
    // None of the pointers is owned.
    AndroidSendChangesThread(AndroidDeviceInfo* device, LocalContactsDb* cacheDb, JobReport* progress,
                             QObject* parent = nullptr);
    ~AndroidSendChangesThread() override;

    // The contact as stored after the edits (its rows with their local ids)
    // and the edits in the editor's order; added rows carry the local ids
    // they were stored under. The contact must outlive the run.
    void setChanges(pim::_Contact* contact, const QList<ContactChange>& changes);
    // Each contact goes by its first name row.
    void setDeletedContacts(const QList<pim::_Contact>& contacts);
    // The contacts as stored after the user's group changes, with their
    // phone ids.
    void setGroupRemovals(const QList<pim::_Contact>& contacts);
    void setReplyTimeoutMs(int ms) { replyTimeoutMs = ms; }

    // After a successful run: a row went to the phone as new but the phone
    // named no id for it, so the cache no longer mirrors the phone.
    bool cacheOutOfStep() const { return outOfStep; }

protected:
    void run() override;

private:
    void sendChanges(ContactsRestoreSession& session);
    void sendDeletions(ContactsRestoreSession& session);
    void sendGroupRemovals(ContactsRestoreSession& session);
    // Stores the phone's ids of the rows the batch made.
    void applyMappings(ContactsRestoreSession& session, const QString& answer);

    int mode = -1;
    AndroidDeviceInfo* device;
    LocalContactsDb* cacheDb;
    JobReport* progress;
    pim::_Contact* contact = nullptr;
    QList<ContactChange> changes;
    QList<pim::_Contact> deletedContacts; // deletions and group removals
    int replyTimeoutMs;
    bool outOfStep = false;
};
