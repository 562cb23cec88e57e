// The voicemail page as the registry builds it: empty, records given to its
// model listed as they come, and a screenshot.
#include "views/organiser/organiserpages.h"
#include "views/organiser/voicemailmainform.h"

#include "shell/pageregistry.h"

#include "organisertest.h"
#include "pagetest.h"

#include <QLabel>
#include <QtTest>

class TestVoicemailPage : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void registry_buildsAnEmptyPage_thatListsWhatItIsGiven()
    {
        PageRegistry pages;
        registerOrganiserPages(pages);
        std::unique_ptr<AbsMainForm> built(
            pages.create(NAV_VOICEMAIL, addBackup(QStringLiteral("Voice")), devicesRoot(), nullptr));
        auto* page = qobject_cast<VoicemailMainForm*>(built.get());
        QVERIFY(page);
        ItemModelVoicemail& model = *page->voicemailModel();
        checkModel(&model);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(page->countLabel()->text(), QStringLiteral("Total: 0"));
        VoicemailRecord late;
        late.name = QStringLiteral("Late");
        VoicemailRecord early;
        early.name = QStringLiteral("Early");
        model.setVoicemails({late, early});
        QCOMPARE(column(model, 0), QStringLiteral("Late|Early").split(u'|'));
        // Names and senders that look like markup show as written in the
        // tool tips.
        VoicemailRecord markup;
        markup.name = QStringLiteral("<b>Late</b>");
        markup.sender = QStringLiteral("<img src=x.png>+4930");
        model.setVoicemails({markup});
        for (int col = 0; col < model.columnCount(); ++col)
            QCOMPARE(shownToolTips(model, col), column(model, col));
        model.setVoicemails({late, early});

        CHECKED(organisertest::screenshot(*page, {823, 360}, QStringLiteral("voicemail_page.png")));
    }
};

QTEST_MAIN(TestVoicemailPage)
#include "test_voicemailpage.moc"
