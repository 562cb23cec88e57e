// What the messages page is built from, without a web view or a phone: the
// bubble pages (paging, date lines, bubbles per text and attachment,
// hostile data read by an independent HTML parser, very large input), the
// message list, what a clicked link does, and the attachment extraction job
// (names kept inside a folder of its own, file times, cancel, failures
// reported).
#include "views/messages/attachmentextractthread.h"
#include "views/messages/bubbleviewmgr.h"
#include "views/messages/itemmodelsms.h"

#include "formats/messageassets.h"
#include "messagefixtures.h"
#include "scriptedprompt.h"
#include "shell/core/translations.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QtTest>

using messagefixtures::kBase;
using testsupport::filesBelow;

namespace {

// A page as a browser's tokenizer reads it (Python's html.parser, through
// data/htmlcheck.py): what it must never hold, its links, its text.
struct ParsedPage {
    QStringList problems;
    QStringList links;
    QString text;
};

ParsedPage parseHtml(const QString& html)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {testsupport::sourceDir() + QStringLiteral("/tests/views/messages/data/htmlcheck.py")});
    python.write(html.toUtf8());
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {{QStringLiteral("html.parser failed: ") + QString::fromUtf8(python.readAllStandardError())}, {}, {}};
    const QJsonObject out = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    return {out.value(QStringLiteral("problems")).toVariant().toStringList(),
            out.value(QStringLiteral("links")).toVariant().toStringList(),
            out.value(QStringLiteral("text")).toString()};
}

// Markup of each message on the page, in order (split at the anchors).
QStringList messageParts(const QString& page)
{
    return page.split(QStringLiteral("<a name=\"sms_")).mid(1);
}

// How many date lines each message of the page has.
QList<int> dateLines(const QString& page)
{
    QList<int> lines;
    for (const QString& part : messageParts(page))
        lines << int(part.count(QStringLiteral("<div class=\"dt\">")));
    return lines;
}

QString fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

// Cancels as the given message (1-based) is announced.
template <int At> struct CancelAtMessage : testsupport::RecordingJobReport {
    std::atomic<int> seen {0};
    void postUpdateProgress(const QString& status, int progress, const QString& text) override
    {
        RecordingJobReport::postUpdateProgress(status, progress, text);
        if (++seen == At)
            cancel();
    }
};

// Runs the job to its end; returns the folder it used.
QString runExtract(const MessageSet& set, const QString& target, testsupport::RecordingJobReport& report)
{
    AttachmentExtractThread job(&report, set.list(), target);
    job.start();
    return job.wait(testsupport::kHangGuardMs) ? job.targetDir() : QString();
}

} // namespace

class TestMessageViews : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(qApp);
        messageassets::setApplicationFolder(testsupport::appBinDir());
        m_files = testsupport::makeTempDir(QStringLiteral("files"));
    }

    // A page against the expected file (a line per message, date line and
    // bubble): the cases are named in data/bubble_page.json.
    void page_dateLinesBubblesAndAttachments_asExpected()
    {
        MessageSet s;
        messagefixtures::load(s, QStringLiteral("bubble_page.json"), m_files);
        BubbleViewMgr mgr;
        mgr.showBubble(s.list());
        // Once the thumbnails and the card are made (off this thread).
        QTRY_VERIFY_WITH_TIMEOUT(mgr.showsAllPictures(), testsupport::kHangGuardMs);
        // The files' folders and the thumbnails' names vary from run to run.
        QString page
            = mgr.pageHtml(1)
                  .replace(fileUrl(m_files), QStringLiteral("FILES"))
                  .replace(fileUrl(messageassets::privateTempDir().absolutePath()), QStringLiteral("TEMP"))
                  .replace(QRegularExpression(QStringLiteral("[0-9a-f]{32}")), QStringLiteral("MD5"))
                  .replace(QRegularExpression(QStringLiteral("(?=<a name=|<div class=\"(dt|ct_left|bb[12])\">)")),
                           QStringLiteral("\n"));
        const QString expected = QString::fromUtf8(testsupport::readFile(
            testsupport::sourceDir() + QStringLiteral("/tests/views/messages/data/bubble_page.html")));
        QCOMPARE(page.split(u'\n'), expected.trimmed().split(u'\n'));
    }

    // Names, titles, texts, subjects, notices and attachment file names
    // holding markup, quotes and URL syntax, in a folder named "hostile #%?".
    void hostileData_comesOutEscaped_asAnIndependentParserReadsIt()
    {
        const QString hostile[]
            = {QStringLiteral("<script>alert(1)</script>"), QStringLiteral("\"><img src=x onerror=alert(2)>"),
               QStringLiteral("javascript:alert(3)"), QStringLiteral("' onmouseover='alert(4)")};
        MessageSet s;
        messagefixtures::load(s, QStringLiteral("hostile.json"),
                              testsupport::makeTempDir(QStringLiteral("hostile #%?")));
        BubbleViewMgr mgr;
        mgr.showBubble(s.list());
        QTRY_VERIFY_WITH_TIMEOUT(mgr.showsAllPictures(), testsupport::kHangGuardMs);
        const QString page = mgr.pageHtml(1);
        const ParsedPage parsed = parseHtml(page);
        QVERIFY2(parsed.problems.isEmpty(), qPrintable(parsed.problems.join(u"; ")));
        // The data is all there, as text.
        for (const QString& h : hostile)
            QVERIFY2(parsed.text.contains(h), qPrintable(h));
        QVERIFY(parsed.text.contains(QStringLiteral("<Subject:") + hostile[1] + QLatin1Char('>')));
        // The picture and its thumbnail, three links (the text shows inline).
        QCOMPARE(parsed.links.filter(QRegularExpression(QStringLiteral("^file:///"))).size(), 5);
        QVERIFY(page.contains(QStringLiteral("hostile%20%23%25%3F")));

        // The same page made absolute for loading from a file stays safe.
        const ParsedPage again = parseHtml(BubbleViewMgr::withAbsoluteAssetLinks(page));
        QVERIFY2(again.problems.isEmpty(), qPrintable(again.problems.join(u"; ")));
    }

    // Pictures, songs and films open in the desktop's program only for the
    // exact suffixes; everything else is offered for saving, and saving
    // over a file replaces it only when the copy is complete.
    void clickedLinks_openListedSuffixesOnly_elseSaveSafely()
    {
        testsupport::UrlRecorder opened;
        ScriptedPrompt prompt;
        BubbleViewMgr mgr;
        const QString dir = testsupport::makeTempDir(QStringLiteral("links"));
        auto click = [&](const QString& name) {
            mgr.onLinkClicked(
                QUrl::fromLocalFile(writeFile(dir + QLatin1Char('/') + name, "data of " + name.toUtf8())));
        };
        for (const char* name : {"p.jpg", "p.jpeg", "p.png", "p.bmp", "p.gif", "s.mp3", "f.mp4", "f.mov"})
            click(QLatin1String(name));
        QCOMPARE(opened.urls.size(), 8);
        QCOMPARE(opened.urls.first(), QUrl::fromLocalFile(dir + QStringLiteral("/p.jpg")));
        for (const char* name : {"report", "x.g", "x.mp", "P.JPG", "a.jpg.exe", "film.mov4"}) {
            prompt.answerSaveFile(QString());
            click(QLatin1String(name));
        }
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(opened.urls.size(), 8);

        // Saved over an existing file.
        const QString target = dir + QStringLiteral("/saved.bin");
        writeFile(target, "the user's old file");
        prompt.answerSaveFile(target);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Attachment saved successfully."));
        click(QStringLiteral("report"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(readAll(target), QByteArray("data of report"));

        // A copy that fails (the disk fills up) leaves the old file whole.
        writeFile(target, "the user's old file");
        writeFile(dir + QStringLiteral("/big"), QByteArray(64 * 1024, 'b'));
        prompt.answerSaveFile(target);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Failed to save attachment."));
        {
            testsupport::FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.ok());
            mgr.onLinkClicked(QUrl::fromLocalFile(dir + QStringLiteral("/big")));
        }
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(readAll(target), QByteArray("the user's old file"));
        QVERIFY(!QDir(dir).entryList(QDir::Files).join(u' ').contains(QStringLiteral("saved.bin.")));

        // A link to a file that is gone, and links that are no files.
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("can not find %1/gone.jpg.").arg(dir));
        mgr.onLinkClicked(QUrl::fromLocalFile(dir + QStringLiteral("/gone.jpg")));
        mgr.onLinkClicked(QUrl(QStringLiteral("https://example.invalid/x.jpg")));
        mgr.onLinkClicked(QUrl(QStringLiteral("javascript:alert(1)")));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(opened.urls.size(), 8);
    }

    // 200,000 messages 20 s apart, listed and paged: 50 a page (51 make
    // two), a date line on every fourth message and atop every page, paging
    // links where there is another page. A 10 MB message is cut, in its
    // bubble never within a surrogate pair. (How fast is the messages page
    // benchmark's.)
    void pages_fiftyEach_withDateLines_largeInput()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930111"));
        auto* chat = s.chat(h->id, {h}, kBase);
        s.messages.reserve(200001);
        for (int i = 0; i < 200000; ++i)
            s.message(chat, h, i % 3 == 0, QStringLiteral("message %1").arg(i), kBase + i * 20);
        MsgMessageList list = s.list();
        BubbleViewMgr mgr;
        mgr.showBubble(list.mid(0, 50));
        QCOMPARE(mgr.pageCount(), 1);
        QVERIFY(!mgr.pageHtml(1).contains(QStringLiteral("Page</a>")));
        mgr.showBubble(list.mid(0, 51));
        QCOMPARE(mgr.pageCount(), 2);

        QElapsedTimer timer;
        timer.start();
        sortMessages(list);
        mgr.showBubble(list);
        QCOMPARE(mgr.pageCount(), 4000);
        mgr.scrollToPos(199999);
        const QString last = mgr.pageHtml(mgr.currentPage());
        ItemModelSms rows;
        rows.setMessages(list);
        QCOMPARE(rows.index(199999, 3).data().toString(), QStringLiteral("message 199999"));
        // A hang guard; how fast is the messages page benchmark's.
        QVERIFY2(timer.elapsed() < testsupport::kHangGuardMs, qPrintable(QString::number(timer.elapsed())));
        const QString first = mgr.pageHtml(1);
        QCOMPARE(dateLines(first).mid(0, 9), (QList<int> {1, 0, 0, 0, 1, 0, 0, 0, 1}));
        // The last page starts with a line 40 s after the last one.
        QCOMPARE(dateLines(last).mid(0, 5), (QList<int> {1, 0, 0, 0, 1}));
        QVERIFY(first.contains(QStringLiteral("href=\"/next_page\"")) && !first.contains(QStringLiteral("/pre_page")));
        QVERIFY(last.contains(QStringLiteral("href=\"/pre_page\"")) && !last.contains(QStringLiteral("/next_page")));

        // Ten megabytes of text: a cut cell, a megabyte in the bubble.
        auto* huge = s.message(chat, h, false, QString(10 * 1024 * 1024, QLatin1Char('y')), kBase);
        rows.setMessages({huge});
        QCOMPARE(rows.index(0, 3).data().toString().size(), ItemModelSms::kMaxCellText + 1);
        mgr.showBubble({huge});
        const QString page = mgr.pageHtml(1);
        QVERIFY(page.contains(QString(BubbleViewMgr::kMaxBubbleText, QLatin1Char('y')) + QChar(0x2026)));
        QVERIFY(!page.contains(QString(BubbleViewMgr::kMaxBubbleText + 1, QLatin1Char('y'))));
        const QString cut = BubbleViewMgr::bubbleText(QString(BubbleViewMgr::kMaxBubbleText - 1, QLatin1Char('z'))
                                                      + QStringLiteral("\U0001F604 tail"));
        QCOMPARE(cut.size(), BubbleViewMgr::kMaxBubbleText);
        QVERIFY(cut.endsWith(QStringLiteral("z\u2026")));
    }

    // The recorded names of data/extract.json: duplicates, paths, "..",
    // empty, backslashes, a device name, a hidden file, a missing file.
    void extract_namesNumberedCleanedAndInside_timesFromMessages()
    {
        MessageSet s;
        messagefixtures::load(s, QStringLiteral("extract.json"), testsupport::makeTempDir(QStringLiteral("files")));
        const QString parent = testsupport::makeTempDir(QStringLiteral("out"));
        const QString target = parent + QStringLiteral("/attachments(20240101-120000)");
        testsupport::RecordingJobReport report;
        QCOMPARE(runExtract(s, target, report), target);
        QCOMPARE(report.successes(),
                 QStringList {QStringLiteral("Successfully extacted 12 MMS attachment to %1.").arg(target)});
        QCOMPARE(filesBelow(target),
                 QStringLiteral("$$CON$$.txt|IMG_0001(1).jpg|IMG_0001(2).jpg|IMG_0001.jpg|a(1).jpg|a.b.jpg|attachment|"
                                "attachment(1)|attachment....win.txt|attachment.hidden|evil.sh|whatisthis.txt")
                     .split(u'|'));
        QCOMPARE(readAll(target + QStringLiteral("/IMG_0001(1).jpg")), QByteArray("two"));
        QCOMPARE(readAll(target + QStringLiteral("/IMG_0001(2).jpg")), QByteArray("three"));
        QCOMPARE(readAll(target + QStringLiteral("/a(1).jpg")), QByteArray("ab2"));
        // Nothing left the folder.
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList {QStringLiteral("attachments(20240101-120000)")});
        // Each copy carries its message's date.
        QCOMPARE(QFileInfo(target + QStringLiteral("/IMG_0001.jpg")).lastModified().toSecsSinceEpoch(),
                 qint64(kBase) + kIosEpochOffset);
        QCOMPARE(QFileInfo(target + QStringLiteral("/evil.sh")).lastModified().toSecsSinceEpoch(),
                 qint64(kBase) + 3600 + kIosEpochOffset);
    }

    // A folder that exists already is never written into or removed: the
    // run takes a numbered one, and a cancel removes only that. A folder
    // that cannot be made and a disk that fills up are reported.
    void ownFolder_cancelRemovesOnlyItsWork_failuresReported()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930222"));
        auto* chat = s.chat(h->id, {h}, kBase);
        const QString files = testsupport::makeTempDir(QStringLiteral("files"));
        for (int i = 0; i < 3; ++i) {
            const QString name = QStringLiteral("f%1.bin").arg(i);
            writeFile(files + QLatin1Char('/') + name, QByteArray(i == 1 ? 64 * 1024 : 1000, 'a'));
            _MsgMessage* m = s.message(chat, h, false, QString(), kBase + i);
            s.attach(m, QStringLiteral("application/x-y"), files + QLatin1Char('/') + name)->filename = name;
        }
        const QString parent = testsupport::makeTempDir(QStringLiteral("taken"));
        const QString target = parent + QStringLiteral("/attachments");
        writeFile(parent + QStringLiteral("/blocked"), "a file");
        QVERIFY(QDir().mkpath(target));
        writeFile(target + QStringLiteral("/keep.txt"), "mine");

        testsupport::RecordingJobReport report;
        QCOMPARE(runExtract(s, target, report), target + QStringLiteral("(1)"));
        QVERIFY(report.succeeded());
        QCOMPARE(filesBelow(target + QStringLiteral("(1)")).size(), 3);
        QCOMPARE(filesBelow(target), QStringList {QStringLiteral("keep.txt")});

        // Cancelled at the third message, after two files were copied; then
        // below missing folders, which the cancel removes too.
        CancelAtMessage<3> cancelled;
        QCOMPARE(runExtract(s, target, cancelled), target + QStringLiteral("(2)"));
        CancelAtMessage<1> early;
        runExtract(s, parent + QStringLiteral("/new/deeper/attachments"), early);
        QCOMPARE(cancelled.endCount() + early.endCount(), 0);
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringLiteral("attachments|attachments(1)|blocked").split(u'|'));
        QCOMPARE(filesBelow(target), QStringList {QStringLiteral("keep.txt")});

        testsupport::RecordingJobReport noFolder;
        runExtract(s, parent + QStringLiteral("/blocked/attachments"), noFolder);
        QCOMPARE(noFolder.errors(),
                 QStringList {QStringLiteral("Failed to create the folder %1/blocked/attachments.").arg(parent)});
        QVERIFY(noFolder.failed());

        // Writes beyond 16 KB fail: the second file is not copied.
        testsupport::RecordingJobReport full;
        QString used;
        {
            testsupport::FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.ok());
            used = runExtract(s, parent + QStringLiteral("/full"), full);
        }
        QCOMPARE(full.errors(),
                 QStringList {QStringLiteral("Extracted 2 MMS attachment to %1. These attachments could not be "
                                             "copied: f1.bin")
                                  .arg(used)});
        QVERIFY(full.failed());
        // What was copied stays; the failed copy left nothing.
        QCOMPARE(filesBelow(used), QStringLiteral("f0.bin|f2.bin").split(u'|'));
    }

private:
    QString m_files;
};

QTEST_MAIN(TestMessageViews)
#include "test_messageviews.moc"
