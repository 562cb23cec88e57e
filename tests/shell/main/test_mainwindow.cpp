// The main window offscreen: page switching by node kind, toolbar merging,
// backup nodes with their counts, virtual devices, phone nodes that go away
// while a dialog runs, a phone's country (chooser and ".mmc" file), and the
// update check against a loopback stub of the web service.
#include "phonelink/ui/androiddeviceinfoform.h"
#include "shell/core/translations.h"
#include "shell/getstartform.h"
#include "shell/itemmodelmain.h"
#include "shell/localdbdescform.h"
#include "shell/main/countryselform.h"
#include "shell/main/unavailableform.h"
#include "shell/main/updatecheck.h"

#include "mwtestutil.h"
#include "testsupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QToolBar>
#include <QWidgetAction>
#include <QtTest>

#include <unistd.h>

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
        QPixmap pm(8, 8);
        pm.fill(Qt::red);
        return {new QAction(QIcon(pm), QStringLiteral("with icon"), this), new QAction(QStringLiteral("plain"), this)};
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
    d.serial = QStringLiteral("SER-9");
    d.imei = QStringLiteral("490154203237518");
    d.mmc = mmc;
    return d;
}

const QString kCantRead = QStringLiteral("Failed to load country code from your phone.");

// Answers every request with one fixed reply and records the request lines.
class StubService : public QObject {
public:
    StubService(int status, const QByteArray& body)
    {
        m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this, status, body] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s, status, body] {
                    QByteArray& got = m_pending[s];
                    got += s->readAll();
                    if (!got.contains("\r\n\r\n"))
                        return;
                    requests << QString::fromLatin1(got.left(got.indexOf("\r\n")));
                    s->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: "
                             + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
            }
        });
        qputenv("APP_WEB_SERVICE_URL", "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()));
    }

    QStringList requests;

private:
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

qint64 readStamp()
{
    const QByteArray s = mwtest::readFile(updatecheck::stampPath());
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

    // A backup with notes and corrupt or foreign databases: counted on its first
    // selection, the bad ones as 0 and left untouched, then deleted on request.
    void backupNode_isCountedShownAndDeleted()
    {
        const QDir alpha = mwtest::backupDir(QStringLiteral("Alpha"), 2);
        const QStringList bad = {alpha.absoluteFilePath(QStringLiteral("contacts.db")),
                                 alpha.absoluteFilePath(QStringLiteral("file-relay/var/mobile/Library/SMS/sms.db")),
                                 alpha.absoluteFilePath(QStringLiteral("calls.db"))};
        mwtest::writeFile(bad[0], QByteArray(3000, '\x7f'));
        mwtest::writeFile(bad[1], "SQLite format 3\0garbage that is no database");
        {
            Sqlite3DB db;
            db.openThrow(bad[2], Sqlite3DB::ReadWrite | Sqlite3DB::Create);
            db.executeThrow(QStringLiteral("create table other(x int); insert into other values(1)"));
        }
        QList<QByteArray> before;
        for (const QString& f : bad)
            before << mwtest::readFile(f);

        auto w = mwtest::makeWindow();
        MainWindow& win = *w->window;
        auto* node = static_cast<_LocalDbItemNode*>(win.model()->localDbRoot()->children.value(0));
        QVERIFY(node);
        QCOMPARE(node->text, QStringLiteral("Alpha"));

        win.selectNode(node);
        QCOMPARE(childOfKind(node, NAV_NOTES)->text, QStringLiteral("Notes(2)"));
        for (auto kind : {_LocalDbItemNode::Contacts, _LocalDbItemNode::Messages, _LocalDbItemNode::CallRecords})
            QCOMPARE(node->counts[kind], 0);
        for (int i = 0; i < bad.size(); ++i)
            QCOMPARE(mwtest::readFile(bad[i]), before[i]);
        QVERIFY(!QFile::exists(alpha.absoluteFilePath(QStringLiteral("bookmarks.db")))); // none made by counting
        QVERIFY(qobject_cast<LocalDbDescForm*>(win.currentPage()));
        QCOMPARE(win.contextActions().size(), 1);
        QCOMPARE(win.contextActions().first()->text(), QStringLiteral("Delete local Database"));

        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete local Database?"));
        win.contextActions().first()->trigger();
        QVERIFY(alpha.exists());
        QCOMPARE(win.model()->localDbRoot()->children.size(), 1);

        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete local Database?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted local Database."));
        win.contextActions().first()->trigger();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(!alpha.exists());
        QVERIFY(win.model()->localDbRoot()->children.isEmpty());
        QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
    }

    void categoryPage_mergesActionsAndRefreshesBackupOnBackupFinished()
    {
        const QDir alpha = mwtest::backupDir(QStringLiteral("Alpha"), 1);
        MainWindow::pages().add<FakePage>(NAV_NOTES);
        auto w = mwtest::makeWindow();
        MainWindow& win = *w->window;
        auto* node = static_cast<_LocalDbItemNode*>(win.model()->localDbRoot()->children.value(0));
        win.selectNode(node);

        // A kind without a view says so instead of pretending to work.
        win.selectNode(childOfKind(node, NAV_CONTACTS));
        QVERIFY(qobject_cast<UnavailableForm*>(win.currentPage()));
        QVERIFY(win.currentPage()->findChild<QLabel*>()->text().contains(QStringLiteral("not available yet")));

        win.selectNode(childOfKind(node, NAV_NOTES));
        auto* page = qobject_cast<FakePage*>(win.currentPage());
        QVERIFY(page);
        QCOMPARE(page->source, static_cast<Node*>(node));
        QCOMPARE(toolbarPageActions(win), QStringList {QStringLiteral("with icon")});
        QCOMPARE(win.contextActions().size(), 2);

        // A backup into this folder (named in another case), one into a new
        // folder and one that names no folder of ours.
        mwtest::backupDir(QStringLiteral("Alpha"), 2);
        mwtest::backupDir(QStringLiteral("Beta"), 4);
        Q_EMIT page->backupFinished(QStringLiteral("ALPHA"));
        Q_EMIT page->backupFinished(QStringLiteral("Beta"));
        Q_EMIT page->backupFinished(QStringLiteral("../outside"));
        QTRY_COMPARE(win.pendingRefreshes(), 0);
        QCOMPARE(childOfKind(node, NAV_NOTES)->text, QStringLiteral("Notes(3)"));
        QCOMPARE(win.model()->localDbRoot()->children.size(), 2);
        QCOMPARE(childOfKind(win.model()->localDbRoot()->children.at(1), NAV_NOTES)->text, QStringLiteral("Notes(4)"));

        // The rebuilt category's page shows again, on the new child node.
        QCOMPARE(win.currentNode(), childOfKind(node, NAV_NOTES));
        QVERIFY(qobject_cast<FakePage*>(win.currentPage()));
        QCOMPARE(toolbarPageActions(win).size(), 1);
        // A folder of its own whose name differs from "Beta" only in case.
        mwtest::backupDir(QStringLiteral("BETA"), 1);
        Q_EMIT qobject_cast<FakePage*>(win.currentPage())->backupFinished(QStringLiteral("BETA"));
        QTRY_COMPARE(win.pendingRefreshes(), 0);
        QCOMPARE(win.model()->localDbRoot()->children.size(), 3);
        QCOMPARE(childOfKind(win.model()->localDbRoot()->children.at(1), NAV_NOTES)->text, QStringLiteral("Notes(4)"));
        QCOMPARE(childOfKind(win.model()->localDbRoot()->children.at(2), NAV_NOTES)->text, QStringLiteral("Notes(1)"));

        // Leaving the page takes its actions off the toolbar.
        win.selectNode(win.model()->devicesRoot());
        QVERIFY(toolbarPageActions(win).isEmpty());
        QVERIFY(win.contextActions().isEmpty());
    }

    // Virtual devices from "dev.txt" files, junk included, and a phone whose
    // disconnection arrives while a job's dialog runs on its page.
    void devices_virtualAndGoneDuringDialog()
    {
        const QDir root(getDataDir().absoluteFilePath(QStringLiteral("virtual_android")));
        mwtest::writeFile(root.absoluteFilePath(QStringLiteral("one/dev.txt")),
                          "uid=first;model=Rocket 7;manufacturer=Acme;imei=3569;sdk=13;uid=second;color=red");
        mwtest::writeFile(root.absoluteFilePath(QStringLiteral("junk/dev.txt")),
                          "\x01\x02;;==;\nno pairs here\n=novalue;model=M\nmanufacturer=X");
        root.mkpath(QStringLiteral("empty"));

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
        _AndroidDeviceItemNode* one = byFolder.value(QStringLiteral("one"));
        QCOMPARE(one->text, QStringLiteral("Acme Rocket 7"));
        QCOMPARE(one->device.deviceId(), QStringLiteral("second")); // the last uid wins
        // Line breaks belong to the neighbouring key or value.
        QCOMPARE(byFolder.value(QStringLiteral("junk"))->device.model, QStringLiteral("M\nmanufacturer"));
        win.selectNode(one);
        QVERIFY(qobject_cast<AndroidDeviceInfoForm*>(win.currentPage()));

        AndroidDeviceInfo info;
        info.serial = QStringLiteral("SER1");
        _AndroidDeviceItemNode* node = win.model()->addAndroidDevice(info);
        win.model()->addDeviceCategories(node);
        win.selectNode(childOfKind(node, NAV_SMS));
        // Node and page stay until the dialog is over.
        QDialog dialog(&win);
        bool stillThere = false;
        QTimer::singleShot(0, &dialog, [&] {
            QMetaObject::invokeMethod(&win, "onAndroidUSBDisconnected", Q_ARG(QString, QStringLiteral("SER1")));
            stillThere = win.pendingRemovals() == 1 && phones.contains(node)
                && qobject_cast<UnavailableForm*>(win.currentPage());
            dialog.accept();
        });
        dialog.exec();
        QVERIFY(stillThere);
        QTRY_COMPARE(phones.size(), 3);
        QCOMPARE(win.pendingRemovals(), 0);
        QVERIFY(qobject_cast<GetStartForm*>(win.currentPage()));
        QCOMPARE(win.currentNode(), static_cast<Node*>(win.model()->devicesRoot()));

        // Outside any dialog the node goes at once.
        win.selectNode(one);
        QMetaObject::invokeMethod(&win, "miUnmountDevice");
        QCOMPARE(phones.size(), 2);
        QVERIFY(!phones.contains(one));
    }

    void clearCache_reportsWhatHappened()
    {
        auto w = mwtest::makeWindow();
        const QString cache = getDataDir().absoluteFilePath(QStringLiteral("android_cache"));
        const QString locked = cache + QStringLiteral("/123");
        mwtest::writeFile(locked + QStringLiteral("/calls.db"), "x");
        ScriptedPrompt prompt;
        // Removed, then nothing left to remove: both succeed.
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully cleared cache files."));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully cleared cache files."));
        QMetaObject::invokeMethod(w->window.get(), "miClearCache");
        QVERIFY(!QFile::exists(cache));
        QMetaObject::invokeMethod(w->window.get(), "miClearCache");
        VERIFY_SCRIPT_DONE(prompt);

        if (::geteuid() == 0)
            QSKIP("permissions do not stop root from deleting");
        mwtest::writeFile(locked + QStringLiteral("/calls.db"), "x");
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Failed to clear cache files"));
        QMetaObject::invokeMethod(w->window.get(), "miClearCache");
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(QFile::exists(cache));
    }

    // The chooser insists on a country: OK without a selection warns and stays,
    // so does a No to the confirmation (a Yes is taken below).
    void countryChooser_insistsOnAChoice()
    {
        ScriptedPrompt prompt;
        CountrySelForm form;
        QListWidget* list = form.form()->ltCountries;
        form.form()->txtKW->setText(QStringLiteral("GERMANY"));
        QCOMPARE(list->count(), 1);
        list->setCurrentItem(nullptr);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Please select a cuntry code first to continue."));
        form.accept();
        list->setCurrentRow(0);
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to select Germany (+49)?"));
        form.accept();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(form.selectedMcc.isEmpty());
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    void countrySettled_data()
    {
        QTest::addColumn<QString>("reported"); // the phone's MCC
        QTest::addColumn<QString>("saved"); // the ".mmc" file, empty for none
        QTest::addColumn<QString>("chooser"); // the country picked, "-" to cancel, empty when not asked
        QTest::addColumn<QString>("expected");
        QTest::newRow("known MCC stands") << "262"
                                          << "310"
                                          << ""
                                          << "262";
        QTest::newRow("unknown MCC, saved choice") << "000"
                                                   << "310"
                                                   << ""
                                                   << "310";
        QTest::newRow("no MCC, saved choice") << ""
                                              << "310"
                                              << ""
                                              << "310";
        QTest::newRow("no MCC, chooser") << ""
                                         << ""
                                         << "Germany"
                                         << "262";
        QTest::newRow("no MCC, chooser cancelled") << ""
                                                   << ""
                                                   << "-"
                                                   << "";
    }

    void countrySettled()
    {
        QFETCH(QString, reported);
        QFETCH(QString, saved);
        QFETCH(QString, chooser);
        QFETCH(QString, expected);
        AndroidDeviceInfo d = phone(reported);
        if (!saved.isEmpty())
            writeMccFile(saved, d.cacheDir(), d.deviceId());
        ScriptedPrompt prompt;
        if (!chooser.isEmpty()) {
            prompt.answerMessage(QMessageBox::Ok, kCantRead);
            const bool pick = chooser != QLatin1String("-");
            prompt.answerDialog(pick ? QDialog::Accepted : QDialog::Rejected, QStringLiteral("CountrySelForm"),
                                [pick, chooser](QDialog* dialog) {
                                    auto* form = static_cast<CountrySelForm*>(dialog);
                                    form->form()->txtKW->setText(chooser);
                                    form->form()->ltCountries->setCurrentRow(0);
                                    if (pick)
                                        form->accept();
                                });
            if (pick)
                prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to select ") + chooser);
        }
        settleDeviceCountry(d, nullptr);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(d.mmc, expected);
        // A choice is saved for the next connection; a cancel saves nothing.
        QCOMPARE(readMccFile(d.cacheDir(), d.deviceId()), chooser.isEmpty() ? saved : expected);
    }

    void mmcFile_staysInItsFolder()
    {
        const QDir folder(testsupport::makeTempDir(QStringLiteral("mmc")));
        writeMccFile(QStringLiteral("262"), folder, QStringLiteral("SER"));
        QCOMPARE(mwtest::readFile(folder.absoluteFilePath(QStringLiteral("SER.mmc"))), QByteArray("262"));
        // A device id from the phone names one file inside the folder.
        writeMccFile(QStringLiteral("310"), folder, QStringLiteral("../../evil"));
        QCOMPARE(readMccFile(folder, QStringLiteral("../../evil")), QStringLiteral("310"));
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden).size(), 2);
        QVERIFY(!QFile::exists(folder.absoluteFilePath(QStringLiteral("../../evil.mmc"))));
    }

    void unreadableCountryTable_closesChooserAsCancelled()
    {
        mwtest::writeFile(getDataDir().absoluteFilePath(QLatin1String(dataroot::kCountriesDb)), QByteArray(8192, 'z'));
        ScriptedPrompt prompt;
        AndroidDeviceInfo known = phone(QStringLiteral("262"));
        settleDeviceCountry(known, nullptr);
        QCOMPARE(known.mmc, QStringLiteral("262")); // a reported MCC stands, unasked

        prompt.answerMessage(QMessageBox::Ok, kCantRead);
        prompt.answerMessage(QMessageBox::Ok); // the error box of the chooser
        AndroidDeviceInfo d = phone(QString());
        settleDeviceCountry(d, nullptr);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().last().icon, int(QMessageBox::Critical));
        QVERIFY(d.mmc.isEmpty());
    }

    void updateCheck_offByDefault()
    {
        StubService stub(200, "http://127.0.0.1/new.exe");
        qunsetenv("APP_WEB_SERVICE_URL");
        auto w = mwtest::makeWindow(true);
        QMetaObject::invokeMethod(w->window.get(), "miCheckForUpdate");
        QMetaObject::invokeMethod(w->window.get(), "miHelp");
        QTest::qWait(200);
        QVERIFY(stub.requests.isEmpty());
        QVERIFY(w->opened.urls.isEmpty());
        QCOMPARE(readStamp(), -1);
    }

    // A stamp older than a day makes a check due. Bad or error answers change
    // nothing but the stamp; a new version asks; with no check ever recorded the
    // version is obsolete and the window closes cleanly, leaving the stamp
    // unwritten so the next start asks again.
    void updateReply_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("box"); // the message box shown, empty for none
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("stampAfter"); // -1 none, 1 rewritten, 12345 kept
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
        if (!closes)
            mwtest::writeFile(updatecheck::stampPath(), "12345");
        ScriptedPrompt prompt;
        if (!box.isEmpty())
            prompt.answerDialog(button, QStringLiteral("QMessageBox"),
                                [box](QDialog* d) { QVERIFY(static_cast<QMessageBox*>(d)->text().contains(box)); });
        auto w = mwtest::makeWindow(true);
        w->window->show();
        QTRY_COMPARE(stub.requests.size(), 1);
        QVERIFY(stub.requests.first().startsWith(
            QStringLiteral("GET /sms_check_update.php?pid=7C31E05A9D2B46F08A1E5B3C6D7F9012&ver=28&q=1 ")));
        QTRY_COMPARE(prompt.pendingAnswers(), 0);
        if (stampAfter == 1)
            QTRY_VERIFY(qAbs(readStamp() - QDateTime::currentSecsSinceEpoch()) < 60);
        QTRY_COMPARE(w->window->isVisible(), !closes);
        QTest::qWait(100);
        VERIFY_SCRIPT_DONE(prompt);
        if (stampAfter != 1)
            QCOMPARE(readStamp(), qint64(stampAfter));
        QCOMPARE(w->window->isVisible(), !closes);
        QCOMPARE(w->opened.urls, closes ? QList<QUrl> {QUrl(QString::fromLatin1(body))} : QList<QUrl> {});
        if (stampAfter == 1) {
            // Within a day the next start asks nothing.
            auto again = mwtest::makeWindow(true);
            QTest::qWait(100);
            QCOMPARE(stub.requests.size(), 1);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
