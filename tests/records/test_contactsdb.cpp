// The local contacts database: storing and loading contacts, the name and
// group look-ups, the merge of contacts from another source, and files that
// were not written by us.
#include "records/localcontactsdb.h"

#include "testsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace pim;

namespace {

QSharedPointer<AbsContactCombineRule> newRule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

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

_Contact makeContact(const QString& fullName)
{
    _Contact c(0, QStringLiteral("src-") + fullName, fullName);
    c.entities[ENTITY_NAME].append(makeRow({{1, fullName}, {2, fullName.section(QLatin1Char(' '), 0, 0)},
                                            {3, fullName.section(QLatin1Char(' '), 1)}},
                                           QStringLiteral("n1")));
    return c;
}

qint64 rowCount(LocalContactsDb& db, const QString& table)
{
    return db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from ") + table));
}

} // namespace

class TestContactsDb : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();

    void firstUse_createsSchema_reopenKeepsRows();
    void insertAndLoad_roundTripsEveryTypeColumns();
    void findByFullName_isExactIgnoringAsciiCase();
    void findByFullName_oldFileGetsNoCaseIndex();
    void unknownRowType_isSkippedNotFatal();

    void merge_intoEmptyDatabase_insertsMergeColumnsOnly();
    void merge_sameContactTwice_writesNothing();
    void merge_updatesMatchedPhone_addsNewOne();
    void merge_photoReplacesStoredBytes();
    void merge_groupsResolveToLocalIds();
    void merge_caseAndWildcardInName();
    void merge_failureInsideCallerTransaction_rollsBackEverything();

    void badInput_foreignFile_givesClearErrors();
    void badInput_nullsNulBytesAndInvalidUtf8();

private:
    QString m_dir;
    QString m_path;
};

void TestContactsDb::init()
{
    m_dir = testsupport::makeTempDir(QStringLiteral("contactsdb"));
    m_path = m_dir + QStringLiteral("/contacts.db");
}

void TestContactsDb::firstUse_createsSchema_reopenKeepsRows()
{
    {
        LocalContactsDb db(m_path, newRule());
        QVERIFY(!QFile::exists(m_path));
        QVERIFY(db.loadAll().isEmpty());
        QVERIFY(QFile::exists(m_path));
        _Contact c = makeContact(QStringLiteral("Ann Lee"));
        db.insertContact(c);
        db.insertData(c.id, ENTITY_NAME, c.entities[ENTITY_NAME][0]);
    }
    LocalContactsDb db(m_path, newRule());
    QCOMPARE(db.countContacts(), 1);
    QCOMPARE(db.loadAll().size(), 1);
    db.closeAndRemoveFile();
    QVERIFY(!QFile::exists(m_path));
    db.closeAndRemoveFile(); // no file: nothing to do
    QCOMPARE(db.countContacts(), 0);
}

void TestContactsDb::insertAndLoad_roundTripsEveryTypeColumns()
{
    LocalContactsDb db(m_path, newRule());
    _Contact c(0, QStringLiteral("42"), QStringLiteral("Ann Lee"));
    db.insertContact(c);
    QVERIFY(c.id > 0);

    ContactDataRow name = makeRow({{2, QStringLiteral("Ann")}, {3, QStringLiteral("Lee")}, {11, QStringLiteral("x")}});
    const QByteArray jpeg("\xff\xd8\x00\x01\x02", 5);
    ContactDataRow photo = makeRow({{15, jpeg}, {4, QStringLiteral("stale")}});
    ContactDataRow ph = makeRow({{1, QStringLiteral("555")}, {2, 2}}, QStringLiteral("p1"));
    db.insertData(c.id, ENTITY_NAME, name);
    db.insertData(c.id, ENTITY_PHOTO, photo);
    db.insertData(c.id, ENTITY_PHONE, ph);
    QVERIFY(name.id > 0 && photo.id > name.id && ph.id > photo.id);

    const _Contact loaded = db.loadContact(c.id);
    const ContactDataRow n = loaded.rows(ENTITY_NAME).value(0);
    QCOMPARE(n.values.value(d(2)).toString(), QStringLiteral("Ann"));
    QVERIFY(n.values.contains(d(7)));              // columns of the type read back empty
    QVERIFY(n.values.value(d(7)).toString().isEmpty());
    QVERIFY(!n.values.contains(d(11)));            // other keys are not stored
    const ContactDataRow p = loaded.rows(ENTITY_PHOTO).value(0);
    QCOMPARE(p.values.value(d(15)).toByteArray(), jpeg);
    QCOMPARE(p.values.value(d(4)).toString(), photoHash(photo.values)); // stale hash replaced
    const ContactDataRow phoneRow = loaded.rows(ENTITY_PHONE).value(0);
    QCOMPARE(phoneRow.srcId, QStringLiteral("p1"));
    QCOMPARE(phoneRow.id, ph.id);
    QCOMPARE(phoneRow.values.value(d(2)).toString(), QStringLiteral("2"));

    // updateData rewrites the type's columns and the source id.
    ContactDataRow changed = phoneRow;
    changed.values.insert(d(1), QStringLiteral("556"));
    changed.srcId = QStringLiteral("p2");
    db.updateData(ENTITY_PHONE, changed);
    db.setContactSrcId(c.id, QStringLiteral("43"));
    const _Contact again = db.loadContact(c.id);
    QCOMPARE(again.rows(ENTITY_PHONE).value(0).values.value(d(1)).toString(), QStringLiteral("556"));
    QCOMPARE(again.rows(ENTITY_PHONE).value(0).srcId, QStringLiteral("p2"));
    QCOMPARE(again.srcId, QStringLiteral("43"));
    QCOMPARE(db.loadContact(c.id + 100).id, 0);
    db.deleteContact(c.id);
    QCOMPARE(db.countContacts(), 0);
    QCOMPARE(rowCount(db, QStringLiteral("data")), 0);
}

void TestContactsDb::findByFullName_isExactIgnoringAsciiCase()
{
    LocalContactsDb db(m_path, newRule());
    _Contact alice(0, QString(), QStringLiteral("Alice"));
    _Contact bob(0, QString(), QStringLiteral("Bob_1"));
    db.insertContact(alice);
    db.insertContact(bob);
    QCOMPARE(db.findContactByFullName(QStringLiteral("alice")), alice.id);
    QCOMPARE(db.findContactByFullName(QStringLiteral("A%")), 0);     // no wildcard
    QCOMPARE(db.findContactByFullName(QStringLiteral("Bob_2")), 0);  // "_" is no wildcard either
    QCOMPARE(db.findContactByFullName(QStringLiteral("bob_1")), bob.id);

    // The look-up is served by the index, not a scan of the table.
    Sqlite3Cursor plan = db.connection().queryThrow(
        QStringLiteral("explain query plan select _id,src_id from contact where full_name=? COLLATE NOCASE limit 1")
            .replace(QLatin1Char('?'), QStringLiteral("'x'")));
    QVERIFY(plan.moveNext());
    QVERIFY2(plan.getText(3).contains(QLatin1String("index_contacts_full_name_nocase")), qPrintable(plan.getText(3)));
}

void TestContactsDb::findByFullName_oldFileGetsNoCaseIndex()
{
    // A file made from the plain script, before the index existed.
    {
        Sqlite3DB raw;
        raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        QFile script(QStringLiteral(":res/local_contacts_db.sql"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        raw.executeScriptThrow(script.readAll());
        raw.executeThrow(QStringLiteral("insert into contact(src_id,full_name) values('1','Zoe')"));
        QVERIFY(raw.queryInt64Throw(Sqlite3Sql(QStringLiteral(
                    "select count(*) from sqlite_master where name='index_contacts_full_name_nocase'"))) == 0);
    }
    LocalContactsDb db(m_path, newRule());
    QCOMPARE(db.findContactByFullName(QStringLiteral("zoe")), 1);
    QCOMPARE(db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral(
                 "select count(*) from sqlite_master where name in "
                 "('index_contacts_full_name_nocase','index_contact_group_name_nocase')"))),
             2);
}

void TestContactsDb::unknownRowType_isSkippedNotFatal()
{
    LocalContactsDb db(m_path, newRule());
    _Contact c = makeContact(QStringLiteral("Ann Lee"));
    db.insertContact(c);
    ContactDataRow odd = makeRow({{1, QStringLiteral("?")}});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("unknown type 42")));
    db.insertData(c.id, 42, odd);
    QCOMPARE(odd.id, 0);
    QCOMPARE(rowCount(db, QStringLiteral("data")), 0);

    // A row of an unknown type written by something else is skipped on load.
    db.insertData(c.id, ENTITY_NAME, c.entities[ENTITY_NAME][0]);
    db.connection().executeThrow(
        QStringLiteral("insert into data(type,contact_id,data1) values(77,%1,'odd')").arg(c.id));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("unknown type 77")));
    const QList<_Contact> all = db.loadAll();
    QCOMPARE(all.size(), 1);
    QCOMPARE(all[0].entities.keys(), QList<int>({ENTITY_NAME}));

    // Merging a source with such a row stores the rest.
    _Contact src = makeContact(QStringLiteral("Cy Odd"));
    src.entities[99].append(makeRow({{1, QStringLiteral("x")}}));
    src.entities[ENTITY_PHONE].append(makeRow({{1, QStringLiteral("1")}}));
    _Contact dst;
    bool merged = true;
    const auto written = db.addOrMergeContact(src, dst, &merged);
    QVERIFY(!merged);
    QCOMPARE(written.keys(), QList<int>({ENTITY_NAME, ENTITY_PHONE}));
}

void TestContactsDb::merge_intoEmptyDatabase_insertsMergeColumnsOnly()
{
    LocalContactsDb db(m_path, newRule());
    _Contact src = makeContact(QStringLiteral("Ann Lee"));
    src.entities[ENTITY_NAME].append(makeRow({{2, QStringLiteral("Second")}}));
    src.entities[ENTITY_PHONE].append(makeRow({{1, QStringLiteral("555")}, {2, 2}, {3, QStringLiteral("lbl")}},
                                              QStringLiteral("ph")));
    src.entities[ENTITY_ORGANIZATION].append(makeRow({{1, QStringLiteral("ACME")}, {2, 1}, {4, QStringLiteral("CEO")},
                                                      {5, QStringLiteral("Board")}, {6, QStringLiteral("x")}}));
    _Contact dst;
    bool merged = true;
    const auto written = db.addOrMergeContact(src, dst, &merged);
    QVERIFY(!merged);
    QVERIFY(dst.id > 0);
    QVERIFY(dst.srcId.isEmpty());
    QCOMPARE(written.value(ENTITY_NAME).size(), 1);
    QVERIFY(written.value(ENTITY_NAME)[0].id > 0);
    QVERIFY(written.value(ENTITY_NAME)[0].srcId.isEmpty());
    QCOMPARE(written.value(ENTITY_PHONE).size(), 1);
    QVERIFY(written.value(ENTITY_PHONE)[0].srcId.isEmpty());

    const _Contact stored = db.loadContact(dst.id);
    QCOMPARE(stored.rows(ENTITY_NAME).size(), 1);
    QCOMPARE(stored.rows(ENTITY_NAME)[0].values.value(d(1)).toString(), QStringLiteral("Ann Lee"));
    const QVariantMap ph = stored.rows(ENTITY_PHONE)[0].values;
    QCOMPARE(ph.value(d(1)).toString(), QStringLiteral("555"));
    QCOMPARE(ph.value(d(2)).toString(), QStringLiteral("2"));
    QCOMPARE(ph.value(d(3)).toString(), QStringLiteral("lbl"));
    const QVariantMap org = stored.rows(ENTITY_ORGANIZATION)[0].values;
    QCOMPARE(org.value(d(1)).toString(), QStringLiteral("ACME"));
    QCOMPARE(org.value(d(4)).toString(), QStringLiteral("CEO"));
    QCOMPARE(org.value(d(5)).toString(), QStringLiteral("Board"));
    QVERIFY(org.value(d(2)).toString().isEmpty()); // not a merge column
    QVERIFY(org.value(d(6)).toString().isEmpty());
    QCOMPARE(db.connection().tranDepth(), 0);
}

void TestContactsDb::merge_sameContactTwice_writesNothing()
{
    const QString otherPath = m_dir + QStringLiteral("/other.db");
    LocalContactsDb source(otherPath, newRule());
    _Contact made = makeContact(QStringLiteral("Ann Lee"));
    made.entities[ENTITY_PHONE].append(makeRow({{1, QStringLiteral("555")}, {2, 2}}));
    made.entities[ENTITY_EMAIL].append(makeRow({{1, QStringLiteral("a@b.c")}, {2, 1}}));
    made.entities[ENTITY_POSTAL].append(makeRow({{1, QStringLiteral("1 Main St")}, {4, QStringLiteral("1 Main St")}}));
    _Contact ignored;
    source.addOrMergeContact(made, ignored, nullptr);
    const _Contact src = source.loadAll().value(0);

    LocalContactsDb db(m_path, newRule());
    _Contact dst;
    bool merged = true;
    db.addOrMergeContact(src, dst, &merged);
    QVERIFY(!merged);
    const qint64 rows = rowCount(db, QStringLiteral("data"));
    const auto written = db.addOrMergeContact(src, dst, &merged);
    QVERIFY(merged);
    QVERIFY(written.isEmpty());
    QCOMPARE(rowCount(db, QStringLiteral("data")), rows);
    QCOMPARE(db.countContacts(), 1);
}

void TestContactsDb::merge_updatesMatchedPhone_addsNewOne()
{
    LocalContactsDb db(m_path, newRule());
    _Contact first = makeContact(QStringLiteral("Ann Lee"));
    first.entities[ENTITY_PHONE].append(makeRow({{1, QStringLiteral("555")}, {2, 2}, {3, QString()}}));
    first.entities[ENTITY_NOTE].append(makeRow({{1, QStringLiteral("keep me")}}));
    _Contact dst;
    db.addOrMergeContact(first, dst, nullptr);
    const qint64 phoneId = db.loadContact(dst.id).rows(ENTITY_PHONE)[0].id;

    _Contact second(0, QStringLiteral("x"), QStringLiteral("ann lee"));
    second.entities[ENTITY_PHONE].append(makeRow({{1, QStringLiteral("555")}, {2, 3}, {3, QString()}}));
    second.entities[ENTITY_PHONE].append(makeRow({{1, QStringLiteral("556")}, {2, 1}, {3, QString()}}));
    bool merged = false;
    const auto written = db.addOrMergeContact(second, dst, &merged);
    QVERIFY(merged);
    QCOMPARE(written.value(ENTITY_PHONE).size(), 2);
    QCOMPARE(written.value(ENTITY_PHONE)[0].id, phoneId); // updated in place
    QVERIFY(written.value(ENTITY_PHONE)[1].id > phoneId);  // added

    const _Contact stored = db.loadContact(dst.id);
    QCOMPARE(stored.fullName, QStringLiteral("Ann Lee")); // header unchanged
    QVERIFY(stored.srcId.isEmpty());
    QCOMPARE(stored.rows(ENTITY_PHONE).size(), 2);
    QCOMPARE(stored.rows(ENTITY_PHONE)[0].values.value(d(2)).toString(), QStringLiteral("3"));
    QCOMPARE(stored.rows(ENTITY_NOTE).size(), 1); // only on the stored side: untouched
    QCOMPARE(stored.rows(ENTITY_NAME).size(), 1);
}

void TestContactsDb::merge_photoReplacesStoredBytes()
{
    LocalContactsDb db(m_path, newRule());
    const QByteArray oldBytes("\xff\xd8old", 5);
    const QByteArray newBytes("\xff\xd8new!", 6);
    _Contact first = makeContact(QStringLiteral("Ann Lee"));
    first.entities[ENTITY_PHOTO].append(makeRow({{15, oldBytes}}));
    _Contact dst;
    db.addOrMergeContact(first, dst, nullptr);
    const qint64 photoId = db.loadContact(dst.id).rows(ENTITY_PHOTO)[0].id;

    _Contact second = makeContact(QStringLiteral("Ann Lee"));
    second.entities[ENTITY_PHOTO].append(makeRow({{15, newBytes}, {4, pim::md5Base64(newBytes)}}));
    db.addOrMergeContact(second, dst, nullptr);
    QList<ContactDataRow> photos = db.loadContact(dst.id).rows(ENTITY_PHOTO);
    QCOMPARE(photos.size(), 1);
    QCOMPARE(photos[0].id, photoId);
    QCOMPARE(photos[0].values.value(d(15)).toByteArray(), newBytes);
    QCOMPARE(photos[0].values.value(d(4)).toString(), pim::md5Base64(newBytes));
}

void TestContactsDb::merge_groupsResolveToLocalIds()
{
    LocalContactsDb db(m_path, newRule());
    _Contact src = makeContact(QStringLiteral("Ann Lee"));
    src.entities[ENTITY_GROUP].append(makeRow({{1, QStringLiteral("912")}, {2, QStringLiteral("Friends")}}));
    _Contact dst;
    auto written = db.addOrMergeContact(src, dst, nullptr);
    const qint64 groupId = db.connection().queryInt64Throw(
        Sqlite3Sql(QStringLiteral("select _id from contact_group where name='Friends'")));
    QVERIFY(groupId > 0);
    QCOMPARE(written.value(ENTITY_GROUP).value(0).values.value(d(1)).toString(), QString::number(groupId));
    QCOMPARE(db.loadContact(dst.id).rows(ENTITY_GROUP)[0].values.value(d(1)).toString(), QString::number(groupId));

    // The last group row of the source rewrites the contact's one group row.
    _Contact again = makeContact(QStringLiteral("Ann Lee"));
    again.entities[ENTITY_GROUP].append(makeRow({{1, QStringLiteral("1")}, {2, QStringLiteral("friends")}}));
    again.entities[ENTITY_GROUP].append(makeRow({{1, QStringLiteral("2")}, {2, QStringLiteral("Work")}}));
    db.addOrMergeContact(again, dst, nullptr);
    const QList<ContactDataRow> groups = db.loadContact(dst.id).rows(ENTITY_GROUP);
    QCOMPARE(groups.size(), 1);
    QCOMPARE(groups[0].values.value(d(2)).toString(), QStringLiteral("Work"));
    QCOMPARE(rowCount(db, QStringLiteral("contact_group")), 2); // "friends" found "Friends"
}

void TestContactsDb::merge_caseAndWildcardInName()
{
    LocalContactsDb db(m_path, newRule());
    _Contact dst;
    bool merged = true;
    db.addOrMergeContact(makeContact(QStringLiteral("Alice Smith")), dst, &merged);
    QVERIFY(!merged);
    db.addOrMergeContact(makeContact(QStringLiteral("ALICE smith")), dst, &merged);
    QVERIFY(merged);
    db.addOrMergeContact(makeContact(QStringLiteral("A%")), dst, &merged);
    QVERIFY(!merged); // a "%" in a name is no wildcard
    _Contact unnamed;
    db.addOrMergeContact(unnamed, dst, &merged);
    QVERIFY(!merged);
    const qint64 unnamedId = dst.id;
    db.addOrMergeContact(unnamed, dst, &merged);
    QVERIFY(merged);
    QCOMPARE(dst.id, unnamedId);
    QCOMPARE(db.countContacts(), 3);
}

void TestContactsDb::merge_failureInsideCallerTransaction_rollsBackEverything()
{
    LocalContactsDb db(m_path, newRule());
    _Contact dst;
    db.addOrMergeContact(makeContact(QStringLiteral("Kept One")), dst, nullptr);

    db.beginTran();
    db.addOrMergeContact(makeContact(QStringLiteral("Rolled Back")), dst, nullptr);
    // Make the next data insert fail.
    db.connection().executeThrow(QStringLiteral(
        "create trigger no_phones before insert on data when new.type=3 begin select raise(abort,'no phones'); end"));
    _Contact bad = makeContact(QStringLiteral("Also Rolled"));
    bad.entities[ENTITY_PHONE].append(makeRow({{1, QStringLiteral("1")}}));
    bool threw = false;
    try {
        db.addOrMergeContact(bad, dst, nullptr);
    } catch (const std::exception& e) {
        threw = true;
        QVERIFY(QString::fromUtf8(e.what()).contains(QLatin1String("no phones")));
    }
    QVERIFY(threw);
    db.endTran(false);
    QCOMPARE(db.connection().tranDepth(), 0);

    // The unit is gone as a whole and the connection works on.
    QCOMPARE(db.countContacts(), 1);
    QCOMPARE(db.findContactByFullName(QStringLiteral("Rolled Back")), 0);
    db.addOrMergeContact(makeContact(QStringLiteral("After")), dst, nullptr);
    QCOMPARE(db.countContacts(), 2);
}

void TestContactsDb::badInput_foreignFile_givesClearErrors()
{
    // Not a database at all.
    {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    {
        LocalContactsDb db(m_path, newRule());
        QCOMPARE(db.countContacts(), 0);
        try {
            db.loadAll();
            QFAIL("loading a file that is not a database must fail");
        } catch (const std::exception& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("not a database")), e.what());
        }
    }
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray(4096, 'x')); // left as it was
    f.close();
    QVERIFY(QFile::remove(m_path));

    // A database with a wrong column.
    {
        Sqlite3DB raw;
        raw.openThrow(m_path, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        raw.executeThrow(QStringLiteral("create table contact(_id integer primary key, src_id, name)"));
        raw.executeThrow(QStringLiteral("create table contact_group(_id integer primary key, name)"));
        raw.executeThrow(QStringLiteral("create table data(_id integer primary key, type, contact_id, src_id, data1)"));
        raw.executeThrow(QStringLiteral("insert into contact values(1,'s','x')"));
        raw.executeThrow(QStringLiteral("insert into data values(1,3,1,'s','555')"));
    }
    LocalContactsDb db(m_path, newRule());
    try {
        db.loadAll();
        QFAIL("a missing column must fail");
    } catch (const std::exception& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("full_name")), e.what());
    }
}

void TestContactsDb::badInput_nullsNulBytesAndInvalidUtf8()
{
    LocalContactsDb db(m_path, newRule());
    _Contact c(0, QString(), QString::fromUtf16(u"Nul\u0000Name", 8));
    db.insertContact(c);
    ContactDataRow note = makeRow({{1, QString::fromUtf16(u"a\u0000b\u00e9", 4)}});
    db.insertData(c.id, ENTITY_NOTE, note);
    // Rows written by something else: NULLs and bytes that are not UTF-8.
    db.connection().executeThrow(QStringLiteral(
        "insert into contact(_id,src_id,full_name) values(50,NULL,NULL)"));
    db.connection().executeThrow(QStringLiteral(
        "insert into data(type,contact_id,src_id,data1,data2,data3) values(3,50,NULL,NULL,NULL,NULL)"));
    db.connection().executeThrow(QStringLiteral(
        "insert into data(type,contact_id,data1) values(9,50,CAST(x'ff00fe41' AS TEXT))"));

    const QList<_Contact> all = db.loadAll();
    QCOMPARE(all.size(), 2);
    const _Contact& broken = all[0].id == 50 ? all[0] : all[1];
    const _Contact& named = all[0].id == 50 ? all[1] : all[0];
    QCOMPARE(named.fullName, QString::fromUtf16(u"Nul\u0000Name", 8));
    QCOMPARE(named.rows(ENTITY_NOTE)[0].values.value(d(1)).toString(), QString::fromUtf16(u"a\u0000b\u00e9", 4));
    QVERIFY(broken.fullName.isEmpty());
    QVERIFY(broken.srcId.isEmpty());
    QVERIFY(broken.rows(ENTITY_PHONE)[0].values.value(d(1)).toString().isEmpty());
    QVERIFY(!broken.rows(ENTITY_NOTE)[0].values.value(d(1)).toString().isEmpty());
    QCOMPARE(db.findContactByFullName(QString::fromUtf16(u"nul\u0000name", 8)), c.id);
}

QTEST_GUILESS_MAIN(TestContactsDb)
#include "test_contactsdb.moc"
