// The file-system page end to end against a simulated phone that records
// every request. Deleting on a phone cannot be undone, so the tests prove
// that only what the user chose is listed, copied, sent or deleted: folders
// listed once, when first selected or expanded (a failed listing tried
// again on the next selection), entries listed outside their folder and the
// top level kept from deletion, a folder and a file inside it copied once,
// a cancelled listing that downloads nothing, a local tree imported twice
// without duplicate rows, refusals named, and a virtual device that reaches
// no phone. (What an upload or a download sends, byte for byte, and their
// faults are the jobs' tests.)
#include "views/media/filesysmainform.h"

#include "phonelink/androidloadfilesys.h"
#include "shell/multiselfiledialog.h"

#include "mediapagetest.h"

#include <QFileSystemModel>
#include <QListView>

using mediapage::writeFile;
using phonesim::Fault;

class TestFileSysPage : public testsupport::PageTest {
    Q_OBJECT

    using Page = FileSysMainForm;

    // A phone of its own per test: deletions and uploads stay on it.
    std::unique_ptr<testsupport::SimPhone> startPhone(const QString& fixture
                                                      = "tools/phone-sim/fixtures/loaders-files.json")
    {
        return std::make_unique<testsupport::SimPhone>(QStringLiteral("127.0.122.%1").arg(m_next++),
                                                       testsupport::fixtureFile(fixture));
    }

    // The row named name under parent (column 0), invalid when none.
    static QModelIndex row(const Page& page, const QString& name, const QModelIndex& parent = QModelIndex())
    {
        for (int r = 0; r < page.fileModel()->rowCount(parent); ++r)
            if (page.fileModel()->index(r, 0, parent).data().toString() == name)
                return page.fileModel()->index(r, 0, parent);
        return QModelIndex();
    }

    static void select(Page& page, const QList<QModelIndex>& rows)
    {
        page.treeView()->selectionModel()->clearSelection();
        for (const QModelIndex& i : rows)
            page.treeView()->selectionModel()->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // What the phone was asked on the file-system connection.
    static QStringList requests(const testsupport::SimPhone& phone, const char* prefix)
    {
        QStringList out;
        for (const QByteArray& line : phone.sim->linesReceived("files"))
            if (line.startsWith(prefix))
                out << QString::fromUtf8(line);
        return out;
    }

    // Runs list(), which lists /sdcard/DCIM on a phone that stalls there, and
    // presses Cancel once the phone has the request: the listing must end
    // while the phone still stalls, not at the end of a wait for its next
    // line (made longer than the hang guard here). A checking helper (see
    // CHECKED).
    [[nodiscard]] static bool cancelEndsTheStalledListing(Page& page, testsupport::SimPhone& phone,
                                                          const std::function<void()>& list,
                                                          std::source_location at = std::source_location::current())
    {
        auto* fileSystem = page.findChild<AndroidLoadFileSys*>();
        HELPER_VERIFY(fileSystem);
        fileSystem->setLineTimeoutMs(2 * testsupport::kHangGuardMs);
        const testsupport::HangGuard guard([&] { phone.sim->releaseStalls(); });
        const bool pressed = cancelProgressWhen(
            &page, [&] { return requests(phone, "$path:").contains("$path:/sdcard/DCIM"); }, list);
        fileSystem->setLineTimeoutMs(AndroidLoadFileSys::kLineTimeoutMs);
        HELPER_VERIFY2(pressed, "Cancel was never pressed");
        HELPER_VERIFY2(!guard.fired(), "the listing went on waiting for the stalled phone after Cancel");
        return true;
    }

    int m_next = 10;

private Q_SLOTS:
    // "/" when the page opens, a folder when first expanded and never again.
    // The phone's top level and an entry listed outside its folder ("loop"
    // is /sdcard listed again under /sdcard, "..") are never deleted,
    // listed, imported into or extracted. The phone stalls while an Extract
    // lists a folder: Cancel ends it while the phone still stalls, nothing
    // is downloaded and nothing half listed is kept. A folder listed for an Extract is not
    // listed again when first selected, and a file chosen with its folder
    // comes once.
    void phone_listsLazily_guardsWhatCannotGo_extractsEachFileOnce()
    {
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        // Steps on the page's connection: 1 ready, 2..5 "/", 6..13 /sdcard,
        // 14 the first line of /sdcard/DCIM.
        phone->sim->addFault(Fault(Fault::Kind::StallAt, "files", 14));
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        checkModel(page.fileModel());
        QCOMPARE(column(*page.fileModel(), 0), QStringList({"long.bin", "sdcard", "short.bin"}));
        const QModelIndex sdcard = row(page, "sdcard");
        QCOMPARE(page.fileModel()->rowCount(sdcard), 0);
        page.treeView()->expand(sdcard);
        QCOMPARE(column(*page.fileModel(), 0, sdcard),
                 QStringList({"..", "big.bin", "DCIM", "empty.txt", "notes.txt", "sdcard", "Москва.txt"}));
        page.treeView()->collapse(sdcard);
        page.treeView()->expand(sdcard);
        const QModelIndex loop = row(page, "sdcard", sdcard);
        QVERIFY(!page.fileModel()->hasChildren(loop));
        page.treeView()->expand(loop);
        QCOMPARE(requests(*phone, "$path:"), QStringList({"$path:/", "$path:/sdcard"}));

        // Nothing goes when any of the selection cannot.
        const QModelIndex notes = row(page, "notes.txt", sdcard);
        for (const auto& [chosen, named] : {std::pair {QList<QModelIndex> {notes, sdcard}, "sdcard"},
                                            std::pair {QList<QModelIndex> {notes, loop}, "sdcard"},
                                            std::pair {QList<QModelIndex> {row(page, "..", sdcard)}, ".."}}) {
            select(page, chosen);
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Can't delete file %1.").arg(named));
            CHECKED(triggerMenuAction(page, "Delete Files"));
        }
        page.treeView()->setCurrentIndex(loop);
        prompt.answerMessage(QMessageBox::Ok, "You can't import files into file directory sdcard.");
        CHECKED(triggerAction(page, "Import Files"));
        select(page, {loop});
        prompt.answerMessage(QMessageBox::Ok, "Can't export files from folder sdcard.");
        CHECKED(triggerMenuAction(page, "Extract Files"));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(requests(*phone, "$del:").isEmpty());

        // The toolbar with nothing selected takes the whole top level, and
        // lists /sdcard/DCIM for it.
        page.treeView()->selectionModel()->clearSelection();
        prompt.answerDirectory(testsupport::makeTempDir("never"));
        bool triggered = false;
        CHECKED(cancelEndsTheStalledListing(page, *phone, [&] { triggered = triggerAction(page, "Extract Files"); }));
        CHECKED(triggered);
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(phone->sim->linesReceived("download").isEmpty());
        phone->sim->releaseStalls();
        // Once the listing went through, a file whose announced size is
        // wrong fails the download.
        prompt.answerDirectory(testsupport::makeTempDir("all"));
        prompt.answerMessage(QMessageBox::Ok, "download /long.bin failed");
        CHECKED(triggerAction(page, "Extract Files"));
        VERIFY_SCRIPT_DONE(prompt);

        const QModelIndex dcim = row(page, "DCIM", sdcard);
        QCOMPARE(page.fileModel()->rowCount(dcim), 0);
        select(page, {dcim});
        QCOMPARE(column(*page.fileModel(), 0, dcim), QStringList({"café.mp3", "照片.jpg"}));
        QCOMPARE(requests(*phone, "$path:").count("$path:/sdcard/DCIM"), 2);
        const QString first = testsupport::makeTempDir("first"), second = testsupport::makeTempDir("second");
        prompt.answerDirectory(first);
        prompt.answerMessage(QMessageBox::Ok, "Successfully extracted 2 files.");
        CHECKED(triggerMenuAction(page, "Extract Files"));
        select(page, {dcim, row(page, "café.mp3", dcim)});
        prompt.answerDirectory(second);
        prompt.answerMessage(QMessageBox::Ok, "Successfully extracted 2 files.");
        CHECKED(triggerMenuAction(page, "Extract Files"));
        VERIFY_SCRIPT_DONE(prompt);
        for (const QString& dir : {first, second})
            QCOMPARE(testsupport::filesBelow(dir), QStringList({"DCIM/café.mp3", "DCIM/照片.jpg"}));
        QCOMPARE(testsupport::readFile(second + "/DCIM/café.mp3"), QByteArray("not really music"));
        QCOMPARE(phone->sim->linesReceived("download").count("$dload:/sdcard/DCIM/café.mp3"), 2);
        QCOMPARE(requests(*phone, "$path:").count("$path:/sdcard/DCIM"), 2);
        select(page, {row(page, "big.bin", sdcard)});
        QVERIFY(mediapage::screenshot(page, QSize(907, 420), "filesys_page"));
    }

    // A folder is listed once, when first expanded or first selected,
    // whichever comes first; a file is only marked. A listing that fails
    // shows its error (Cancel none), leaves the tree as it was and the
    // folder unlisted: selecting it again lists it.
    void phone_listsAFolderOnce_onSelectionOrExpansion_data()
    {
        QTest::addColumn<Fault>("fault"); // step 14: the first line of /sdcard/DCIM
        QTest::addColumn<QString>("error"); // empty: Cancel is pressed
        QTest::newRow("phone error") << Fault(Fault::Kind::ErrorAt, "files", 14, "No such folder") << "No such folder";
        QTest::newRow("close") << Fault(Fault::Kind::CloseAt, "files", 14, "$fil")
                               << "The remote host closed the connection";
        QTest::newRow("garbage") << Fault(Fault::Kind::WrongLineAt, "files", 14, "$hello:")
                                 << "invalid command($end:,$file:,$folder:), $hello:";
        QTest::newRow("stall") << Fault(Fault::Kind::StallAt, "files", 14) << "Socket operation timed out";
        QTest::newRow("cancel") << Fault(Fault::Kind::StallAt, "files", 14) << QString();
    }
    void phone_listsAFolderOnce_onSelectionOrExpansion()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, error);
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        phone->sim->addFault(fault);
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        checkModel(page.fileModel());
        const QStringList inSdcard {"..", "big.bin", "DCIM", "empty.txt", "notes.txt", "sdcard", "Москва.txt"};
        const QModelIndex sdcard = row(page, "sdcard");
        page.treeView()->expand(sdcard);
        select(page, {sdcard});
        QCOMPARE(column(*page.fileModel(), 0, sdcard), inSdcard);
        const QModelIndex notes = row(page, "notes.txt", sdcard);
        select(page, {notes});
        QVERIFY(ItemModelFileSys::fileNode(notes)->listed);
        QCOMPARE(requests(*phone, "$path:"), QStringList({"$path:/", "$path:/sdcard"}));

        if (fault.kind == Fault::Kind::StallAt && !error.isEmpty())
            page.findChild<AndroidLoadFileSys*>()->setLineTimeoutMs(300);
        const QModelIndex dcim = row(page, "DCIM", sdcard);
        if (error.isEmpty()) {
            CHECKED(cancelEndsTheStalledListing(page, *phone, [&] { select(page, {dcim}); }));
        } else {
            prompt.answerMessage(QMessageBox::Ok, error);
            select(page, {dcim});
        }
        VERIFY_SCRIPT_DONE(prompt);
        phone->sim->releaseStalls();
        QCOMPARE(prompt.messages().size(), error.isEmpty() ? 0 : 1);
        QCOMPARE(page.fileModel()->rowCount(dcim), 0);
        QVERIFY(!ItemModelFileSys::fileNode(dcim)->listed);
        QCOMPARE(column(*page.fileModel(), 0, sdcard), inSdcard);
        QCOMPARE(requests(*phone, "$path:").count("$path:/sdcard/DCIM"), 1);

        // Selected again, the folder is listed; expanded then, not again.
        select(page, {dcim});
        QCOMPARE(column(*page.fileModel(), 0, dcim), QStringList({"café.mp3", "照片.jpg"}));
        page.treeView()->expand(dcim);
        QCOMPARE(column(*page.fileModel(), 0, dcim), QStringList({"café.mp3", "照片.jpg"}));
        QCOMPARE(requests(*phone, "$path:").count("$path:/sdcard/DCIM"), 2);
        QCOMPARE(requests(*phone, "$path:").size(), 4);
        QVERIFY(prompt.unexpected().isEmpty());
    }

    // Hidden files, an empty folder, a link loop, files either side of the
    // block size and a name with a line feed, imported into DCIM twice: the
    // refused name is reported each time, the phone keeps the visible files
    // and the re-read folder shows each entry once.
    void import_sendsTheTree_andRefreshesWithoutDuplicates()
    {
        const QString base = testsupport::makeTempDir("import");
        const QString a = base + "/A";
        QVERIFY(QDir().mkpath(a + "/Empty") && QDir().mkpath(a + "/D/.hiddenDir"));
        const QList<std::pair<QString, QByteArray>> files {{"A/b.txt", "bee"},
                                                           {"A/.hidden", "skipped"},
                                                           {"A/D/.hiddenDir/x", "skipped"},
                                                           {"A/D/exact.bin", mediatest::bytes(524288, 1)},
                                                           {"A/D/over.bin", mediatest::bytes(524289, 2)},
                                                           {"A/line\nfeed.txt", "never sent"}};
        for (const auto& [name, data] : files)
            QVERIFY(writeFile(base + '/' + name, data));
        QVERIFY(QFile::link(a, a + "/D/up"));

        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        page.treeView()->expand(row(page, "sdcard"));
        FileSysMainForm::FileNode* dcimNode = ItemModelFileSys::fileNode(row(page, "DCIM", row(page, "sdcard")));
        const auto chooseA = [&](QDialog* d) {
            auto* dialog = qobject_cast<MultiSelFileDialog*>(d);
            dialog->setDirectory(base);
            auto* list = dialog->findChild<QListView*>("listView");
            auto* fs = qobject_cast<QFileSystemModel*>(list->model());
            list->selectionModel()->select(fs->index(a), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        };
        for (int round = 1; round <= 2; ++round) {
            page.treeView()->setCurrentIndex(page.fileModel()->indexOfNode(dcimNode));
            prompt.answerDialog(QDialog::Accepted, "MultiSelFileDialog", chooseA);
            prompt.answerMessage(QMessageBox::Ok,
                                 QStringLiteral("3 of 4 files were transferred to Android. These "
                                                "files were not sent, because their names hold a "
                                                "line break:\n%1/A/line\\nfeed.txt")
                                     .arg(base));
            CHECKED(triggerAction(page, "Import Files"));
            VERIFY_SCRIPT_DONE(prompt);
            const QModelIndex dcim = page.fileModel()->indexOfNode(dcimNode);
            QCOMPARE(column(*page.fileModel(), 0, dcim), QStringList({"A", "café.mp3", "照片.jpg"}));
            page.treeView()->expand(row(page, "A", dcim));
            QCOMPARE(column(*page.fileModel(), 0, row(page, "A", dcim)), QStringList({"b.txt", "D"}));
            page.treeView()->expand(row(page, "D", row(page, "A", dcim)));
            QCOMPARE(column(*page.fileModel(), 0, row(page, "D", row(page, "A", dcim))),
                     QStringList({"exact.bin", "over.bin"}));
        }
        QStringList paths;
        for (const QVariantMap& r : phone->store->records("upload"))
            paths << r.value("path").toString();
        QCOMPARE(QSet<QString>(paths.begin(), paths.end()),
                 QSet<QString>({"/sdcard/DCIM/A/D/exact.bin", "/sdcard/DCIM/A/D/over.bin", "/sdcard/DCIM/A/b.txt"}));
        QCOMPARE(paths.size(), 6);
        QByteArray over;
        QVERIFY(phone->sim->files().read("/sdcard/DCIM/A/D/over.bin", &over) && over == files.at(4).second);
        QVERIFY(phone->store->errors().isEmpty());
    }

    // A phone of bad input. It refuses one deletion (the file is gone
    // already) and a path with a line feed cannot be sent: both are named,
    // the others go, the tree shows what the phone did, and success is said
    // only when all went. A folder of thousands of entries, some with names
    // of 255 bytes in several scripts, lists whole and extracts under those
    // names.
    void badInput_refusedDeletionsNamed_largeFolderListed()
    {
        auto phone = startPhone("tests/views/media/data/phone_badinput.json");
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        const QModelIndex sdcard = row(page, "sdcard");
        page.treeView()->expand(sdcard);
        // A folder whose path cannot be sent is not listed; the error names it.
        prompt.answerMessage(QMessageBox::Ok, "contains a line break and was not sent: &quot;/sdcard/odd\\nfolder");
        page.treeView()->expand(row(page, "odd\nfolder", sdcard));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(!page.treeView()->isExpanded(row(page, "odd\nfolder", sdcard)));

        QVERIFY(phone->sim->files().remove("/sdcard/gone.txt"));
        select(page,
               {row(page, "keep\nme.txt", sdcard), row(page, "gone.txt", sdcard), row(page, "ok.txt", sdcard),
                row(page, "Sub", sdcard)});
        prompt.answerMessage(QMessageBox::Yes, "Confirm to delete selected files?");
        prompt.answerMessage(QMessageBox::Ok, "These files were not deleted:\n/sdcard/keep\\nme.txt\n/sdcard/gone.txt");
        CHECKED(triggerMenuAction(page, "Delete Files"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.fileModel(), 0, sdcard), QStringList({"gone.txt", "keep\nme.txt", "odd\nfolder"}));
        QCOMPARE(requests(*phone, "$del:"),
                 QStringList({"$del:/sdcard/gone.txt", "$del:/sdcard/ok.txt", "$del:/sdcard/Sub"}));
        QVERIFY(phone->sim->files().contains("/sdcard/keep\nme.txt"));
        QVERIFY(phone->sim->files().write("/sdcard/gone.txt", "back", 0).isEmpty());
        select(page, {row(page, "gone.txt", sdcard)});
        prompt.answerMessage(QMessageBox::Yes, "Confirm");
        prompt.answerMessage(QMessageBox::Ok, "Successfully deleted files.");
        CHECKED(triggerMenuAction(page, "Delete Files"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.fileModel(), 0, sdcard), QStringList({"keep\nme.txt", "odd\nfolder"}));

        // A name that looks like markup shows as written in the refusal and
        // the tool tips.
        const QString markup = "<i>top <img src=x.png>";
        select(page, {row(page, markup)});
        prompt.answerMessage(QMessageBox::Ok);
        CHECKED(triggerMenuAction(page, "Delete Files"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(shownText(prompt.messages().last()), "Can't delete file " + markup + ".");
        for (int col = 0; col < page.fileModel()->columnCount(); ++col)
            QCOMPARE(shownToolTips(*page.fileModel(), col), column(*page.fileModel(), col));

        QElapsedTimer t;
        t.start();
        const QModelIndex big = row(page, "big");
        page.treeView()->expand(big);
        QCOMPARE(page.fileModel()->rowCount(big), 3004);
        // A hang guard; how fast the folder lists is the responsiveness
        // benchmark's.
        QVERIFY2(t.elapsed() < testsupport::kHangGuardMs, qPrintable(QString::number(t.elapsed())));
        QList<QModelIndex> chosen;
        QStringList longNames;
        for (int r = 0; r < 3004; ++r)
            if (const QModelIndex i = page.fileModel()->index(r, 0, big); i.data().toString().toUtf8().size() == 255) {
                chosen << i;
                longNames << i.data().toString();
            }
        QCOMPARE(longNames.size(), 4);
        select(page, chosen);
        const QString target = testsupport::makeTempDir("long");
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, "Successfully extracted 4 files.");
        CHECKED(triggerMenuAction(page, "Extract Files"));
        VERIFY_SCRIPT_DONE(prompt);
        longNames.sort();
        QCOMPARE(testsupport::filesBelow(target), longNames);
        QCOMPARE(testsupport::readFile(target + '/' + longNames.at(1)), longNames.at(1).toUtf8());
    }

    // A virtual device's "file-sys" folder (with a link loop), read whole:
    // Extract copies its files, a file chosen with its folder once, over an
    // older copy; Import and Delete are off and ask nothing.
    void virtualDevice_extractsLocalFiles_importAndDeleteOff()
    {
        QString folder;
        _AndroidDeviceItemNode* device = addVirtualDevice("Old Rocket", &folder);
        const QString fs = folder + "/file-sys";
        QVERIFY(QDir().mkpath(fs + "/Docs/Inner") && writeFile(fs + "/a.txt", "small a"));
        QVERIFY(writeFile(fs + "/Docs/x.txt", "x") && writeFile(fs + "/Docs/Inner/y.txt", "y"));
        QVERIFY(QFile::link(fs, fs + "/Docs/Inner/loop"));
        ScriptedPrompt prompt;
        const auto page = mediapage::registeredPage<Page>(NAV_FILESYS, device, devicesRoot());
        QVERIFY(page);
        checkModel(page->fileModel());
        const QModelIndex docs = row(*page, "Docs");
        QCOMPARE(page->fileModel()->rowCount(row(*page, "loop", row(*page, "Inner", docs))), 0);
        QCOMPARE(enabledStates(page->createToolbarActions()), (QList<bool> {true, false, false}));
        select(*page, {docs});
        // The slots' own guards: both actions are disabled here.
        page->miImport();
        page->miDelete();
        QVERIFY(prompt.questions().isEmpty());

        const QString target = testsupport::makeTempDir("virtual");
        QVERIFY(writeFile(target + "/a.txt", "an older copy"));
        select(*page, {docs, row(*page, "x.txt", docs), row(*page, "a.txt")});
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, "Successfully extracted 3 files.");
        CHECKED(triggerMenuAction(*page, "Extract Files"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(target), QStringList({"Docs/Inner/y.txt", "Docs/x.txt", "a.txt"}));
        QCOMPARE(testsupport::readFile(target + "/a.txt"), QByteArray("small a"));
    }
};

QTEST_MAIN(TestFileSysPage)
#include "test_filesyspage.moc"
