// The contacts page end to end against a simulated phone: the first load
// and the cached second visit, the list's order and columns, the card of a
// selected contact (and a screenshot), the search, every export format,
// backup into a chosen folder, import into a backup folder, and the
// commands' enabling with no, one and two phones.
#include "views/contacts/contactdisplayer.h"
#include "views/contacts/contactsmainform.h"
#include "views/contacts/contactspages.h"

#include "formats/exporttofilethread.h"
#include "jobs/localdbselform.h"
#include "records/localcontactsdb.h"
#include "shell/core/dataroot.h"
#include "shell/mytreeview.h"
#include "shell/pageregistry.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr char kAddress[] = "127.0.117.1";

int currentRow(const ContactsMainForm& page)
{
    return page.listView()->currentIndex().row();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The card's texts in the order shown.
QStringList cardTexts(const ContactDisplayer& card)
{
    QStringList out;
    for (const QLabel* label : card.widget()->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            out << label->text();
    return out;
}

pim::_Contact contact(const QString& first, const QString& last)
{
    pim::_Contact c(0, QString(), (first + QLatin1Char(' ') + last).trimmed());
    ContactDataRow name;
    name.values.insert(QStringLiteral("data2"), first);
    name.values.insert(QStringLiteral("data3"), last);
    c.entities[pim::ENTITY_NAME] << name;
    return c;
}

void addRow(pim::_Contact& c, int type, const QString& data1, int data2)
{
    ContactDataRow row;
    row.values.insert(QStringLiteral("data1"), data1);
    row.values.insert(QStringLiteral("data2"), data2);
    c.entities[type] << row;
}

// A PDF's bytes without the parts that name the moment it was written.
QByteArray pdfWithoutDates(QByteArray pdf)
{
    static const QRegularExpression dates(QStringLiteral("/CreationDate \\([^)]*\\)|/ID \\[[^\\]]*\\]"));
    return QString::fromLatin1(pdf).remove(dates).toLatin1();
}

} // namespace

class TestContactsPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        m_sim = std::make_unique<testsupport::SimPhone>(
            QString::fromLatin1(kAddress),
            testsupport::fixtureFile(QStringLiteral("tests/views/contacts/data/phone_contacts.json")));
        QVERIFY2(m_sim->ok(), qPrintable(m_sim->error));
    }

    void init() { m_phone = addPhone(*m_sim); }
    void cleanup() { cleanupPage(); }

    void firstVisit_loadsOnce_sortedByName_mobilePreferred()
    {
        ScriptedPrompt prompt;
        const int loadsBefore = m_sim->loads(QStringLiteral("contacts"));
        {
            ContactsMainForm page(m_phone, devicesRoot());
            checkModel(page.contactModel());
            VERIFY_SCRIPT_DONE(prompt);
            QCOMPARE(prompt.questions().size(), 1);
            QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
            QVERIFY(!m_phone->device.contactsLoadTime.isNull());
            const ItemModelContacts& model = *page.contactModel();
            QStringList headers;
            for (int i = 0; i < model.columnCount(); ++i)
                headers << model.headerData(i, Qt::Horizontal).toString();
            QCOMPARE(headers, QStringLiteral("Name|Phone|E-Mail|Address").split(u'|'));
            // Code-unit order: "<" before capitals before lower case.
            QCOMPARE(column(model, 0), QStringLiteral("<b>Bold</b> & Co|Alice|Zed|alice|bob").split(u'|'));
            // bob's Mobile ("2" as text) is his second number; Alice has no
            // Mobile and shows her first.
            QCOMPARE(column(model, 1), QStringLiteral("+49 30 1234567|+44 20 7946 0001|||+1 555 0102").split(u'|'));
            QCOMPARE(column(model, 3).at(1), QStringLiteral("1 Main St\nSpringfield"));
            QVERIFY(!model.index(2, 1).data(Qt::ToolTipRole).isValid());
            // A tool tip shows the text as it is, never as markup.
            QVERIFY(model.index(0, 0).data(Qt::ToolTipRole).toString().contains(QStringLiteral("&lt;b&gt;")));
            QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:5"));
            QCOMPARE(model.contacts().size(), 5);
        }
        QCOMPARE(m_sim->loads(QStringLiteral("contacts")), loadsBefore + 1);

        // Second visit: the cache only, no dialog, no session.
        ContactsMainForm again(m_phone, devicesRoot());
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(again.contactModel()->rowCount(), 5);
        QCOMPARE(m_sim->loads(QStringLiteral("contacts")), loadsBefore + 1);
    }

    // The card follows the selection: sections in their fixed order, phone
    // text never taken as markup; a screenshot of the page with the card.
    void card_followsSelection_sectionsInOrder_markupAsText()
    {
        ScriptedPrompt prompt;
        ContactsMainForm page(m_phone, devicesRoot());
        page.resize(1000, 600);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.listView()->columnWidth(0), 230);
        QCOMPARE(page.listView()->columnWidth(1), 115);

        selectRows(page.listView(), {0});
        const ContactDisplayer& card = *page.card();
        QCOMPARE(card.contact().fullName, QStringLiteral("<b>Bold</b> & Co"));
        QStringList titles;
        for (const QLabel* label : card.widget()->findChildren<QLabel*>()) {
            if (label->styleSheet().contains(QStringLiteral("font-size:18px")))
                titles << label->text();
            // Only the address lines are markup, and they hold no tag of the
            // phone's.
            if (label->text().isEmpty())
                continue; // the photo
            if (label->textFormat() == Qt::RichText) {
                QVERIFY2(label->text().startsWith(QStringLiteral("<b>Home</b><br/>&lt;b&gt;2&lt;/b&gt; Side St")),
                         qPrintable(label->text()));
                QVERIFY(label->text().contains(QStringLiteral("Town &amp; Gown")));
            } else {
                QCOMPARE(label->textFormat(), Qt::PlainText);
            }
        }
        QCOMPARE(titles,
                 QStringLiteral("Phone:|E-Mail:|Date:|IM:|Organization:|Relationship:|Address:|Website:|Notes:")
                     .split(u'|'));
        const QStringList shown = cardTexts(card);
        QCOMPARE(shown.first(), QStringLiteral("<b>Bold</b> & Co\nChief - Rockets\nAcme"));
        QVERIFY(shown.contains(QStringLiteral("<i>call</i> <a href=\"http://example.org\">here</a>")));
        QVERIFY(shown.contains(QStringLiteral("Home:boldy(Skype)")));
        // The first organisation is in the header, the others in their section.
        QVERIFY(shown.contains(QStringLiteral("Work:Second Corp")));
        QVERIFY(shown.contains(QStringLiteral("Other:Third <u>Ltd</u>")));
        QVERIFY(!shown.contains(QStringLiteral("Work:Chief Rockets Acme")));

        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QCoreApplication::processEvents();
        QVERIFY(page.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/contacts_page.png")));
        page.card()->verticalScrollBar()->setValue(page.card()->verticalScrollBar()->maximum());
        QVERIFY(
            page.card()->grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/contacts_card_end.png")));

        // Two selected, one deselected: no newly selected row, the card empties.
        selectRows(page.listView(), {1});
        QCOMPARE(card.contact().fullName, QStringLiteral("Alice"));
        page.listView()->selectionModel()->select(page.contactModel()->index(3, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(card.contact().fullName, QStringLiteral("alice"));
        page.listView()->selectionModel()->select(page.contactModel()->index(3, 0),
                                                  QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        QCOMPARE(page.selectedContacts().size(), 1);
        QVERIFY(card.contact().fullName.isEmpty());
        QVERIFY(card.widget()->findChildren<QLabel*>().isEmpty());
        VERIFY_SCRIPT_DONE(prompt);
    }

    void search_wrapsAround_andSkipsEventsAndGroups()
    {
        ScriptedPrompt prompt;
        ContactsMainForm page(m_phone, devicesRoot());
        const auto search = [&page](const QString& keyword) {
            page.keywordEdit()->setText(keyword);
            page.onBtnSearchPressed();
        };
        // "example.org" is in four contacts' e-mail; no current row: row 0 first.
        search(QStringLiteral("  EXAMPLE.ORG "));
        QCOMPARE(currentRow(page), 0);
        QCOMPARE(page.card()->contact().fullName, QStringLiteral("<b>Bold</b> & Co"));
        search(QStringLiteral("example.org"));
        QCOMPARE(currentRow(page), 3); // alice's address; Alice and Zed have none
        search(QStringLiteral("example.org"));
        QCOMPARE(currentRow(page), 4);
        search(QStringLiteral("example.org")); // round again
        QCOMPARE(currentRow(page), 0);

        // Only the current row matches: found again after all the others.
        search(QStringLiteral("springfield"));
        QCOMPARE(currentRow(page), 1);
        search(QStringLiteral("Springfield"));
        QCOMPARE(currentRow(page), 1);
        // The nickname and the organisation's department are searched.
        search(QStringLiteral("zeddy"));
        QCOMPARE(currentRow(page), 2);
        search(QStringLiteral("rockets"));
        QCOMPARE(currentRow(page), 0);

        // Blanks do nothing; a birthday or a group alone is not found.
        search(QStringLiteral("   "));
        QCOMPARE(currentRow(page), 0);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Find no contact with keyword 1980."));
        search(QStringLiteral("1980"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Find no contact with keyword Climbers."));
        search(QStringLiteral("Climbers"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(currentRow(page), 0);
    }

    // The page writes what the export job writes for the picked filter; a
    // name without a suffix gets the filter's.
    void export_eachFilter_writesTheJobsFormat_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written"); // below the target folder
        QTest::addColumn<int>("format");
        QTest::newRow("vCard") << "VCard Files(*.vcf)"
                               << "out"
                               << "out.vcf" << int(ExportVCard);
        QTest::newRow("CSV") << "CSV Files(*.csv)"
                             << "out"
                             << "out.csv" << int(ExportCSV);
        QTest::newRow("CSV under .txt") << "CSV Files(*.csv)"
                                        << "out.txt"
                                        << "out.txt" << int(ExportCSV);
        QTest::newRow("text") << "Text Files(*.txt)"
                              << "out"
                              << "out.txt" << int(ExportTXT);
        QTest::newRow("HTML") << "HTML files(*.html)"
                              << "out"
                              << "out.html/out.html" << int(ExportHTML);
        QTest::newRow("Word as HTML") << "Word files(*.doc)"
                                      << "out"
                                      << "out.doc/out.doc" << int(ExportHTML);
        QTest::newRow("PDF") << "PDF files(*.pdf)"
                             << "out"
                             << "out.pdf" << int(ExportPDF);
    }

    void export_eachFilter_writesTheJobsFormat()
    {
        QFETCH(QString, filter);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(int, format);
        ScriptedPrompt prompt;
        ContactsMainForm page(m_phone, devicesRoot());
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        prompt.answerSaveFile(dir + QLatin1Char('/') + typed, filter);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("5 contact(s) exported"));
        page.miToolbarExport(); // nothing selected: every contact
        VERIFY_SCRIPT_DONE(prompt);
        const ScriptedPrompt::Question asked = prompt.questions().at(1);
        QCOMPARE(asked.filter,
                 QStringLiteral("VCard Files(*.vcf);;CSV Files(*.csv);;Text Files(*.txt);;HTML "
                                "files(*.html);;Word files(*.doc);;PDF files(*.pdf)"));
        QCOMPARE(asked.selectedFilter, QStringLiteral("VCard Files(*.vcf)"));
        QVERIFY(asked.dir.startsWith(QDir::homePath() + QStringLiteral("/contacts(")));

        // The same contacts through the job alone, under the same name.
        const QString refDir = testsupport::makeTempDir(QStringLiteral("reference"));
        testsupport::RecordingJobReport report;
        ExportToFileThread job(page.contactModel()->contacts(), format,
                               refDir + QLatin1Char('/') + written.section(u'/', 0, 0), &report);
        job.start();
        QVERIFY(job.wait(20000));
        QVERIFY(report.succeeded());
        QByteArray mine = readAll(dir + QLatin1Char('/') + written);
        QByteArray reference = readAll(refDir + QLatin1Char('/') + written);
        QVERIFY(!mine.isEmpty());
        if (format == ExportPDF) {
            mine = pdfWithoutDates(mine);
            reference = pdfWithoutDates(reference);
        }
        QCOMPARE(mine, reference);
    }

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
        QString suggested;
        auto choose = [&suggested](QDialog* d) {
            auto* form = qobject_cast<LocalDbSelForm*>(d);
            suggested = form->comboBox()->currentText();
            form->comboBox()->setEditText(QStringLiteral("Trip"));
            form->onBtnOkPress();
        };
        const QString file = getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Trip/contacts.db"));

        selectRows(page->listView(), {1, 4});
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 2 contacts."));
        page->miBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(suggested, QStringLiteral("Acme Rocket 7-backup"));
        QCOMPARE(refreshed, QStringList {QStringLiteral("Trip")});
        QCOMPARE(LocalContactsDb(file, QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule)).countContacts(),
                 2);

        // The toolbar without a selection: all five; the two stored ones
        // merge, and so does alice into Alice (names match ignoring case).
        page->listView()->selectionModel()->clearSelection();
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 2 contacts with 3  merged."));
        page->miToolbarBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(refreshed.size(), 2);
        LocalContactsDb backup(file, QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
        QCOMPARE(backup.countContacts(), 4);
        const pim::_Contact alice = backup.loadAll().at(1);
        QCOMPARE(alice.fullName, QStringLiteral("Alice"));
        QCOMPARE(alice.rows(pim::ENTITY_PHONE).size(), 2); // merged, not doubled
        QCOMPARE(alice.rows(pim::ENTITY_EMAIL).size(), 1); // alice's

        // A backup cancelled before its first contact still announces the
        // folder (a cancel keeps what was merged); a cancelled chooser does not.
        prompt.setRunProgressForms(false);
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), [](QDialog* d) {
            auto* form = qobject_cast<LocalDbSelForm*>(d);
            form->comboBox()->setEditText(QStringLiteral("Stopped"));
            form->onBtnOkPress();
        });
        prompt.answerDialog(QDialog::Rejected, QStringLiteral("ProgressForm"));
        page->miToolbarBackup();
        prompt.answerDialog(QDialog::Rejected, QStringLiteral("LocalDbSelForm"));
        page->miToolbarBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(refreshed.size(), 3);
        QCOMPARE(refreshed.last(), QStringLiteral("Stopped"));
    }

    // A vCard read into a backup folder is merged by full name as the
    // combine rule says: a known number is updated, new rows are added.
    void importIntoBackup_mergesByTheCombineRule()
    {
        _LocalDbItemNode* folder = addBackup(QStringLiteral("Home"));
        {
            LocalContactsDb db(folder->dir.absoluteFilePath(QStringLiteral("contacts.db")),
                               QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
            pim::_Contact ann = contact(QStringLiteral("Ann"), QStringLiteral("Lee"));
            addRow(ann, pim::ENTITY_PHONE, QStringLiteral("+49 30 1234567"), 1);
            addRow(ann, pim::ENTITY_EMAIL, QStringLiteral("ann@old.example"), 1);
            pim::_Contact stored;
            db.addOrMergeContact(ann, stored, nullptr);
        }
        const QString dir = testsupport::makeTempDir(QStringLiteral("import"));
        const QString vcf = dir + QStringLiteral("/in.vcf");
        {
            QFile f(vcf);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
                    "TEL;TYPE=CELL:+49 30 1234567\r\nEMAIL;TYPE=WORK:ann@new.example\r\nNOTE:met at the fair\r\n"
                    "END:VCARD\r\n"
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Bo;;;\r\nFN:Bo Lee\r\nTEL:+49 30 7654321\r\nEND:VCARD\r\n");
        }
        ScriptedPrompt prompt;
        ContactsMainForm page(folder, devicesRoot());
        QSignalSpy announced(&page, &ContactsMainForm::backupFinished);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:1"));
        const QList<QAction*> actions = page.createToolbarActions();
        QCOMPARE(actions.at(4)->text(), QStringLiteral("Import Contacts from file"));
        QVERIFY(actions.at(4)->isEnabled());

        prompt.answerOpenFile(vcf);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 1 contacts with 1  merged."));
        actions.at(4)->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().at(0).filter, QStringLiteral("VCard Files(*.vcf);;CSV Files(*.csv)"));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:2"));
        QCOMPARE(column(*page.contactModel(), 0), QStringLiteral("Ann Lee|Bo Lee").split(u'|'));
        const pim::_Contact ann = page.contactModel()->contacts().first();
        const QList<ContactDataRow> phones = ann.rows(pim::ENTITY_PHONE);
        QCOMPARE(phones.size(), 1);
        QCOMPARE(pim::valueText(phones.first().values, QStringLiteral("data2")), QStringLiteral("2"));
        QCOMPARE(ann.rows(pim::ENTITY_EMAIL).size(), 2);
        QCOMPARE(pim::valueText(ann.rows(pim::ENTITY_NOTE).value(0).values, QStringLiteral("data1")),
                 QStringLiteral("met at the fair"));

        // A file without contacts warns and changes nothing; so does a
        // vCard read under the CSV filter.
        const QString empty = dir + QStringLiteral("/empty.vcf");
        QFile(empty).open(QIODevice::WriteOnly);
        prompt.answerOpenFile(empty);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Found No Contact in file."));
        page.miImport();
        prompt.answerOpenFile(vcf, QStringLiteral("CSV Files(*.csv)"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Found No Contact in file."));
        page.miImport();
        prompt.answerOpenFile(QString());
        page.miImport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:2"));
        QCOMPARE(announced.size(), 0);
    }

    // Transfer follows the phones connected (none, only this page's own,
    // another one); adding, editing, deleting and importing are there on
    // phone pages and backup folders alike.
    void commands_areEnabledByConnectedPhones()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Enable"));
        tree().removeNode(m_phone);
        ScriptedPrompt prompt;
        ContactsMainForm none(backup, devicesRoot());
        QCOMPARE(texts(none.createToolbarActions()),
                 QStringLiteral("Transfer Contacts from Database to Android|Extract Contacts|Print Contacts|Add "
                                "Contact|Import Contacts from file|Delete Contacts")
                     .split(u'|'));
        QCOMPARE(enabledStates(none.createToolbarActions()), (QList<bool> {false, true, true, true, true, true}));
        QVERIFY(!none.source().canTransfer());

        m_phone = addPhone(*m_sim);
        ContactsMainForm one(m_phone, devicesRoot());
        QCOMPARE(texts(one.createToolbarActions()),
                 QStringLiteral("Backup Contacts|Transfer Android Contacts to other Android|Extract Contacts|Print "
                                "Contacts|Add Contact|Import Contacts from file|Delete Contacts")
                     .split(u'|'));
        QCOMPARE(enabledStates(one.createToolbarActions()), (QList<bool> {true, false, true, true, true, true, true}));
        QVERIFY(!one.source().canTransfer());
        QVERIFY(ContactsMainForm(backup, devicesRoot()).source().canTransfer());

        AndroidDeviceInfo other = m_sim->device;
        other.uid = QStringLiteral("uid-other");
        other.host = QStringLiteral("127.0.117.9");
        other.contactsLoadTime = QDateTime::currentDateTime(); // nothing to load
        tree().addAndroidDevice(other);
        ContactsMainForm two(m_phone, devicesRoot());
        QVERIFY(two.source().canTransfer());
        QCOMPARE(enabledStates(two.createToolbarActions()), (QList<bool> {true, true, true, true, true, true, true}));

        // The context menu needs a selection and offers no add or import.
        QVERIFY(!two.createContextMenu());
        selectRows(two.listView(), {0, 2});
        std::unique_ptr<QMenu> menu(two.createContextMenu());
        QVERIFY(menu);
        QCOMPARE(texts(menu->actions()),
                 QStringLiteral("Backup selected Contacts|Transfer selected Contacts to other Android|Extract "
                                "selected Contacts|Print selected Contacts|Edit Contact|Delete selected Contacts")
                     .split(u'|'));
        QCOMPARE(enabledStates(menu->actions()), (QList<bool> {true, true, true, true, true, true}));

        // Printing the selection hands both contacts to the preview.
        prompt.answerDialog(QDialog::Rejected, QStringLiteral("QPrintPreviewDialog"));
        menu->actions().at(3)->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().size(), 2); // the first load, the preview
    }

private:
    std::unique_ptr<testsupport::SimPhone> m_sim;
    _AndroidDeviceItemNode* m_phone = nullptr;
};

QTEST_MAIN(TestContactsPage)
#include "test_contactspage.moc"
