// The contact jobs against the simulated phone, which checks every line it
// receives and keeps what it made: the change sender's edit and group
// removals, the contact restore (batches, progress, merging), the phone's
// ids landing on the rows they were made for, and bad answers, stalls and
// cancels leaving the cache as it was. (New contacts and deletions from the
// page are in the phone contacts page's test.)
#include "jobs/androidrestorecontactsthread.h"
#include "jobs/androidsendchangesthread.h"
#include "phonelink/androidloadcontactsthread.h"
#include "records/localcontactsdb.h"

#include "jobtestutil.h"

using namespace Qt::StringLiterals;
using phonesim::Fault;
using testsupport::RecordingJobReport;
using testsupport::SimPhone;

namespace {

// Phone ids that cross the local ids the cache gives them: Ann (phone 2)
// becomes local 1, Bo (phone 1) local 2, Cy (phone 3) local 3; Ann's first
// number (phone row 5) has the id of Bo's e-mail's local row.
QJsonObject threeContacts()
{
    return testsupport::fixtureFile(u"tests/jobs/data/three_contacts.json"_s);
}

QSharedPointer<AbsContactCombineRule> rule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

// The phone's contacts into the cache; the error text when that failed.
QString load(SimPhone& phone, LocalContactsDb& db)
{
    RecordingJobReport report;
    AndroidLoadContactsThread job(&db, &phone.device, &report);
    if (!jobtest::run(job) || !report.succeeded())
        return u"load failed: "_s + report.errors().join(u'\n');
    return QString();
}

ContactDataRow dataRow(std::initializer_list<std::pair<int, QVariant>> values)
{
    ContactDataRow r;
    for (const auto& [n, v] : values)
        r.values.insert(u"data%1"_s.arg(n), v);
    return r;
}

// Stores the changes as the contacts page does (a new contact when id is
// 0), inside a transaction that commits only when the sender succeeded.
bool sendEdit(SimPhone& phone, LocalContactsDb& db, qint64 id, QList<ContactChange> changes, RecordingJobReport& report)
{
    db.beginTran();
    pim::_Contact work = id ? db.loadContact(id) : pim::_Contact(0, QString(), u"New"_s);
    if (!id)
        db.insertContact(work);
    for (ContactChange& c : changes) {
        if (c.action == ContactChange::ACTION_ADDED)
            db.insertData(work.id, c.entityType, c.row);
        else if (c.action == ContactChange::ACTION_UPDATED)
            db.updateData(c.entityType, c.row);
        else
            db.deleteData(c.row.id);
    }
    pim::_Contact stored = db.loadContact(work.id);
    AndroidSendChangesThread job(&phone.device, &db, &report);
    job.setChanges(&stored, changes);
    const bool ended = jobtest::run(job);
    db.endTran(ended && report.succeeded());
    return ended && report.succeeded();
}

// The phone's id of its row holding value.
QString phoneRowId(const SimPhone& phone, const QString& value)
{
    return phone.sim->contactBook().rowIdWith(value);
}

QString rowSrcId(LocalContactsDb& db, qint64 contact, const QString& data1)
{
    for (const QList<ContactDataRow>& rows : db.loadContact(contact).entities)
        for (const ContactDataRow& r : rows)
            if (pim::valueText(r.values, u"data1"_s) == data1)
                return r.srcId;
    return u"<none>"_s;
}

// Ann (phone 2, local 1) in the groups Friends and Work, Bo (phone 1, local
// 2) in Family, Cy (phone 3, local 3) in none.
QJsonObject groupedContacts()
{
    return testsupport::fixtureFile(u"tests/jobs/data/grouped_contacts.json"_s);
}

// A group row for the cache, named as the loader stores it.
ContactDataRow groupRow(LocalContactsDb& db, const QString& group)
{
    return dataRow({{1, QVariant(quint64(db.getOrCreateGroup(group)))}, {2, group}});
}

// The group names of the phone's contact, in its row order.
QStringList phoneGroups(const SimPhone& phone, qint64 contact)
{
    QStringList names;
    for (const phonesim::SimContact& c : phone.sim->contactBook().contacts())
        if (c.id == contact)
            for (const phonesim::SimRow& r : c.rows)
                if (r.kind == pim::ENTITY_GROUP)
                    names << r.columns.value(u"data2"_s).toString();
    return names;
}

// The user's group changes as a page would make them, inside a transaction
// that commits only when the sender succeeded: Bo leaves Family, Cy joins
// Club, and Eve, whom the phone does not have, joins Club too. Returns the
// contacts the sender is given: Ann, Bo, Cy, Eve.
QList<pim::_Contact> changeGroups(LocalContactsDb& db)
{
    db.beginTran();
    db.deleteData(db.loadContact(2).rows(pim::ENTITY_GROUP).first().id);
    ContactDataRow club = groupRow(db, u"Club"_s);
    db.insertData(3, pim::ENTITY_GROUP, club);
    pim::_Contact eve(0, QString(), u"Eve"_s);
    db.insertContact(eve);
    ContactDataRow name = dataRow({{2, u"Eve"_s}});
    db.insertData(eve.id, pim::ENTITY_NAME, name);
    ContactDataRow eveClub = groupRow(db, u"Club"_s);
    db.insertData(eve.id, pim::ENTITY_GROUP, eveClub);
    return {db.loadContact(1), db.loadContact(2), db.loadContact(3), db.loadContact(eve.id)};
}

pim::_Contact person(const QString& first, const QString& last, const QStringList& numbers = {})
{
    pim::_Contact c(0, QString(), (first + u' ' + last).trimmed());
    c.entities[pim::ENTITY_NAME] << dataRow({{2, first}, {3, last}});
    for (const QString& n : numbers)
        c.entities[pim::ENTITY_PHONE] << dataRow({{1, n}, {2, 2}});
    return c;
}

} // namespace

class TestContactJobs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { jobtest::initJobTests(); }
    void init() { m_dir = testsupport::makeTempDir(u"contactjobs"_s); }

    void edit_isOneBatch_andTheNewRowsIdLandsOnItsOwnRow();
    void restore_45Contacts_inBatchesOf20_andASecondRunSendsNothing();
    void restore_rowsThatMissedThePhone_areNamed_notCounted();
    void restore_sameNamedContacts_goOnceWithEveryRow();
    void badAnswers_leaveTheCacheAsItWas_data();
    void badAnswers_leaveTheCacheAsItWas();
    void answersMixingUpContacts_areRefused_data();
    void answersMixingUpContacts_areRefused();
    void virtualDevice_isRefused_withoutReachingForAPhone();
    void groupRemovals_goByPhoneContact_andNewIdsLandOnTheirRows();
    void groupRemovals_failures_leaveTheCacheAsItWas_data();
    void groupRemovals_failures_leaveTheCacheAsItWas();

private:
    QString m_dir;
};

void TestContactJobs::edit_isOneBatch_andTheNewRowsIdLandsOnItsOwnRow()
{
    START_PHONE(phone, u"127.0.121.1"_s, threeContacts());
    LocalContactsDb db(m_dir + u"/send.db"_s, rule());
    QCOMPARE(load(*phone, db), QString());
    const pim::_Contact ann = db.loadContact(1);
    QCOMPARE(ann.srcId, u"1/2/2/9"_s);
    QCOMPARE(db.loadContact(2).srcId, u"1/1/1/7"_s);

    // An edit of Ann is one batch; a row the phone never had is deleted
    // under its negative local id.
    ContactDataRow local = dataRow({{1, u"+49 30 999"_s}, {2, 3}});
    db.insertData(1, pim::ENTITY_PHONE, local);
    ContactDataRow changed = ann.rows(pim::ENTITY_PHONE).at(0);
    changed.values.insert(u"data1"_s, u"+49 30 111"_s);
    const QList<ContactChange> edit {
        ContactChange(pim::ENTITY_PHONE, ContactChange::ACTION_UPDATED, changed),
        ContactChange(pim::ENTITY_EMAIL, ContactChange::ACTION_ADDED, dataRow({{1, u"ann@example.org"_s}, {2, 2}})),
        ContactChange(pim::ENTITY_PHONE, ContactChange::ACTION_DELETED, ann.rows(pim::ENTITY_PHONE).at(1)),
        ContactChange(pim::ENTITY_PHONE, ContactChange::ACTION_DELETED, local),
    };
    RecordingJobReport report;
    QVERIFY2(sendEdit(*phone, db, 1, edit, report), qPrintable(report.errors().join(u'\n')));
    QCOMPARE(report.successes(), QStringList {QString()});
    QCOMPARE(phone->verdict(2), QString());
    const QByteArray emailId = QByteArray::number(db.loadContact(1).rows(pim::ENTITY_EMAIL).first().id);
    QCOMPARE(phone->restoreLines(u"contacts"_s),
             (QList<QByteArray> {"$batch:", "$ent:3/2/2/5,mobile,," + QByteArray("+49 30 111").toBase64(),
                                 "$ent:4/2/2/-" + emailId + ",work,," + QByteArray("ann@example.org").toBase64(),
                                 "$del:3/2/2/6", "$del:3/2/2/-" + QByteArray::number(local.id), "$end:", "$bye:"}));
    // The phone's id of the new row lands on it, and on nothing else: Bo,
    // whose local id is Ann's phone id, keeps his own.
    const QString made = phoneRowId(*phone, u"ann@example.org"_s);
    QVERIFY(made.startsWith("4/2/2/"_L1));
    QCOMPARE(rowSrcId(db, 1, u"ann@example.org"_s), made);
    QCOMPARE(db.loadContact(1).srcId, u"1/2/2/9"_s);
    QCOMPARE(db.loadContact(2).srcId, u"1/1/1/7"_s);
    QCOMPARE(rowSrcId(db, 2, u"bo@example.org"_s), u"4/1/1/8"_s);

    // Without a name row a new contact is refused before anything is sent.
    const qsizetype sent = phone->restoreLines(u"contacts"_s).size();
    RecordingJobReport refused;
    QVERIFY(
        !sendEdit(*phone, db, 0, {ContactChange(3, ContactChange::ACTION_ADDED, dataRow({{1, u"+1"_s}}))}, refused));
    QCOMPARE(refused.errors(), QStringList {u"A new contact needs a name before it can be sent to Android."_s});
    QCOMPARE(phone->restoreLines(u"contacts"_s).size(), sent);
}

void TestContactJobs::restore_45Contacts_inBatchesOf20_andASecondRunSendsNothing()
{
    START_PHONE(phone, u"127.0.121.4"_s);
    LocalContactsDb db(m_dir + u"/restore.db"_s, rule());
    // The contacts as a backup folder's page hands them over.
    LocalContactsDb backup(m_dir + u"/backup.db"_s, rule());
    for (int i = 0; i < 45; ++i) {
        pim::_Contact c = person(u"P%1"_s.arg(i), u"Q"_s, {u"+49 %1"_s.arg(i)});
        pim::_Contact stored;
        backup.addOrMergeContact(c, stored, nullptr);
    }
    const QList<pim::_Contact> contacts = backup.loadAll();
    QCOMPARE(contacts.size(), 45);
    RecordingJobReport report;
    AndroidRestoreContactsThread job(&phone->device, &contacts, &db, &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.successes(), QStringList {u"Successfully transferred 45 contacts to Android."_s});
    QCOMPARE(phone->verdict(1), QString());
    QCOMPARE(phone->store->batchSizes(u"contacts"_s), (QList<int> {20, 20, 5, 20, 20, 5}));
    QList<int> sending;
    for (const RecordingJobReport::Progress& p : report.progress().mid(46))
        sending << p.percent;
    QCOMPARE(sending, (QList<int> {33, 47, 62, 66, 81, 96, 100}));
    QCOMPARE(report.progress().first().status, u"Merging contacts now..."_s);
    QCOMPARE(report.progress().at(46).status, u"Updating Android device now..."_s);
    // Every contact and row carries the phone's id for it.
    QCOMPARE(phone->sim->contactBook().contacts().size(), 45);
    for (const pim::_Contact& c : db.loadAll()) {
        QCOMPARE(c.srcId, phoneRowId(*phone, c.rows(1).first().values.value(u"data2"_s).toString()));
        QCOMPARE(c.rows(3).first().srcId, phoneRowId(*phone, c.rows(3).first().values.value(u"data1"_s).toString()));
    }

    // The cache has them all: nothing goes again, no session opens.
    RecordingJobReport again;
    AndroidRestoreContactsThread second(&phone->device, &contacts, &db, &again);
    QVERIFY(jobtest::run(second));
    QCOMPARE(again.successes(),
             QStringList {u"Successfully transferred 0 contacts to Android,with 45 repeated contacts merged."_s});
    QCOMPARE(phone->sim->connections(u"service"_s).size(), 1);
}

void TestContactJobs::restore_rowsThatMissedThePhone_areNamed_notCounted()
{
    START_PHONE(phone, u"127.0.121.5"_s, threeContacts());
    LocalContactsDb db(m_dir + u"/missed.db"_s, rule());
    QCOMPARE(load(*phone, db), QString());
    // A contact the cache holds without the phone's ids.
    pim::_Contact stray = person(u"Eve"_s, u"Ray"_s);
    db.insertContact(stray);
    db.insertData(stray.id, 1, stray.entities[1][0]);

    // Ann's first number gets a label: it goes under the phone's own id,
    // and an answer for it (the same id as Bo's e-mail's local row) is no
    // new id for anything.
    pim::_Contact ann = person(u"Ann"_s, u"Lee"_s);
    ann.entities[3] << dataRow({{1, u"+49 30 100"_s}, {2, 0}, {3, u"Desk"_s}});
    phone->sim->addFault(Fault(Fault::Kind::WrongLineAt, u"contacts"_s, 2, "$batch:"));
    phone->sim->addFault(Fault(Fault::Kind::WrongLineAt, u"contacts"_s, 3, "$batch:3/2/2/5=>3/2/2/77"));
    const QList<pim::_Contact> contacts {person(u"Gus"_s, u"Hay"_s, {u"+1 700"_s}), ann,
                                         person(u"Eve"_s, u"Ray"_s, {u"+1 800"_s})};
    RecordingJobReport report;
    AndroidRestoreContactsThread job(&phone->device, &contacts, &db, &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.successes(),
             QStringList {u"Successfully transferred 0 contacts to Android,with 1 repeated contacts merged.\n"
                          "2 contacts were kept on the PC but did not reach Android: Gus Hay, Eve Ray"_s});
    QVERIFY(job.cacheOutOfStep());
    QCOMPARE(job.notTransferred(), (QStringList {u"Gus Hay"_s, u"Eve Ray"_s}));
    QCOMPARE(phone->verdict(2), QString());
    QCOMPARE(rowSrcId(db, 1, u"+49 30 100"_s), u"3/2/2/5"_s);
    QCOMPARE(rowSrcId(db, 2, u"bo@example.org"_s), u"4/1/1/8"_s);
    // Neither Gus's nor Eve's number went.
    const QList<QByteArray> lines = phone->restoreLines(u"contacts"_s);
    QVERIFY(!lines.join().contains(QByteArray("+1 700").toBase64()));
    QVERIFY(!lines.join().contains(QByteArray("+1 800").toBase64()));
}

// Contacts of one full name merge into one stored contact: it goes to the
// phone once with the rows of all of them (a number the second card labels
// anew goes once, as labelled last). Two cards merging into a contact the
// phone already has send both cards' numbers. When the phone names no id
// for the contact, every card that went into it is named, none counted.
void TestContactJobs::restore_sameNamedContacts_goOnceWithEveryRow()
{
    START_PHONE(phone, u"127.0.121.30"_s, threeContacts());
    LocalContactsDb db(m_dir + u"/samename.db"_s, rule());
    QCOMPARE(load(*phone, db), QString());
    pim::_Contact relabelled = person(u"Farid"_s, u"Haddad"_s, {u"+1 333"_s});
    relabelled.entities[pim::ENTITY_PHONE] << dataRow({{1, u"+1 111"_s}, {2, 3}});
    const QList<pim::_Contact> contacts {person(u"Farid"_s, u"Haddad"_s, {u"+1 111"_s, u"+1 222"_s}), relabelled,
                                         person(u"Ann"_s, u"Lee"_s, {u"+49 30 501"_s}),
                                         person(u"Ann"_s, u"Lee"_s, {u"+49 30 502"_s})};
    RecordingJobReport report;
    AndroidRestoreContactsThread job(&phone->device, &contacts, &db, &report);
    QVERIFY(jobtest::run(job));
    QCOMPARE(report.successes(),
             QStringList {u"Successfully transferred 1 contacts to Android,with 3 repeated contacts merged."_s});
    QVERIFY(!job.cacheOutOfStep());
    QCOMPARE(phone->verdict(2), QString());
    const QList<QByteArray> lines = phone->restoreLines(u"contacts"_s);
    QCOMPARE(jobtest::countPrefix(lines, "$ent:1/"), 1);
    for (const QString& number : {u"+1 111"_s, u"+1 222"_s, u"+1 333"_s, u"+49 30 501"_s, u"+49 30 502"_s})
        QCOMPARE(lines.join().count(jobtest::b64(number)), 1);
    QVERIFY(lines.join().contains(",work,," + jobtest::b64(u"+1 111"_s)));
    // On the phone: Farid once with his three numbers, Ann with both new ones.
    QStringList farid;
    for (const phonesim::SimContact& c : phone->sim->contactBook().contacts())
        if (c.rows.first().columns.value(u"data2"_s) == u"Farid"_s)
            for (const phonesim::SimRow& r : c.rows)
                farid << r.columns.value(r.kind == 1 ? u"data3"_s : u"data1"_s).toString();
    QCOMPARE(farid, u"Haddad|+1 111|+1 222|+1 333"_s.split(u'|'));
    QVERIFY(phoneRowId(*phone, u"+49 30 502"_s).startsWith("3/2/2/"_L1));
    QVERIFY(phoneRowId(*phone, u"+49 30 501"_s).startsWith("3/2/2/"_L1));

    // The phone makes the contact but names no id for it.
    START_PHONE(silent, u"127.0.121.31"_s);
    LocalContactsDb empty(m_dir + u"/samename2.db"_s, rule());
    silent->sim->addFault(Fault(Fault::Kind::WrongLineAt, u"contacts"_s, 2, "$batch:"));
    const QList<pim::_Contact> twins = contacts.mid(0, 2);
    RecordingJobReport missed;
    AndroidRestoreContactsThread unnamed(&silent->device, &twins, &empty, &missed);
    QVERIFY(jobtest::run(unnamed));
    QCOMPARE(missed.successes(),
             QStringList {u"Successfully transferred 0 contacts to Android.\n"
                          "2 contacts were kept on the PC but did not reach Android: Farid Haddad, Farid Haddad"_s});
    QVERIFY(unnamed.cacheOutOfStep());
    QCOMPARE(silent->restoreLines(u"contacts"_s).count("$batch:"), 2);
}

void TestContactJobs::badAnswers_leaveTheCacheAsItWas_data()
{
    QTest::addColumn<Fault>("fault"); // step 2 answers the names, step 3 the rows
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("usb");
    const auto wrong
        = [](int step, const QByteArray& text) { return Fault(Fault::Kind::WrongLineAt, u"contacts"_s, step, text); };
    QTest::newRow("garbage") << wrong(2, "$batch:it worked!") << u"invalid answer to a batch: $batch:it worked!"_s
                             << false;
    QTest::newRow("id for a row never sent")
        << wrong(2, "$batch:1/77/77/-77=>1/5/5/5")
        << u"the phone answered with an id for a row it was not sent: 1/77/77/-77"_s << false;
    QTest::newRow("not a batch") << wrong(3, "$end:") << u"invalid feedback [$end:], must be [$batch:]"_s << false;
    QTest::newRow("phone error") << Fault(Fault::Kind::ErrorAt, u"contacts"_s, 3, "Storage is full")
                                 << u"Storage is full"_s << true;
    QTest::newRow("stall") << Fault(Fault::Kind::StallAt, u"contacts"_s, 3)
                           << u"The phone did not answer within 0.3 seconds."_s << false;
    QTest::newRow("cancel") << Fault(Fault::Kind::StallAt, u"contacts"_s, 3) << QString() << false;
}

void TestContactJobs::badAnswers_leaveTheCacheAsItWas()
{
    QFETCH(Fault, fault);
    QFETCH(QString, error);
    QFETCH(bool, usb);
    static int n = 10;
    SimPhone::Options o;
    o.fixture = threeContacts();
    if (!usb)
        o.address = u"127.0.121.%1"_s.arg(++n);
    SimPhone phone(o);
    QVERIFY2(phone.ok(), qPrintable(phone.error));
    const QString file = m_dir + u"/bad%1.db"_s.arg(n);
    LocalContactsDb db(file, rule());
    QCOMPARE(load(phone, db), QString());
    const QByteArray before = testsupport::readFile(file);
    phone.sim->addFault(fault);

    const QList<pim::_Contact> contacts {person(u"Gus"_s, u"Hay"_s, {u"+1 700"_s}),
                                         person(u"Ann"_s, u"Lee"_s, {u"+49 30 300"_s})};
    RecordingJobReport report;
    AndroidRestoreContactsThread job(&phone.device, &contacts, &db, &report);
    job.setReplyTimeoutMs(error.isEmpty() ? -1 : 300);
    job.start();
    if (error.isEmpty()) {
        // The user gives up on a phone that went silent.
        QTRY_COMPARE_WITH_TIMEOUT(phone.restoreLines(u"contacts"_s).count("$end:"), 2, testsupport::kHangGuardMs);
        report.cancel();
    }
    QVERIFY(job.wait(QDeadlineTimer(testsupport::kHangGuardMs)));
    QCOMPARE(report.errors(), error.isEmpty() ? QStringList() : QStringList {error});
    QCOMPARE(report.endCount(), error.isEmpty() ? 0 : 1);
    QVERIFY(testsupport::readFile(file) == before); // the cache file byte for byte
    QCOMPARE(db.connection().tranDepth(), 0);
    QVERIFY(!db.connection().isRollbackOnly());
    QVERIFY(!usb || phone.forceStopped());
    // Nothing went twice: one name line for Gus, one batch of names.
    const QList<QByteArray> lines = phone.restoreLines(u"contacts"_s);
    QCOMPARE(lines.count("$batch:"), std::min<int>(2, int(lines.count("$end:"))));
    QCOMPARE(jobtest::countPrefix(lines, "$ent:1/"), 1);
    phone.sim->releaseStalls();
}

void TestContactJobs::answersMixingUpContacts_areRefused_data()
{
    QTest::addColumn<Fault>("fault"); // step 2 answers the names, step 3 the rows
    QTest::addColumn<QString>("error");
    const auto wrong
        = [](int step, const QByteArray& text) { return Fault(Fault::Kind::WrongLineAt, u"contacts"_s, step, text); };
    // The three new contacts' name rows go as 1/1/1/-1, 1/2/2/-3 and
    // 1/3/3/-5; the phone makes contacts 1 to 3, their numbers then go as
    // 3/1/1/-2, 3/2/2/-4 and 3/3/3/-6.
    QTest::newRow("one phone contact for three, one of another kind")
        << wrong(2, "$batch:1/1/1/-1=>7/101/101/1;1/2/2/-3=>1/101/101/1;1/3/3/-5=>1/101/101/1")
        << u"the phone answered with an id of another kind for the row 1/1/1/-1: 7/101/101/1"_s;
    QTest::newRow("one phone contact for two")
        << wrong(2, "$batch:1/1/1/-1=>1/101/101/1;1/3/3/-5=>1/103/103/3;1/2/2/-3=>1/101/101/2")
        << u"the phone answered with one contact id for two contacts: 1/1/1/-1=>1/101/101/1 and "
           "1/2/2/-3=>1/101/101/2"_s;
    QTest::newRow("a number under another contact")
        << wrong(3, "$batch:3/1/1/-2=>3/2/2/9;3/2/2/-4=>3/2/2/10")
        << u"the phone answered for the row 3/1/1/-2 with an id of another contact: 3/2/2/9"_s;
    QTest::newRow("a number as another kind") << wrong(3, "$batch:3/1/1/-2=>4/1/1/9")
                                              << u"the phone answered with an id of another kind for the row "
                                                 "3/1/1/-2: 4/1/1/9"_s;
    QTest::newRow("stall at the names") << Fault(Fault::Kind::StallAt, u"contacts"_s, 2)
                                        << u"The phone did not answer within 1 seconds."_s;
    QTest::newRow("close at the names") << Fault(Fault::Kind::CloseAt, u"contacts"_s, 2, "$bat") << u"*"_s;
    QTest::newRow("close at the numbers") << Fault(Fault::Kind::CloseAt, u"contacts"_s, 3) << u"*"_s;
}

// An answer that would tie two contacts to one phone contact, or a row to
// another contact or kind, ends the transfer before any id is stored: the
// phone is told, the cache is as it was, nothing went twice.
void TestContactJobs::answersMixingUpContacts_areRefused()
{
    QFETCH(Fault, fault);
    QFETCH(QString, error);
    static int n = 40;
    START_PHONE(phone, u"127.0.121.%1"_s.arg(++n));
    const QString file = m_dir + u"/mixed%1.db"_s.arg(n);
    LocalContactsDb db(file, rule());
    QCOMPARE(load(*phone, db), QString());
    const QByteArray before = testsupport::readFile(file);
    phone->sim->addFault(fault);
    const QList<pim::_Contact> contacts {person(u"Ann"_s, u"Ray"_s, {u"+1 100"_s}),
                                         person(u"Bo"_s, u"Ray"_s, {u"+1 200"_s}),
                                         person(u"Cy"_s, u"Ray"_s, {u"+1 300"_s})};
    RecordingJobReport report;
    AndroidRestoreContactsThread job(&phone->device, &contacts, &db, &report);
    job.setReplyTimeoutMs(1000);
    QVERIFY(jobtest::run(job));
    phone->sim->releaseStalls();
    QCOMPARE(report.errors().size(), 1);
    if (error != u"*"_s)
        QCOMPARE(report.errors().first(), error);
    if (error.startsWith(u"the phone"_s)) // refused: the phone is told
        QTRY_VERIFY_WITH_TIMEOUT(phone->sim->linesReceived(u"contacts"_s).last().startsWith("$error:"),
                                 testsupport::kHangGuardMs);
    QVERIFY(report.successes().isEmpty());
    QVERIFY(testsupport::readFile(file) == before);
    QCOMPARE(db.connection().tranDepth(), 0);
    const QList<QByteArray> lines = phone->restoreLines(u"contacts"_s);
    QCOMPARE(lines.count("$batch:"), fault.step - 1);
    QCOMPARE(jobtest::countPrefix(lines, "$ent:1/"), 3);
}

// A virtual device that shares a connected phone's serial: both jobs refuse
// it before any network or adb call and store nothing.
void TestContactJobs::virtualDevice_isRefused_withoutReachingForAPhone()
{
    SimPhone usb(SimPhone::Options {});
    QVERIFY2(usb.ok(), qPrintable(usb.error));
    AndroidDeviceInfo device = usb.device;
    device.folder = m_dir;
    LocalContactsDb db(m_dir + u"/virtual.db"_s, rule());
    const QList<pim::_Contact> contacts {person(u"Gus"_s, u"Hay"_s)};
    RecordingJobReport restore;
    AndroidRestoreContactsThread transfer(&device, &contacts, &db, &restore);
    QVERIFY(jobtest::run(transfer));
    RecordingJobReport send;
    AndroidSendChangesThread deletion(&device, &db, &send);
    deletion.setDeletedContacts(contacts);
    QVERIFY(jobtest::run(deletion));
    const QStringList refused {u"This device is not connected: nothing can be sent to it."_s};
    QCOMPARE(restore.errors(), refused);
    QCOMPARE(send.errors(), refused);
    QCOMPARE(db.countContacts(), 0);
    QVERIFY(usb.adb->commandLines().isEmpty());
}

// A contact left without a group row leaves all its groups on the phone,
// one that keeps groups sends its first group row (a new one gets the
// phone's id), one the phone does not have is skipped; a long list goes in
// batches the phone takes.
void TestContactJobs::groupRemovals_goByPhoneContact_andNewIdsLandOnTheirRows()
{
    START_PHONE(phone, u"127.0.121.60"_s, groupedContacts());
    LocalContactsDb db(m_dir + u"/groups.db"_s, rule());
    QCOMPARE(load(*phone, db), QString());
    QCOMPARE(db.loadContact(2).srcId, u"1/1/1/7"_s);
    const QList<pim::_Contact> contacts = changeGroups(db);
    const ContactDataRow club = contacts.at(2).rows(pim::ENTITY_GROUP).first();
    RecordingJobReport report;
    AndroidSendChangesThread job(&phone->device, &db, &report);
    job.setGroupRemovals(contacts);
    QVERIFY(jobtest::run(job));
    db.endTran(report.succeeded());
    QCOMPARE(report.errors(), QStringList());
    QCOMPARE(report.successes(), QStringList {QString()});
    QCOMPARE(phone->verdict(2), QString());
    QCOMPARE(phone->restoreLines(u"contacts"_s),
             (QList<QByteArray> {"$batch:", "$ent:7/2/2/21," + jobtest::b64(u"Friends"_s), "$ungroup:1",
                                 "$ent:7/3/3/-" + QByteArray::number(club.id) + ',' + jobtest::b64(u"Club"_s),
                                 "$end:", "$bye:"}));
    QCOMPARE(phoneGroups(*phone, 2), (QStringList {u"Friends"_s, u"Work"_s}));
    QCOMPARE(phoneGroups(*phone, 1), QStringList());
    QCOMPARE(phoneGroups(*phone, 3), QStringList {u"Club"_s});
    QCOMPARE(phone->sim->contactBook().contacts().size(), 3);
    // The phone's id of Cy's new group row lands on it, and nothing else
    // changes: Bo keeps his e-mail, Eve stays the PC's.
    const QString made = phone->sim->contactBook().rowIdWith(u"Club"_s);
    QVERIFY(made.startsWith("7/3/3/"_L1));
    QCOMPARE(db.loadContact(3).rows(pim::ENTITY_GROUP).first().srcId, made);
    QCOMPARE(db.loadContact(3).srcId, u"1/3/3/3"_s);
    QVERIFY(!job.cacheOutOfStep());
    QVERIFY(db.loadContact(contacts.at(3).id).rows(pim::ENTITY_GROUP).first().srcId.isEmpty());
    QCOMPARE(rowSrcId(db, 2, u"bo@example.org"_s), u"4/1/1/8"_s);

    // 21 contacts of the phone: two batches, every contact once.
    QJsonArray many;
    for (int i = 1; i <= 21; ++i)
        many.append(QJsonObject {
            {u"id"_s, i},
            {u"rows"_s, QJsonArray {QJsonObject {{u"kind"_s, 1}, {u"id"_s, 100 + i}, {u"data2"_s, u"P%1"_s.arg(i)}}}}});
    START_PHONE(crowded, u"127.0.121.61"_s, QJsonObject {{u"contacts"_s, many}});
    LocalContactsDb all(m_dir + u"/groups21.db"_s, rule());
    QCOMPARE(load(*crowded, all), QString());
    RecordingJobReport allReport;
    AndroidSendChangesThread allJob(&crowded->device, &all, &allReport);
    allJob.setGroupRemovals(all.loadAll());
    QVERIFY(jobtest::run(allJob));
    QCOMPARE(allReport.successes(), QStringList {QString()});
    QCOMPARE(crowded->store->batchSizes(u"contacts"_s), (QList<int> {20, 1}));
    QSet<QByteArray> ungrouped;
    for (const QByteArray& line : crowded->restoreLines(u"contacts"_s))
        if (line.startsWith("$ungroup:"))
            ungrouped.insert(line);
    QCOMPARE(ungrouped.size(), 21);
}

void TestContactJobs::groupRemovals_failures_leaveTheCacheAsItWas_data()
{
    QTest::addColumn<Fault>("fault"); // step 2 answers the batch
    QTest::addColumn<QString>("error");
    const auto at2 = [](Fault::Kind kind, const QByteArray& text = {}) { return Fault(kind, u"contacts"_s, 2, text); };
    QTest::newRow("garbage") << at2(Fault::Kind::WrongLineAt, "$batch:it worked!")
                             << u"invalid answer to a batch: $batch:it worked!"_s;
    QTest::newRow("id for a row never sent") << at2(Fault::Kind::WrongLineAt, "$batch:7/1/1/-4=>7/1/1/40")
                                             << u"the phone answered with an id for a row it was not sent: 7/1/1/-4"_s;
    QTest::newRow("phone error") << at2(Fault::Kind::ErrorAt, "Storage is full") << u"Storage is full"_s;
    QTest::newRow("close") << at2(Fault::Kind::CloseAt, "$bat") << u"*"_s;
    QTest::newRow("stall") << at2(Fault::Kind::StallAt) << u"The phone did not answer within 0.3 seconds."_s;
    QTest::newRow("cancel") << at2(Fault::Kind::StallAt) << QString();
}

// Whatever goes wrong, the sender posts one clear error (a cancel none),
// nothing as a success, and the caller's rollback leaves the cache as it was.
void TestContactJobs::groupRemovals_failures_leaveTheCacheAsItWas()
{
    QFETCH(Fault, fault);
    QFETCH(QString, error);
    static int n = 70;
    START_PHONE(phone, u"127.0.121.%1"_s.arg(++n), groupedContacts());
    const QString file = m_dir + u"/groupfail%1.db"_s.arg(n);
    LocalContactsDb db(file, rule());
    QCOMPARE(load(*phone, db), QString());
    const QByteArray before = testsupport::readFile(file);
    phone->sim->addFault(fault);
    const QList<pim::_Contact> contacts = changeGroups(db);
    RecordingJobReport report;
    AndroidSendChangesThread job(&phone->device, &db, &report);
    job.setGroupRemovals(contacts);
    job.setReplyTimeoutMs(error.isEmpty() ? -1 : 300);
    if (error.isEmpty())
        CHECKED(jobtest::cancelWhenStalled(job, report,
                                           [&] { return phone->restoreLines(u"contacts"_s).contains("$end:"); }));
    else
        QVERIFY(jobtest::run(job));
    phone->sim->releaseStalls();
    db.endTran(report.succeeded());
    QVERIFY(report.successes().isEmpty());
    if (error.isEmpty())
        QVERIFY(report.errors().isEmpty());
    else if (error == u"*"_s)
        QCOMPARE(report.errors().size(), 1);
    else
        QCOMPARE(report.errors(), QStringList {error});
    QVERIFY(testsupport::readFile(file) == before); // the cache file byte for byte
    QCOMPARE(db.connection().tranDepth(), 0);
    QCOMPARE(phone->restoreLines(u"contacts"_s).count("$batch:"), 1);
}

QTEST_GUILESS_MAIN(TestContactJobs)
#include "test_contactjobs.moc"
