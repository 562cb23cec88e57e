// A phone's contacts page sends every change to the phone and keeps it only
// when the phone took it: edits, new contacts, deletions and imports on a
// simulated phone, transfers to a second one (whose contacts are loaded
// first), and after a failure or a cancel the cache is loaded from the phone
// again before anything more is sent.
#include "views/contacts/contactdisplayer.h"
#include "views/contacts/contactsmainform.h"

#include "phonelink/androidloadcontactsthread.h"
#include "records/localcontactsdb.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "editorsteps.h"
#include "pagetest.h"

#include <QMessageBox>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace contacttest;
using phonesim::Fault;
using testsupport::simContact;
using testsupport::simContactRow;
using testsupport::SimPhone;

namespace {

QSharedPointer<AbsContactCombineRule> rule()
{
    return QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule);
}

// Ann (phone contact 2), Bo (1) and Cy (3), listed in that order.
QJsonObject threeContacts()
{
    return QJsonObject {{u"contacts"_s,
                         QJsonArray {
                             simContact(2,
                                        {simContactRow(1, 9, {{u"data2"_s, u"Ann"_s}, {u"data3"_s, u"Lee"_s}}),
                                         simContactRow(3, 5, {{u"data1"_s, u"+49 30 100"_s}, {u"data2"_s, 2}})}),
                             simContact(1,
                                        {simContactRow(1, 7, {{u"data2"_s, u"Bo"_s}, {u"data3"_s, u"Sun"_s}}),
                                         simContactRow(4, 8, {{u"data1"_s, u"bo@example.org"_s}, {u"data2"_s, 1}})}),
                             simContact(3, {simContactRow(1, 3, {{u"data2"_s, u"Cy"_s}})}),
                         }}};
}

// One character of every Unicode plane, 0 to 16.
QString everyPlane()
{
    QList<char32_t> points {u'é'};
    for (char32_t plane = 1; plane <= 16; ++plane)
        points << (plane << 16) + (plane == 14 ? 0x41 : 0x100);
    return QString::fromUcs4(points.constData(), points.size());
}

// A phone whose contacts use every kind of row and every plane.
QJsonObject richContacts()
{
    const QString planes = everyPlane();
    const QByteArray photo = QByteArray("\x89PNG\r\n\x1a\n\0\xff", 10);
    return QJsonObject {
        {u"contacts"_s,
         QJsonArray {
             simContact(
                 40,
                 {simContactRow(1, 400,
                                {{u"data2"_s, u"Zoë "_s + planes}, {u"data3"_s, u"Ünal"_s}, {u"data5"_s, u"Dr"_s}}),
                  simContactRow(2, 401, {{u"data15"_s, QString::fromLatin1(photo.toBase64())}}),
                  simContactRow(3, 402, {{u"data1"_s, u"+49 30 1234"_s}, {u"data2"_s, 2}}),
                  simContactRow(3, 403, {{u"data1"_s, u"+49 30 5678"_s}, {u"data3"_s, u"Boat, \"aft\""_s}}),
                  simContactRow(4, 404, {{u"data1"_s, u"zoe@example.org"_s}, {u"data2"_s, 2}}),
                  simContactRow(5, 405, {{u"data1"_s, u"Zo"_s}}),
                  simContactRow(6, 406, {{u"data1"_s, u"1980-02-29"_s}, {u"data2"_s, 3}}),
                  simContactRow(7, 407, {{u"data2"_s, u"Climbers"_s}}),
                  simContactRow(8, 408, {{u"data1"_s, u"zoe.im"_s}, {u"data2"_s, 1}, {u"data5"_s, 5}}),
                  simContactRow(8, 409, {{u"data1"_s, u"zoe2"_s}, {u"data6"_s, u"Matrix"_s}}),
                  simContactRow(9, 410, {{u"data1"_s, u"Line 1\nLine 2, "_s + planes}}),
                  simContactRow(
                      10, 411,
                      {{u"data1"_s, u"Acme"_s}, {u"data2"_s, 1}, {u"data4"_s, u"Chief"_s}, {u"data5"_s, u"Rockets"_s}}),
                  simContactRow(11, 412, {{u"data1"_s, u"Max"_s}, {u"data2"_s, 9}}),
                  simContactRow(12, 413,
                                {{u"data2"_s, 1},
                                 {u"data4"_s, u"1 Main St"_s},
                                 {u"data7"_s, u"Springfield"_s},
                                 {u"data10"_s, planes}}),
                  simContactRow(13, 414, {{u"data1"_s, u"https://zoe.example/"_s}, {u"data2"_s, 1}})}),
             simContact(41,
                        {simContactRow(1, 420, {{u"data2"_s, u"Bo"_s}}),
                         simContactRow(3, 421, {{u"data1"_s, u"+1 555 0100"_s}, {u"data2"_s, 17}})}),
         }}};
}

// Every row of a contacts file as text: contact ids and phone ids left
// out, everything else exactly; "full name|kind|data1|...|data15".
QStringList contents(LocalContactsDb& db, bool withSrcIds = false)
{
    QStringList out;
    for (const pim::_Contact& c : db.loadAll()) {
        if (withSrcIds)
            out << c.fullName + u'|' + c.srcId;
        for (auto it = c.entities.cbegin(); it != c.entities.cend(); ++it) {
            for (const ContactDataRow& r : it.value()) {
                QStringList line {c.fullName, QString::number(it.key())};
                for (int n = 1; n <= 15; ++n) {
                    const QString key = u"data%1"_s.arg(n);
                    // A group's data1 is the cache's own id of the group.
                    if (it.key() == pim::ENTITY_GROUP && n == 1)
                        continue;
                    line << (n == 15 ? QString::fromLatin1(r.values.value(key).toByteArray().toHex())
                                     : pim::valueText(r.values, key));
                }
                if (withSrcIds)
                    line << r.srcId;
                out << line.join(u'|');
            }
        }
    }
    return out;
}

QStringList fileContents(const QString& path, bool withSrcIds = false)
{
    LocalContactsDb db(path, rule());
    return contents(db, withSrcIds);
}

} // namespace

class TestPhoneContacts : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initPageTests(); }
    void cleanup() { cleanupPage(); }

    void edit_isKeptOnlyWhenThePhoneTookIt_andAFailureReloadsBeforeTheNextSend();
    void delete_sendsTheNameRowsIds_andAFailedDeletionKeepsTheRows();
    void import_intoAPhonePage_goesToThePhone();
    void transfer_loadsTheTargetFirst_andTheRoundTripKeepsEveryRow();
    void transfer_failuresRollBack_stopTheAgent_andTheRetryDuplicatesNothing();
};

void TestPhoneContacts::edit_isKeptOnlyWhenThePhoneTookIt_andAFailureReloadsBeforeTheNextSend()
{
    SimPhone sim(u"127.0.122.1"_s, threeContacts());
    QVERIFY2(sim.ok(), qPrintable(sim.error));
    _AndroidDeviceItemNode* phone = addPhone(sim);
    ScriptedPrompt prompt;
    ContactsMainForm page(phone, devicesRoot());
    QCOMPARE(column(*page.contactModel(), 0), (QStringList {u"Ann Lee"_s, u"Bo Sun"_s, u"Cy"_s}));
    const auto renumber = [&](const QString& number) {
        prompt.answerDialog(QDialog::Accepted, u"EditContactForm"_s, [number](QDialog* d) {
            EditContactForm* dialog = shown(d);
            typeInto(phoneEdit(dialog, 0), number);
            save(dialog);
        });
    };

    // The phone takes it: one batch, the cache keeps it.
    page.listView()->setCurrentIndex(page.contactModel()->index(0, 0));
    renumber(u"+49 30 111"_s);
    page.miEdit();
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.restoreLines(u"contacts"_s),
             (QList<QByteArray> {"$batch:", "$ent:3/2/2/5,mobile,," + QByteArray("+49 30 111").toBase64(),
                                 "$end:", "$bye:"}));
    QCOMPARE(sim.sim->contactBook().rowIdWith(u"+49 30 111"_s), u"3/2/2/5"_s);
    const QStringList kept = fileContents(page.databasePath(), true);
    QVERIFY(kept.join(u'\n').contains(u"+49 30 111"_s));

    // The phone fails: nothing stays, and its contacts are to be loaded again.
    sim.sim->addFault(Fault(Fault::Kind::ErrorAt, u"restore:contacts"_s, 2, "Phone is busy"));
    renumber(u"+49 30 222"_s);
    prompt.answerMessage(QMessageBox::Ok, u"Phone is busy"_s);
    page.miEdit();
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(fileContents(page.databasePath(), true), kept);
    QVERIFY(phone->device.contactsLoadTime.isNull());

    // Before the next send the phone's contacts are loaded again; a list
    // read again has other rows, so the edit ends there.
    const int loads = sim.loads(u"contacts"_s);
    const int sessions = int(sim.restoreLines(u"contacts"_s).count("$batch:"));
    page.listView()->setCurrentIndex(page.contactModel()->index(0, 0));
    page.miEdit();
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.loads(u"contacts"_s), loads + 1);
    QCOMPARE(sim.restoreLines(u"contacts"_s).count("$batch:"), sessions);
    QVERIFY(!phone->device.contactsLoadTime.isNull());
    QCOMPARE(page.contactModel()->rowCount(), 3);

    // While that load fails, nothing is sent at all.
    sim.sim->addFault(Fault(Fault::Kind::ErrorAt, u"restore:contacts"_s, 2, "Phone is busy"));
    page.listView()->setCurrentIndex(page.contactModel()->index(0, 0));
    renumber(u"+49 30 333"_s);
    prompt.answerMessage(QMessageBox::Ok, u"Phone is busy"_s);
    page.miEdit();
    sim.sim->addFault(Fault(Fault::Kind::ErrorAt, u"backup:contacts"_s, 2, "Phone is locked"));
    prompt.answerMessage(QMessageBox::Ok, u"Phone is locked"_s);
    page.miAdd();
    VERIFY_SCRIPT_DONE(prompt);
    QVERIFY(phone->device.contactsLoadTime.isNull());
    QCOMPARE(sim.restoreLines(u"contacts"_s).count("$batch:"), sessions + 1);

    // Once it loads, a new contact with two numbers goes: its name first,
    // then the numbers under the phone's new contact; every id lands on its
    // own row.
    prompt.answerDialog(QDialog::Accepted, u"EditContactForm"_s, [](QDialog* d) {
        EditContactForm* dialog = shown(d);
        typeInto(field(dialog, "txtFirstName"), u"Dee"_s);
        typeInto(field(dialog, "txtLastName"), u"Fox"_s);
        addNumber(dialog, u"+44 1"_s);
        addNumber(dialog, u"+44 2"_s);
        save(dialog);
    });
    const int before = int(sim.restoreLines(u"contacts"_s).size());
    page.miAdd();
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.verdict(int(sim.sim->connections(u"service"_s).size())), QString());
    const QList<QByteArray> lines = sim.restoreLines(u"contacts"_s).mid(before);
    QCOMPARE(lines.count("$batch:"), 2);
    QVERIFY(lines.at(1).startsWith("$ent:1/"));
    const pim::_Contact dee = page.card()->contact();
    QCOMPARE(dee.fullName, u"Dee Fox"_s);
    QCOMPARE(dee.srcId, sim.sim->contactBook().rowIdWith(u"Dee"_s));
    QCOMPARE(dee.rows(pim::ENTITY_NAME).first().srcId, dee.srcId);
    const QString contact = dee.srcId.section(u'/', 1, 1);
    for (const ContactDataRow& r : dee.rows(pim::ENTITY_PHONE)) {
        QCOMPARE(r.srcId, sim.sim->contactBook().rowIdWith(pim::valueText(r.values, u"data1"_s)));
        QVERIFY(r.srcId.startsWith(u"3/%1/%1/"_s.arg(contact)));
    }
    QCOMPARE(dee.rows(pim::ENTITY_PHONE).size(), 2);
}

void TestPhoneContacts::delete_sendsTheNameRowsIds_andAFailedDeletionKeepsTheRows()
{
    SimPhone sim(u"127.0.122.2"_s, threeContacts());
    QVERIFY2(sim.ok(), qPrintable(sim.error));
    _AndroidDeviceItemNode* phone = addPhone(sim);
    ScriptedPrompt prompt;
    ContactsMainForm page(phone, devicesRoot());

    prompt.answerMessage(QMessageBox::Ok, u"Please select Contacts to delete."_s);
    page.miToolbarDelete();
    selectRows(page.listView(), {0, 2});
    prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete selected contacts?"_s);
    prompt.answerMessage(QMessageBox::Ok, u"Successfully deleted contacts."_s);
    page.miToolbarDelete();
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.restoreLines(u"contacts"_s),
             (QList<QByteArray> {"$batch:", "$del:1/2/2/9", "$del:1/3/3/3", "$end:", "$bye:"}));
    QCOMPARE(column(*page.contactModel(), 0), QStringList {u"Bo Sun"_s});
    QCOMPARE(sim.sim->contactBook().contacts().size(), 1);

    const QStringList kept = fileContents(page.databasePath(), true);
    sim.sim->addFault(Fault(Fault::Kind::CloseAt, u"restore:contacts"_s, 2));
    selectRows(page.listView(), {0});
    prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete selected contacts?"_s);
    prompt.answerMessage(QMessageBox::Ok);
    page.miDelete();
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(fileContents(page.databasePath(), true), kept);
    QCOMPARE(page.contactModel()->rowCount(), 1);
    QVERIFY(phone->device.contactsLoadTime.isNull());
}

void TestPhoneContacts::import_intoAPhonePage_goesToThePhone()
{
    SimPhone sim(u"127.0.122.3"_s, threeContacts());
    QVERIFY2(sim.ok(), qPrintable(sim.error));
    const QString vcf = testsupport::makeTempDir(u"import"_s) + u"/in.vcf"_s;
    {
        QFile f(vcf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nTEL;TYPE=WORK:+49 30 7777\r\nEND:VCARD\r\n"
                "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Gray;Ed;;;\r\nFN:Ed Gray\r\nTEL:+49 30 8888\r\nEND:VCARD\r\n");
    }
    ScriptedPrompt prompt;
    ContactsMainForm page(addPhone(sim), devicesRoot());
    prompt.answerOpenFile(vcf);
    prompt.answerMessage(QMessageBox::Ok,
                         u"Successfully transferred 1 contacts to Android,with 1 repeated contacts merged."_s);
    page.miImport();
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.verdict(2), QString());
    QCOMPARE(column(*page.contactModel(), 0), (QStringList {u"Ann Lee"_s, u"Bo Sun"_s, u"Cy"_s, u"Ed Gray"_s}));
    // Every row of the cache carries the phone's id of it.
    for (const pim::_Contact& c : page.contactModel()->contacts())
        for (const QList<ContactDataRow>& rows : c.entities)
            for (const ContactDataRow& r : rows)
                QVERIFY2(sim.sim->contactBook().hasRow(r.srcId), qPrintable(c.fullName + u' ' + r.srcId));
    QVERIFY(sim.sim->contactBook().rowIdWith(u"+49 30 7777"_s).startsWith("3/2/2/"_L1));
}

void TestPhoneContacts::transfer_loadsTheTargetFirst_andTheRoundTripKeepsEveryRow()
{
    SimPhone first(u"127.0.122.4"_s, richContacts());
    QJsonObject device = testsupport::defaultDevice();
    device.insert(u"uid"_s, u"uid-second"_s);
    SimPhone second(u"127.0.122.5"_s, QJsonObject {{u"device"_s, device}});
    QVERIFY2(first.ok() && second.ok(), qPrintable(first.error + second.error));
    _AndroidDeviceItemNode* source = addPhone(first);
    _AndroidDeviceItemNode* target = addPhone(second);
    ScriptedPrompt prompt;
    ContactsMainForm page(source, devicesRoot());
    QVERIFY(action(page.createToolbarActions(), u"Transfer Android Contacts to other Android"_s)->isEnabled());
    prompt.answerDeviceChoice(second.device.deviceId());
    prompt.answerMessage(QMessageBox::Ok, u"Successfully transferred 2 contacts to Android."_s);
    page.miToolbarA2A();
    VERIFY_SCRIPT_DONE(prompt);
    // The target's contacts were loaded before anything was sent.
    QCOMPARE(second.loads(u"contacts"_s), 1);
    QVERIFY(!target->device.contactsLoadTime.isNull());
    QCOMPARE(second.verdict(2), QString());

    // Loaded back from the second phone, every row is what the first phone
    // has, but an organisation's type (the merge keeps only its company,
    // title and department).
    const QString back = testsupport::makeTempDir(u"back"_s) + u"/contacts.db"_s;
    {
        LocalContactsDb db(back, rule());
        testsupport::RecordingJobReport report;
        AndroidLoadContactsThread load(&db, &second.device, &report);
        load.start();
        QVERIFY(load.wait(QDeadlineTimer(20000)));
        QVERIFY(report.succeeded());
    }
    QStringList original = fileContents(page.databasePath());
    QCOMPARE(original.size(), 17);
    QVERIFY(original.join(u'\n').contains(everyPlane()));
    for (QString& line : original)
        line.replace(u"|10|Acme|1|"_s, u"|10|Acme|0|"_s);
    QCOMPARE(fileContents(back), original);
}

void TestPhoneContacts::transfer_failuresRollBack_stopTheAgent_andTheRetryDuplicatesNothing()
{
    SimPhone::Options usb; // no address: the USB road
    usb.fixture = threeContacts();
    SimPhone target(usb);
    QVERIFY2(target.ok(), qPrintable(target.error));
    _LocalDbItemNode* backup = addBackup(u"Home"_s);
    {
        LocalContactsDb db(backup->dir.absoluteFilePath(u"contacts.db"_s), rule());
        for (const auto& [first, number] :
             {std::pair {u"Gus"_s, u"+1 700"_s}, {u"Hal"_s, u"+1 701"_s}, {u"Ann"_s, u"+1 702"_s}}) {
            pim::_Contact c(0, QString(), first + u" Lee"_s);
            ContactDataRow name;
            name.values = {{u"data2"_s, first}, {u"data3"_s, u"Lee"_s}};
            ContactDataRow phone;
            phone.values = {{u"data1"_s, number}, {u"data2"_s, 2}};
            c.entities[1] << name;
            c.entities[3] << phone;
            pim::_Contact stored;
            db.addOrMergeContact(c, stored, nullptr);
        }
    }
    _AndroidDeviceItemNode* phone = addPhone(target);
    const QString cache = phone->device.cacheDir().absoluteFilePath(u"contacts.db"_s);
    ScriptedPrompt prompt;
    ContactsMainForm page(backup, devicesRoot());
    const auto transfer = [&](const QString& message) {
        prompt.answerDeviceChoice(target.device.deviceId());
        if (!message.isEmpty())
            prompt.answerMessage(QMessageBox::Ok, message);
        page.miToolbarDB2A();
    };

    // A phone error at the answer to the first batch; then a cancel while
    // the phone is silent after the next. Each time the phone keeps what it
    // made; the first time that is Gus and Hal without their numbers.
    const QStringList cached {u"Ann Lee|Bo Sun|Cy"_s, u"Ann Lee|Bo Sun|Cy|Gus Lee|Hal Lee"_s};
    for (int round = 0; round < 2; ++round) {
        QVERIFY(phone->device.contactsLoadTime.isNull());
        const int loads = target.loads(u"contacts"_s);
        const qsizetype batches = target.restoreLines(u"contacts"_s).count("$end:");
        prompt.setRunProgressForms(false);
        prompt.answerDeviceChoice(target.device.deviceId());
        prompt.answerDialogRun(u"ProgressForm"_s); // the target's contacts load first
        if (round == 0) {
            target.sim->addFault(Fault(Fault::Kind::ErrorAt, u"restore:contacts"_s, 2, "Storage is full"));
            prompt.answerDialogRun(u"ProgressForm"_s);
            prompt.answerMessage(QMessageBox::Ok, u"Storage is full"_s);
        } else {
            target.sim->addFault(Fault(Fault::Kind::StallAt, u"restore:contacts"_s, 2));
            prompt.answerDialog(QDialog::Rejected, u"ProgressForm"_s, [&](QDialog*) {
                QVERIFY(QTest::qWaitFor([&] { return target.restoreLines(u"contacts"_s).count("$end:") > batches; }));
            });
        }
        page.miToolbarDB2A();
        VERIFY_SCRIPT_DONE(prompt);
        prompt.setRunProgressForms(true);
        QCOMPARE(target.loads(u"contacts"_s), loads + 1);
        // The cache is what the load made of the phone, the agent stopped,
        // the load time cleared.
        QStringList names;
        for (const QString& line : fileContents(cache))
            if (line.section(u'|', 1, 1) == u"1"_s)
                names << line.section(u'|', 0, 0);
        QCOMPARE(names.join(u'|'), cached.at(round));
        QVERIFY(target.forceStopped());
        QVERIFY(phone->device.contactsLoadTime.isNull());
        target.adb->clearLog();
        target.sim->releaseStalls();
        target.sim->setAgentRunning(true); // as the next connection would
    }

    // The retry loads the phone's contacts first and sends only what it
    // lacks: every contact and number is on the phone once.
    transfer(u"Successfully transferred 0 contacts to Android,with 3 repeated contacts merged."_s);
    VERIFY_SCRIPT_DONE(prompt);
    QStringList onPhone;
    for (const phonesim::SimContact& c : target.sim->contactBook().contacts())
        for (const phonesim::SimRow& r : c.rows)
            onPhone << r.columns.value(r.kind == 1 ? u"data2"_s : u"data1"_s).toString();
    onPhone.sort();
    QCOMPARE(onPhone,
             (QStringList {u"+1 700"_s, u"+1 701"_s, u"+1 702"_s, u"+49 30 100"_s, u"Ann"_s, u"Bo"_s, u"Cy"_s, u"Gus"_s,
                           u"Hal"_s, u"bo@example.org"_s}));
}

QTEST_MAIN(TestPhoneContacts)
#include "test_phonecontacts.moc"
