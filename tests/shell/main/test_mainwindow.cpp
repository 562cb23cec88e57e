// The main window offscreen: registered pages by node kind, toolbar merging,
// backup nodes with their counts, virtual devices, phone nodes that go away
// while a dialog runs (and are no transfer target meanwhile), freed memory
// given back when modal work ends, clearing the cache, a phone's ".mmc"
// file and a broken country table, the update check against a loopback
// stub of the web service, the update page it opens, and the service's
// links when it lies in a folder of its host.
#include "shell/core/translations.h"
#include "shell/datasourceselform.h"
#include "shell/getstartform.h"
#include "shell/itemmodelmain.h"
#include "shell/main/countryselform.h"
#include "shell/main/unavailableform.h"
#include "shell/main/updatecheck.h"
#include "shell/modalwork.h"
#include "shell/pagesource.h"

#include "mwtestutil.h"
#include "testsupport.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <cstdlib>
#include <memory>
#include <vector>

#include <unistd.h>

using namespace Qt::StringLiterals;

using Node = AbsTreeItemModel::_ItemNode;

namespace {

// A category page with two actions, one with an icon (only that one goes on
// the toolbar), that can announce a backup.
class FakePage : public AbsMainForm {
    Q_OBJECT
public:
    FakePage(Node* source, Node*, QWidget* parent)
        : AbsMainForm(parent)
        , source(source)
    {
    }
    QList<QAction*> createToolbarActions() override
    {
        return {new QAction(QIcon(QPixmap(8, 8)), u"with icon"_s, this), new QAction(u"plain"_s, this)};
    }

    Node* source;
Q_SIGNALS:
    void backupFinished(QString name);
};

Node* childOfKind(Node* node, int kind)
{
    for (auto* c : node->children)
        if (c->type == kind)
            return c;
    return nullptr;
}

// The page's actions on the toolbar: before its separator, after the spacer.
QStringList toolbarPageActions(MainWindow& w)
{
    QStringList out;
    for (QAction* a : w.toolBar()->actions()) {
        if (a == w.toolbarSeparator())
            break;
        if (!qobject_cast<QWidgetAction*>(a))
            out << a->text();
    }
    return out;
}

AndroidDeviceInfo phone(const QString& mmc)
{
    AndroidDeviceInfo d;
    d.serial = u"SER-9"_s;
    d.imei = u"490154203237518"_s;
    d.mmc = mmc;
    return d;
}

// The web service on a loopback port: answers every request with one fixed
// reply and records the request lines.
class StubService : public QTcpServer {
public:
    StubService(int status, const QByteArray& body)
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this, status, body] {
            QTcpSocket* s = nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [this, s, status, body, got = QByteArray()]() mutable {
                got += s->readAll();
                if (!got.contains("\r\n\r\n"))
                    return;
                requests << QString::fromLatin1(got.left(got.indexOf("\r\n")));
                s->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: "
                         + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                s->disconnectFromHost();
            });
        });
        qputenv("APP_WEB_SERVICE_URL", "http://127.0.0.1:" + QByteArray::number(serverPort()));
    }

    QStringList requests;
};

qint64 readStamp()
{
    const QByteArray s = testsupport::readFile(updatecheck::stampPath());
    return s.isEmpty() ? -1 : s.toLongLong();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installTranslations(qApp); }
    void cleanup()
    {
        MainWindow::pages() = PageRegistry();
        qunsetenv("APP_WEB_SERVICE_URL");
        testsupport::resetDataRoot();
        QFile::remove(getDataDir().absoluteFilePath(QLatin1String(dataroot::kCountriesDb)));
    }

    // A backup with notes and corrupt or foreign databases: counted on its
    // first selection, the bad ones as 0 and left untouched. A registered
    // page shows with its actions merged; its backups refresh the node they
    // name (an exact name before one that differs in case); the backup is
    // deleted from the context menu once confirmed.
    void backupNode_countedPagesRefreshedAndDeleted()
    {
        const QDir alpha = mwtest::backupDir(u"Alpha"_s, 2);
        const QStringList bad = {alpha.absoluteFilePath(u"contacts.db"_s),
                                 alpha.absoluteFilePath(u"file-relay/var/mobile/Library/SMS/sms.db"_s),
                                 alpha.absoluteFilePath(u"calls.db"_s)};
        mwtest::writeFile(bad[0], QByteArray(3000, '\x7f'));
        mwtest::writeFile(bad[1], QByteArray("SQLite format 3\0garbage that is no database", 43));
        {
            Sqlite3DB db;
            db.openThrow(bad[2], Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            db.executeThrow(u"create table other(x int); insert into other values(1)"_s);
        }
        QList<QByteArray> before;
        for (const QString& f : bad)
            before << testsupport::readFile(f);

        MainWindow::pages().add<FakePage>(NAV_NOTES);
        auto w = mwtest::makeWindow();
        MainWindow& win = *w->window;
        auto* node = static_cast<_LocalDbItemNode*>(win.model()->localDbRoot()->children.value(0));
        QVERIFY(node);
        win.selectNode(node);
        QCOMPARE(childOfKind(node, NAV_NOTES)->text, u"Notes(2)"_s);
        for (auto kind : {_LocalDbItemNode::Contacts, _LocalDbItemNode::Messages, _LocalDbItemNode::CallRecords})
            QCOMPARE(node->counts[kind], 0);
        for (int i = 0; i < bad.size(); ++i)
            QCOMPARE(testsupport::readFile(bad[i]), before[i]);
        QVERIFY(!QFile::exists(alpha.absoluteFilePath(u"bookmarks.db"_s))); // none made by counting

        win.selectNode(childOfKind(node, NAV_CONTACTS)); // a kind without a view says so
        QVERIFY(qobject_cast<UnavailableForm*>(win.currentPage()));
        win.selectNode(childOfKind(node, NAV_NOTES));
        auto* page = qobject_cast<FakePage*>(win.currentPage());
        QVERIFY(page);
        QCOMPARE(page->source, static_cast<Node*>(node));
        QCOMPARE(toolbarPageActions(win), QStringList {u"with icon"_s}); // both in the context menu
        QCOMPARE(win.contextActions().size(), 2);

        // A backup into this folder (named in another case), one into a new
        // folder and one that names no folder of ours.
        mwtest::backupDir(u"Alpha"_s, 1);
        mwtest::backupDir(u"Beta"_s, 4);
        Q_EMIT page->backupFinished(u"ALPHA"_s);
        Q_EMIT page->backupFinished(u"Beta"_s);
        Q_EMIT page->backupFinished(u"../outside"_s);
        QTRY_COMPARE_WITH_TIMEOUT(win.pendingRefreshes(), 0, testsupport::kHangGuardMs);
        const auto& backups = win.model()->localDbRoot()->children;
        QCOMPARE(childOfKind(node, NAV_NOTES)->text, u"Notes(3)"_s);
        QCOMPARE(backups.size(), 2);
        QCOMPARE(childOfKind(backups.at(1), NAV_NOTES)->text, u"Notes(4)"_s);
        // The rebuilt category's page shows again, on the new child node.
        QCOMPARE(win.currentNode(), childOfKind(node, NAV_NOTES));
        QCOMPARE(toolbarPageActions(win).size(), 1);
        // A folder of its own whose name differs from "Beta" only in case.
        mwtest::backupDir(u"BETA"_s, 1);
        Q_EMIT qobject_cast<FakePage*>(win.currentPage())->backupFinished(u"BETA"_s);
        QTRY_COMPARE_WITH_TIMEOUT(win.pendingRefreshes(), 0, testsupport::kHangGuardMs);
        QCOMPARE(backups.size(), 3);
        QCOMPARE(childOfKind(backups.at(1), NAV_NOTES)->text, u"Notes(4)"_s);
        QCOMPARE(childOfKind(backups.at(2), NAV_NOTES)->text, u"Notes(1)"_s);

        win.selectNode(node); // leaving the page takes its actions off the toolbar
        QVERIFY(toolbarPageActions(win).isEmpty());
        QCOMPARE(win.contextActions().size(), 1);
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::No, u"Confirm to delete local Database?"_s);
        win.contextActions().first()->trigger();
        QVERIFY(alpha.exists());
        prompt.answerMessage(QMessageBox::Yes, u"Confirm to delete local Database?"_s);
        prompt.answerMessage(QMessageBox::Ok, u"Successfully deleted local Database."_s);
        win.contextActions().first()->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(!alpha.exists());
        QCOMPARE(backups.size(), 2);
        QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
    }

    // Virtual devices from "dev.txt" files, junk included, and a phone whose
    // disconnection arrives while a job's dialog runs on its page.
    void devices_virtualAndGoneDuringDialog()
    {
        const QDir root(getDataDir().absoluteFilePath(u"virtual_android"_s));
        mwtest::writeFile(root.absoluteFilePath(u"one/dev.txt"_s),
                          "uid=first;model=Rocket 7;manufacturer=Acme;imei=3569;sdk=13;uid=second;color=red");
        mwtest::writeFile(root.absoluteFilePath(u"junk/dev.txt"_s),
                          "\x01\x02;;==;\nno pairs here\n=novalue;model=M\nmanufacturer=X");
        root.mkpath(u"empty"_s);

        auto w = mwtest::makeWindow();
        MainWindow& win = *w->window;
        const auto& phones = win.model()->devicesRoot()->children;
        QHash<QString, _AndroidDeviceItemNode*> byFolder;
        for (auto* n : phones) {
            auto* phone = static_cast<_AndroidDeviceItemNode*>(n);
            byFolder.insert(QFileInfo(phone->device.folder).fileName(), phone);
            QCOMPARE(phone->children.size(), 11);
        }
        QCOMPARE(byFolder.size(), 3);
        _AndroidDeviceItemNode* one = byFolder.value(u"one"_s);
        QCOMPARE(one->text, u"Acme Rocket 7"_s);
        QCOMPARE(one->device.deviceId(), u"second"_s); // the last uid wins
        // Line breaks belong to the neighbouring key or value.
        QCOMPARE(byFolder.value(u"junk"_s)->device.model, u"M\nmanufacturer"_s);

        AndroidDeviceInfo info;
        info.serial = u"SER1"_s;
        _AndroidDeviceItemNode* node = win.model()->addAndroidDevice(info);
        win.model()->addDeviceCategories(node);
        win.selectNode(childOfKind(node, NAV_SMS));
        // Node and page stay until the dialog is over.
        QDialog dialog(&win);
        bool stillThere = false;
        QTimer::singleShot(0, &dialog, [&] {
            QMetaObject::invokeMethod(&win, "onAndroidUSBDisconnected", Q_ARG(QString, u"SER1"_s));
            stillThere = win.pendingRemovals() == 1 && phones.contains(node)
                && qobject_cast<UnavailableForm*>(win.currentPage());
            dialog.accept();
        });
        uiprompt::exec(&dialog);
        QVERIFY(stillThere);
        QTRY_COMPARE_WITH_TIMEOUT(phones.size(), 3, testsupport::kHangGuardMs);
        QCOMPARE(win.pendingRemovals(), 0);
        QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
        QCOMPARE(win.currentNode(), static_cast<Node*>(win.model()->devicesRoot()));
    }

    // A phone that leaves while a dialog runs on its page waits for the
    // dialog to end before its node goes; meanwhile it is no longer a
    // connected phone: no page offers it as a transfer target or counts it.
    // The chosen target is the descriptor its node shares.
    void devices_aPhoneThatLeftIsNoTransferTarget()
    {
        auto w = mwtest::makeWindow();
        MainWindow& win = *w->window;
        QList<_AndroidDeviceItemNode*> nodes;
        for (const QString& serial : {u"SER-A"_s, u"SER-B"_s, u"SER-C"_s}) {
            AndroidDeviceInfo info;
            info.serial = serial;
            info.uid = serial.toLower();
            nodes << win.model()->addAndroidDevice(info);
            win.model()->addDeviceCategories(nodes.last());
        }
        _AndroidDeviceItemNode* a = nodes.at(0);
        _AndroidDeviceItemNode* b = nodes.at(1);
        _AndroidDeviceItemNode* c = nodes.at(2);
        win.selectNode(childOfKind(b, NAV_CONTACTS));

        ScriptedPrompt prompt;
        prompt.answerDialogRun(u"QDialog"_s);
        int offered = -1;
        bool bOffered = true;
        prompt.answerDialog(QDialog::Accepted, u"DataSourceSelForm"_s, [&](QDialog* d) {
            auto* chooser = qobject_cast<DataSourceSelForm*>(d);
            offered = chooser->entryCount();
            bOffered = chooser->selectId(u"SER-B"_s);
            chooser->selectId(u"SER-C"_s);
        });
        const PageSource source(a, win.model()->devicesRoot());
        QList<_AndroidDeviceItemNode*> targets;
        int phones = -1;
        std::shared_ptr<AndroidDeviceInfo> chosen;
        bool putAside = false;
        QDialog dialog(&win);
        QTimer::singleShot(0, &dialog, [&] {
            QMetaObject::invokeMethod(&win, "onAndroidUSBDisconnected", Q_ARG(QString, u"SER-B"_s));
            putAside = win.pendingRemovals() == 1 && win.model()->devicesRoot()->children.contains(b);
            targets = source.transferTargets();
            phones = source.phoneCount();
            chosen = source.chooseTransferTarget(&win);
            dialog.accept();
        });
        uiprompt::exec(&dialog);
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(putAside);
        QCOMPARE(targets, QList<_AndroidDeviceItemNode*> {c});
        QCOMPARE(phones, 2);
        QCOMPARE(offered, 1);
        QVERIFY(!bOffered);
        QCOMPARE(chosen.get(), &c->device);
        QTRY_COMPARE_WITH_TIMEOUT(win.model()->devicesRoot()->children.size(), 2, testsupport::kHangGuardMs);
        QCOMPARE(win.pendingRemovals(), 0);
        QVERIFY(!win.model()->devicesRoot()->children.contains(b));
        QCOMPARE(source.transferTargets(), QList<_AndroidDeviceItemNode*> {c});
    }

    // What a job's thread freed goes back to the system once no modal work
    // runs any more; the allocator alone keeps it for good when the freed
    // blocks lie between blocks still in use.
    void freedMemory_givenBackOnceModalWorkEnds()
    {
        auto w = mwtest::makeWindow();
        constexpr int kBlocks = 1024;
        constexpr size_t kBlockBytes = 64 * 1024; // 64 MiB in all, below the allocator's mapping size
        std::vector<void*> inUse;
        std::unique_ptr<QThread> job(QThread::create([&] {
            std::vector<void*> freed;
            for (int i = 0; i < kBlocks; ++i) {
                auto* block = static_cast<volatile char*>(std::malloc(kBlockBytes));
                for (size_t at = 0; at < kBlockBytes; at += 4096)
                    block[at] = 1; // resident
                freed.push_back(const_cast<char*>(block));
                inUse.push_back(std::malloc(16));
            }
            for (void* block : freed)
                std::free(block);
        }));
        job->start();
        job->wait();
        const double held = testsupport::residentMb();
        {
            ModalWork::Scope busy;
        }
        QTRY_VERIFY2_WITH_TIMEOUT(
            testsupport::residentMb() < held - 48,
            qPrintable(u"resident %1 MB, %2 MB before"_s.arg(testsupport::residentMb()).arg(held)),
            testsupport::kHangGuardMs);
        for (void* block : inUse)
            std::free(block);
    }

    // A backup folder and a virtual device whose names look like markup show
    // as written in the tree's tool tips and on the backup's page.
    void markupNames_showAsWrittenInTreeAndBackupPage()
    {
        const QString name = u"<i>Old <img src=x.png>"_s;
        const QDir backup = mwtest::backupDir(name, 1);
        mwtest::writeFile(getDataDir().absoluteFilePath(u"virtual_android/v/dev.txt"_s),
                          "uid=v1;model=<b>Rocket</b>;manufacturer=<u>Acme");
        auto w = mwtest::makeWindow();
        MainWindow& win = *w->window;
        const auto shown = [](const QString& text) {
            if (!Qt::mightBeRichText(text))
                return text;
            QTextDocument document;
            document.setHtml(text);
            return document.toPlainText();
        };
        for (Node* root : std::initializer_list<Node*> {win.model()->localDbRoot(), win.model()->devicesRoot()}) {
            QCOMPARE(root->children.size(), 1);
            const QModelIndex index = win.model()->indexOfNode(root->children.first());
            QCOMPARE(shown(index.data(Qt::ToolTipRole).toString()), index.data().toString());
        }
        QCOMPARE(win.model()->devicesRoot()->children.first()->text, u"<u>Acme <b>Rocket</b>"_s);
        win.selectNode(win.model()->localDbRoot()->children.first());
        auto* path = win.currentPage()->findChild<QLabel*>(u"lbDbPath"_s);
        QVERIFY(path);
        QCOMPARE(shown(path->toolTip()), backup.absolutePath());
    }

    void clearCache_reportsWhatHappened()
    {
        auto w = mwtest::makeWindow();
        const QString cache = getDataDir().absoluteFilePath(u"android_cache"_s);
        const QString locked = cache + u"/123"_s;
        mwtest::writeFile(locked + u"/calls.db"_s, "x");
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, u"Successfully cleared cache files."_s);
        QMetaObject::invokeMethod(w->window.get(), "miClearCache");
        QVERIFY(!QFile::exists(cache));
        VERIFY_SCRIPT_DONE(prompt);

        if (::geteuid() == 0)
            QSKIP("permissions do not stop root from deleting");
        mwtest::writeFile(locked + u"/calls.db"_s, "x");
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        prompt.answerMessage(QMessageBox::Ok, u"Failed to clear cache files"_s);
        QMetaObject::invokeMethod(w->window.get(), "miClearCache");
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(QFile::exists(cache));
    }

    // A device id from the phone names one ".mmc" file inside its folder. A
    // reported MCC stands unasked; without one, an unreadable country table
    // closes the chooser with an error and the phone gets no country.
    void country_mmcFileStaysInItsFolderAndABrokenTableIsSurvived()
    {
        const QDir folder(testsupport::makeTempDir(u"mmc"_s));
        writeMccFile(u"262"_s, folder, u"SER"_s);
        QCOMPARE(testsupport::readFile(folder.absoluteFilePath(u"SER.mmc"_s)), QByteArray("262"));
        { // a choice that cannot be saved keeps the one saved before
            testsupport::FileSizeLimit full(2);
            QVERIFY(full.ok());
            writeMccFile(u"310"_s, folder, u"SER"_s);
        }
        QCOMPARE(testsupport::readFile(folder.absoluteFilePath(u"SER.mmc"_s)), QByteArray("262"));
        writeMccFile(u"310"_s, folder, u"../../evil"_s);
        QCOMPARE(readMccFile(folder, u"../../evil"_s), u"310"_s);
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden).size(), 2);
        QVERIFY(!QFile::exists(folder.absoluteFilePath(u"../../evil.mmc"_s)));

        mwtest::writeFile(getDataDir().absoluteFilePath(QLatin1String(dataroot::kCountriesDb)), QByteArray(8192, 'z'));
        ScriptedPrompt prompt;
        AndroidDeviceInfo known = phone(u"262"_s);
        settleDeviceCountry(known, nullptr);
        QCOMPARE(known.mmc, u"262"_s);
        prompt.answerMessage(QMessageBox::Ok, u"Failed to load country code from your phone."_s);
        prompt.answerMessage(QMessageBox::Ok); // the error box of the chooser
        AndroidDeviceInfo d = phone(QString());
        settleDeviceCountry(d, nullptr);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().last().icon, int(QMessageBox::Critical));
        QVERIFY(d.mmc.isEmpty());
    }

    // Without the service nothing is asked and Help opens nothing. A stamp
    // older than a day makes a check due. Bad or error answers change nothing
    // but the stamp; a new version asks; with no check ever recorded the
    // version is obsolete and the window closes cleanly, leaving the stamp
    // unwritten so the next start asks again.
    void updateReply_data()
    {
        QTest::addColumn<int>("status"); // 0: the service is off
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("box"); // the message box shown, empty for none
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("stampAfter"); // -1 none, 1 rewritten, 12345 kept
        QTest::newRow("service off") << 0 << QByteArray("http://127.0.0.1/new.exe") << "" << 0 << 12345;
        QTest::newRow("current") << 200 << QByteArray("no") << "" << 0 << 1;
        QTest::newRow("error status") << 404 << QByteArray("http://127.0.0.1/x") << "" << 0 << 12345;
        QTest::newRow("garbage") << 200 << QByteArray("\x00\xff\xfe garbage \x01", 13) << "" << 0 << 1;
        QTest::newRow("new version, later")
            << 200 << QByteArray("HTTP://127.0.0.1/new-version.exe\n")
            << "A new version of Quillharbor Handset Ferry is available." << int(QMessageBox::No) << 1;
        QTest::newRow("obsolete") << 200 << QByteArray("http://127.0.0.1/latest.exe") << "has become obsolete"
                                  << int(QMessageBox::Ok) << -1;
    }

    void updateReply()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, box);
        QFETCH(int, button);
        QFETCH(int, stampAfter);
        const bool closes = stampAfter == -1;
        StubService stub(status, body);
        if (status == 0)
            qunsetenv("APP_WEB_SERVICE_URL");
        if (!closes)
            mwtest::writeFile(updatecheck::stampPath(), "12345");
        ScriptedPrompt prompt;
        if (!box.isEmpty())
            prompt.answerDialog(button, u"QMessageBox"_s,
                                [box](QDialog* d) { QVERIFY(static_cast<QMessageBox*>(d)->text().contains(box)); });
        auto w = mwtest::makeWindow(true);
        w->window->show();
        if (status == 0) {
            QMetaObject::invokeMethod(w->window.get(), "miCheckForUpdate");
            QMetaObject::invokeMethod(w->window.get(), "miHelp");
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(stub.requests.size(), 1, testsupport::kHangGuardMs);
            QVERIFY(stub.requests.first().startsWith(
                u"GET /sms_check_update.php?pid=7C31E05A9D2B46F08A1E5B3C6D7F9012&ver=28&q=1 "_s));
        }
        QTRY_COMPARE_WITH_TIMEOUT(prompt.pendingAnswers(), 0, testsupport::kHangGuardMs);
        if (stampAfter == 1)
            QTRY_VERIFY_WITH_TIMEOUT(qAbs(readStamp() - QDateTime::currentSecsSinceEpoch()) < 60,
                                     testsupport::kHangGuardMs);
        QTRY_COMPARE_WITH_TIMEOUT(w->window->isVisible(), !closes, testsupport::kHangGuardMs);
        QTest::qWait(200);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(stub.requests.size(), status == 0 ? 0 : 1);
        if (stampAfter != 1)
            QCOMPARE(readStamp(), qint64(stampAfter));
        QCOMPARE(w->window->isVisible(), !closes);
        QCOMPARE(w->opened.urls, closes ? QList<QUrl> {QUrl(QString::fromLatin1(body))} : QList<QUrl> {});
    }

    // A service in a folder of its host, with a query of its own: the update
    // check asks there, and every page the window opens or shows a link to
    // (Help, Feedback, Home, the update page, the status bar, the USB tip)
    // lies there, its own path and query after the base's.
    void webLinks_keepTheServicesFolderAndQuery()
    {
        StubService stub(200, "no");
        const QString base = u"http://127.0.0.1:%1/base/sub"_s.arg(stub.serverPort());
        qputenv("APP_WEB_SERVICE_URL", (base + u"/?k=v#top"_s).toLatin1());
        const auto at = [&base](const QString& path, const QString& query = QString()) {
            return QUrl(base + path + u"?k=v"_s + (query.isEmpty() ? QString() : u"&"_s + query));
        };
        const auto links = [](const QString& html) {
            QList<QUrl> out;
            static const QRegularExpression href(u"href=\"([^\"]*)\""_s);
            for (const QRegularExpressionMatch& m : href.globalMatch(html))
                out.append(QUrl(m.captured(1).replace(u"&amp;"_s, u"&"_s)));
            return out;
        };
        const QString product = u"pid=7C31E05A9D2B46F08A1E5B3C6D7F9012&ver=28"_s;
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, u"Android device not found."_s);
        auto w = mwtest::makeWindow(true);
        QTRY_COMPARE_WITH_TIMEOUT(stub.requests.size(), 1, testsupport::kHangGuardMs);
        QCOMPARE(stub.requests.first(), u"GET /base/sub/sms_check_update.php?k=v&"_s + product + u"&q=1 HTTP/1.1"_s);

        QMetaObject::invokeMethod(w->window.get(), "miHelp");
        QMetaObject::invokeMethod(w->window.get(), "miFeedback");
        w->window->findChild<QAction*>(u"actionHome"_s)->trigger();
        QMetaObject::invokeMethod(w->window.get(), "miCheckForUpdate");
        auto* status = w->window->findChild<QLabel*>(u"lbStatusLink"_s);
        QVERIFY(status);
        const QList<QUrl> shown = links(status->text());
        QCOMPARE(shown, QList<QUrl> {at(u"/handset-ferry-ios.html"_s)});
        emit status->linkActivated(shown.first().toString()); // as a click on it does
        const QString kernel = QSysInfo::kernelType();
        const QString os = kernel == u"winnt"_s ? u"win"_s : kernel == u"darwin"_s ? u"mac"_s : kernel;
        QCOMPARE(w->opened.urls,
                 QList<QUrl>({at(u"/handset-ferry/help.html"_s), at(u"/support.html"_s), at(u"/handset-ferry.html"_s),
                              at(u"/sms_check_update.php"_s,
                                 product + u"&vs=123456&sys="_s + os + QString::number(QSysInfo::WordSize)),
                              at(u"/handset-ferry-ios.html"_s)}));

        QMetaObject::invokeMethod(w->window.get(), "androidUsbTips");
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(links(prompt.questions().last().text),
                 QList<QUrl>({at(u"/tutorial/enable-usb-debugging-on-android.html"_s),
                              at(u"/install-usb-driver-software-for-android.html"_s)}));
    }

    // The update page is told the platform the program was built for.
    void updatePage_namesThePlatformBuiltFor()
    {
        qputenv("APP_WEB_SERVICE_URL", "http://127.0.0.1:9/");
        auto w = mwtest::makeWindow();
        QMetaObject::invokeMethod(w->window.get(), "miCheckForUpdate");
        QCOMPARE(w->opened.urls.size(), 1);
        const QString kernel = QSysInfo::kernelType();
        const QString os = kernel == u"winnt"_s ? u"win"_s : kernel == u"darwin"_s ? u"mac"_s : kernel;
        QCOMPARE(QUrlQuery(w->opened.urls.first()).queryItemValue(u"sys"_s), os + QString::number(QSysInfo::WordSize));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
