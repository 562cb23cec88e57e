// The notes page of a backup folder: the list, a note opened as an inert
// page from the private temporary folder, export to a folder of pages whose
// names never leave it nor replace each other, delete (a damaged file is
// never deleted), and the organiser pages from the main window. The export
// job alone: exact bytes, hostile names, failures and cancel.
#include "views/organiser/bookmarksmainform.h"
#include "views/organiser/calendarmainform.h"
#include "views/organiser/exportnotesthread.h"
#include "views/organiser/notesmainform.h"
#include "views/organiser/organiserpages.h"

#include "records/localnotesdb.h"
#include "shell/main/mainwindow.h"
#include "shell/mytreeview.h"

#include "organisertest.h"
#include "pagetest.h"

#include <QtTest>

using organisertest::runExport;

namespace {

// Ids and texts that try to leave their folder, an empty body, markup in
// the title, two notes that map to one file name; each entry [dev_id,
// src_id, title, summary, content, modified].
QList<NoteRecord> sampleNotes()
{
    QList<NoteRecord> out;
    for (const QJsonValue& v : organisertest::dataArray(QStringLiteral("notes.json"))) {
        NoteRecord& n = out.emplace_back(v[0].toString(), v[1].toString());
        n.title = v[2].toString();
        n.summary = v[3].toString();
        n.content = v[4].toString();
        n.created = QDateTime::fromSecsSinceEpoch(v[5].toInteger() - 100);
        n.modified = QDateTime::fromSecsSinceEpoch(v[5].toInteger());
    }
    return out;
}

// The backup folder with the sample notes.
_LocalDbItemNode* withNotes(_LocalDbItemNode* backup)
{
    LocalNotesDb db(backup->dir.absoluteFilePath(QStringLiteral("notes.db")));
    for (const NoteRecord& n : sampleNotes())
        db.saveNote(n);
    return backup;
}

} // namespace

class TestNotesPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        MainWindow::pages() = PageRegistry();
        PageTest::cleanup();
    }

    // Newest first, shown as written.
    void backupPage_listsNewestFirst_asWritten()
    {
        _LocalDbItemNode* backup = withNotes(addBackup(QStringLiteral("Notes backup")));
        ScriptedPrompt prompt;
        NotesMainForm page(backup, devicesRoot());
        checkModel(page.notesModel());
        VERIFY_SCRIPT_DONE(prompt);
        const ItemModelNotes& model = *page.notesModel();
        QCOMPARE(column(model, 1).first(), QStringLiteral("<script>alert(1)</script> & \"q\""));
        for (int col = 0; col < model.columnCount(); ++col)
            QCOMPARE(shownToolTips(model, col), column(model, col)); // shown as written
    }

    // Hostile ids open into the private temporary folder; the title is
    // text, the body is HTML under a policy that runs and fetches nothing.
    void backupPage_opensANoteAsAnInertPage()
    {
        _LocalDbItemNode* backup = withNotes(addBackup(QStringLiteral("Notes backup")));
        ScriptedPrompt prompt;
        testsupport::UrlRecorder opened;
        NotesMainForm page(backup, devicesRoot());
        const ItemModelNotes& model = *page.notesModel();
        page.noteDoubleClicked(model.index(0, 1));
        page.noteDoubleClicked(model.index(1, 1)); // "../../dev" and "../../../escape", empty body
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(opened.urls.size(), 2);
        for (const QUrl& url : opened.urls)
            QCOMPARE(QFileInfo(url.toLocalFile()).absolutePath(), privateTempDir().absolutePath());
        const QByteArray first = testsupport::readFile(opened.urls.at(0).toLocalFile());
        QVERIFY(first.contains("<title>&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;q&quot;</title>"));
        QVERIFY(first.contains("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none';"));
        QVERIFY(first.contains("<body>\r\n<b>bold</b></body></html>"));
        QVERIFY(testsupport::readFile(opened.urls.at(1).toLocalFile()).endsWith("<body>\r\n</body></html>"));
    }

    // Export of the selection through the page's dialogs.
    void backupPage_exportsTheSelection()
    {
        _LocalDbItemNode* backup = withNotes(addBackup(QStringLiteral("Notes backup")));
        ScriptedPrompt prompt;
        NotesMainForm page(backup, devicesRoot());
        const QString folder = testsupport::makeTempDir(QStringLiteral("page-export")) + QStringLiteral("/new/notes");
        selectRows(page.listView(), {2, 5});
        prompt.answerSaveFile(folder);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 Notes."));
        CHECKED(triggerMenuAction(page, QStringLiteral("Extract Notes")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(folder), QStringLiteral("7-abc.html|9-abcdefghijklmnopqrst.html").split(u'|'));

        CHECKED(organisertest::screenshot(page, {881, 360}, QStringLiteral("notes_page.png")));
    }

    // Delete asks first, then the selection goes, then all.
    void backupPage_deletesAfterAsking_theSelectionThenAll()
    {
        _LocalDbItemNode* backup = withNotes(addBackup(QStringLiteral("Notes backup")));
        ScriptedPrompt prompt;
        NotesMainForm page(backup, devicesRoot());
        const ItemModelNotes& model = *page.notesModel();
        selectRows(page.listView(), {0, 2});
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete selected Notes?"));
        CHECKED(triggerMenuAction(page, QStringLiteral("Delete selected Notes")));
        QCOMPARE(page.notesModel()->rowCount(), 6);
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected Notes?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted Notes."));
        CHECKED(triggerAction(page, QStringLiteral("Delete Notes")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(model, 1), QStringLiteral("../../title|Dots|Other note|Long").split(u'|'));
        page.listView()->selectionModel()->clearSelection();
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all Notes?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all Notes."));
        CHECKED(triggerAction(page, QStringLiteral("Delete Notes")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(model.rowCount(), 0);
    }

    // A damaged file: the error names it; delete all asks nothing and
    // leaves the file as it was.
    void backupPage_neverDeletesADamagedFile()
    {
        _LocalDbItemNode* backup = withNotes(addBackup(QStringLiteral("Notes backup")));
        ScriptedPrompt prompt;
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("notes.db"));
        QFile::remove(file);
        const QByteArray damaged = organisertest::writeDamaged(file);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("read %1 error.").arg(file));
        NotesMainForm broken(backup, devicesRoot());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("read %1 error.").arg(file));
        CHECKED(triggerAction(broken, QStringLiteral("Delete Notes")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::readFile(file), damaged);
    }

    void export_writesEveryNoteInsideItsFolder_underANameOfItsOwn_andFailsCleanly()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("export"));
        const QString folder = base + QStringLiteral("/missing/parents/notes");
        testsupport::RecordingJobReport report;
        CHECKED(runExport<ExportNotesThread>(sampleNotes(), folder, report));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 6 Notes.")});
        // Nothing outside the folder; one file per note.
        QCOMPARE(testsupport::filesBelow(base).size(), 6);
        QCOMPARE(testsupport::filesBelow(folder),
                 QStringLiteral("-.html|..-.html|......escape-..up.html|7-abc(1).html|7-abc.html|"
                                "9-abcdefghijklmnopqrst.html")
                     .split(u'|'));
        QCOMPARE(testsupport::readFile(folder + QStringLiteral("/7-abc.html")),
                 testsupport::readFile(organisertest::dataFile(QStringLiteral("note_expected.html"))));

        // A second export into the same folder replaces nothing.
        testsupport::RecordingJobReport again;
        CHECKED(runExport<ExportNotesThread>(QList {sampleNotes().first()}, folder, again));
        QVERIFY(again.succeeded());
        QVERIFY(testsupport::readFile(folder + QStringLiteral("/7-abc(2).html")).contains("<title>Shopping</title>"));
        QVERIFY(testsupport::readFile(folder + QStringLiteral("/7-abc(1).html")).contains("<title>Other note</title>"));

        // A folder that is a file, a disk that fills up, a cancel: the error
        // is told, no partial page is left, the pages written before stay.
        QVERIFY(QFile(base + QStringLiteral("/taken")).open(QIODevice::WriteOnly));
        testsupport::RecordingJobReport notAFolder;
        CHECKED(runExport<ExportNotesThread>(sampleNotes(), base + QStringLiteral("/taken"), notAFolder));
        QVERIFY(notAFolder.failed());

        // Writes beyond 16 KB fail, as on a full device: the second page.
        QList<NoteRecord> big = sampleNotes().mid(0, 3);
        big[0].content = QString(6000, u'a');
        big[1].content = QString(20000, u'b');
        testsupport::RecordingJobReport full;
        {
            testsupport::FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.ok());
            CHECKED(runExport<ExportNotesThread>(big, base + QStringLiteral("/full"), full));
        }
        QVERIFY(full.failed());
        QVERIFY2(full.errors().first().startsWith(QStringLiteral("write file %1/full/").arg(base)),
                 qPrintable(full.errors().first()));
        QCOMPARE(testsupport::filesBelow(base + QStringLiteral("/full")), QStringList {QStringLiteral("7-abc.html")});

        QList<NoteRecord> many;
        for (int i = 0; i < 300; ++i)
            many += sampleNotes().first();
        testsupport::RecordingJobReport cancelled;
        cancelled.cancelWhenProgressContains(QStringLiteral("Notes:10 / 300"));
        CHECKED(runExport<ExportNotesThread>(many, base + QStringLiteral("/cancelled"), cancelled));
        QCOMPARE(cancelled.endCount(), 0);
        QCOMPARE(testsupport::filesBelow(base + QStringLiteral("/cancelled")).size(), 10);
    }

    // The main window builds the registered pages for a backup's nodes
    // instead of the "not available" page, and merges their actions.
    void mainWindow_showsTheOrganiserPages()
    {
        withNotes(addBackup(QStringLiteral("Window")));
        registerOrganiserPages(MainWindow::pages());
        MainWindow win(nullptr, {.startMonitor = false, .usbTipsDelayMs = -1, .checkForUpdate = false});
        AbsTreeItemModel::_ItemNode* backup = win.model()->localDbRoot()->children.value(0);
        QVERIFY(backup);
        win.selectNode(backup);
        const auto show = [&win, backup](int kind) {
            for (AbsTreeItemModel::_ItemNode* child : backup->children)
                if (child->kind() == kind)
                    win.selectNode(child);
            return win.currentPage();
        };
        QVERIFY(qobject_cast<CalendarMainForm*>(show(NAV_CALENDAR)));
        QVERIFY(qobject_cast<BookmarksMainForm*>(show(NAV_BOOKMARKS)));
        auto* notes = qobject_cast<NotesMainForm*>(show(NAV_NOTES));
        QVERIFY(notes);
        QCOMPARE(notes->notesModel()->rowCount(), 6);
        QCOMPARE(texts(win.pageActions()), QStringLiteral("Extract Notes|Delete Notes").split(u'|'));
    }
};

QTEST_MAIN(TestNotesPage)
#include "test_notespage.moc"
