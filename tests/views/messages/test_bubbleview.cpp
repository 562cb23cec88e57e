// The bubble view in a real web view, offscreen, scripts off: a screenshot
// of the messages page with bubbles, date lines, a picture, a contact card
// and emoji; hostile names, texts, subjects and file names staying inert; a
// click coming back to the manager; nothing reaching for the network; pages
// too large for setHtml rendering from a file. The web engine starts
// slowly: everything shares the page's view.
#include "views/messages/smsmainform.h"

#include "formats/messageassets.h"
#include "messagefixtures.h"
#include "pagetest.h"
#include "scriptedprompt.h"
#include "shell/mytreeview.h"
#include "views/messages/bubbleviewmgr.h"
#include "views/messages/itemmodelsmshandle.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QtTest>

namespace {

// The engine answers through many round trips of the GUI thread's event
// loop: the waits run a real loop (QTest's waits sleep between passes and
// make every load take seconds).
bool waitUntil(const std::function<bool()>& done, int timeoutMs = testsupport::kHangGuardMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// A script's result, run in the application's world (page scripts are off).
QVariant evaluate(QWebEnginePage* page, const char* script)
{
    auto result = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(QString::fromUtf8(script), QWebEngineScript::ApplicationWorld,
                        [result](const QVariant& v) { *result = v; });
    waitUntil([&] { return result->has_value(); });
    return result->value_or(QVariant());
}

// Starts a load once the page is idle and waits until a load succeeded.
bool loadAndWait(QWebEnginePage* page, const std::function<void()>& load)
{
    QSignalSpy done(page, &QWebEnginePage::loadFinished);
    if (!waitUntil([&] { return !page->isLoading(); }))
        return false;
    done.clear();
    load();
    return waitUntil([&] { return !done.isEmpty() && done.last().first().toBool(); });
}

// Whether the view shows the page's background (its style sheet applied)
// and more than minOther pixels of anything else (every third pixel looked at).
bool rendered(QWidget* view, int minOther)
{
    const QImage shot = view->grab().toImage();
    int background = 0;
    int other = 0;
    for (int y = 0; y < shot.height(); y += 3) {
        for (int x = 0; x < shot.width(); x += 3)
            ++(shot.pixelColor(x, y) == QColor(0xDB, 0xE2, 0xED) ? background : other);
    }
    return background > 100 && other > minOther;
}

} // namespace

class TestBubbleView : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        PageTest::initTestCase();
        messageassets::setApplicationFolder(testsupport::appBinDir());
    }

    void page_screenshot_hostileDataInert_bigPagesRenderFromAFile()
    {
        const QString files = testsupport::makeTempDir(QStringLiteral("files"));
        MessageSet dana;
        messagefixtures::load(dana, QStringLiteral("dana.json"), files);
        _LocalDbItemNode* backup = addBackup(QStringLiteral("Holiday"));
        messagefixtures::writeStore(backup->dir.absolutePath(), dana);
        testsupport::UrlRecorder opened;
        ScriptedPrompt prompt;
        SMSMainForm page(backup, devicesRoot());
        page.resize(900, 980);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QWebEnginePage* web = page.webView()->page();
        QVERIFY(
            loadAndWait(web, [&] { page.conversationView()->setCurrentIndex(page.conversationModel()->index(0, 0)); }));
        // Three date lines; the thumbnail, the card and the emoji pictures
        // all loaded.
        QCOMPARE(evaluate(web, "document.querySelectorAll('.dt').length").toInt(), 3);
        QCOMPARE(
            evaluate(web, "Array.from(document.images).filter(function(i){return !i.naturalWidth;}).length").toInt(),
            0);
        QCOMPARE(evaluate(web, "document.querySelectorAll('a img').length").toInt(), 2);
        QVERIFY(evaluate(web, "document.querySelectorAll('img[src^=\"emoji/\"]').length").toInt() >= 2);
        QVERIFY(waitUntil([&] { return rendered(page.webView(), 5000); }));
        const QString shots = testsupport::binaryDir() + QStringLiteral("/screenshots");
        QDir().mkpath(shots);
        QVERIFY(page.grab().save(shots + QStringLiteral("/messages_page.png")));

        // Hostile names, texts, subjects and file names are text: no script
        // element, no event attribute. A click on the film's link comes back
        // to the manager, which hands the file to the desktop.
        MessageSet hostile;
        messagefixtures::load(hostile, QStringLiteral("hostile.json"),
                              testsupport::makeTempDir(QStringLiteral("hostile #%?")));
        QVERIFY(loadAndWait(web, [&] { page.bubbleView()->showBubble(hostile.list()); }));
        QCOMPARE(evaluate(web, "document.getElementsByTagName('script').length").toInt(), 0);
        QCOMPARE(evaluate(web,
                          "Array.from(document.querySelectorAll('*')).filter(function(e){return Array.from("
                          "e.attributes).some(function(a){return a.name.indexOf('on')===0;});}).length")
                     .toInt(),
                 0);
        QVERIFY(evaluate(web, "document.body.innerText")
                    .toString()
                    .contains(QStringLiteral("<Subject:\"><img src=x onerror=alert(2)>>")));
        evaluate(web, "document.querySelector('a[href$=\".mp4\"]').click(); 1");
        QVERIFY(waitUntil([&] { return opened.urls.size() == 1; }));
        QCOMPARE(opened.urls.first().fileName(), QStringLiteral("javascript:alert(6).mp4"));

        // A page's own script does not run; nothing reaches for the network.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QVERIFY(loadAndWait(web, [&] {
            web->setHtml(QStringLiteral("<html><head><title>t</title><script>document.title='ran'</script></head>"
                                        "<body onload=\"document.title='ran'\"><img src=\"http://127.0.0.1:%1/x.png\">"
                                        "<link rel=stylesheet href=\"http://127.0.0.1:%1/s.css\"></body></html>")
                             .arg(server.serverPort()),
                         BubbleViewMgr::baseUrl());
        }));
        QCOMPARE(evaluate(web, "document.title").toString(), QStringLiteral("t"));
        QVERIFY(!server.hasPendingConnections());

        // A page over the setHtml limit comes from a file in the private
        // temporary folder, style sheet and emoji resolved in the program's
        // folder: a 5 MB text attachment. A 10 MB message, cut to a
        // bubble's worth of letters, stays below the limit.
        QByteArray fiveMb;
        for (int i = 0; fiveMb.size() < 5 * 1024 * 1024; ++i)
            fiveMb += "line " + QByteArray::number(i) + ": <b>bold</b> & <i>more</i>\n";
        _MsgChat* chat = dana.chats.front().get();
        auto* attached = dana.message(chat, nullptr, true, QStringLiteral("see the log \U0001F604"), 0);
        dana.attach(attached, QStringLiteral("text/plain"), writeFile(files + QStringLiteral("/long.txt"), fiveMb));
        auto* huge = dana.message(chat, nullptr, true, QString(10 * 1024 * 1024, QLatin1Char('w')), 0);
        for (_MsgMessage* m : {attached, huge}) {
            QVERIFY(loadAndWait(web, [&] { page.bubbleView()->showBubble({m}); }));
            QCOMPARE(page.bubbleView()->pageFile().startsWith(messageassets::privateTempDir().absolutePath()),
                     m == attached);
            QVERIFY(evaluate(web, "document.body.innerText.length").toInt() > BubbleViewMgr::kMaxBubbleText);
            if (m == attached)
                QVERIFY(evaluate(web, "document.querySelector('img[src*=\"emoji/\"]').naturalWidth").toInt() > 0);
            QVERIFY(waitUntil([&] { return rendered(page.webView(), 1000); }));
        }
        // Choosing a message scrolls to it, by a script of the application's
        // world (the page's own scripts stay off).
        QVERIFY(loadAndWait(web, [&] { page.bubbleView()->showBubble({attached, huge}); }));
        page.bubbleView()->scrollToPos(1);
        QVERIFY(waitUntil([&] { return web->scrollPosition().y() > 1000; }));
    }
};

QTEST_MAIN(TestBubbleView)
#include "test_bubbleview.moc"
