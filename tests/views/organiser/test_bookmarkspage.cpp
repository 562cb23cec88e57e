// The bookmarks page end to end against simulated phones: the first load and
// the cached second visit, backup, transfer to a second phone; on a backup
// folder the tree, export, search, double click (web addresses only),
// deletion, looping and damaged databases. The export job alone: an expected
// file, and hostile titles and urls read back by Python's html.parser.
#include "views/organiser/bookmarksmainform.h"
#include "views/organiser/exportbookmarkthread.h"

#include "records/localbookmarkdb.h"
#include "shell/mytreeview.h"

#include "organisertest.h"
#include "pagetest.h"

#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using organisertest::runExport;

namespace {

// Every row's title in display order, collapsed folders included.
QStringList allTitles(const ItemModelBookmark& model)
{
    QStringList out;
    for (AbsTreeItemModel::_ItemNode* n : model.allNodes())
        out << static_cast<ItemModelBookmark::_BookmarkItemNode*>(n)->record->title;
    return out;
}

QModelIndex indexOfTitle(const ItemModelBookmark& model, const QString& title)
{
    return model.indexOfNode(model.allNodes().value(allTitles(model).indexOf(title)));
}

void select(BookmarksMainForm& page, const QStringList& rowTitles)
{
    page.listView()->selectionModel()->clearSelection();
    for (const QString& t : rowTitles)
        page.listView()->selectionModel()->select(indexOfTitle(*page.bookmarkModel(), t),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// A bookmark, or a folder when url is null, appended to parent's children.
BookmarkRecord* mark(BookmarkRecord* parent, const QString& title, const QString& url, int order)
{
    auto* r = new BookmarkRecord(parent, url.isNull(), title, url, order, QString());
    if (parent)
        parent->children.append(r);
    return r;
}

// The tree of data/bookmarks_backup.sql, then the rows of more.
void fillBackup(const QString& file, const QString& more = QString())
{
    LocalBookmarkDb db(file);
    db.open();
    db.connection().executeThrow(
        QString::fromUtf8(testsupport::readFile(organisertest::dataFile(QStringLiteral("bookmarks_backup.sql")))));
    db.connection().executeThrow(more);
}

} // namespace

class TestBookmarksPage : public testsupport::PageTest {
    Q_OBJECT

public:
    TestBookmarksPage()
        : PageTest({.address = QStringLiteral("127.0.112.31"),
                    .fixture = QStringLiteral("tests/views/organiser/data/phone_bookmarks.json")})
    {
    }

private Q_SLOTS:
    // Two visits: one load.
    void phonePage_loadsOnce()
    {
        CHECKED(organisertest::checkLoadsOnce<BookmarksMainForm>(*m_sim, QStringLiteral("bookmarks"), m_phone,
                                                                 devicesRoot()));
        ScriptedPrompt prompt;
        BookmarksMainForm page(m_phone, devicesRoot());
        QCOMPARE(allTitles(*page.bookmarkModel()), QStringLiteral("Example|Wiki ü|News").split(u'|'));
    }

    // One bookmark backed up, then all.
    void phonePage_backsUpOneThenAll()
    {
        ScriptedPrompt prompt;
        BookmarksMainForm page(m_phone, devicesRoot());
        select(page, {QStringLiteral("News")});
        CHECKED(organisertest::checkBackupSelectedThenAll(
            page, QStringLiteral("Backup selected Bookmarks"), QStringLiteral("Backup Bookmarks"),
            QStringLiteral("bookmarks.db"), [](const QString& f) { return LocalBookmarkDb(f).countBookmarks(); }, 1,
            3));
    }

    // All sent to a second phone.
    void phonePage_transfersAllToASecondPhone()
    {
        ScriptedPrompt prompt;
        BookmarksMainForm page(m_phone, devicesRoot());
        testsupport::SimPhone second(QStringLiteral("127.0.112.32"));
        QVERIFY2(second.ok(), qPrintable(second.error));
        _AndroidDeviceItemNode* target = addPhone(second);
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 3 "));
        CHECKED(triggerAction(page, QStringLiteral("Transfer Android Bookmarks to other Android")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(second.verdict(1), QString());
        QCOMPARE(second.store->batchSizes(QStringLiteral("bookmarks")), QList<int> {3});
        QCOMPARE(LocalBookmarkDb(target->device.cacheDir().absoluteFilePath(QStringLiteral("bookmarks.db")))
                     .countBookmarks(),
                 3);
    }

    // The tree in sibling order with its count.
    void backupPage_listsTheTreeInSiblingOrder()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        fillBackup(backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db")));
        ScriptedPrompt prompt;
        BookmarksMainForm page(backup, devicesRoot());
        checkModel(page.bookmarkModel());
        QCOMPARE(allTitles(*page.bookmarkModel()),
                 QStringLiteral("Home|Work|Docs|API reference|Guide|Local file|Script|").split(u'|'));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:6"));
    }

    // The export of a folder and a bookmark inside it: the subtree once,
    // the name as typed.
    void backupPage_exportsAFolderAndABookmarkInIt_theSubtreeOnce()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        fillBackup(backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db")));
        ScriptedPrompt prompt;
        BookmarksMainForm page(backup, devicesRoot());
        select(page, {QStringLiteral("Guide"), QStringLiteral("Work"), QStringLiteral("Home")});
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        prompt.answerSaveFile(dir + QStringLiteral("/marks"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 3 Bookmarks."));
        CHECKED(triggerMenuAction(page, QStringLiteral("Extract selected Bookmarks")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList {QStringLiteral("marks")});
    }

    // A match in a collapsed folder opens its folders; the only match is
    // found again; a later one wraps to the top.
    void backupPage_searchOpensFolders_andWrapsAround()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        fillBackup(backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db")));
        ScriptedPrompt prompt;
        BookmarksMainForm page(backup, devicesRoot());
        const ItemModelBookmark& model = *page.bookmarkModel();
        for (const auto& [keyword, found] : {std::pair {"  GUIDE ", "Guide"}, std::pair {"  GUIDE ", "Guide"},
                                             std::pair {"e", "Local file"}, std::pair {"e", "Home"}}) {
            page.keywordEdit()->setText(QString::fromLatin1(keyword));
            page.btnSearchClicked();
            QCOMPARE(model.data(page.listView()->currentIndex()).toString(), QString::fromLatin1(found));
        }
        QVERIFY(page.listView()->isExpanded(indexOfTitle(model, QStringLiteral("Docs"))));
    }

    // Folders are skipped; the bare path and the script are refused.
    void backupPage_doubleClickHandsOnlyWebAddressesToTheDesktop()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        fillBackup(backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db")));
        ScriptedPrompt prompt;
        BookmarksMainForm page(backup, devicesRoot());
        const ItemModelBookmark& model = *page.bookmarkModel();
        testsupport::UrlRecorder opened;
        select(page,
               {QStringLiteral("Work"), QStringLiteral("Home"), QStringLiteral("Local file"), QStringLiteral("Script"),
                QString()});
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("/etc/passwd"));
        emit page.listView()->doubleClicked(indexOfTitle(model, QStringLiteral("Home")));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(prompt.messages().last().contains(QStringLiteral("javascript:alert(1)")));
        QCOMPARE(opened.urls,
                 (QList<QUrl> {QUrl(QStringLiteral("https://home.example/")),
                               QUrl(QStringLiteral("ftp://files.example/pub"))}));
        for (const char* refused : {"file:///etc/passwd", "mailto:a@b.example", "http:relative", "www.example.org",
                                    "data:text/html,<b>x</b>", "vbscript:x", ""})
            QVERIFY2(!BookmarksMainForm::isOpenableUrl(QString::fromLatin1(refused)), refused);

        CHECKED(organisertest::screenshot(page, {951, 420}, QStringLiteral("bookmarks_page.png")));
    }

    // A folder goes with its subtree, in the file too.
    void backupPage_deletesAFolderWithItsSubtree()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db"));
        fillBackup(file);
        ScriptedPrompt prompt;
        BookmarksMainForm page(backup, devicesRoot());
        const ItemModelBookmark& model = *page.bookmarkModel();
        select(page, {QStringLiteral("Docs"), QStringLiteral("Guide")});
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected Bookmarks?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted Bookmarks."));
        CHECKED(triggerAction(page, QStringLiteral("Delete Bookmarks")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(allTitles(model), QStringLiteral("Home|Work|Local file|Script|").split(u'|'));
        QCOMPARE(LocalBookmarkDb(file).countOf(QStringLiteral("select count(*) from bookmarks")), 5);
    }

    // Rows whose folders loop (or are missing) are left out, the rest shows;
    // a file that is no database is reported and left as it is.
    void badDatabases_areShownWithoutCrashOrLoss()
    {
        _LocalDbItemNode* looping = addBackup(QStringLiteral("Looping"));
        fillBackup(looping->dir.absoluteFilePath(QStringLiteral("bookmarks.db")),
                   QStringLiteral("insert into bookmarks(id,parent,type,title,url,order_index,src_id) values "
                                  "(100,101,1,'Loop A',null,0,''),(101,100,1,'Loop B',null,0,''),"
                                  "(102,102,1,'Self',null,0,''),(103,100,0,'In loop','https://loop.example/',0,''),"
                                  "(104,999,0,'Orphan','https://orphan.example/',0,'')"));
        ScriptedPrompt prompt;
        {
            BookmarksMainForm page(looping, devicesRoot());
            VERIFY_SCRIPT_DONE(prompt);
            QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:6"));
            QVERIFY(!allTitles(*page.bookmarkModel()).contains(QStringLiteral("In loop")));
        }

        _LocalDbItemNode* damaged = addBackup(QStringLiteral("Damaged"));
        const QString bad = damaged->dir.absoluteFilePath(QStringLiteral("bookmarks.db"));
        const QByteArray garbage = organisertest::writeDamaged(bad);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("not a database"));
        BookmarksMainForm page(damaged, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.bookmarkModel()->rowCount(), 0);
        QCOMPARE(testsupport::readFile(bad), garbage);
    }

    // Titles and addresses that look like markup, at the top and inside a
    // folder, show as written in the tool tips.
    void markup_showsAsWrittenInToolTips()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Markup"));
        fillBackup(backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db")),
                   QStringLiteral("insert into bookmarks(id,parent,type,title,url,order_index,src_id) values "
                                  "(20,0,1,'<b>Folder</b>',null,9,''),"
                                  "(21,20,0,'<img src=\"/tmp/x.png\">Pic','https://e.example/?a=<b>x</b>',0,'')"));
        ScriptedPrompt prompt;
        BookmarksMainForm page(backup, devicesRoot());
        const ItemModelBookmark& model = *page.bookmarkModel();
        const QModelIndex folder = indexOfTitle(model, QStringLiteral("<b>Folder</b>"));
        QCOMPARE(column(model, 0, folder), QStringList {QStringLiteral("<img src=\"/tmp/x.png\">Pic")});
        for (const QModelIndex& parent : {QModelIndex(), folder})
            for (int col = 0; col < model.columnCount(parent); ++col)
                QCOMPARE(shownToolTips(model, col, parent), column(model, col, parent));
        QVERIFY(prompt.questions().isEmpty());
    }

    // Folders nested 100,000 deep with one bookmark at the bottom: the page
    // lists and counts it, exports the whole chain, deletes it and frees the
    // tree, none of it by recursion.
    void backupPage_deeplyNestedFolders_listExportAndDelete()
    {
        constexpr int kDepth = 100000;
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Deep"));
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db"));
        {
            LocalBookmarkDb db(file);
            db.open();
            db.connection().executeThrow(
                QStringLiteral("WITH RECURSIVE f(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM f WHERE i<%1) "
                               "INSERT INTO bookmarks(id,parent,type,title,url,order_index,src_id) "
                               "SELECT i, CASE WHEN i=1 THEN NULL ELSE i-1 END, 1, 'Level '||i, NULL, 0, '' FROM f")
                    .arg(kDepth));
            db.connection().executeThrow(
                QStringLiteral("insert into bookmarks(id,parent,type,title,url,order_index,src_id) "
                               "values(%1,%2,0,'Bottom','https://deep.example/',0,'')")
                    .arg(kDepth + 1)
                    .arg(kDepth));
        }
        ScriptedPrompt prompt;
        {
            BookmarksMainForm page(backup, devicesRoot());
            QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:1"));
            QCOMPARE(page.bookmarkModel()->allNodes().size(), kDepth + 1);

            const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
            prompt.answerSaveFile(dir + QStringLiteral("/deep.html"));
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 Bookmarks."));
            CHECKED(triggerAction(page, QStringLiteral("Extract Bookmarks")));
            VERIFY_SCRIPT_DONE(prompt);
            const QByteArray html = testsupport::readFile(dir + QStringLiteral("/deep.html"));
            QCOMPARE(html.count("<DT><H3>Level "), kDepth);
            QCOMPARE(html.count("</DL>\r\n</DT>\r\n"), kDepth);
            QVERIFY(html.contains("<H3>Level 100000</H3>\r\n<DL>\r\n<DT><A HREF=\"https://deep.example/\">Bottom</A>"));

            select(page, {QStringLiteral("Level 1")});
            prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected Bookmarks?"));
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted Bookmarks."));
            CHECKED(triggerAction(page, QStringLiteral("Delete Bookmarks")));
            VERIFY_SCRIPT_DONE(prompt);
            QCOMPARE(page.bookmarkModel()->rowCount(), 0);
        }
        QCOMPARE(LocalBookmarkDb(file).countOf(QStringLiteral("select count(*) from bookmarks")), 0);
    }

    // Sibling order, nesting, an empty folder, entities and percent signs.
    void export_matchesTheExpectedFile()
    {
        std::unique_ptr<BookmarkRecord> second(
            mark(nullptr, QStringLiteral("Second"), QStringLiteral("https://two.example/a%2Fb?x=%1"), 5));
        std::unique_ptr<BookmarkRecord> first(
            mark(nullptr, QStringLiteral("First & <best>"), QStringLiteral("https://one.example/?a=1&b=2"), 2));
        std::unique_ptr<BookmarkRecord> box(mark(nullptr, QStringLiteral("Folder"), QString(), 3));
        mark(box.get(), QStringLiteral("Empty"), QString(), 1);
        mark(box.get(), QStringLiteral("Inner"), QStringLiteral("http://inner.example/"), 0);
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/marks.html");
        testsupport::RecordingJobReport report;
        CHECKED(runExport<ExportBookmarkThread>(QList {second.get(), first.get(), box.get()}, path, report));
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 3 Bookmarks.")});
        QCOMPARE(testsupport::readFile(path),
                 testsupport::readFile(organisertest::dataFile(QStringLiteral("bookmarks_expected.html"))));
        // Each step under the export's status line.
        QCOMPARE(report.progressTexts(),
                 (QStringList {QStringLiteral("1 / 3"), QStringLiteral("2 / 3"), QStringLiteral("3 / 3")}));
        for (const auto& step : report.progress())
            QCOMPARE(step.status, QStringLiteral("Extracting Bookmarks now. Please wait..."));
    }

    // Markup, entities, quotes, line breaks, no title and non-ASCII in titles
    // and urls ([title, url] in the data file), in a folder named like markup.
    void export_hostileTitlesAndUrls_parseBackUnchanged()
    {
        std::unique_ptr<BookmarkRecord> folder(mark(nullptr, QStringLiteral("<H3>fake</H3></DL>"), QString(), 0));
        QJsonArray expected {QJsonArray {QStringLiteral("h3"), QString(), folder->title, QString()}};
        for (const QJsonValue& v : organisertest::dataArray(QStringLiteral("hostile_bookmarks.json"))) {
            mark(folder.get(), v[0].toString(), v[1].toString(), int(expected.size()));
            expected.append(QJsonArray {QStringLiteral("a"), QStringLiteral("href"), v[0], v[1]});
        }
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/hostile.html");
        testsupport::RecordingJobReport report;
        CHECKED(runExport<ExportBookmarkThread>(QList {folder.get()}, path, report));

        // Every title and url as given, each anchor with its href alone, no
        // element or comment of the data's own; only CR LF line ends.
        const QJsonObject parsed = organisertest::readWithPython(QStringLiteral("parse_bookmarks.py"), path).object();
        QCOMPARE(QJsonDocument(parsed.value(QLatin1String("items")).toArray()).toJson(),
                 QJsonDocument(expected).toJson());
        QCOMPARE(parsed.value(QLatin1String("tags")).toVariant().toStringList(),
                 QStringLiteral("a|dl|dt|h3|meta|title").split(u'|'));
        QVERIFY(parsed.value(QLatin1String("other")).toArray().isEmpty());
        const QByteArray bytes = testsupport::readFile(path);
        QCOMPARE(bytes.count('\n') + bytes.count('\r'), 2 * bytes.count("\r\n"));
    }
};

QTEST_MAIN(TestBookmarksPage)
#include "test_bookmarkspage.moc"
