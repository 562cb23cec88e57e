// The playlists page end to end against simulated phones: the first load
// into the cache and the second visit from it, a load that fails, backup
// into a chosen folder, transfer from a backup in batches and from phone to
// phone, deletion in a backup folder, a virtual device, and a screenshot.
#include "views/media/mediapages.h"
#include "views/media/playlistmainform.h"

#include "jobs/localdbselform.h"
#include "records/localplaylistdb.h"
#include "shell/core/dataroot.h"
#include "shell/mytreeview.h"
#include "shell/pageregistry.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QtTest>

using phonesim::Fault;

namespace {

QJsonObject playlist(const QString& name, const QStringList& members)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("members"), QJsonArray::fromStringList(members)}};
}

// Five playlists out of order, two names differing only in case, one
// without members.
QJsonObject fixture(const QString& model, const QString& uid)
{
    QJsonObject device = testsupport::defaultDevice();
    device.insert(QStringLiteral("model"), model);
    device.insert(QStringLiteral("uid"), uid);
    return {{QStringLiteral("device"), device},
            {QStringLiteral("playlists"),
             QJsonArray {playlist(QStringLiteral("road trip"), {"11", "12", "13"}),
                         playlist(QStringLiteral("Zed"), {"14"}), playlist(QStringLiteral("alpha"), {}),
                         playlist(QStringLiteral("Road Trip"), {"15"}), playlist(QStringLiteral("beta"), {"16"})}}};
}

PlaylistRecord record(const QString& name, const QStringList& members)
{
    PlaylistRecord p;
    p.name = name;
    p.members = members;
    return p;
}

} // namespace

class TestPlaylistsPage : public testsupport::PageTest {
    Q_OBJECT

    using Page = PlaylistMainForm;

    std::unique_ptr<testsupport::SimPhone> m_sim;
    _AndroidDeviceItemNode* m_phone = nullptr;

    static void chooseFolder(QDialog* d, const QString& name)
    {
        auto* form = qobject_cast<LocalDbSelForm*>(d);
        form->comboBox()->setEditText(name);
        form->onBtnOkPress();
    }

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        m_sim = std::make_unique<testsupport::SimPhone>(
            QStringLiteral("127.0.143.1"), fixture(QStringLiteral("Acme Rocket 7"), QStringLiteral("uid-lists")));
        QVERIFY2(m_sim->ok(), qPrintable(m_sim->error));
    }

    void init() { m_phone = addPhone(*m_sim); }
    void cleanup() { cleanupPage(); }

    void firstVisit_loadsOnce_secondVisitReadsTheCache()
    {
        ScriptedPrompt prompt;
        const int loadsBefore = m_sim->loads(QStringLiteral("playlists"));
        {
            Page page(m_phone, devicesRoot());
            checkModel(page.playlistModel());
            QCOMPARE(prompt.questions().size(), 1);
            QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
        }
        QCOMPARE(m_sim->loads(QStringLiteral("playlists")), loadsBefore + 1);

        Page page(m_phone, devicesRoot());
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(m_sim->loads(QStringLiteral("playlists")), loadsBefore + 1);
        const ItemModelPlaylist& model = *page.playlistModel();
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Members"));
        // Case does not order: the two "road trip"s sit together, in either order.
        const QStringList names = column(model, 0);
        QCOMPARE(names.mid(0, 2), QStringList({"alpha", "beta"}));
        QCOMPARE(QSet<QString>(names.begin() + 2, names.begin() + 4), QSet<QString>({"road trip", "Road Trip"}));
        QCOMPARE(names.at(4), QStringLiteral("Zed"));
        QCOMPARE(column(model, 1).at(0), QString());
        QCOMPARE(column(model, 1).at(names.indexOf(QStringLiteral("road trip"))), QStringLiteral("11, 12, 13"));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:5"));
        QCOMPARE(texts(page.createToolbarActions()),
                 QStringList({"Backup Playlist", "Transfer Android Playlist to other Android"}));
        QCOMPARE(enabledStates(page.createToolbarActions()), (QList<bool> {true, false}));

        page.resize(779, 300);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        selectRows(page.listView(), {2});
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(page.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/playlists_page.png")));
    }

    // A failed load stamps nothing: the next page loads again and shows
    // what the phone has.
    void failedLoad_isTriedAgainOnTheNextPage()
    {
        m_sim->sim->addFault(Fault(Fault::Kind::ErrorAt, QStringLiteral("backup:playlists"), 3, "broken"));
        const int loadsBefore = m_sim->loads(QStringLiteral("playlists"));
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("broken"));
        {
            Page page(m_phone, devicesRoot());
            VERIFY_SCRIPT_DONE(prompt);
            QVERIFY(m_phone->device.playlistsLoadTime.isNull());
            QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:0"));
        }
        Page again(m_phone, devicesRoot());
        QCOMPARE(m_sim->loads(QStringLiteral("playlists")), loadsBefore + 2);
        QCOMPARE(again.countLabel()->text(), QStringLiteral("Total:5"));
    }

    void backup_thenTransferFromTheBackup_inBatches()
    {
        ScriptedPrompt prompt;
        Page page(m_phone, devicesRoot());
        QSignalSpy finished(&page, &Page::backupFinished);
        const QString file = getLocalDatabasesDir().absoluteFilePath(QStringLiteral("Lists/playlists.db"));
        selectRows(page.listView(), {0, 4});
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"),
                            [](QDialog* d) { chooseFolder(d, QStringLiteral("Lists")); });
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 2 Playlists."));
        page.miBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toString(), QStringLiteral("Lists"));
        QCOMPARE(LocalPlaylistDb(file).count(), 2);

        // All five, the two stored ones not twice.
        page.listView()->selectionModel()->clearSelection();
        prompt.answerDialog(QDialog::Accepted, QStringLiteral("LocalDbSelForm"),
                            [](QDialog* d) { chooseFolder(d, QStringLiteral("Lists")); });
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully backup 5 Playlists."));
        page.miToolbarBackup();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(LocalPlaylistDb(file).count(), 5);

        // A backup of 120 playlists goes to the phone in two batches and
        // into its cache.
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Big"));
        {
            LocalPlaylistDb db(backup->dir.absoluteFilePath(QStringLiteral("playlists.db")));
            db.beginTran();
            for (int i = 0; i < 120; ++i)
                db.addPlaylist(record(QStringLiteral("List %1").arg(i, 3, 10, QLatin1Char('0')), {"1", "2"}));
            db.endTran(true);
        }
        const int sessionsBefore = m_sim->store->completedSessions(QStringLiteral("playlists"));
        const qsizetype recordsBefore = m_sim->store->records(QStringLiteral("playlists")).size();
        Page backupPage(backup, devicesRoot());
        QCOMPARE(texts(backupPage.createToolbarActions()),
                 QStringList({"Transfer Playlist from Database to Android", "Delete Playlist"}));
        prompt.answerDeviceChoice(m_phone->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 120 Playlists to Android."));
        backupPage.miToolbarDB2A();
        VERIFY_SCRIPT_DONE(prompt);
        QTRY_COMPARE(m_sim->store->completedSessions(QStringLiteral("playlists")), sessionsBefore + 1);
        QVERIFY(m_sim->store->errors().isEmpty());
        QCOMPARE(m_sim->store->batchSizes(QStringLiteral("playlists")).mid(0, 2), (QList<int> {100, 20}));
        const QVariantMap first = m_sim->store->records(QStringLiteral("playlists")).at(recordsBefore);
        QCOMPARE(first.value(QStringLiteral("name")).toString(), QStringLiteral("List 000"));
        QCOMPARE(first.value(QStringLiteral("members")).toString(), QStringLiteral("1/2"));
        QCOMPARE(Page(m_phone, devicesRoot()).countLabel()->text(), QStringLiteral("Total:125"));
    }

    // Phone to phone; a virtual device reads its own file, sends to a
    // connected phone and is never offered as a target.
    void transferBetweenPhones_andFromAVirtualDevice()
    {
        testsupport::SimPhone other(QStringLiteral("127.0.144.1"),
                                    fixture(QStringLiteral("Other"), QStringLiteral("uid-other")));
        QVERIFY2(other.ok(), qPrintable(other.error));
        _AndroidDeviceItemNode* otherNode = addPhone(other);
        QString folder;
        _AndroidDeviceItemNode* virtualDevice = addVirtualDevice(QStringLiteral("Old Rocket"), &folder);
        {
            LocalPlaylistDb db(folder + QStringLiteral("/playlists.db"));
            db.addPlaylist(record(QStringLiteral("Kept"), {"7"}));
        }

        ScriptedPrompt prompt;
        Page page(m_phone, devicesRoot());
        QCOMPARE(enabledStates(page.createToolbarActions()), (QList<bool> {true, true}));
        QCOMPARE(page.source().transferTargets(), QList<_AndroidDeviceItemNode*> {otherNode});
        selectRows(page.listView(), {1});
        std::unique_ptr<QMenu> menu(page.createContextMenu());
        QCOMPARE(texts(menu->actions()),
                 QStringList({"Backup selected Playlist", "Transfer selected Playlist to other Android"}));
        prompt.answerDeviceChoice(other.device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 1 Playlists to Android."));
        page.miA2A();
        VERIFY_SCRIPT_DONE(prompt);
        QTRY_COMPARE(other.store->completedSessions(QStringLiteral("playlists")), 1);
        QCOMPARE(other.store->records(QStringLiteral("playlists")).first().value(QStringLiteral("name")).toString(),
                 QStringLiteral("beta"));

        const int connectionsBefore = int(m_sim->sim->connections().size());
        PageRegistry pages;
        registerMediaPages(pages);
        std::unique_ptr<AbsMainForm> built(pages.create(NAV_PLAYLISTS, virtualDevice, devicesRoot(), nullptr));
        auto* virtualPage = qobject_cast<Page*>(built.get());
        QCOMPARE(column(*virtualPage->playlistModel(), 0), QStringList {QStringLiteral("Kept")});
        QCOMPARE(int(m_sim->sim->connections().size()), connectionsBefore);
        prompt.answerDeviceChoice(other.device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully restored 1 Playlists to Android."));
        virtualPage->miToolbarA2A();
        VERIFY_SCRIPT_DONE(prompt);
        QTRY_COMPARE(other.store->completedSessions(QStringLiteral("playlists")), 2);
        QVERIFY(!page.source().transferTargets().contains(virtualDevice));
    }

    // In a backup folder: the selection goes after a Yes, nothing after a
    // No; with nothing selected the whole file goes and an empty, working
    // one takes its place. A phone page offers no deletion.
    void deleteInABackup_selectedThenAll()
    {
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Del"));
        const QString file = backup->dir.absoluteFilePath(QStringLiteral("playlists.db"));
        {
            LocalPlaylistDb db(file);
            for (const char* name : {"a", "b", "c"})
                db.addPlaylist(record(QLatin1String(name), {"1"}));
        }
        ScriptedPrompt prompt;
        Page page(backup, devicesRoot());
        selectRows(page.listView(), {0, 2});
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to delete selected Playlist?"));
        page.miDelete();
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:3"));
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected Playlist?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted selected Playlist."));
        page.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.playlistModel(), 0), QStringList {QStringLiteral("b")});

        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete all Playlist?"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted all Playlist."));
        page.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:0"));
        QVERIFY(QFileInfo::exists(file));
        LocalPlaylistDb again(file);
        QVERIFY(again.addPlaylist(record(QStringLiteral("new"), {})) > 0);

        Page phonePage(m_phone, devicesRoot());
        phonePage.miToolbarDelete();
        VERIFY_SCRIPT_DONE(prompt);
    }
};

QTEST_MAIN(TestPlaylistsPage)
#include "test_playlistspage.moc"
