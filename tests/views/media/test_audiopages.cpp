// The music, ringtones and recordings pages end to end against simulated
// phones: the music list read on every visit; Extract with an empty file,
// a path that cannot be asked for and a recording without a file, named;
// Import counting only what the phone took and reading the list again;
// phone-to-phone transfer; a virtual device's text file and local files.
// (The offer lines, the relay's faults and cancelling a stalled phone are
// the jobs' tests.)
#include "views/media/musicmainform.h"
#include "views/media/recordingmainform.h"

#include "mediapagetest.h"

using mediapage::startPhone;
using mediapage::writeFile;
using mediatest::MediaFile;

namespace {

constexpr int kMusic = 17;
constexpr int kRingtones = 19;

// A song of 70,000 bytes, an empty one and one whose path holds a line
// feed; one ringtone; two recordings, one empty.
const QList<MediaFile> phoneMedia {{"music", "/sdcard/Music/Café.mp3", mediatest::bytes(70000, 1), 1700000000, {}},
                                   {"music", "/sdcard/Music/empty.mp3", QByteArray(), 1700000100, {}},
                                   {"music", "/sdcard/Music/odd\nname.mp3", "x", 1700000200, {}},
                                   {"ringtones", "/sdcard/Ringtones/Bell.ogg", "ring", 1700000300, {}},
                                   {"recordings", "/sdcard/Recordings/a.amr", QByteArray(100000, 'a'), 0, {}},
                                   {"recordings", "/sdcard/Recordings/b.amr", QByteArray(), 0, {}}};

RecordingRecord recording(const QString& path, qint64 date)
{
    RecordingRecord r;
    r.path = path;
    r.date = QDateTime::fromSecsSinceEpoch(date);
    return r;
}

} // namespace

class TestAudioPages : public testsupport::PageTest {
    Q_OBJECT

    using Page = MusicMainForm;

private Q_SLOTS:
    // Each visit reads the music list again. Extract of everything brings
    // the empty song too and names the path with a line feed. Transfer to
    // another phone stores the source's bytes, the empty song too.
    void musicAndRecordings_listEveryVisit_extractAndTransfer()
    {
        auto phone = startPhone(141, 10, phoneMedia);
        auto target = startPhone(142, 10, {});
        QVERIFY2(phone->ok() && target->ok(), qPrintable(phone->error + target->error));
        _AndroidDeviceItemNode* node = addPhone(*phone);
        _AndroidDeviceItemNode* targetNode = addPhone(*target);
        ScriptedPrompt prompt;
        Page(kMusic, node, devicesRoot()); // the first visit; page is the second
        Page page(kMusic, node, devicesRoot());
        checkModel(page.musicModel());
        QCOMPARE(phone->loads("music"), 2);
        QCOMPARE(column(*page.musicModel(), 0), QStringList({"Café.mp3", "empty.mp3", "odd\nname.mp3"}));

        const QString extracted = testsupport::makeTempDir("all");
        prompt.answerDirectory(extracted);
        prompt.answerMessage(QMessageBox::Ok, "Successfully extracted 2 files.");
        prompt.answerMessage(QMessageBox::Ok, "These entries were not extracted:\nodd\\nname.mp3");
        CHECKED(triggerAction(page, "Extract Music"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(extracted), QStringList({"Café.mp3", "empty.mp3"}));
        QVERIFY(testsupport::readFile(extracted + "/Café.mp3") == mediatest::bytes(70000, 1));

        QCOMPARE(column(*Page(kRingtones, node, devicesRoot()).musicModel(), 0), QStringList({"Bell.ogg"}));

        QCOMPARE(page.source().transferTargets(), QList<_AndroidDeviceItemNode*> {targetNode});
        selectRows(page.listView(), {0, 1});
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, "Successfully transferred 2 Songs.");
        CHECKED(triggerMenuAction(page, "Transfer selected Songs to other Android"));
        VERIFY_SCRIPT_DONE(prompt);
        QByteArray song, empty("<none>");
        QVERIFY(target->sim->files().read("/sdcard/Music/Café.mp3", &song) && song == mediatest::bytes(70000, 1));
        QVERIFY(target->sim->files().read("/sdcard/Music/empty.mp3", &empty) && empty.isEmpty());
        QTRY_VERIFY2_WITH_TIMEOUT(target->verdict(1).isEmpty(), qPrintable(target->verdict(1)),
                                  testsupport::kHangGuardMs);
        QCOMPARE(column(*Page(kMusic, targetNode, devicesRoot()).musicModel(), 0), QStringList({"Café", "empty"}));
        selectRows(page.listView(), {1});
        QVERIFY(mediapage::screenshot(page, QSize(794, 360), "music_page"));

        // Recordings come only through the setter: their files download,
        // the empty one too; one without a file (named by its date) or with
        // a line feed in its path is named.
        auto recordings = mediapage::registeredPage<RecordingMainForm>(NAV_RECORDING, node, devicesRoot());
        QVERIFY(recordings);
        checkModel(recordings->recordingModel());
        recordings->setRecordings({recording("/sdcard/Recordings/a.amr", 1700000000), recording(QString(), 1700000100),
                                   recording("/sdcard/Recordings/b.amr", 1700000200),
                                   recording("/sdcard/odd\nrec.amr", 3)});
        const QString undated = column(*recordings->recordingModel(), 0).at(1);
        const QString memos = testsupport::makeTempDir("recordings");
        prompt.answerDirectory(memos);
        prompt.answerMessage(QMessageBox::Ok, "Successfully extracted 2 files.");
        prompt.answerMessage(QMessageBox::Ok, "These entries were not extracted:\n" + undated + "\nodd\\nrec.amr");
        CHECKED(triggerAction(*recordings, "Extract Recording"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(memos), QStringList({"a.amr", "b.amr"}));
        QCOMPARE(testsupport::readFile(memos + "/a.amr"), QByteArray(100000, 'a'));
    }

    // Extract on the music page gives the download one node per song,
    // labelled with its title and, when the title holds no ".", the suffix
    // of its path; the node's name stays its file's. A path without a
    // suffix (a dot in a folder's name is none) leaves a bare dot.
    void music_downloadNodes_labelTheTitleWithThePathsSuffix()
    {
        const auto song = [](const QString& title, const QString& path) {
            MusicRecord r;
            r.title = title;
            r.path = path;
            return r;
        };
        const QList<MediaExtract::File> files = MusicMainForm::downloadFiles(
            {song("Track 1", "/sdcard/Music/a.mp3"), song("a.b", "/sdcard/Music/a.mp3"), song("x", "/sdcard/Music/x"),
             song("Mix", "/sdcard/My.Music/mix"), song("Tape", "/sdcard/Music/t.tar.gz")});
        QStringList labels;
        for (const MediaExtract::File& file : files) {
            const std::unique_ptr<_RemoteFile> node = MediaExtract::downloadNode(file);
            QVERIFY(!node->isDir && !node->parent && node->children.isEmpty());
            QCOMPARE(node->path, file.path);
            labels.append(node->label);
        }
        QCOMPARE(labels, QStringList({"Track 1.mp3", "a.b", "x.", "Mix.", "Tape.gz"}));
        QCOMPARE(MediaExtract::downloadNode(files.first())->name, QStringLiteral("a.mp3"));
    }

    // Song and recording names that look like markup show as written in the
    // tool tips.
    void markupNames_showAsWrittenInToolTips()
    {
        auto phone = startPhone(141, 20, {{"music", "/sdcard/Music/<i>Hit <img src=x.png>.mp3", "x", 1700000000, {}}});
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        _AndroidDeviceItemNode* node = addPhone(*phone);
        ScriptedPrompt prompt;
        Page music(kMusic, node, devicesRoot());
        RecordingMainForm recordings(node, devicesRoot());
        recordings.setRecordings({recording("/sdcard/Recordings/<b>memo<b>.amr", 1700000000)});
        for (const QAbstractItemModel* model :
             std::initializer_list<const QAbstractItemModel*> {music.musicModel(), recordings.recordingModel()}) {
            QCOMPARE(model->rowCount(), 1);
            QVERIFY(column(*model, 0).first().startsWith(u'<'));
            for (int col = 0; col < model->columnCount(); ++col)
                QCOMPARE(shownToolTips(*model, col), column(*model, col));
        }
    }

    // A declined file does not count; the music list is read again
    // afterwards, and after a ringtone only the ringtones.
    void music_importCountsWhatThePhoneTook_thenReloads()
    {
        const QString base = testsupport::makeTempDir("import");
        QVERIFY(writeFile(base + "/Ä.mp3", mediatest::bytes(40000, 3)) && writeFile(base + "/no.mp3", "declined"));
        QVERIFY(writeFile(base + "/zero.mp3", QByteArray()));
        auto phone = startPhone(141, 11, {}, {{"declineMedia", QJsonArray {"no.mp3"}}});
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        _AndroidDeviceItemNode* node = addPhone(*phone);
        ScriptedPrompt prompt;
        Page page(kMusic, node, devicesRoot());
        prompt.answerOpenFiles({base + "/Ä.mp3", base + "/no.mp3", base + "/zero.mp3"});
        prompt.answerMessage(QMessageBox::Ok, "Successfully transferred 2 Songs to Android.");
        CHECKED(triggerAction(page, "Import Music"));
        VERIFY_SCRIPT_DONE(prompt);
        QTRY_VERIFY2_WITH_TIMEOUT(phone->verdict(1).isEmpty(), qPrintable(phone->verdict(1)),
                                  testsupport::kHangGuardMs);
        QCOMPARE(column(*page.musicModel(), 0), QStringList({"Ä", "zero"}));

        Page ringtones(kRingtones, node, devicesRoot());
        prompt.answerOpenFiles({base + "/zero.mp3"});
        prompt.answerMessage(QMessageBox::Ok, "Successfully transferred 1 Ringtones to Android.");
        CHECKED(triggerAction(ringtones, "Import Ringtones"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(phone->loads("ringtones"), 2);
        QCOMPARE(phone->loads("music"), 2);
        QCOMPARE(column(*ringtones.musicModel(), 0), QStringList({"zero"}));
    }

    // A virtual device's list is its text file (lines short of fields or
    // with bad numbers, CR LF, a blank line); Extract copies the files of
    // its folder found by title and names the others; Import and Transfer
    // are off and no phone is asked anything.
    void music_virtualDevice_readsItsTextFile_andExtractsItsOwnFiles()
    {
        auto phone = startPhone(141, 13, phoneMedia);
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        addPhone(*phone);
        QString folder;
        _AndroidDeviceItemNode* device = addVirtualDevice("Old Rocket", &folder);
        QVERIFY(writeFile(folder + "/music.txt",
                          "Song A;2012-1-2 3:4:5;2048;245\r\nOnly title\nBad numbers;soon;big;"
                          "-4;extra\nSong A.mp3;;1023;59\n\nAfter the blank;2012-1-1 0:0:0;1;1\n"));
        QVERIFY(QDir().mkpath(folder + "/music") && writeFile(folder + "/music/Song A.mp3", "local song"));
        const qsizetype connectionsBefore = phone->sim->connections().size();
        ScriptedPrompt prompt;
        const auto page = mediapage::registeredPage<Page>(NAV_MUSIC, device, devicesRoot());
        QCOMPARE(page->kind(), kMusic);
        const ItemModelMusic& model = *page->musicModel();
        QCOMPARE(column(model, 0), QStringList({"Song A", "Only title", "Bad numbers", "Song A.mp3"}));
        QCOMPARE(column(model, 2), QStringList({"4' 5''", "0' 0''", "0' 0''", "0' 59''"}));
        QCOMPARE(column(model, 3), QStringList({"2 KB", "0 KB", "0 KB", "0 KB"}));
        QVERIFY(!column(model, 1).at(0).isEmpty());
        QCOMPARE(column(model, 1).mid(1, 2), QStringList({"", ""}));
        QCOMPARE(enabledStates(page->createToolbarActions()), (QList<bool> {false, true, false}));
        // The slots' own guards: both actions are disabled here.
        page->miImport();
        page->miToolbarA2A();
        QVERIFY(prompt.questions().isEmpty());

        const QString target = testsupport::makeTempDir("virtual");
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, "Successfully extracted 2 files.");
        prompt.answerMessage(QMessageBox::Ok, "These entries were not extracted:\nOnly title\nBad numbers");
        CHECKED(triggerAction(*page, "Extract Music"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(target), QStringList({"Song A.mp3"}));
        QCOMPARE(testsupport::readFile(target + "/Song A.mp3"), QByteArray("local song"));
        QCOMPARE(phone->sim->connections().size(), connectionsBefore);
    }
};

QTEST_MAIN(TestAudioPages)
#include "test_audiopages.moc"
