// The voicemail page as the registry builds it: empty with its four
// headers, records given to its model listed as they come, column widths,
// a double click that only asks for a folder, and a screenshot.
#include "views/organiser/organiserpages.h"
#include "views/organiser/voicemailmainform.h"

#include "shell/mytreeview.h"
#include "shell/pageregistry.h"
#include "shell/scriptedprompt.h"

#include "pagetest.h"

#include <QDirIterator>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QtTest>

namespace {

VoicemailRecord voicemail(const QString& name, const QString& sender, int duration, qint64 date)
{
    VoicemailRecord v;
    v.name = name;
    v.sender = sender;
    v.duration = duration;
    v.date = QDateTime::fromSecsSinceEpoch(date);
    v.extra = 42;
    return v;
}

} // namespace

class TestVoicemailPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initPageTests(); }
    void cleanup() { cleanupPage(); }

    void registry_buildsAnEmptyPage_thatListsWhatItIsGiven()
    {
        PageRegistry pages;
        registerOrganiserPages(pages);
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Voice"));
        ScriptedPrompt prompt;
        std::unique_ptr<AbsMainForm> built(pages.create(NAV_VOICEMAIL, backup, devicesRoot(), nullptr));
        auto* page = qobject_cast<VoicemailMainForm*>(built.get());
        QVERIFY(page);
        ItemModelVoicemail& model = *page->voicemailModel();
        checkModel(&model);
        QCOMPARE(model.rowCount(), 0);
        QStringList headers;
        for (int i = 0; i < model.columnCount(); ++i)
            headers << model.headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringLiteral("Name|Date|Sender|Duration").split(u'|'));
        QCOMPARE(page->countLabel()->text(), QStringLiteral("Total: 0"));
        QVERIFY(page->createToolbarActions().isEmpty());

        // Given records keep their order; only the first column has the picture.
        model.setVoicemails({voicemail(QStringLiteral("Late"), QStringLiteral("+4930111"), 75, 1700000000),
                             voicemail(QStringLiteral("Early"), QStringLiteral("Anna"), 0, 1600000000)});
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Late"));
        QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("+4930111"));
        QCOMPARE(model.index(0, 3).data().toString(), QStringLiteral("75 s"));
        QCOMPARE(model.index(1, 3).data(Qt::ToolTipRole).toString(), QStringLiteral("0 s"));
        QCOMPARE(model.index(1, 0).data(Qt::DecorationRole).value<QPixmap>().width(), 18);
        QVERIFY(!model.index(1, 1).data(Qt::DecorationRole).isValid());
        QCOMPARE(model.index(1, 1).data(Qt::SizeHintRole).toSize(), QSize(0, 25));

        // Columns follow the width; a double click, a context menu request
        // and the toolbar export only ask for a folder and write nothing.
        page->resize(823, 360);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page));
        const QHeaderView* header = page->listView()->header();
        // (The last column also takes what is left of the view.)
        QCOMPARE((QList<int> {header->sectionSize(0), header->sectionSize(1), header->sectionSize(2)}),
                 (QList<int> {240, 200, 200}));
        QVERIFY(header->sectionSize(3) >= 160);
        const QString folder = testsupport::makeTempDir(QStringLiteral("voicemail"));
        prompt.answerDirectory(folder);
        prompt.answerDirectory(QString());
        page->voicemailDbClick(model.index(0, 1));
        page->contextMenu();
        page->miToolbarExport();
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().first().dir, QDir::homePath());
        QVERIFY(QDir(folder).isEmpty());

        page->listView()->selectionModel()->select(model.index(1, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(page->grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/voicemail_page.png")));
    }
};

QTEST_MAIN(TestVoicemailPage)
#include "test_voicemailpage.moc"
