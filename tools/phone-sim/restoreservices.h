// The Phone Agent's "restore://" services played by the simulator: the
// record services bookmarks, calendars (events with their reminders), calls,
// playlists and contacts (contactrestore.h), the file upload ("upload"),
// whose files go into the simulator's FileStore once complete, so that a
// later listing shows them, and the media restore services ("images",
// "videos", "music", "ringtones"), whose files go into the FileStore and
// their collection (MediaStore) once complete, so that a later load lists
// them.
//
// Every line the PC sends is checked against the restore dialogue ("$batch:",
// at most 100 records, "$end:", then the phone's "$batch:" acknowledgement;
// "$bye:" at the end) and the record line format of its service. A line that
// does not fit is answered with "$error:" and ends the session; the reason is
// kept in RestoreStore::errors(). Acknowledged records are kept, decoded, as
// what "the phone" now holds.
#pragma once

#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>

namespace phonesim {

class PhoneSim;
class Session;

class RestoreStore {
public:
    // The records acknowledged on the service, in order. Fields:
    // calls: date (seconds), type (word), address, duration;
    // bookmarks: title, url; playlists: name, members (the "/" text);
    // calendars: calendar, start, end, tz, summary, description, allDay,
    // rrule, reminders (a list of "minutes,method" texts); upload: one
    // record per stored file: path, size, blocks (the block sizes in order);
    // contacts: one per "$ent:", "$del:" or "$ungroup:" line: command
    // ("ent", "del", "ungroup"), id (as sent), newId (what the phone answered
    // for a row it made, else empty) and the row's columns
    // ("data1".."data15").
    // media: one record per offer: name, time, source, album, device (the
    // sender's name), taken, and for a taken file stored (its path), size,
    // blocks.
    QList<QVariantMap> records(const QString& service) const;
    // Records per acknowledged batch, in order.
    QList<int> batchSizes(const QString& service) const; // contacts: lines per batch
    // Sessions of the service that ended with "$bye:".
    int completedSessions(const QString& service) const;
    // Every dialogue or format error found, as "<service>: <reason>".
    QStringList errors() const;

    void acknowledge(const QString& service, const QList<QVariantMap>& batch);
    void completed(const QString& service);
    void addError(const QString& service, const QString& reason);

private:
    mutable QMutex m_mutex;
    QMap<QString, QList<QVariantMap>> m_records;
    QMap<QString, QList<int>> m_batches;
    QMap<QString, int> m_completed;
    QStringList m_errors;
};

// Serves the restore services and returns the store they fill. A
// service's "backup://" side keeps going to the handler registered before
// (registerDataServices), so call this after that. Every simulator serves
// them from its construction; a test that wants to read what the phone
// received calls this again for a store of its own.
std::shared_ptr<RestoreStore> registerRestoreServices(PhoneSim& sim);

} // namespace phonesim
