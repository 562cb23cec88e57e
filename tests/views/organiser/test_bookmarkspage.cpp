// The bookmarks page end to end against simulated phones: the first load and
// the cached second visit, backup, transfer to a second phone; on a backup
// folder the tree, search, double click (web addresses only), export,
// deletion, looping and damaged databases, and a screenshot. The export job
// alone: an expected file, hostile titles and urls read back by Python's
// html.parser, and a cancel.
#include "views/organiser/bookmarksmainform.h"
#include "views/organiser/exportbookmarkthread.h"

#include "jobs/localdbselform.h"
#include "records/localbookmarkdb.h"
#include "shell/core/dataroot.h"
#include "shell/itemmodelmain.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr char kAddress[] = "127.0.112.31";
constexpr char kSecondAddress[] = "127.0.112.32";

QStringList titles(const QList<BookmarkRecord*>& records)
{
    QStringList out;
    for (const BookmarkRecord* r : records)
        out << r->title;
    return out;
}

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
    for (AbsTreeItemModel::_ItemNode* n : model.allNodes())
        if (static_cast<ItemModelBookmark::_BookmarkItemNode*>(n)->record->title == title)
            return model.indexOfNode(n);
    return QModelIndex();
}

void select(BookmarksMainForm& page, const QStringList& rowTitles)
{
    page.listView()->selectionModel()->clearSelection();
    for (const QString& t : rowTitles)
        page.listView()->selectionModel()->select(indexOfTitle(*page.bookmarkModel(), t),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QString currentTitle(const BookmarksMainForm& page)
{
    const BookmarkRecord* r = ItemModelBookmark::recordOf(page.listView()->currentIndex());
    return r ? r->title : QStringLiteral("<none>");
}

BookmarkRecord* bookmark(BookmarkRecord* parent, const QString& title, const QString& url, int order)
{
    auto* r = new BookmarkRecord(parent, false, title, url, order, QString());
    if (parent)
        parent->children.append(r);
    return r;
}

BookmarkRecord* folder(BookmarkRecord* parent, const QString& title, int order)
{
    auto* r = new BookmarkRecord(parent, true, title, QString(), order, QString());
    if (parent)
        parent->children.append(r);
    return r;
}

// Home, Work/{Docs/{API reference, Guide}}, then a bare path, a script and
// an ftp bookmark without title at the top.
void fillBackup(const QString& file)
{
    LocalBookmarkDb db(file);
    std::unique_ptr<BookmarkRecord> work(folder(nullptr, QStringLiteral("Work"), 1));
    BookmarkRecord* docs = folder(work.get(), QStringLiteral("Docs"), 0);
    bookmark(docs, QStringLiteral("Guide"), QStringLiteral("https://docs.example/guide"), 1);
    bookmark(docs, QStringLiteral("API reference"), QStringLiteral("http://api.example/"), 0);
    db.addBookmarkWithParents(work.get(), nullptr);
    int order = 0;
    for (const auto& [title, url] :
         {std::pair {"Home", "https://home.example/"}, std::pair {"Local file", "/etc/passwd"},
          std::pair {"Script", "javascript:alert(1)"}, std::pair {"", "ftp://files.example/pub"}}) {
        if (order == 1)
            ++order; // Work's place
        BookmarkRecord r(nullptr, false, QString::fromUtf8(title), QString::fromUtf8(url), order++, QString());
        db.addBookmarkWithParents(&r, nullptr);
    }
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void runExport(const QList<BookmarkRecord*>& items, const QString& path, testsupport::RecordingJobReport& report)
{
    ExportBookmarkThread job(items, path, &report);
    job.start();
    QVERIFY(job.wait(10000));
}

// What Python's html.parser finds in the file: the tags, every anchor and
// heading with its attributes and text, and any comment or declaration.
QJsonObject parseWithPython(const QString& path)
{
    static const char script[] = R"(
import json, sys
from html.parser import HTMLParser
class P(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags, self.items, self.cur, self.other = [], [], None, []
    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        if tag in ('a', 'h3'):
            self.cur = {'tag': tag, 'attrs': [k for k, v in attrs], 'href': dict(attrs).get('href', ''), 'text': ''}
    def handle_endtag(self, tag):
        if tag in ('a', 'h3') and self.cur is not None:
            self.items.append(self.cur)
            self.cur = None
    def handle_data(self, data):
        if self.cur is not None:
            self.cur['text'] += data
    def handle_comment(self, data): self.other.append('comment')
    def handle_decl(self, decl): self.other.append('decl')
    def handle_pi(self, data): self.other.append('pi')
    def unknown_decl(self, data): self.other.append('unknown')
p = P()
p.feed(open(sys.argv[1], encoding='utf-8', newline='').read())
p.close()
print(json.dumps({'tags': sorted(set(p.tags)), 'items': p.items, 'other': p.other}))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), path});
    if (!python.waitForFinished(15000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return QJsonObject();
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

class TestBookmarksPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        m_sim = std::make_unique<testsupport::SimPhone>(
            QString::fromLatin1(kAddress),
            testsupport::fixtureFile(QStringLiteral("tests/views/organiser/data/phone_bookmarks.json")));
        QVERIFY2(m_sim->ok(), qPrintable(m_sim->error));
    }

    void init() { m_phone = addPhone(*m_sim); }
    void cleanup() { cleanupPage(); }

    void firstVisit_loadsOnce_secondVisitReadsTheCache()
    {
        ScriptedPrompt prompt;
        const int loadsBefore = m_sim->loads(QStringLiteral("bookmarks"));
        {
            BookmarksMainForm page(m_phone, devicesRoot());
            checkModel(page.bookmarkModel());
            VERIFY_SCRIPT_DONE(prompt);
            QCOMPARE(prompt.questions().size(), 1);
            QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
        }
        QCOMPARE(m_sim->loads(QStringLiteral("bookmarks")), loadsBefore + 1);

        BookmarksMainForm page(m_phone, devicesRoot());
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(m_sim->loads(QStringLiteral("bookmarks")), loadsBefore + 1);
        QCOMPARE(allTitles(*page.bookmarkModel()), QStringLiteral("Example|Wiki ü|News").split(u'|'));
        QCOMPARE(page.bookmarkModel()->index(1, 1).data().toString(), QStringLiteral("http://wiki.example/Main_Page"));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:3"));
        QCOMPARE(texts(page.createToolbarActions()),
                 QStringLiteral("Backup Bookmarks|Transfer Android Bookmarks to other Android|Extract Bookmarks")
                     .split(u'|'));
    }

    void backup_emitsBackupFinished_andTheFolderCountGrows()
    {
        ScriptedPrompt prompt;
        BookmarksMainForm page(m_phone, devicesRoot());
        QSignalSpy finished(&page, &BookmarksMainForm::backupFinished);
        auto choose = [](QDialog* d) {
            auto* form = qobject_cast<LocalDbSelForm*>(d);
            form->comboBox()->setEditText(QStringLiteral("Marks"));
            form->onBtnOkPress();
        };
        const QString file = getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Marks/bookmarks.db"));

        select(page, {QStringLiteral("News")});
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 1 Bookmarks."));
        page.miBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toString(), QStringLiteral("Marks"));
        QCOMPARE(LocalBookmarkDb(file).countBookmarks(), 1);

        page.listView()->selectionModel()->clearSelection();
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"), choose);
        prompt.answerMessage(QMessageBox::Ok);
        page.miToolbarBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(LocalBookmarkDb(file).countBookmarks(), 3);
    }

    void transfer_toASecondPhone_arrivesInTheRestoreBatches()
    {
        testsupport::SimPhone second(QString::fromLatin1(kSecondAddress));
        QVERIFY2(second.ok(), qPrintable(second.error));
        _AndroidDeviceItemNode* target = addPhone(second);
        ScriptedPrompt prompt;
        BookmarksMainForm page(m_phone, devicesRoot());

        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok);
        page.miToolbarA2A();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(second.verdict(1), QString());
        QCOMPARE(second.store->batchSizes(QStringLiteral("bookmarks")), QList<int> {3});
        QStringList got;
        for (const QVariantMap& r : second.store->records(QStringLiteral("bookmarks")))
            got << r.value(QStringLiteral("title")).toString();
        QCOMPARE(got, QStringLiteral("Example|Wiki ü|News").split(u'|'));
        QCOMPARE(LocalBookmarkDb(target->device.cacheDir().absoluteFilePath(QStringLiteral("bookmarks.db")))
                     .countBookmarks(),
                 3);
    }

    // The tree in sibling order, the selection of a folder standing for its
    // subtree, search with wrap-around, and a double click that hands only
    // web addresses to the desktop.
    void backupPage_treeSearchAndDoubleClick()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        fillBackup(backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db")));
        ScriptedPrompt prompt;
        BookmarksMainForm page(backup, devicesRoot());
        checkModel(page.bookmarkModel());
        const ItemModelBookmark& model = *page.bookmarkModel();
        QCOMPARE(allTitles(model),
                 (QStringList {QStringLiteral("Home"), QStringLiteral("Work"), QStringLiteral("Docs"),
                               QStringLiteral("API reference"), QStringLiteral("Guide"), QStringLiteral("Local file"),
                               QStringLiteral("Script"), QString()}));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:6"));
        QVERIFY(!page.listView()->isExpanded(indexOfTitle(model, QStringLiteral("Work"))));

        select(page, {QStringLiteral("Guide"), QStringLiteral("Work"), QStringLiteral("Home")});
        QStringList selected = titles(page.getSelectedBookmarks());
        selected.sort();
        QCOMPARE(selected, QStringLiteral("Home|Work").split(u'|'));
        std::unique_ptr<QMenu> menu(page.createContextMenu());
        QCOMPARE(texts(menu->actions()),
                 QStringLiteral("Transfer selected Boomarks from Database to Android|Extract selected "
                                "Bookmarks|Delete selected Bookmarks")
                     .split(u'|'));

        // The export of that selection: the folder's subtree once, the name as typed.
        const QString dir = testsupport::makeTempDir(QStringLiteral("export"));
        prompt.answerSaveFile(dir + QStringLiteral("/marks"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 3 Bookmarks."));
        page.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().at(prompt.questions().size() - 3).filter, QString());
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList {QStringLiteral("marks")});

        // A match in a collapsed folder opens its folders; the only match
        // found again is itself; a later search wraps to the top.
        page.listView()->selectionModel()->clearSelection();
        page.keywordEdit()->setText(QStringLiteral("  GUIDE "));
        QTest::keyClick(page.keywordEdit(), Qt::Key_Return);
        QCOMPARE(currentTitle(page), QStringLiteral("Guide"));
        QVERIFY(page.listView()->isExpanded(indexOfTitle(model, QStringLiteral("Work"))));
        QVERIFY(page.listView()->isExpanded(indexOfTitle(model, QStringLiteral("Docs"))));
        page.btnSearchClicked();
        QCOMPARE(currentTitle(page), QStringLiteral("Guide"));
        page.keywordEdit()->setText(QStringLiteral("e"));
        page.btnSearchClicked();
        QCOMPARE(currentTitle(page), QStringLiteral("Local file"));
        page.btnSearchClicked();
        QCOMPARE(currentTitle(page), QStringLiteral("Home"));
        page.keywordEdit()->setText(QStringLiteral("nowhere"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Find no Bookmarks with keyword nowhere."));
        page.btnSearchClicked();
        VERIFY_SCRIPT_DONE(prompt);

        // Folders are skipped; the bare path and the script are refused.
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
        for (const char* opened :
             {"HTTPS://Example.ORG/a?b=c#d", "https://de.example/wiki/Über Straße", "ftp://f.example/%1"})
            QVERIFY2(BookmarksMainForm::isOpenableUrl(QString::fromUtf8(opened)), opened);

        page.resize(951, 420);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        select(page, {QStringLiteral("Guide")});
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(page.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/bookmarks_page.png")));
    }

    void backupPage_deletesFoldersWithTheirSubtrees()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Old"));
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("bookmarks.db"));
        fillBackup(file);
        ScriptedPrompt prompt;
        BookmarksMainForm page(backup, devicesRoot());

        select(page, {QStringLiteral("Docs"), QStringLiteral("Guide")});
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected Bookmarks?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted Bookmarks."));
        page.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(allTitles(*page.bookmarkModel()),
                 (QStringList {QStringLiteral("Home"), QStringLiteral("Work"), QStringLiteral("Local file"),
                               QStringLiteral("Script"), QString()}));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:4"));
        QCOMPARE(LocalBookmarkDb(file).countOf(QStringLiteral("select count(*) from bookmarks")), 5);

        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all Bookmarks?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all Bookmarks."));
        page.listView()->selectionModel()->clearSelection();
        page.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.bookmarkModel()->rowCount(), 0);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:0"));
    }

    // Rows whose folders loop (or are missing) are left out, the rest shows;
    // a file that is no database is reported and left as it is.
    void badDatabases_areShownWithoutCrashOrLoss()
    {
        _LocalDbItemNode* looping = addBackup(QStringLiteral("Looping"));
        const QString file = looping->dir.absoluteFilePath(QStringLiteral("bookmarks.db"));
        fillBackup(file);
        {
            LocalBookmarkDb db(file);
            db.open();
            db.connection().executeThrow(
                QStringLiteral("insert into bookmarks(id,parent,type,title,url,order_index,src_id) values "
                               "(100,101,1,'Loop A',null,0,''),(101,100,1,'Loop B',null,0,''),"
                               "(102,102,1,'Self',null,0,''),(103,100,0,'In loop','https://loop.example/',0,''),"
                               "(104,999,0,'Orphan','https://orphan.example/',0,'')"));
        }
        ScriptedPrompt prompt;
        {
            BookmarksMainForm page(looping, devicesRoot());
            VERIFY_SCRIPT_DONE(prompt);
            QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:6"));
            QVERIFY(!allTitles(*page.bookmarkModel()).contains(QStringLiteral("In loop")));
        }

        _LocalDbItemNode* damaged = addBackup(QStringLiteral("Damaged"));
        const QString bad = damaged->dir.absoluteFilePath(QStringLiteral("bookmarks.db"));
        const QByteArray garbage = QByteArray("SQLite format 3") + QByteArray(4000, '\x5a');
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        }
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("not a database"));
        BookmarksMainForm page(damaged, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.bookmarkModel()->rowCount(), 0);
        QCOMPARE(readAll(bad), garbage);
    }

    // Sibling order, nesting, an empty folder, entities and percent signs.
    void export_matchesTheExpectedFile()
    {
        std::unique_ptr<BookmarkRecord> second(
            bookmark(nullptr, QStringLiteral("Second"), QStringLiteral("https://two.example/a%2Fb?x=%1"), 5));
        std::unique_ptr<BookmarkRecord> first(
            bookmark(nullptr, QStringLiteral("First & <best>"), QStringLiteral("https://one.example/?a=1&b=2"), 2));
        std::unique_ptr<BookmarkRecord> box(folder(nullptr, QStringLiteral("Folder"), 3));
        folder(box.get(), QStringLiteral("Empty"), 1);
        bookmark(box.get(), QStringLiteral("Inner"), QStringLiteral("http://inner.example/"), 0);

        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/marks.html");
        testsupport::RecordingJobReport report;
        runExport({second.get(), first.get(), box.get()}, path, report);
        QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 3 Bookmarks.")});
        QCOMPARE(report.progressTexts(), QStringLiteral("1 / 3|2 / 3|3 / 3").split(u'|'));
        QCOMPARE(
            readAll(path),
            readAll(testsupport::sourceDir() + QStringLiteral("/tests/views/organiser/data/bookmarks_expected.html")));

        // An empty list: the frame only.
        testsupport::RecordingJobReport empty;
        runExport({}, path, empty);
        QCOMPARE(empty.successes(), QStringList {QStringLiteral("Successfully extracted 0 Bookmarks.")});
        QCOMPARE(readAll(path),
                 QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n"
                            "<TITLE>Bookmarks</TITLE>\r\n<DL>\r\n</DL>\r\n"));
    }

    void export_hostileTitlesAndUrls_parseBackUnchanged()
    {
        const QList<std::pair<QString, QString>> hostile = {
            {QStringLiteral("</A><script>alert(1)</script>"),
             QStringLiteral("https://example.org/?q=\"><script>alert(2)</script>")},
            {QStringLiteral("\"><img src=x onerror=alert(3)>"),
             QStringLiteral("http://x.example/\" onmouseover=\"a(4)")},
            {QStringLiteral("Tom & Jerry &amp; &lt;b&gt;"), QStringLiteral("https://example.org/?a=1&b=2&amp;c=3")},
            {QStringLiteral("<!-- not a comment -->"), QStringLiteral("ftp://files.example/pub/<dir>/")},
            {QStringLiteral("two\nlines\r\nand\rCR"), QStringLiteral("https://example.org/line\nbreak")},
            {QString(), QStringLiteral("javascript:alert(\"x\")")},
            {QStringLiteral("Ünïcödé 🎉 50% %1"), QStringLiteral("https://example.org/%2F%1")},
        };
        std::vector<std::unique_ptr<BookmarkRecord>> owned;
        QList<BookmarkRecord*> items;
        int order = 0;
        for (const auto& [title, url] : hostile) {
            owned.emplace_back(bookmark(nullptr, title, url, order++));
            items << owned.back().get();
        }
        owned.emplace_back(folder(nullptr, QStringLiteral("<H3>fake</H3></DL>"), order++));
        bookmark(owned.back().get(), QStringLiteral("inner"), QStringLiteral("https://inner.example/"), 0);
        items << owned.back().get();

        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/hostile.html");
        testsupport::RecordingJobReport report;
        runExport(items, path, report);
        QVERIFY(report.succeeded());

        const QJsonObject parsed = parseWithPython(path);
        QCOMPARE(parsed.value(QLatin1String("tags")).toVariant().toStringList(),
                 QStringLiteral("a|dl|dt|h3|meta|title").split(u'|'));
        QVERIFY(parsed.value(QLatin1String("other")).toArray().isEmpty());
        const QJsonArray got = parsed.value(QLatin1String("items")).toArray();
        QCOMPARE(got.size(), hostile.size() + 2);
        for (int i = 0; i < hostile.size(); ++i) {
            const QJsonObject a = got.at(i).toObject();
            QCOMPARE(a.value(QLatin1String("tag")).toString(), QStringLiteral("a"));
            QCOMPARE(a.value(QLatin1String("attrs")).toVariant().toStringList(), QStringList {QStringLiteral("href")});
            QCOMPARE(a.value(QLatin1String("text")).toString(), hostile.at(i).first);
            QCOMPARE(a.value(QLatin1String("href")).toString(), hostile.at(i).second);
        }
        QCOMPARE(got.at(hostile.size()).toObject().value(QLatin1String("text")).toString(),
                 QStringLiteral("<H3>fake</H3></DL>"));
        QCOMPARE(got.at(hostile.size() + 1).toObject().value(QLatin1String("text")).toString(),
                 QStringLiteral("inner"));

        // Only CR LF line ends.
        const QByteArray bytes = readAll(path);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
    }

    void export_cancelled_leavesNoFile()
    {
        std::unique_ptr<BookmarkRecord> box(folder(nullptr, QStringLiteral("Many"), 0));
        for (int i = 0; i < 500; ++i)
            bookmark(box.get(), QStringLiteral("B%1").arg(i), QStringLiteral("https://b%1.example/").arg(i), i);
        const QString path = testsupport::makeTempDir(QStringLiteral("export")) + QStringLiteral("/cancelled.html");
        testsupport::RecordingJobReport report;
        report.cancelWhenProgressContains(QStringLiteral("10 / 500"));
        runExport({box.get()}, path, report);
        QCOMPARE(report.endCount(), 0);
        QVERIFY(!QFile::exists(path));
        QVERIFY(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).isEmpty());
    }

private:
    std::unique_ptr<testsupport::SimPhone> m_sim;
    _AndroidDeviceItemNode* m_phone = nullptr;
};

QTEST_MAIN(TestBookmarksPage)
#include "test_bookmarkspage.moc"
