// The backup jobs of the record kinds, each adding the selected records to
// the kind's database in a local backup folder (see BackupThread).
#pragma once

#include "jobs/backupthread.h"
#include "records/calendarrecord.h"
#include "records/callrecord.h"
#include "records/contact.h"
#include "records/noterecord.h"
#include "records/playlistrecord.h"

#include <QList>

class LocalBookmarkDb;
class LocalCalendarsDb;
class LocalCallHistoryDb;
class LocalContactsDb;
class LocalNotesDb;
class LocalPlaylistDb;
struct BookmarkRecord;

// Bookmarks and folders (a folder with its whole subtree; missing ancestor
// folders are made). The nodes stay the caller's and must outlive the job.
class BackupBookmarsThread : public BackupThread {
    Q_OBJECT

public:
    BackupBookmarsThread(LocalBookmarkDb* target, const QList<BookmarkRecord*>& items, JobReport* progress,
                         QObject* parent = nullptr);

protected:
    int recordCount() const override;
    int weight(int index) const override;
    void addRecord(int index) override;
    QString statusText() const override;
    QString counterText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    LocalBookmarkDb* db;
    QList<BookmarkRecord*> items;
};

class BackupCalendarsThread : public BackupThread {
    Q_OBJECT

public:
    BackupCalendarsThread(LocalCalendarsDb* target, const QList<CalendarEventRecord>& events, JobReport* progress,
                          QObject* parent = nullptr);

protected:
    int recordCount() const override;
    void addRecord(int index) override;
    QString counterText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    LocalCalendarsDb* db;
    QList<CalendarEventRecord> events;
};

// Reads the caller's list in place: it must not change or go away while the
// job runs.
class BackupCallsThread : public BackupThread {
    Q_OBJECT

public:
    BackupCallsThread(LocalCallHistoryDb* target, const QList<CallRecord>* calls, JobReport* progress,
                      QObject* parent = nullptr);

protected:
    int recordCount() const override;
    void addRecord(int index) override;
    QString counterText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    LocalCallHistoryDb* db;
    const QList<CallRecord>* calls;
};

// Merges the contacts by full name. A cancel keeps the contacts handled so
// far and reports them like a normal end.
class BackupContactsThread : public BackupThread {
    Q_OBJECT

public:
    BackupContactsThread(LocalContactsDb* db, const QList<pim::_Contact>& contacts, JobReport* progress,
                         QObject* parent = nullptr);

protected:
    int recordCount() const override;
    void addRecord(int index) override;
    QString statusText() const override;
    QString counterText(int done, int total) const override;
    QString resultText(int done) const override;
    bool keepOnCancel() const override { return true; }

private:
    LocalContactsDb* db;
    QList<pim::_Contact> contacts;
    int merged = 0;
};

class BackupNotesThread : public BackupThread {
    Q_OBJECT

public:
    BackupNotesThread(LocalNotesDb* target, const QList<NoteRecord>& notes, JobReport* progress,
                      QObject* parent = nullptr);

protected:
    int recordCount() const override;
    void addRecord(int index) override;
    QString statusText() const override;
    QString counterText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    LocalNotesDb* db;
    QList<NoteRecord> notes;
};

class BackupPlaylistsThread : public BackupThread {
    Q_OBJECT

public:
    BackupPlaylistsThread(LocalPlaylistDb* db, const QList<PlaylistRecord>& playlists, JobReport* progress,
                          QObject* parent = nullptr);

protected:
    int recordCount() const override;
    void addRecord(int index) override;
    QString counterText(int done, int total) const override;
    QString resultText(int done) const override;

private:
    LocalPlaylistDb* db;
    QList<PlaylistRecord> playlists;
};
