#include "backupthreads.h"

#include "records/bookmarkrecord.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localcontactsdb.h"
#include "records/localnotesdb.h"
#include "records/localplaylistdb.h"

// ------------------------------------------------------------- bookmarks

BackupBookmarsThread::BackupBookmarsThread(LocalBookmarkDb* target, const QList<BookmarkRecord*>& items,
                                           JobReport* progress, QObject* parent)
    : BackupThread(target, progress, parent)
    , db(target)
    , items(items)
{
}

int BackupBookmarsThread::recordCount() const
{
    return int(items.size());
}

int BackupBookmarsThread::weight(int index) const
{
    const BookmarkRecord* r = items.at(index);
    return r->isFolder ? r->countItems() : 1;
}

void BackupBookmarsThread::addRecord(int index)
{
    QList<BookmarkRecord*> inserted;
    db->addBookmarkWithParents(items.at(index), &inserted);
}

QString BackupBookmarsThread::statusText() const
{
    return tr("IDS_BACKUPING_BOOKMARKS");
}

QString BackupBookmarsThread::counterText(int done, int total) const
{
    return QStringLiteral("Bookmarks:%1 / %2").arg(done).arg(total);
}

QString BackupBookmarsThread::resultText(int done) const
{
    return tr("IDS_SUC_BACKUP_%1_BOOKMARKS").arg(done);
}

// ------------------------------------------------------------- calendars

BackupCalendarsThread::BackupCalendarsThread(LocalCalendarsDb* target, const QList<CalendarEventRecord>& events,
                                             JobReport* progress, QObject* parent)
    : BackupThread(target, progress, parent)
    , db(target)
    , events(events)
{
}

int BackupCalendarsThread::recordCount() const
{
    return int(events.size());
}

void BackupCalendarsThread::addRecord(int index)
{
    // Calendar id 0: found or made by the event's calendar name.
    db->addEvent(0, events.at(index), nullptr);
}

QString BackupCalendarsThread::counterText(int done, int total) const
{
    return QStringLiteral("Events:%1 / %2").arg(done).arg(total);
}

QString BackupCalendarsThread::resultText(int done) const
{
    return tr("IDS_SUC_BACKUP_%1_CALENDAR_EVENTS").arg(done);
}

// ------------------------------------------------------------- calls

BackupCallsThread::BackupCallsThread(LocalCallHistoryDb* target, const QList<CallRecord>* calls, JobReport* progress,
                                     QObject* parent)
    : BackupThread(target, progress, parent)
    , db(target)
    , calls(calls)
{
}

int BackupCallsThread::recordCount() const
{
    return calls ? int(calls->size()) : 0;
}

void BackupCallsThread::addRecord(int index)
{
    db->addCall(calls->at(index));
}

QString BackupCallsThread::counterText(int done, int total) const
{
    return QStringLiteral("Calls:%1 / %2").arg(done).arg(total);
}

QString BackupCallsThread::resultText(int done) const
{
    return tr("IDS_SUC_BACKUP_%1_CALLS").arg(done);
}

// ------------------------------------------------------------- contacts

BackupContactsThread::BackupContactsThread(LocalContactsDb* db, const QList<pim::_Contact>& contacts,
                                           JobReport* progress, QObject* parent)
    : BackupThread(db, progress, parent)
    , db(db)
    , contacts(contacts)
{
}

int BackupContactsThread::recordCount() const
{
    return int(contacts.size());
}

void BackupContactsThread::addRecord(int index)
{
    pim::_Contact stored;
    bool wasMerged = false;
    db->addOrMergeContact(contacts.at(index), stored, &wasMerged);
    if (wasMerged)
        ++merged;
}

QString BackupContactsThread::statusText() const
{
    return tr("IDS_IMPORTING_CONTACTS_TO_LOCALDB");
}

QString BackupContactsThread::counterText(int done, int total) const
{
    return QStringLiteral("Contacts:%1/%2").arg(done).arg(total);
}

QString BackupContactsThread::resultText(int done) const
{
    if (merged == 0)
        return tr("IDS_SUC_IMPORT_%1_TO_LOCALDB").arg(done);
    return tr("IDS_SUC_IMPORT_%1_TO_LOCALDB_%2_MERGED").arg(done - merged).arg(merged);
}

// ------------------------------------------------------------- notes

BackupNotesThread::BackupNotesThread(LocalNotesDb* target, const QList<NoteRecord>& notes, JobReport* progress,
                                     QObject* parent)
    : BackupThread(target, progress, parent)
    , db(target)
    , notes(notes)
{
}

int BackupNotesThread::recordCount() const
{
    return int(notes.size());
}

void BackupNotesThread::addRecord(int index)
{
    db->saveNote(notes.at(index));
}

QString BackupNotesThread::statusText() const
{
    return tr("IDS_BACKUPING_NOTES");
}

QString BackupNotesThread::counterText(int done, int total) const
{
    return QStringLiteral("Notes:%1 / %2").arg(done).arg(total);
}

QString BackupNotesThread::resultText(int done) const
{
    return tr("IDS_SUC_BACKUP_%1_NOTES").arg(done);
}

// ------------------------------------------------------------- playlists

BackupPlaylistsThread::BackupPlaylistsThread(LocalPlaylistDb* db, const QList<PlaylistRecord>& playlists,
                                             JobReport* progress, QObject* parent)
    : BackupThread(db, progress, parent)
    , db(db)
    , playlists(playlists)
{
}

int BackupPlaylistsThread::recordCount() const
{
    return int(playlists.size());
}

void BackupPlaylistsThread::addRecord(int index)
{
    db->addPlaylist(playlists.at(index));
}

QString BackupPlaylistsThread::counterText(int done, int total) const
{
    return QStringLiteral("Playlists:%1 / %2").arg(done).arg(total);
}

QString BackupPlaylistsThread::resultText(int done) const
{
    return tr("IDS_SUC_BACKUP_%1_PLAYLISTS").arg(done);
}
