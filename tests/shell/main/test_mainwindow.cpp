// The main window offscreen: page switching by node kind, toolbar merging,
// backup nodes with their counts, virtual devices, and phone nodes that go
// away while a dialog runs.
#include "shell/core/translations.h"
#include "shell/getstartform.h"
#include "shell/itemmodelmain.h"
#include "shell/localdbdescform.h"
#include "shell/main/navsources.h"
#include "shell/main/unavailableform.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"
#include "phonelink/ui/androiddeviceinfoform.h"

#include "mwtestutil.h"
#include "testsupport.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QWidgetAction>
#include <QtTest>

#include <unistd.h>

using mwtest::makeWindow;

namespace {

// A category page with four actions, two of them with icons, that can
// announce a backup.
class FakePage : public AbsMainForm {
    Q_OBJECT
public:
    FakePage(AbsTreeItemModel::_ItemNode* source, QWidget* parent) : AbsMainForm(parent), source(source) {}
    QList<QAction*> createToolbarActions() override
    {
        QPixmap pm(8, 8);
        pm.fill(Qt::red);
        QList<QAction*> out;
        for (int i = 0; i < 4; ++i)
            out << new QAction(i % 2 == 0 ? QIcon(pm) : QIcon(), QStringLiteral("action %1").arg(i), this);
        return out;
    }
    void announce(const QString& name) { Q_EMIT backupFinished(name); }
    AbsTreeItemModel::_ItemNode* source;
Q_SIGNALS:
    void backupFinished(QString name);
};

AbsTreeItemModel::_ItemNode* childOfKind(AbsTreeItemModel::_ItemNode* node, int kind)
{
    for (auto* c : node->children)
        if (c->type == kind)
            return c;
    return nullptr;
}

QStringList texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions)
        out << a->text();
    return out;
}

// The toolbar's actions before its separator, after the spacer.
QList<QAction*> toolbarPageActions(MainWindow& w)
{
    QList<QAction*> out;
    for (QAction* a : w.toolBar()->actions()) {
        if (a == w.toolbarSeparator())
            break;
        if (!qobject_cast<QWidgetAction*>(a))
            out << a;
    }
    return out;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installTranslations(qApp); }
    void cleanup();

    void roots_showStartPageWithTheirContextActions();
    void backupNode_isCountedOnFirstSelectionAndShowsItsPage();
    void categoryPage_mergesActionsAndRefreshesBackupOnBackupFinished();
    void categoryWithoutView_showsUnavailablePage();
    void secondClick_rebuildsThePage();
    void resize_givesTheTreeAFifth();
    void deleteBackup_fromContextMenu();
    void corruptAndForeignDatabases_countZeroAndStayUntouched();
    void virtualDevices_fromDevTxt();
    void phoneGoneDuringDialog_isRemovedAfterIt();
    void clearCache_reportsWhatHappened();
    void usbTips_shownWhenNoPhoneWasSeen();
};

void TestMainWindow::cleanup()
{
    MainWindow::setCategoryPageFactory({});
    mwtest::resetDataRoot();
}

void TestMainWindow::roots_showStartPageWithTheirContextActions()
{
    auto w = makeWindow();
    MainWindow& win = *w->window;
    ItemModelMain* model = win.model();
    QCOMPARE(model->rootNodes().size(), 2);
    QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
    QCOMPARE(win.windowTitle(), QStringLiteral("Quillharbor Handset Ferry"));

    win.selectNode(model->devicesRoot());
    QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
    QVERIFY(win.contextActions().isEmpty());
    QVERIFY(toolbarPageActions(win).isEmpty());

    win.selectNode(model->localDbRoot());
    QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
    QCOMPARE(texts(win.contextActions()), QStringList{QStringLiteral("Open Database Folder")});
    win.contextActions().first()->trigger();
    QCOMPARE(w->opened, QList<QUrl>{QUrl::fromLocalFile(getLocalDatabasesDir().absolutePath())});
}

void TestMainWindow::backupNode_isCountedOnFirstSelectionAndShowsItsPage()
{
    mwtest::addNotes(mwtest::backupDir(QStringLiteral("Alpha")), 2);
    auto w = makeWindow();
    MainWindow& win = *w->window;
    auto* node = static_cast<_LocalDbItemNode*>(win.model()->localDbRoot()->children.value(0));
    QVERIFY(node);
    QCOMPARE(node->text, QStringLiteral("Alpha"));
    QVERIFY(node->children.isEmpty()); // nothing counted at start

    win.selectNode(node);
    QCOMPARE(node->children.size(), 7);
    QCOMPARE(node->counts[_LocalDbItemNode::Notes], 2);
    QCOMPARE(childOfKind(node, NAV_NOTES)->text, QStringLiteral("Notes(2)"));
    QVERIFY(qobject_cast<LocalDbDescForm*>(win.currentPage()));
    QCOMPARE(texts(win.contextActions()), QStringList{QStringLiteral("Delete local Database")});

    // Selecting it again does not recount.
    mwtest::addNotes(node->dir, 1);
    win.selectNode(win.model()->devicesRoot());
    win.selectNode(node);
    QCOMPARE(childOfKind(node, NAV_NOTES)->text, QStringLiteral("Notes(2)"));
}

void TestMainWindow::categoryPage_mergesActionsAndRefreshesBackupOnBackupFinished()
{
    const QDir alpha = mwtest::backupDir(QStringLiteral("Alpha"));
    mwtest::addNotes(alpha, 1);
    MainWindow::setCategoryPageFactory(
        [](int, AbsTreeItemModel::_ItemNode* source, AbsTreeItemModel::_ItemNode*, MainWindow* window) {
            return new FakePage(source, window);
        });
    auto w = makeWindow();
    MainWindow& win = *w->window;
    auto* node = static_cast<_LocalDbItemNode*>(win.model()->localDbRoot()->children.value(0));
    win.selectNode(node);
    win.selectNode(childOfKind(node, NAV_NOTES));

    auto* page = qobject_cast<FakePage*>(win.currentPage());
    QVERIFY(page);
    QCOMPARE(page->source, static_cast<AbsTreeItemModel::_ItemNode*>(node));
    QCOMPARE(texts(toolbarPageActions(win)), (QStringList{QStringLiteral("action 0"), QStringLiteral("action 2")}));
    QCOMPARE(win.contextActions().size(), 4);

    // A backup into this folder (named in another case) and one into a new folder.
    mwtest::addNotes(alpha, 2);
    mwtest::addNotes(mwtest::backupDir(QStringLiteral("Beta")), 4);
    page->announce(QStringLiteral("ALPHA"));
    page->announce(QStringLiteral("Beta"));
    page->announce(QStringLiteral("../outside"));
    QTRY_COMPARE(win.pendingRefreshes(), 0);
    QCOMPARE(childOfKind(node, NAV_NOTES)->text, QStringLiteral("Notes(3)"));
    QCOMPARE(win.model()->localDbRoot()->children.size(), 2);
    auto* beta = win.model()->localDbRoot()->children.at(1);
    QCOMPARE(childOfKind(beta, NAV_NOTES)->text, QStringLiteral("Notes(4)"));

    // The page of the rebuilt category shows again, on the new child node.
    QCOMPARE(win.currentNode(), childOfKind(node, NAV_NOTES));
    QVERIFY(qobject_cast<FakePage*>(win.currentPage()));
    QCOMPARE(toolbarPageActions(win).size(), 2);

    // Leaving the page takes its actions off the toolbar.
    win.selectNode(win.model()->devicesRoot());
    QVERIFY(toolbarPageActions(win).isEmpty());
    QVERIFY(win.contextActions().isEmpty());
}

void TestMainWindow::categoryWithoutView_showsUnavailablePage()
{
    mwtest::backupDir(QStringLiteral("Alpha"));
    auto w = makeWindow();
    MainWindow& win = *w->window;
    auto* node = win.model()->localDbRoot()->children.value(0);
    win.selectNode(node);
    win.selectNode(childOfKind(node, NAV_CONTACTS));
    auto* page = qobject_cast<UnavailableForm*>(win.currentPage());
    QVERIFY(page);
    QVERIFY(page->findChild<QLabel*>()->text().contains(QStringLiteral("not available yet")));
    QVERIFY(win.contextActions().isEmpty());
}

void TestMainWindow::secondClick_rebuildsThePage()
{
    mwtest::backupDir(QStringLiteral("Alpha"));
    auto w = makeWindow();
    MainWindow& win = *w->window;
    auto* node = win.model()->localDbRoot()->children.value(0);
    win.selectNode(node);
    const QModelIndex index = win.model()->indexOfNode(node);
    QPointer<AbsMainForm> first = win.currentPage();
    QMetaObject::invokeMethod(&win, "onMainTreeClicked", Q_ARG(QModelIndex, index));
    QCOMPARE(win.currentPage(), first.data()); // the first click only records the page
    QMetaObject::invokeMethod(&win, "onMainTreeClicked", Q_ARG(QModelIndex, index));
    QVERIFY(first.isNull());
    QVERIFY(qobject_cast<LocalDbDescForm*>(win.currentPage()));
}

void TestMainWindow::resize_givesTheTreeAFifth()
{
    auto w = makeWindow();
    MainWindow& win = *w->window;
    win.show();
    QVERIFY(QTest::qWaitForWindowExposed(&win));
    win.resize(1001, 680);
    QTRY_COMPARE(win.width(), 1001);
    QCOMPARE(win.splitter()->sizes(), (QList<int>{200, 800}));
}

void TestMainWindow::deleteBackup_fromContextMenu()
{
    const QDir alpha = mwtest::backupDir(QStringLiteral("Alpha"));
    mwtest::addNotes(alpha, 1);
    auto w = makeWindow();
    MainWindow& win = *w->window;
    auto* node = win.model()->localDbRoot()->children.value(0);
    win.selectNode(node);

    {
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete local Database?"));
        win.contextActions().first()->trigger();
        QVERIFY(prompt.unexpected().isEmpty());
        QVERIFY(alpha.exists());
        QCOMPARE(win.model()->localDbRoot()->children.size(), 1);
    }
    {
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete local Database?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted local Database."));
        win.contextActions().first()->trigger();
        QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
        QCOMPARE(prompt.pendingAnswers(), 0);
    }
    QVERIFY(!alpha.exists());
    QVERIFY(win.model()->localDbRoot()->children.isEmpty());
    QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
}

void TestMainWindow::corruptAndForeignDatabases_countZeroAndStayUntouched()
{
    const QDir bad = mwtest::backupDir(QStringLiteral("Bad"));
    const QString junk = bad.absoluteFilePath(QStringLiteral("contacts.db"));
    const QString store = bad.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/sms.db"));
    const QString foreign = bad.absoluteFilePath(QStringLiteral("calls.db"));
    mwtest::writeFile(junk, QByteArray(3000, '\x7f'));
    mwtest::writeFile(store, "SQLite format 3\0garbage that is no database");
    {
        Sqlite3DB db;
        db.openThrow(foreign, Sqlite3DB::ReadWrite | Sqlite3DB::Create);
        db.executeThrow(QStringLiteral("create table other(x int); insert into other values(1)"));
    }
    mwtest::addNotes(bad, 2);
    const QByteArray before[] = {mwtest::md5Of(junk), mwtest::md5Of(store), mwtest::md5Of(foreign)};

    const _LocalDbItemNode::Counts counts = navsources::countLocalDb(bad);
    QCOMPARE(counts[_LocalDbItemNode::Contacts], 0);
    QCOMPARE(counts[_LocalDbItemNode::Messages], 0);
    QCOMPARE(counts[_LocalDbItemNode::CallRecords], 0);
    QCOMPARE(counts[_LocalDbItemNode::Notes], 2);

    auto w = makeWindow();
    w->window->selectNode(w->window->model()->localDbRoot()->children.value(0));
    QVERIFY(qobject_cast<LocalDbDescForm*>(w->window->currentPage()));
    QCOMPARE(mwtest::md5Of(junk), before[0]);
    QCOMPARE(mwtest::md5Of(store), before[1]);
    QCOMPARE(mwtest::md5Of(foreign), before[2]);
    // Counting made no new databases in the folder.
    QVERIFY(!QFile::exists(bad.absoluteFilePath(QStringLiteral("bookmarks.db"))));
    QVERIFY(!QFile::exists(bad.absoluteFilePath(QStringLiteral("playlists.db"))));
}

void TestMainWindow::virtualDevices_fromDevTxt()
{
    const QDir root(getDataDir().absoluteFilePath(QStringLiteral("virtual_android")));
    mwtest::writeFile(root.absoluteFilePath(QStringLiteral("one/dev.txt")),
                      "uid=first;model=Rocket 7;manufacturer=Acme;imei=3569;sdk=13;uid=second;color=red");
    mwtest::writeFile(root.absoluteFilePath(QStringLiteral("junk/dev.txt")),
                      "\x01\x02;;==;\nno pairs here\n=novalue;model=M\nmanufacturer=X");
    root.mkpath(QStringLiteral("empty"));

    QHash<QString, QString> pairs = navsources::parseDevTxt(QStringLiteral("a=1;b=;c=3=4;d"));
    QCOMPARE(pairs.value(QStringLiteral("a")), QStringLiteral("1"));
    QCOMPARE(pairs.value(QStringLiteral("b")), QString());
    QCOMPARE(pairs.value(QStringLiteral("c")), QStringLiteral("3"));

    auto w = makeWindow();
    MainWindow& win = *w->window;
    const auto& phones = win.model()->devicesRoot()->children;
    QCOMPARE(phones.size(), 3);
    QHash<QString, _AndroidDeviceItemNode*> byFolder;
    for (auto* n : phones) {
        auto* phone = static_cast<_AndroidDeviceItemNode*>(n);
        byFolder.insert(QFileInfo(phone->device.folder).fileName(), phone);
        QCOMPARE(phone->children.size(), 11);
    }
    _AndroidDeviceItemNode* one = byFolder.value(QStringLiteral("one"));
    QVERIFY(one);
    QCOMPARE(one->text, QStringLiteral("Acme Rocket 7"));
    QCOMPARE(one->device.uid, QStringLiteral("second"));
    QCOMPARE(one->device.serial, QStringLiteral("second"));
    QCOMPARE(one->device.deviceId(), QStringLiteral("second"));
    QCOMPARE(one->device.sdk, QStringLiteral("13"));
    QCOMPARE(one->device.cacheFolderName(), QStringLiteral("3569"));
    QCOMPARE(byFolder.value(QStringLiteral("empty"))->text, QString());
    // Line breaks belong to the neighbouring key or value.
    QCOMPARE(byFolder.value(QStringLiteral("junk"))->device.model, QStringLiteral("M\nmanufacturer"));

    win.selectNode(one);
    QVERIFY(qobject_cast<AndroidDeviceInfoForm*>(win.currentPage()));
    QCOMPARE(texts(win.contextActions()), QStringList{QStringLiteral("Disconnect Device")});
}

void TestMainWindow::phoneGoneDuringDialog_isRemovedAfterIt()
{
    auto w = makeWindow();
    MainWindow& win = *w->window;
    AndroidDeviceInfo info;
    info.serial = QStringLiteral("SER1");
    info.uid = QStringLiteral("uid-1");
    info.manufacturer = QStringLiteral("Acme");
    info.model = QStringLiteral("One");
    _AndroidDeviceItemNode* node = win.model()->addAndroidDevice(info);
    win.model()->addDeviceCategories(node);
    win.selectNode(childOfKind(node, NAV_SMS));
    QVERIFY(qobject_cast<UnavailableForm*>(win.currentPage()));

    // The monitor's signal arrives while a job's dialog runs on that page.
    QDialog dialog(&win);
    bool stillThere = false;
    int pendingInside = 0;
    QTimer::singleShot(0, &dialog, [&] {
        QMetaObject::invokeMethod(&win, "onAndroidUSBDisconnected", Q_ARG(QString, QStringLiteral("SER1")));
        pendingInside = win.pendingRemovals();
        stillThere = win.model()->devicesRoot()->children.contains(node) &&
                     qobject_cast<UnavailableForm*>(win.currentPage());
        dialog.accept();
    });
    dialog.exec();
    QCOMPARE(pendingInside, 1);
    QVERIFY(stillThere);
    QTRY_VERIFY(win.model()->devicesRoot()->children.isEmpty());
    QCOMPARE(win.pendingRemovals(), 0);
    QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
    QCOMPARE(win.currentNode(), static_cast<AbsTreeItemModel::_ItemNode*>(win.model()->devicesRoot()));

    // Outside any dialog the node goes at once; an unknown id changes nothing.
    node = win.model()->addAndroidDevice(info);
    QMetaObject::invokeMethod(&win, "onAndroidUSBDisconnected", Q_ARG(QString, QStringLiteral("OTHER")));
    QCOMPARE(win.model()->devicesRoot()->children.size(), 1);
    win.selectNode(node);
    QMetaObject::invokeMethod(&win, "miUnmountDevice");
    QVERIFY(win.model()->devicesRoot()->children.isEmpty());
}

void TestMainWindow::clearCache_reportsWhatHappened()
{
    auto w = makeWindow();
    const QString cache = getDataDir().absoluteFilePath(QStringLiteral("android_cache"));
    mwtest::writeFile(cache + QStringLiteral("/123/calls.db"), "x");
    {
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully cleared cache files."));
        QMetaObject::invokeMethod(w->window.get(), "miClearCache");
        QVERIFY(prompt.unexpected().isEmpty());
        QVERIFY(!QFile::exists(cache));
    }
    {
        // No cache folder at all is a success too.
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully cleared cache files."));
        QMetaObject::invokeMethod(w->window.get(), "miClearCache");
        QVERIFY(prompt.unexpected().isEmpty());
    }
    if (::geteuid() == 0)
        QSKIP("permissions do not stop root from deleting");
    mwtest::writeFile(cache + QStringLiteral("/123/calls.db"), "x");
    QFile::setPermissions(cache + QStringLiteral("/123"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Failed to clear cache files"));
    QMetaObject::invokeMethod(w->window.get(), "miClearCache");
    QFile::setPermissions(cache + QStringLiteral("/123"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                              QFileDevice::ExeOwner);
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QVERIFY(QFile::exists(cache));
}

void TestMainWindow::usbTips_shownWhenNoPhoneWasSeen()
{
    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Android device not found."));
    MainWindowOptions o;
    o.startMonitor = false;
    o.checkForUpdate = false;
    o.usbTipsDelayMs = 0;
    MainWindow win(nullptr, o);
    QTRY_COMPARE(prompt.pendingAnswers(), 0);
    QTest::qWait(50);
    QCOMPARE(prompt.messages().size(), 1);
    QVERIFY(prompt.unexpected().isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
