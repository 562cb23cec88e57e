// The contact exports (the HTML page, the PDF of cards, a failed write),
// contact printing through the print preview seam, and the import and export
// jobs: progress, cancel, failures and what they leave on disk. CSV and text
// layouts are compared with expected files in test_contact_files. Photos
// are read by the picture reader, off the window's thread, hostile ones
// never decoded.
#include "contactfixtures.h"
#include "decodewatch.h"
#include "formats/abstextexport.h"
#include "formats/contactcardpainter.h"
#include "formats/contactphoto.h"
#include "formats/contactsprinter.h"
#include "formats/csvimport.h"
#include "formats/exporttofilethread.h"
#include "formats/htmlexport.h"
#include "formats/importcontactsthread.h"
#include "formats/pdfexport.h"
#include "formats/vcardimport.h"
#include "pictures/picturereader.h"
#include "scriptedprompt.h"
#include "shell/core/translations.h"
#include "testpictures.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>

using fixtures::addRow;
using fixtures::exportTo;
using testsupport::RecordingJobReport;

namespace {

bool finished(QThread& job)
{
    job.start();
    return job.wait(testsupport::kHangGuardMs);
}

// A checking helper (see CHECKED).
[[nodiscard]] bool put(const QString& path, const QByteArray& bytes,
                       std::source_location at = std::source_location::current())
{
    QFile f(path);
    HELPER_VERIFY2(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size(), qPrintable(path));
    return true;
}

const QList<pim::_Contact> kTen(10, fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee")));

// Each address of the contact as "street|box|extended|city|region|postcode|country".
QStringList addressParts(const pim::_Contact& c)
{
    QStringList out;
    for (const ContactDataRow& row : c.rows(pim::ENTITY_POSTAL)) {
        QStringList parts;
        for (int n : {4, 5, 6, 7, 8, 9, 10})
            parts << pim::valueText(row.values, QStringLiteral("data%1").arg(n));
        out << parts.join(u'|');
    }
    return out;
}

// The contact with every address held as a phone holds it: its street lines
// in the street, no post-office box or extended address of their own.
pim::_Contact asOnAPhone(pim::_Contact c)
{
    for (ContactDataRow& row : c.entities[pim::ENTITY_POSTAL]) {
        row.values.insert(QStringLiteral("data4"), pim::streetLines(row.values));
        row.values.remove(QStringLiteral("data5"));
        row.values.remove(QStringLiteral("data6"));
    }
    return c;
}

} // namespace

class TestContactExports : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }

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
        const QString html = QString::fromUtf8(testsupport::readFile(page));
        QVERIFY(!html.contains(QStringLiteral("<script>")) && !html.contains(QStringLiteral("<img src=x")));
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &quot;Quote&quot; &amp; Co")));
        QVERIFY(html.contains(QStringLiteral("<li>a &lt; b</li>")));
        for (const char* src : {"photos/0.jpg", "photos/0_1.jpg", "photos/contact.png"})
            QVERIFY2(html.contains(QStringLiteral("src=\"%1\"").arg(QLatin1String(src))), src);
        QVERIFY(QImage(dir + QStringLiteral("/photos/0.jpg")).pixelColor(5, 5).red() > 200);
        QVERIFY(QImage(dir + QStringLiteral("/photos/0_1.jpg")).pixelColor(5, 5).blue() > 200);
        QVERIFY(!QImage(dir + QStringLiteral("/photos/contact.png")).isNull());
    }

    void fullDiskIsAnError()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full");
        const QList<pim::_Contact> list = fixtures::contacts();
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

    // The photo or, without one or with bytes that are no picture, the
    // placeholder; a wrapped value stays in its column.
    void cardPainting()
    {
        const QColor placeholder(0xE4, 0xE8, 0xEE);
        const int s = 341 * 90 / 270, m = 341 * 10 / 399; // photo side and margin
        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        QCOMPARE(ContactCardPainter::renderCard(341, 213, c).pixelColor(m + 2, m + 2), placeholder);
        fixtures::addRow(c, pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(Qt::red)}});
        QVERIFY(ContactCardPainter::renderCard(341, 213, c).pixelColor(m + s / 2, m + s / 2).red() > 200);
        c.entities[pim::ENTITY_PHOTO].first().values.insert(QStringLiteral("data15"), QByteArray("not a picture"));
        QCOMPARE(ContactCardPainter::renderCard(341, 213, c).pixelColor(m + 2, m + 2), placeholder);

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

    // Contacts read from a vCard whose photos are the scan bomb and the
    // chunk bomb, beside a real one: the HTML page and the PDF succeed with
    // the placeholder for the bombs, which are never decoded; printing reads
    // the photos before the preview opens, off the window's thread.
    void hostilePhotos_exportedAndPrintedAsThePlaceholder_neverDecoded()
    {
        QByteArray vcf;
        for (const QByteArray& photo : {testpictures::scanBomb(), testpictures::chunkBomb(),
                                        testpictures::encoded(testpictures::filled(64, 48, Qt::red), "JPG")})
            vcf += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + photo.toBase64()
                + "\r\nEND:VCARD\r\n";
        const QList<pim::_Contact> cards
            = fixtures::importAll<VCardImport>(fixtures::writeFile(QStringLiteral("bombs.vcf"), vcf));
        QCOMPARE(fixtures::photoOf(cards.value(0)), testpictures::scanBomb());
        testsupport::DecodeWatch decodes;
        const QString dir = testsupport::makeTempDir(QStringLiteral("bombs"));
        for (const int format : {ExportHTML, ExportPDF}) {
            RecordingJobReport report;
            ExportToFileThread job(cards, format, dir + QStringLiteral("/c%1").arg(format), &report);
            QVERIFY(finished(job) && report.succeeded());
        }
        const QString page = QString::fromUtf8(testsupport::readFile(dir + QStringLiteral("/c4/c4")));
        QCOMPARE(page.count(QStringLiteral("src=\"photos/contact.png\"")), 2);
        QCOMPARE(decodes.count(), 2); // the real photo, once for each

        ScriptedPrompt prompt;
        int readBeforePreview = -1;
        prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"),
                            [&readBeforePreview](QDialog*) { readBeforePreview = testsupport::DecodeWatch::count(); });
        ContactsPrinter().print(cards);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(readBeforePreview, 3);
        QCOMPARE(decodes.onWindowThread(), 0);
    }

    // A job reads a photo on a worker while it asks for its cancel: the
    // cancel stops the read under way and reaches the job.
    void aCancelStopsThePhotoUnderWay()
    {
        std::atomic_bool began = false;
        std::atomic_bool stopped = false;
        const auto make = [&](const std::atomic_bool& stop) {
            began = true;
            for (const QDeadlineTimer guard(testsupport::kHangGuardMs); !stop && !guard.hasExpired();)
                QThread::msleep(1);
            stopped = stop.load();
            return QImage();
        };
        QVERIFY_THROWS_EXCEPTION(int, pictures::madeHearing(make, [&began] {
                                     if (began)
                                         throw int(jobreport::kCanceled);
                                 }));
        QVERIFY(stopped);
    }

    // Every part of an address reaches each of the five exports
    // (contact_data/export/address-parts.vcf: all seven parts; a whole address in
    // the extended part; markup, separators, quotes, a line break and a
    // formula-like street), and so does an extended part of 20,000 letters.
    // vCard keeps each part in its place; CSV and text put the extended part
    // in the street and the box in a column of its own, and the CSV keeps
    // every value exactly; the HTML page and the PDF's cards show them all.
    void addressParts_reachEveryExport()
    {
        QList<pim::_Contact> cards
            = fixtures::importAll<VCardImport>(fixtures::dataFile(QStringLiteral("export/address-parts.vcf")));
        QCOMPARE(cards.size(), 3);
        pim::_Contact longOne = fixtures::named(QStringLiteral("Long"), QStringLiteral("Way"));
        addRow(longOne, pim::ENTITY_POSTAL,
               {{2, 1}, {6, QString(20000, QLatin1Char('x'))}, {7, QStringLiteral("Town")}});
        cards.append(longOne);
        const QString dir = testsupport::makeTempDir(QStringLiteral("parts"));
        const auto exported = [&](int format, const QString& name) {
            RecordingJobReport report;
            ExportToFileThread job(cards, format, dir + QLatin1Char('/') + name, &report);
            return finished(job) && report.succeeded();
        };

        QVERIFY(exported(ExportVCard, QStringLiteral("c.vcf")));
        const QList<pim::_Contact> vcard = fixtures::importAll<VCardImport>(dir + QStringLiteral("/c.vcf"));
        QCOMPARE(vcard.size(), cards.size());
        for (int i = 0; i < cards.size(); ++i)
            QCOMPARE(addressParts(vcard[i]), addressParts(cards[i]));

        QVERIFY(exported(ExportCSV, QStringLiteral("c.csv")));
        const QList<pim::_Contact> csv = fixtures::importAll<CSVImport>(dir + QStringLiteral("/c.csv"));
        QCOMPARE(csv.size(), cards.size());
        for (int i = 0; i < cards.size(); ++i) {
            pim::_Contact folded = cards[i];
            for (ContactDataRow& row : folded.entities[pim::ENTITY_POSTAL]) {
                row.values.insert(QStringLiteral("data4"), pim::streetWithExtended(row.values));
                row.values.remove(QStringLiteral("data6"));
            }
            QCOMPARE(addressParts(csv[i]), addressParts(folded));
        }
        const QString csvText = QString::fromUtf8(testsupport::readFile(dir + QStringLiteral("/c.csv")));
        QCOMPARE(csvText.section(u'\n', 0, 0),
                 QStringLiteral("First Name,Last Name,Addr:Home:Country,Addr:Home:City,Addr:Work:City,"
                                "Addr:Home:Street,Addr:Work:Street,Addr:Home:Postcode,Addr:Work:Postcode,"
                                "Addr:Home:POBox,Addr:Work:POBox"));
        QVERIFY(csvText.contains(QStringLiteral(",\"=1+2 Unit 4\nBack door\",")));

        QVERIFY(exported(ExportTXT, QStringLiteral("c.txt")));
        const QString txt = QString::fromUtf8(testsupport::readFile(dir + QStringLiteral("/c.txt")));
        for (const char* part : {"10 High St Flat 2 ", "PO Box 7 ", "Flat 2, 10 High St, London N1 1AA ",
                                 "=1+2 Unit 4 Back door ", "<b>Box</b> 1, 2; 3 "})
            QVERIFY2(txt.contains(QString::fromUtf8(part)), part);
        QVERIFY(txt.contains(QString(20000, QLatin1Char('x'))));

        QVERIFY(exported(ExportHTML, QStringLiteral("c.html")));
        const QString html = QString::fromUtf8(testsupport::readFile(dir + QStringLiteral("/c.html/c.html")));
        for (const char* item : {"<li><b>Home</b><br/>10 High St Flat 2<br/>PO Box 7<br/>London, N1 1AA<br/>UK</li>",
                                 "<li><b>Home</b><br/>Flat 2, 10 High St, London N1 1AA</li>",
                                 "<li><b>Work</b><br/>=1+2 Unit 4<br/>Back door<br/>&lt;b&gt;Box&lt;/b&gt; 1, 2; 3<br/>"
                                 "Town &amp; &lt;i&gt;Gown&lt;/i&gt;, &quot;N1&quot;</li>"})
            QVERIFY2(html.contains(QString::fromUtf8(item)), item);
        QVERIFY(html.contains(QStringLiteral("<li><b>Home</b><br/>") + QString(20000, QLatin1Char('x'))));

        // A card shows the address as a phone holding it in its street
        // would, and a card whose address is all in the extended part is no
        // card without an address. The PDF is made of these cards.
        QVERIFY(exported(ExportPDF, QStringLiteral("c.pdf")));
        QCOMPARE(fixtures::pdfPages(dir + QStringLiteral("/c.pdf")), 1);
        for (const pim::_Contact& card : std::as_const(cards))
            QCOMPARE(ContactCardPainter::renderCard(341, 213, card),
                     ContactCardPainter::renderCard(341, 213, asOnAPhone(card)));
        pim::_Contact noAddress = cards[1];
        noAddress.entities[pim::ENTITY_POSTAL].first().values.remove(QStringLiteral("data6"));
        QVERIFY(ContactCardPainter::renderCard(341, 213, cards[1])
                != ContactCardPainter::renderCard(341, 213, noAddress));
    }

    // Eight cards to a page, in the PDF export as in print, whose preview
    // dialog goes through the seam.
    void nineCardsFillTwoPages()
    {
        const QList<pim::_Contact> nine(9, fixtures::contacts().first());
        QCOMPARE(fixtures::pdfPages(exportTo<PdfExport>(QStringLiteral("nine.pdf"), nine)), 2);
        QCOMPARE(fixtures::pdfPages(exportTo<PdfExport>(QStringLiteral("eight.pdf"), nine.mid(0, 8))), 1);
        ScriptedPrompt prompt;
        prompt.answerDialog(0, QStringLiteral("QPrintPreviewDialog"), [](QDialog*) {});
        ContactsPrinter printer;
        printer.print(nine);
        VERIFY_SCRIPT_DONE(prompt);
        const QString pdf = testsupport::makeTempDir(QStringLiteral("print")) + QStringLiteral("/p.pdf");
        QPrinter target(QPrinter::ScreenResolution);
        target.setOutputFormat(QPrinter::PdfFormat);
        target.setOutputFileName(pdf);
        target.setPageSize(QPageSize(QPageSize::A4));
        target.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
        printer.onPaintRequested(&target);
        QCOMPARE(fixtures::pdfPages(pdf), 2);
    }

    // A card without a name is left out; an empty file is no contacts, a
    // missing one an error; a cancel ends without a word.
    void importProgressFailuresAndCancel()
    {
        const QString path = fixtures::writeFile(QStringLiteral("a.vcf"),
                                                 "BEGIN:VCARD\nN:A;B\nEND:VCARD\nBEGIN:VCARD\nTEL:1\nEND:VCARD\n"
                                                 "BEGIN:VCARD\nN:C;D\nEND:VCARD\n");
        RecordingJobReport report, empty, missing, canceled;
        ImportContactsToLocalThread job(path, ImportVCard, &report);
        QVERIFY(finished(job));
        QCOMPARE(report.successes(), QStringList({QString()}));
        QCOMPARE(report.progressTexts(), QStringList({"Contacts:1/3", "Contacts:2/3", "Contacts:3/3"}));
        QCOMPARE(job.contacts().size(), 3); // the card without N is named by its number

        ImportContactsToLocalThread emptyJob(fixtures::writeFile(QStringLiteral("e.csv"), ""), ImportCSV, &empty);
        QVERIFY(finished(emptyJob));
        QVERIFY(empty.succeeded() && empty.progress().isEmpty() && emptyJob.contacts().isEmpty());
        ImportContactsToLocalThread missingJob(QStringLiteral("/nonexistent/file.vcf"), ImportVCard, &missing);
        QVERIFY(finished(missingJob));
        QVERIFY(missing.failed() && !missing.errors().first().isEmpty());

        canceled.cancelWhenProgressContains(QStringLiteral("Contacts:1/10"));
        ImportContactsToLocalThread cancelJob(
            fixtures::writeFile(QStringLiteral("c.csv"), "First Name\nA\nB\nC\nD\nE\nF\nG\nH\nI\nJ\n"), ImportCSV,
            &canceled);
        QVERIFY(finished(cancelJob));
        QCOMPARE(canceled.endCount(), 0);
        QCOMPARE(canceled.progress().size(), 1);
    }

    // Chat addresses of services without a code of their own, and Outlook's,
    // which names none, go out through the export job as vCard and as CSV
    // and come back with their handle and service.
    void chatServicesComeBackFromVCardAndCsv()
    {
        RecordingJobReport read;
        ImportContactsToLocalThread importer(fixtures::dataFile(QStringLiteral("job/chat-services.vcf")), ImportVCard,
                                             &read);
        QVERIFY(finished(importer));
        const QList<pim::_Contact> original = importer.contacts();
        QCOMPARE(original.size(), 2);
        // Home or work is not written; a chat row without a service is
        // written as "Other".
        const auto chats = [](const QList<pim::_Contact>& contacts) {
            QStringList rows = fixtures::dump(contacts).filter(QRegularExpression(QStringLiteral("^8\t")));
            rows.replaceInStrings(QRegularExpression(QStringLiteral("\t(data2=[^\t]*|data5=0(?=\t|$))")), QString());
            rows.sort(); // CSV keeps no order between services
            return rows;
        };
        const QString dir = testsupport::makeTempDir(QStringLiteral("chat"));
        const std::tuple<int, int, QString> formats[]
            = {{ExportVCard, ImportVCard, QStringLiteral("/c.vcf")}, {ExportCSV, ImportCSV, QStringLiteral("/c.csv")}};
        for (const auto& [exportFormat, importFormat, name] : formats) {
            RecordingJobReport exported, back;
            ExportToFileThread exporter(original, exportFormat, dir + name, &exported);
            QVERIFY(finished(exporter));
            QVERIFY(exported.succeeded());
            ImportContactsToLocalThread again(dir + name, importFormat, &back);
            QVERIFY(finished(again));
            QCOMPARE(chats(again.contacts()), chats(original));
        }
        const QByteArray vcf = testsupport::readFile(dir + QStringLiteral("/c.vcf"));
        QVERIFY(vcf.contains("\r\nIMPP;CHARSET=UTF-8:sip:ann@example.com\r\n"));
        QVERIFY(vcf.contains("\r\nIMPP;CHARSET=UTF-8;X-SERVICE-TYPE=Signal:im:+49 30 1234\r\n"));
        QVERIFY(vcf.contains("\r\nIMPP;CHARSET=UTF-8;X-SERVICE-TYPE=\"Chat Line 2\":im:ann?x\r\n"));
        QVERIFY(vcf.contains("\r\nIMPP;CHARSET=UTF-8;X-SERVICE-TYPE=\"Caf\xC3\xA9\":im:ann.cafe\r\n"));
        const QByteArray csv = testsupport::readFile(dir + QStringLiteral("/c.csv"));
        QCOMPARE(csv.left(csv.indexOf('\n')),
                 QByteArray("First Name,Last Name,IM:Caf\xC3\xA9,IM:Chat Line 2 1,IM:Other,IM:Signal,"
                            "IM:Skype,IM:sip,IM:sip 2"));
    }

    // A chat service without a code is written in its own scheme only when
    // that is a chat service's: "Tel" and a link go as "im:" with the
    // service beside them, so that no reader takes them for a number or a
    // page; addresses that are links keep their "//" through export and
    // import (contact_data/job/chat-links.vcf).
    void chatAddressesGoInChatSchemesOnly()
    {
        RecordingJobReport read, exported, back;
        ImportContactsToLocalThread importer(fixtures::dataFile(QStringLiteral("job/chat-links.vcf")), ImportVCard,
                                             &read);
        QVERIFY(finished(importer));
        const QString vcf = testsupport::makeTempDir(QStringLiteral("links")) + QStringLiteral("/c.vcf");
        ExportToFileThread exporter(importer.contacts(), ExportVCard, vcf, &exported);
        QVERIFY(finished(exporter));
        QVERIFY(exported.succeeded());
        const QString text = QString::fromUtf8(testsupport::readFile(vcf));
        QVERIFY(text.contains(QStringLiteral("\r\nIMPP;CHARSET=UTF-8;X-SERVICE-TYPE=Tel:im:+1 555 0100\r\n")));
        QVERIFY(text.contains(
            QStringLiteral("\r\nIMPP;CHARSET=UTF-8;X-SERVICE-TYPE=Teams:im:https://teams.example.com/l/chat/ann\r\n")));
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("\nIMPP[^:]*:(tel|https?):"))), qPrintable(text));
        ImportContactsToLocalThread again(vcf, ImportVCard, &back);
        QVERIFY(finished(again));
        QCOMPARE(fixtures::dump(again.contacts()), fixtures::dump(importer.contacts()));
    }

    // An Outlook date kept as text (a two-digit year, a day that is not)
    // is no BDAY: it goes as text into X-EVENT, which the import reads back
    // as the same birthday or anniversary, separators and all; real dates
    // stay BDAY.
    void datesKeptAsTextAreNoBirthdayToOtherReaders()
    {
        RecordingJobReport read, exported, back;
        ImportContactsToLocalThread importer(fixtures::dataFile(QStringLiteral("job/outlook-day-first.csv")), ImportCSV,
                                             &read);
        QVERIFY(finished(importer));
        QList<pim::_Contact> contacts = importer.contacts();
        addRow(contacts[3], pim::ENTITY_EVENT, {{1, QStringLiteral("spring, 1950; or so")}, {2, 0}});
        const QString vcf = testsupport::makeTempDir(QStringLiteral("dates")) + QStringLiteral("/c.vcf");
        ExportToFileThread exporter(contacts, ExportVCard, vcf, &exported);
        QVERIFY(finished(exporter));
        QVERIFY(exported.succeeded());
        const QString text = QString::fromUtf8(testsupport::readFile(vcf));
        QStringList bdays;
        for (const QString& line : text.split(QStringLiteral("\r\n")))
            if (line.startsWith(QLatin1String("BDAY")))
                bdays << line;
        QCOMPARE(bdays, QStringList({"BDAY:2001-11-05", "BDAY:1980-05-17"}));
        QVERIFY(text.contains(QStringLiteral("\r\nX-EVENT;TYPE=birthday;VALUE=text:31/12/99\r\n")));
        QVERIFY(text.contains(QStringLiteral("\r\nX-EVENT;TYPE=anniversary;VALUE=text:31/02/1980\r\n")));
        QVERIFY(text.contains(QStringLiteral("\r\nX-EVENT;TYPE=other;VALUE=text:spring\\, 1950\\; or so\r\n")));
        ImportContactsToLocalThread again(vcf, ImportVCard, &back);
        QVERIFY(finished(again));
        QCOMPARE(fixtures::dump(again.contacts()).filter(QRegularExpression(QStringLiteral("^6\t"))),
                 fixtures::dump(contacts).filter(QRegularExpression(QStringLiteral("^6\t"))));
    }

    // The HTML export makes a folder of the name chosen. On failure or cancel
    // the job removes only what it made.
    void exportsLeaveOnlyWhatTheyFinished()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("exp"));
        RecordingJobReport done;
        ExportToFileThread html(kTen, ExportHTML, dir + QStringLiteral("/c.html"), &done);
        QVERIFY(finished(html));
        QVERIFY(done.succeeded());
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/c.html/c.html")));
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/c.html/photos/contact.png")));

        const QString chosen = dir + QStringLiteral("/site.html"); // a folder that was there before
        QVERIFY(QDir().mkpath(chosen));
        QVERIFY(QFile(chosen + QStringLiteral("/keep.txt")).open(QIODevice::WriteOnly));
        const int fileFormats[] = {ExportVCard, ExportCSV, ExportTXT, ExportPDF};
        for (int format : fileFormats) { // the folder picked as the file
            RecordingJobReport report;
            ExportToFileThread job(kTen, format, chosen, &report);
            QVERIFY(finished(job));
            QVERIFY(report.failed() && report.errors().first().startsWith(QStringLiteral("create file error. ")));
        }
        QList<std::pair<int, QString>> jobs
            = {{ExportHTML, chosen}, {ExportHTML, dir + QStringLiteral("/new/deep/site.html")}};
        for (int format : fileFormats)
            jobs.append({format, dir + QStringLiteral("/out%1").arg(format)});
        for (const auto& [format, path] : jobs) {
            RecordingJobReport report;
            report.cancelWhenProgressContains(QStringLiteral("Contacts:3/10"));
            ExportToFileThread job(kTen, format, path, &report);
            QVERIFY(finished(job));
            QCOMPARE(report.endCount(), 0);
            if (path != chosen)
                QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        }
        // The folder chosen and what was in it stay; the page and photos go. A new folder goes whole.
        QVERIFY(QFileInfo::exists(chosen + QStringLiteral("/keep.txt")));
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("/site.html")));
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("/photos")));
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/new")));
    }

    // Over an earlier export, in every format: a cancel or a disk that fills
    // up keeps the earlier file (and the HTML page's earlier photo) byte for
    // byte and leaves nothing beside it; a completed export replaces it.
    void failedOrCancelledOverwrite_keepsTheEarlierFile()
    {
        QList<pim::_Contact> many; // well over the size limit in every format
        for (int i = 0; i < 40; ++i) {
            pim::_Contact c = fixtures::named(QStringLiteral("Given%1").arg(i), QStringLiteral("Family"));
            addRow(c, pim::ENTITY_NOTE, {{1, QString(1000, QLatin1Char('n'))}});
            addRow(c, pim::ENTITY_PHOTO, {{15, fixtures::jpegBytes(Qt::red)}});
            many.append(c);
        }
        const QByteArray earlier("the earlier export\n"), photo("the earlier photo");
        for (int format : {ExportVCard, ExportCSV, ExportTXT, ExportHTML, ExportPDF}) {
            const QString dir = testsupport::makeTempDir(QStringLiteral("over%1").arg(format));
            const QString target = dir + QStringLiteral("/out");
            QString file = target; // the HTML page goes into the folder of its name
            QStringList before {QStringLiteral("out")};
            if (format == ExportHTML) {
                QVERIFY(QDir().mkpath(target + QStringLiteral("/photos")));
                file = target + QStringLiteral("/out");
                CHECKED(put(target + QStringLiteral("/photos/0.jpg"), photo));
                before = QStringList {QStringLiteral("out/out"), QStringLiteral("out/photos/0.jpg")};
            }
            CHECKED(put(file, earlier));
            const auto unchanged = [&](std::source_location at = std::source_location::current()) {
                HELPER_COMPARE(testsupport::readFile(file), earlier);
                HELPER_COMPARE(testsupport::filesBelow(dir), before);
                if (format == ExportHTML)
                    HELPER_COMPARE(testsupport::readFile(target + QStringLiteral("/photos/0.jpg")), photo);
                return true;
            };

            RecordingJobReport cancelled, full, done;
            cancelled.cancelWhenProgressContains(QStringLiteral("Contacts:3/40"));
            ExportToFileThread cancelJob(many, format, target, &cancelled);
            QVERIFY(finished(cancelJob));
            QCOMPARE(cancelled.endCount(), 0);
            CHECKED(unchanged());
            {
                testsupport::FileSizeLimit limit(16 * 1024);
                QVERIFY(limit.ok());
                ExportToFileThread fullJob(many, format, target, &full);
                QVERIFY(finished(fullJob));
            }
            QCOMPARE(full.successes(), QStringList());
            const QString error = full.errors().value(0);
            QVERIFY2(error.startsWith(QStringLiteral("write file error. "))
                         && !error.contains(QStringLiteral("Unknown")),
                     qPrintable(error));
            CHECKED(unchanged());

            ExportToFileThread doneJob(many, format, target, &done);
            QVERIFY(finished(doneJob));
            QVERIFY(done.succeeded());
            QVERIFY(testsupport::readFile(file).size() > 16 * 1024);
            const QStringList after = testsupport::filesBelow(dir);
            QCOMPARE(after.filter(QRegularExpression(QStringLiteral("(^|/)\\.|\\.[A-Za-z0-9]{6}$"))), QStringList());
            QCOMPARE(after.size(), format == ExportHTML ? 2 + 40 : 1); // page, placeholder, 40 photos
        }
    }
};

QTEST_MAIN(TestContactExports)
#include "test_contact_exports.moc"
