// The message exporters (CSV, TXT, HTML, PDF, store copy), the export job
// that drives them and the printer; the HTML pages are shown in the web view
// and the PDF is rendered with pdftoppm, into screenshots.
#include "decodewatch.h"
#include "formats/messageassets.h"
#include "formats/messagepagepainter.h"
#include "formats/messagetextexport.h"
#include "formats/mmsprinter.h"
#include "message_testdata.h"
#include "photowriter.h"
#include "scriptedprompt.h"
#include "shell/core/translations.h"
#include "shell/progressform.h"
#include "testpictures.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <functional>
#include <random>

using testsupport::filesBelow;
using testsupport::RecordingJobReport;

namespace {

// Pixels of every fourth one that match.
int count(const QImage& image, const std::function<bool(QColor)>& match)
{
    int n = 0;
    for (int i = 0; i < image.width() * image.height(); i += 4)
        n += match(image.pixelColor(i % image.width(), i / image.width())) ? 1 : 0;
    return n;
}

} // namespace

class TestMessageExports : public QObject {
    Q_OBJECT

    QString m_fileDir;

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(qApp);
        messageassets::setApplicationFolder(testsupport::appBinDir());
        m_fileDir = testsupport::makeTempDir(QStringLiteral("attachments"));
    }

    // One complete file per conversation, oldest conversation first, with the
    // assets and attachments the pages use beside them; the same printed, and
    // as CSV and text.
    void threeConversations_inEveryFormat()
    {
        MessageSet s;
        buildThreeConversations(s, m_fileDir);
        const QString base = testsupport::makeTempDir(QStringLiteral("three"));
        QStringList pages;
        for (const auto& [format, ext] : {std::pair {int(MessageExportPdf), QStringLiteral(".pdf")},
                                          std::pair {int(MessageExportHtml), QStringLiteral(".html")}}) {
            RecordingJobReport report;
            const QString dir = base + QLatin1Char('/') + ext.mid(1);
            pages = runJob(s.list(), dir, format, &report);
            QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
            QCOMPARE(
                pages,
                (QStringList {dir + QStringLiteral("/Alice Smith (+15550001)") + ext,
                              dir + QStringLiteral("/chat123456") + ext, dir + QStringLiteral("/+15550004") + ext}));
            for (const QString& w : pages)
                QVERIFY(readAll(w).trimmed().endsWith(format == MessageExportPdf ? "%%EOF" : "</html>"));
        }
        const QDir out(base + QStringLiteral("/html"));
        for (const char* f : {"files/style.css", "files/bb1_01.png", "files/bb2_09.png", "files/empty_photo.jpg",
                              "files/IMG_0001.jpg", "files/note.txt", "emoji/2714.png", "emoji/1F604.png"})
            QVERIFY2(QFileInfo::exists(out.absoluteFilePath(QLatin1String(f))), f);

        const QString alice = QString::fromUtf8(readAll(pages.at(0)));
        QVERIFY(alice.contains(
            QStringLiteral("Fine &amp; you? <img src=\"emoji/2714.png\" /> <img src=\"emoji/1F604.png\" />")));
        QVERIFY(alice.contains(QStringLiteral("<a href=\"files/IMG_0001.jpg\"><img src=\"files/")));
        QVERIFY(alice.contains(QStringLiteral("plain &lt;note&gt; text")));
        const auto card = QRegularExpression(QStringLiteral("<img src=\"files/([0-9a-f]{32}\\.jpg)\"")).match(alice);
        QVERIFY(card.hasMatch()
                && QFileInfo::exists(out.absoluteFilePath(QStringLiteral("files/") + card.captured(1))));
        const QString group = QString::fromUtf8(readAll(pages.at(1)));
        QVERIFY(group.contains(QStringLiteral("<div class=\"ct_left\">Bob</div>")));
        QVERIFY(group.contains(QStringLiteral("<div class=\"ct_left\">+15550003</div>")));
        QVERIFY(group.contains(QStringLiteral("<div class=\"sysif\">Bob left the conversation.<br/>")));
        QVERIFY(readAll(pages.at(2)).contains("&lt;script&gt;alert(1)&lt;/script&gt; 100% %1 %2"));

        // The pages in the web view without JavaScript, grabbed into
        // screenshots: the style sheet applies (page colour), the bubble
        // pictures resolve beside the page (white).
        const QString shots = testsupport::binaryDir() + QStringLiteral("/screenshots/");
        QDir().mkpath(shots);
        QWebEngineView view;
        view.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        view.resize(640, 560);
        view.show();
        for (int i = 0; i < pages.size(); ++i) {
            QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
            view.load(QUrl::fromLocalFile(pages.at(i)));
            QVERIFY(loaded.wait(testsupport::kHangGuardMs) && loaded.first().first().toBool());
            QImage shot;
            QTRY_VERIFY_WITH_TIMEOUT((shot = view.grab().toImage(),
                                      !shot.isNull()
                                          && shot.pixelColor(4, shot.height() - 4) == QColor(0xDB, 0xE2, 0xED)
                                          && count(shot, [](QColor c) { return c == QColor(Qt::white); }) > 200),
                                     testsupport::kHangGuardMs);
            QVERIFY(shot.save(shots + QStringLiteral("message_html_%1.png").arg(i + 1)));
        }

        // Printed: the preview draws the messages, sorted, through the dialog seam.
        MsgMessageList list = s.list();
        std::reverse(list.begin(), list.end());
        ScriptedPrompt prompt;
        int previewPages = 0;
        prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"), [&](QDialog* dialog) {
            auto* preview = dialog->findChild<QPrintPreviewWidget*>();
            QVERIFY(preview);
            preview->updatePreview();
            previewPages = preview->pageCount();
        });
        MMSPrinter printer;
        printer.print(list);
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(previewPages >= 1);
        QVERIFY(std::is_sorted(printer.messages().begin(), printer.messages().end(), msgLessThan));

        // As CSV and text, against expected files written from the rules, not
        // from our output. One attachment per message: the summary's
        // attachment tags then do not depend on the order of the table.
        for (const auto& m : s.messages) {
            const QList<_MsgAttachment*> atts = getAttachments(m.get());
            for (qsizetype i = 1; i < atts.size(); ++i)
                m->attachments.remove(QString::number(atts.at(i)->ROWID));
        }
        std::mt19937 rng(7);
        std::shuffle(list.begin(), list.end(), rng); // the job sorts

        const QString dir = testsupport::makeTempDir(QStringLiteral("csvtxt"));
        for (const auto& [name, format] : {std::pair {QStringLiteral("expected.csv"), int(MessageExportCsv)},
                                           std::pair {QStringLiteral("expected.txt"), int(MessageExportTxt)}}) {
            RecordingJobReport report;
            runJob(list, dir + QLatin1Char('/') + name, format, &report);
            QCOMPARE(report.successes(), QStringList {QStringLiteral("Successfully extracted 8 Messages.")});
            QCOMPARE(readAll(dir + QLatin1Char('/') + name),
                     readAll(testsupport::sourceDir() + QStringLiteral("/tests/formats/message_data/") + name));
        }
        // An empty list is a success with nothing written.
        RecordingJobReport empty;
        runJob({}, dir + QStringLiteral("/empty"), MessageExportHtml, &empty);
        QCOMPARE(empty.successes(), QStringList {QStringLiteral("Successfully extracted 0 Messages.")});
        QCOMPARE(filesBelow(dir), (QStringList {QStringLiteral("expected.csv"), QStringLiteral("expected.txt")}));

        // The first PDF page as a picture: A4 at 72 dpi, the page background,
        // white received bubbles and green sent ones on it.
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (pdftoppm.isEmpty())
            QSKIP("pdftoppm is not installed");
        const QString shot = shots + QStringLiteral("message_pdf_alice");
        QFile::remove(shot + QStringLiteral(".png"));
        QCOMPARE(QProcess::execute(pdftoppm,
                                   {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("72"),
                                    QStringLiteral("-singlefile"),
                                    base + QStringLiteral("/pdf/Alice Smith (+15550001).pdf"), shot}),
                 0);
        const QImage page(shot + QStringLiteral(".png"));
        QVERIFY(qAbs(page.width() - 595) <= 2);
        QVERIFY(count(page,
                      [](QColor c) {
                          return qAbs(c.red() - 219) < 4 && qAbs(c.green() - 226) < 4 && qAbs(c.blue() - 237) < 4;
                      })
                > 10000);
        QVERIFY(count(page, [](QColor c) { return c == QColor(Qt::white); }) > 300);
        QVERIFY(count(page, [](QColor c) { return c.green() > 230 && c.red() < 220 && c.blue() < 210; }) > 100);
    }

    // Markup, a megabyte without a break, lone surrogates and control
    // characters in the text; attachment names that try to leave the folder
    // or the attribute, collide, cannot be read or are missing.
    void html_badInputIsShownAsText()
    {
        const QString src = testsupport::makeTempDir(QStringLiteral("badsrc"));
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+1"), QStringLiteral("<b>Eve</b>"));
        auto* c = s.chat(QStringLiteral("\"><script>x</script>"), {h, s.handle(QStringLiteral("+2"))}, 0);
        const QString huge = QStringLiteral("word ").repeated(100 * 1024) + QString(512 * 1024, QLatin1Char('x'));
        s.message(c, h, false, huge, 10);
        s.message(c, h, false, QString(QChar(0xD800)) + QStringLiteral("lone") + QChar(0xDFFF), 20);
        s.message(c, h, false, QStringLiteral("ctl\x01\x02\x1b[0m"), 30);
        s.message(c, h, false, QString(), 35);
        auto* m = s.message(c, h, false, QStringLiteral("<img src=x onerror=alert(1)>"), 40);
        s.attach(m, QStringLiteral("application/octet-stream"),
                 writeFile(src + QStringLiteral("/\"a'b<c>.bin"), "data"));
        QDir().mkpath(src + QStringLiteral("/b"));
        s.attach(m, QStringLiteral("IMAGE/PNG"), writePicture(src + QStringLiteral("/same name.jpg"), Qt::red));
        s.attach(m, QStringLiteral("image/jpeg"), writePicture(src + QStringLiteral("/b/same name.jpg"), Qt::green));
        const QString unreadable = writeFile(src + QStringLiteral("/locked.txt"), "secret");
        QFile::setPermissions(unreadable, QFile::Permissions());
        s.attach(m, QStringLiteral("text/plain"), unreadable);
        s.attach(m, QStringLiteral("image/jpeg"), src + QStringLiteral("/missing.jpg"));
        s.attach(m, QStringLiteral("text/vcard"), src + QStringLiteral("/missing.vcf"));
        s.attach(m, QStringLiteral("application/pdf"), src + QStringLiteral("/gone.pdf"));

        // Every format copes; the page is checked closely.
        const QString base = testsupport::makeTempDir(QStringLiteral("bad")), target = base + QStringLiteral("/out");
        for (int format : {MessageExportTxt, MessageExportCsv, MessageExportPdf, MessageExportStore}) {
            RecordingJobReport report;
            const QStringList files = runJob(s.list(), base + QStringLiteral("/f%1").arg(format), format, &report);
            QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
            if (format == MessageExportPdf) // the megabyte goes on over many pages
                QVERIFY2(readAll(files.value(0)).count("/Type /Page\n") > 20, qPrintable(files.value(0)));
        }
        RecordingJobReport report;
        const QStringList written = runJob(s.list(), target, MessageExportHtml, &report);
        QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
        QCOMPARE(written.size(), 1);
        QCOMPARE(QFileInfo(written.at(0)).absolutePath(), QFileInfo(target).absoluteFilePath());

        const QByteArray bytes = readAll(written.at(0));
        QVERIFY(bytes.size() > huge.size());
        const QString page = QString::fromUtf8(bytes);
        QCOMPARE(page.toUtf8(), bytes); // valid UTF-8 throughout
        for (const char* raw : {"<script", "<img src=x", "<b>Eve"})
            QVERIFY2(!page.contains(QLatin1String(raw)), raw);
        QVERIFY(page.contains(QStringLiteral("&lt;b&gt;Eve&lt;/b&gt;")));
        QVERIFY(page.contains(QStringLiteral("ctl\uFFFD\uFFFD\uFFFD[0m")));
        // The name is cleaned for the file system and encoded for the link.
        QVERIFY(page.contains(QStringLiteral("<a href=\"files/a%27bc.bin\">[ATTACHMENT]</a>")));
        QCOMPARE(readAll(target + QStringLiteral("/files/a'bc.bin")), QByteArray("data"));
        QVERIFY(page.contains(QStringLiteral("<a href=\"files/same%20name.jpg\">")));
        QVERIFY(page.contains(QStringLiteral("<a href=\"files/same%20name%281%29.jpg\">")));
        QVERIFY(QImage(target + QStringLiteral("/files/same name(1).jpg")).pixelColor(2, 2).green() > 200);
        QVERIFY(page.contains(QStringLiteral("<a href=\"#\">[VCARD]</a>")));
        QVERIFY(page.contains(QStringLiteral("<a href=\"#\">[ATTACHMENT]</a>")));
        QVERIFY(page.contains(QStringLiteral("src=\"files/empty_photo.jpg\"")));
        QVERIFY(!page.contains(QStringLiteral("secret")) || QFileInfo(unreadable).isReadable());
    }

    // A photo as a common editor writes it (4000 x 3000, progressive, colour
    // at full resolution) gets its thumbnail in the HTML and PDF exports and
    // in a print, made on a worker before the page is written or the
    // preview painted. A Cancel pressed as a picture begins to decode is
    // heard: the export ends cancelled and leaves no thumbnail and no page,
    // the print shows no preview.
    void largePhoto_thumbnailInExportsAndPrint_cancelHeardWhileItDecodes()
    {
        const QString src = testsupport::makeTempDir(QStringLiteral("large"));
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930777"), QStringLiteral("Cy"));
        auto* chat = s.chat(h->id, {h}, 100);
        const _MsgAttachment* photo
            = s.attach(s.message(chat, h, false, QString(), 100), QStringLiteral("image/jpeg"),
                       writeFile(src + QStringLiteral("/editor.jpg"), photowriter::smoothJpeg(4000, 3000, true, true)));
        const QString thumb = attachmentThumbnailPath(photo);
        const QString base = testsupport::makeTempDir(QStringLiteral("largeout"));
        for (int format : {MessageExportHtml, MessageExportPdf}) {
            QFile::remove(thumb);
            decodewatch::Decodes& decodes = decodewatch::watch();
            RecordingJobReport report;
            const QStringList written = runJob(s.list(), base + QStringLiteral("/%1").arg(format), format, &report);
            QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
            QCOMPARE(QImage(thumb).size(), QSize(120, 90));
            QCOMPARE(decodes.began.load(), 1);
            QCOMPARE(decodes.onWindowThread.load(), 0);
            if (format == MessageExportHtml) {
                QVERIFY(readAll(written.value(0))
                            .contains("<img src=\"files/" + QFileInfo(thumb).fileName().toUtf8() + '"'));
            }
        }

        QFile::remove(thumb);
        decodewatch::Decodes& decodes = decodewatch::watch();
        ScriptedPrompt prompt;
        bool madeBeforePreview = false;
        prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"), [&](QDialog* dialog) {
            madeBeforePreview = QImage(thumb).size() == QSize(120, 90) && decodes.began == 1;
            dialog->findChild<QPrintPreviewWidget*>()->updatePreview();
        });
        MMSPrinter printer;
        printer.print(s.list());
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY(madeBeforePreview);
        QCOMPARE(decodes.began.load(), 1);
        QCOMPARE(decodes.onWindowThread.load(), 0);

        // Many scans of a large grey picture: seconds of decoding, which
        // the Cancel ends at its next scan.
        const _MsgAttachment* heavy
            = s.attach(s.messages.front().get(), QStringLiteral("image/jpeg"),
                       writeFile(src + QStringLiteral("/heavy.jpg"), testpictures::greyScans(8192, 8192, 50)));
        for (int format : {MessageExportHtml, MessageExportPdf}) {
            RecordingJobReport cancelled;
            decodewatch::watch(false, [&cancelled] { cancelled.cancel(); });
            const QString target = base + QStringLiteral("/cancel%1").arg(format);
            runJob(s.list(), target, format, &cancelled);
            QCOMPARE(decodewatch::decodes().began.load(), 1);
            QCOMPARE(decodewatch::decodes().stopped.load(), 1);
            QCOMPARE(cancelled.endCount(), 0);
            QVERIFY(!QFile::exists(attachmentThumbnailPath(heavy)));
            QVERIFY(!QFileInfo::exists(target));
        }
        // A print cancelled on its progress as the picture decodes shows no
        // preview.
        decodewatch::watch(false, [] {
            QMetaObject::invokeMethod(qApp, [] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* progress = qobject_cast<ProgressForm*>(w))
                        progress->reject();
                }
            });
        });
        ScriptedPrompt noPreview;
        printer.print(s.list());
        VERIFY_SCRIPT_DONE(noPreview);
        QCOMPARE(noPreview.questions().size(), 1); // the progress, run for real
        QCOMPARE(decodewatch::decodes().began.load(), 1);
        QCOMPARE(decodewatch::decodes().stopped.load(), 1);
        QVERIFY(!QFile::exists(attachmentThumbnailPath(heavy)));
        decodewatch::unwatch();
    }

    // A missing picture is drawn as the stand-in (120 x 90) from the
    // program's folder, whatever the working folder.
    void painter_placeholderFoundFromAnyWorkingFolder()
    {
        const QString elsewhere = testsupport::makeTempDir(QStringLiteral("cwd"));
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere));
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+1"));
        auto* m = s.message(s.chat(QStringLiteral("+1"), {h}, 0), h, false, QString(), 100);
        s.attach(m, QStringLiteral("image/jpeg"), elsewhere + QStringLiteral("/no-such-picture.jpg"));

        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(elsewhere + QStringLiteral("/p.pdf"));
        MessagePagePainter pages;
        QVERIFY(pages.begin(&printer));
        const int y0 = pages.y;
        pages.paintMessage(m);
        QCOMPARE(pages.y, y0 + 24 + (90 + 30) + 10);
        QVERIFY(pages.end());
        QDir::setCurrent(old);
    }

    void job_cancelAndFailuresLeaveOnlyTheUsersFiles()
    {
        MessageSet s;
        buildThreeConversations(s, m_fileDir);
        // A device that refuses the bytes: end() fails instead of reporting success.
        if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
            ExportMessagesCsv full(QStringLiteral("/dev/full"));
            full.begin();
            QString error;
            try {
                for (int i = 0; i < 2000; ++i)
                    full.write(*s.messages.front());
                full.end();
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            }
            QVERIFY2(error.startsWith(QStringLiteral("write file error.")), qPrintable(error));
        }

        // Cancelled in a folder that held files before: they stay, the export's own go.
        const QString base = testsupport::makeTempDir(QStringLiteral("fail"));
        QDir().mkpath(base + QStringLiteral("/cancel/files"));
        writeFile(base + QStringLiteral("/cancel/keep.txt"), "mine");
        writeFile(base + QStringLiteral("/cancel/files/old.png"), "old");
        RecordingJobReport cancelled;
        cancelled.cancelWhenProgressContains(QStringLiteral("Messages: 7/"));
        runJob(s.list(), base + QStringLiteral("/cancel"), MessageExportHtml, &cancelled);
        QCOMPARE(cancelled.endCount(), 0);

        // The CSV cannot be created; the PDF or page of the second
        // conversation cannot be created (a folder holds its name): an error,
        // and the first conversation's output goes too.
        writeFile(base + QStringLiteral("/plainfile"), "x");
        QDir().mkpath(base + QStringLiteral("/pdfs/chat123456.pdf"));
        QDir().mkpath(base + QStringLiteral("/pages/chat123456.html"));
        for (const auto& [target, format] : {std::pair {QStringLiteral("/plainfile/sub.csv"), int(MessageExportCsv)},
                                             std::pair {QStringLiteral("/pdfs"), int(MessageExportPdf)},
                                             std::pair {QStringLiteral("/pages"), int(MessageExportHtml)}}) {
            RecordingJobReport report;
            runJob(s.list(), base + target, format, &report);
            QVERIFY2(report.failed() && report.errors().value(0).startsWith(QStringLiteral("create file error.")),
                     qPrintable(report.errors().value(0)));
        }
        QCOMPARE(filesBelow(base),
                 (QStringList {QStringLiteral("cancel/files/old.png"), QStringLiteral("cancel/keep.txt"),
                               QStringLiteral("plainfile")}));
        QCOMPARE(readAll(base + QStringLiteral("/plainfile")), QByteArray("x"));
    }

    // Over an earlier CSV or text file: a cancel or a disk that fills up
    // keeps it byte for byte and leaves nothing beside it; a completed
    // export replaces it.
    void job_failedOrCancelledOverwrite_keepsTheEarlierFile()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+1"), QStringLiteral("Ann"));
        auto* c = s.chat(QStringLiteral("+1"), {h}, 100);
        for (int i = 0; i < 10; ++i)
            s.message(c, h, i % 2 == 0, QString(4000, QLatin1Char('a' + i)), 10 + i);
        MessageSet few; // short enough to wait in the write buffer until the file is completed
        auto* fewChat = few.chat(QStringLiteral("+2"), {few.handle(QStringLiteral("+2"))}, 100);
        for (int i = 0; i < 3; ++i)
            few.message(fewChat, nullptr, true, QStringLiteral("short"), 10 + i);
        const QByteArray earlier("the earlier export\n");
        for (const auto& [name, format] : {std::pair {QStringLiteral("m.csv"), int(MessageExportCsv)},
                                           std::pair {QStringLiteral("m.txt"), int(MessageExportTxt)}}) {
            const QString dir = testsupport::makeTempDir(QStringLiteral("over")), target = dir + u'/' + name;
            writeFile(target, earlier);
            RecordingJobReport cancelled, full, cut, done;
            cancelled.cancelWhenProgressContains(QStringLiteral("Messages: 3/"));
            runJob(s.list(), target, format, &cancelled);
            QCOMPARE(cancelled.endCount(), 0);
            QCOMPARE(readAll(target), earlier);
            QCOMPARE(filesBelow(dir), QStringList {name});
            {
                testsupport::FileSizeLimit limit(16 * 1024);
                QVERIFY(limit.ok());
                runJob(s.list(), target, format, &full);
            }
            QCOMPARE(full.successes(), QStringList());
            QCOMPARE(full.errors(), QStringList {QStringLiteral("write file error. File too large")});
            QCOMPARE(readAll(target), earlier);
            QCOMPARE(filesBelow(dir), QStringList {name});
            {
                testsupport::FileSizeLimit limit(64);
                runJob(few.list(), target, format, &cut);
            }
            QCOMPARE(cut.errors(), QStringList {QStringLiteral("write file error. File too large")});
            QCOMPARE(readAll(target), earlier);
            QCOMPARE(filesBelow(dir), QStringList {name});
            runJob(s.list(), target, format, &done);
            QVERIFY(done.succeeded());
            QVERIFY(readAll(target).size() > 40000);
            QCOMPARE(filesBelow(dir), QStringList {name});
        }
    }

    // Over an earlier page or PDF of a conversation: a cancel or a disk that
    // fills up keeps it byte for byte and leaves nothing beside it, and the
    // error names the reason; a completed export replaces it.
    void job_failedOrCancelledOverwrite_keepsTheEarlierPageOrPdf()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+1"), QStringLiteral("Ann"));
        auto* c = s.chat(QStringLiteral("+1"), {h}, 100);
        for (int i = 0; i < 10; ++i) {
            QString text;
            for (int n = 0; n < 600; ++n)
                text += QString::number(n * 7919 + i) + QLatin1Char(n % 9 == 0 ? '\n' : ' ');
            s.message(c, h, i % 2 == 0, text, 10 + i);
        }
        const QByteArray earlier("the earlier export\n");
        for (const int format : {int(MessageExportHtml), int(MessageExportPdf)}) {
            const QString dir = testsupport::makeTempDir(QStringLiteral("overpage"));
            RecordingJobReport first, cancelled, full, done;
            const QStringList pages = runJob(s.list(), dir, format, &first);
            QVERIFY(first.succeeded());
            QCOMPARE(pages.size(), 1);
            const QString target = pages.front();
            QVERIFY(QFileInfo(target).size() > 32 * 1024);
            writeFile(target, earlier);
            const QStringList before = filesBelow(dir);
            const auto unchanged = [&](std::source_location at = std::source_location::current()) {
                HELPER_COMPARE(readAll(target), earlier);
                HELPER_COMPARE(filesBelow(dir), before);
                return true;
            };

            cancelled.cancelWhenProgressContains(QStringLiteral("Messages: 3/"));
            runJob(s.list(), dir, format, &cancelled);
            QCOMPARE(cancelled.endCount(), 0);
            CHECKED(unchanged());
            {
                testsupport::FileSizeLimit limit(16 * 1024);
                QVERIFY(limit.ok());
                runJob(s.list(), dir, format, &full);
            }
            QCOMPARE(full.successes(), QStringList());
            QCOMPARE(full.errors(), QStringList {QStringLiteral("write file error. File too large")});
            CHECKED(unchanged());

            runJob(s.list(), dir, format, &done);
            QVERIFY(done.succeeded());
            QVERIFY(readAll(target).size() > 32 * 1024);
            QCOMPARE(filesBelow(dir), before);
        }
    }

    // The attachment tags of a message follow the stored order of its
    // attachments in both text exports, on every run.
    void textExports_tagAttachmentsInStoredOrder()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+1"));
        auto* m = s.message(s.chat(QStringLiteral("+1"), {h}, 100), h, false, QStringLiteral("parts"), 10);
        const char* mimes[] = {"video/mp4",  "image/png", "audio/amr",  "text/vcard", "application/pdf", "image/gif",
                               "video/3gpp", "audio/mp3", "text/plain", "image/jpeg", "text/x-vCard",    "video/webm"};
        for (const char* mime : mimes)
            s.attach(m, QLatin1String(mime), QStringLiteral("/nowhere/") + QString::fromLatin1(mime).section(u'/', 1));
        const QByteArray tags("parts [VIDEO] [IMAGE] [AUDIO] [VCARD] [ATTA] [IMAGE] [VIDEO] [AUDIO] [ATTA] [IMAGE] "
                              "[VCARD] [VIDEO]\r\n");
        const QString dir = testsupport::makeTempDir(QStringLiteral("tags"));
        for (int format : {MessageExportCsv, MessageExportTxt}) {
            RecordingJobReport report;
            const QString path = dir + QStringLiteral("/t%1").arg(format);
            runJob(s.list(), path, format, &report);
            QVERIFY(report.succeeded());
            QVERIFY2(readAll(path).endsWith(tags), readAll(path).constData());
        }
    }

    // A CSV cell that a spreadsheet would run as a formula (from the sender's
    // text, a contact's name or a group's name) is written as text with a
    // leading apostrophe; phone numbers, in any field, stay as they are
    // (message_data/formula-cells.csv). The text export keeps every text.
    void csv_formulaCellsAreText_phoneNumbersStay()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+49 30 1234"), QStringLiteral("=cmd|' /C calc'!A0"));
        auto* one = s.chat(QStringLiteral("+49 30 1234"), {h}, 100);
        auto* group = s.chat(QStringLiteral("@team"), {h, s.handle(QStringLiteral("+1 (555) 010-2"))}, 200);
        const char* texts[] = {"=HYPERLINK(\"http://x.example\",\"y\")",
                               "+1+2",
                               "-2+3",
                               "@SUM(A1:A9)",
                               "\t=1+1",
                               "\r\n=1+1",
                               "+49 30 1234",
                               "+1 (555) 010-2",
                               "+",
                               "+49 30 1234 call me",
                               "-5",
                               "=a, \"b\"\nnext line",
                               "1+1=2",
                               " =no formula",
                               "'quoted"};
        int date = 10;
        for (const char* text : texts)
            s.message(one, h, false, QString::fromUtf8(text), date++);
        s.message(group, h, false, QStringLiteral("group"), date++);
        s.message(one, nullptr, true, QStringLiteral("+4930\u00A01234"), date++); // no-break space: text
        const QString dir = testsupport::makeTempDir(QStringLiteral("formulas"));
        RecordingJobReport csv, txt;
        runJob(s.list(), dir + QStringLiteral("/m.csv"), MessageExportCsv, &csv);
        QVERIFY2(csv.succeeded(), qPrintable(csv.errors().join(QLatin1Char('\n'))));
        const auto lines = [](const QString& path) { return QString::fromUtf8(readAll(path)).split(u'\n'); };
        QCOMPARE(lines(dir + QStringLiteral("/m.csv")),
                 lines(testsupport::sourceDir() + QStringLiteral("/tests/formats/message_data/formula-cells.csv")));
        runJob(s.list(), dir + QStringLiteral("/m.txt"), MessageExportTxt, &txt);
        QVERIFY(txt.succeeded());
        const QString text = QString::fromUtf8(readAll(dir + QStringLiteral("/m.txt")));
        for (const QString& kept : {QStringLiteral(" =HYPERLINK("), QStringLiteral(" @SUM(A1:A9)"),
                                    QStringLiteral(" -2+3"), QStringLiteral("=cmd|' /C calc'!A0")})
            QVERIFY2(text.contains(kept), qPrintable(kept));
        QVERIFY(!text.contains(QLatin1Char('\'') + QStringLiteral("=")));
    }

    void chatOrder_isStrictAndKeepsConversationsTogether()
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
        s.message(nullptr, nullptr, false, QStringLiteral("no chat"), 50);

        const auto less = &ExportMessagesThread::chatThenMessageLessThan;
        MsgMessageList list = s.list();
        for (const _MsgMessage* a : list)
            for (const _MsgMessage* b : list)
                QVERIFY(!(less(a, b) && less(b, a)) && !less(a, a));
        std::mt19937 rng(3);
        std::shuffle(list.begin(), list.end(), rng);
        ExportMessagesThread::sortByConversation(list);
        QStringList texts;
        for (const _MsgMessage* m : list)
            texts << m->text;
        QCOMPARE(texts.join(QLatin1Char(' ')), QStringLiteral("no chat y0 y1 y2 y3 x0 X x1 x2 x3"));

        // In the export: the case-folded conversation is one page, and names
        // that collide get distinct files.
        x->display_name = QStringLiteral("Team");
        y->display_name = QStringLiteral("team");
        RecordingJobReport report;
        const QString dir = testsupport::makeTempDir(QStringLiteral("order"));
        const QStringList written = runJob(s.list(), dir, MessageExportHtml, &report);
        QVERIFY(report.succeeded());
        QCOMPARE(written,
                 (QStringList {dir + QStringLiteral("/unknown-chat.html"), dir + QStringLiteral("/team.html"),
                               dir + QStringLiteral("/Team(2).html")}));
        QVERIFY(readAll(written.at(1)).contains("y3"));
        QVERIFY(readAll(written.at(2)).contains("x3")
                && readAll(written.at(2)).contains("bottom_right\"></div>X</div>"));

        // A title of any length from the phone gives a short file name, never
        // one that ends in half a character. (How fast is the message export
        // benchmark's.)
        y->display_name = QLatin1Char('a') + QStringLiteral("\U0001F600").repeated(100000);
        QElapsedTimer timer;
        timer.start();
        RecordingJobReport longName;
        const QString page
            = runJob(s.list(), testsupport::makeTempDir(QStringLiteral("long")), MessageExportHtml, &longName).value(1);
        QVERIFY(longName.succeeded());
        // A hang guard; how fast is the message export benchmark's.
        QVERIFY2(timer.elapsed() < testsupport::kHangGuardMs, qPrintable(QString::number(timer.elapsed())));
        const QString name = QFileInfo(page).completeBaseName();
        QVERIFY(name.toUtf8().size() <= 160 && name.size() > 40 && !name.back().isHighSurrogate());
    }
};

QTEST_MAIN(TestMessageExports)
#include "test_message_exports.moc"
