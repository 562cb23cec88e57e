// Puts contacts chosen on the PC (a backup's, another phone's, a file's) on
// a phone without duplicating what it has: the contacts are first merged
// into the phone's cache database, which mirrors the phone, and only what
// that merge changed is sent: the names of contacts new to the cache (20 a
// batch), then the added or changed rows of every contact touched (20
// contacts a batch) under the phone's ids of their contact. The phone's ids
// of what it made go back into the cache, each only on the row it was made
// for (see ContactsRestoreSession). Contacts that share a full name merge
// into one stored contact, which is sent once with the rows of them all.
//
// The run is one cache transaction: a cancel or any failure rolls the merge
// back, ends the session and force-stops the Phone Agent (over USB), though
// the phone keeps what it made; the caller then reloads the cache from the
// phone before it sends it anything again.
//
// A contact whose rows stay in the cache without reaching the phone (a new
// one the phone named no id for, a merged one without the phone's id, one
// without a name row) is named in the result as not transferred and not
// counted; cacheOutOfStep() then tells the caller the cache no longer
// mirrors the phone.
#pragma once

#include "jobs/contactsrestoresession.h"
#include "records/contact.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QThread>

class AndroidDeviceInfo;
class JobReport;
class LocalContactsDb;

class AndroidRestoreContactsThread : public QThread {
    Q_OBJECT

public:
    // None of the pointers is owned; the contacts must outlive the run.
    AndroidRestoreContactsThread(AndroidDeviceInfo* target, const QList<pim::_Contact>* contacts,
                                 LocalContactsDb* targetCacheDb, JobReport* progress, QObject* parent = nullptr);
    ~AndroidRestoreContactsThread() override;

    void setReplyTimeoutMs(int ms) { replyTimeoutMs = ms; }

    // After a successful run: the contacts kept in the cache that did not
    // reach the phone, by full name.
    QStringList notTransferred() const { return missed; }
    bool cacheOutOfStep() const { return !missed.isEmpty(); }

protected:
    void run() override;

private:
    void restore(ContactsRestoreSession& session);
    void merge(const pim::_Contact& contact);
    void sendNewContacts(ContactsRestoreSession& session);
    void sendRows(ContactsRestoreSession& session);
    void markFailed(const QList<ContactIdMapping>& rows);
    QString resultText() const;

    AndroidDeviceInfo* target;
    const QList<pim::_Contact>* contacts;
    LocalContactsDb* targetCacheDb;
    JobReport* progress;
    int replyTimeoutMs;

    // The run's working state.
    // One stored contact the merge wrote to; several of the given contacts
    // land on the same one when they share its full name.
    struct Touched {
        QString name;
        int newCards = 0; // given contacts that made it
        int mergedCards = 0; // and those merged into it
        QString phoneId; // the phone's id of the contact (its name row's)
        // What the merges wrote, by kind: each row once, as last written.
        QMap<int, QList<ContactDataRow>> written;
    };
    static void addWritten(Touched& t, const QMap<int, QList<ContactDataRow>>& written);
    int processed = 0;
    int mergedCount = 0;
    QMap<qint64, Touched> touched; // by local contact id, ascending
    QList<pim::_Contact> newContacts; // in the order of contacts
    QList<qint64> failed; // touched contacts that did not reach the phone, in order
    QSet<qint64> failedIds;
    QStringList missed; // their names, and those of contacts without a name row
    int missedNew = 0; // of them, contacts new to the cache
    int missedMerged = 0; // and merged ones
};
