// Contact cards and printing through the print preview seam.
#include "contactfixtures.h"
#include "formats/contactcardpainter.h"
#include "formats/contactsprinter.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"
#include "testsupport.h"

#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTest>

using fixtures::row;

class TestContactPrint : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }

    void cardShowsPhotoOrPlaceholder()
    {
        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        const QImage plain = ContactCardPainter::renderCard(341, 213, c);
        QCOMPARE(plain.size(), QSize(341, 213));
        const int s = 341 * 90 / 270, m = 341 * 10 / 399;
        // The placeholder's light background at the photo's corner.
        QCOMPARE(plain.pixelColor(m + 2, m + 2), QColor(0xE4, 0xE8, 0xEE));
        fixtures::addRow(c, pim::ENTITY_PHOTO, row({{15, fixtures::jpegBytes(Qt::red)}}));
        const QImage photo = ContactCardPainter::renderCard(341, 213, c);
        QVERIFY(photo.pixelColor(m + s / 2, m + s / 2).red() > 200);
        // A broken photo falls back to the placeholder.
        c.entities[pim::ENTITY_PHOTO].first().values.insert(QStringLiteral("data15"), QByteArray("not a picture"));
        QCOMPARE(ContactCardPainter::renderCard(341, 213, c).pixelColor(m + 2, m + 2), QColor(0xE4, 0xE8, 0xEE));
    }

    void wrappedValuesStayInTheirColumn()
    {
        QImage image(300, 300, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        QFont font;
        font.setPixelSize(12);
        const int one = ContactsPrinter::drawLabelValue(&p, font, 10, 10, 120, QStringLiteral("Address:"),
                                                        QStringLiteral("x"), false);
        const int many = ContactsPrinter::drawLabelValue(&p, font, 10, 100, 120, QStringLiteral("Address:"),
                                                         QStringLiteral("a long street name that wraps over lines"), false);
        p.end();
        QVERIFY(many > one);
        QVERIFY(font.italic() == false); // the caller's font keeps the last style
        for (int y = 0; y < 300; ++y)
            for (int x = 131; x < 300; ++x)
                QVERIFY2(image.pixelColor(x, y) == QColor(Qt::white), "text outside its column");
    }

    void printRunsThePreviewThroughTheSeam()
    {
        ScriptedPrompt prompt;
        bool painted = false;
        prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"), [&painted](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Print Contacts"));
            QCOMPARE(d->size(), QSize(900, 700));
            painted = true;
        });
        ContactsPrinter printer;
        printer.print({fixtures::fullContact()});
        QVERIFY(painted);
        QVERIFY(prompt.unexpected().isEmpty());

        // The dialog's paint request draws every card; nine need two pages.
        const QString pdf = testsupport::makeTempDir(QStringLiteral("print")) + QStringLiteral("/p.pdf");
        QPrinter target(QPrinter::ScreenResolution);
        target.setOutputFormat(QPrinter::PdfFormat);
        target.setOutputFileName(pdf);
        target.setPageSize(QPageSize(QPageSize::A4));
        target.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
        QList<pim::_Contact> nine;
        for (int i = 0; i < 9; ++i)
            nine.append(fixtures::fullContact());
        ContactsPrinter many;
        ScriptedPrompt again;
        again.answerDialog(0);
        many.print(nine);
        many.onPaintRequested(&target);
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page/") +
                     bytes.count("/Type /Page "),
                 2);
    }
};

QTEST_MAIN(TestContactPrint)
#include "test_contact_print.moc"
