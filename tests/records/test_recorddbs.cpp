// The record databases and their common base: units of work, files that are
// foreign or half made, duplicates found by hash, old files brought up to
// date (rows in data/), times before 1970 and past 2038.
#include "records/absdb.h"
#include "records/localbookmarkdb.h"
#include "records/localcalendarsdb.h"
#include "records/localcallhistorydb.h"
#include "records/localnotesdb.h"
#include "records/namecompare.h"

#include "testsupport.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const qint64 k2100 = 4102444800LL; // seconds: past the 32-bit range

// A folder when url is null.
BookmarkRecord* bookmark(BookmarkRecord* parent, const QString& title, const QString& url = QString(), int order = 0)
{
    auto* b = new BookmarkRecord(parent, url.isNull(), title, url, order, u"id-"_s + title);
    if (parent)
        parent->children.append(b);
    return b;
}

struct Tree {
    QList<BookmarkRecord*> roots;
    ~Tree() { qDeleteAll(roots); }
};

qint64 count(AbsLocalDb& db, const char* table)
{
    return db.connection().queryInt64Throw(Sqlite3Sql(u"select count(*) from "_s + QLatin1String(table)));
}

// A file made by the schema script alone, as older versions left it, with
// the rows of a script of tests/records/data.
void makeOldFile(const QString& path, const char* script, const char* rows)
{
    Sqlite3DB raw;
    raw.openThrow(path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
    runSchemaScript(raw, QString::fromLatin1(script));
    raw.executeScriptThrow(testsupport::readFile(testsupport::sourceDir() + u"/tests/records/data/"_s + rows));
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

// MD5 of the start seconds (32 bits, little endian) and the summary's first line.
QByteArray eventHash(qint32 secs, const QByteArray& firstLine)
{
    const quint32 u = quint32(secs);
    const char le[4] = {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
    return QCryptographicHash::hash(QByteArray(le, 4) + firstLine, QCryptographicHash::Md5).toHex();
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
    NoteRecord n(u"dev"_s, u"src"_s);
    n.title = title;
    n.content = content;
    n.modified = QDateTime::fromMSecsSinceEpoch(modifiedSecs * 1000);
    return n;
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

class TestRecordDbs : public QObject {
    Q_OBJECT

private:
    QString m_path;

private Q_SLOTS:
    void init() { m_path = testsupport::makeTempDir(u"recorddbs"_s) + u"/records.db"_s; }

    // A unit of work whose inner level failed saves nothing, and its
    // outermost commit says so instead of passing for a success.
    void base_reopenedRowsAndARolledBackUnit()
    {
        LocalNotesDb db(m_path);
        db.saveNote(note(u"kept"_s, QString(), 1));
        db.close();
        QCOMPARE(db.count(), 1); // reopened with its rows
        db.beginTran();
        db.saveNote(note(u"first"_s, QString(), 2));
        db.beginTran();
        db.endTran(false);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.endTran(true));
        db.endTran(false); // what a caller's clean-up does next: nothing more
        QCOMPARE(db.count(), 1);
        db.beginTran(); // the next unit works as usual
        db.saveNote(note(u"second"_s, QString(), 3));
        db.endTran(true);
        QCOMPARE(db.count(), 2);
    }

    void base_badSchemaOrFileGivesAnErrorAndKeepsUserData()
    {
        const QString missing = u":/res/no_such_schema.sql"_s;
        QFile probe(missing);
        QVERIFY(!probe.open(QIODevice::ReadOnly));
        SchemaDb noSchema(m_path, missing);
        try {
            noSchema.open();
            QFAIL("no exception");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), probe.errorString());
        }
        QCOMPARE(noSchema.countOf(u"SELECT count(*) FROM items"_s), 0); // no tables: 0, not a crash
        QVERIFY(!noSchema.isOpen() && !QFileInfo::exists(m_path)); // no empty file passes for a database
        SchemaDb badScript(m_path + u"2"_s, writeFile(m_path + u".sql"_s, "CREATE TABLE a (x);\nCREATE TABLEX b (y);"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, badScript.open());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, badScript.open()); // a half-made file is not reopened

        const QByteArray userData(5000, 'u');
        LocalNotesDb db(writeFile(m_path + u".user"_s, userData));
        QCOMPARE(db.count(), 0);
        QVERIFY_THROWS_EXCEPTION(std::exception, db.loadAll());
        db.close();
        QCOMPARE(testsupport::readFile(m_path + u".user"_s), userData);
    }

    // A bookmark goes in after its folders; stored again it only updates the
    // order; deleting a folder takes its subtree.
    void bookmarks_storedOnceWithTheirFoldersAndDeletedBySubtree()
    {
        LocalBookmarkDb db(m_path);
        Tree t;
        BookmarkRecord* a = bookmark(nullptr, u"A"_s);
        t.roots << a;
        BookmarkRecord* first = bookmark(a, u"first"_s, u"http://first"_s, 0);
        BookmarkRecord* b = bookmark(a, u"B"_s, QString(), 1);
        BookmarkRecord* deep = bookmark(b, u"deep"_s, u"http://Example.com"_s);
        QList<BookmarkRecord*> inserted;
        db.addBookmarkWithParents(deep, &inserted);
        QCOMPARE(inserted, QList<BookmarkRecord*>({a, b, deep}));
        QVERIFY(!bookmarkLessThan(a, a) && bookmarkLessThan(first, b)); // order_index, then title
        QVERIFY(!lessByNameNoCase(u"Mix"_s, u"mix"_s) && !lessByNameNoCase(u"mix"_s, u"Mix"_s)); // names of playlists
        inserted.clear();
        db.addBookmarkWithParents(a, &inserted);
        QCOMPARE(inserted, QList<BookmarkRecord*>({first}));
        first->order_index = 5;
        first->title = u"renamed"_s;
        inserted.clear();
        db.addBookmarkWithParents(a, &inserted);
        QVERIFY(inserted.isEmpty());

        Tree loaded;
        loaded.roots = db.loadAll();
        const BookmarkRecord* folderA = loaded.roots.value(0);
        QCOMPARE(folderA->children[0]->title, u"first"_s); // bookmarks before folders; the title kept
        QCOMPARE(folderA->children[0]->order_index, 5);
        db.beginTran();
        db.deleteBookmark(folderA->children[1]);
        db.endTran(true);
        QCOMPARE(count(db, "bookmarks"), 2);
        QCOMPARE(db.countBookmarks(), 1);
    }

    // The hash keeps 32-bit seconds (toward zero) and the summary's first
    // line; a duplicate is the same hash in the same calendar.
    void calendar_duplicatesByHashAndFarTimes()
    {
        CalendarEventRecord e = makeEvent(QString(), 1500, u"Lunch\nwith Ann"_s);
        QCOMPARE(e.hash(), eventHash(1, "Lunch"));
        e.start = QDateTime::fromMSecsSinceEpoch(-1500);
        QCOMPARE(e.hash(), eventHash(-1, "Lunch"));
        e.start = QDateTime::fromMSecsSinceEpoch(k2100 * 1000);
        QCOMPARE(e.hash(), eventHash(qint32(quint32(k2100)), "Lunch"));
        // Later events sort first; events starting together are equivalent.
        const CalendarEventRecord early = makeEvent(QString(), 1000, u"early"_s);
        QVERIFY(calendarEventLessThan(e, early) && !calendarEventLessThan(early, e));
        QVERIFY(!calendarEventLessThan(early, early));
        QVERIFY(!calendarEventLessThan(early, makeEvent(QString(), 1000, u"same time"_s)));

        LocalCalendarsDb db(m_path);
        CalendarEventRecord a = makeEvent(u"Work"_s, 1000000, u"Meeting\nroom 1"_s);
        bool dup = true;
        db.beginTran();
        const qint64 id = db.addEvent(0, a, &dup);
        QVERIFY(!dup);
        QCOMPARE(db.addEvent(0, makeEvent(u"Work"_s, 1000400, u"Meeting\nroom 2"_s), &dup), id);
        QVERIFY(dup);
        QVERIFY(db.addEvent(0, makeEvent(u"Home"_s, 1000000, u"Meeting"_s), &dup) != id && !dup);
        db.endTran(true);
        CalendarEventRecord far = makeEvent(u"Zzz"_s, k2100 * 1000, u"x"_s);
        far.end = QDateTime::fromMSecsSinceEpoch(-2208988800LL * 1000);
        db.addEvent(0, far, nullptr);

        const QList<CalendarRecord> cals = db.loadAll();
        QCOMPARE(cals.size(), 3);
        const CalendarEventRecord& stored = cals[1].events.value(0);
        QCOMPARE(stored.summary, u"Meeting\nroom 1"_s);
        const CalendarEventRecord& back = cals[2].events.value(0); // before 1970 and past 2038
        QCOMPARE(back.start, far.start);
        QCOMPARE(back.end, far.end);
        QCOMPARE(back.hash(), far.hash());
    }

    void calendar_namesMatchWithoutWildcardsAndEmptyCalendarsGo()
    {
        LocalCalendarsDb db(m_path);
        const qint64 work = db.getOrCreateCalendar(u"Work"_s, u"7"_s);
        QCOMPARE(db.getOrCreateCalendar(u"work"_s, QString()), work);
        QVERIFY(db.getOrCreateCalendar(u"W%"_s, QString()) != work);
        QVERIFY(db.getOrCreateCalendar(u"Wor_"_s, QString()) != work);
        CalendarEventRecord e = makeEvent(u"WORK"_s, 0, u"a"_s);
        e.reminders << CalendarReminderRecord();
        const qint64 id = db.addEvent(0, e, nullptr);
        db.addEvent(0, makeEvent(u"WORK"_s, 0, u"b"_s), nullptr);
        const qint64 solo = db.addEvent(0, makeEvent(u"Solo"_s, 0, u"only"_s), nullptr);
        QCOMPARE(db.loadAll().size(), 4);
        db.beginTran(); // deleting events drops the calendars left empty, and the reminders
        db.deleteEvent(id);
        db.deleteEvent(solo);
        db.endTran(true);
        const QList<CalendarRecord> cals = db.loadAll();
        QCOMPARE(cals.size(), 1);
        QCOMPARE(cals[0].srcId, u"7"_s);
        QCOMPARE(cals[0].events.size(), 1);
        QCOMPARE(count(db, "reminders"), 0);
    }

    void calls_sameCallTwiceKeepsOneRowNewestFirst()
    {
        // The hash: date (seconds, LE), address, flags (LE).
        const QByteArray data("\x00\xf1\x53\x65+15551234\x05\x00\x00\x00", 17);
        QCOMPARE(call(u"+15551234"_s, 1700000000, CALL_FLAG_OUTGOING).hash(),
                 QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
        QVERIFY(CallRecord().duration == 0 && CallRecord().flags == 0); // left to the filler

        LocalCallHistoryDb db(m_path);
        db.beginTran();
        CallRecord a = call(u"555"_s, 1000, CALL_FLAG_INCOMING);
        const qint64 id = db.addCall(a);
        a.duration = 99;
        a.date = a.date.addMSecs(999); // same second
        QCOMPARE(db.addCall(a), id);
        QVERIFY(db.addCall(call(u"555"_s, 1000, CALL_FLAG_OUTGOING)) != id);
        db.endTran(true);
        CallRecord full = call(u"556"_s, k2100, 2); // 2: no known flag
        const qint64 fullId = db.addCall(full);
        const QList<CallRecord> calls = db.loadAll();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[0].date, full.date);
        QCOMPARE(calls[0].flags, 0);
        // The stored value and hash are kept: the same call is still a duplicate.
        QCOMPARE(db.addCall(full), fullId);
    }

    // Files older versions left, read, then written twice: their rows kept,
    // read as they are (nothing added by a read), the columns added since
    // added once by the first write.
    void oldFiles_migratedWithTheirRows()
    {
        const QString calendars = m_path + u".calendars"_s;
        makeOldFile(m_path, ":res/local_callhistory_db.sql", "old_calls.sql");
        makeOldFile(calendars, ":res/local_calendars_db.sql", "old_calendars.sql");
        for (int round = 0; round < 3; ++round) {
            const bool written = round > 0;
            LocalCallHistoryDb db(m_path);
            const QList<CallRecord> calls = db.loadAll();
            QCOMPARE(calls.size(), 2);
            QVERIFY(!calls[0].date.isValid()); // a date out of range is none, not a wrapped one
            QCOMPARE(calls[1].person, u"Ann"_s);
            QCOMPARE(calls[1].answered, 1);
            QCOMPARE(calls[1].callType, 1);
            QCOMPARE(db.connection().tbInfo(u"call"_s).size(), written ? 20 : 7);
            db.beginTran(); // a writing path brings the file up to date
            db.endTran(true);
            QCOMPARE(db.connection().tbInfo(u"call"_s).size(), 20);
            QCOMPARE(db.connection().tbInfo(u"call"_s).value(u"unique_id"_s).cid, 19);
            LocalCalendarsDb cal(calendars);
            const QList<CalendarRecord> cals = cal.loadAll();
            QCOMPARE(cals.value(0).events.value(0).summary, u"kept"_s);
            QCOMPARE(cals[0].events[0].start.toMSecsSinceEpoch(), 100000);
            QCOMPARE(cals[0].events[0].reminders.size(), 1);
            QCOMPARE(cal.connection().tbInfo(u"events"_s).contains(u"url"_s), written);
            cal.beginTran();
            cal.endTran(true);
            QVERIFY(cal.connection().tbInfo(u"events"_s).contains(u"url"_s));
        }
    }

    void notes_sameHashUpdatesInPlaceAndTimesAre64Bit()
    {
        LocalNotesDb db(m_path);
        NoteRecord a = note(u"Shop"_s, u"<p>milk</p>"_s, 100);
        QCOMPARE(a.hash(), QCryptographicHash::hash("Shop<p>milk</p>", QCryptographicHash::Md5).toHex());
        db.saveNote(a);
        a.summary = u"new summary"_s;
        a.modified = QDateTime::fromMSecsSinceEpoch(300000);
        db.saveNote(a);
        db.saveNote(note(u"Shop"_s, u"<p>bread</p>"_s, 200));
        QCOMPARE(db.count(), 2);
        QCOMPARE(db.loadAll().value(0).summary, u"new summary"_s); // newest first

        NoteRecord old = note(u"old"_s, QString(), 0);
        old.modified = QDateTime::fromMSecsSinceEpoch(-1500); // before 1970: whole seconds toward zero
        db.saveNote(old);
        db.saveNote(note(u"late"_s, QString(), k2100));
        const QList<NoteRecord> all = db.loadAll();
        QCOMPARE(all.first().modified.toMSecsSinceEpoch(), k2100 * 1000);
        QCOMPARE(all.last().modified.toMSecsSinceEpoch(), -1000);
    }
};

QTEST_GUILESS_MAIN(TestRecordDbs)
#include "test_recorddbs.moc"
