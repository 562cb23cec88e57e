// The local contacts file: rows of each type, names matched exactly but for
// ASCII case, the merge (what it writes, updates and keeps, and that a failure
// leaves the caller's unit to roll back), foreign and damaged rows, and the
// row comparisons the merge relies on.
#include "records/localcontactsdb.h"

#include "testsupport.h"

#include <QtTest>

#include <algorithm>

using namespace Qt::StringLiterals;

using namespace pim;

namespace {

QString d(int n)
{
    return u"data%1"_s.arg(n);
}

QVariantMap vals(std::initializer_list<std::pair<int, QVariant>> values)
{
    QVariantMap m;
    for (const auto& [n, v] : values)
        m.insert(d(n), v);
    return m;
}

ContactDataRow row(std::initializer_list<std::pair<int, QVariant>> values)
{
    ContactDataRow r;
    r.values = vals(values);
    return r;
}

// A contact with its name row and the given extra rows.
_Contact contact(const QString& fullName, std::initializer_list<std::pair<int, ContactDataRow>> rows = {})
{
    _Contact c(0, u"src-"_s + fullName, fullName);
    c.entities[ENTITY_NAME].append(row({{1, fullName}, {2, fullName.section(u' ', 0, 0)}}));
    for (const auto& [type, r] : rows)
        c.entities[type].append(r);
    return c;
}

// Column n of the index-th row of a type, as text.
QString field(const _Contact& c, int type, int index, int n)
{
    return c.rows(type).value(index).values.value(d(n)).toString();
}

bool merge(LocalContactsDb& db, const _Contact& src, _Contact* dst = nullptr)
{
    _Contact ignored;
    bool merged = false;
    db.addOrMergeContact(src, dst ? *dst : ignored, &merged);
    return merged;
}

// Runs a script of tests/records/data on the database.
void runData(Sqlite3DB& db, const char* name)
{
    db.executeScriptThrow(testsupport::readFile(testsupport::sourceDir() + u"/tests/records/data/"_s + name));
}

qint64 rowCount(LocalContactsDb& db, const char* table)
{
    return db.connection().queryInt64Throw(Sqlite3Sql(u"select count(*) from "_s + QLatin1String(table)));
}

// A checking helper (see CHECKED): f throws an error that names text.
template <typename F>
[[nodiscard]] bool expectError(F&& f, const char* text, std::source_location at = std::source_location::current())
{
    try {
        f();
    } catch (const std::exception& e) {
        HELPER_VERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String(text)), e.what());
        return true;
    }
    HELPER_VERIFY2(false, qPrintable(QStringLiteral("no error, expected one naming ") + QLatin1String(text)));
    return false;
}

QSharedPointer<AbsContactCombineRule> rule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

} // namespace

class TestContactsDb : public QObject {
    Q_OBJECT

private:
    QString m_path;

private Q_SLOTS:
    void init() { m_path = testsupport::makeTempDir(u"contactsdb"_s) + u"/contacts.db"_s; }

    void insertLoadDeleteAndUnknownTypes()
    {
        LocalContactsDb db(m_path, rule());
        _Contact c(0, u"42"_s, u"Ann Lee"_s);
        db.insertContact(c);
        const QByteArray jpeg("\xff\xd8\x00\x01\x02", 5);
        ContactDataRow name = row({{2, u"Ann"_s}, {11, u"x"_s}});
        ContactDataRow photo = row({{15, jpeg}, {4, u"stale"_s}});
        db.insertData(c.id, ENTITY_NAME, name);
        db.insertData(c.id, ENTITY_PHOTO, photo);
        // A row of a type we do not know is skipped with a log line, not fatal.
        ContactDataRow odd = row({{1, u"?"_s}});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"unknown type 42"_s));
        db.insertData(c.id, 42, odd);
        QCOMPARE(rowCount(db, "data"), 2);
        db.connection().executeThrow(u"insert into data(type,contact_id,data1) values(77,%1,'odd')"_s.arg(c.id));
        db.close();

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"unknown type 77"_s));
        const _Contact loaded = db.loadContact(c.id); // reopened with its rows
        QCOMPARE(loaded.entities.keys(), QList<int>({ENTITY_NAME, ENTITY_PHOTO}));
        const QVariantMap n = loaded.rows(ENTITY_NAME).value(0).values;
        QCOMPARE(n.value(d(2)).toString(), u"Ann"_s);
        QVERIFY(n.contains(d(7)) && !n.contains(d(11))); // the type's columns only, empty ones too
        QCOMPARE(loaded.rows(ENTITY_PHOTO).value(0).values.value(d(15)).toByteArray(), jpeg);
        QCOMPARE(field(loaded, ENTITY_PHOTO, 0, 4), photoHash(photo.values)); // stale hash replaced
        db.deleteContact(c.id);
        QCOMPARE(db.countContacts(), 0);
        QCOMPARE(rowCount(db, "data"), 0);
    }

    void nameMatchIsExactIgnoringAsciiCase()
    {
        {
            Sqlite3DB raw; // an old file, made before the NOCASE indexes existed
            raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            runSchemaScript(raw, u":res/local_contacts_db.sql"_s);
            raw.executeThrow(u"insert into contact(src_id,full_name) values('1','Alice')"_s);
        }
        LocalContactsDb db(m_path, rule());
        _Contact other;
        QVERIFY(merge(db, contact(u"ALICE"_s), &other));
        QCOMPARE(other.id, 1);
        QVERIFY(!merge(db, contact(u"A%"_s))); // "%" and "_" are no wildcards
        QVERIFY(!merge(db, contact(u"Bob_1"_s), &other));
        QCOMPARE(db.findContactByFullName(u"Bob_2"_s), 0);
        QCOMPARE(db.findContactByFullName(u"bob_1"_s), other.id);
        QVERIFY(!merge(db, _Contact()));
        QVERIFY(merge(db, _Contact())); // unnamed contacts match each other
        QCOMPARE(db.countContacts(), 4);

        // The look-up is served by the index, not a scan of the table.
        Sqlite3Cursor plan = db.connection().queryThrow(QStringLiteral(
            "explain query plan select _id,src_id from contact where full_name='x' COLLATE NOCASE limit 1"));
        QVERIFY(plan.moveNext());
        QVERIFY2(plan.getText(3).contains(QLatin1String("index_contacts_full_name_nocase")),
                 qPrintable(plan.getText(3)));
        QCOMPARE(db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral(
                     "select count(*) from sqlite_master where name='index_contact_group_name_nocase'"))),
                 1);
    }

    // A new contact keeps one name row and the merge columns only. Another
    // source of the same name updates matched rows in place, adds the others
    // and keeps rows only stored.
    void merge_updatesMatchedRowsAddsNewOnesAndKeepsTheRest()
    {
        LocalContactsDb db(m_path, rule());
        _Contact dst;
        merge(db,
              contact(u"Ann Lee"_s,
                      {{ENTITY_NAME, row({{2, u"Second"_s}})},
                       {ENTITY_PHONE, row({{1, u"555"_s}, {2, 2}, {3, QString()}})},
                       {ENTITY_NOTE, row({{1, u"keep me"_s}})},
                       {ENTITY_PHOTO, row({{15, QByteArray("\xff\xd8old", 5)}})},
                       {ENTITY_GROUP, row({{1, u"912"_s}, {2, u"Friends"_s}})},
                       {ENTITY_ORGANIZATION, row({{1, u"ACME"_s}, {2, 1}, {4, u"CEO"_s}, {6, u"x"_s}})}}),
              &dst);
        const _Contact before = db.loadContact(dst.id);
        QCOMPARE(before.rows(ENTITY_NAME).size(), 1);
        QCOMPARE(field(before, ENTITY_ORGANIZATION, 0, 4), u"CEO"_s);
        QVERIFY(field(before, ENTITY_ORGANIZATION, 0, 2).isEmpty()); // not merge columns
        QVERIFY(field(before, ENTITY_ORGANIZATION, 0, 6).isEmpty());
        const qint64 groupId
            = db.connection().queryInt64Throw(Sqlite3Sql(u"select _id from contact_group where name='Friends'"_s));
        QCOMPARE(field(before, ENTITY_GROUP, 0, 1), QString::number(groupId)); // the local group id

        const QByteArray newBytes("\xff\xd8new!", 6);
        _Contact second(0, u"x"_s, u"ann lee"_s);
        second.entities[ENTITY_PHONE]
            = {row({{1, u"555"_s}, {2, 3}, {3, QString()}}), row({{1, u"556"_s}, {2, 1}, {3, QString()}})};
        second.entities[ENTITY_PHOTO] = {row({{15, newBytes}, {4, pim::md5Base64(newBytes)}})};
        // The last group row of the source rewrites the contact's one group row.
        second.entities[ENTITY_GROUP] = {row({{1, u"1"_s}, {2, u"friends"_s}}), row({{1, u"2"_s}, {2, u"Work"_s}})};
        bool merged = false;
        const auto written = db.addOrMergeContact(second, dst, &merged);
        QVERIFY(merged);
        QCOMPARE(written.value(ENTITY_PHONE).size(), 2);
        QCOMPARE(written.value(ENTITY_PHONE)[0].id, before.rows(ENTITY_PHONE)[0].id); // updated in place

        const _Contact stored = db.loadContact(dst.id);
        QCOMPARE(stored.fullName, u"Ann Lee"_s); // header unchanged
        QCOMPARE(field(stored, ENTITY_PHONE, 0, 2), u"3"_s);
        QCOMPARE(stored.rows(ENTITY_NOTE).size(), 1); // only on the stored side: untouched
        QCOMPARE(stored.rows(ENTITY_PHOTO).size(), 1);
        QCOMPARE(stored.rows(ENTITY_PHOTO)[0].id, before.rows(ENTITY_PHOTO)[0].id);
        QCOMPARE(stored.rows(ENTITY_PHOTO)[0].values.value(d(15)).toByteArray(), newBytes);
        QCOMPARE(stored.rows(ENTITY_GROUP).size(), 1);
        QCOMPARE(field(stored, ENTITY_GROUP, 0, 2), u"Work"_s);
        QCOMPARE(rowCount(db, "contact_group"), 2); // "friends" found "Friends"
    }

    void mergeFailureInsideCallerTransactionRollsBackEverything()
    {
        LocalContactsDb db(m_path, rule());
        merge(db, contact(u"Kept One"_s));
        db.beginTran();
        merge(db, contact(u"Rolled Back"_s));
        db.connection().executeThrow(QStringLiteral("create trigger no_phones before insert on data when new.type=3 "
                                                    "begin select raise(abort,'no phones'); end"));
        CHECKED(expectError(
            [&] {
                merge(db, contact(u"Also Rolled"_s, {{ENTITY_PHONE, row({{1, u"1"_s}})}}));
            },
            "no phones"));
        db.endTran(false);
        QCOMPARE(db.connection().tranDepth(), 0);
        QCOMPARE(db.countContacts(), 1);
        merge(db, contact(u"After"_s));
        QCOMPARE(db.countContacts(), 2);
    }

    // Rows written by something else: NULLs, NUL characters, bytes that are
    // not UTF-8, and a file whose columns are not ours.
    void foreignRowsAndFiles()
    {
        LocalContactsDb db(m_path, rule());
        const QString name = QString::fromUtf16(u"Nul\u0000Name", 8), text = QString::fromUtf16(u"a\u0000b\u00e9", 4);
        _Contact c(0, QString(), name);
        db.insertContact(c);
        ContactDataRow note = row({{1, text}});
        db.insertData(c.id, ENTITY_NOTE, note);
        runData(db.connection(), "foreign_contact_rows.sql");
        const QList<_Contact> all = db.loadAll();
        QCOMPARE(all.size(), 2);
        const _Contact& broken = all[0].id == 50 ? all[0] : all[1];
        const _Contact& named = all[0].id == 50 ? all[1] : all[0];
        QCOMPARE(named.fullName, name);
        QCOMPARE(field(named, ENTITY_NOTE, 0, 1), text);
        QVERIFY(broken.fullName.isEmpty());
        QVERIFY(field(broken, ENTITY_PHONE, 0, 1).isEmpty());
        QVERIFY(!field(broken, ENTITY_NOTE, 0, 1).isEmpty());
        QCOMPARE(db.findContactByFullName(QString::fromUtf16(u"nul\u0000name", 8)), c.id);

        const QString foreign = m_path + u".foreign"_s;
        {
            Sqlite3DB raw;
            raw.openThrow(foreign, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            runData(raw, "foreign_contacts_file.sql");
        }
        LocalContactsDb other(foreign, rule());
        CHECKED(expectError([&] { other.loadAll(); }, "full_name"));
    }

    // The comparisons the merge and the views rely on.
    void rowComparisons()
    {
        // Phones sort by type rank, a strict weak order.
        auto phone = [](const char* number, const QVariant& type) {
            return row({{1, QString::fromLatin1(number)}, {2, type}});
        };
        const ContactDataRow mobile = phone("m", 2);
        QVERIFY(!phoneLessThan(mobile, mobile));
        QList<ContactDataRow> rows
            = {phone("w", 3), phone("o", 7), mobile, phone("h", 1), phone("x", 9), phone("main", u"12"_s)};
        std::stable_sort(rows.begin(), rows.end(), phoneLessThan);
        QStringList order;
        for (const ContactDataRow& r : rows)
            order << r.values.value(d(1)).toString();
        QCOMPARE(order, QStringList({"m", "main", "h", "w", "o", "x"}));

        const QStringList d3 = {d(3)};
        // Absent and empty both say "no value"; a number 0 or a blank is one.
        QVERIFY(isSameDataValues(vals({{3, QString()}}), QVariantMap(), d3));
        QVERIFY(isSameDataValues(QVariantMap(), vals({{3, u""_s}}), d3));
        QVERIFY(isSameDataValues(vals({{15, QByteArray()}}), QVariantMap(), QStringList {d(15)}));
        QVERIFY(!isSameDataValues(QVariantMap(), vals({{3, 0}}), d3));
        QVERIFY(!isSameDataValues(vals({{3, u" "_s}}), QVariantMap(), d3));
        QVERIFY(isSameDataValues(QVariantMap(), QVariantMap(), d3));
        QVERIFY(isSameDataValues(vals({{3, QString()}}), vals({{3, u""_s}}), d3));
        QVERIFY(!isSameDataValues(vals({{1, u"Ann"_s}}), vals({{1, u"ann"_s}}), QStringList {d(1)}));
        // A number equals its decimal text, in either order, and nothing else.
        QVERIFY(isSameDataValues(vals({{2, 2}}), vals({{2, u"2"_s}}), QStringList {d(2)}));
        QVERIFY(isSameDataValues(vals({{2, u"2"_s}}), vals({{2, qlonglong(2)}}), QStringList {d(2)}));
        QVERIFY(!isSameDataValues(vals({{2, 2}}), vals({{2, u"02"_s}}), QStringList {d(2)}));
        QVERIFY(!isSameDataValues(vals({{15, QByteArray("ab\0c", 4)}}), vals({{15, QByteArray("ab\0d", 4)}}),
                                  QStringList {d(15)}));
        QVERIFY(!isSameDataValues(vals({{1, u"a"_s}, {2, 1}}), vals({{1, u"a"_s}, {2, 2}}), QStringList {d(1), d(2)}));
        QVERIFY(isDataEmpty(vals({{1, QString()}, {2, u""_s}}), QStringList {d(1), d(2)}));
        QVERIFY(!isDataEmpty(vals({{2, u" "_s}}), QStringList {d(1), d(2)}));
        QVERIFY(!isDataEmpty(vals({{2, 0}}), QStringList {d(2)})); // the number 0 reads as "0"
    }
};

QTEST_GUILESS_MAIN(TestContactsDb)
#include "test_contactsdb.moc"
