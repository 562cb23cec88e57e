// The notes page of a backup folder: the list, a note opened as an inert
// page from the private temporary folder, export to a folder of pages whose
// names never leave it nor replace each other, delete (a damaged file is
// never deleted), the page from the main window, and a screenshot. The
// export job alone: exact bytes, hostile names, failures and cancel.
#include "views/organiser/exportnotesthread.h"
#include "views/organiser/notesmainform.h"
#include "views/organiser/organiserpages.h"

#include "records/localnotesdb.h"
#include "shell/core/dataroot.h"
#include "shell/main/mainwindow.h"
#include "shell/main/unavailableform.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>

namespace {

NoteRecord note(const QString& devId, const QString& srcId, const QString& title, const QString& summary,
                const QString& content, qint64 modified)
{
    NoteRecord n(devId, srcId);
    n.title = title;
    n.summary = summary;
    n.content = content;
    n.created = QDateTime::fromSecsSinceEpoch(modified - 100);
    n.modified = QDateTime::fromSecsSinceEpoch(modified);
    return n;
}

// Ids and texts that try to leave their folder, an empty body, markup in
// the title, two notes that map to one file name.
QList<NoteRecord> sampleNotes()
{
    return {
        note(QStringLiteral("dev"), QStringLiteral("7"), QStringLiteral("Shopping"), QStringLiteral("a/b:c"),
             QStringLiteral("<p>milk</p>\n<p>bread</p>"), 1700000000),
        note(QStringLiteral("../../dev"), QStringLiteral("../../../escape"), QStringLiteral("../../title"),
             QStringLiteral("../up"), QString(), 1700000500),
        note(QStringLiteral("dev"), QStringLiteral("/"), QStringLiteral("<script>alert(1)</script> & \"q\""),
             QStringLiteral(".."), QStringLiteral("<b>bold</b>"), 1700001000),
        note(QStringLiteral("dev"), QStringLiteral(".."), QStringLiteral("Dots"), QStringLiteral("..."),
             QStringLiteral("x"), 1699990000),
        note(QStringLiteral("dev"), QStringLiteral("7"), QStringLiteral("Other note"), QStringLiteral("abc"),
             QStringLiteral("y"), 1699980000),
        note(QStringLiteral("dev"), QStringLiteral("9"), QStringLiteral("Long"),
             QStringLiteral("abcdefghijklmnopqrstuvwxy"), QStringLiteral("z"), 1699970000),
    };
}

void runExport(const QList<NoteRecord>& notes, const QString& folder, testsupport::RecordingJobReport& report)
{
    ExportNotesThread job(notes, folder, &report);
    job.start();
    QVERIFY(job.wait(10000));
}

} // namespace

class TestNotesPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initPageTests(); }
    void cleanup()
    {
        MainWindow::pages() = PageRegistry();
        cleanupPage();
    }

    void backupPage_listsNewestFirst_andOpensANoteAsAnInertPage()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Notes backup"));
        {
            LocalNotesDb db(backup->dir.absoluteFilePath(QStringLiteral("notes.db")));
            for (const NoteRecord& n : sampleNotes())
                db.saveNote(n);
        }
        ScriptedPrompt prompt;
        testsupport::UrlRecorder opened;
        NotesMainForm page(backup, devicesRoot());
        checkModel(page.notesModel());
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(prompt.questions().isEmpty());
        const ItemModelNotes& model = *page.notesModel();
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString() + u'|' + model.headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("Modification Date|Summary"));
        QCOMPARE(column(model, 1).mid(0, 3),
                 (QStringList {QStringLiteral("<script>alert(1)</script> & \"q\""), QStringLiteral("../../title"),
                               QStringLiteral("Shopping")}));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:6"));
        QCOMPARE(texts(page.createToolbarActions()), QStringLiteral("Extract Notes|Delete Notes").split(u'|'));
        QVERIFY(!page.createContextMenu());
        selectRows(page.listView(), {0});
        std::unique_ptr<QMenu> menu(page.createContextMenu());
        QCOMPARE(texts(menu->actions()), QStringLiteral("Extract Notes|Delete selected Notes").split(u'|'));

        // Hostile ids open into the private temporary folder; the title is
        // text, the body is HTML under a policy that runs and fetches nothing.
        const QString temp = privateTempDir().absolutePath();
        page.noteDoubleClicked(model.index(0, 1));
        page.noteDoubleClicked(model.index(1, 1)); // "../../dev" and "../../../escape", empty body
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(opened.urls.size(), 2);
        for (const QUrl& url : opened.urls) {
            QVERIFY(url.isLocalFile());
            QCOMPARE(QFileInfo(url.toLocalFile()).absolutePath(), temp);
        }
        const QByteArray first = testsupport::readFile(opened.urls.at(0).toLocalFile());
        QVERIFY(first.contains("<title>&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;q&quot;</title>"));
        QVERIFY(first.contains("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none';"));
        QVERIFY(first.contains("<body>\r\n<b>bold</b></body></html>"));
        QVERIFY(testsupport::readFile(opened.urls.at(1).toLocalFile()).endsWith("<body>\r\n</body></html>"));

        // The screenshot goes to the build folder.
        page.resize(881, 360);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        selectRows(page.listView(), {2});
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(page.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/notes_page.png")));

        // Export of the selection through the page's dialogs.
        const QString folder = testsupport::makeTempDir(QStringLiteral("page-export")) + QStringLiteral("/new/notes");
        selectRows(page.listView(), {2, 5});
        prompt.answerSaveFile(folder);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 Notes."));
        page.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(folder), QStringLiteral("7-abc.html|9-abcdefghijklmnopqrst.html").split(u'|'));
    }

    void export_writesEveryNoteInsideItsFolder_underANameOfItsOwn()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("export"));
        const QString folder = base + QStringLiteral("/missing/parents/notes");
        testsupport::RecordingJobReport report;
        runExport(sampleNotes(), folder, report);
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 6 Notes.")});
        QCOMPARE(report.progressTexts().last(), QStringLiteral("Notes:6 / 6"));
        // Nothing outside the folder; one file per note.
        QCOMPARE(testsupport::filesBelow(base).size(), 6);
        QCOMPARE(testsupport::filesBelow(folder),
                 QStringLiteral("-.html|..-.html|......escape-..up.html|7-abc(1).html|7-abc.html|"
                                "9-abcdefghijklmnopqrst.html")
                     .split(u'|'));
        QCOMPARE(testsupport::readFile(folder + QStringLiteral("/7-abc.html")),
                 QByteArray("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                            "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
                            "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n"
                            "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
                            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                            "style-src 'unsafe-inline'; img-src data:; font-src data:; form-action 'none'; "
                            "base-uri 'none'\" />\r\n"
                            "<title>Shopping</title></head><body>\r\n"
                            "<p>milk</p>\r\n<p>bread</p></body></html>"));

        // A second export into the same folder replaces nothing; an empty
        // list still makes its folder.
        testsupport::RecordingJobReport again;
        runExport({sampleNotes().first()}, folder, again);
        QCOMPARE(again.successes(), QStringList {QStringLiteral("Successfully extracted 1 Notes.")});
        QVERIFY(testsupport::readFile(folder + QStringLiteral("/7-abc(2).html")).contains("<title>Shopping</title>"));
        QVERIFY(testsupport::readFile(folder + QStringLiteral("/7-abc(1).html")).contains("<title>Other note</title>"));
        testsupport::RecordingJobReport empty;
        runExport({}, base + QStringLiteral("/empty"), empty);
        QCOMPARE(empty.successes(), QStringList {QStringLiteral("Successfully extracted 0 Notes.")});
        QVERIFY(QFileInfo(base + QStringLiteral("/empty")).isDir());
    }

    // A folder that is a file, a disk that fills up, a cancel: the error is
    // told, no partial page is left, the pages written before stay.
    void export_failedOrCancelled_leavesNoPartialPage()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        {
            QFile f(dir + QStringLiteral("/taken"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        testsupport::RecordingJobReport notAFolder;
        runExport(sampleNotes(), dir + QStringLiteral("/taken"), notAFolder);
        QCOMPARE(notAFolder.errors().size(), 1);
        QVERIFY(notAFolder.successes().isEmpty());

        // Writes beyond 16 KB fail, as on a full device: the second page.
        QList<NoteRecord> big = sampleNotes().mid(0, 3);
        big[0].content = QString(6000, u'a');
        big[1].content = QString(20000, u'b');
        struct rlimit before {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = before;
        small.rlim_cur = 16 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        testsupport::RecordingJobReport full;
        runExport(big, dir + QStringLiteral("/full"), full);
        setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(full.successes().isEmpty());
        QCOMPARE(full.errors().size(), 1);
        QVERIFY2(full.errors().first().startsWith(QStringLiteral("write file %1/full/").arg(dir)),
                 qPrintable(full.errors().first()));
        QCOMPARE(testsupport::filesBelow(dir + QStringLiteral("/full")), QStringList {QStringLiteral("7-abc.html")});

        QList<NoteRecord> many;
        for (int i = 0; i < 300; ++i)
            many += sampleNotes().first();
        testsupport::RecordingJobReport cancelled;
        cancelled.cancelWhenProgressContains(QStringLiteral("Notes:10 / 300"));
        runExport(many, dir + QStringLiteral("/cancelled"), cancelled);
        QCOMPARE(cancelled.endCount(), 0);
        QCOMPARE(testsupport::filesBelow(dir + QStringLiteral("/cancelled")).size(), 10);
    }

    void delete_selectedThenAll_butNeverADamagedFile()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Delete"));
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("notes.db"));
        {
            LocalNotesDb db(file);
            for (const NoteRecord& n : sampleNotes())
                db.saveNote(n);
        }
        ScriptedPrompt prompt;
        NotesMainForm page(backup, devicesRoot());
        selectRows(page.listView(), {0, 2});
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete selected Notes?"));
        page.miDelete();
        QCOMPARE(page.notesModel()->rowCount(), 6);
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected Notes?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted Notes."));
        page.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.notesModel(), 1), QStringLiteral("../../title|Dots|Other note|Long").split(u'|'));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:4"));

        page.listView()->selectionModel()->clearSelection();
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all Notes?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all Notes."));
        page.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.notesModel()->rowCount(), 0);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:0"));

        // A damaged file: the error names it; delete all asks nothing and
        // leaves the file as it was.
        const QByteArray damaged = "SQLite format 3\0garbage that is no database";
        QFile::remove(file);
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(damaged);
        }
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("read %1 error.").arg(file));
        NotesMainForm broken(backup, devicesRoot());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("read %1 error.").arg(file));
        broken.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::readFile(file), damaged);
    }

    // The main window builds the registered page for a backup's Notes node
    // instead of the "not available" page, and merges its actions.
    void mainWindow_showsTheNotesPage()
    {
        const QDir dir(getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Window")));
        dir.mkpath(QStringLiteral("."));
        LocalNotesDb(dir.absoluteFilePath(QStringLiteral("notes.db"))).saveNote(sampleNotes().first());
        registerOrganiserPages(MainWindow::pages());
        MainWindowOptions options;
        options.startMonitor = false;
        options.usbTipsDelayMs = -1;
        options.checkForUpdate = false;
        MainWindow win(nullptr, options);
        AbsTreeItemModel::_ItemNode* backup = win.model()->localDbRoot()->children.value(0);
        QVERIFY(backup);
        win.selectNode(backup);
        AbsTreeItemModel::_ItemNode* notes = nullptr;
        for (AbsTreeItemModel::_ItemNode* child : backup->children)
            if (child->type == NAV_NOTES)
                notes = child;
        QVERIFY(notes);
        QCOMPARE(notes->text, QStringLiteral("Notes(1)"));
        win.selectNode(notes);
        auto* page = qobject_cast<NotesMainForm*>(win.currentPage());
        QVERIFY(page);
        QCOMPARE(page->notesModel()->rowCount(), 1);
        QCOMPARE(texts(win.pageActions()), QStringLiteral("Extract Notes|Delete Notes").split(u'|'));
    }
};

QTEST_MAIN(TestNotesPage)
#include "test_notespage.moc"
