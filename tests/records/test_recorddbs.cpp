#include "records/absdb.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localnotesdb.h"
#include "records/localplaylistdb.h"
#include "records/namecompare.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <algorithm>

namespace {

BookmarkRecord* bookmark(BookmarkRecord* parent, const QString& title, const QString& url, int order = 0)
{
    auto* b = new BookmarkRecord(parent, url.isNull(), title, url, order, QStringLiteral("id-") + title);
    if (parent)
        parent->children.append(b);
    return b;
}

BookmarkRecord* folder(BookmarkRecord* parent, const QString& title, int order = 0)
{
    return bookmark(parent, title, QString(), order);
}

struct Tree {
    QList<BookmarkRecord*> roots;
    ~Tree() { qDeleteAll(roots); }
};

qint64 rows(LocalBookmarkDb& db)
{
    return db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from bookmarks")));
}

CalendarEventRecord makeEvent(const QString& calendar, qint64 startMs, const QString& summary)
{
    CalendarEventRecord e;
    e.calendarName = calendar;
    e.start = QDateTime::fromMSecsSinceEpoch(startMs);
    e.end = QDateTime::fromMSecsSinceEpoch(startMs + 3600000);
    e.summary = summary;
    return e;
}

QByteArray expectedHash(qint32 secs, const QByteArray& firstLine)
{
    QByteArray data;
    for (int i = 0; i < 4; ++i)
        data.append(char((quint32(secs) >> (8 * i)) & 0xff));
    data.append(firstLine);
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

CallRecord call(const QString& number, qint64 secs, int flags)
{
    CallRecord c;
    c.address = number;
    c.date = QDateTime::fromMSecsSinceEpoch(secs * 1000);
    c.flags = flags;
    return c;
}

NoteRecord note(const QString& title, const QString& content, qint64 modifiedSecs)
{
    NoteRecord n(QStringLiteral("dev"), QStringLiteral("src"));
    n.title = title;
    n.content = content;
    n.created = QDateTime::fromMSecsSinceEpoch(1000);
    n.modified = QDateTime::fromMSecsSinceEpoch(modifiedSecs * 1000);
    return n;
}

// A file made by the schema script alone, as older versions left it.
void makeOldFile(const QString& path, const char* script, const char* rows)
{
    Sqlite3DB raw;
    raw.openThrow(path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    runSchemaScript(raw, QString::fromLatin1(script));
    raw.executeScriptThrow(rows);
}

PlaylistRecord playlist(const QString& name, const QStringList& members)
{
    PlaylistRecord p;
    p.name = name;
    p.members = members;
    return p;
}

// A record database made by the schema script given.
class SchemaDb : public AbsLocalDb {
public:
    SchemaDb(const QString& path, const QString& schema)
        : AbsLocalDb(path)
        , m_schema(schema)
    {
    }
    void open() override { openOrCreate(m_schema); }

private:
    QString m_schema;
};

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

} // namespace

// The record databases and their common base.
class TestRecordDbs : public QObject {
    Q_OBJECT

private:
    QString m_path;

private Q_SLOTS:
    void init() { m_path = testsupport::makeTempDir(QStringLiteral("recorddbs")) + QStringLiteral("/records.db"); }

    void base_createReopenAndRemove()
    {
        LocalNotesDb db(m_path);
        QCOMPARE(db.count(), 0);
        db.saveNote(note(QStringLiteral("kept"), QString(), 1));
        db.close();
        QCOMPARE(db.count(), 1); // reopening keeps the rows
        db.closeAndRemoveFile();
        QVERIFY(!QFileInfo::exists(m_path));
        QCOMPARE(db.count(), 0); // the next use starts afresh from the schema
    }

    // A unit of work whose inner level failed saves nothing, and its
    // outermost commit says so instead of passing for a success.
    void base_commitOfARolledBackUnitThrows()
    {
        LocalNotesDb db(m_path);
        db.beginTran();
        db.saveNote(note(QStringLiteral("first"), QString(), 1));
        db.beginTran();
        db.endTran(false); // a part of the work failed
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.endTran(true));
        db.endTran(false); // what a caller's clean-up does next: nothing more
        QCOMPARE(db.count(), 0);
        db.beginTran();
        db.saveNote(note(QStringLiteral("second"), QString(), 2));
        db.endTran(true); // the next unit works as usual
        QCOMPARE(db.count(), 1);
    }

    void base_badSchemaOrFileGivesAnErrorAndKeepsUserData()
    {
        const QString missing = QStringLiteral(":/res/no_such_schema.sql");
        QFile probe(missing);
        QVERIFY(!probe.open(QIODevice::ReadOnly));
        SchemaDb noSchema(m_path, missing);
        try {
            noSchema.open();
            QFAIL("no exception");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), probe.errorString());
        }
        QCOMPARE(noSchema.countOf(QStringLiteral("SELECT count(*) FROM items")), 0); // no tables: 0, not a crash
        QVERIFY(!noSchema.isOpen() && !QFileInfo::exists(m_path)); // no empty file passes for a database
        SchemaDb badScript(m_path + QStringLiteral("2"),
                           writeFile(m_path + QStringLiteral(".sql"), "CREATE TABLE a (x);\nCREATE TABLEX b (y);\n"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, badScript.open());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, badScript.open()); // a half-made file is not reopened

        const QByteArray userData(5000, 'u');
        LocalNotesDb db(writeFile(m_path + QStringLiteral(".user"), userData));
        QCOMPARE(db.count(), 0);
        QVERIFY_THROWS_EXCEPTION(std::exception, db.loadAll());
        db.close();
        QFile f(m_path + QStringLiteral(".user"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), userData);
    }

    void bookmarks_storeTwiceWritesNothingNewAndDeleteBySubtree()
    {
        LocalBookmarkDb db(m_path);
        Tree t;
        BookmarkRecord* top = folder(nullptr, QStringLiteral("Bar"));
        t.roots << top;
        bookmark(top, QStringLiteral("A"), QStringLiteral("http://a"), 0);
        BookmarkRecord* sub = folder(top, QStringLiteral("Sub"), 1);
        bookmark(sub, QStringLiteral("B"), QStringLiteral("http://b"), 0);

        QList<BookmarkRecord*> inserted;
        db.beginTran();
        db.addBookmarkWithParents(top, &inserted);
        db.endTran(true);
        QCOMPARE(inserted.size(), 4);
        QCOMPARE(inserted.first(), top); // parents before children
        QVERIFY(!bookmarkLessThan(top, top) && bookmarkLessThan(top->children[0], sub)); // order_index, then title
        QCOMPARE(db.countBookmarks(), 2);

        inserted.clear();
        top->children[0]->order_index = 5;
        top->children[0]->title = QStringLiteral("renamed");
        db.addBookmarkWithParents(top, &inserted);
        QVERIFY(inserted.isEmpty());
        QCOMPARE(rows(db), 4);

        Tree loaded;
        loaded.roots = db.loadAll();
        QCOMPARE(loaded.roots.size(), 1);
        const BookmarkRecord* bar = loaded.roots[0];
        QCOMPARE(bar->children.size(), 2);
        // Bookmarks come before folders; the update kept the old title.
        QCOMPARE(bar->children[0]->title, QStringLiteral("A"));
        QCOMPARE(bar->children[0]->order_index, 5);
        QCOMPARE(bar->children[1]->title, QStringLiteral("Sub"));
        QCOMPARE(bar->children[1]->children.value(0)->url, QStringLiteral("http://b"));

        db.beginTran(); // deleting a folder takes its subtree
        db.deleteBookmark(bar->children[1]);
        db.endTran(true);
        QCOMPARE(rows(db), 2);
        QCOMPARE(db.countBookmarks(), 1);
    }

    void bookmarks_storeDeepCreatesFolderPathAndMatches()
    {
        LocalBookmarkDb db(m_path);
        Tree t;
        BookmarkRecord* a = folder(nullptr, QStringLiteral("A"));
        BookmarkRecord* same = folder(nullptr, QStringLiteral("A"));
        BookmarkRecord* other = folder(nullptr, QStringLiteral("Other"));
        t.roots << a << same << other;
        BookmarkRecord* b = folder(a, QStringLiteral("B"));
        BookmarkRecord* deep = bookmark(b, QStringLiteral("deep"), QStringLiteral("http://Example.com"));
        QList<BookmarkRecord*> inserted;
        db.addBookmarkWithParents(deep, &inserted);
        QCOMPARE(inserted, QList<BookmarkRecord*>({a, b, deep}));

        // Folders match by title, bookmarks by url ignoring case.
        BookmarkRecord* sibling
            = bookmark(folder(same, QStringLiteral("B")), QStringLiteral("y"), QStringLiteral("http://example.COM"));
        BookmarkRecord* newer = bookmark(sibling->parent, QStringLiteral("other"), QStringLiteral("http://other"));
        bookmark(other, QStringLiteral("x"), QStringLiteral("http://example.com"));
        inserted.clear();
        for (BookmarkRecord* r : t.roots)
            db.addBookmarkWithParents(r, &inserted);
        QCOMPARE(inserted, QList<BookmarkRecord*>({newer, other, other->children[0]}));
        QCOMPARE(rows(db), 6);
    }

    void bookmarks_loadAllRebuildsTreeAndDropsOrphans()
    {
        LocalBookmarkDb db(m_path);
        db.beginTran();
        db.connection().executeThrow(
            QStringLiteral("insert into bookmarks(id,parent,type,title,url,order_index,src_id) values"
                           "(1,NULL,1,'root',NULL,0,''),(2,1,0,'in root','http://r',0,''),"
                           "(3,99,1,'orphan folder',NULL,0,''),(4,3,0,'below orphan','http://o',0,''),"
                           "(5,NULL,0,'top',NULL,1,''),(6,6,1,'own parent',NULL,0,'')"));
        db.endTran(true);
        Tree loaded;
        loaded.roots = db.loadAll();
        QCOMPARE(loaded.roots.size(), 2);
        QCOMPARE(loaded.roots[0]->title, QStringLiteral("top")); // bookmarks before folders
        QVERIFY(loaded.roots[0]->url.isEmpty()); // NULL url reads empty
        QCOMPARE(loaded.roots[1]->children.size(), 1);
    }

    void calendar_hashStartSecondsAndFirstSummaryLine()
    {
        CalendarEventRecord e = makeEvent(QString(), 1500, QStringLiteral("Lunch\nwith Ann"));
        QCOMPARE(e.hash(), expectedHash(1, "Lunch"));
        e.summary.clear();
        QCOMPARE(e.hash(), expectedHash(1, QByteArray())); // the 4 start bytes alone
        e.start = QDateTime::fromMSecsSinceEpoch(-1500); // toward zero: -1
        QCOMPARE(e.hash(), expectedHash(-1, QByteArray()));
        // Past 2038 the hash keeps the 32-bit form of the seconds.
        const qint64 late = 4102444800LL; // 2100-01-01
        e.start = QDateTime::fromMSecsSinceEpoch(late * 1000);
        QCOMPARE(e.hash(), expectedHash(qint32(quint32(late)), QByteArray()));

        // Later events sort first; events starting together are equivalent.
        const CalendarEventRecord early = makeEvent(QString(), 1000, QStringLiteral("early"));
        QVERIFY(calendarEventLessThan(e, early) && !calendarEventLessThan(early, e));
        QVERIFY(!calendarEventLessThan(early, makeEvent(QString(), 1000, QStringLiteral("same time"))));
        QVERIFY(!calendarEventLessThan(early, early));
    }

    void calendar_duplicateInSameCalendarOnly()
    {
        LocalCalendarsDb db(m_path);
        CalendarEventRecord a = makeEvent(QStringLiteral("Work"), 1000000, QStringLiteral("Meeting\nroom 1"));
        CalendarReminderRecord rem;
        rem.minutes = 15;
        a.reminders << rem;
        a.allDay = 1;
        a.url = QStringLiteral("http://x");
        bool dup = true;
        db.beginTran();
        const qint64 id = db.addEvent(0, a, &dup);
        QVERIFY(!dup);
        CalendarEventRecord b = makeEvent(QStringLiteral("Work"), 1000400, QStringLiteral("Meeting\nroom 2"));
        QCOMPARE(db.addEvent(0, b, &dup), id);
        QVERIFY(dup);
        QVERIFY(db.addEvent(0, makeEvent(QStringLiteral("Home"), 1000000, QStringLiteral("Meeting")), &dup) != id);
        QVERIFY(!dup);
        db.endTran(true);
        // Times before 1970 and past 2038 come back whole.
        CalendarEventRecord far = makeEvent(QStringLiteral("Zzz"), 4102444800LL * 1000, QStringLiteral("x"));
        far.end = QDateTime::fromMSecsSinceEpoch(-2208988800LL * 1000);
        db.addEvent(0, far, nullptr);

        const QList<CalendarRecord> cals = db.loadAll();
        QCOMPARE(cals.size(), 3);
        QCOMPARE(cals[0].name, QStringLiteral("Home"));
        const CalendarEventRecord& stored = cals[1].events.value(0);
        QCOMPARE(stored.id, id);
        QCOMPARE(stored.summary, QStringLiteral("Meeting\nroom 1"));
        QCOMPARE(stored.allDay, 1);
        QCOMPARE(stored.url, QStringLiteral("http://x"));
        QCOMPARE(stored.reminders.size(), 1);
        QCOMPARE(stored.reminders[0].minutes, 15);
        const CalendarEventRecord& back = cals[2].events.value(0);
        QCOMPARE(back.start, far.start);
        QCOMPARE(back.end, far.end);
        QCOMPARE(back.hash(), far.hash());
    }

    void calendar_namesMatchWithoutWildcardsAndEmptyCalendarsGo()
    {
        LocalCalendarsDb db(m_path);
        const qint64 work = db.getOrCreateCalendar(QStringLiteral("Work"), QStringLiteral("7"));
        QCOMPARE(db.getOrCreateCalendar(QStringLiteral("work"), QString()), work);
        QVERIFY(db.getOrCreateCalendar(QStringLiteral("W%"), QString()) != work);
        QVERIFY(db.getOrCreateCalendar(QStringLiteral("Wor_"), QString()) != work);
        CalendarEventRecord e = makeEvent(QStringLiteral("WORK"), 0, QStringLiteral("a"));
        e.reminders << CalendarReminderRecord();
        const qint64 id = db.addEvent(0, e, nullptr);
        db.addEvent(0, makeEvent(QStringLiteral("WORK"), 0, QStringLiteral("b")), nullptr);
        const qint64 solo = db.addEvent(0, makeEvent(QStringLiteral("Solo"), 0, QStringLiteral("only")), nullptr);
        QCOMPARE(db.loadAll().size(), 4);
        // Deleting events drops the calendars left empty, and the reminders.
        db.beginTran();
        db.deleteEvent(id);
        db.deleteEvent(solo);
        db.endTran(true);
        const QList<CalendarRecord> cals = db.loadAll();
        QCOMPARE(cals.size(), 1);
        QCOMPARE(cals[0].srcId, QStringLiteral("7"));
        QCOMPARE(cals[0].events.size(), 1);
        QCOMPARE(db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from reminders"))), 0);
    }

    void calendar_reopenAddsUrlOnceAndKeepsOldRows()
    {
        // An old file: the script's tables and rows, without the url column.
        makeOldFile(m_path, ":res/local_calendars_db.sql",
                    "insert into calendars(_id,name) values(1,'Old');"
                    "insert into events(calendar_id,start_date,end_date,summary,hash) values(1,100,200,'kept','h');"
                    "insert into reminders(event_id,minutes) values(1,5);");
        for (int round = 0; round < 2; ++round) {
            LocalCalendarsDb db(m_path);
            const QList<CalendarRecord> cals = db.loadAll();
            QCOMPARE(cals.size(), 1);
            QCOMPARE(cals[0].events.size(), 1);
            QCOMPARE(cals[0].events[0].summary, QStringLiteral("kept"));
            QCOMPARE(cals[0].events[0].start.toMSecsSinceEpoch(), 100000);
            QCOMPARE(cals[0].events[0].reminders.size(), 1);
            QVERIFY(db.connection().tbInfo(QStringLiteral("events")).contains(QStringLiteral("url")));
        }
    }

    void calls_hashDateAddressAndFlags()
    {
        const CallRecord c = call(QStringLiteral("+15551234"), 1700000000, CALL_FLAG_OUTGOING);
        const QByteArray data("\x00\xf1\x53\x65+15551234\x05\x00\x00\x00", 17); // date LE, address, flags LE
        QCOMPARE(c.hash(), QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
    }

    void calls_sameCallTwiceKeepsOneRowNewestFirst()
    {
        QVERIFY(CallRecord().duration == 0 && CallRecord().flags == 0); // left to the filler
        LocalCallHistoryDb db(m_path);
        db.beginTran();
        CallRecord a = call(QStringLiteral("555"), 1000, CALL_FLAG_INCOMING);
        a.duration = 10;
        const qint64 id = db.addCall(a);
        CallRecord b = a;
        b.duration = 99;
        b.name = QStringLiteral("Other");
        b.date = b.date.addMSecs(999); // same second
        QCOMPARE(db.addCall(b), id);
        QVERIFY(db.addCall(call(QStringLiteral("555"), 1000, CALL_FLAG_OUTGOING)) != id);
        db.endTran(true);
        CallRecord full = call(QStringLiteral("556"), 4102444800LL, 2); // past 2038; 2: no known flag
        full.faceTimeData = QByteArray("\x00\x01", 2);
        full.uniqueId = QStringLiteral("u");
        const qint64 fullId = db.addCall(full);
        const QList<CallRecord> calls = db.loadAll();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[0].id, fullId);
        QCOMPARE(calls[0].date, full.date);
        QCOMPARE(calls[0].flags, 0);
        QCOMPARE(calls[0].faceTimeData, full.faceTimeData);
        QCOMPARE(calls[0].uniqueId, full.uniqueId);
        // The stored value and hash are kept: the same call is still a duplicate.
        QCOMPARE(db.addCall(full), fullId);
        db.deleteCall(fullId);
        QCOMPARE(db.countCalls(), 2);
    }

    void calls_oldSevenColumnFileMigratedWithRows()
    {
        makeOldFile(m_path, ":res/local_callhistory_db.sql", // the script has the 7 original columns
                    "insert into call(address,date,duration,flags,person,hash) values('555',100,5,4,'Ann','h1');"
                    "insert into call(address,date,hash) values('1',9223372036854775807,'h2')");
        {
            LocalCallHistoryDb db(m_path);
            const QList<CallRecord> calls = db.loadAll();
            QCOMPARE(calls.size(), 2);
            QVERIFY(!calls[0].date.isValid()); // a date out of range is none, not a wrapped one
            const CallRecord& c = calls[1];
            QCOMPARE(c.address, QStringLiteral("555"));
            QCOMPARE(c.person, QStringLiteral("Ann"));
            QCOMPARE(c.flags, 4);
            QCOMPARE(c.answered, 1);
            QCOMPARE(c.callType, 1);
            QCOMPARE(db.connection().tbInfo(QStringLiteral("call")).value(QStringLiteral("unique_id")).cid, 19);
        }
        LocalCallHistoryDb again(m_path);
        QCOMPARE(again.countCalls(), 2);
        QCOMPARE(again.connection().tbInfo(QStringLiteral("call")).size(), 20);
    }

    void notes_sameHashUpdatesInPlace()
    {
        LocalNotesDb db(m_path);
        NoteRecord a = note(QStringLiteral("Shop"), QStringLiteral("<p>milk</p>"), 100);
        QCOMPARE(a.hash(), QCryptographicHash::hash("Shop<p>milk</p>", QCryptographicHash::Md5).toHex());
        db.beginTran();
        db.saveNote(a);
        NoteRecord again = a;
        again.summary = QStringLiteral("new summary");
        again.modified = QDateTime::fromMSecsSinceEpoch(300000);
        again.src_id = QStringLiteral("src2");
        db.saveNote(again);
        db.saveNote(note(QStringLiteral("Shop"), QStringLiteral("<p>bread</p>"), 200));
        db.endTran(true);
        QCOMPARE(db.count(), 2);
        const QList<NoteRecord> notes = db.loadAll();
        QCOMPARE(notes[0].summary, QStringLiteral("new summary")); // newest first
        QCOMPARE(notes[0].src_id, QStringLiteral("src2"));
        QCOMPARE(notes[0].modified.toMSecsSinceEpoch(), 300000);
        QCOMPARE(notes[1].content, QStringLiteral("<p>bread</p>"));

        NoteRecord old = note(QStringLiteral("old"), QString(), 0); // times in 64 bits
        old.modified = QDateTime::fromMSecsSinceEpoch(-1500);
        db.saveNote(old);
        db.saveNote(note(QStringLiteral("late"), QString(), 4102444800LL));
        const QList<NoteRecord> all = db.loadAll();
        QCOMPARE(all.first().modified.toMSecsSinceEpoch(), 4102444800LL * 1000);
        QCOMPARE(all.last().modified.toMSecsSinceEpoch(), -1000);

        db.saveNote(note(QStringLiteral("a"), QStringLiteral("b"), 1));
        db.saveNote(note(QStringLiteral("ab"), QString(), 2)); // same bytes as "a"+"b": one hash
        QCOMPARE(db.count(), 5);
        db.beginTran();
        db.removeNote(note(QStringLiteral("ab"), QString(), 9));
        db.endTran(true);
        QCOMPARE(db.count(), 4);
    }

    void playlists_duplicatesAndMembers()
    {
        LocalPlaylistDb db(m_path);
        PlaylistRecord mix = playlist(QStringLiteral("Zeta"), {QStringLiteral("a"), QStringLiteral("b/c")});
        mix.id = 77;
        const qint64 id = db.addPlaylist(mix);
        QVERIFY(id != 77);
        QCOMPARE(db.addPlaylist(mix), id);
        QVERIFY(db.addPlaylist(playlist(QStringLiteral("Zeta"), {QStringLiteral("a")})) != id);
        const PlaylistRecord empty = playlist(QStringLiteral("alpha"), {});
        QCOMPARE(empty.hash(), playlist(QStringLiteral("alpha"), {QString()}).hash());
        db.addPlaylist(empty);
        QCOMPARE(db.count(), 3);

        QList<PlaylistRecord> all = db.loadAll();
        QCOMPARE(all[0].name, QStringLiteral("Zeta")); // binary order: capitals first
        QCOMPARE(all.last().name, QStringLiteral("alpha"));
        QCOMPARE(all.last().members, QStringList({QString()}));
        const auto stored = std::find_if(all.begin(), all.end(), [&](const PlaylistRecord& p) { return p.id == id; });
        QCOMPARE(stored->members, QStringList({"a", "b", "c"}));

        QVERIFY(!lessByNameNoCase(QStringLiteral("Mix"), QStringLiteral("mix")));
        QVERIFY(!lessByNameNoCase(QStringLiteral("mix"), QStringLiteral("Mix")));
        std::stable_sort(all.begin(), all.end(), lessByNameNoCase<PlaylistRecord>);
        QCOMPARE(all[0].name, QStringLiteral("alpha"));
        db.beginTran();
        db.removePlaylist(id);
        db.endTran(true);
        QCOMPARE(db.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestRecordDbs)
#include "test_recorddbs.moc"
