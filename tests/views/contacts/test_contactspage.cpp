// The contacts page end to end against simulated phones: the first load
// and the cached second visit, the list's order and columns, the search and
// the card it shows, every export format, backup into a chosen folder,
// import into a backup folder, and the commands' enabling with no, one and
// two phones. A backup folder of awkward contacts (no name row, hundreds of
// numbers, a 10 MB photo, photo bytes that are no picture, a name of 10,000
// characters) shows quickly, and a photo is saved as it is.
// A phone's page sends every change to the phone and keeps it only when the
// phone took it: edits, new contacts, imports and deletions, transfers to a
// second phone (whose contacts are loaded first); after a failure or a
// cancel the cache is loaded from the phone again before anything more is
// sent.
#include "views/contacts/contactdisplayer.h"
#include "views/contacts/contactsmainform.h"
#include "views/contacts/contactspages.h"

#include "formats/exporttofilethread.h"
#include "jobs/localdbselform.h"
#include "pictures/pictureloader.h"
#include "scriptedprompt.h"
#include "shell/core/dataroot.h"
#include "shell/mytreeview.h"
#include "shell/pageregistry.h"

#include "contacttest.h"
#include "decodewatch.h"
#include "pagetest.h"
#include "testpictures.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace contacttest;
using phonesim::Fault;
using testsupport::SimPhone;

namespace {

constexpr char kAddress[] = "127.0.117.1";

// A phone fixture of data/phones.json: "three" (Ann, phone contact 2; Bo,
// 1; Cy, 3) or "rich" (every kind of row and every Unicode plane).
QJsonObject phone(const QString& name)
{
    return testsupport::fixtureFile(u"tests/views/contacts/data/phones.json"_s).value(name).toObject();
}

// A phone without contacts, told from the others by its uid.
QJsonObject emptyPhone(const QString& uid)
{
    QJsonObject device = testsupport::defaultDevice();
    device.insert(u"uid"_s, uid);
    return QJsonObject {{u"device"_s, device}};
}

// Every row of a contacts file as "full name|kind|data1|...|data15";
// contact and row ids left out, and a group's data1 (the cache's own id of
// the group).
QStringList fileContents(const QString& path)
{
    QStringList out;
    for (const pim::_Contact& c : LocalContactsDb(path, rule()).loadAll()) {
        for (auto it = c.entities.cbegin(); it != c.entities.cend(); ++it) {
            for (const ContactDataRow& r : it.value()) {
                QString line = c.fullName + u'|' + QString::number(it.key());
                for (int n = 1; n <= 15; ++n) {
                    const QString key = u"data%1"_s.arg(n);
                    const QString text = n == 15 ? QString::fromLatin1(r.values.value(key).toByteArray().toHex())
                                                 : pim::valueText(r.values, key);
                    line += u'|' + (it.key() == pim::ENTITY_GROUP && n == 1 ? QString() : text);
                }
                out << line;
            }
        }
    }
    return out;
}

// A JPEG of 6000 x 4000 pixels padded to 10 MB (the bytes after its end
// marker are ignored by readers, as in files some cameras write).
QByteArray bigPhoto()
{
    QImage image(6000, 4000, QImage::Format_RGB32);
    image.fill(QColor(200, 90, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes + QByteArray(10 * 1024 * 1024 - bytes.size(), 'x');
}

// A phone holding a contact of each photo: the scan bomb, the chunk bomb,
// a red JPEG and a blue PNG, named so that they list in that order.
QJsonObject phoneOfPhotos()
{
    const std::pair<const char*, QByteArray> photos[]
        = {{"A scans", testpictures::scanBomb()},
           {"B chunk", testpictures::chunkBomb()},
           {"C red", testpictures::encoded(testpictures::filled(300, 200, Qt::red), "JPG")},
           {"D blue", testpictures::encoded(testpictures::filled(120, 160, Qt::blue), "PNG")}};
    QJsonArray contacts;
    qint64 id = 0;
    for (const auto& [name, bytes] : photos) {
        ++id;
        contacts << testsupport::simContact(
            id,
            {testsupport::simContactRow(pim::ENTITY_NAME, id * 10 + 1, {{u"data2"_s, QString::fromLatin1(name)}}),
             testsupport::simContactRow(pim::ENTITY_PHOTO, id * 10 + 2,
                                        {{u"data15"_s, QString::fromLatin1(bytes.toBase64())}})});
    }
    QJsonObject device = testsupport::defaultDevice();
    device.insert(u"uid"_s, u"uid-photos"_s);
    return {{u"device"_s, device}, {u"contacts"_s, contacts}};
}

} // namespace

class TestContactsPage : public testsupport::PageTest {
    Q_OBJECT

public:
    TestContactsPage()
        : PageTest(
            {.address = QString::fromLatin1(kAddress), .fixture = u"tests/views/contacts/data/phone_contacts.json"_s})
    {
    }

private Q_SLOTS:
    // The first visit loads the phone's contacts once, the second reads the
    // cache. The list is sorted, its Phone column prefers the Mobile number.
    // The search starts after the current row, wraps around, finds the
    // current row last, and skips events and groups; the card of the row
    // found shows its sections in their fixed order, the phone's text never
    // as markup.
    void firstVisitLoadsOnce_listSorted_searchWraps_cardShowsMarkupAsText()
    {
        ScriptedPrompt prompt;
        const int loads = m_sim->loads(u"contacts"_s);
        ContactsMainForm(m_phone, devicesRoot()); // the first visit
        QVERIFY(!m_phone->device.contactsLoadTime.isNull());
        ContactsMainForm page(m_phone, devicesRoot());
        QCOMPARE(m_sim->loads(u"contacts"_s), loads + 1);
        QCOMPARE(prompt.questions().size(), 1); // the first load's progress
        checkModel(page.contactModel());
        const ItemModelContacts& model = *page.contactModel();
        // Code-unit order: "<" before capitals before lower case.
        QCOMPARE(column(model, 0), u"<b>Bold</b> & Co|Alice|Zed|alice|bob"_s.split(u'|'));
        // bob's Mobile ("2" as text) is his second number; Alice has no
        // Mobile and shows her first.
        QCOMPARE(column(model, 1), u"+49 30 1234567|+44 20 7946 0001|||+1 555 0102"_s.split(u'|'));
        // A tool tip shows the text as it is, never as markup.
        QVERIFY(model.index(0, 0).data(Qt::ToolTipRole).toString().contains(u"&lt;b&gt;"_s));

        // "example.org" is in the e-mail of rows 0, 3 and 4; "Springfield"
        // only in row 1; "zeddy" is a nickname, "rockets" a department.
        const QList<std::pair<QString, int>> steps {
            {u"  EXAMPLE.ORG "_s, 0}, {u"example.org"_s, 3}, {u"example.org"_s, 4},
            {u"example.org"_s, 0},    {u"springfield"_s, 1}, {u"Springfield"_s, 1},
            {u"zeddy"_s, 2},          {u"rockets"_s, 0},     {u"   "_s, 0},
            {u"1980"_s, 0},           {u"Climbers"_s, 0}};
        prompt.answerMessage(QMessageBox::Ok, u"Find no contact with keyword 1980."_s);
        prompt.answerMessage(QMessageBox::Ok, u"Find no contact with keyword Climbers."_s);
        for (const auto& [keyword, row] : steps) {
            page.keywordEdit()->setText(keyword);
            page.onBtnSearchPressed();
            QCOMPARE(page.listView()->currentIndex().row(), row);
        }
        VERIFY_SCRIPT_DONE(prompt);

        // Every text shown, in order (data/card.txt). Only the address is
        // markup, and it holds no tag of the phone's.
        QCOMPARE(page.card()->contact().fullName, u"<b>Bold</b> & Co"_s);
        QStringList texts;
        for (const QLabel* label : page.card()->widget()->findChildren<QLabel*>()) {
            if (label->text().isEmpty())
                continue; // the photo
            texts << QString(label->text()).replace(u'\n', u"\\n"_s);
            QCOMPARE(label->textFormat(), label->text().startsWith(u"<b>Home</b>") ? Qt::RichText : Qt::PlainText);
        }
        QCOMPARE(texts, dataLines(u"card.txt"_s));
    }

    // The page writes what the export job writes for the picked filter; a
    // name without a suffix gets the filter's.
    void export_eachFilter_writesTheJobsFormat_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written"); // below the target folder
        QTest::addColumn<int>("format");
        QTest::newRow("vCard") << u"VCard Files(*.vcf)"_s << u"out"_s << u"out.vcf"_s << int(ExportVCard);
        QTest::newRow("CSV") << u"CSV Files(*.csv)"_s << u"out"_s << u"out.csv"_s << int(ExportCSV);
        QTest::newRow("CSV under .txt") << u"CSV Files(*.csv)"_s << u"out.txt"_s << u"out.txt"_s << int(ExportCSV);
        QTest::newRow("text") << u"Text Files(*.txt)"_s << u"out"_s << u"out.txt"_s << int(ExportTXT);
        QTest::newRow("HTML") << u"HTML files(*.html)"_s << u"out"_s << u"out.html/out.html"_s << int(ExportHTML);
        QTest::newRow("Word as HTML") << u"Word files(*.doc)"_s << u"out"_s << u"out.doc/out.doc"_s << int(ExportHTML);
        QTest::newRow("PDF") << u"PDF files(*.pdf)"_s << u"out"_s << u"out.pdf"_s << int(ExportPDF);
    }

    void export_eachFilter_writesTheJobsFormat()
    {
        QFETCH(QString, filter);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(int, format);
        ScriptedPrompt prompt;
        ContactsMainForm page(m_phone, devicesRoot());
        const QString dir = testsupport::makeTempDir(u"export"_s);
        prompt.answerSaveFile(dir + u'/' + typed, filter);
        prompt.answerMessage(QMessageBox::Ok, u"5 contact(s) exported"_s);
        CHECKED(triggerAction(page, u"Extract Contacts"_s)); // nothing selected: every contact
        VERIFY_SCRIPT_DONE(prompt);

        // The same contacts through the job alone, under the same name.
        const QString refDir = testsupport::makeTempDir(u"reference"_s);
        testsupport::RecordingJobReport report;
        ExportToFileThread job(page.contactModel()->contacts(), format, refDir + u'/' + written.section(u'/', 0, 0),
                               &report);
        job.start();
        QVERIFY(job.wait(testsupport::kHangGuardMs));
        QVERIFY(report.succeeded());
        // A PDF names the moment it was written.
        static const QRegularExpression dates(u"/CreationDate \\([^)]*\\)|/ID \\[[^\\]]*\\]"_s);
        const QString mine = QString::fromLatin1(testsupport::readFile(dir + u'/' + written)).remove(dates);
        QVERIFY(!mine.isEmpty());
        QCOMPARE(mine, QString::fromLatin1(testsupport::readFile(refDir + u'/' + written)).remove(dates));
    }

    // A backup merges into the chosen folder, and the folder's node is told
    // to refresh its count.
    void backup_mergesIntoTheChosenFolder_andAnnouncesIt()
    {
        ScriptedPrompt prompt;
        // Built as the main window builds it: the folder's refresh is told.
        PageRegistry pages;
        registerContactsPages(pages);
        QStringList refreshed;
        std::unique_ptr<AbsMainForm> built(pages.create(NAV_CONTACTS, m_phone, devicesRoot(), nullptr,
                                                        [&refreshed](const QString& name) { refreshed << name; }));
        auto* page = qobject_cast<ContactsMainForm*>(built.get());
        QVERIFY(page);
        selectRows(page->listView(), {1, 4});
        prompt.answerDialog(QDialog::Accepted, u"LocalDbSelForm"_s, [](QDialog* d) {
            auto* form = qobject_cast<LocalDbSelForm*>(d);
            form->comboBox()->setEditText(u"Trip"_s);
            form->onBtnOkPress();
        });
        prompt.answerMessage(QMessageBox::Ok, u"Successfully backup 2 contacts."_s);
        CHECKED(triggerMenuAction(*page, u"Backup selected Contacts"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(refreshed, QStringList {u"Trip"_s});
        QCOMPARE(
            LocalContactsDb(getLocalDatabasesDir().absoluteFilePath(u"Trip/contacts.db"_s), rule()).countContacts(), 2);
    }

    // A vCard read into a backup folder is merged by full name as the
    // combine rule says: a known number is updated (Ann's number is now
    // Mobile), new rows are added (data/import_backup_expected.txt).
    void importIntoBackup_mergesByTheCombineRule()
    {
        _LocalDbItemNode* folder = addBackup(u"Home"_s);
        storeAll(folder->dir.absoluteFilePath(u"contacts.db"_s), contacts(u"importBackup"_s)); // Ann Lee
        ScriptedPrompt prompt;
        ContactsMainForm page(folder, devicesRoot());
        prompt.answerOpenFile(dataFile(u"import_backup.vcf"_s));
        prompt.answerMessage(QMessageBox::Ok, u"Successfully backup 1 contacts with 1  merged."_s);
        CHECKED(triggerAction(page, u"Import Contacts from file"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.countLabel()->text(), u"Total:2"_s);
        QCOMPARE(fileContents(page.databasePath()), dataLines(u"import_backup_expected.txt"_s));

        // The filter picked decides the format: a vCard read as CSV holds
        // no contact (its lines are rows without a name, which the import
        // counts), and nothing changes.
        prompt.answerOpenFile(dataFile(u"import_backup.vcf"_s), u"CSV Files(*.csv)"_s);
        prompt.answerMessage(QMessageBox::Ok, u"Entries without a name that were skipped: 13"_s);
        prompt.answerMessage(QMessageBox::Ok, u"Found No Contact in file."_s);
        CHECKED(triggerAction(page, u"Import Contacts from file"_s));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.countLabel()->text(), u"Total:2"_s);
    }

    // A backup made before the name indexes existed, on a writable folder
    // and on a read-only medium: the page lists, exports and prints, and
    // adds nothing to the file.
    void readOnlyBackup_listsExportsAndPrints_keepingEveryByte()
    {
        _LocalDbItemNode* folder = addBackup(u"Disc"_s);
        const QString file = folder->dir.absoluteFilePath(u"contacts.db"_s);
        storeAll(file, contacts(u"importBackup"_s));
        {
            Sqlite3DB raw;
            raw.openThrow(file, Sqlite3DB::ReadWrite);
            raw.executeThrow(u"DROP INDEX index_contacts_full_name_nocase"_s);
            raw.executeThrow(u"DROP INDEX index_contact_group_name_nocase"_s);
        }
        const QString out = testsupport::makeTempDir(u"export"_s);
        CHECKED(checkReadOnlyBackup<ContactsMainForm>(folder, [&](ContactsMainForm& page, ScriptedPrompt& prompt) {
            QCOMPARE(page.countLabel()->text(), u"Total:1"_s);
            QFile::remove(out + u"/disc.vcf"_s);
            prompt.answerSaveFile(out + u"/disc"_s, u"VCard Files(*.vcf)"_s);
            prompt.answerMessage(QMessageBox::Ok, u"1 contact(s) exported"_s);
            CHECKED(triggerAction(page, u"Extract Contacts"_s));
            QVERIFY(testsupport::readFile(out + u"/disc.vcf"_s).contains("BEGIN:VCARD"));
            prompt.answerDialog(0, u"QPrintPreviewDialog"_s, [](QDialog*) {});
            CHECKED(triggerAction(page, u"Print Contacts"_s));
        }));
    }

    // Transfer follows the phones connected (none, only this page's own,
    // another one); adding, editing, deleting and importing are there on
    // phone pages and backup folders alike.
    void commands_areEnabledByConnectedPhones()
    {
        ScriptedPrompt prompt;
        _LocalDbItemNode* backup = addBackup(u"Enable"_s);
        tree().removeNode(m_phone);
        ContactsMainForm none(backup, devicesRoot());
        QCOMPARE(enabledStates(none.createToolbarActions()), (QList<bool> {false, true, true, true, true, true}));

        m_phone = addPhone(*m_sim);
        ContactsMainForm one(m_phone, devicesRoot());
        QCOMPARE(enabledStates(one.createToolbarActions()), (QList<bool> {true, false, true, true, true, true, true}));
        QVERIFY(enabledStates(ContactsMainForm(backup, devicesRoot()).createToolbarActions()).first());

        AndroidDeviceInfo other = m_sim->device;
        other.uid = u"uid-other"_s;
        other.host = u"127.0.117.9"_s;
        other.contactsLoadTime = QDateTime::currentDateTime(); // nothing to load
        tree().addAndroidDevice(other);
        ContactsMainForm two(m_phone, devicesRoot());
        QCOMPARE(enabledStates(two.createToolbarActions()), QList<bool>(7, true));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // Awkward contacts open, list and show; a photo's click saves its bytes
    // as they are under a name made safe from the contact's, and bytes that
    // are no picture show the empty picture, which saves nothing. (How fast
    // they show is the contacts page benchmark's.)
    void badInput_isShown_photoSavedAsItIs()
    {
        _LocalDbItemNode* folder = addBackup(u"Odd"_s);
        const QByteArray photo = bigPhoto();
        // No name row, two photos, many numbers, a name of 10,000 letters.
        QList<pim::_Contact> odd = contacts(u"odd"_s);
        QByteArray noise(10 * 1024 * 1024, '\0');
        QRandomGenerator(17).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        odd[1].entities[pim::ENTITY_PHOTO][0].values.insert(u"data15"_s, photo);
        odd[2].entities[pim::ENTITY_PHOTO][0].values.insert(u"data15"_s, noise);
        odd[3].entities[pim::ENTITY_PHONE].resize(500);
        for (int i = 0; i < 500; ++i)
            odd[3].entities[pim::ENTITY_PHONE][i].values.insert(u"data1"_s, u"+49 %1"_s.arg(i));
        storeAll(folder->dir.absoluteFilePath(u"contacts.db"_s), odd);

        ScriptedPrompt prompt;
        QElapsedTimer timer;
        timer.start();
        ContactsMainForm page(folder, devicesRoot());
        page.resize(1000, 600);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.contactModel()->index(0, 1).data().toString(), u"+1 000"_s);
        const ContactDisplayer& card = *page.card();
        for (int r = 0; r < 5; ++r) {
            page.listView()->setCurrentIndex(page.contactModel()->index(r, 0));
            QCoreApplication::processEvents();
            QVERIFY(page.grab().width() > 0);
            // The card fits the page's width, whatever the name's length.
            QVERIFY(card.widget()->width() <= card.viewport()->width());
        }
        // A hang guard; how fast the cards show is the contacts page
        // benchmark's.
        QVERIFY2(timer.elapsed() < testsupport::kHangGuardMs, qPrintable(QString::number(timer.elapsed())));
        page.listView()->setCurrentIndex(page.contactModel()->index(3, 0)); // "Many numbers"
        QCOMPARE(card.widget()->findChildren<QLabel*>().size(), 503); // photo, name, title, 500 numbers
        QCoreApplication::processEvents();
        // The card scrolls instead of squeezing its rows.
        QVERIFY(card.verticalScrollBar()->maximum() > 500 * 10);

        page.listView()->setCurrentIndex(page.contactModel()->index(1, 0)); // "Big/photo"
        // The photo takes clicks once it is made.
        QTRY_COMPARE_WITH_TIMEOUT(card.widget()->findChild<QLabel*>()->cursor().shape(), Qt::PointingHandCursor,
                                  testsupport::kHangGuardMs);
        const QString target = testsupport::makeTempDir(u"photo"_s) + u"/big.jpg"_s;
        prompt.answerSaveFile(target);
        QTest::mouseClick(card.widget()->findChild<QLabel*>(), Qt::LeftButton); // the photo
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().first().dir, QDir::home().absoluteFilePath(u"Bigphoto.jpg"_s));
        QCOMPARE(testsupport::readFile(target), photo);
        page.listView()->setCurrentIndex(page.contactModel()->index(2, 0)); // "Broken photo"
        QTest::mouseClick(card.widget()->findChild<QLabel*>(), Qt::LeftButton); // the photo
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A phone's contacts whose photos are a scan bomb, a chunk bomb, a JPEG
    // and a PNG: the list and the card show the empty contact picture
    // first, the real photos once made on a worker (only they take a
    // click); the hostile ones are never decoded.
    void photos_madeOffTheWindowsThread_hostileOnesNeverDecoded()
    {
        SimPhone phone(u"127.0.117.5"_s, phoneOfPhotos());
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        testsupport::DecodeWatch decodes;
        ScriptedPrompt prompt;
        ContactsMainForm page(addPhone(phone), devicesRoot());
        const ItemModelContacts& model = *page.contactModel();
        QCOMPARE(column(model, 0), u"A scans|B chunk|C red|D blue"_s.split(u'|'));
        const auto shown
            = [&model](int row) { return model.index(row, 0).data(Qt::DecorationRole).value<QPixmap>().toImage(); };
        const QImage standIn = shown(0);
        for (int row = 1; row < 4; ++row)
            QCOMPARE(shown(row), standIn);
        QTRY_COMPARE_WITH_TIMEOUT(model.photoLoader()->pending(), 0, testsupport::kHangGuardMs);
        QVERIFY(shown(0) == standIn && shown(1) == standIn);
        QVERIFY(testpictures::shows(shown(2), Qt::red) && testpictures::shows(shown(3), Qt::blue));

        const QImage cardStandIn(u":res/empty_contact.png"_s);
        for (int row = 0; row < 4; ++row) {
            page.listView()->setCurrentIndex(model.index(row, 0));
            const QLabel* photo = page.card()->widget()->findChild<QLabel*>();
            QCOMPARE(photo->pixmap().toImage(), cardStandIn.convertToFormat(photo->pixmap().toImage().format()));
            QTRY_COMPARE_WITH_TIMEOUT(page.card()->photoLoader()->pending(), 0, testsupport::kHangGuardMs);
            QCOMPARE(photo->cursor().shape() == Qt::PointingHandCursor, row >= 2);
        }
        QVERIFY(testpictures::shows(page.card()->widget()->findChild<QLabel*>()->pixmap().toImage(), Qt::blue));
        QCOMPARE(decodes.count(), 4);
        QCOMPARE(decodes.onWindowThread(), 0);
        VERIFY_SCRIPT_DONE(prompt);
    }

    void changes_areKeptOnlyWhenThePhoneTookThem_andAFailureReloadsBeforeTheNextSend();
    void transfer_loadsTheTargetFirst_andTheRoundTripKeepsEveryRow();
    void transfer_failuresRollBack_stopTheAgent_andTheRetryDuplicatesNothing();
    void sameNamedContacts_transferredOrImported_reachThePhoneAsOne();
    void addressParts_keptShownAndSent_aRetryAddsNoAddress();
    void importAgain_sendsNothing_alsoAfterAReload();
};

// Edits, a new contact, an import and deletions on a phone's page, each kept
// only when the phone took it. After a failure the phone's contacts are
// loaded again before anything more is sent, and nothing is sent while that
// load fails.
void TestContactsPage::changes_areKeptOnlyWhenThePhoneTookThem_andAFailureReloadsBeforeTheNextSend()
{
    SimPhone sim(u"127.0.122.1"_s, phone(u"three"_s));
    QVERIFY2(sim.ok(), qPrintable(sim.error));
    _AndroidDeviceItemNode* node = addPhone(sim);
    ScriptedPrompt prompt;
    ContactsMainForm page(node, devicesRoot());
    const auto renumber = [&](const QString& number) {
        page.listView()->setCurrentIndex(page.contactModel()->index(0, 0)); // Ann Lee
        prompt.answerDialog(QDialog::Accepted, u"EditContactForm"_s, [number](QDialog* d) {
            EditContactForm* dialog = shown(d);
            CHECKED(typeInto(phoneEdit(dialog, 0), number));
            save(dialog);
        });
    };
    const auto batches = [&] { return sim.restoreLines(u"contacts"_s).count("$batch:"); };

    // The phone takes it: one batch, the cache keeps it.
    renumber(u"+49 30 111"_s);
    CHECKED(triggerMenuAction(page, u"Edit Contact"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.restoreLines(u"contacts"_s),
             (QList<QByteArray> {"$batch:", "$ent:3/2/2/5,mobile,," + QByteArray("+49 30 111").toBase64(),
                                 "$end:", "$bye:"}));
    QCOMPARE(sim.sim->contactBook().rowIdWith(u"+49 30 111"_s), u"3/2/2/5"_s);
    QStringList kept = dumpRows(page.databasePath());

    // The phone fails: nothing stays, and its contacts are to be loaded again.
    sim.sim->addFault(Fault(Fault::Kind::ErrorAt, u"restore:contacts"_s, 2, "Phone is busy"));
    renumber(u"+49 30 222"_s);
    prompt.answerMessage(QMessageBox::Ok, u"Phone is busy"_s);
    CHECKED(triggerMenuAction(page, u"Edit Contact"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(dumpRows(page.databasePath()), kept);
    QVERIFY(node->device.contactsLoadTime.isNull());

    // Before the next send the phone's contacts are loaded again; a list
    // read again has other rows, so the edit ends there.
    const int loads = sim.loads(u"contacts"_s);
    const qsizetype sent = batches();
    page.listView()->setCurrentIndex(page.contactModel()->index(0, 0));
    CHECKED(triggerMenuAction(page, u"Edit Contact"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.loads(u"contacts"_s), loads + 1);
    QCOMPARE(batches(), sent);
    QVERIFY(!node->device.contactsLoadTime.isNull());

    // While that load fails, nothing is sent at all.
    sim.sim->addFault(Fault(Fault::Kind::ErrorAt, u"restore:contacts"_s, 2, "Phone is busy"));
    renumber(u"+49 30 333"_s);
    prompt.answerMessage(QMessageBox::Ok, u"Phone is busy"_s);
    CHECKED(triggerMenuAction(page, u"Edit Contact"_s));
    sim.sim->addFault(Fault(Fault::Kind::ErrorAt, u"backup:contacts"_s, 2, "Phone is locked"));
    prompt.answerMessage(QMessageBox::Ok, u"Phone is locked"_s);
    CHECKED(triggerAction(page, u"Add Contact"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QVERIFY(node->device.contactsLoadTime.isNull());
    QCOMPARE(batches(), sent + 1);

    // Once it loads, a new contact with two numbers goes in two batches, the
    // numbers under the phone's new contact; every id lands on its own row.
    prompt.answerDialog(QDialog::Accepted, u"EditContactForm"_s, [](QDialog* d) {
        EditContactForm* dialog = shown(d);
        CHECKED(typeInto(field(dialog, "txtFirstName"), u"Dee"_s));
        CHECKED(typeInto(field(dialog, "txtLastName"), u"Fox"_s));
        CHECKED(addRow(dialog, pim::ENTITY_PHONE, u"+44 1"_s));
        CHECKED(addRow(dialog, pim::ENTITY_PHONE, u"+44 2"_s));
        save(dialog);
    });
    CHECKED(triggerAction(page, u"Add Contact"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(batches(), sent + 3);
    const pim::_Contact dee = page.card()->contact();
    QCOMPARE(dee.fullName, u"Dee Fox"_s);
    QCOMPARE(dee.srcId, sim.sim->contactBook().rowIdWith(u"Dee"_s));
    QCOMPARE(dee.rows(pim::ENTITY_NAME).first().srcId, dee.srcId);
    QCOMPARE(dee.rows(pim::ENTITY_PHONE).size(), 2);
    for (const ContactDataRow& r : dee.rows(pim::ENTITY_PHONE)) {
        QCOMPARE(r.srcId, sim.sim->contactBook().rowIdWith(pim::valueText(r.values, u"data1"_s)));
        QVERIFY(r.srcId.startsWith(u"3/%1/%1/"_s.arg(dee.srcId.section(u'/', 1, 1))));
    }

    // An import goes to the phone: Ann's new number under her phone
    // contact, Ed as a new one; every row of the cache carries its phone id.
    prompt.answerOpenFile(dataFile(u"import_phone.vcf"_s));
    prompt.answerMessage(QMessageBox::Ok,
                         u"Successfully transferred 1 contacts to Android,with 1 repeated contacts merged."_s);
    CHECKED(triggerAction(page, u"Import Contacts from file"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.verdict(int(sim.sim->connections(u"service"_s).size())), QString());
    QCOMPARE(column(*page.contactModel(), 0), u"Ann Lee|Bo Sun|Cy|Dee Fox|Ed Gray"_s.split(u'|'));
    for (const pim::_Contact& c : page.contactModel()->contacts())
        for (const QList<ContactDataRow>& rows : c.entities)
            for (const ContactDataRow& r : rows)
                QVERIFY2(sim.sim->contactBook().hasRow(r.srcId), qPrintable(c.fullName + u' ' + r.srcId));
    QVERIFY(sim.sim->contactBook().rowIdWith(u"+49 30 7777"_s).startsWith("3/2/2/"_L1));

    // A deletion sends each contact's name row; one the phone fails keeps
    // every row.
    const qsizetype lines = sim.restoreLines(u"contacts"_s).size();
    selectRows(page.listView(), {0, 2});
    prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete selected contacts?"_s);
    prompt.answerMessage(QMessageBox::Ok, u"Successfully deleted contacts."_s);
    CHECKED(triggerAction(page, u"Delete Contacts"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sim.restoreLines(u"contacts"_s).mid(lines),
             (QList<QByteArray> {"$batch:", "$del:1/2/2/9", "$del:1/3/3/3", "$end:", "$bye:"}));
    QCOMPARE(column(*page.contactModel(), 0), u"Bo Sun|Dee Fox|Ed Gray"_s.split(u'|'));
    kept = dumpRows(page.databasePath());
    sim.sim->addFault(Fault(Fault::Kind::CloseAt, u"restore:contacts"_s, 2));
    selectRows(page.listView(), {0});
    prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete selected contacts?"_s);
    prompt.answerMessage(QMessageBox::Ok);
    CHECKED(triggerMenuAction(page, u"Delete selected Contacts"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(dumpRows(page.databasePath()), kept);
    QCOMPARE(page.contactModel()->rowCount(), 3);
    QVERIFY(node->device.contactsLoadTime.isNull());
}

void TestContactsPage::transfer_loadsTheTargetFirst_andTheRoundTripKeepsEveryRow()
{
    SimPhone first(u"127.0.122.4"_s, phone(u"rich"_s));
    SimPhone second(u"127.0.122.5"_s, emptyPhone(u"uid-second"_s));
    QVERIFY2(first.ok() && second.ok(), qPrintable(first.error + second.error));
    _AndroidDeviceItemNode* source = addPhone(first);
    _AndroidDeviceItemNode* target = addPhone(second);
    ScriptedPrompt prompt;
    ContactsMainForm page(source, devicesRoot());
    prompt.answerDeviceChoice(second.device.deviceId());
    prompt.answerMessage(QMessageBox::Ok, u"Successfully transferred 2 contacts to Android."_s);
    CHECKED(triggerAction(page, u"Transfer Android Contacts to other Android"_s));
    VERIFY_SCRIPT_DONE(prompt);
    // The target's contacts were loaded before anything was sent.
    QCOMPARE(second.loads(u"contacts"_s), 1);
    QCOMPARE(second.verdict(2), QString());

    // Loaded back from the second phone, every row is what the first phone
    // has, but an organisation's type (the merge keeps only its company,
    // title and department).
    QStringList original = fileContents(page.databasePath());
    QCOMPARE(original.size(), 17);
    QSet<char32_t> planes;
    for (char32_t c : original.join(u'\n').toUcs4())
        planes << (c >> 16);
    QCOMPARE(planes.size(), 17);
    original.replaceInStrings(u"|10|Acme|1|"_s, u"|10|Acme|0|"_s);
    target->device.contactsLoadTime = QDateTime();
    ContactsMainForm back(target, devicesRoot());
    QCOMPARE(fileContents(back.databasePath()), original);
}

void TestContactsPage::transfer_failuresRollBack_stopTheAgent_andTheRetryDuplicatesNothing()
{
    SimPhone::Options usb; // no address: the USB road
    usb.fixture = phone(u"three"_s);
    SimPhone target(usb);
    QVERIFY2(target.ok(), qPrintable(target.error));
    _LocalDbItemNode* backup = addBackup(u"Home"_s);
    storeAll(backup->dir.absoluteFilePath(u"contacts.db"_s), contacts(u"transferBackup"_s)); // Gus, Hal, Ann Lee
    _AndroidDeviceItemNode* node = addPhone(target);
    const QString cache = node->device.cacheDir().absoluteFilePath(u"contacts.db"_s);
    ScriptedPrompt prompt;
    ContactsMainForm page(backup, devicesRoot());

    // A phone error at the answer to the first batch; then a cancel while
    // the phone is silent after the next. Each time the phone keeps what it
    // made; the first time that is Gus and Hal without their numbers.
    const QStringList cached {u"Ann Lee|Bo Sun|Cy"_s, u"Ann Lee|Bo Sun|Cy|Gus Lee|Hal Lee"_s};
    for (int round = 0; round < 2; ++round) {
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
                QVERIFY(QTest::qWaitFor([&] { return target.restoreLines(u"contacts"_s).count("$end:") > batches; },
                                        testsupport::kHangGuardMs));
            });
        }
        CHECKED(triggerAction(page, u"Transfer Contacts from Database to Android"_s));
        VERIFY_SCRIPT_DONE(prompt);
        prompt.setRunProgressForms(true);
        QCOMPARE(target.loads(u"contacts"_s), loads + 1);
        // The cache is what the load made of the phone, the agent stopped,
        // the load time cleared.
        QStringList names;
        for (const pim::_Contact& c : LocalContactsDb(cache, rule()).loadAll())
            names << c.fullName;
        QCOMPARE(names.join(u'|'), cached.at(round));
        QVERIFY(target.forceStopped());
        QVERIFY(node->device.contactsLoadTime.isNull());
        target.adb->clearLog();
        target.sim->releaseStalls();
        target.sim->setAgentRunning(true); // as the next connection would
    }

    // The retry loads the phone's contacts first and sends only what it
    // lacks: every contact and number is on the phone once.
    prompt.answerDeviceChoice(target.device.deviceId());
    prompt.answerMessage(QMessageBox::Ok,
                         u"Successfully transferred 0 contacts to Android,with 3 repeated contacts merged."_s);
    CHECKED(triggerAction(page, u"Transfer Contacts from Database to Android"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QStringList onPhone;
    for (const phonesim::SimContact& c : target.sim->contactBook().contacts())
        for (const phonesim::SimRow& r : c.rows)
            onPhone << r.columns.value(r.kind == 1 ? u"data2"_s : u"data1"_s).toString();
    onPhone.sort();
    QCOMPARE(onPhone, u"+1 700|+1 701|+1 702|+49 30 100|Ann|Bo|Cy|Gus|Hal|bo@example.org"_s.split(u'|'));
}

// Two contacts of one full name, selected on a phone whose cache holds both
// or imported from one file on a phone's page, become one contact on the
// target phone with the numbers of both, each sent once (a number both hold
// keeps the label of the later one).
void TestContactsPage::sameNamedContacts_transferredOrImported_reachThePhoneAsOne()
{
    SimPhone first(u"127.0.122.8"_s, phone(u"twins"_s));
    SimPhone second(u"127.0.122.9"_s, emptyPhone(u"uid-twins-target"_s));
    QVERIFY2(first.ok() && second.ok(), qPrintable(first.error + second.error));
    _AndroidDeviceItemNode* source = addPhone(first);
    _AndroidDeviceItemNode* target = addPhone(second);
    // Each number on the phone with its contact's given name and its type,
    // and how often it was sent.
    const auto onPhone = [&] {
        QStringList out;
        const QByteArray sent = second.restoreLines(u"contacts"_s).join('\n');
        for (const phonesim::SimContact& c : second.sim->contactBook().contacts())
            for (const phonesim::SimRow& r : c.rows.mid(1))
                out << u"%1 %2 %3 x%4"_s
                           .arg(c.rows.first().columns.value(u"data2"_s).toString(),
                                r.columns.value(u"data1"_s).toString(), r.columns.value(u"data2"_s).toString())
                           .arg(sent.count(r.columns.value(u"data1"_s).toString().toUtf8().toBase64()));
        return out;
    };
    const QString merged = u"Successfully transferred 1 contacts to Android,with 1 repeated contacts merged."_s;
    ScriptedPrompt prompt;
    {
        ContactsMainForm page(source, devicesRoot());
        QCOMPARE(column(*page.contactModel(), 0), u"Cy|Farid Haddad|Farid Haddad"_s.split(u'|'));
        selectRows(page.listView(), {1, 2});
        prompt.answerDeviceChoice(second.device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, merged);
        CHECKED(triggerMenuAction(page, u"Transfer selected Contacts to other Android"_s));
        VERIFY_SCRIPT_DONE(prompt);
    }
    QCOMPARE(second.verdict(2), QString());
    QCOMPARE(onPhone(), u"Farid +961 1 100 3 x1|Farid +961 1 200 1 x1|Farid +961 1 300 2 x1"_s.split(u'|'));

    ContactsMainForm page(target, devicesRoot());
    prompt.answerOpenFile(dataFile(u"import_twins.vcf"_s));
    prompt.answerMessage(QMessageBox::Ok, merged);
    CHECKED(triggerAction(page, u"Import Contacts from file"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(second.verdict(int(second.sim->connections(u"service"_s).size())), QString());
    QCOMPARE(onPhone().mid(3), u"Dup +33 1 111 2 x1|Dup +33 1 222 3 x1|Dup +33 1 333 2 x1"_s.split(u'|'));
    QCOMPARE(column(*page.contactModel(), 0), u"Dup Person|Farid Haddad"_s.split(u'|'));
}

// Cards whose addresses use every part (data/address_parts.vcf: all seven
// parts; a whole address in the extended part; markup, separators and a line
// break in the parts) imported into a backup keep each part as read; the card
// shows every part, and a transfer puts them into the phone's street, the
// extended address after the street and the post-office box on a line of its
// own. Sent again after the phone's contacts were loaded back, no address is
// added twice.
void TestContactsPage::addressParts_keptShownAndSent_aRetryAddsNoAddress()
{
    _LocalDbItemNode* folder = addBackup(u"Parts"_s);
    SimPhone target(u"127.0.122.6"_s, emptyPhone(u"uid-parts"_s));
    QVERIFY2(target.ok(), qPrintable(target.error));
    _AndroidDeviceItemNode* node = addPhone(target);
    ScriptedPrompt prompt;
    ContactsMainForm page(folder, devicesRoot());
    prompt.answerOpenFile(dataFile(u"address_parts.vcf"_s));
    prompt.answerMessage(QMessageBox::Ok, u"Successfully backup 3 contacts."_s);
    CHECKED(triggerAction(page, u"Import Contacts from file"_s));
    VERIFY_SCRIPT_DONE(prompt);
    const QStringList stored = fileContents(page.databasePath()).filter(u"|12|"_s);
    QCOMPARE(stored.size(), 3);
    QVERIFY2(stored.at(0).startsWith(u"Ann Lee|12|10 High St Flat 2\nPO Box 7\nLondon, N1 1AA\nUK|1||10 High St|"
                                     "PO Box 7|Flat 2|London||N1 1AA|UK|"_s),
             qPrintable(stored.at(0)));
    QVERIFY2(stored.at(1).startsWith(u"Bo Kim|12|Flat 2, 10 High St, London N1 1AA|1|||"
                                     "|Flat 2, 10 High St, London N1 1AA|||||"_s),
             qPrintable(stored.at(1)));
    QVERIFY2(stored.at(2).contains(u"|=1+2|<b>Box</b> 1, 2; 3|Unit 4\nBack door|Town & <i>Gown</i>||\"N1\"||"_s),
             qPrintable(stored.at(2)));

    const QStringList cards {
        u"<b>Home</b><br/>10 High St Flat 2<br/>PO Box 7<br/>London, N1 1AA<br/>UK"_s,
        u"<b>Home</b><br/>Flat 2, 10 High St, London N1 1AA"_s,
        u"<b>Work</b><br/>=1+2 Unit 4<br/>Back door<br/>&lt;b&gt;Box&lt;/b&gt; 1, 2; 3<br/>Town &amp; "
        "&lt;i&gt;Gown&lt;/i&gt;, &quot;N1&quot;"_s};
    for (int r = 0; r < cards.size(); ++r) {
        page.listView()->setCurrentIndex(page.contactModel()->index(r, 0));
        QStringList rich;
        for (const QLabel* label : page.card()->widget()->findChildren<QLabel*>())
            if (label->textFormat() == Qt::RichText)
                rich << label->text();
        QCOMPARE(rich, QStringList {cards.at(r)});
    }

    const auto onPhone = [&target] {
        QStringList out;
        for (const phonesim::SimContact& c : target.sim->contactBook().contacts())
            for (const phonesim::SimRow& r : c.rows)
                if (r.kind == pim::ENTITY_POSTAL) {
                    QStringList parts;
                    for (int n : {4, 5, 6, 7, 8, 9, 10})
                        parts << r.columns.value(u"data%1"_s.arg(n)).toString();
                    out << parts.join(u'|');
                }
        out.sort();
        return out;
    };
    const QStringList sent {u"10 High St Flat 2\nPO Box 7|||London||N1 1AA|UK"_s,
                            u"=1+2 Unit 4\nBack door\n<b>Box</b> 1, 2; 3|||Town & <i>Gown</i>||\"N1\"|"_s,
                            u"Flat 2, 10 High St, London N1 1AA||||||"_s};
    page.listView()->selectionModel()->clear(); // nothing selected: every contact
    prompt.answerDeviceChoice(target.device.deviceId());
    prompt.answerMessage(QMessageBox::Ok, u"Successfully transferred 3 contacts to Android."_s);
    CHECKED(triggerAction(page, u"Transfer Contacts from Database to Android"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(onPhone(), sent);

    node->device.contactsLoadTime = QDateTime(); // the phone's contacts are loaded again first
    prompt.answerDeviceChoice(target.device.deviceId());
    prompt.answerMessage(QMessageBox::Ok,
                         u"Successfully transferred 0 contacts to Android,with 3 repeated contacts merged."_s);
    CHECKED(triggerAction(page, u"Transfer Contacts from Database to Android"_s));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(target.loads(u"contacts"_s), 2);
    QCOMPARE(onPhone(), sent);
}

// A file imported a second time on a phone's page sends nothing: its rows
// lack the labels that the cache holds as empty texts. So again once the
// phone's contacts were loaded anew.
void TestContactsPage::importAgain_sendsNothing_alsoAfterAReload()
{
    SimPhone sim(u"127.0.122.12"_s, phone(u"three"_s));
    QVERIFY2(sim.ok(), qPrintable(sim.error));
    _AndroidDeviceItemNode* node = addPhone(sim);
    ScriptedPrompt prompt;
    const auto import = [&](ContactsMainForm& page, const QString& result) {
        prompt.answerOpenFile(dataFile(u"import_again.vcf"_s));
        prompt.answerMessage(QMessageBox::Ok, result);
        return triggerAction(page, u"Import Contacts from file"_s);
    };
    // The rows sent since the last call.
    qsizetype seen = 0;
    const auto sentRows = [&] {
        const QList<QByteArray> lines = sim.restoreLines(u"contacts"_s);
        QList<QByteArray> rows;
        for (const QByteArray& line : lines.mid(seen))
            if (line.startsWith("$ent:") || line.startsWith("$del:"))
                rows << line;
        seen = lines.size();
        return rows;
    };
    const QString again = u"Successfully transferred 0 contacts to Android,with 3 repeated contacts merged."_s;
    {
        ContactsMainForm page(node, devicesRoot());
        CHECKED(import(page, u"Successfully transferred 1 contacts to Android,with 2 repeated contacts merged."_s));
        VERIFY_SCRIPT_DONE(prompt);
        // Ann's two rows, Ed's name and two rows; Bo's address is there.
        QCOMPARE(sentRows().size(), 5);
        CHECKED(import(page, again));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(sentRows(), QList<QByteArray>());
    }
    node->device.contactsLoadTime = QDateTime();
    ContactsMainForm page(node, devicesRoot());
    QCOMPARE(sim.loads(u"contacts"_s), 2);
    CHECKED(import(page, again));
    VERIFY_SCRIPT_DONE(prompt);
    QCOMPARE(sentRows(), QList<QByteArray>());
    QCOMPARE(sim.verdict(int(sim.sim->connections(u"service"_s).size())), QString());
    QCOMPARE(column(*page.contactModel(), 0), u"Ann Lee|Bo Sun|Cy|Ed Gray"_s.split(u'|'));
}

QTEST_MAIN(TestContactsPage)
#include "test_contactspage.moc"
