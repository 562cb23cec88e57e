// The bubble view in a real web view, offscreen: hostile data stays inert
// with page scripts off, clicks come back to the manager, nothing reaches
// for the network, paging scrolls to the chosen message, pages too large
// for setHtml render from a file, and a screenshot of the messages page
// with bubbles, a date line, a picture, a contact card and emoji.
//
// The web engine starts slowly: the cases share one view per function.
#include "views/messages/bubbleviewmgr.h"
#include "views/messages/smsmainform.h"

#include "formats/messageassets.h"
#include "message_testdata.h"
#include "messagefixtures.h"
#include "pagetest.h"
#include "shell/core/dataroot.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"
#include "views/messages/itemmodelsmshandle.h"

#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtTest>

using messagefixtures::kBase;

namespace {

// The web engine answers through many round trips of the GUI thread's event
// loop; the waits below run a real loop (QTest's polling waits sleep
// between passes and make every page load take seconds).
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Runs a script in the application's world (page scripts stay off) and
// returns its result.
QVariant evaluate(QWebEnginePage* page, const QString& script)
{
    QVariant result;
    bool done = false;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!waitUntil([&] { return done; }))
        qWarning("script timed out: %s", qPrintable(script));
    return result;
}

bool waitLoaded(QSignalSpy& spy, int count = 1)
{
    if (!waitUntil([&] { return spy.size() >= count; }, 30000))
        return false;
    return spy.at(count - 1).first().toBool();
}

// Pixels of the view (every second one) that show the page's background,
// and those that show anything else (bubbles, text).
std::pair<int, int> colours(QWidget* view)
{
    const QImage shot = view->grab().toImage();
    int background = 0;
    int other = 0;
    for (int y = 0; y < shot.height(); y += 2) {
        for (int x = 0; x < shot.width(); x += 2) {
            if (shot.pixelColor(x, y) == QColor(0xDB, 0xE2, 0xED))
                ++background;
            else
                ++other;
        }
    }
    return {background, other};
}

const char* const kEventAttributes
    = "Array.from(document.querySelectorAll('*')).filter(function(e){return Array.from(e.attributes)"
      ".some(function(a){return a.name.indexOf('on')===0;});}).length";

} // namespace

class TestBubbleView : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        messageassets::setApplicationFolder(testsupport::appBinDir());
        m_files = testsupport::makeTempDir(QStringLiteral("files"));
    }

    void cleanup() { cleanupPage(); }

    void hostileData_inert_clicksDelegated_noRemoteLoads_pagingScrolls()
    {
        MessageSet s;
        auto* evil = s.handle(QStringLiteral("+4930666"), QStringLiteral("\"><img src=x onerror=alert(1)>"));
        auto* other = s.handle(QStringLiteral("+4930777"), QStringLiteral("<script>alert(2)</script>"));
        auto* g = s.chat(QStringLiteral("chat66"), {evil, other}, kBase);
        for (int i = 0; i < 130; ++i) {
            auto* m = s.message(g, i % 2 ? evil : other, i % 5 == 0,
                                i % 2 ? QStringLiteral("<script>document.title='owned'</script> %1").arg(i)
                                      : QStringLiteral("\"><img src=x onerror=\"document.title='owned'\"> %1").arg(i),
                                kBase + i * 90);
            m->subject = i == 0 ? QStringLiteral("<b onclick=alert(3)>subject</b>") : QString();
        }
        auto* withFiles = s.messages.at(1).get();
        s.attach(withFiles, QStringLiteral("video/mp4"),
                 writeFile(m_files + QStringLiteral("/javascript:alert(4).mp4"), "v"));
        s.attach(withFiles, QStringLiteral("image/jpeg"),
                 writePicture(m_files + QStringLiteral("/x\"><img src=y onerror=alert(5)>.jpg"), Qt::green));

        QWebEngineView view;
        view.resize(600, 400);
        view.show();
        BubbleViewMgr mgr;
        mgr.setView(&view);
        BubblePage* page = mgr.page();
        QCOMPARE(view.page(), page);
        QVERIFY(!page->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
        QVERIFY(!page->settings()->testAttribute(QWebEngineSettings::PluginsEnabled));
        QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
        mgr.showBubble(s.list());
        QVERIFY(waitLoaded(loaded));
        QCOMPARE(mgr.pageFile(), QString());

        // The data is text: no script element, no event attribute, no title
        // change; the texts read as they were sent.
        QCOMPARE(evaluate(page, QStringLiteral("document.getElementsByTagName('script').length")).toInt(), 0);
        QCOMPARE(evaluate(page, QString::fromLatin1(kEventAttributes)).toInt(), 0);
        QCOMPARE(evaluate(page, QStringLiteral("document.title")).toString(), QStringLiteral("Bubble"));
        const QString text = evaluate(page, QStringLiteral("document.body.innerText")).toString();
        QVERIFY(text.contains(QStringLiteral("<script>document.title='owned'</script> 1")));
        QVERIFY(text.contains(QStringLiteral("\"><img src=x onerror=\"document.title='owned'\"> 0")));
        QVERIFY(text.contains(QStringLiteral("<Subject:<b onclick=alert(3)>subject</b>>")));
        QVERIFY(text.contains(QStringLiteral("\"><img src=x onerror=alert(1)>")));
        // The style sheet and the bubble pictures came from the program's folder.
        QCOMPARE(evaluate(page, QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
                 QStringLiteral("rgb(219, 226, 237)"));

        // Even a script of the page itself does not run.
        QSignalSpy own(&view, &QWebEngineView::loadFinished);
        page->setHtml(QStringLiteral("<html><head><title>t</title><script>document.title='ran'</script></head>"
                                     "<body onload=\"document.title='ran'\">x</body></html>"),
                      BubbleViewMgr::baseUrl());
        QVERIFY(waitLoaded(own));
        QCOMPARE(evaluate(page, QStringLiteral("document.title")).toString(), QStringLiteral("t"));

        // Nothing reaches for the network, even a page that asks to.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QSignalSpy remote(&view, &QWebEngineView::loadFinished);
        page->setHtml(QStringLiteral("<html><body><img src=\"http://127.0.0.1:%1/x.png\">"
                                     "<link rel=stylesheet href=\"http://127.0.0.1:%1/s.css\"></body></html>")
                          .arg(server.serverPort()),
                      BubbleViewMgr::baseUrl());
        QVERIFY(waitLoaded(remote));
        QCoreApplication::processEvents();
        QVERIFY(!server.hasPendingConnections());

        // Only the manager's own loads navigate; a click comes back as a link.
        QSignalSpy clicked(page, &BubblePage::linkClicked);
        const QUrl file = QUrl::fromLocalFile(m_files + QStringLiteral("/a.jpg"));
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("can not find"));
        QVERIFY(!page->acceptNavigationRequest(file, QWebEnginePage::NavigationTypeLinkClicked, true));
        QCOMPARE(clicked.size(), 1);
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(!page->acceptNavigationRequest(file, QWebEnginePage::NavigationTypeReload, true));
        QVERIFY(!page->acceptNavigationRequest(file, QWebEnginePage::NavigationTypeBackForward, true));
        QVERIFY(!page->acceptNavigationRequest(QUrl(QStringLiteral("http://127.0.0.1/")),
                                               QWebEnginePage::NavigationTypeTyped, true));
        QVERIFY(page->acceptNavigationRequest(file, QWebEnginePage::NavigationTypeTyped, true));

        // Back to the conversation; the "next page" link clicked in the page
        // turns the page through the manager.
        loaded.clear();
        mgr.firstPage();
        QVERIFY(waitLoaded(loaded));
        clicked.clear();
        evaluate(page, QStringLiteral("document.querySelector('a[href=\"/next_page\"]').click(); 1"));
        QVERIFY(waitUntil([&] { return mgr.currentPage() == 2; }));
        QCOMPARE(clicked.size(), 1);
        QVERIFY(waitLoaded(loaded, 2));

        // Message 121 lies on page 3: it loads and scrolls there; message 111
        // is on the same page: it scrolls without loading again.
        mgr.scrollToPos(120);
        QCOMPARE(mgr.currentPage(), 3);
        QVERIFY(waitLoaded(loaded, 3));
        auto anchorTop = [&](int row) {
            return evaluate(page,
                            QStringLiteral("document.getElementsByName('sms_%1')[0].getBoundingClientRect().top")
                                .arg(s.messages.at(row)->ROWID))
                .toDouble();
        };
        QVERIFY(waitUntil([&] { return qAbs(anchorTop(120)) < 2 && page->scrollPosition().y() > 0; }));
        mgr.scrollToPos(110);
        QVERIFY(waitUntil([&] { return qAbs(anchorTop(110)) < 2; }));
        QCOMPARE(loaded.size(), 3);
    }

    // A page over the setHtml limit is written to a file and still shows,
    // style sheet and all: a 5 MB text attachment, a 10 MB message.
    void pagesOverTheLimit_renderFromAFile()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930111"));
        auto* chat = s.chat(h->id, {h}, kBase);
        auto* attached = s.message(chat, h, false, QStringLiteral("see the log \U0001F604"), kBase);
        QByteArray fiveMb;
        for (int i = 0; fiveMb.size() < 5 * 1024 * 1024; ++i)
            fiveMb += "line " + QByteArray::number(i) + ": <b>bold</b> & <i>more</i>\n";
        s.attach(attached, QStringLiteral("text/plain"), writeFile(m_files + QStringLiteral("/long.txt"), fiveMb));
        auto* huge = s.message(chat, nullptr, true, QString(10 * 1024 * 1024, QLatin1Char('w')), kBase + 100);

        QWebEngineView view;
        view.resize(500, 400);
        view.show();
        BubbleViewMgr mgr;
        mgr.setView(&view);
        QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
        int loads = 0;
        for (_MsgMessage* m : {attached, huge}) {
            mgr.showBubble({m});
            QVERIFY(waitLoaded(loaded, ++loads));
            // The attachment's page is over the limit (its text is escaped
            // and percent-encoded); the message's, cut to a bubble's worth
            // of plain letters, is not.
            const QString file = mgr.pageFile();
            if (m == attached) {
                QVERIFY(file.startsWith(privateTempDir().absolutePath()));
                QCOMPARE(mgr.page()->url(), QUrl::fromLocalFile(file));
            } else {
                QCOMPARE(file, QString());
            }
            QVERIFY(evaluate(mgr.page(), QStringLiteral("document.body.innerText.length")).toInt()
                    > BubbleViewMgr::kMaxBubbleText);
            QCOMPARE(evaluate(mgr.page(), QStringLiteral("document.querySelectorAll('.bb1, .bb2').length")).toInt(),
                     m == attached ? 2 : 1);
            QCOMPARE(evaluate(mgr.page(), QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
                     QStringLiteral("rgb(219, 226, 237)"));
            QVERIFY(waitUntil([&] { return colours(&view).first > 100 && colours(&view).second > 1000; }));
        }
        // The emoji picture of the page from a file resolved in the
        // program's folder; a new page file replaces the last one.
        mgr.showBubble({attached});
        QVERIFY(waitLoaded(loaded, ++loads));
        const QString previous = mgr.pageFile();
        mgr.showBubble({attached});
        QVERIFY(waitLoaded(loaded, ++loads));
        QVERIFY(!QFile::exists(previous));
        QVERIFY(QFile::exists(mgr.pageFile()));
        QVERIFY(evaluate(mgr.page(), QStringLiteral("document.querySelector('img').naturalWidth")).toInt() > 0);
        mgr.showBubble({});
        QVERIFY(waitLoaded(loaded, ++loads));
        QVERIFY(mgr.pageFile().isEmpty());
    }

    void screenshot_conversationWithPictureCardAndEmoji()
    {
        MessageSet s;
        auto* dana = s.handle(QStringLiteral("+4930123456"), QStringLiteral("Dana"));
        auto* chat = s.chat(dana->id, {dana}, kBase + 400);
        s.message(chat, dana, false, QStringLiteral("Are you at the beach already? \U0001F60A"), kBase);
        s.message(chat, nullptr, true, QStringLiteral("Yes! Here is the view \u2600\uFE0F"), kBase + 30);
        auto* picture = s.message(chat, nullptr, true, QString(), kBase + 40);
        QImage beach(320, 200, QImage::Format_RGB32);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                beach.setPixelColor(x, y, y < 110 ? QColor(90, 160, 230) : QColor(230, 200, 140));
        beach.save(m_files + QStringLiteral("/beach.jpg"), "JPEG");
        s.attach(picture, QStringLiteral("image/jpeg"), m_files + QStringLiteral("/beach.jpg"))->filename
            = QStringLiteral("~/Library/SMS/Attachments/ab/cd/beach.jpg");
        s.message(chat, dana, false, QStringLiteral("Lovely \U0001F60D Send me Ravi's number?"), kBase + 300);
        auto* card = s.message(chat, nullptr, true, QStringLiteral("Here you go"), kBase + 400);
        s.attach(card, QStringLiteral("text/x-vCard"),
                 writeFile(m_files + QStringLiteral("/Ravi.vcf"),
                           "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ravi Kumar\r\nORG:Harbour Lab\r\n"
                           "TEL;TYPE=CELL:+49 30 555 0199\r\nEMAIL:ravi@example.org\r\nEND:VCARD\r\n"))
            ->filename
            = QStringLiteral("~/Library/SMS/Attachments/ef/01/Ravi.vcf");
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Holiday"));
        messagefixtures::writeStore(backup->dir.absolutePath(), s);

        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        VERIFY_SCRIPT_DONE(prompt);
        page.resize(900, 980);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QSignalSpy loaded(page.webView(), &QWebEngineView::loadFinished);
        page.conversationView()->setCurrentIndex(page.conversationModel()->index(0, 0));
        QVERIFY(waitLoaded(loaded, loaded.size() ? loaded.size() : 1));
        QCOMPARE(page.conversationLabel()->text(), QStringLiteral("Dana"));
        QWebEnginePage* web = page.webView()->page();
        // The picture, the card and the emoji all loaded.
        QVERIFY(waitUntil([&] {
            return evaluate(web,
                            QStringLiteral("Array.from(document.images).filter(function(i){return !i.complete || "
                                           "i.naturalWidth===0;}).length"))
                       .toInt()
                == 0;
        }));
        // The thumbnail and the card, and the emoji pictures.
        QCOMPARE(evaluate(web, QStringLiteral("document.querySelectorAll('a img').length")).toInt(), 2);
        QVERIFY(evaluate(web, QStringLiteral("document.querySelectorAll('img[src^=\"emoji/\"]').length")).toInt() >= 2);
        QCOMPARE(evaluate(web, QStringLiteral("document.querySelectorAll('.dt').length")).toInt(), 3);
        QVERIFY(waitUntil([&] { return colours(page.webView()).second > 5000; }));
        const QString shots = testsupport::binaryDir() + QStringLiteral("/screenshots");
        QDir().mkpath(shots);
        QVERIFY(page.grab().save(shots + QStringLiteral("/messages_page.png")));
    }

private:
    QString m_files;
};

QTEST_MAIN(TestBubbleView)
#include "test_bubbleview.moc"
