// The music and ringtones page end to end against simulated phones: the
// list read on every visit, Extract with a file that is empty and one whose
// path cannot be asked for, Import (the offer line, a declined file, the
// list read again), phone-to-phone transfer between two phones (the bytes,
// a target that declines everything, one that stalls), a virtual device's
// text file and local files, and a screenshot.
#include "views/media/mediapages.h"
#include "views/media/musicmainform.h"

#include "shell/mytreeview.h"
#include "shell/pageregistry.h"
#include "shell/scriptedprompt.h"

#include "mediafixture.h"
#include "pagetest.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTimeZone>
#include <QtTest>

using mediatest::MediaFile;
using phonesim::Fault;

namespace {

constexpr int kMusic = 17;
constexpr int kRingtones = 19;

QJsonObject device(const QString& model, const QString& uid)
{
    QJsonObject d = testsupport::defaultDevice();
    d.insert(QStringLiteral("model"), model);
    d.insert(QStringLiteral("uid"), uid);
    return d;
}

// A song of 70,000 bytes (three blocks of 32 KiB), an empty one and one
// whose path holds a line feed; one ringtone.
QList<MediaFile> phoneMedia()
{
    return {
        {QStringLiteral("music"), QStringLiteral("/sdcard/Music/Café.mp3"), mediatest::bytes(70000, 1), 1700000000, {}},
        {QStringLiteral("music"), QStringLiteral("/sdcard/Music/empty.mp3"), QByteArray(), 1700000100, {}},
        {QStringLiteral("music"), QStringLiteral("/sdcard/Music/odd\nname.mp3"), "x", 1700000200, {}},
        {QStringLiteral("ringtones"), QStringLiteral("/sdcard/Ringtones/Bell.ogg"), "ring", 1700000300, {}}};
}

bool writeFile(const QString& path, const QByteArray& data, qint64 secs = 1325376000)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.flush())
        return false;
    return f.setFileTime(QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc()), QFileDevice::FileModificationTime);
}

QByteArray stored(const testsupport::SimPhone& phone, const QString& path)
{
    QByteArray data("<none>");
    phone.sim->files().read(path, &data);
    return data;
}

// The lines of the service's first restore session, from "$uid:" to "$bye:".
QList<QByteArray> restoreLines(const testsupport::SimPhone& phone, const QString& service)
{
    const QList<QByteArray> all = phone.sim->linesReceived(service);
    const qsizetype first = all.indexOf("$uid:");
    return first < 0 ? QList<QByteArray>() : all.mid(first, all.indexOf("$bye:", first) - first + 1);
}

} // namespace

class TestMusicPage : public testsupport::PageTest {
    Q_OBJECT

    using Page = MusicMainForm;

    // Each phone on its own address; sources on 127.0.141.x, targets on
    // 127.0.142.x.
    std::unique_ptr<testsupport::SimPhone> startPhone(const QString& net, const QList<MediaFile>& files,
                                                      QJsonObject options = {})
    {
        const int n = m_next++;
        options.insert(QStringLiteral("device"),
                       device(QStringLiteral("Phone %1").arg(n), QStringLiteral("uid-music-%1").arg(n)));
        options.insert(QStringLiteral("blockSize"), 32768);
        QJsonObject fixture = mediatest::fixture(files, options);
        // Durations for the list.
        QJsonObject media = fixture.value(QStringLiteral("media")).toObject();
        QJsonArray music = media.value(QStringLiteral("music")).toArray();
        for (qsizetype i = 0; i < music.size(); ++i) {
            QJsonObject m = music.at(i).toObject();
            m.insert(QStringLiteral("duration"), 59 + 186 * int(i));
            music.replace(i, m);
        }
        media.insert(QStringLiteral("music"), music);
        fixture.insert(QStringLiteral("media"), media);
        return std::make_unique<testsupport::SimPhone>(QStringLiteral("127.0.%1.%2").arg(net).arg(n), fixture);
    }

    int m_next = 10;

private Q_SLOTS:
    void initTestCase() { initPageTests(); }
    void cleanup() { cleanupPage(); }

    void phone_listsOnEveryVisit_extractsAndNamesWhatItCannot()
    {
        auto phone = startPhone(QStringLiteral("141"), phoneMedia());
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        _AndroidDeviceItemNode* node = addPhone(*phone);
        ScriptedPrompt prompt;
        {
            Page first(kMusic, node, devicesRoot());
            QCOMPARE(prompt.questions().size(), 1);
            QCOMPARE(prompt.questions().first().text, QStringLiteral("ProgressForm"));
        }
        Page page(kMusic, node, devicesRoot());
        checkModel(page.musicModel());
        QCOMPARE(phone->loads(QStringLiteral("music")), 2);
        QCOMPARE(column(*page.musicModel(), 0), QStringList({"Café.mp3", "empty.mp3", "odd\nname.mp3"}));
        QCOMPARE(column(*page.musicModel(), 2), QStringList({"0' 59''", "4' 5''", "7' 11''"}));
        QCOMPARE(column(*page.musicModel(), 3), QStringList({"68 KB", "0 KB", "0 KB"}));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:3"));

        // Everything, nothing selected: the empty song too; the path with a
        // line feed is named.
        const QString target = testsupport::makeTempDir(QStringLiteral("all"));
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 files."));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("These entries were not extracted:\nodd\\nname.mp3"));
        page.miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(target), QStringList({"Café.mp3", "empty.mp3"}));
        QVERIFY(testsupport::readFile(target + QStringLiteral("/Café.mp3")) == mediatest::bytes(70000, 1));
        QCOMPARE(QFileInfo(target + QStringLiteral("/empty.mp3")).size(), 0);

        // A double click extracts its row into a folder made for it.
        const QString deeper = testsupport::makeTempDir(QStringLiteral("one")) + QStringLiteral("/new/inner");
        prompt.answerDirectory(deeper);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 files."));
        page.dbClicked(page.musicModel()->index(1, 0));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(deeper), QStringList({"empty.mp3"}));

        // The ringtones page lists the ringtones.
        Page ringtones(kRingtones, node, devicesRoot());
        QCOMPARE(column(*ringtones.musicModel(), 0), QStringList({"Bell.ogg"}));
        QCOMPARE(texts(ringtones.createToolbarActions()),
                 QStringList({"Transfer Android Ringtones to other Android", "Extract Ringtones", "Import Ringtones"}));

        // The screenshot goes to the build folder.
        page.resize(794, 360);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        selectRows(page.listView(), {1});
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(page.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/music_page.png")));
    }

    // The offer is "$music:" with the Base64 name, the time and a trailing
    // comma; a declined file gets no data and does not count; the list is
    // read again afterwards, the music list for music, the ringtones list
    // for ringtones.
    void import_offersEachFile_declinedGetsNoData_thenReloads()
    {
        const QString base = testsupport::makeTempDir(QStringLiteral("import"));
        const QByteArray song = mediatest::bytes(40000, 3);
        QVERIFY(writeFile(base + QStringLiteral("/Ä.mp3"), song, 1325376000));
        QVERIFY(writeFile(base + QStringLiteral("/no.mp3"), "declined", 1325376001));
        QVERIFY(writeFile(base + QStringLiteral("/zero.mp3"), QByteArray(), 1325376002));
        auto phone = startPhone(QStringLiteral("141"), {},
                                {{QStringLiteral("declineMedia"), QJsonArray {QStringLiteral("no.mp3")}}});
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        _AndroidDeviceItemNode* node = addPhone(*phone);

        ScriptedPrompt prompt;
        Page page(kMusic, node, devicesRoot());
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:0"));
        prompt.answerOpenFiles(
            {base + QStringLiteral("/Ä.mp3"), base + QStringLiteral("/no.mp3"), base + QStringLiteral("/zero.mp3")});
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully transferred 2 Songs to Android."));
        page.miImport();
        VERIFY_SCRIPT_DONE(prompt);
        const ScriptedPrompt::Question asked = prompt.questions().at(1);
        QCOMPARE(asked.filter, QStringLiteral("Audios (*.mid *.m4a *.wav *.wma *.mp2 *.mp3)"));

        const QList<QByteArray> expected {"$uid:",
                                          "$device:",
                                          "$music:" + QStringLiteral("Ä.mp3").toUtf8().toBase64() + ",1325376000,",
                                          "$file:",
                                          "$block:40000",
                                          ".",
                                          "$music:" + QByteArray("no.mp3").toBase64() + ",1325376001,",
                                          "$music:" + QByteArray("zero.mp3").toBase64() + ",1325376002,",
                                          "$file:",
                                          ".",
                                          "$bye:"};
        // The simulator reads on its own thread: "$bye:" may come after the job ended.
        QTRY_COMPARE(restoreLines(*phone, QStringLiteral("music")), expected);
        QTRY_VERIFY2(phone->verdict(1).isEmpty(), qPrintable(phone->verdict(1)));
        QVERIFY(stored(*phone, QStringLiteral("/sdcard/Music/Ä.mp3")) == song);
        QCOMPARE(phone->loads(QStringLiteral("music")), 2);
        QCOMPARE(column(*page.musicModel(), 0), QStringList({"Ä", "zero"}));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:2"));

        // A ringtone: the next dialog opens where the last import was; only
        // the ringtones list is read again.
        Page ringtones(kRingtones, node, devicesRoot());
        prompt.answerOpenFiles({base + QStringLiteral("/zero.mp3")});
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully transferred 1 Ringtones to Android."));
        ringtones.miImport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().at(prompt.questions().size() - 4).dir, base);
        QCOMPARE(phone->loads(QStringLiteral("ringtones")), 2);
        QCOMPARE(phone->loads(QStringLiteral("music")), 2);
        QCOMPARE(column(*ringtones.musicModel(), 0), QStringList({"zero"}));

        // No file chosen: nothing is sent.
        prompt.answerOpenFiles({});
        ringtones.miImport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(phone->store->completedSessions(QStringLiteral("ringtones")), 1);
    }

    // The target stores the source's bytes, the empty song too; a song whose
    // path cannot be asked for is named; a target that declines everything
    // is reported as having taken nothing; one that stalls is cancelled.
    void transfer_toAnotherPhone_storesTheSourcesBytes()
    {
        auto source = startPhone(QStringLiteral("141"), phoneMedia());
        auto target = startPhone(QStringLiteral("142"), {});
        auto declining = startPhone(QStringLiteral("142"), {}, {{QStringLiteral("declineMedia"), true}});
        auto stalling = startPhone(QStringLiteral("142"), {});
        for (const auto* p : {source.get(), target.get(), declining.get(), stalling.get()})
            QVERIFY2(p->ok(), qPrintable(p->error));
        _AndroidDeviceItemNode* node = addPhone(*source);
        _AndroidDeviceItemNode* targetNode = addPhone(*target);
        addPhone(*declining);
        addPhone(*stalling);

        ScriptedPrompt prompt;
        Page page(kMusic, node, devicesRoot());
        QCOMPARE(enabledStates(page.createToolbarActions()), (QList<bool> {true, true, true}));
        QCOMPARE(page.source().transferTargets().size(), 3);
        QVERIFY(!page.source().transferTargets().contains(node));

        selectRows(page.listView(), {0, 1});
        std::unique_ptr<QMenu> menu(page.createContextMenu());
        QCOMPARE(texts(menu->actions()),
                 QStringList({"Transfer selected Songs to other Android", "Extract selected Songs"}));
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully transferred 2 Songs."));
        page.miA2A();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(stored(*target, QStringLiteral("/sdcard/Music/Café.mp3")) == mediatest::bytes(70000, 1));
        QCOMPARE(stored(*target, QStringLiteral("/sdcard/Music/empty.mp3")), QByteArray());
        QTRY_VERIFY2(target->verdict(1).isEmpty(), qPrintable(target->verdict(1)));
        QCOMPARE(column(*Page(kMusic, targetNode, devicesRoot()).musicModel(), 0), QStringList({"Café", "empty"}));

        // The line feed: the others go, the job names it.
        selectRows(page.listView(), {2, 1});
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("1 of 2 files were transferred to Android. These files "
                                            "were not sent, because their paths hold a line "
                                            "break:\n/sdcard/Music/odd\\nname.mp3"));
        page.miA2A();
        VERIFY_SCRIPT_DONE(prompt);

        page.listView()->selectionModel()->clearSelection();
        prompt.answerDeviceChoice(declining->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("0 of 3 files"));
        page.miToolbarA2A();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(declining->store->records(QStringLiteral("music")).size(), 2);
        QVERIFY(!declining->sim->files().contains(QStringLiteral("/sdcard/Music/Café.mp3")));

        // Steps on the target's session: 1 ready, 2 the offer's "1", 3 the
        // first block's ".": it never answers the second block.
        stalling->sim->addFault(Fault(Fault::Kind::StallAt, QStringLiteral("restore:music"), 3));
        selectRows(page.listView(), {0});
        prompt.answerDeviceChoice(stalling->device.deviceId());
        const qint64 took = cancelProgressWhen(
            &page, [&] { return stalling->sim->linesReceived(QStringLiteral("music")).contains("$block:32768"); },
            [&] { page.miA2A(); });
        QVERIFY2(took >= 0 && took < 2000, qPrintable(QString::number(took)));
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(!stalling->sim->files().contains(QStringLiteral("/sdcard/Music/Café.mp3")));
        stalling->sim->releaseStalls();
    }

    // A virtual device's list is its text file; Extract copies the files of
    // its folder found by title and names the others; Import and Transfer
    // are off and no phone is asked anything.
    void virtualDevice_readsItsTextFile_andExtractsItsOwnFiles()
    {
        auto phone = startPhone(QStringLiteral("141"), phoneMedia());
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        addPhone(*phone);
        QString folder;
        _AndroidDeviceItemNode* device = addVirtualDevice(QStringLiteral("Old Rocket"), &folder);
        QVERIFY(writeFile(folder + QStringLiteral("/music.txt"),
                          "Song A;2012-1-2 3:4:5;2048;245\r\nOnly title\nBad numbers;soon;big;-4;extra\nSong "
                          "A.mp3;;1023;59\n\nAfter the blank;2012-1-1 0:0:0;1;1\n"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/music")));
        QVERIFY(writeFile(folder + QStringLiteral("/music/Song A.mp3"), "local song"));
        const int connectionsBefore = int(phone->sim->connections().size());

        ScriptedPrompt prompt;
        PageRegistry pages;
        registerMediaPages(pages);
        std::unique_ptr<AbsMainForm> built(pages.create(NAV_RINGTONES, device, devicesRoot(), nullptr));
        QCOMPARE(qobject_cast<Page*>(built.get())->kind(), kRingtones);
        QCOMPARE(qobject_cast<Page*>(built.get())->countLabel()->text(), QStringLiteral("Total:0"));
        built.reset(pages.create(NAV_MUSIC, device, devicesRoot(), nullptr));
        auto* page = qobject_cast<Page*>(built.get());
        QCOMPARE(page->kind(), kMusic);
        QVERIFY(prompt.questions().isEmpty());

        const ItemModelMusic& model = *page->musicModel();
        QCOMPARE(column(model, 0), QStringList({"Song A", "Only title", "Bad numbers", "Song A.mp3"}));
        QCOMPARE(column(model, 2), QStringList({"4' 5''", "0' 0''", "0' 0''", "0' 59''"}));
        QCOMPARE(column(model, 3), QStringList({"2 KB", "0 KB", "0 KB", "0 KB"}));
        QVERIFY(!column(model, 1).at(0).isEmpty());
        QCOMPARE(column(model, 1).mid(1, 2), QStringList({"", ""}));
        QCOMPARE(model.index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 255, 255));
        QCOMPARE(model.index(1, 3).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(242, 246, 249));
        QCOMPARE(model.index(1, 2).data(Qt::SizeHintRole).toSize(), QSize(0, 28));

        QCOMPARE(enabledStates(page->createToolbarActions()), (QList<bool> {false, true, false}));
        page->miImport();
        page->miToolbarA2A();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(prompt.questions().isEmpty());

        const QString target = testsupport::makeTempDir(QStringLiteral("virtual"));
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 files."));
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("These entries were not extracted:\nOnly title\nBad numbers"));
        page->miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(target), QStringList({"Song A.mp3"}));
        QCOMPARE(testsupport::readFile(target + QStringLiteral("/Song A.mp3")), QByteArray("local song"));
        QCOMPARE(int(phone->sim->connections().size()), connectionsBefore);
    }
};

QTEST_MAIN(TestMusicPage)
#include "test_musicpage.moc"
