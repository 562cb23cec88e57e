#include "records/localcontactsdb.h"

#include "testsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace pim;

namespace {

QString d(int n) { return QStringLiteral("data%1").arg(n); }

ContactDataRow makeRow(std::initializer_list<std::pair<int, QVariant>> values, const QString& srcId = QString())
{
    ContactDataRow r(0, srcId);
    for (const auto& v : values)
        r.values.insert(d(v.first), v.second);
    return r;
}

// A contact with its name row and the given extra rows.
_Contact makeContact(const QString& fullName, std::initializer_list<std::pair<int, ContactDataRow>> rows = {})
{
    _Contact c(0, QStringLiteral("src-") + fullName, fullName);
    c.entities[ENTITY_NAME].append(makeRow({{1, fullName}, {2, fullName.section(QLatin1Char(' '), 0, 0)},
                                               {3, fullName.section(QLatin1Char(' '), 1)}},
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

template <typename F>
void expectError(F&& f, const char* text)
{
    try {
        f();
        QFAIL("no error");
    } catch (const std::exception& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String(text)), e.what());
    }
}

} // namespace

class TestContactsDb : public QObject {
    Q_OBJECT

private:
    QString m_dir;
    QString m_path;

    LocalContactsDb* openDb(const QString& path)
    {
        m_dbs.emplace_back(std::make_unique<LocalContactsDb>(path, QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule)));
        return m_dbs.back().get();
    }
    std::vector<std::unique_ptr<LocalContactsDb>> m_dbs;

private Q_SLOTS:
    void init()
    {
        m_dir = testsupport::makeTempDir(QStringLiteral("contactsdb"));
        m_path = m_dir + QStringLiteral("/contacts.db");
    }
    void cleanup() { m_dbs.clear(); }

    void insertLoadDelete()
    {
        LocalContactsDb& db = *openDb(m_path);
        _Contact c(0, QStringLiteral("42"), QStringLiteral("Ann Lee"));
        db.insertContact(c);
        const QByteArray jpeg("\xff\xd8\x00\x01\x02", 5);
        ContactDataRow name = makeRow({{2, QStringLiteral("Ann")}, {11, QStringLiteral("x")}});
        ContactDataRow photo = makeRow({{15, jpeg}, {4, QStringLiteral("stale")}});
        ContactDataRow ph = makeRow({{1, QStringLiteral("555")}, {2, 2}}, QStringLiteral("p1"));
        db.insertData(c.id, ENTITY_NAME, name);
        db.insertData(c.id, ENTITY_PHOTO, photo);
        db.insertData(c.id, ENTITY_PHONE, ph);
        db.close();
        const _Contact loaded = db.loadContact(c.id); // reopened with its rows
        const QVariantMap n = loaded.rows(ENTITY_NAME).value(0).values;
        QCOMPARE(n.value(d(2)).toString(), QStringLiteral("Ann"));
        QVERIFY(n.contains(d(7))); // columns of the type read back empty
        QVERIFY(!n.contains(d(11))); // other keys are not stored
        QCOMPARE(loaded.rows(ENTITY_PHOTO).value(0).values.value(d(15)).toByteArray(), jpeg);
        QCOMPARE(field(loaded, ENTITY_PHOTO, 0, 4), photoHash(photo.values)); // stale hash replaced
        QCOMPARE(field(loaded, ENTITY_PHONE, 0, 2), QStringLiteral("2"));
        db.deleteContact(c.id);
        QCOMPARE(db.countContacts(), 0);
        QCOMPARE(rowCount(db, "data"), 0);
    }

    void nameMatchIsExactIgnoringAsciiCase()
    {
        LocalContactsDb& db = *openDb(m_path);
        _Contact alice, other;
        QVERIFY(!merge(db, makeContact(QStringLiteral("Alice")), &alice));
        QVERIFY(merge(db, makeContact(QStringLiteral("ALICE")), &other));
        QCOMPARE(other.id, alice.id);
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
        QVERIFY2(plan.getText(3).contains(QLatin1String("index_contacts_full_name_nocase")), qPrintable(plan.getText(3)));
    }

    void oldFileGetsNoCaseIndexes()
    {
        {
            Sqlite3DB raw; // made from the plain script, before the indexes existed
            raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            QFile script(QStringLiteral(":res/local_contacts_db.sql"));
            QVERIFY(script.open(QIODevice::ReadOnly));
            raw.executeScriptThrow(script.readAll());
            raw.executeThrow(QStringLiteral("insert into contact(src_id,full_name) values('1','Zoe')"));
        }
        LocalContactsDb& db = *openDb(m_path);
        QCOMPARE(db.findContactByFullName(QStringLiteral("zoe")), 1);
        QCOMPARE(db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral(
                     "select count(*) from sqlite_master where name in "
                     "('index_contacts_full_name_nocase','index_contact_group_name_nocase')"))),
            2);
    }

    void unknownRowTypeIsSkippedNotFatal()
    {
        LocalContactsDb& db = *openDb(m_path);
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

        const _Contact src = makeContact(QStringLiteral("Cy Odd"), // a merge stores the rest
            {{99, makeRow({{1, QStringLiteral("x")}})}, {ENTITY_PHONE, makeRow({{1, QStringLiteral("1")}})}});
        _Contact dst;
        QCOMPARE(db.addOrMergeContact(src, dst, nullptr).keys(), QList<int>({ENTITY_NAME, ENTITY_PHONE}));
    }

    void mergeStoresMergeColumnsAndTwiceWritesNothing()
    {
        LocalContactsDb& source = *openDb(m_dir + QStringLiteral("/other.db"));
        merge(source, makeContact(QStringLiteral("Ann Lee"),
            {{ENTITY_PHONE, makeRow({{1, QStringLiteral("555")}, {2, 2}}, QStringLiteral("ph"))},
                {ENTITY_EMAIL, makeRow({{1, QStringLiteral("a@b.c")}, {2, 1}})},
                {ENTITY_POSTAL, makeRow({{1, QStringLiteral("1 Main St")}, {4, QStringLiteral("1 Main St")}})}}));
        const _Contact src = source.loadAll().value(0);
        _Contact extra = src; // a second name row and non-merge columns are not stored
        extra.entities[ENTITY_NAME].append(makeRow({{2, QStringLiteral("Second")}}));
        extra.entities[ENTITY_ORGANIZATION].append(
            makeRow({{1, QStringLiteral("ACME")}, {2, 1}, {4, QStringLiteral("CEO")}, {6, QStringLiteral("x")}}));

        LocalContactsDb& db = *openDb(m_path);
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
        LocalContactsDb& db = *openDb(m_path);
        const QByteArray newBytes("\xff\xd8new!", 6);
        _Contact dst;
        merge(db, makeContact(QStringLiteral("Ann Lee"),
            {{ENTITY_PHONE, makeRow({{1, QStringLiteral("555")}, {2, 2}, {3, QString()}})},
                {ENTITY_NOTE, makeRow({{1, QStringLiteral("keep me")}})},
                {ENTITY_PHOTO, makeRow({{15, QByteArray("\xff\xd8old", 5)}})}}),
            &dst);
        const _Contact before = db.loadContact(dst.id);

        _Contact second(0, QStringLiteral("x"), QStringLiteral("ann lee"));
        second.entities[ENTITY_PHONE] = {makeRow({{1, QStringLiteral("555")}, {2, 3}, {3, QString()}}),
            makeRow({{1, QStringLiteral("556")}, {2, 1}, {3, QString()}})};
        second.entities[ENTITY_PHOTO] = {makeRow({{15, newBytes}, {4, pim::md5Base64(newBytes)}})};
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
    }

    void mergeGroupsResolveToLocalIds()
    {
        LocalContactsDb& db = *openDb(m_path);
        _Contact dst;
        merge(db, makeContact(QStringLiteral("Ann Lee"),
            {{ENTITY_GROUP, makeRow({{1, QStringLiteral("912")}, {2, QStringLiteral("Friends")}})}}), &dst);
        const qint64 groupId = db.connection().queryInt64Throw(
            Sqlite3Sql(QStringLiteral("select _id from contact_group where name='Friends'")));
        QCOMPARE(field(db.loadContact(dst.id), ENTITY_GROUP, 0, 1), QString::number(groupId));

        // The last group row of the source rewrites the contact's one group row.
        merge(db, makeContact(QStringLiteral("Ann Lee"),
            {{ENTITY_GROUP, makeRow({{1, QStringLiteral("1")}, {2, QStringLiteral("friends")}})},
                {ENTITY_GROUP, makeRow({{1, QStringLiteral("2")}, {2, QStringLiteral("Work")}})}}));
        const _Contact stored = db.loadContact(dst.id);
        QCOMPARE(stored.rows(ENTITY_GROUP).size(), 1);
        QCOMPARE(field(stored, ENTITY_GROUP, 0, 2), QStringLiteral("Work"));
        QCOMPARE(rowCount(db, "contact_group"), 2); // "friends" found "Friends"
    }

    void mergeFailureInsideCallerTransactionRollsBackEverything()
    {
        LocalContactsDb& db = *openDb(m_path);
        merge(db, makeContact(QStringLiteral("Kept One")));
        db.beginTran();
        merge(db, makeContact(QStringLiteral("Rolled Back")));
        db.connection().executeThrow(QStringLiteral(
            "create trigger no_phones before insert on data when new.type=3 begin select raise(abort,'no phones'); end"));
        expectError([&] {
            merge(db, makeContact(QStringLiteral("Also Rolled"), {{ENTITY_PHONE, makeRow({{1, QStringLiteral("1")}})}}));
        }, "no phones");
        db.endTran(false);
        QCOMPARE(db.connection().tranDepth(), 0);
        QCOMPARE(db.countContacts(), 1);
        merge(db, makeContact(QStringLiteral("After")));
        QCOMPARE(db.countContacts(), 2);
    }

    void foreignFileGivesClearErrors()
    {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        {
            LocalContactsDb& db = *openDb(m_path);
            QCOMPARE(db.countContacts(), 0);
            expectError([&] { db.loadAll(); }, "not a database");
            db.close();
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(4096, 'x')); // left as it was
        f.close();
        QVERIFY(QFile::remove(m_path));
        {
            Sqlite3DB raw; // a wrong column
            raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            raw.executeScriptThrow("create table contact(_id integer primary key, src_id, name);"
                                   "create table contact_group(_id integer primary key, name);"
                                   "create table data(_id integer primary key, type, contact_id, src_id, data1);"
                                   "insert into contact values(1,'s','x');");
        }
        LocalContactsDb& db = *openDb(m_path);
        expectError([&] { db.loadAll(); }, "full_name");
    }

    void nullsNulBytesAndInvalidUtf8()
    {
        LocalContactsDb& db = *openDb(m_path);
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
};

QTEST_GUILESS_MAIN(TestContactsDb)
#include "test_contactsdb.moc"
