// The exported conversation pages in the web view (no JavaScript), grabbed
// into screenshots: the style sheet, bubble pictures and emoji resolve
// beside the page.
#include "formats/messageassets.h"
#include "message_testdata.h"

#include <QApplication>
#include <QSignalSpy>
#include <QWebEngineSettings>
#include <QWebEngineView>

class TestMessageWebView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exportedPages_showBubbles();
};

void TestMessageWebView::exportedPages_showBubbles()
{
    messageassets::setApplicationFolder(testsupport::appBinDir());
    MessageSet s;
    buildThreeConversations(s, testsupport::makeTempDir(QStringLiteral("attachments")));
    testsupport::RecordingJobReport report;
    const QStringList pages
        = runJob(s.list(), testsupport::makeTempDir(QStringLiteral("pages")), MessageExportHtml, &report);
    QVERIFY(report.succeeded());
    QCOMPARE(pages.size(), 3);

    const QString shots = testsupport::binaryDir() + QStringLiteral("/screenshots");
    QDir().mkpath(shots);
    QWebEngineView view;
    view.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    view.resize(640, 560);
    view.show();
    for (int i = 0; i < pages.size(); ++i) {
        QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
        view.load(QUrl::fromLocalFile(pages.at(i)));
        QVERIFY(loaded.wait(30000));
        QVERIFY(loaded.first().first().toBool());
        // Let the compositor put the page on screen.
        QImage shot;
        QTRY_VERIFY_WITH_TIMEOUT((shot = view.grab().toImage(),
                                  !shot.isNull() && shot.pixelColor(4, shot.height() - 4) == QColor(0xDB, 0xE2, 0xED)),
                                 15000);
        QTest::qWait(300);
        shot = view.grab().toImage();
        QVERIFY(shot.save(shots + QStringLiteral("/message_html_%1.png").arg(i + 1)));
        // The style sheet applied (page colour) and bubbles drawn (white).
        int white = 0;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2)
                white += shot.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
        QVERIFY2(white > 200, qPrintable(QString::number(white)));
    }
}

QTEST_MAIN(TestMessageWebView)
#include "test_message_webview.moc"
