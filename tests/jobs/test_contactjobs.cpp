// The contact jobs against the simulated phone, which checks every line it
// receives and keeps what it made: the change sender (edits, new contacts,
// deletions) and the contact restore (batches, progress, merging), the
// phone's ids landing on the rows they were made for, and bad answers,
// stalls and cancels leaving the cache as it was.
#include "jobs/androidrestorecontactsthread.h"
#include "jobs/androidsendchangesthread.h"
#include "phonelink/androidloadcontactsthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/localcontactsdb.h"
#include "shell/core/translations.h"

#include "simphone.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QTcpServer>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;
using phonesim::Fault;
using testsupport::RecordingJobReport;
using testsupport::SimPhone;
Q_DECLARE_METATYPE(phonesim::Fault)

namespace {

// Three contacts whose phone ids cross the local ids the cache gives them:
// Ann (phone 2) becomes local 1, Bo (phone 1) local 2, Cy (phone 3) local 3;
// Ann's first number (phone row 5) shares its number with Bo's e-mail's
// local row.
QJsonObject threeContacts()
{
    const QJsonArray contacts {
        testsupport::simContact(2,
                                {testsupport::simContactRow(1, 9, {{u"data2"_s, u"Ann"_s}, {u"data3"_s, u"Lee"_s}}),
                                 testsupport::simContactRow(3, 5, {{u"data1"_s, u"+49 30 100"_s}, {u"data2"_s, 2}}),
                                 testsupport::simContactRow(3, 6, {{u"data1"_s, u"+49 30 200"_s}, {u"data2"_s, 1}})}),
        testsupport::simContact(
            1,
            {testsupport::simContactRow(1, 7, {{u"data2"_s, u"Bo"_s}, {u"data3"_s, u"Sun"_s}}),
             testsupport::simContactRow(4, 8, {{u"data1"_s, u"bo@example.org"_s}, {u"data2"_s, 1}})}),
        testsupport::simContact(3,
                                {testsupport::simContactRow(1, 3, {{u"data2"_s, u"Cy"_s}}),
                                 testsupport::simContactRow(3, 4, {{u"data1"_s, u"+1 555 0100"_s}})}),
    };
    return QJsonObject {{u"contacts"_s, contacts}};
}

std::unique_ptr<SimPhone> startPhone(const QString& address, const QJsonObject& fixture = {})
{
    SimPhone::Options o;
    o.address = address;
    o.fixture = fixture;
    auto phone = std::make_unique<SimPhone>(o);
    if (!phone->ok())
        qWarning("%s", qPrintable(phone->error));
    return phone;
}

bool run(QThread& job)
{
    job.start();
    return job.wait(QDeadlineTimer(20000));
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
    if (!run(job) || !report.succeeded())
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
bool sendEdit(SimPhone& phone, LocalContactsDb& db, qint64 id, QList<ContactChange> changes, RecordingJobReport& report,
              qint64* storedId = nullptr)
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
    const bool ended = run(job);
    db.endTran(ended && report.succeeded());
    if (storedId)
        *storedId = work.id;
    return ended && report.succeeded();
}

// Every row of the cache file: ids, phone ids and the columns, in id order.
QStringList dump(LocalContactsDb& db)
{
    QStringList out;
    Sqlite3Cursor c = db.connection().queryThrow(
        u"select _id||'|'||contact_id||'|'||src_id||'|'||ifnull(data1,'')||'|'||ifnull(data2,'') from data"
        " order by _id"_s);
    while (c.moveNext())
        out << c.getText(0);
    Sqlite3Cursor h = db.connection().queryThrow(u"select _id||'|'||src_id||'|'||full_name from contact"_s);
    while (h.moveNext())
        out << h.getText(0);
    return out;
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
    void initTestCase() { installTranslations(qApp); }
    void init()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
        m_dir = testsupport::makeTempDir(u"contactjobs"_s);
    }
    void cleanup() { simpleprotocol::setLocalPortProvider({}); }

    void edit_ofAPhoneContact_isOneBatch_andIdsLandOnTheirOwnRows();
    void newContact_isTwoBatches_andBothAnswersLandOnTheirRows();
    void deletions_sendOneDelPerNamedContact();
    void restore_45Contacts_inBatchesOf20_andASecondRunSendsNothing();
    void restore_rowsThatMissedThePhone_areNamed_notCounted();
    void badAnswers_leaveTheCacheAsItWas_data();
    void badAnswers_leaveTheCacheAsItWas();
    void virtualDevice_isRefused_withoutReachingForAPhone();

private:
    QString m_dir;
};

void TestContactJobs::edit_ofAPhoneContact_isOneBatch_andIdsLandOnTheirOwnRows()
{
    auto phone = startPhone(u"127.0.121.1"_s, threeContacts());
    QVERIFY(phone->ok());
    LocalContactsDb db(m_dir + u"/edit.db"_s, rule());
    QCOMPARE(load(*phone, db), QString());
    const pim::_Contact ann = db.loadContact(1);
    QCOMPARE(ann.srcId, u"1/2/2/9"_s);
    QCOMPARE(db.loadContact(2).srcId, u"1/1/1/7"_s);
    // A row the phone never had (kept on the PC only).
    ContactDataRow local = dataRow({{1, u"+49 30 999"_s}, {2, 3}});
    db.insertData(1, pim::ENTITY_PHONE, local);

    ContactDataRow changed = ann.rows(pim::ENTITY_PHONE).at(0);
    changed.values.insert(u"data1"_s, u"+49 30 111"_s);
    const QList<ContactChange> changes {
        ContactChange(pim::ENTITY_PHONE, ContactChange::ACTION_UPDATED, changed),
        ContactChange(pim::ENTITY_EMAIL, ContactChange::ACTION_ADDED, dataRow({{1, u"ann@example.org"_s}, {2, 2}})),
        ContactChange(pim::ENTITY_PHONE, ContactChange::ACTION_DELETED, ann.rows(pim::ENTITY_PHONE).at(1)),
        ContactChange(pim::ENTITY_PHONE, ContactChange::ACTION_DELETED, local),
    };
    RecordingJobReport report;
    QVERIFY2(sendEdit(*phone, db, 1, changes, report), qPrintable(report.errors().join(u'\n')));
    QCOMPARE(report.successes(), QStringList {QString()});
    QCOMPARE(phone->verdict(2), QString());
    const qint64 emailId = db.loadContact(1).rows(pim::ENTITY_EMAIL).first().id;
    QCOMPARE(phone->restoreLines(u"contacts"_s),
             (QList<QByteArray> {"$batch:", "$ent:3/2/2/5,mobile,," + QByteArray("+49 30 111").toBase64(),
                                 "$ent:4/2/2/-" + QByteArray::number(emailId) + ",work,,"
                                     + QByteArray("ann@example.org").toBase64(),
                                 "$del:3/2/2/6", "$del:3/2/2/-" + QByteArray::number(local.id), "$end:", "$bye:"}));
    // The phone's id of the new row lands on it, and on nothing else: Bo,
    // whose local id is Ann's phone id, keeps his own.
    const QString made = phoneRowId(*phone, u"ann@example.org"_s);
    QVERIFY(made.startsWith("4/2/2/"_L1));
    QCOMPARE(rowSrcId(db, 1, u"ann@example.org"_s), made);
    QCOMPARE(db.loadContact(1).srcId, u"1/2/2/9"_s);
    QCOMPARE(db.loadContact(2).srcId, u"1/1/1/7"_s);
    QCOMPARE(rowSrcId(db, 2, u"bo@example.org"_s), u"4/1/1/8"_s);
    QCOMPARE(phoneRowId(*phone, u"+49 30 111"_s), u"3/2/2/5"_s);
    QCOMPARE(phoneRowId(*phone, u"+49 30 200"_s), QString());
}

void TestContactJobs::newContact_isTwoBatches_andBothAnswersLandOnTheirRows()
{
    auto phone = startPhone(u"127.0.121.2"_s, threeContacts());
    QVERIFY(phone->ok());
    LocalContactsDb db(m_dir + u"/new.db"_s, rule());
    QCOMPARE(load(*phone, db), QString());

    // Without a name row a new contact is refused before anything is sent.
    RecordingJobReport refused;
    QVERIFY(
        !sendEdit(*phone, db, 0, {ContactChange(3, ContactChange::ACTION_ADDED, dataRow({{1, u"+1"_s}}))}, refused));
    QCOMPARE(refused.errors(), QStringList {u"A new contact needs a name before it can be sent to Android."_s});
    QVERIFY(phone->restoreLines(u"contacts"_s).isEmpty());

    const QList<ContactChange> changes {
        ContactChange(1, ContactChange::ACTION_ADDED, dataRow({{2, u"Dee"_s}, {3, u"Fox"_s}})),
        ContactChange(3, ContactChange::ACTION_ADDED, dataRow({{1, u"+44 1"_s}, {2, 2}})),
        ContactChange(3, ContactChange::ACTION_ADDED, dataRow({{1, u"+44 2"_s}, {2, 3}})),
    };
    RecordingJobReport report;
    qint64 id = 0;
    QVERIFY2(sendEdit(*phone, db, 0, changes, report, &id), qPrintable(report.errors().join(u'\n')));
    QCOMPARE(phone->verdict(2), QString());
    const pim::_Contact dee = db.loadContact(id);
    const QString nameId = phoneRowId(*phone, u"Dee"_s);
    QCOMPARE(dee.srcId, nameId);
    QCOMPARE(dee.rows(pim::ENTITY_NAME).first().srcId, nameId);
    const QString contact = nameId.section(u'/', 1, 1);
    const QList<QByteArray> lines = phone->restoreLines(u"contacts"_s);
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines.mid(0, 3),
             (QList<QByteArray> {"$batch:",
                                 "$ent:1/" + QByteArray::number(id) + '/' + QByteArray::number(id) + "/-"
                                     + QByteArray::number(dee.rows(1).first().id) + ",," + QByteArray("Dee").toBase64()
                                     + ",," + QByteArray("Fox").toBase64() + ",",
                                 "$end:"}));
    QVERIFY(lines.at(4).startsWith("$ent:3/" + contact.toLatin1() + '/' + contact.toLatin1() + "/-"));
    QCOMPARE(lines.mid(6), (QList<QByteArray> {"$end:", "$bye:"}));
    for (const QString& number : {u"+44 1"_s, u"+44 2"_s}) {
        QVERIFY(phoneRowId(*phone, number).startsWith(u"3/%1/%1/"_s.arg(contact)));
        QCOMPARE(rowSrcId(db, id, number), phoneRowId(*phone, number));
    }
}

void TestContactJobs::deletions_sendOneDelPerNamedContact()
{
    auto phone = startPhone(u"127.0.121.3"_s, threeContacts());
    QVERIFY(phone->ok());
    LocalContactsDb db(m_dir + u"/del.db"_s, rule());
    QCOMPARE(load(*phone, db), QString());
    pim::_Contact nameless(9, QString(), u"No name"_s);
    nameless.entities[3] << dataRow({{1, u"+1"_s}});
    RecordingJobReport report;
    AndroidSendChangesThread job(&phone->device, &db, &report);
    job.setDeletedContacts({db.loadContact(1), nameless, db.loadContact(3)});
    QVERIFY(run(job));
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(u'\n')));
    QCOMPARE(phone->verdict(2), QString());
    QCOMPARE(phone->restoreLines(u"contacts"_s),
             (QList<QByteArray> {"$batch:", "$del:1/2/2/9", "$del:1/3/3/3", "$end:", "$bye:"}));
    const QList<phonesim::SimContact> left = phone->sim->contactBook().contacts();
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.first().id, 1);
}

void TestContactJobs::restore_45Contacts_inBatchesOf20_andASecondRunSendsNothing()
{
    auto phone = startPhone(u"127.0.121.4"_s);
    QVERIFY(phone->ok());
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
    QVERIFY(run(job));
    QCOMPARE(report.successes(), QStringList {u"Successfully transferred 45 contacts to Android."_s});
    QCOMPARE(phone->verdict(1), QString());
    QCOMPARE(phone->store->batchSizes(u"contacts"_s), (QList<int> {20, 20, 5, 20, 20, 5}));
    QList<int> sending;
    for (const RecordingJobReport::Progress& p : report.progress().mid(46))
        sending << p.percent;
    QCOMPARE(sending, (QList<int> {33, 47, 62, 66, 81, 96, 100}));
    QCOMPARE(report.progress().at(46).status, u"Updating Android device now..."_s);
    QCOMPARE(report.progress().first().status, u"Merging contacts now..."_s);
    QCOMPARE(report.progress().at(1).text, u"Contacts:1/45"_s);
    QCOMPARE(report.progress().at(1).percent, 0);
    QCOMPARE(report.progress().at(45).percent, 33);
    // Every contact and row carries the phone's id for it.
    QCOMPARE(phone->sim->contactBook().contacts().size(), 45);
    for (const pim::_Contact& c : db.loadAll()) {
        QCOMPARE(c.srcId, phoneRowId(*phone, c.rows(1).first().values.value(u"data2"_s).toString()));
        QCOMPARE(c.rows(3).first().srcId, phoneRowId(*phone, c.rows(3).first().values.value(u"data1"_s).toString()));
    }

    // The cache has them all: nothing goes again, no session opens.
    RecordingJobReport again;
    AndroidRestoreContactsThread second(&phone->device, &contacts, &db, &again);
    QVERIFY(run(second));
    QCOMPARE(again.successes(),
             QStringList {u"Successfully transferred 0 contacts to Android,with 45 repeated contacts merged."_s});
    QCOMPARE(phone->sim->connections(u"service"_s).size(), 1);
}

void TestContactJobs::restore_rowsThatMissedThePhone_areNamed_notCounted()
{
    auto phone = startPhone(u"127.0.121.5"_s, threeContacts());
    QVERIFY(phone->ok());
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
    QVERIFY(run(job));
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
    LocalContactsDb db(m_dir + u"/bad%1.db"_s.arg(n), rule());
    QCOMPARE(load(phone, db), QString());
    const QStringList before = dump(db);
    phone.sim->addFault(fault);

    const QList<pim::_Contact> contacts {person(u"Gus"_s, u"Hay"_s, {u"+1 700"_s}),
                                         person(u"Ann"_s, u"Lee"_s, {u"+49 30 300"_s})};
    RecordingJobReport report;
    AndroidRestoreContactsThread job(&phone.device, &contacts, &db, &report);
    job.setReplyTimeoutMs(error.isEmpty() ? -1 : 300);
    job.start();
    if (error.isEmpty()) {
        // The user gives up on a phone that went silent.
        QTRY_COMPARE(phone.restoreLines(u"contacts"_s).count("$end:"), 2);
        report.cancel();
    }
    QVERIFY(job.wait(QDeadlineTimer(20000)));
    QCOMPARE(report.errors(), error.isEmpty() ? QStringList() : QStringList {error});
    QCOMPARE(report.endCount(), error.isEmpty() ? 0 : 1);
    QCOMPARE(dump(db), before);
    QCOMPARE(db.connection().tranDepth(), 0);
    QVERIFY(!db.connection().isRollbackOnly());
    QVERIFY(!usb || phone.forceStopped());
    // Nothing went twice: one name line for Gus, one batch of names.
    const QList<QByteArray> lines = phone.restoreLines(u"contacts"_s);
    QCOMPARE(lines.count("$batch:"), std::min<int>(2, int(lines.count("$end:"))));
    QCOMPARE(std::count_if(lines.begin(), lines.end(), [](const QByteArray& l) { return l.startsWith("$ent:1/"); }), 1);
    phone.sim->releaseStalls();
}

void TestContactJobs::virtualDevice_isRefused_withoutReachingForAPhone()
{
    SimPhone usb(SimPhone::Options {});
    QVERIFY2(usb.ok(), qPrintable(usb.error));
    AndroidDeviceInfo device = usb.device;
    device.folder = m_dir; // a virtual device with the phone's serial
    LocalContactsDb db(m_dir + u"/virtual.db"_s, rule());
    const QList<pim::_Contact> contacts {person(u"Gus"_s, u"Hay"_s)};
    RecordingJobReport restore;
    AndroidRestoreContactsThread transfer(&device, &contacts, &db, &restore);
    QVERIFY(run(transfer));
    RecordingJobReport send;
    AndroidSendChangesThread deletion(&device, &db, &send);
    deletion.setDeletedContacts(contacts);
    QVERIFY(run(deletion));
    const QStringList refused {u"This device is not connected: nothing can be sent to it."_s};
    QCOMPARE(restore.errors(), refused);
    QCOMPARE(send.errors(), refused);
    QCOMPARE(db.countContacts(), 0);
    QVERIFY(usb.adb->commandLines().isEmpty());
}

QTEST_GUILESS_MAIN(TestContactJobs)
#include "test_contactjobs.moc"
