// The recordings page, filled through its setter: the list's texts, Extract
// from a simulated phone (an empty file, a path that cannot be asked for, a
// recording without a file, an empty list) and from a virtual device's
// local files.
#include "views/media/mediapages.h"
#include "views/media/recordingmainform.h"

#include "shell/mytreeview.h"
#include "shell/pageregistry.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QtTest>

namespace {

RecordingRecord recording(const QString& path, qint64 date, int duration)
{
    RecordingRecord r;
    r.path = path;
    r.date = QDateTime::fromSecsSinceEpoch(date);
    r.duration = duration;
    return r;
}

QJsonObject file(const QString& name, const QByteArray& data)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("base64"), QString::fromLatin1(data.toBase64())}};
}

} // namespace

class TestRecordingsPage : public testsupport::PageTest {
    Q_OBJECT

    using Page = RecordingMainForm;

private Q_SLOTS:
    void initTestCase() { initPageTests(); }
    void cleanup() { cleanupPage(); }

    void phone_listsWhatItIsGiven_andExtractsThroughTheDownload()
    {
        const QJsonObject recordings {{QStringLiteral("name"), QStringLiteral("Recordings")},
                                      {QStringLiteral("children"),
                                       QJsonArray {file(QStringLiteral("a.amr"), QByteArray(100000, 'a')),
                                                   file(QStringLiteral("b.amr"), QByteArray())}}};
        const QJsonObject fixture {
            {QStringLiteral("files"),
             QJsonObject {{QStringLiteral("name"), QStringLiteral("/")},
                          {QStringLiteral("children"),
                           QJsonArray {QJsonObject {{QStringLiteral("name"), QStringLiteral("sdcard")},
                                                    {QStringLiteral("children"), QJsonArray {recordings}}}}}}}};
        testsupport::SimPhone phone(QStringLiteral("127.0.145.1"), fixture);
        QVERIFY2(phone.ok(), qPrintable(phone.error));

        ScriptedPrompt prompt;
        PageRegistry pages;
        registerMediaPages(pages);
        std::unique_ptr<AbsMainForm> built(pages.create(NAV_RECORDING, addPhone(phone), devicesRoot(), nullptr));
        auto* page = qobject_cast<Page*>(built.get());
        QVERIFY(page);
        checkModel(page->recordingModel());
        QVERIFY(prompt.questions().isEmpty());
        QCOMPARE(page->recordingModel()->rowCount(), 0);

        // Nothing to extract: the folder question, nothing further.
        prompt.answerDirectory(testsupport::makeTempDir(QStringLiteral("none")));
        page->miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(phone.sim->linesReceived(QStringLiteral("download")).isEmpty());

        const QList<RecordingRecord> records {recording(QStringLiteral("/sdcard/Recordings/a.amr"), 1700000000, 65),
                                              recording(QString(), 1700000100, 0),
                                              recording(QStringLiteral("/sdcard/Recordings/b.amr"), 1700000200, 3),
                                              recording(QStringLiteral("/sdcard/odd\nrec.amr"), 1700000300, 1)};
        page->setRecordings(records);
        QCOMPARE(page->countLabel()->text(), QStringLiteral("Total:4"));
        const ItemModelRecording& model = *page->recordingModel();
        const QString undated = QLocale::system().toString(records.at(1).date, QLocale::ShortFormat);
        QCOMPARE(column(model, 0), QStringList({"a.amr", undated, "b.amr", "odd\nrec.amr"}));
        QCOMPARE(column(model, 1).at(1), undated);
        QCOMPARE(column(model, 2), QStringList({"65 s", "0 s", "3 s", "1 s"}));
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Duration"));
        QCOMPARE(texts(page->createToolbarActions()), QStringList {QStringLiteral("Extract Recording")});
        QVERIFY(!page->createContextMenu());
        selectRows(page->listView(), {2});
        std::unique_ptr<QMenu> menu(page->createContextMenu());
        QCOMPARE(texts(menu->actions()), QStringList {QStringLiteral("Extract Recording")});

        // Everything: the two files arrive, the others are named.
        page->listView()->selectionModel()->clearSelection();
        const QString target = testsupport::makeTempDir(QStringLiteral("all"));
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 files."));
        prompt.answerMessage(QMessageBox::Ok,
                             QStringLiteral("These entries were not extracted:\n%1\nodd\\nrec.amr").arg(undated));
        page->miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(target), QStringList({"a.amr", "b.amr"}));
        QCOMPARE(testsupport::readFile(target + QStringLiteral("/a.amr")), QByteArray(100000, 'a'));

        // A double click extracts its row.
        const QString one = testsupport::makeTempDir(QStringLiteral("one"));
        prompt.answerDirectory(one);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 files."));
        page->recordingDoubleClicked(model.index(2, 1));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(one), QStringList {QStringLiteral("b.amr")});
    }

    // A virtual device's recordings are local files: those that exist are
    // copied, a missing one is named, no phone is asked.
    void virtualDevice_copiesItsLocalFiles()
    {
        QString folder;
        _AndroidDeviceItemNode* device = addVirtualDevice(QStringLiteral("Old Rocket"), &folder);
        QFile kept(folder + QStringLiteral("/memo.amr"));
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("memo") == 4);
        kept.close();
        ScriptedPrompt prompt;
        Page page(device, devicesRoot());
        page.setRecordings({recording(folder + QStringLiteral("/memo.amr"), 1700000000, 4),
                            recording(folder + QStringLiteral("/gone.amr"), 1700000001, 5)});
        const QString target = testsupport::makeTempDir(QStringLiteral("virtual"));
        prompt.answerDirectory(target);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 files."));
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("These entries were not extracted:\ngone.amr"));
        page.miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(target), QStringList {QStringLiteral("memo.amr")});
        QCOMPARE(testsupport::readFile(target + QStringLiteral("/memo.amr")), QByteArray("memo"));
    }
};

QTEST_MAIN(TestRecordingsPage)
#include "test_recordingspage.moc"
