// The contact exports (CSV and fixed-width text layout, the HTML page, the PDF
// of cards, a failed write) and contact printing through the print preview seam.
#include "contactfixtures.h"
#include "formats/abstextexport.h"
#include "formats/contactcardpainter.h"
#include "formats/contactsprinter.h"
#include "formats/htmlexport.h"
#include "formats/pdfexport.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include <QDir>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QTest>

using fixtures::addRow;
using fixtures::exportTo;

class TestContactExports : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }

    void csvAndTxtLayout()
    {
        pim::_Contact a = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        addRow(a, pim::ENTITY_PHONE, {{1, QStringLiteral("1,2")}, {2, 2}});
        addRow(a, pim::ENTITY_POSTAL, {{2, 1}, {4, QStringLiteral("Home St")}, {7, QStringLiteral("X")}});
        pim::_Contact b = fixtures::named(QStringLiteral("Bo"), QString());
        addRow(b, pim::ENTITY_PHONE, {{1, QStringLiteral("say \"hi\"")}, {2, 2}});
        addRow(b, pim::ENTITY_POSTAL, {{2, 2}, {4, QStringLiteral("Work St")}});
        addRow(b, pim::ENTITY_GROUP, {{2, QStringLiteral("Team")}});
        const QList<pim::_Contact> list = {a, b};
        QCOMPARE(
            fixtures::readBytes(exportTo<CSVExport>(QStringLiteral("c.csv"), list, &list)),
            QByteArray("First Name,Last Name,Category,Tel:Mobile,Addr:Home:City,Addr:Home:Street,Addr:Work:Street\n"
                       "Ann,Lee,,\"1,2\",X,Home St,\n"
                       "Bo,,Team,\"say \"\"hi\"\"\",,,Work St\n"));

        // Columns 25 wide (notes 100, streets 50, numbered ones as their first); a longer value
        // pushes the next one on.
        QCOMPARE(TxtExport::columnWidth(QStringLiteral("Notes 2")), 100);
        QCOMPARE(TxtExport::columnWidth(QStringLiteral("Addr:Work 3:Street")), 50);
        QCOMPARE(TxtExport::columnWidth(QStringLiteral("Tel:Mobile 2")), 25);
        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QString());
        addRow(c, pim::ENTITY_EMAIL, {{1, QStringLiteral("a.very.long.address@example.com")}, {2, 1}});
        addRow(c, pim::ENTITY_NOTE, {{1, QStringLiteral("two\r\nlines")}});
        const QList<pim::_Contact> one = {c};
        QCOMPARE(fixtures::readBytes(exportTo<TxtExport>(QStringLiteral("t.txt"), one, &one)),
                 QByteArray("First Name").leftJustified(25) + QByteArray("Email:Home").leftJustified(25)
                     + QByteArray("Notes").leftJustified(100) + "\nAnn" + QByteArray(22, ' ')
                     + "a.very.long.address@example.com" + QByteArray("two  lines").leftJustified(100) + "\n");
    }

    void htmlPageEscapesAndKeepsEveryPhoto()
    {
        pim::_Contact evil
            = fixtures::named(QStringLiteral("<script>alert(1)</script>"), QStringLiteral("\"Quote\" & Co"));
        addRow(evil, pim::ENTITY_NOTE, {{1, QStringLiteral("a < b")}});
        addRow(evil, pim::ENTITY_WEBSITE, {{1, QStringLiteral("\"><img src=x onerror=y>")}, {2, 1}});
        addRow(evil, pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(Qt::red)}});
        pim::_Contact other = fixtures::named(QStringLiteral("Other"), QStringLiteral("One")); // the same id, 0
        addRow(other, pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(Qt::blue)}});
        const QString page
            = exportTo<HtmlExport>(QStringLiteral("contacts.html"),
                                   {evil, other, fixtures::named(QStringLiteral("No"), QStringLiteral("Photo"))});
        const QString dir = QFileInfo(page).path();
        const QString html = QString::fromUtf8(fixtures::readBytes(page));
        QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"")));
        QVERIFY(html.endsWith(QStringLiteral("</body></html>")));
        QVERIFY(!html.contains(QStringLiteral("<script>")) && !html.contains(QStringLiteral("<img src=x")));
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &quot;Quote&quot; &amp; Co")));
        QVERIFY(html.contains(QStringLiteral("<li>a &lt; b</li>")));
        for (const char* src : {"photos/0.jpg", "photos/0_1.jpg", "photos/contact.png"})
            QVERIFY2(html.contains(QStringLiteral("src=\"%1\"").arg(QLatin1String(src))), src);
        QVERIFY(QImage(dir + QStringLiteral("/photos/0.jpg")).pixelColor(5, 5).red() > 200);
        QVERIFY(QImage(dir + QStringLiteral("/photos/0_1.jpg")).pixelColor(5, 5).blue() > 200);
        QVERIFY(!QImage(dir + QStringLiteral("/photos/contact.png")).isNull());
    }

    void pdfPagesAndPicture()
    {
        QList<pim::_Contact> nine;
        for (int i = 1; i <= 9; ++i) {
            nine.append(fixtures::fullContact());
            nine.last().fullName = QStringLiteral("Card %1 %2").arg(i).arg(nine.last().fullName);
            if (i % 3 == 0)
                addRow(nine.last(), pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(QColor(40 * i, 90, 160))}});
        }
        const QString path = exportTo<PdfExport>(QStringLiteral("cards.pdf"), nine);
        QCOMPARE(fixtures::pdfPages(path), 2);
        QCOMPARE(fixtures::pdfPages(exportTo<PdfExport>(QStringLiteral("eight.pdf"), nine.mid(0, 8))), 1);

        const QString shots = testsupport::binaryDir() + QStringLiteral("/screenshots");
        QDir().mkpath(shots);
        QCOMPARE(QProcess::execute(QStringLiteral("pdftoppm"),
                                   {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"), path,
                                    shots + QStringLiteral("/contact_cards")}),
                 0);
        const QImage page1(shots + QStringLiteral("/contact_cards-1.png"));
        QVERIFY(!page1.isNull() && page1.height() > page1.width()); // portrait A4
    }

    void fullDiskIsAnError()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full");
        const QList<pim::_Contact> list = {fixtures::fullContact()};
        TxtExport txt(QStringLiteral("/dev/full"), &list);
        try {
            txt.begin();
            txt.write(list[0]);
            txt.end(); // at the latest when the file is completed
            QFAIL("no error");
        } catch (const std::runtime_error& err) {
            QVERIFY(QByteArray(err.what()).startsWith("write file error. "));
        }
    }

    void cardShowsPhotoOrPlaceholder()
    {
        const QColor placeholder(0xE4, 0xE8, 0xEE);
        const int s = 341 * 90 / 270, m = 341 * 10 / 399; // photo side and margin
        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        QCOMPARE(ContactCardPainter::renderCard(341, 213, c).pixelColor(m + 2, m + 2), placeholder);
        fixtures::addRow(c, pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(Qt::red)}});
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
        const int one = ContactsPrinter::drawLabelValue(&p, font, 10, 10, 120, QStringLiteral("Address:"),
                                                        QStringLiteral("x"), false);
        const int many
            = ContactsPrinter::drawLabelValue(&p, font, 10, 100, 120, QStringLiteral("Address:"),
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
        QCOMPARE(fixtures::pdfPages(pdf), 2);
    }
};

QTEST_MAIN(TestContactExports)
#include "test_contact_exports.moc"
