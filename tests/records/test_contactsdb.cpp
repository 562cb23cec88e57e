#include "records/localcontactsdb.h"

#include "testsupport.h"

#include <QRegularExpression>
#include <QTest>

#include <algorithm>

using namespace pim;

namespace {

QString d(int n)
{
    return QStringLiteral("data%1").arg(n);
}

ContactDataRow makeRow(std::initializer_list<std::pair<int, QVariant>> values, const QString& srcId = QString())
{
    ContactDataRow r(0, srcId);
    for (const auto& v : values)
        r.values.insert(d(v.first), v.second);
    return r;
}

QVariantMap vals(std::initializer_list<std::pair<int, QVariant>> values)
{
    return makeRow(values).values;
}

QStringList keys(std::initializer_list<int> numbers)
{
    QStringList list;
    for (int n : numbers)
        list << d(n);
    return list;
}

// A contact with its name row and the given extra rows.
_Contact makeContact(const QString& fullName, std::initializer_list<std::pair<int, ContactDataRow>> rows = {})
{
    _Contact c(0, QStringLiteral("src-") + fullName, fullName);
    c.entities[ENTITY_NAME].append(makeRow(
        {{1, fullName}, {2, fullName.section(QLatin1Char(' '), 0, 0)}, {3, fullName.section(QLatin1Char(' '), 1)}},
        QStringLiteral("n1")));
    for (const auto& [type, row] : rows)
        c.entities[type].append(row);
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

qint64 rowCount(LocalContactsDb& db, const char* table)
{
    return db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from ") + QLatin1String(table)));
}

template <typename F> void expectError(F&& f, const char* text)
{
    try {
        f();
        QFAIL("no error");
    } catch (const std::exception& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String(text)), e.what());
    }
}

QSharedPointer<AbsContactCombineRule> rule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

} // namespace

class TestContactsDb : public QObject {
    Q_OBJECT

private:
    QString m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        m_dir = testsupport::makeTempDir(QStringLiteral("contactsdb"));
        m_path = m_dir + QStringLiteral("/contacts.db");
    }

    void insertLoadDelete()
    {
        LocalContactsDb db(m_path, rule());
        _Contact c(0, QStringLiteral("42"), QStringLiteral("Ann Lee"));
        db.insertContact(c);
        const QByteArray jpeg("\xff\xd8\x00\x01\x02", 5);
        ContactDataRow name = makeRow({{2, QStringLiteral("Ann")}, {11, QStringLiteral("x")}});
        ContactDataRow photo = makeRow({{15, jpeg}, {4, QStringLiteral("stale")}});
        db.insertData(c.id, ENTITY_NAME, name);
        db.insertData(c.id, ENTITY_PHOTO, photo);
        db.close();
        const _Contact loaded = db.loadContact(c.id); // reopened with its rows
        const QVariantMap n = loaded.rows(ENTITY_NAME).value(0).values;
        QCOMPARE(n.value(d(2)).toString(), QStringLiteral("Ann"));
        QVERIFY(n.contains(d(7))); // columns of the type read back empty
        QVERIFY(!n.contains(d(11))); // other keys are not stored
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
            runSchemaScript(raw, QStringLiteral(":res/local_contacts_db.sql"));
            raw.executeThrow(QStringLiteral("insert into contact(src_id,full_name) values('1','Alice')"));
        }
        LocalContactsDb db(m_path, rule());
        _Contact other;
        QVERIFY(merge(db, makeContact(QStringLiteral("ALICE")), &other));
        QCOMPARE(other.id, 1);
        QVERIFY(!merge(db, makeContact(QStringLiteral("A%")))); // "%" and "_" are no wildcards
        QVERIFY(!merge(db, makeContact(QStringLiteral("Bob_1")), &other));
        QCOMPARE(db.findContactByFullName(QStringLiteral("Bob_2")), 0);
        QCOMPARE(db.findContactByFullName(QStringLiteral("bob_1")), other.id);
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

    void unknownRowTypeIsSkippedNotFatal()
    {
        LocalContactsDb db(m_path, rule());
        _Contact c = makeContact(QStringLiteral("Ann Lee"));
        db.insertContact(c);
        ContactDataRow odd = makeRow({{1, QStringLiteral("?")}});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("unknown type 42")));
        db.insertData(c.id, 42, odd);
        QCOMPARE(rowCount(db, "data"), 0);

        db.insertData(c.id, ENTITY_NAME, c.entities[ENTITY_NAME][0]);
        db.connection().executeThrow(
            QStringLiteral("insert into data(type,contact_id,data1) values(77,%1,'odd')").arg(c.id));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("unknown type 77")));
        const QList<_Contact> all = db.loadAll();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all[0].entities.keys(), QList<int>({ENTITY_NAME}));
    }

    void mergeStoresMergeColumnsAndTwiceWritesNothing()
    {
        LocalContactsDb source(m_dir + QStringLiteral("/other.db"), rule());
        merge(source,
              makeContact(
                  QStringLiteral("Ann Lee"),
                  {{ENTITY_PHONE, makeRow({{1, QStringLiteral("555")}, {2, 2}}, QStringLiteral("ph"))},
                   {ENTITY_EMAIL, makeRow({{1, QStringLiteral("a@b.c")}, {2, 1}})},
                   {ENTITY_POSTAL, makeRow({{1, QStringLiteral("1 Main St")}, {4, QStringLiteral("1 Main St")}})}}));
        const _Contact src = source.loadAll().value(0);
        _Contact extra = src; // a second name row and non-merge columns are not stored
        extra.entities[ENTITY_NAME].append(makeRow({{2, QStringLiteral("Second")}}));
        extra.entities[ENTITY_ORGANIZATION].append(
            makeRow({{1, QStringLiteral("ACME")}, {2, 1}, {4, QStringLiteral("CEO")}, {6, QStringLiteral("x")}}));

        LocalContactsDb db(m_path, rule());
        _Contact dst;
        bool merged = true;
        const auto written = db.addOrMergeContact(extra, dst, &merged);
        QVERIFY(!merged);
        QVERIFY(written.value(ENTITY_PHONE)[0].srcId.isEmpty());
        const _Contact stored = db.loadContact(dst.id);
        QCOMPARE(stored.rows(ENTITY_NAME).size(), 1);
        QCOMPARE(field(stored, ENTITY_NAME, 0, 1), QStringLiteral("Ann Lee"));
        QCOMPARE(field(stored, ENTITY_ORGANIZATION, 0, 4), QStringLiteral("CEO"));
        QVERIFY(field(stored, ENTITY_ORGANIZATION, 0, 2).isEmpty()); // not a merge column
        QVERIFY(field(stored, ENTITY_ORGANIZATION, 0, 6).isEmpty());

        const qint64 rows = rowCount(db, "data");
        QVERIFY(db.addOrMergeContact(src, dst, &merged).isEmpty());
        QVERIFY(merged);
        QCOMPARE(rowCount(db, "data"), rows);
        QCOMPARE(db.countContacts(), 1);
        QCOMPARE(db.connection().tranDepth(), 0);
    }

    void mergeUpdatesMatchedRowsAndAddsNewOnes()
    {
        LocalContactsDb db(m_path, rule());
        const QByteArray newBytes("\xff\xd8new!", 6);
        _Contact dst;
        merge(db,
              makeContact(QStringLiteral("Ann Lee"),
                          {{ENTITY_PHONE, makeRow({{1, QStringLiteral("555")}, {2, 2}, {3, QString()}})},
                           {ENTITY_NOTE, makeRow({{1, QStringLiteral("keep me")}})},
                           {ENTITY_PHOTO, makeRow({{15, QByteArray("\xff\xd8old", 5)}})},
                           {ENTITY_GROUP, makeRow({{1, QStringLiteral("912")}, {2, QStringLiteral("Friends")}})}}),
              &dst);
        const _Contact before = db.loadContact(dst.id);
        const qint64 groupId = db.connection().queryInt64Throw(
            Sqlite3Sql(QStringLiteral("select _id from contact_group where name='Friends'")));
        QCOMPARE(field(before, ENTITY_GROUP, 0, 1), QString::number(groupId)); // the local group id

        _Contact second(0, QStringLiteral("x"), QStringLiteral("ann lee"));
        second.entities[ENTITY_PHONE] = {makeRow({{1, QStringLiteral("555")}, {2, 3}, {3, QString()}}),
                                         makeRow({{1, QStringLiteral("556")}, {2, 1}, {3, QString()}})};
        second.entities[ENTITY_PHOTO] = {makeRow({{15, newBytes}, {4, pim::md5Base64(newBytes)}})};
        // The last group row of the source rewrites the contact's one group row.
        second.entities[ENTITY_GROUP] = {makeRow({{1, QStringLiteral("1")}, {2, QStringLiteral("friends")}}),
                                         makeRow({{1, QStringLiteral("2")}, {2, QStringLiteral("Work")}})};
        bool merged = false;
        const auto written = db.addOrMergeContact(second, dst, &merged);
        QVERIFY(merged);
        QCOMPARE(written.value(ENTITY_PHONE).size(), 2);
        QCOMPARE(written.value(ENTITY_PHONE)[0].id, before.rows(ENTITY_PHONE)[0].id); // updated in place

        const _Contact stored = db.loadContact(dst.id);
        QCOMPARE(stored.fullName, QStringLiteral("Ann Lee")); // header unchanged
        QCOMPARE(stored.rows(ENTITY_PHONE).size(), 2);
        QCOMPARE(field(stored, ENTITY_PHONE, 0, 2), QStringLiteral("3"));
        QCOMPARE(stored.rows(ENTITY_NOTE).size(), 1); // only on the stored side: untouched
        QCOMPARE(stored.rows(ENTITY_NAME).size(), 1);
        QCOMPARE(stored.rows(ENTITY_PHOTO).size(), 1);
        QCOMPARE(stored.rows(ENTITY_PHOTO)[0].id, before.rows(ENTITY_PHOTO)[0].id);
        QCOMPARE(stored.rows(ENTITY_PHOTO)[0].values.value(d(15)).toByteArray(), newBytes);
        QCOMPARE(stored.rows(ENTITY_GROUP).size(), 1);
        QCOMPARE(field(stored, ENTITY_GROUP, 0, 2), QStringLiteral("Work"));
        QCOMPARE(rowCount(db, "contact_group"), 2); // "friends" found "Friends"
    }

    void mergeFailureInsideCallerTransactionRollsBackEverything()
    {
        LocalContactsDb db(m_path, rule());
        merge(db, makeContact(QStringLiteral("Kept One")));
        db.beginTran();
        merge(db, makeContact(QStringLiteral("Rolled Back")));
        db.connection().executeThrow(QStringLiteral("create trigger no_phones before insert on data when new.type=3 "
                                                    "begin select raise(abort,'no phones'); end"));
        expectError(
            [&] {
                merge(
                    db,
                    makeContact(QStringLiteral("Also Rolled"), {{ENTITY_PHONE, makeRow({{1, QStringLiteral("1")}})}}));
            },
            "no phones");
        db.endTran(false);
        QCOMPARE(db.connection().tranDepth(), 0);
        QCOMPARE(db.countContacts(), 1);
        merge(db, makeContact(QStringLiteral("After")));
        QCOMPARE(db.countContacts(), 2);
    }

    void wrongColumnGivesAClearError()
    {
        {
            Sqlite3DB raw;
            raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            raw.executeScriptThrow("create table contact(_id integer primary key, src_id, name);"
                                   "create table contact_group(_id integer primary key, name);"
                                   "create table data(_id integer primary key, type, contact_id, src_id, data1);"
                                   "insert into contact values(1,'s','x');");
        }
        LocalContactsDb db(m_path, rule());
        expectError([&] { db.loadAll(); }, "full_name");
    }

    void nullsNulBytesAndInvalidUtf8()
    {
        LocalContactsDb db(m_path, rule());
        const QString name = QString::fromUtf16(u"Nul\u0000Name", 8), text = QString::fromUtf16(u"a\u0000b\u00e9", 4);
        _Contact c(0, QString(), name);
        db.insertContact(c);
        ContactDataRow note = makeRow({{1, text}});
        db.insertData(c.id, ENTITY_NOTE, note);
        // Rows written by something else: NULLs and bytes that are not UTF-8.
        db.connection().executeScriptThrow(
            "insert into contact(_id,src_id,full_name) values(50,NULL,NULL);"
            "insert into data(type,contact_id,src_id,data1,data2,data3) values(3,50,NULL,NULL,NULL,NULL);"
            "insert into data(type,contact_id,data1) values(9,50,CAST(x'ff00fe41' AS TEXT));");
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
    }

    void textsAndPhoneOrder()
    {
        QCOMPARE(formatName(vals({{5, QStringLiteral("Dr.")},
                                  {1, QStringLiteral("Someone")},
                                  {2, QStringLiteral("Mary  Ann")},
                                  {3, QStringLiteral("Lee")}})),
                 QStringLiteral("Dr. Mary  Ann Lee")); // the display name is not used; inner blanks stay
        QCOMPARE(formatAddress(vals({{7, QStringLiteral("Springfield")}, {9, QStringLiteral("62701")}})),
                 QStringLiteral("Springfield, 62701"));

        auto phone = [](const char* number, const QVariant& type) {
            return makeRow({{1, QString::fromLatin1(number)}, {2, type}});
        };
        const ContactDataRow mobile = phone("m", 2);
        QVERIFY(!phoneLessThan(mobile, mobile));
        QList<ContactDataRow> rows
            = {phone("w", 3), phone("o", 7), mobile, phone("h", 1), phone("x", 9), phone("main", QStringLiteral("12"))};
        std::stable_sort(rows.begin(), rows.end(), phoneLessThan);
        QStringList order;
        for (const ContactDataRow& r : rows)
            order << r.values.value(d(1)).toString();
        QCOMPARE(order, QStringList({"m", "main", "h", "w", "o", "x"}));
    }

    void isSameDataValuesAndIsDataEmpty()
    {
        const QStringList d3 = keys({3});
        QVERIFY(!isSameDataValues(vals({{3, QString()}}), QVariantMap(), d3));
        QVERIFY(!isSameDataValues(QVariantMap(), vals({{3, QStringLiteral("")}}), d3));
        QVERIFY(isSameDataValues(QVariantMap(), QVariantMap(), d3));
        QVERIFY(isSameDataValues(vals({{3, QString()}}), vals({{3, QStringLiteral("")}}), d3));
        QVERIFY(!isSameDataValues(vals({{1, QStringLiteral("Ann")}}), vals({{1, QStringLiteral("ann")}}), keys({1})));
        // A number equals its decimal text, in either order, and nothing else.
        QVERIFY(isSameDataValues(vals({{2, 2}}), vals({{2, QStringLiteral("2")}}), keys({2})));
        QVERIFY(isSameDataValues(vals({{2, QStringLiteral("2")}}), vals({{2, qlonglong(2)}}), keys({2})));
        QVERIFY(!isSameDataValues(vals({{2, 2}}), vals({{2, QStringLiteral("02")}}), keys({2})));
        QVERIFY(
            !isSameDataValues(vals({{15, QByteArray("ab\0c", 4)}}), vals({{15, QByteArray("ab\0d", 4)}}), keys({15})));
        QVERIFY(!isSameDataValues(vals({{1, QStringLiteral("a")}, {2, 1}}), vals({{1, QStringLiteral("a")}, {2, 2}}),
                                  keys({1, 2})));

        QVERIFY(isDataEmpty(vals({{1, QString()}, {2, QStringLiteral("")}}), keys({1, 2})));
        QVERIFY(!isDataEmpty(vals({{2, QStringLiteral(" ")}}), keys({1, 2})));
        QVERIFY(!isDataEmpty(vals({{2, 0}}), keys({2}))); // the number 0 reads as "0"
    }
};

QTEST_GUILESS_MAIN(TestContactsDb)
#include "test_contactsdb.moc"
