// The file-system page end to end against a simulated phone that records
// every request: the tree listed folder by folder as it is expanded, the
// phone's top level and entries listed outside their folder kept from
// deletion, Extract of a folder with a file inside it, a cancelled listing,
// Import of a tricky local tree, deletions the phone refuses, paths that
// cannot travel, a large folder with long names, a virtual device, and a
// screenshot.
#include "views/media/filesysmainform.h"
#include "views/media/itemmodelfilesys.h"
#include "views/media/mediapages.h"

#include "records/remotefile.h"
#include "shell/multiselfiledialog.h"
#include "shell/mytreeview.h"
#include "shell/pageregistry.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QtTest>

using phonesim::Fault;

namespace {

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(text).object();
}

QByteArray bytes(qint64 n, int seed)
{
    QByteArray out(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        out[i] = char((i * 13 + seed) & 0xff);
    return out;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class TestFileSysPage : public testsupport::PageTest {
    Q_OBJECT

    using Page = FileSysMainForm;

    // A phone of its own per test: deletions and uploads stay on it.
    std::unique_ptr<testsupport::SimPhone> startPhone(const QJsonObject& fixture = QJsonObject())
    {
        auto phone = std::make_unique<testsupport::SimPhone>(
            QStringLiteral("127.0.122.%1").arg(m_next++),
            fixture.isEmpty() ? testsupport::fixtureFile(QStringLiteral("tools/phone-sim/fixtures/loaders-files.json"))
                              : fixture);
        return phone;
    }

    // The row named name under parent (column 0), invalid when none.
    static QModelIndex row(const Page& page, const QString& name, const QModelIndex& parent = QModelIndex())
    {
        const ItemModelFileSys& m = *page.fileModel();
        for (int r = 0; r < m.rowCount(parent); ++r)
            if (m.index(r, 0, parent).data().toString() == name)
                return m.index(r, 0, parent);
        return QModelIndex();
    }

    static void select(Page& page, const QList<QModelIndex>& rows)
    {
        QItemSelectionModel* s = page.treeView()->selectionModel();
        s->clearSelection();
        for (const QModelIndex& i : rows)
            s->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // What the phone was asked on the file-system connection.
    static QStringList requests(const testsupport::SimPhone& phone, const char* prefix)
    {
        QStringList out;
        for (const QByteArray& line : phone.sim->linesReceived(QStringLiteral("files")))
            if (line.startsWith(prefix))
                out << QString::fromUtf8(line);
        return out;
    }

    int m_next = 10;

private Q_SLOTS:
    void initTestCase() { initPageTests(); }
    void cleanup() { cleanupPage(); }

    void model_showsNamesTypesAndSizes()
    {
        ItemModelFileSys model;
        checkModel(&model);
        QList<_RemoteFile*> entries;
        for (qint64 size : {0, 1, 1024, 1025})
            entries << new _RemoteFile(nullptr, false, QStringLiteral("/f%1").arg(size), QString(), true, true, true,
                                       QString());
        for (int i = 0; i < 4; ++i)
            entries.at(i)->size = QList<qint64> {0, 1, 1024, 1025}.at(i);
        entries << new _RemoteFile(nullptr, true, QStringLiteral("/Folder"), QStringLiteral("Shown"), true, true, true,
                                   QString());
        entries.first()->modified = QDateTime::fromMSecsSinceEpoch(1700000000000);
        model.addFileNodes(nullptr, entries);
        QCOMPARE(column(model, 3), QStringLiteral("0 KB|1 KB|1 KB|2 KB|").split(u'|'));
        QCOMPARE(column(model, 2), QStringLiteral("File|File|File|File|File Folder").split(u'|'));
        QCOMPARE(column(model, 0).last(), QStringLiteral("Shown"));
        QVERIFY(!column(model, 1).first().isEmpty());
        QVERIFY(column(model, 1).at(1).isEmpty()); // no time
        QVERIFY(model.hasChildren(model.index(4, 0))); // a folder not listed yet
        QVERIFY(!model.hasChildren(model.index(0, 0)));
        QStringList headers;
        for (int i = 0; i < 4; ++i)
            headers << model.headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringLiteral("Name|Date modified|Type|Size").split(u'|'));
        QCOMPARE(ItemModelFileSys::sizeText(1024ll * 1024 * 1024 * 5), QLocale().toString(5242880.0, 'g', 6) + " KB");
        model.removeChildren(nullptr);
        qDeleteAll(entries);
    }

    // "/" when the page opens, a folder when first expanded, never again;
    // the phone's top level and entries listed outside their folder cannot
    // be deleted, and the latter are never listed.
    void phone_listsLazily_andGuardsWhatCannotBeDeleted()
    {
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        checkModel(page.fileModel());
        QCOMPARE(prompt.questions().size(), 1); // the listing's progress
        QCOMPARE(column(*page.fileModel(), 0), QStringLiteral("long.bin|sdcard|short.bin").split(u'|'));
        QCOMPARE(requests(*phone, "$path:"), QStringList {QStringLiteral("$path:/")});

        const QModelIndex sdcard = row(page, QStringLiteral("sdcard"));
        QVERIFY(page.fileModel()->hasChildren(sdcard));
        QCOMPARE(page.fileModel()->rowCount(sdcard), 0);
        page.treeView()->expand(sdcard);
        QCOMPARE(column(*page.fileModel(), 0, sdcard),
                 QStringLiteral("..|big.bin|DCIM|empty.txt|notes.txt|sdcard|Москва.txt").split(u'|'));
        page.treeView()->collapse(sdcard);
        page.treeView()->expand(sdcard);
        // "loop" lists /sdcard again under /sdcard: shown, never listed.
        const QModelIndex loop = row(page, QStringLiteral("sdcard"), sdcard);
        QVERIFY(!page.fileModel()->hasChildren(loop));
        page.treeView()->expand(loop);
        QCOMPARE(requests(*phone, "$path:"), QStringLiteral("$path:/|$path:/sdcard").split(u'|'));
        VERIFY_SCRIPT_DONE(prompt);

        // Nothing goes when any of the selection cannot.
        const QModelIndex notes = row(page, QStringLiteral("notes.txt"), sdcard);
        for (const auto& [chosen, named] : {std::pair {QList<QModelIndex> {notes, sdcard}, "sdcard"},
                                            std::pair {QList<QModelIndex> {notes, loop}, "sdcard"},
                                            std::pair {QList<QModelIndex> {row(page, "..", sdcard)}, ".."}}) {
            select(page, chosen);
            prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Can't delete file %1.").arg(named));
            page.miDelete();
            VERIFY_SCRIPT_DONE(prompt);
        }
        QVERIFY(requests(*phone, "$del:").isEmpty());
        QCOMPARE(page.fileModel()->rowCount(sdcard), 7);
        // Nor can they be imported into or extracted.
        page.treeView()->setCurrentIndex(loop);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("You can't import files into file directory sdcard."));
        page.miImport();
        select(page, {loop});
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Can't export files from folder sdcard."));
        page.miExport();
        VERIFY_SCRIPT_DONE(prompt);

        // The screenshot: the tree with /sdcard and DCIM expanded.
        page.resize(907, 420);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.treeView()->expand(row(page, QStringLiteral("DCIM"), sdcard));
        select(page, {row(page, QStringLiteral("big.bin"), sdcard)});
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(page.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/filesys_page.png")));
    }

    // A folder listed for an Extract shows its entries when expanded later
    // without a new listing; a folder and a file inside it are selected
    // together: the file comes once.
    void extract_listsFoldersFirst_andCopiesEachFileOnce()
    {
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        const QModelIndex sdcard = row(page, QStringLiteral("sdcard"));
        page.treeView()->expand(sdcard);
        const QModelIndex dcim = row(page, QStringLiteral("DCIM"), sdcard);
        const QString first = testsupport::makeTempDir(QStringLiteral("first"));
        select(page, {dcim});
        prompt.answerDirectory(first);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 files."));
        page.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(first), QStringLiteral("DCIM/café.mp3|DCIM/照片.jpg").split(u'|'));
        page.treeView()->expand(dcim);
        QCOMPARE(column(*page.fileModel(), 0, dcim), QStringLiteral("café.mp3|照片.jpg").split(u'|'));
        QCOMPARE(requests(*phone, "$path:").count(QStringLiteral("$path:/sdcard/DCIM")), 1);

        const QString second = testsupport::makeTempDir(QStringLiteral("second"));
        select(page, {dcim, row(page, QStringLiteral("café.mp3"), dcim)});
        prompt.answerDirectory(second);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 files."));
        page.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(second), QStringLiteral("DCIM/café.mp3|DCIM/照片.jpg").split(u'|'));
        QCOMPARE(testsupport::readFile(second + QStringLiteral("/DCIM/café.mp3")), QByteArray("not really music"));
        QCOMPARE(phone->sim->linesReceived(QStringLiteral("download")).count("$dload:/sdcard/DCIM/café.mp3"), 2);

        // The toolbar with nothing selected takes the whole top level; the
        // files whose phone sizes are wrong fail the download, and the
        // folder never reached is not claimed.
        page.treeView()->selectionModel()->clearSelection();
        prompt.answerDirectory(testsupport::makeTempDir(QStringLiteral("all")));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("download /long.bin failed"));
        page.miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A phone that stops answering: Cancel ends the listing before an
    // Extract (which then extracts nothing) and a download in the middle of
    // a file (which leaves no file under its name) within a second.
    void stalledPhone_cancelWithinASecond()
    {
        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        // Steps on the page's connection: 1 ready, 2..5 "/", 6..13 /sdcard,
        // 14 the first line of /sdcard/DCIM. On the download's: 1 ready,
        // 2 "$file:", 3 and 4 the first two blocks of big.bin.
        phone->sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("files"), 14));
        phone->sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("download"), 4));
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        const QModelIndex sdcard = row(page, QStringLiteral("sdcard"));
        page.treeView()->expand(sdcard);
        select(page, {row(page, QStringLiteral("DCIM"), sdcard)});
        prompt.answerDirectory(testsupport::makeTempDir(QStringLiteral("never")));
        qint64 took = cancelProgressWhen(
            &page, [&] { return requests(*phone, "$path:").contains(QStringLiteral("$path:/sdcard/DCIM")); },
            [&] { page.miExport(); });
        QVERIFY2(took >= 0 && took < 1000, qPrintable(QString::number(took)));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(phone->sim->linesReceived(QStringLiteral("download")).isEmpty());
        // Nothing half listed: DCIM is asked again when expanded.
        page.treeView()->expand(row(page, QStringLiteral("DCIM"), sdcard));
        QCOMPARE(page.fileModel()->rowCount(row(page, QStringLiteral("DCIM"), sdcard)), 2);

        const QString target = testsupport::makeTempDir(QStringLiteral("stalled"));
        QVERIFY(writeFile(target + QStringLiteral("/big.bin"), "an earlier copy"));
        select(page, {row(page, QStringLiteral("big.bin"), sdcard)});
        prompt.answerDirectory(target);
        took = cancelProgressWhen(
            &page, [&] { return phone->sim->linesReceived(QStringLiteral("download")).count(".") >= 1; },
            [&] { page.miExport(); });
        QVERIFY2(took >= 0 && took < 1000, qPrintable(QString::number(took)));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(target), QStringList {QStringLiteral("big.bin")});
        QCOMPARE(testsupport::readFile(target + QStringLiteral("/big.bin")), QByteArray("an earlier copy"));
        phone->sim->releaseStalls();
    }

    // Hidden files, an empty folder, a link loop, files either side of the
    // block size and a name with a line feed, imported twice.
    void import_sendsExactlyTheTree_andRefreshesWithoutDuplicates()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("import"));
        const QString a = base + QStringLiteral("/A");
        QVERIFY(QDir().mkpath(a + QStringLiteral("/Empty")) && QDir().mkpath(a + QStringLiteral("/D/.hiddenDir")));
        const QMap<QString, QByteArray> files {
            {QStringLiteral("A/b.txt"), "bee"},
            {QStringLiteral("A/.hidden"), "skipped"},
            {QStringLiteral("A/D/.hiddenDir/x"), "skipped"},
            {QStringLiteral("A/D/exact.bin"), bytes(524288, 1)},
            {QStringLiteral("A/D/over.bin"), bytes(524289, 2)},
            {QStringLiteral("A/line\nfeed.txt"), "never sent"},
        };
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(writeFile(base + QLatin1Char('/') + it.key(), it.value()));
        QVERIFY(QFile::link(a, a + QStringLiteral("/D/up")));

        auto phone = startPhone();
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        const QModelIndex sdcard = row(page, QStringLiteral("sdcard"));
        page.treeView()->expand(sdcard);
        FileSysMainForm::FileNode* dcimNode = ItemModelFileSys::fileNode(row(page, QStringLiteral("DCIM"), sdcard));

        // No folder chosen as the target.
        page.treeView()->setCurrentIndex(row(page, QStringLiteral("notes.txt"), sdcard));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Please select a target directory on device."));
        page.miImport();
        VERIFY_SCRIPT_DONE(prompt);

        const auto chooseA = [&](QDialog* d) {
            auto* dialog = qobject_cast<MultiSelFileDialog*>(d);
            dialog->setDirectory(base);
            auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
            auto* fs = qobject_cast<QFileSystemModel*>(list->model());
            list->selectionModel()->select(fs->index(a), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        };
        const QString refused = QStringLiteral("3 of 4 files were transferred to Android. These files were not sent, "
                                               "because their names hold a line break:\n%1/A/line\\nfeed.txt")
                                    .arg(base);
        for (int round = 1; round <= 2; ++round) {
            page.treeView()->setCurrentIndex(page.fileModel()->indexOfNode(dcimNode));
            prompt.answerDialog(QDialog::Accepted, QStringLiteral("MultiSelFileDialog"), chooseA);
            prompt.answerMessage(QMessageBox::Ok, refused);
            page.miImport();
            VERIFY_SCRIPT_DONE(prompt);
            const QModelIndex dcim = page.fileModel()->indexOfNode(dcimNode);
            QVERIFY(page.treeView()->isExpanded(dcim));
            QCOMPARE(column(*page.fileModel(), 0, dcim), QStringLiteral("A|café.mp3|照片.jpg").split(u'|'));
            const QModelIndex folderA = row(page, QStringLiteral("A"), dcim);
            page.treeView()->expand(folderA);
            QCOMPARE(column(*page.fileModel(), 0, folderA), QStringLiteral("b.txt|D").split(u'|'));
            const QModelIndex d = row(page, QStringLiteral("D"), folderA);
            page.treeView()->expand(d);
            QCOMPARE(column(*page.fileModel(), 0, d), QStringLiteral("exact.bin|over.bin").split(u'|'));
            QCOMPARE(column(*page.fileModel(), 3, d), QStringLiteral("512 KB|513 KB").split(u'|'));
        }
        QStringList paths;
        for (const QVariantMap& r : phone->store->records(QStringLiteral("upload")))
            paths << r.value(QStringLiteral("path")).toString().mid(13);
        paths.sort();
        QCOMPARE(paths,
                 QStringLiteral("A/D/exact.bin|A/D/exact.bin|A/D/over.bin|A/D/over.bin|A/b.txt|A/b.txt").split(u'|'));
        for (const char* name : {"A/D/exact.bin", "A/D/over.bin", "A/b.txt"}) {
            QByteArray stored;
            QVERIFY(phone->sim->files().read(QStringLiteral("/sdcard/DCIM/") + QLatin1String(name), &stored));
            QVERIFY2(stored == files.value(QLatin1String(name)), name);
        }
        QVERIFY(phone->store->errors().isEmpty());
    }

    // The phone refuses one deletion (the file is gone already), a path
    // with a line feed cannot be sent: both are named, the others go.
    void delete_namesWhatThePhoneRefused()
    {
        auto phone = startPhone(json(R"({"files": {"name": "/", "children": [{"name": "sdcard", "children": [
            {"name": "keep\nme.txt", "content": "x"}, {"name": "gone.txt", "content": "x"},
            {"name": "ok.txt", "content": "x"}, {"name": "Sub", "children": [{"name": "in.txt"}]},
            {"name": "odd\nfolder", "children": []}]}]}})"));
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        const QModelIndex sdcard = row(page, QStringLiteral("sdcard"));
        page.treeView()->expand(sdcard);
        QCOMPARE(column(*page.fileModel(), 0, sdcard),
                 QStringList({"gone.txt", "keep\nme.txt", "odd\nfolder", "ok.txt", "Sub"}));

        // A folder whose path cannot be sent is not listed; the error names it.
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("contains a line break and was not sent: &quot;/sdcard/odd\\nfolder"));
        page.treeView()->expand(row(page, QStringLiteral("odd\nfolder"), sdcard));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(!page.treeView()->isExpanded(row(page, QStringLiteral("odd\nfolder"), sdcard)));

        QVERIFY(phone->sim->files().remove(QStringLiteral("/sdcard/gone.txt")));
        select(page,
               {row(page, QStringLiteral("keep\nme.txt"), sdcard), row(page, QStringLiteral("gone.txt"), sdcard),
                row(page, QStringLiteral("ok.txt"), sdcard), row(page, QStringLiteral("Sub"), sdcard)});
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to delete selected files?"));
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("These files were not deleted:\n/sdcard/keep\\nme.txt\n/sdcard/gone.txt"));
        page.miDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.fileModel(), 0, sdcard), QStringList({"gone.txt", "keep\nme.txt", "odd\nfolder"}));
        QCOMPARE(requests(*phone, "$del:"),
                 QStringLiteral("$del:/sdcard/gone.txt|$del:/sdcard/ok.txt|$del:/sdcard/Sub").split(u'|'));
        QVERIFY(phone->sim->files().contains(QStringLiteral("/sdcard/keep\nme.txt")));

        // All of the selection going is a success; a "No" deletes nothing.
        select(page, {row(page, QStringLiteral("gone.txt"), sdcard)});
        prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm"));
        page.miDelete();
        QVERIFY(phone->sim->files().write(QStringLiteral("/sdcard/gone.txt"), "back", 0).isEmpty());
        prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm"));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully deleted files."));
        page.miDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(column(*page.fileModel(), 0, sdcard), QStringList({"keep\nme.txt", "odd\nfolder"}));
        page.treeView()->selectionModel()->clearSelection();
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Found no file to delete."));
        page.miDelete();
        VERIFY_SCRIPT_DONE(prompt);
    }

    // Thousands of entries with names of 255 bytes in several scripts list
    // in one go and extract under their own names.
    void largeFolder_withLongNames()
    {
        const QStringList stems {QString(254, u'a'), QString(127, QChar(0x0416)), QString(85, QChar(0x6587)),
                                 QStringLiteral("😀").repeated(63)};
        QJsonArray children;
        QStringList longNames;
        for (const QString& stem : stems) {
            QString name = stem;
            while (name.toUtf8().size() < 255)
                name += QLatin1Char('z');
            QCOMPARE(name.toUtf8().size(), 255);
            longNames << name;
            children.append(QJsonObject {{QStringLiteral("name"), name}, {QStringLiteral("content"), name}});
        }
        for (int i = 0; i < 3000; ++i)
            children.append(
                QJsonObject {{QStringLiteral("name"), QStringLiteral("f%1.txt").arg(i, 5, 10, QLatin1Char('0'))},
                             {QStringLiteral("size"), i}});
        const QJsonObject bigFolder {{QStringLiteral("name"), QStringLiteral("big")},
                                     {QStringLiteral("children"), children}};
        const QJsonObject fixture {{QStringLiteral("files"),
                                    QJsonObject {{QStringLiteral("name"), QStringLiteral("/")},
                                                 {QStringLiteral("children"), QJsonArray {bigFolder}}}}};
        auto phone = startPhone(fixture);
        QVERIFY2(phone->ok(), qPrintable(phone->error));

        ScriptedPrompt prompt;
        Page page(addPhone(*phone), devicesRoot());
        const QModelIndex big = row(page, QStringLiteral("big"));
        QElapsedTimer t;
        t.start();
        page.treeView()->expand(big);
        QCOMPARE(page.fileModel()->rowCount(big), 3004);
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QList<QModelIndex> chosen;
        for (const QString& name : longNames)
            chosen << row(page, name, big);
        select(page, chosen);
        const QString target = testsupport::makeTempDir(QStringLiteral("long"));
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 4 files."));
        page.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        QStringList expected = longNames;
        expected.sort();
        QCOMPARE(testsupport::filesBelow(target), expected);
        QCOMPARE(testsupport::readFile(target + QLatin1Char('/') + longNames.at(1)), longNames.at(1).toUtf8());
    }

    // A virtual device's "file-sys" folder, read whole: Extract copies its
    // files; Import and Delete are off; no phone is asked anything.
    void virtualDevice_extractsLocalFiles_importAndDeleteOff()
    {
        QString folder;
        _AndroidDeviceItemNode* device = addVirtualDevice(QStringLiteral("Old Rocket"), &folder);
        const QString fs = folder + QStringLiteral("/file-sys");
        QVERIFY(QDir().mkpath(fs + QStringLiteral("/Docs/Inner")));
        QVERIFY(writeFile(fs + QStringLiteral("/a.txt"), "small a"));
        QVERIFY(writeFile(fs + QStringLiteral("/B.txt"), "capital B"));
        QVERIFY(writeFile(fs + QStringLiteral("/Docs/x.txt"), "x"));
        QVERIFY(writeFile(fs + QStringLiteral("/Docs/Inner/y.txt"), "y"));
        QVERIFY(QFile::link(fs, fs + QStringLiteral("/Docs/Inner/loop")));

        ScriptedPrompt prompt;
        // The page the main window builds for the File System node.
        PageRegistry pages;
        registerMediaPages(pages);
        std::unique_ptr<AbsMainForm> built(pages.create(NAV_FILESYS, device, devicesRoot(), nullptr));
        QVERIFY(qobject_cast<Page*>(built.get()));
        built.reset();
        Page page(device, devicesRoot());
        checkModel(page.fileModel());
        QVERIFY(prompt.questions().isEmpty());
        QCOMPARE(column(*page.fileModel(), 0), QStringLiteral("B.txt|Docs|a.txt").split(u'|'));
        const QModelIndex docs = row(page, QStringLiteral("Docs"));
        QCOMPARE(column(*page.fileModel(), 0, docs), QStringLiteral("Inner|x.txt").split(u'|'));
        const QModelIndex inner = row(page, QStringLiteral("Inner"), docs);
        QCOMPARE(column(*page.fileModel(), 0, inner), QStringLiteral("loop|y.txt").split(u'|'));
        QCOMPARE(page.fileModel()->rowCount(row(page, QStringLiteral("loop"), inner)), 0);

        const QList<QAction*> actions = page.createToolbarActions();
        QCOMPARE(texts(actions), QStringLiteral("Extract Files|Import Files|Delete Files").split(u'|'));
        QList<bool> enabled;
        for (const QAction* action : actions)
            enabled << action->isEnabled();
        QCOMPARE(enabled, (QList<bool> {true, false, false}));
        select(page, {docs});
        std::unique_ptr<QMenu> menu(page.createContextMenu());
        QVERIFY(menu);
        QCOMPARE(texts(menu->actions()), QStringLiteral("Import Files|Extract Files|Delete Files").split(u'|'));
        page.miImport();
        page.miDelete();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(prompt.questions().isEmpty());

        // Docs and a file inside it: the file is copied once, with Docs.
        const QString target = testsupport::makeTempDir(QStringLiteral("virtual"));
        QVERIFY(writeFile(target + QStringLiteral("/a.txt"), "an older copy"));
        select(page, {docs, row(page, QStringLiteral("x.txt"), docs), row(page, QStringLiteral("a.txt"))});
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 3 files."));
        page.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(target), QStringLiteral("Docs/Inner/y.txt|Docs/x.txt|a.txt").split(u'|'));
        QCOMPARE(testsupport::readFile(target + QStringLiteral("/a.txt")), QByteArray("small a"));
        QVERIFY(QDir(target + QStringLiteral("/Docs/Inner/loop")).exists());

        // A file where the folder should go fails the extraction by name.
        const QString blocked = testsupport::makeTempDir(QStringLiteral("blocked"));
        QVERIFY(writeFile(blocked + QStringLiteral("/Docs"), "a file"));
        select(page, {docs});
        prompt.answerDirectory(blocked);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("%1/Docs is not a folder.").arg(blocked));
        page.miExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(blocked), QStringList {QStringLiteral("Docs")});
    }
};

QTEST_MAIN(TestFileSysPage)
#include "test_filesyspage.moc"
