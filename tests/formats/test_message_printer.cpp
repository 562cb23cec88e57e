// The message printer: bubble pictures, the page layout of the painter, the
// print preview through the dialog seam, and a rendered PDF page.
#include "formats/messageassets.h"
#include "formats/messageexportthread.h"
#include "formats/messagepagepainter.h"
#include "formats/mmsprinter.h"
#include "message_testdata.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"
#include "testsupport.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class TestMessagePrinter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void textBubble_sizeLimits();
    void imageBubble_keepsPictureSize();
    void painter_dateLinesNamesAndNotices();
    void painter_placeholderFoundFromAnyWorkingFolder();
    void print_runsPreviewThroughSeam();
    void pdf_renderedPageShowsBubbles();

private:
    QString m_fileDir;
};

namespace {

void setupPdf(QPrinter& printer, const QString& path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(path);
    printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
}

} // namespace

void TestMessagePrinter::initTestCase()
{
    installTranslations(qApp);
    messageassets::setApplicationFolder(testsupport::appBinDir());
    m_fileDir = testsupport::makeTempDir(QStringLiteral("attachments"));
}

void TestMessagePrinter::textBubble_sizeLimits()
{
    const QImage shortBubble = MessagePagePainter::renderTextBubble(QStringLiteral("ok"), 560, false);
    QCOMPARE(shortBubble.size(), QSize(90, 52));
    // The frame is drawn: the bubble body is white, the corner shows the page.
    QCOMPARE(QColor(shortBubble.pixel(45, 26)), QColor(Qt::white));
    QCOMPARE(QColor(shortBubble.pixel(0, 0)), MessagePagePainter::backgroundColor());
    const QImage sent = MessagePagePainter::renderTextBubble(QStringLiteral("ok"), 560, true);
    QVERIFY(QColor(sent.pixel(45, 26)) != QColor(Qt::white));

    QString para;
    for (int i = 0; i < 200; ++i)
        para += QStringLiteral("words ");
    const QImage wide = MessagePagePainter::renderTextBubble(para, 560, false);
    QVERIFY(wide.width() <= 560);
    QVERIFY(wide.width() > 400);
    QVERIFY(wide.height() > 52);
    // An endless word wraps instead of widening the bubble.
    const QImage word = MessagePagePainter::renderTextBubble(QString(3000, QLatin1Char('m')), 560, true);
    QVERIFY(word.width() <= 560);
    QVERIFY(word.height() > 200);

    // Text taller than a page is cut between lines into several bubbles.
    const QStringList pieces = MessagePagePainter::splitTextForBubbles(para.repeated(20), 560, 1000);
    QVERIFY(pieces.size() > 2);
    QCOMPARE(pieces.join(QString()).remove(QLatin1Char(' ')).size(), para.repeated(20).remove(QLatin1Char(' ')).size());
    for (const QString& p : pieces)
        QVERIFY(MessagePagePainter::renderTextBubble(p, 560, false).height() <= 1000);
    QCOMPARE(MessagePagePainter::splitTextForBubbles(QStringLiteral("short"), 560, 1000), QStringList{QStringLiteral("short")});
}

void TestMessagePrinter::imageBubble_keepsPictureSize()
{
    QVERIFY(MessagePagePainter::renderImageBubble(QImage(), false).isNull());
    QImage pic(120, 90, QImage::Format_RGB32);
    pic.fill(Qt::red);
    const QImage b = MessagePagePainter::renderImageBubble(pic, false);
    QCOMPARE(b.size(), QSize(170, 120));
    QCOMPARE(QColor(b.pixel(30 + 60, 10 + 45)), QColor(Qt::red));
    QCOMPARE(QColor(b.pixel(30 + 60, 10 + 95)) == QColor(Qt::red), false); // not stretched
}

void TestMessagePrinter::painter_dateLinesNamesAndNotices()
{
    MessageSet s;
    auto* bob = s.handle(QStringLiteral("+2"), QStringLiteral("Bob"));
    auto* ann = s.handle(QStringLiteral("+3"));
    auto* group = s.chat(QStringLiteral("chat9"), {bob, ann}, 0);
    auto* m1 = s.message(group, bob, false, QStringLiteral("one"), 1000);
    auto* m2 = s.message(group, ann, false, QStringLiteral("two"), 1060); // 60 s: same date line
    auto* m3 = s.message(group, nullptr, true, QStringLiteral("three"), 1121); // 61 s after the line
    auto* notice = s.message(group, bob, false, QString(), 5000);
    notice->item_type = 1;
    auto* pic = s.message(group, bob, false, QString(), 1125);
    s.attach(pic, QStringLiteral("image/png"), writePicture(m_fileDir + QStringLiteral("/p.jpg"), Qt::blue, 240, 120));

    QPrinter printer(QPrinter::ScreenResolution);
    setupPdf(printer, testsupport::makeTempDir(QStringLiteral("layout")) + QStringLiteral("/l.pdf"));
    MessagePagePainter pages;
    QVERIFY(pages.begin(&printer));
    QVERIFY(pages.area.width() > 500);
    const int maxWidth = int(pages.area.width() * 0.8);
    const int top = pages.area.top();
    QCOMPARE(pages.y, top);

    const int bubble = MessagePagePainter::renderTextBubble(QStringLiteral("one"), maxWidth, false).height();
    pages.paintMessage(m1);
    QCOMPARE(pages.y, top + 24 + 19 + bubble + 10); // date line, sender line, bubble
    pages.paintMessage(m2);
    QCOMPARE(pages.y, top + 24 + 2 * (19 + bubble + 10));
    const int before3 = pages.y;
    pages.paintMessage(m3); // sent: no name, but a new date line
    QCOMPARE(pages.y, before3 + 24 + bubble + 10);
    const int beforeNotice = pages.y;
    pages.paintMessage(notice);
    QVERIFY(pages.y > beforeNotice + 8);
    QVERIFY(pages.y < beforeNotice + 60);
    // A picture alone: its name and picture bubble, no text bubble.
    const int beforePic = pages.y;
    pages.paintMessage(pic);
    QCOMPARE(pages.y, beforePic + 19 + (60 + 30) + 10); // thumbnail 120 x 60
    QCOMPARE(pages.page, 1);

    // Messages that do not fit go on to new pages.
    for (int i = 0; i < 40; ++i)
        pages.paintMessage(m1);
    QVERIFY(pages.page >= 2);
    QVERIFY(pages.y <= pages.area.top() + pages.area.height());
    QVERIFY(pages.end());
}

void TestMessagePrinter::painter_placeholderFoundFromAnyWorkingFolder()
{
    const QString elsewhere = testsupport::makeTempDir(QStringLiteral("cwd"));
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere));
    MessageSet s;
    auto* h = s.handle(QStringLiteral("+1"));
    auto* c = s.chat(QStringLiteral("+1"), {h}, 0);
    auto* m = s.message(c, h, false, QString(), 100);
    s.attach(m, QStringLiteral("image/jpeg"), m_fileDir + QStringLiteral("/no-such-picture.jpg"));

    QPrinter printer(QPrinter::ScreenResolution);
    setupPdf(printer, elsewhere + QStringLiteral("/p.pdf"));
    MessagePagePainter pages;
    QVERIFY(pages.begin(&printer));
    const int y0 = pages.y;
    pages.paintMessage(m);
    // The stand-in picture (120 x 90) of the program's folder was used.
    QCOMPARE(pages.y, y0 + 24 + (90 + 30) + 10);
    pages.end();
    QDir::setCurrent(old);
}

void TestMessagePrinter::print_runsPreviewThroughSeam()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);
    MsgMessageList list = s.list();
    std::reverse(list.begin(), list.end());

    ScriptedPrompt prompt;
    int previewPages = 0;
    QString title;
    prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"), [&](QDialog* dialog) {
        title = dialog->windowTitle();
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        QVERIFY(preview);
        preview->updatePreview();
        previewPages = preview->pageCount();
    });
    MMSPrinter printer;
    printer.print(list);
    QVERIFY(prompt.unexpected().isEmpty());
    QCOMPARE(prompt.pendingAnswers(), 0);
    QCOMPARE(title, QStringLiteral("Print Messages"));
    QVERIFY(previewPages >= 1);
    // Kept in date order.
    QVERIFY(std::is_sorted(printer.messages().begin(), printer.messages().end(), msgLessThan));
}

void TestMessagePrinter::pdf_renderedPageShowsBubbles()
{
    MessageSet s;
    buildThreeConversations(s, m_fileDir);
    const QString target = testsupport::makeTempDir(QStringLiteral("pdfshot"));
    testsupport::RecordingJobReport report;
    ExportMessagesThread job(s.list(), target, MessageExportPdf, &report);
    job.start();
    QVERIFY(job.wait(60000));
    QVERIFY(report.succeeded());

    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        QSKIP("pdftoppm is not installed");
    const QString shots = testsupport::binaryDir() + QStringLiteral("/screenshots");
    QDir().mkpath(shots);
    const QString base = shots + QStringLiteral("/message_pdf_alice");
    QFile::remove(base + QStringLiteral(".png"));
    QProcess p;
    p.start(pdftoppm, {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-singlefile"),
                       job.writtenFiles().value(0), base});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QImage page(base + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    // A4 at 72 dpi, the page background inside the margins, white received
    // bubbles and green sent ones on it.
    QVERIFY(qAbs(page.width() - 595) <= 2);
    int background = 0, white = 0, green = 0;
    for (int y = 0; y < page.height(); y += 2) {
        for (int x = 0; x < page.width(); x += 2) {
            const QColor c = page.pixelColor(x, y);
            if (qAbs(c.red() - 219) < 4 && qAbs(c.green() - 226) < 4 && qAbs(c.blue() - 237) < 4)
                ++background;
            else if (c == QColor(Qt::white))
                ++white;
            else if (c.green() > 230 && c.red() < 220 && c.blue() < 210)
                ++green;
        }
    }
    QVERIFY(background > 10000);
    QVERIFY(white > 300);
    QVERIFY(green > 100);
}

QTEST_MAIN(TestMessagePrinter)
#include "test_message_printer.moc"
