// The bubble view in a real web view, offscreen, scripts off: a screenshot
// of the messages page with bubbles, date lines, a picture, a contact card
// and emoji; hostile names, texts, subjects and file names staying inert; a
// click coming back to the manager; nothing reaching for the network; pages
// too large for setHtml rendering from a file. The thumbnails of large
// photos: the stand-in first, then the thumbnails made on workers, never
// on the window's thread, for a page set and a page loaded from a file;
// fifty thumbnails coming at different times into the page loaded once,
// the view and a selection kept; a page left or a view gone while a
// thumbnail is made stops it, and another document in the view is left
// alone. The web engine starts slowly: the tests are few and do much each.
#include "views/messages/smsmainform.h"

#include "decodewatch.h"
#include "formats/messageassets.h"
#include "messagefixtures.h"
#include "pagetest.h"
#include "photowriter.h"
#include "pictures/pictureloader.h"
#include "scriptedprompt.h"
#include "shell/mytreeview.h"
#include "views/messages/bubbleviewmgr.h"
#include "views/messages/itemmodelsmshandle.h"

#include <QBuffer>
#include <QEventLoop>
#include <QScopeGuard>
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
QVariant evaluate(QWebEnginePage* page, const QString& script)
{
    auto result = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [result](const QVariant& v) { *result = v; });
    waitUntil([&] { return result->has_value(); });
    return result->value_or(QVariant());
}

QVariant evaluate(QWebEnginePage* page, const char* script)
{
    return evaluate(page, QString::fromUtf8(script));
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

// Whether every picture of the page has loaded.
bool allPicturesLoaded(QWebEnginePage* page)
{
    return evaluate(page, "Array.from(document.images).every(function(i){return i.complete && i.naturalWidth;})")
        .toBool();
}

// The pictures of the bubbles with pictures, in order: "src naturalWidth x
// naturalHeight" each.
QStringList bubblePictures(QWebEnginePage* page)
{
    return evaluate(page,
                    "Array.from(document.querySelectorAll('a img')).map(function(i){"
                    "return i.getAttribute('src') + ' ' + i.naturalWidth + 'x' + i.naturalHeight;})")
        .toStringList();
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
        // Once the page shows the thumbnail and the card, made meanwhile.
        QVERIFY(waitUntil([&] { return page.bubbleView()->showsAllPictures(); }));
        // Three date lines; the thumbnail, the card and the emoji pictures
        // all loaded.
        QCOMPARE(evaluate(web, "document.querySelectorAll('.dt').length").toInt(), 3);
        QVERIFY(waitUntil([&] { return allPicturesLoaded(web); }));
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
        QVERIFY(waitUntil([&] { return page.bubbleView()->showsAllPictures(); }));
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

    // Photos as a common editor writes them (4000 x 3000, progressive,
    // colour at full resolution), as a 108 MP camera does (baseline) and a
    // 48 MP PNG: the page shows the stand-in while their decodes wait at
    // the gate, then their thumbnails, made on workers; the window's thread
    // decodes nothing. A page too large for setHtml, loaded from a file,
    // gets its thumbnails the same way, loaded once, and keeps where it was
    // scrolled to.
    void largePhotos_standInFirst_thenThumbnailsMadeOffTheWindowThread()
    {
        const QString files = testsupport::makeTempDir(QStringLiteral("photos"));
        MessageSet set;
        _MsgHandle* ann = set.handle(QStringLiteral("+4930555"), QStringLiteral("Ann"));
        _MsgChat* chat = set.chat(ann->id, {ann}, messagefixtures::kBase);
        const auto photo = [&](const QString& name, const char* mime, const QByteArray& bytes) {
            _MsgMessage* m = set.message(chat, ann, false, QString(), messagefixtures::kBase);
            writeFile(files + QLatin1Char('/') + name, bytes);
            return set.attach(m, QLatin1String(mime), files + QLatin1Char('/') + name);
        };
        photo(QStringLiteral("editor.jpg"), "image/jpeg", photowriter::smoothJpeg(4000, 3000, true, true));
        photo(QStringLiteral("camera.jpg"), "image/jpeg", photowriter::smoothJpeg(12000, 9000, false, false));
        photo(QStringLiteral("big.png"), "image/png", photowriter::smoothPng(8000, 6000));

        QWebEngineView view;
        view.resize(600, 500);
        BubbleViewMgr mgr;
        mgr.setView(&view);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QWebEnginePage* web = view.page();
        decodewatch::Decodes& decodes = decodewatch::watch(true);
        QVERIFY(loadAndWait(web, [&] { mgr.showBubble(set.list()); }));
        const QString standIn = QStringLiteral("bubble/empty_photo.jpg 120x90");
        QCOMPARE(bubblePictures(web), QStringList(3, standIn));
        QVERIFY(!mgr.showsAllPictures());
        decodewatch::open();
        QVERIFY(waitUntil([&] { return mgr.showsAllPictures(); }));
        QVERIFY(waitUntil([&] { return allPicturesLoaded(web); }));
        const QStringList shown = bubblePictures(web);
        QCOMPARE(shown.size(), 3);
        for (const QString& picture : shown)
            QVERIFY2(picture.endsWith(QStringLiteral(".thumb 120x90")), qPrintable(picture));
        QCOMPARE(decodes.began.load(), 3);
        QCOMPARE(decodes.onWindowThread.load(), 0);

        // Too large for setHtml: a 5 MB text beside smaller photos, the
        // page scrolled down before their thumbnails come.
        QByteArray fiveMb;
        for (int i = 0; fiveMb.size() < 5 * 1024 * 1024; ++i)
            fiveMb += "line " + QByteArray::number(i) + "\n";
        _MsgMessage* log = set.message(chat, ann, true, QString(), messagefixtures::kBase);
        set.attach(log, QStringLiteral("text/plain"), writeFile(files + QStringLiteral("/log.txt"), fiveMb));
        MsgMessageList large = {log};
        for (int i = 0; i < 2; ++i) {
            large << set.message(chat, ann, false, QString(), messagefixtures::kBase);
            set.attach(large.last(), QStringLiteral("image/jpeg"),
                       writePicture(files + QStringLiteral("/small%1.jpg").arg(i), QColor(200, 40 * i, 90)));
        }
        decodewatch::watch(true);
        QSignalSpy started(web, &QWebEnginePage::loadStarted);
        QVERIFY(loadAndWait(web, [&] { mgr.showBubble(large); }));
        QVERIFY(mgr.pageFile().startsWith(messageassets::privateTempDir().absolutePath()));
        QCOMPARE(bubblePictures(web).size(), 2);
        for (const QString& picture : bubblePictures(web))
            QVERIFY2(picture.endsWith(QStringLiteral("/bubble/empty_photo.jpg 120x90")), qPrintable(picture));
        evaluate(web, "window.scrollTo(0, 4000); 1");
        QVERIFY(waitUntil([&] { return web->scrollPosition().y() > 3000; }));
        decodewatch::open();
        QVERIFY(waitUntil([&] { return mgr.showsAllPictures(); }));
        QVERIFY(waitUntil([&] { return allPicturesLoaded(web); }));
        QVERIFY(mgr.pageFile().startsWith(messageassets::privateTempDir().absolutePath()));
        for (const QString& picture : bubblePictures(web))
            QVERIFY2(picture.endsWith(QStringLiteral(".thumb 120x90")), qPrintable(picture));
        QCOMPARE(evaluate(web, "window.scrollY").toInt(), 4000);
        QCOMPARE(started.size(), 1);
        QCOMPARE(decodes.onWindowThread.load(), 0);
        decodewatch::unwatch();
    }

    // Fifty new photos of four shapes (thumbnails as tall as the stand-in,
    // taller and shorter) and a contact card with a photo near the top, the
    // view scrolled to the middle of the page and a text selected there
    // while every decode waits: the pictures come seventeen at a time and
    // each takes its stand-in's place, the card its link's, in the page
    // loaded once. The text at the top of the view stays where it is and
    // selected, though what is above it changes height.
    void fiftyNewPhotos_pageLoadsOnce_eachPictureTakesItsStandInsPlace()
    {
        const QString files = testsupport::makeTempDir(QStringLiteral("fifty"));
        MessageSet set;
        _MsgHandle* cy = set.handle(QStringLiteral("+4930777"), QStringLiteral("Cy"));
        _MsgChat* chat = set.chat(cy->id, {cy}, messagefixtures::kBase);
        const QSize shapes[] = {{320, 240}, {240, 320}, {240, 240}, {320, 160}};
        const QString thumbnails[]
            = {QStringLiteral("120x90"), QStringLiteral("90x120"), QStringLiteral("120x120"), QStringLiteral("120x60")};
        QStringList expected;
        for (int i = 0; i < BubbleViewMgr::kPageSize; ++i) {
            _MsgMessage* m
                = set.message(chat, cy, i % 2 == 0, QStringLiteral("note %1").arg(i), messagefixtures::kBase + 120 * i);
            QImage photo(shapes[i % 4], QImage::Format_RGB32);
            photo.fill(QColor(220, 20, 20));
            const QString path = files + QStringLiteral("/photo%1.jpg").arg(i);
            QVERIFY(photo.save(path, "JPEG"));
            set.attach(m, QStringLiteral("image/jpeg"), path);
            expected << QStringLiteral(".thumb ") + thumbnails[i % 4];
            if (i == 3) {
                QByteArray face;
                QBuffer buffer(&face);
                QVERIFY(buffer.open(QIODevice::WriteOnly) && photo.save(&buffer, "JPEG"));
                set.attach(m, QStringLiteral("text/x-vCard"),
                           writeFile(files + QStringLiteral("/card.vcf"),
                                     "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cy Card\r\nPHOTO;ENCODING=b:" + face.toBase64()
                                         + "\r\nEND:VCARD\r\n"));
                expected << QStringLiteral(".jpg 200x90");
            }
        }

        QWebEngineView view;
        view.resize(600, 500);
        BubbleViewMgr mgr;
        mgr.setView(&view);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QWebEnginePage* web = view.page();
        QSignalSpy started(web, &QWebEnginePage::loadStarted);
        decodewatch::Decodes& decodes = decodewatch::watch(true);
        const auto unwatch = qScopeGuard([] { decodewatch::unwatch(); });
        QVERIFY(loadAndWait(web, [&] { mgr.showBubble(set.list()); }));
        QCOMPARE(bubblePictures(web),
                 QStringList(BubbleViewMgr::kPageSize, QStringLiteral("bubble/empty_photo.jpg 120x90")));
        QCOMPARE(evaluate(web, "document.querySelectorAll('a[href$=\".vcf\"] img').length").toInt(), 0);

        // The top of the view halfway down the bubble of photo 29 (its
        // thumbnail taller than the stand-in), the text bubbles "note 30"
        // and "note 31" below it selected.
        const QString note = QStringLiteral("Array.from(document.querySelectorAll('.bb1,.bb2')).find(function(b){"
                                            "return b.textContent==='note %1';})");
        QVERIFY(evaluate(web,
                         QStringLiteral("(function(){var p=document.querySelector('a[href$=\"/photo29.jpg\"]')"
                                        ".closest('div').getBoundingClientRect();"
                                        "window.scrollTo(0, window.scrollY + p.top + p.height / 2);"
                                        "var r=document.createRange();r.setStart(%1.lastChild,0);"
                                        "r.setEnd(%2.lastChild,7);var s=window.getSelection();"
                                        "s.removeAllRanges();s.addRange(r);return true;})()")
                             .arg(note.arg(30), note.arg(31)))
                    .toBool());
        // Where the view is, what is selected and where the selected text is.
        const QString where = QStringLiteral("(function(){var b=%1.getBoundingClientRect();"
                                             "return [window.scrollY, window.getSelection().toString(), b.top, "
                                             "b.bottom];})()")
                                  .arg(note.arg(30));
        const QVariantList before = evaluate(web, where).toList();
        QCOMPARE(before.size(), 4);
        QVERIFY(before.at(0).toInt() > 2000);
        QVERIFY2(before.at(1).toString().startsWith(QStringLiteral("note 30")), qPrintable(before.at(1).toString()));
        QVERIFY(before.at(1).toString().endsWith(QStringLiteral("note 31")));
        QVERIFY(before.at(2).toDouble() > 0 && before.at(2).toDouble() < 200);
        const auto placed = [&] {
            return evaluate(web,
                            "Array.from(document.querySelectorAll('a img')).filter(function(i){"
                            "return i.getAttribute('src') !== 'bubble/empty_photo.jpg';}).length")
                .toInt();
        };
        for (int round = 1; round <= 3; ++round) {
            decodewatch::decodes().gate.release(17);
            QVERIFY(waitUntil([&] { return placed() == 17 * round; }));
            QCOMPARE(started.size(), 1);
            const QVariantList now = evaluate(web, where).toList();
            QCOMPARE(now.mid(1), before.mid(1));
        }
        QVERIFY(waitUntil([&] { return mgr.showsAllPictures(); }));
        // Every picture shows, in a box of its own size.
        QVERIFY(waitUntil([&] {
            return evaluate(web,
                            "Array.from(document.querySelectorAll('a img')).every(function(i){return i.complete"
                            " && i.naturalWidth === i.width && i.naturalHeight === i.height;})")
                .toBool();
        }));
        const QStringList shown = bubblePictures(web);
        QCOMPARE(shown.size(), expected.size());
        for (qsizetype i = 0; i < shown.size(); ++i)
            QVERIFY2(shown.at(i).endsWith(expected.at(i)), qPrintable(shown.at(i)));
        // The page loaded once; the view did not move though the pictures
        // above it changed height, and the selection is as it was.
        QCOMPARE(started.size(), 1);
        const QVariantList after = evaluate(web, where).toList();
        QCOMPARE(after.mid(1), before.mid(1));
        QVERIFY(after.at(0).toInt() != before.at(0).toInt());
        QCOMPARE(decodes.began.load(), BubbleViewMgr::kPageSize + 1);
        QCOMPARE(decodes.onWindowThread.load(), 0);
    }

    // Other messages shown, or the view and then its manager gone, while a
    // thumbnail waits to decode: it stops, no thumbnail file is left, and
    // nothing comes of it. A thumbnail made while the view holds another
    // document than the page on show (the page as shown before) leaves that
    // document as it is, and takes its place once the page is back.
    void pageLeftOrViewGone_whileAThumbnailIsMade_stopsIt()
    {
        const QString files = testsupport::makeTempDir(QStringLiteral("left"));
        MessageSet set;
        _MsgHandle* bo = set.handle(QStringLiteral("+4930666"), QStringLiteral("Bo"));
        _MsgChat* chat = set.chat(bo->id, {bo}, messagefixtures::kBase);
        const auto photoMessage = [&](const QString& name) {
            _MsgMessage* m = set.message(chat, bo, false, QString(), messagefixtures::kBase);
            return set.attach(m, QStringLiteral("image/jpeg"),
                              writePicture(files + QLatin1Char('/') + name, QColor(10, 120, 30)));
        };
        const _MsgAttachment* left = photoMessage(QStringLiteral("left.jpg"));
        _MsgMessage* text = set.message(chat, bo, true, QStringLiteral("just text"), messagefixtures::kBase);
        const _MsgAttachment* stalePhoto = photoMessage(QStringLiteral("stale.jpg"));
        _MsgMessage* stale = set.messages.back().get();
        const _MsgAttachment* gone = photoMessage(QStringLiteral("gone.jpg"));

        auto view = std::make_unique<QWebEngineView>();
        auto mgr = std::make_unique<BubbleViewMgr>();
        mgr->setView(view.get());
        view->resize(600, 500);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        decodewatch::Decodes& decodes = decodewatch::watch(true);
        QVERIFY(loadAndWait(view->page(), [&] { mgr->showBubble({set.messages.front().get()}); }));
        QVERIFY(waitUntil([&] { return decodes.began == 1; }));
        QVERIFY(loadAndWait(view->page(), [&] { mgr->showBubble({text}); }));
        decodewatch::open();
        QVERIFY(PictureLoader::waitForWorkers(testsupport::kHangGuardMs));
        QCoreApplication::processEvents();
        QVERIFY(!QFile::exists(attachmentThumbnailPath(left)));
        QVERIFY(waitUntil([&] { return mgr->showsAllPictures(); }));

        decodewatch::watch(true);
        QVERIFY(loadAndWait(view->page(), [&] { mgr->showBubble({stale}); }));
        const QString before = mgr->pageHtml(1);
        QVERIFY(loadAndWait(view->page(), [&] { mgr->showBubble({stale}); }));
        const QString onShow = mgr->pageHtml(1);
        QVERIFY(loadAndWait(view->page(), [&] { view->page()->setHtml(before, BubbleViewMgr::baseUrl()); }));
        decodewatch::open();
        QVERIFY(PictureLoader::waitForWorkers(testsupport::kHangGuardMs));
        QCoreApplication::processEvents();
        QVERIFY(QFile::exists(attachmentThumbnailPath(stalePhoto)));
        QCOMPARE(bubblePictures(view->page()), QStringList(QStringLiteral("bubble/empty_photo.jpg 120x90")));
        QVERIFY(!mgr->showsAllPictures());
        QVERIFY(loadAndWait(view->page(), [&] { view->page()->setHtml(onShow, BubbleViewMgr::baseUrl()); }));
        QVERIFY(waitUntil([&] { return mgr->showsAllPictures() && allPicturesLoaded(view->page()); }));
        QVERIFY(bubblePictures(view->page()).first().endsWith(QStringLiteral(".thumb 120x90")));

        decodewatch::watch(true);
        QVERIFY(loadAndWait(view->page(), [&] { mgr->showBubble({set.messages.back().get()}); }));
        QVERIFY(waitUntil([&] { return decodes.began == 1; }));
        view.reset();
        decodewatch::open();
        QVERIFY(PictureLoader::waitForWorkers(testsupport::kHangGuardMs));
        QCoreApplication::processEvents();
        QVERIFY(!QFile::exists(attachmentThumbnailPath(gone)));
        decodewatch::watch(true);
        mgr->showBubble({set.messages.front().get()});
        QVERIFY(waitUntil([&] { return decodes.began == 1; }));
        mgr.reset();
        decodewatch::open();
        QVERIFY(PictureLoader::waitForWorkers(testsupport::kHangGuardMs));
        QCoreApplication::processEvents();
        QVERIFY(!QFile::exists(attachmentThumbnailPath(left)));
        QCOMPARE(decodes.onWindowThread.load(), 0);
        decodewatch::unwatch();
    }
};

QTEST_MAIN(TestBubbleView)
#include "test_bubbleview.moc"
