// Contact cards and printing through the print preview seam.
#include "contactfixtures.h"
#include "formats/contactcardpainter.h"
#include "formats/contactsprinter.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>

class TestContactPrint : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }

    void cardShowsPhotoOrPlaceholder()
    {
        const QColor placeholder(0xE4, 0xE8, 0xEE);
        const int s = 341 * 90 / 270, m = 341 * 10 / 399; // photo side and margin
        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        const QImage plain = ContactCardPainter::renderCard(341, 213, c);
        QCOMPARE(plain.size(), QSize(341, 213));
        QCOMPARE(plain.pixelColor(m + 2, m + 2), placeholder);
        fixtures::addRow(c, pim::ENTITY_PHOTO, { { 15, fixtures::jpegBytes(Qt::red) } });
        QVERIFY(ContactCardPainter::renderCard(341, 213, c).pixelColor(m + s / 2, m + s / 2).red() > 200);
        c.entities[pim::ENTITY_PHOTO].first().values.insert(QStringLiteral("data15"), QByteArray("not a picture"));
        QCOMPARE(ContactCardPainter::renderCard(341, 213, c).pixelColor(m + 2, m + 2), placeholder);
    }

    void wrappedValuesStayInTheirColumn()
    {
        QImage image(300, 300, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        QFont font;
        font.setPixelSize(12);
        const int one = ContactsPrinter::drawLabelValue(
            &p, font, 10, 10, 120, QStringLiteral("Address:"), QStringLiteral("x"), false);
        const int many = ContactsPrinter::drawLabelValue(&p, font, 10, 100, 120, QStringLiteral("Address:"),
            QStringLiteral("a long street name that wraps over lines"), false);
        p.end();
        QVERIFY(many > one);
        for (int y = 0; y < 300; ++y)
            for (int x = 131; x < 300; ++x)
                QVERIFY2(image.pixelColor(x, y) == QColor(Qt::white), "text outside its column");
    }

    void printRunsThePreviewThroughTheSeam()
    {
        ScriptedPrompt prompt;
        bool shown = false;
        prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"), [&shown](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Print Contacts"));
            QCOMPARE(d->size(), QSize(900, 700));
            shown = true;
        });
        ContactsPrinter printer;
        printer.print(QList<pim::_Contact>(9, fixtures::fullContact()));
        QVERIFY(shown);
        QVERIFY(prompt.unexpected().isEmpty());

        // The dialog's paint request draws every card; nine need two pages.
        const QString pdf = testsupport::makeTempDir(QStringLiteral("print")) + QStringLiteral("/p.pdf");
        QPrinter target(QPrinter::ScreenResolution);
        target.setOutputFormat(QPrinter::PdfFormat);
        target.setOutputFileName(pdf);
        target.setPageSize(QPageSize(QPageSize::A4));
        target.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
        printer.onPaintRequested(&target);
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(f.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))), 2);
    }
};

QTEST_MAIN(TestContactPrint)
#include "test_contact_print.moc"
