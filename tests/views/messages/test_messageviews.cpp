// The conversation and message lists and the bubble pages, built from
// records without a web view: paging, date lines, bubbles per text and
// attachment, escaping of hostile data (checked by an independent HTML
// parser), what a clicked link does, and very large input.
#include "views/messages/bubbleviewmgr.h"
#include "views/messages/itemmodelsms.h"
#include "views/messages/itemmodelsmshandle.h"

#include "formats/messageassets.h"
#include "htmlcheck.h"
#include "message_testdata.h"
#include "messagefixtures.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QtTest>

using messagefixtures::kBase;

namespace {

// Markup of each message on the page, in order (split at the anchors).
QStringList messageParts(const QString& page)
{
    QStringList parts = page.split(QStringLiteral("<a name=\"sms_"));
    parts.removeFirst();
    return parts;
}

int dateLines(const QString& part)
{
    return int(part.count(QStringLiteral("<div class=\"dt\">")));
}

QString fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
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

    void lists_showConversationsNewestFirst_andMessageColumns()
    {
        MessageSet s;
        auto* ann = s.handle(QStringLiteral("+4930111"), QStringLiteral("Ann"));
        auto* bob = s.handle(QStringLiteral("+4930222"));
        auto* carl = s.handle(QStringLiteral("+4930333"), QStringLiteral("Carl"));
        auto* a = s.chat(ann->id, {ann}, kBase + 100);
        auto* g = s.chat(QStringLiteral("chat42"), {bob, carl}, kBase + 500);
        auto* b = s.chat(bob->id, {bob}, kBase + 100);
        auto* sent = s.message(a, nullptr, true, QStringLiteral("sent \u2714"), kBase);
        sent->service = QStringLiteral("iMessage");
        auto* got = s.message(g, bob, false, QStringLiteral("in the group"), kBase + 10);
        auto* notice = s.message(g, carl, false, QString(), kBase + 20);
        notice->item_type = 3;
        s.message(b, bob, false, QString(10 * 1024 * 1024, QLatin1Char('x')), kBase + 30);

        MsgDataSet ds;
        for (const auto& c : s.chats)
            ds.chats.insert(c->ROWID, c.get());
        ItemModelSMSHandle conversations;
        new QAbstractItemModelTester(&conversations, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     &conversations);
        conversations.setHandles(mergeChatsByIdentifier(ds));
        ds.chats.clear(); // the set owns the records
        QCOMPARE(conversations.rowCount(), 3);
        // Newest first; equal dates by rowid.
        QStringList titles;
        for (int r = 0; r < 3; ++r)
            titles << conversations.index(r, 0).data().toString();
        QCOMPARE(titles, QStringLiteral("+4930222, Carl|Ann|+4930222").split(u'|'));
        QCOMPARE(conversations.index(0, 0).data(Qt::ToolTipRole).toString(), titles.first());
        QCOMPARE(conversations.index(0, 0).data(Qt::DecorationRole).value<QPixmap>().width(), 18);
        QCOMPARE(conversations.index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(242, 246, 249));
        QCOMPARE(conversations.index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::white));
        QVERIFY(conversations.headerData(0, Qt::Horizontal).isNull());

        ItemModelSms messages;
        new QAbstractItemModelTester(&messages, QAbstractItemModelTester::FailureReportingMode::QtTest, &messages);
        messages.setMessages(s.list());
        QCOMPARE(messages.columnCount(), 4);
        QStringList headers;
        for (int i = 0; i < 4; ++i)
            headers << messages.headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringLiteral("Date|Flag|Contact|Content").split(u'|'));
        auto cell = [&](int row, int col) { return messages.index(row, col).data().toString(); };
        QCOMPARE(cell(0, 1), QStringLiteral("To"));
        QCOMPARE(cell(0, 3), QStringLiteral("sent [EMOJI]"));
        QCOMPARE(cell(1, 1), QStringLiteral("From"));
        QCOMPARE(cell(1, 2), QStringLiteral("+4930222, Carl (+4930333) (+4930222)"));
        // A notice: no flag, the chat's title as contact.
        QCOMPARE(cell(2, 1), QString());
        QCOMPARE(cell(2, 2), QStringLiteral("+4930222, Carl"));
        // Ten megabytes of text make one cut cell.
        QCOMPARE(cell(3, 3).size(), ItemModelSms::kMaxCellText + 1);
        QCOMPARE(ItemModelSms::messageOf(messages.index(1, 0)), got);
        QCOMPARE(ItemModelSms::messageOf(messages.index(1, 1)), nullptr);
        QVERIFY(!messages.index(4, 0).isValid());
        QCOMPARE(messages.index(0, 0).data(Qt::SizeHintRole).toSize(), QSize(0, 23));
        QCOMPARE(messages.index(0, 2).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(245, 255, 226));
        QCOMPARE(messages.index(1, 2).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::white));
        QVERIFY(!messages.index(0, 0).data(Qt::DecorationRole).value<QPixmap>().isNull());
        QVERIFY(messages.index(0, 1).data(Qt::DecorationRole).isNull());
        messages.clear();
        QCOMPARE(messages.rowCount(), 0);
    }

    void pages_fiftyMessagesEach_withDateLinesAndPagingLinks()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930111"));
        auto* chat = s.chat(h->id, {h}, kBase);
        // 51 messages 30 s apart: a date line on every third message.
        for (int i = 0; i < 51; ++i)
            s.message(chat, h, i % 2 == 0, QStringLiteral("m%1").arg(i), kBase + i * 30);
        BubbleViewMgr mgr;
        mgr.showBubble(s.list().mid(0, 50));
        QCOMPARE(mgr.pageCount(), 1);
        QCOMPARE(mgr.currentPage(), 1);
        QString page = mgr.pageHtml(1);
        QVERIFY(!page.contains(QStringLiteral("Previous Page")));
        QVERIFY(!page.contains(QStringLiteral("Next Page")));
        QCOMPARE(messageParts(page).size(), 50);

        mgr.showBubble(s.list());
        QCOMPARE(mgr.pageCount(), 2);
        QCOMPARE(mgr.anchor(), QStringLiteral("start"));
        page = mgr.pageHtml(1);
        QVERIFY(page.startsWith(QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"")));
        QVERIFY(
            page.contains(QStringLiteral("<link href=\"bubble/style.css\" type=\"text/css\" rel=\"stylesheet\"/>")));
        QVERIFY(page.contains(QStringLiteral("<a href=\"/next_page\">&gt;&gt;Next Page</a>")));
        QVERIFY(!page.contains(QStringLiteral("Previous Page")));
        QList<int> lines;
        for (const QString& part : messageParts(page))
            lines << dateLines(part);
        QCOMPARE(lines.mid(0, 7), (QList<int> {1, 0, 0, 1, 0, 0, 1}));
        QVERIFY(page.contains(QStringLiteral("<div class=\"dt\">14 Nov 2023 10:13 PM</div>")));
        // The second page holds one message, under a date line although it
        // follows the last one within a minute.
        const QString second = mgr.pageHtml(2);
        QCOMPARE(messageParts(second).size(), 1);
        QCOMPARE(dateLines(second), 1);
        QVERIFY(second.contains(QStringLiteral("<a href=\"/pre_page\">&lt;&lt;Previous Page</a>")));
        QVERIFY(!second.contains(QStringLiteral("Next Page")));
        QCOMPARE(mgr.pageHtml(0), QString());
        QCOMPARE(mgr.pageHtml(3), QString());

        // Paging links: nothing before the first or after the last page.
        mgr.onLinkClicked(QUrl(QStringLiteral("file:///pre_page")));
        QCOMPARE(mgr.currentPage(), 1);
        mgr.onLinkClicked(QUrl(QStringLiteral("file:///next_page")));
        QCOMPARE(mgr.currentPage(), 2);
        QCOMPARE(mgr.anchor(), QStringLiteral("start"));
        mgr.nextPage();
        QCOMPARE(mgr.currentPage(), 2);
        mgr.previousPage();
        QCOMPARE(mgr.currentPage(), 1);
        QCOMPARE(mgr.anchor(), QStringLiteral("end"));
        mgr.lastPage();
        QCOMPARE(mgr.currentPage(), 2);
        mgr.scrollToPos(10);
        QCOMPARE(mgr.currentPage(), 1);
        QCOMPARE(mgr.anchor(), QStringLiteral("sms_11"));
        mgr.showBubble({});
        QCOMPARE(mgr.pageCount(), 0);
        QCOMPARE(mgr.currentPage(), 0);
    }

    void dateLines_countFromTheLastLine_notices_subjects_andBubbles()
    {
        MessageSet s;
        auto* bob = s.handle(QStringLiteral("+4930222"), QStringLiteral("Bob"));
        auto* carl = s.handle(QStringLiteral("+4930333"));
        auto* g = s.chat(QStringLiteral("chat42"), {bob, carl}, kBase);
        s.message(g, bob, false, QStringLiteral("a"), kBase); // line
        s.message(g, carl, false, QStringLiteral("b"), kBase + 60); // exactly 60 s: none
        s.message(g, nullptr, true, QStringLiteral("c"), kBase + 61); // line
        s.message(g, bob, false, QString(), kBase + 80)->item_type = 1; // notice, no line
        s.message(g, bob, false, QStringLiteral("d"), kBase + 100); // 39 s after the line: none
        s.message(g, bob, false, QStringLiteral("e"), kBase + 122); // line
        auto* subject = s.message(g, nullptr, true, QStringLiteral("text"), kBase + 130);
        subject->subject = QStringLiteral("Hi");
        auto* pictures = s.message(g, bob, false, QString(), kBase + 140);
        s.attach(pictures, QStringLiteral("image/jpeg"), writePicture(m_files + QStringLiteral("/one.jpg"), Qt::red));
        s.attach(pictures, QStringLiteral("IMAGE/PNG"), writePicture(m_files + QStringLiteral("/two.jpg"), Qt::blue));
        s.message(g, nullptr, true, QString(), kBase + 150); // nothing at all
        BubbleViewMgr mgr;
        mgr.showBubble(s.list());
        const QStringList parts = messageParts(mgr.pageHtml(1));
        QCOMPARE(parts.size(), 9);
        QList<int> lines;
        for (const QString& part : parts)
            lines << dateLines(part);
        QCOMPARE(lines, (QList<int> {1, 0, 1, 0, 0, 1, 0, 0, 0}));
        QVERIFY(parts.at(3).contains(QStringLiteral("<div class=\"sysif\">")));
        QVERIFY(!parts.at(3).contains(QStringLiteral("bb1")));
        // Received bubbles of a group show the sender; sent ones do not.
        QVERIFY(parts.at(0).contains(QStringLiteral("<div class=\"ct_left\">Bob</div>")));
        QVERIFY(parts.at(1).contains(QStringLiteral("<div class=\"ct_left\">+4930333</div>")));
        QVERIFY(!parts.at(2).contains(QStringLiteral("ct_left")));
        QVERIFY(parts.at(2).contains(QStringLiteral("<div class=\"bb2\">")));
        QVERIFY(parts.at(6).contains(QStringLiteral("&lt;Subject:Hi&gt;<br/>text</div>")));
        // Two pictures and no text: two picture bubbles, no text bubble.
        QCOMPARE(parts.at(7).count(QStringLiteral("<div class=\"bb1\">")), 2);
        QCOMPARE(parts.at(7).count(QStringLiteral("<img src=\"file:///")), 2);
        // Neither text nor attachments: one empty bubble.
        QCOMPARE(parts.at(8).count(QStringLiteral("<div class=\"bb2\">")), 1);
    }

    // Each kind of attachment, by its MIME type in any case; missing files
    // and a card that does not parse still give a bubble (or nothing, for
    // unreadable text).
    void attachments_byType_missingFilesAndBadCards()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930111"));
        auto* chat = s.chat(h->id, {h}, kBase);
        auto* m = s.message(chat, h, false, QString(), kBase);
        const QString card
            = writeFile(m_files + QStringLiteral("/card.vcf"),
                        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dana Card\r\nTEL:+1 555 0100\r\nEND:VCARD\r\n");
        const QString badCard = writeFile(m_files + QStringLiteral("/bad.vcf"), "this is no card \x01\x02");
        const QString text = writeFile(m_files + QStringLiteral("/note.txt"), "a <note>\nline two");
        s.attach(m, QStringLiteral("Video/MP4"), m_files + QStringLiteral("/film.mp4"));
        s.attach(m, QStringLiteral("audio/amr"), m_files + QStringLiteral("/voice.amr"));
        s.attach(m, QStringLiteral("TEXT/X-VCARD"), card);
        s.attach(m, QStringLiteral("text/vcard"), badCard);
        s.attach(m, QStringLiteral("text/x-vcard"), m_files + QStringLiteral("/missing.vcf"));
        s.attach(m, QStringLiteral("Text/Plain"), text);
        s.attach(m, QStringLiteral("text/plain"), m_files + QStringLiteral("/missing.txt"));
        s.attach(m, QStringLiteral("application/pdf"), m_files + QStringLiteral("/doc.pdf"));
        s.attach(m, QStringLiteral("image/jpeg"), m_files + QStringLiteral("/missing.jpg"));
        BubbleViewMgr mgr;
        mgr.showBubble(s.list());
        const QString page = mgr.pageHtml(1);
        const QStringList bubbles = page.split(QStringLiteral("<div class=\"bb1\">")).mid(1);
        QCOMPARE(bubbles.size(), 8); // the missing text file gives none
        auto link = [](const QString& path, const char* label) {
            return QStringLiteral("<a href=\"%1\">%2</a>").arg(fileUrl(path), QLatin1String(label));
        };
        QVERIFY(bubbles.at(0).contains(link(m_files + QStringLiteral("/film.mp4"), "[VIDEO]")));
        QVERIFY(bubbles.at(1).contains(link(m_files + QStringLiteral("/voice.amr"), "[AUDIO]")));
        QVERIFY(bubbles.at(2).contains(QStringLiteral("<a href=\"%1\"><img src=\"file:///").arg(fileUrl(card))));
        QVERIFY(bubbles.at(2).contains(QStringLiteral("style=\"max-width:200px;max-height:200px\"")));
        QVERIFY(bubbles.at(3).contains(link(badCard, "[VCARD]")));
        QVERIFY(bubbles.at(4).contains(link(m_files + QStringLiteral("/missing.vcf"), "[VCARD]")));
        QVERIFY(bubbles.at(5).contains(QStringLiteral("a &lt;note&gt;<br/>line two")));
        QVERIFY(bubbles.at(6).contains(link(m_files + QStringLiteral("/doc.pdf"), "[ATTACHMENT]")));
        QVERIFY(bubbles.at(7).contains(QStringLiteral("<img src=\"bubble/empty_photo.jpg\" "
                                                      "style=\"max-width:120px;max-height:120px\">")));
    }

    void hostileData_comesOutEscaped_asAnIndependentParserReadsIt()
    {
        const QString hostile[]
            = {QStringLiteral("<script>alert(1)</script>"), QStringLiteral("\"><img src=x onerror=alert(2)>"),
               QStringLiteral("javascript:alert(3)"), QStringLiteral("' onmouseover='alert(4)")};
        MessageSet s;
        auto* evil = s.handle(QStringLiteral("+4930666"), hostile[1]);
        auto* other = s.handle(QStringLiteral("+4930777"), hostile[0]);
        auto* g = s.chat(QStringLiteral("chat66"), {evil, other}, kBase);
        g->display_name = hostile[1];
        for (int i = 0; i < 4; ++i) {
            auto* m = s.message(g, i % 2 ? evil : other, false, hostile[i], kBase + i);
            m->subject = hostile[(i + 1) % 4];
        }
        s.message(g, evil, false, hostile[1], kBase + 10)->item_type = 2;
        // Attachment files whose names hold markup, quotes and URL syntax.
        const QString dir = testsupport::makeTempDir(QStringLiteral("hostile #%?"));
        auto* m = s.message(g, evil, false, QString(), kBase + 20);
        s.attach(m, QStringLiteral("image/jpeg"),
                 writePicture(dir + QStringLiteral("/x\"><img src=y onerror=alert(5)>.jpg"), Qt::green));
        s.attach(m, QStringLiteral("video/mp4"), writeFile(dir + QStringLiteral("/javascript:alert(6).mp4"), "v"));
        s.attach(m, QStringLiteral("application/x-y"),
                 writeFile(dir + QStringLiteral("/' onclick='alert(7)' x='.bin"), "b"));
        s.attach(m, QStringLiteral("audio/mpeg"), writeFile(dir + QStringLiteral("/Lied \u00fc\u4e2d.mp3"), "a"));
        s.attach(m, QStringLiteral("text/plain"), writeFile(dir + QStringLiteral("/t.txt"), hostile[0].toUtf8()));

        BubbleViewMgr mgr;
        mgr.showBubble(s.list());
        const QString page = mgr.pageHtml(1);
        const htmlcheck::ParsedPage parsed = htmlcheck::parse(page);
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        const QString problems = htmlcheck::unsafeParts(parsed);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        // The data is all there, as text.
        for (const QString& h : hostile)
            QVERIFY2(parsed.text.contains(h), qPrintable(h));
        QVERIFY(parsed.text.contains(QStringLiteral("<Subject:") + hostile[1] + QLatin1Char('>')));
        int fileLinks = 0;
        for (const htmlcheck::Attribute& a : parsed.attributes) {
            if (a.value.startsWith(QLatin1String("file:///")))
                ++fileLinks;
        }
        QCOMPARE(fileLinks, 5); // the picture and its thumbnail, three links (text shows inline)
        QVERIFY(page.contains(fileUrl(dir + QStringLiteral("/Lied \u00fc\u4e2d.mp3"))));
        QVERIFY(page.contains(QStringLiteral("hostile%20%23%25%3F")));

        // The same page made absolute for loading from a file stays safe.
        const QString absolute = BubbleViewMgr::withAbsoluteAssetLinks(page);
        QVERIFY(!absolute.contains(QStringLiteral("\"bubble/")));
        QVERIFY(absolute.contains(BubbleViewMgr::baseUrl().toString(QUrl::FullyEncoded)
                                  + QStringLiteral("bubble/style.css")));
        const QString again = htmlcheck::unsafeParts(htmlcheck::parse(absolute));
        QVERIFY2(again.isEmpty(), qPrintable(again));
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
        VERIFY_SCRIPT_DONE(prompt);

        for (const char* name : {"report", "x.g", "x.mp", "P.JPG", "a.jpg.exe", "film.mov4"}) {
            prompt.answerSaveFile(QString());
            click(QLatin1String(name));
        }
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(opened.urls.size(), 8);
        QCOMPARE(prompt.questions().first().text, QStringLiteral("Save Attachment"));
        QCOMPARE(prompt.questions().first().dir, QDir::home().absoluteFilePath(QStringLiteral("report")));

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

    // Very large input is cut into pages at once: a conversation of 200,000
    // messages, a 10 MB message, a 5 MB text attachment.
    void largeInput_pagesStayFast_andBigPagesGoThroughAFile()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930111"));
        auto* chat = s.chat(h->id, {h}, kBase);
        s.messages.reserve(200002);
        for (int i = 0; i < 200000; ++i)
            s.message(chat, h, i % 3 == 0, QStringLiteral("message %1").arg(i), kBase + i * 20);
        MsgMessageList list = s.list();
        QElapsedTimer timer;
        timer.start();
        sortMessages(list);
        BubbleViewMgr mgr;
        mgr.showBubble(list);
        QCOMPARE(mgr.pageCount(), 4000);
        mgr.scrollToPos(199999);
        QCOMPARE(mgr.currentPage(), 4000);
        QCOMPARE(messageParts(mgr.pageHtml(4000)).size(), 50);
        ItemModelSms rows;
        rows.setMessages(list);
        QCOMPARE(rows.index(199999, 3).data().toString(), QStringLiteral("message 199999"));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));

        auto* huge = s.message(chat, h, false, QString(10 * 1024 * 1024, QLatin1Char('y')), kBase);
        auto* attached = s.message(chat, h, false, QString(), kBase + 1);
        QByteArray fiveMb;
        for (int i = 0; fiveMb.size() < 5 * 1024 * 1024; ++i)
            fiveMb += "line " + QByteArray::number(i) + ": <b>bold</b> & <i>more</i>\n";
        s.attach(attached, QStringLiteral("text/plain"), writeFile(m_files + QStringLiteral("/long.txt"), fiveMb));
        // A bubble shows a megabyte of the text; the attachment's page is
        // still too large for a data URL once escaped and encoded.
        mgr.showBubble({huge});
        QString page = mgr.pageHtml(1);
        QVERIFY(page.contains(QString(BubbleViewMgr::kMaxBubbleText, QLatin1Char('y')) + QChar(0x2026)));
        QVERIFY(!page.contains(QString(BubbleViewMgr::kMaxBubbleText + 1, QLatin1Char('y'))));
        mgr.showBubble({attached});
        page = mgr.pageHtml(1);
        QVERIFY(
            page.contains(QStringLiteral("line 0: &lt;b&gt;bold&lt;/b&gt; &amp; &lt;i&gt;more&lt;/i&gt;<br/>line 1")));
        QVERIFY(BubbleViewMgr::dataUrlLength(page.toUtf8()) > BubbleViewMgr::kMaxDataUrl);
        // Never half a surrogate pair.
        const QString cut = BubbleViewMgr::bubbleText(QString(BubbleViewMgr::kMaxBubbleText - 1, QLatin1Char('z'))
                                                      + QStringLiteral("\U0001F604 tail"));
        QCOMPARE(cut.size(), BubbleViewMgr::kMaxBubbleText);
        QVERIFY(cut.endsWith(QStringLiteral("z\u2026")));
        // A page just under the limit in bytes is still over it once encoded.
        QCOMPARE(BubbleViewMgr::dataUrlLength("a<b"), qsizetype(29 + 5));
    }

private:
    QString m_files;
};

QTEST_MAIN(TestMessageViews)
#include "test_messageviews.moc"
