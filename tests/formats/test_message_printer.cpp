// The message printer: the stand-in picture and the print preview through
// the dialog seam.
#include "formats/messageassets.h"
#include "formats/messagepagepainter.h"
#include "formats/mmsprinter.h"
#include "message_testdata.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

class TestMessagePrinter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void painter_placeholderFoundFromAnyWorkingFolder();
    void print_runsPreviewThroughSeam();

private:
    QString m_fileDir;
};

void TestMessagePrinter::initTestCase()
{
    installTranslations(qApp);
    messageassets::setApplicationFolder(testsupport::appBinDir());
    m_fileDir = testsupport::makeTempDir(QStringLiteral("attachments"));
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
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(elsewhere + QStringLiteral("/p.pdf"));
    MessagePagePainter pages;
    QVERIFY(pages.begin(&printer));
    const int y0 = pages.y;
    pages.paintMessage(m);
    // The stand-in picture (120 x 90) of the program's folder was used.
    QCOMPARE(pages.y, y0 + 24 + (90 + 30) + 10);
    QVERIFY(pages.end());
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
    prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"), [&](QDialog* dialog) {
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        QVERIFY(preview);
        preview->updatePreview();
        previewPages = preview->pageCount();
    });
    MMSPrinter printer;
    printer.print(list);
    QVERIFY(prompt.unexpected().isEmpty());
    QCOMPARE(prompt.pendingAnswers(), 0);
    QVERIFY(previewPages >= 1);
    QVERIFY(std::is_sorted(printer.messages().begin(), printer.messages().end(), msgLessThan));
}

QTEST_MAIN(TestMessagePrinter)
#include "test_message_printer.moc"
