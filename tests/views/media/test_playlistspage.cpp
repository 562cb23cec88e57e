// The playlists page end to end against simulated phones: a failed first
// load tried again, then the cache; backup into a chosen folder, deletion
// there, transfer from a backup in batches, from phone to phone and from a
// virtual device, each a test of its own.
#include "views/media/playlistmainform.h"

#include "jobs/localdbselform.h"
#include "records/localplaylistdb.h"
#include "shell/core/dataroot.h"

#include "mediapagetest.h"

#include <QComboBox>

using phonesim::Fault;

namespace {

void addPlaylists(const QString& file, const QList<std::pair<QString, QStringList>>& lists)
{
    LocalPlaylistDb db(file);
    db.beginTran();
    for (const auto& [name, members] : lists) {
        PlaylistRecord p;
        p.name = name;
        p.members = members;
        db.addPlaylist(p);
    }
    db.endTran(true);
}

} // namespace

class TestPlaylistsPage : public testsupport::PageTest {
    Q_OBJECT

    using Page = PlaylistMainForm;

    // Five playlists out of order, two names differing only in case, one
    // without members.
    static std::unique_ptr<testsupport::SimPhone> startPhone(int host)
    {
        return mediapage::startPhone(143, host, {},
                                     testsupport::fixtureFile("tests/views/media/data/phone_playlists.json"));
    }

private Q_SLOTS:
    // A failed load stamps nothing: the next page loads again, the one after
    // reads the cache.
    void phonePage_failedLoadIsRetried_thenTheCacheIsRead()
    {
        auto phone = startPhone(1);
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        phone->sim->addFault(Fault(Fault::Kind::ErrorAt, "backup:playlists", 3, "broken"));
        _AndroidDeviceItemNode* node = addPhone(*phone);
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, "broken");
        QCOMPARE(Page(node, devicesRoot()).countLabel()->text(), "Total:0");
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(node->device.playlistsLoadTime.isNull());
        Page(node, devicesRoot()); // loads again
        Page page(node, devicesRoot()); // reads the cache
        checkModel(page.playlistModel());
        QCOMPARE(phone->loads("playlists"), 2);
        // Case does not order: the two "road trip"s sit together, in either order.
        const QStringList names = column(*page.playlistModel(), 0);
        QCOMPARE(names.mid(0, 2), QStringList({"alpha", "beta"}));
        QCOMPARE(names.mid(2, 2).join(u',').toLower(), "road trip,road trip");
        QCOMPARE(names.at(4), "Zed");
        selectRows(page.listView(), {2});
        QVERIFY(mediapage::screenshot(page, QSize(779, 300), "playlists_page"));
    }

    // A backup of the selection, then of everything (the two stored ones
    // not twice). In the backup the selection goes after a Yes, then the
    // whole file, and an empty, working one takes its place; a phone page
    // offers no deletion.
    void phonePage_backsUpSelectionThenAll_andTheBackupDeletes()
    {
        auto phone = startPhone(2);
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        _AndroidDeviceItemNode* node = addPhone(*phone);
        const auto folderLists = [](QDialog* d) {
            qobject_cast<LocalDbSelForm*>(d)->comboBox()->setEditText("Lists");
            qobject_cast<LocalDbSelForm*>(d)->onBtnOkPress();
        };
        ScriptedPrompt prompt;
        Page page(node, devicesRoot());
        QSignalSpy finished(&page, &Page::backupFinished);
        const QString file = getLocalDatabasesDir().absoluteFilePath("Lists/playlists.db");
        selectRows(page.listView(), {0, 4});
        prompt.answerDialog(QDialog::Accepted, "LocalDbSelForm", folderLists);
        prompt.answerMessage(QMessageBox::Ok, "Successfully backup 2 Playlists.");
        CHECKED(triggerMenuAction(page, "Backup selected Playlist"));
        QCOMPARE(LocalPlaylistDb(file).count(), 2);
        page.listView()->selectionModel()->clearSelection();
        prompt.answerDialog(QDialog::Accepted, "LocalDbSelForm", folderLists);
        prompt.answerMessage(QMessageBox::Ok, "Successfully backup 5 Playlists.");
        CHECKED(triggerAction(page, "Backup Playlist"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(LocalPlaylistDb(file).count(), 5);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.first().first().toString(), "Lists");

        Page lists(addBackup("Lists"), devicesRoot());
        selectRows(lists.listView(), {0, 1, 4});
        prompt.answerMessage(QMessageBox::Yes, "Confirm to delete selected Playlist?");
        prompt.answerMessage(QMessageBox::Ok, "Successfully deleted selected Playlist.");
        CHECKED(triggerAction(lists, "Delete Playlist"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*lists.playlistModel(), 0).join(u',').toLower(), "road trip,road trip");
        prompt.answerMessage(QMessageBox::Yes, "Confirm to delete all Playlist?");
        prompt.answerMessage(QMessageBox::Ok, "Successfully deleted all Playlist.");
        CHECKED(triggerAction(lists, "Delete Playlist"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(lists.countLabel()->text(), "Total:0");
        addPlaylists(file, {{"new", {}}});
        QCOMPARE(LocalPlaylistDb(file).count(), 1);
        QVERIFY(!texts(page.createToolbarActions()).contains("Delete Playlist"));
        page.miToolbarDelete(); // the slot's own guard: not on a phone page
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A backup of 120 playlists goes to the phone in batches of 100 and
    // into its cache.
    void backupPage_restoresInBatches_intoThePhoneAndItsCache()
    {
        auto phone = startPhone(3);
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        _AndroidDeviceItemNode* node = addPhone(*phone);
        ScriptedPrompt prompt;
        Page(node, devicesRoot()); // the phone's five into its cache
        _LocalDbItemNode* backup = addBackup("Big");
        QList<std::pair<QString, QStringList>> big;
        for (int i = 0; i < 120; ++i)
            big.append({QStringLiteral("List %1").arg(i, 3, 10, QLatin1Char('0')), {"1", "2"}});
        addPlaylists(backup->dir.absoluteFilePath("playlists.db"), big);
        prompt.answerDeviceChoice(node->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, "Successfully restored 120 Playlists to Android.");
        Page backupPage(backup, devicesRoot());
        CHECKED(triggerAction(backupPage, "Transfer Playlist from Database to Android"));
        VERIFY_SCRIPT_DONE(prompt);
        QTRY_COMPARE_WITH_TIMEOUT(phone->store->completedSessions("playlists"), 1, testsupport::kHangGuardMs);
        QVERIFY(phone->store->errors().isEmpty());
        QCOMPARE(phone->store->batchSizes("playlists").mid(0, 2), (QList<int> {100, 20}));
        const QVariantMap first = phone->store->records("playlists").first();
        QCOMPARE(first.value("name").toString() + ' ' + first.value("members").toString(), "List 000 1/2");
        QCOMPARE(Page(node, devicesRoot()).countLabel()->text(), "Total:125");
    }

    // The selection goes from phone to phone; a virtual device is never
    // offered as a target.
    void phonePage_transfersTheSelectionToAnotherPhone()
    {
        auto phone = startPhone(4), other = startPhone(5);
        QVERIFY2(phone->ok() && other->ok(), qPrintable(phone->error + other->error));
        _AndroidDeviceItemNode* node = addPhone(*phone);
        _AndroidDeviceItemNode* otherNode = addPhone(*other);
        addVirtualDevice("Old Rocket");
        ScriptedPrompt prompt;
        Page page(node, devicesRoot());
        QCOMPARE(page.source().transferTargets(), QList<_AndroidDeviceItemNode*> {otherNode});
        selectRows(page.listView(), {1});
        prompt.answerDeviceChoice(other->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, "Successfully restored 1 Playlists to Android.");
        CHECKED(triggerMenuAction(page, "Transfer selected Playlist to other Android"));
        VERIFY_SCRIPT_DONE(prompt);
        QTRY_COMPARE_WITH_TIMEOUT(other->store->completedSessions("playlists"), 1, testsupport::kHangGuardMs);
        QCOMPARE(other->store->records("playlists").first().value("name").toString(), "beta");
    }

    // A virtual device reads its own file without reaching for a phone and
    // sends to a phone.
    void virtualDevice_readsItsFile_andSendsToAPhone()
    {
        auto phone = startPhone(6), other = startPhone(7);
        QVERIFY2(phone->ok() && other->ok(), qPrintable(phone->error + other->error));
        addPhone(*phone);
        addPhone(*other);
        QString folder;
        _AndroidDeviceItemNode* virtualDevice = addVirtualDevice("Old Rocket", &folder);
        addPlaylists(folder + "/playlists.db", {{"Kept", {"7"}}});
        ScriptedPrompt prompt;
        const qsizetype connectionsBefore = phone->sim->connections().size();
        const auto virtualPage = mediapage::registeredPage<Page>(NAV_PLAYLISTS, virtualDevice, devicesRoot());
        QCOMPARE(column(*virtualPage->playlistModel(), 0), QStringList {"Kept"});
        QCOMPARE(phone->sim->connections().size(), connectionsBefore);
        prompt.answerDeviceChoice(other->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, "Successfully restored 1 Playlists to Android.");
        CHECKED(triggerAction(*virtualPage, "Transfer Android Playlist to other Android"));
        VERIFY_SCRIPT_DONE(prompt);
        QTRY_COMPARE_WITH_TIMEOUT(other->store->completedSessions("playlists"), 1, testsupport::kHangGuardMs);
    }

    // A playlist name and members that look like markup show as written in
    // the tool tips.
    void markup_showsAsWrittenInToolTips()
    {
        _LocalDbItemNode* backup = addBackup("Markup");
        addPlaylists(backup->dir.absoluteFilePath("playlists.db"), {{"<b>Mix</b>", {"<img src=x.png>a.mp3", "b.mp3"}}});
        ScriptedPrompt prompt;
        Page page(backup, devicesRoot());
        const ItemModelPlaylist& model = *page.playlistModel();
        QCOMPARE(column(model, 0), QStringList {"<b>Mix</b>"});
        for (int col = 0; col < model.columnCount(); ++col)
            QCOMPARE(shownToolTips(model, col), column(model, col));
        VERIFY_SCRIPT_DONE(prompt);
    }
};

QTEST_MAIN(TestPlaylistsPage)
#include "test_playlistspage.moc"
