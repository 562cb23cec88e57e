// The message exporters (CSV, TXT, HTML, PDF, store copy) and the export
// job that drives them.
#include "formats/messageassets.h"
#include "formats/messageexportthread.h"
#include "formats/messagehtmlexport.h"
#include "formats/messagepdfexport.h"
#include "formats/messagetextexport.h"
#include "shell/core/translations.h"
#include "message_testdata.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <random>

using testsupport::RecordingJobReport;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString expectedFile(const QString& name)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/formats/message_data/") + name;
}

// Runs the job to its end on its own thread.
void runJob(const MsgMessageList& list, const QString& target, int format, RecordingJobReport* report,
            QStringList* written = nullptr)
{
    ExportMessagesThread job(list, target, format, report);
    job.start();
    QVERIFY(job.wait(120000));
    if (written)
        *written = job.writtenFiles();
}

QStringList filesBelow(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

class TestMessageExports : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void csvAndTxt_matchExpectedFiles();
    void csv_quotesAndDetectsWriteFailure();
    void job_threeConversationsGiveThreePdfs();
    void job_threeConversationsGiveThreeHtmlPages();
    void html_dividersAttachmentsAndNames();
    void html_badInputIsShownAsText();
    void pdf_hugeTextContinuesOnMorePages();
    void job_collidingNamesGetDistinctFiles();
    void job_cancelRemovesOnlyItsOwnOutput();
    void job_failuresEndInErrors();
    void job_emptyListAndUnknownFormat();
    void job_htmlTwiceKeepsFirstRunAssets();
    void job_storeCopy();
    void chatOrder_isStrictAndKeepsConversationsTogether();

private:
    QString m_fileDir;
};

void TestMessageExports::initTestCase()
{
    installTranslations(qApp);
    messageassets::setApplicationFolder(testsupport::appBinDir());
    QVERIFY(QFileInfo::exists(testsupport::appBinDir() + QStringLiteral("/bubble/style.css")));
    m_fileDir = testsupport::makeTempDir(QStringLiteral("attachments"));
}

void TestMessageExports::csvAndTxt_matchExpectedFiles()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);
    // One attachment per message: the summary's attachment tags then do not
    // depend on the order of the attachment table.
    for (const auto& m : s.messages) {
        const QList<_MsgAttachment*> atts = getAttachments(m.get());
        for (qsizetype i = 1; i < atts.size(); ++i)
            m->attachments.remove(QString::number(atts.at(i)->ROWID));
    }
    MsgMessageList list = s.list();
    std::mt19937 rng(7);
    std::shuffle(list.begin(), list.end(), rng); // the job sorts

    const QString dir = testsupport::makeTempDir(QStringLiteral("csvtxt"));
    for (const auto& [format, name] : {std::pair{1, QStringLiteral("expected.csv")}, std::pair{0, QStringLiteral("expected.txt")}}) {
        RecordingJobReport report;
        const QString out = dir + QLatin1Char('/') + name;
        runJob(list, out, format, &report);
        QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
        QCOMPARE(report.successes().value(0), QStringLiteral("Successfully extracted 8 Messages."));
        QCOMPARE(report.progressTexts().last(), QStringLiteral("Messages: 8/8"));
        const QByteArray actual = readAll(out);
        const QByteArray expected = readAll(expectedFile(name));
        if (actual != expected) {
            QFile keep(testsupport::binaryDir() + QStringLiteral("/actual-") + name);
            if (keep.open(QIODevice::WriteOnly))
                keep.write(actual);
        }
        QCOMPARE(actual, expected);
    }
}

void TestMessageExports::csv_quotesAndDetectsWriteFailure()
{
    // A lone CR is quoted too: unquoted it would end the row in some readers.
    MessageSet s;
    auto* h = s.handle(QStringLiteral("+1"));
    auto* c = s.chat(QStringLiteral("+1"), {h}, 0);
    s.message(c, h, false, QStringLiteral("a\rb"), 0);
    const QString path = testsupport::makeTempDir(QStringLiteral("csvq")) + QStringLiteral("/q.csv");
    {
        ExportMessagesCsv csv(path);
        csv.begin();
        csv.write(*s.messages.front());
        csv.end();
    }
    QVERIFY(readAll(path).endsWith(",0,,+1,\"a\rb\"\r\n"));

    // A device that refuses the bytes: end() fails instead of reporting success.
    if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
        ExportMessagesCsv full(QStringLiteral("/dev/full"));
        full.begin();
        bool threw = false;
        try {
            for (int i = 0; i < 2000; ++i)
                full.write(*s.messages.front());
            full.end();
        } catch (const std::exception& e) {
            threw = QString::fromUtf8(e.what()).startsWith(QStringLiteral("write file error."));
        }
        QVERIFY(threw);
    }
}

void TestMessageExports::job_threeConversationsGiveThreePdfs()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);
    const QString target = testsupport::makeTempDir(QStringLiteral("pdf3")) + QStringLiteral("/out");
    RecordingJobReport report;
    QStringList written;
    runJob(s.list(), target, MessageExportPdf, &report, &written);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    // Oldest conversation first.
    QStringList names;
    for (const QString& w : written)
        names << QFileInfo(w).fileName();
    QCOMPARE(names, (QStringList{QStringLiteral("Alice Smith (+15550001).pdf"), QStringLiteral("chat123456.pdf"),
                                 QStringLiteral("+15550004.pdf")}));
    QCOMPARE(filesBelow(target).size(), 3);
    for (const QString& w : written) {
        const QByteArray pdf = readAll(w);
        QVERIFY(pdf.startsWith("%PDF"));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    }
}

void TestMessageExports::job_threeConversationsGiveThreeHtmlPages()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);
    const QString target = testsupport::makeTempDir(QStringLiteral("html3")) + QStringLiteral("/out");
    RecordingJobReport report;
    QStringList written;
    runJob(s.list(), target, MessageExportHtml, &report, &written);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(written.size(), 3);
    QCOMPARE(QFileInfo(written.at(0)).fileName(), QStringLiteral("Alice Smith (+15550001).html"));

    const QDir out(target);
    for (const char* f : {"files/style.css", "files/bb1_01.png", "files/bb2_09.png", "files/empty_photo.jpg",
                          "files/IMG_0001.jpg", "files/note.txt", "emoji/2714.png", "emoji/1F604.png"})
        QVERIFY2(QFileInfo::exists(out.absoluteFilePath(QLatin1String(f))), f);

    const QString alice = QString::fromUtf8(readAll(written.at(0)));
    QVERIFY(alice.startsWith(QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"")));
    QVERIFY(alice.contains(QStringLiteral("<link href=\"files/style.css\" type=\"text/css\" rel=\"stylesheet\"/></head><body>\r\n")));
    QVERIFY(alice.endsWith(QStringLiteral("</body></html>\r\n")));
    QVERIFY(alice.contains(QStringLiteral("Fine &amp; you? <img src=\"emoji/2714.png\" /> <img src=\"emoji/1F604.png\" />")));
    QVERIFY(alice.contains(QStringLiteral("<a href=\"files/IMG_0001.jpg\"><img src=\"files/")));
    QVERIFY(alice.contains(QStringLiteral("style=\"max-width:200px;max-height:200px\"")));
    QVERIFY(alice.contains(QStringLiteral("plain &lt;note&gt; text")));
    QVERIFY(alice.contains(QStringLiteral("<a href=\"#\">[VIDEO]</a>")));
    // The card picture was copied next to the pages.
    const QRegularExpression card(QStringLiteral("<img src=\"files/([0-9a-f]{32}\\.jpg)\" style=\"max-width:200px"));
    const auto m = card.match(alice);
    QVERIFY(m.hasMatch());
    QVERIFY(QFileInfo::exists(out.absoluteFilePath(QStringLiteral("files/") + m.captured(1))));

    const QString group = QString::fromUtf8(readAll(written.at(1)));
    QVERIFY(group.contains(QStringLiteral("<div class=\"ct_left\">Bob</div>")));
    QVERIFY(group.contains(QStringLiteral("<div class=\"ct_left\">+15550003</div>")));
    QVERIFY(group.contains(QStringLiteral("<div class=\"sysif\">Bob left the conversation.<br/>")));

    const QString carol = QString::fromUtf8(readAll(written.at(2)));
    QVERIFY(!carol.contains(QStringLiteral("<script")));
    QVERIFY(carol.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; 100% %1 %2")));
}

void TestMessageExports::html_dividersAttachmentsAndNames()
{
    const QString dir = testsupport::makeTempDir(QStringLiteral("htmlunit"));
    const QString srcA = testsupport::makeTempDir(QStringLiteral("srcA"));
    const QString srcB = testsupport::makeTempDir(QStringLiteral("srcB"));
    MessageSet s;
    auto* h = s.handle(QStringLiteral("+1"));
    auto* c = s.chat(QStringLiteral("+1"), {h}, 0);
    auto* m1 = s.message(c, h, false, QStringLiteral("one"), 1000);
    auto* m2 = s.message(c, h, false, QStringLiteral("two"), 1030);
    auto* m3 = s.message(c, h, false, QString(), 1150);
    s.attach(m3, QStringLiteral("IMAGE/PNG"), writePicture(srcA + QStringLiteral("/same name.jpg"), Qt::red));
    s.attach(m3, QStringLiteral("image/jpeg"), writePicture(srcB + QStringLiteral("/same name.jpg"), Qt::green));
    auto* m4 = s.message(c, h, true, QString(), 1160);
    auto* m5 = s.message(c, h, false, QString(), 1170);
    s.attach(m5, QStringLiteral("application/pdf"), srcA + QStringLiteral("/gone.pdf"));

    ExportMessagesHtml html{QDir(dir), QStringLiteral("page.html")};
    html.begin();
    for (auto* m : {m1, m2, m3, m4, m5})
        html.write(*m);
    html.end();
    const QString page = QString::fromUtf8(readAll(dir + QStringLiteral("/page.html")));
    const QStringList lines = page.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 5 + 5 + 2); // head, one line per message, tail, final empty
    QVERIFY(lines.at(5).startsWith(QStringLiteral("<div class=\"dt\">")));
    QVERIFY(!lines.at(6).contains(QStringLiteral("class=\"dt\""))); // 30 s later
    QVERIFY(lines.at(7).startsWith(QStringLiteral("<div class=\"dt\">"))); // 150 s after the divider
    // Picture only: two picture bubbles, no text bubble.
    QCOMPARE(lines.at(7).count(QStringLiteral("<div class=\"bb1\">")), 2);
    QVERIFY(lines.at(7).contains(QStringLiteral("<a href=\"files/same%20name.jpg\">")));
    QVERIFY(lines.at(7).contains(QStringLiteral("<a href=\"files/same%20name%281%29.jpg\">")));
    QVERIFY(QFileInfo::exists(dir + QStringLiteral("/files/same name.jpg")));
    QVERIFY(QFileInfo::exists(dir + QStringLiteral("/files/same name(1).jpg")));
    QCOMPARE(QImage(dir + QStringLiteral("/files/same name(1).jpg")).pixelColor(2, 2).green() > 200, true);
    // Neither text nor attachment: one empty bubble.
    QVERIFY(lines.at(8).contains(QStringLiteral("<div class=\"bb_bg bottom_right\"></div></div>")));
    QVERIFY(lines.at(8).startsWith(QStringLiteral("<div class=\"bb2\">")));
    // A missing attachment links nowhere.
    QVERIFY(lines.at(9).contains(QStringLiteral("<a href=\"#\">[ATTACHMENT]</a>")));
}

void TestMessageExports::html_badInputIsShownAsText()
{
    const QString src = testsupport::makeTempDir(QStringLiteral("badsrc"));
    MessageSet s;
    auto* h = s.handle(QStringLiteral("+1"), QStringLiteral("<b>Eve</b>"));
    auto* h2 = s.handle(QStringLiteral("+2"));
    auto* c = s.chat(QStringLiteral("\"><script>x</script>"), {h, h2}, 0);
    const QString huge(1024 * 1024, QLatin1Char('x'));
    s.message(c, h, false, huge, 10);
    s.message(c, h, false, QString(QChar(0xD800)) + QStringLiteral("lone") + QChar(0xDFFF), 20);
    s.message(c, h, false, QStringLiteral("ctl\x01\x02\x1b[0m"), 30);
    auto* m = s.message(c, h, false, QStringLiteral("<img src=x onerror=alert(1)>"), 40);
    // An attachment name that tries to leave the folder or the attribute.
    const QString odd = writeFile(src + QStringLiteral("/\"a'b<c>.bin"), "data");
    s.attach(m, QStringLiteral("application/octet-stream"), odd);
    const QString unreadable = writeFile(src + QStringLiteral("/locked.txt"), "secret");
    QFile::setPermissions(unreadable, QFile::Permissions());
    s.attach(m, QStringLiteral("text/plain"), unreadable);
    s.attach(m, QStringLiteral("image/jpeg"), src + QStringLiteral("/missing.jpg"));
    s.attach(m, QStringLiteral("text/vcard"), src + QStringLiteral("/missing.vcf"));

    const QString target = testsupport::makeTempDir(QStringLiteral("bad")) + QStringLiteral("/out");
    RecordingJobReport report;
    QStringList written;
    runJob(s.list(), target, MessageExportHtml, &report, &written);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    QCOMPARE(written.size(), 1);
    QVERIFY(QFileInfo(written.at(0)).absolutePath() == QFileInfo(target).absoluteFilePath());

    const QByteArray bytes = readAll(written.at(0));
    QVERIFY(bytes.size() > huge.size());
    const QString page = QString::fromUtf8(bytes);
    QCOMPARE(page.toUtf8(), bytes); // valid UTF-8 throughout
    QVERIFY(!page.contains(QStringLiteral("<script")));
    QVERIFY(!page.contains(QStringLiteral("<img src=x")));
    QVERIFY(!page.contains(QStringLiteral("<b>Eve")));
    QVERIFY(page.contains(QStringLiteral("&lt;b&gt;Eve&lt;/b&gt;")));
    QVERIFY(page.contains(QStringLiteral("ctl\uFFFD\uFFFD\uFFFD[0m")));
    // The name is cleaned for the file system and encoded for the link.
    QVERIFY(page.contains(QStringLiteral("<a href=\"files/a%27bc.bin\">[ATTACHMENT]</a>")));
    QVERIFY(page.contains(QStringLiteral("<a href=\"#\">[VCARD]</a>")));
    QVERIFY(page.contains(QStringLiteral("src=\"files/empty_photo.jpg\"")));
    QVERIFY(!page.contains(QStringLiteral("secret")) || QFileInfo(unreadable).isReadable());
    QCOMPARE(readAll(target + QStringLiteral("/files/a'bc.bin")), QByteArray("data"));
}

void TestMessageExports::pdf_hugeTextContinuesOnMorePages()
{
    MessageSet s;
    auto* h = s.handle(QStringLiteral("+1"));
    auto* c = s.chat(QStringLiteral("+1"), {h}, 0);
    QString words;
    while (words.size() < 200 * 1024)
        words += QStringLiteral("lorem ipsum dolor sit amet ");
    s.message(c, h, false, words, 10);
    s.message(c, h, true, QString(300 * 1024, QLatin1Char('w')), 20); // one endless word
    s.message(c, h, false, QString(QChar(0xD83D)) + QStringLiteral("\x01<b>"), 30);
    s.message(c, h, false, QString(), 40);

    const QString path = testsupport::makeTempDir(QStringLiteral("hugepdf")) + QStringLiteral("/huge.pdf");
    ExportMessagesPdf pdf(path);
    pdf.begin();
    QElapsedTimer timer;
    timer.start();
    for (const auto& m : s.messages)
        pdf.write(*m);
    QVERIFY2(timer.elapsed() < 20000, "huge texts must not take quadratic time");
    const int pages = pdf.pageCount();
    pdf.end();
    QVERIFY2(pages > 20, qPrintable(QString::number(pages)));
    QVERIFY(readAll(path).startsWith("%PDF"));
}

void TestMessageExports::job_collidingNamesGetDistinctFiles()
{
    MessageSet s;
    auto* a = s.handle(QStringLiteral("+1"));
    auto* b = s.handle(QStringLiteral("+2"));
    auto* c1 = s.chat(QStringLiteral("+1"), {a}, 100);
    auto* c2 = s.chat(QStringLiteral("+2"), {b}, 200);
    c1->display_name = QStringLiteral("Team");
    c2->display_name = QStringLiteral("team");
    s.message(c1, a, false, QStringLiteral("first"), 100);
    s.message(c2, b, false, QStringLiteral("second"), 200);
    const QString target = testsupport::makeTempDir(QStringLiteral("collide"));
    RecordingJobReport report;
    QStringList written;
    runJob(s.list(), target, MessageExportHtml, &report, &written);
    QVERIFY(report.succeeded());
    QCOMPARE(written.size(), 2);
    QVERIFY(written.at(0) != written.at(1));
    QVERIFY(readAll(written.at(0)).contains("first"));
    QVERIFY(readAll(written.at(1)).contains("second"));
    QCOMPARE(QFileInfo(written.at(1)).fileName(), QStringLiteral("team(2).html"));
}

void TestMessageExports::job_cancelRemovesOnlyItsOwnOutput()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);

    // CSV: the partial file goes.
    const QString csv = testsupport::makeTempDir(QStringLiteral("cancelcsv")) + QStringLiteral("/part.csv");
    {
        RecordingJobReport report;
        report.cancelWhenProgressContains(QStringLiteral("Messages: 3/"));
        runJob(s.list(), csv, MessageExportCsv, &report);
        QCOMPARE(report.endCount(), 0);
        QVERIFY(!QFileInfo::exists(csv));
    }

    // A folder that held files before: they stay, the export's own go.
    const QString target = testsupport::makeTempDir(QStringLiteral("cancelhtml"));
    writeFile(target + QStringLiteral("/keep.txt"), "mine");
    QDir().mkpath(target + QStringLiteral("/files"));
    writeFile(target + QStringLiteral("/files/old.png"), "old");
    RecordingJobReport report;
    report.cancelWhenProgressContains(QStringLiteral("Messages: 7/"));
    runJob(s.list(), target, MessageExportHtml, &report);
    QCOMPARE(report.endCount(), 0);
    QCOMPARE(filesBelow(target), (QStringList{QStringLiteral("files/old.png"), QStringLiteral("keep.txt")}));
    QVERIFY(!QFileInfo::exists(target + QStringLiteral("/emoji")));

    // A folder the job made is removed whole.
    const QString fresh = testsupport::makeTempDir(QStringLiteral("cancelpdf")) + QStringLiteral("/new/deeper");
    RecordingJobReport report2;
    report2.cancelWhenProgressContains(QStringLiteral("Messages: 7/"));
    runJob(s.list(), fresh, MessageExportPdf, &report2);
    QVERIFY(!QFileInfo::exists(QFileInfo(fresh).absolutePath()));
}

void TestMessageExports::job_failuresEndInErrors()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);

    // The text file cannot be created.
    const QString base = testsupport::makeTempDir(QStringLiteral("fail"));
    writeFile(base + QStringLiteral("/plainfile"), "x");
    {
        RecordingJobReport report;
        runJob(s.list(), base + QStringLiteral("/plainfile/sub.csv"), MessageExportCsv, &report);
        QVERIFY(report.failed());
        QVERIFY(report.errors().value(0).startsWith(QStringLiteral("create file error.")));
        QCOMPARE(readAll(base + QStringLiteral("/plainfile")), QByteArray("x"));
    }
    // The PDF of the second conversation cannot be created: an error, and
    // the first conversation's file goes too.
    const QString target = base + QStringLiteral("/pdfs");
    QDir().mkpath(target + QStringLiteral("/chat123456.pdf"));
    {
        RecordingJobReport report;
        runJob(s.list(), target, MessageExportPdf, &report);
        QVERIFY(report.failed());
        QVERIFY2(report.errors().value(0).startsWith(QStringLiteral("create file error.")),
                 qPrintable(report.errors().value(0)));
        QCOMPARE(filesBelow(target), QStringList());
        QVERIFY(QFileInfo(target + QStringLiteral("/chat123456.pdf")).isDir());
    }
    // The same for a page.
    QDir().mkpath(base + QStringLiteral("/pages/chat123456.html"));
    {
        RecordingJobReport report;
        runJob(s.list(), base + QStringLiteral("/pages"), MessageExportHtml, &report);
        QVERIFY(report.failed());
        QVERIFY(!QFileInfo::exists(base + QStringLiteral("/pages/files")));
        QVERIFY(!QFileInfo::exists(base + QStringLiteral("/pages/Alice Smith (+15550001).html")));
    }
}

void TestMessageExports::job_emptyListAndUnknownFormat()
{
    const QString dir = testsupport::makeTempDir(QStringLiteral("empty"));
    for (int format : {0, 1, 2, 3, 7}) {
        RecordingJobReport report;
        runJob({}, dir + QStringLiteral("/x") + QString::number(format), format, &report);
        QVERIFY(report.succeeded());
        QCOMPARE(report.successes().value(0), QStringLiteral("Successfully extracted 0 Messages."));
    }
    QCOMPARE(filesBelow(dir), QStringList());

    MessageSet s;
    buildThreeConversations(s, m_fileDir);
    RecordingJobReport report;
    runJob(s.list(), dir + QStringLiteral("/five"), 5, &report);
    QCOMPARE(report.errors(), QStringList{QStringLiteral("not support export format.")});
}

void TestMessageExports::job_htmlTwiceKeepsFirstRunAssets()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);
    const QString target = testsupport::makeTempDir(QStringLiteral("twice"));
    RecordingJobReport first;
    runJob(s.list(), target, MessageExportHtml, &first);
    QVERIFY(first.succeeded());
    writeFile(target + QStringLiteral("/files/style.css"), "/* edited */");
    writeFile(target + QStringLiteral("/emoji/2714.png"), "edited");
    RecordingJobReport second;
    runJob(s.list(), target, MessageExportHtml, &second);
    QVERIFY(second.succeeded());
    QCOMPARE(readAll(target + QStringLiteral("/files/style.css")), QByteArray("/* edited */"));
    QCOMPARE(readAll(target + QStringLiteral("/emoji/2714.png")), QByteArray("edited"));
    QCOMPARE(QDir(target).entryList({QStringLiteral("*.html")}).size(), 3);
}

void TestMessageExports::job_storeCopy()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);
    const QString target = testsupport::makeTempDir(QStringLiteral("store")) + QStringLiteral("/backup");
    RecordingJobReport report;
    runJob(s.list(), target, MessageExportStore, &report);
    QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
    qDebug() << filesBelow(target);
    QVERIFY(!filesBelow(target).isEmpty());
}

void TestMessageExports::chatOrder_isStrictAndKeepsConversationsTogether()
{
    MessageSet s;
    auto* h = s.handle(QStringLiteral("+1"));
    // Two conversations with the same newest date, and one chat whose
    // identifier differs from another's only in letter case.
    auto* x = s.chat(QStringLiteral("x@example.org"), {h}, 500);
    auto* y = s.chat(QStringLiteral("y@example.org"), {h}, 500);
    auto* xUpper = s.chat(QStringLiteral("X@EXAMPLE.ORG"), {h}, 900);
    for (int i = 0; i < 4; ++i) {
        s.message(x, h, false, QStringLiteral("x%1").arg(i), 100 + i * 10);
        s.message(y, h, false, QStringLiteral("y%1").arg(i), 100 + i * 10);
    }
    s.message(xUpper, h, false, QStringLiteral("X"), 105);
    auto* orphan = s.message(nullptr, nullptr, false, QStringLiteral("no chat"), 50);

    MsgMessageList list = s.list();
    for (const _MsgMessage* a : list) {
        QVERIFY(!ExportMessagesThread::chatThenMessageLessThan(a, a));
        for (const _MsgMessage* b : list)
            QVERIFY(!(ExportMessagesThread::chatThenMessageLessThan(a, b)
                      && ExportMessagesThread::chatThenMessageLessThan(b, a)));
    }
    QVERIFY(ExportMessagesThread::chatThenMessageLessThan(orphan, list.first()));

    std::mt19937 rng(3);
    std::shuffle(list.begin(), list.end(), rng);
    ExportMessagesThread::sortByConversation(list);
    QStringList texts;
    for (const _MsgMessage* m : list)
        texts << m->text;
    QCOMPARE(texts, (QStringList{QStringLiteral("no chat"), QStringLiteral("y0"), QStringLiteral("y1"),
                                 QStringLiteral("y2"), QStringLiteral("y3"), QStringLiteral("x0"),
                                 QStringLiteral("X"), QStringLiteral("x1"), QStringLiteral("x2"),
                                 QStringLiteral("x3")}));

    // In the export: the case-folded conversation is one page.
    const QString target = testsupport::makeTempDir(QStringLiteral("order"));
    RecordingJobReport report;
    QStringList written;
    runJob(s.list(), target, MessageExportHtml, &report, &written);
    QVERIFY(report.succeeded());
    QCOMPARE(written.size(), 3);
    QCOMPARE(QFileInfo(written.at(0)).fileName(), QStringLiteral("unknown-chat.html"));
}

QTEST_MAIN(TestMessageExports)
#include "test_message_exports.moc"
