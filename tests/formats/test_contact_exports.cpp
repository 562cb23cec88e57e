// The contact exports: row texts, CSV and fixed-width text layout, the HTML
// page and the PDF of cards, and their failures.
#include "contactfixtures.h"
#include "formats/abstextexport.h"
#include "formats/contactrowformat.h"
#include "formats/htmlexport.h"
#include "formats/pdfexport.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using fixtures::addRow;
using fixtures::exportTo;
using fixtures::row;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

int pdfPages(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), { path });
    if (!p.waitForFinished(30000))
        return -1;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

template <typename Exporter> QString failure(Exporter& e, const pim::_Contact& c)
{
    try {
        e.begin();
        e.write(c);
        e.end();
    } catch (const std::runtime_error& err) {
        return QString::fromUtf8(err.what());
    }
    return QString();
}

} // namespace

class TestContactExports : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowTexts()
    {
        QCOMPARE(
            ContactRowFormat::formatPhone(row({ { 1, QStringLiteral("1") }, { 2, 2 }, { 3, QStringLiteral("Boat") } })),
            QStringLiteral("Boat:1"));
        QCOMPARE(ContactRowFormat::formatEvent(row({ { 1, QStringLiteral("someday") }, { 2, 3 } })),
            QStringLiteral("Birthday:"));
        QCOMPARE(ContactRowFormat::formatAddress(row({ { 2, 1 }, { 4, QStringLiteral("S") }, { 7, QStringLiteral("C") },
                     { 10, QStringLiteral("K") } })),
            QStringLiteral("<b>Home</b><br/>S<br/>C<br/>K"));
    }

    void csvAndTxtLayout()
    {
        pim::_Contact a = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        addRow(a, pim::ENTITY_PHONE, { { 1, QStringLiteral("1,2") }, { 2, 2 } });
        addRow(a, pim::ENTITY_POSTAL, { { 2, 1 }, { 4, QStringLiteral("Home St") }, { 7, QStringLiteral("X") } });
        pim::_Contact b = fixtures::named(QStringLiteral("Bo"), QString());
        addRow(b, pim::ENTITY_PHONE, { { 1, QStringLiteral("say \"hi\"") }, { 2, 2 } });
        addRow(b, pim::ENTITY_POSTAL, { { 2, 2 }, { 4, QStringLiteral("Work St") } });
        addRow(b, pim::ENTITY_GROUP, { { 2, QStringLiteral("Team") } });
        const QList<pim::_Contact> list = { a, b };
        QCOMPARE(fileBytes(exportTo<CSVExport>(QStringLiteral("c.csv"), list, &list)),
            QByteArray("First Name,Last Name,Category,Tel:Mobile,Addr:Home:City,Addr:Home:Street,Addr:Work:Street\n"
                       "Ann,Lee,,\"1,2\",X,Home St,\n"
                       "Bo,,Team,\"say \"\"hi\"\"\",,,Work St\n"));

        // Columns 25 wide (notes 100); a longer value pushes the next one on.
        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QString());
        addRow(c, pim::ENTITY_EMAIL, { { 1, QStringLiteral("a.very.long.address@example.com") }, { 2, 1 } });
        addRow(c, pim::ENTITY_NOTE, { { 1, QStringLiteral("two\r\nlines") } });
        const QList<pim::_Contact> one = { c };
        QCOMPARE(fileBytes(exportTo<TxtExport>(QStringLiteral("t.txt"), one, &one)),
            QByteArray("First Name").leftJustified(25) + QByteArray("Email:Home").leftJustified(25)
                + QByteArray("Notes").leftJustified(100) + "\nAnn" + QByteArray(22, ' ')
                + "a.very.long.address@example.com" + QByteArray("two  lines").leftJustified(100) + "\n");
    }

    void htmlPageEscapesAndKeepsEveryPhoto()
    {
        pim::_Contact evil
            = fixtures::named(QStringLiteral("<script>alert(1)</script>"), QStringLiteral("\"Quote\" & Co"));
        addRow(evil, pim::ENTITY_NOTE, { { 1, QStringLiteral("a < b") } });
        addRow(evil, pim::ENTITY_WEBSITE, { { 1, QStringLiteral("\"><img src=x onerror=y>") }, { 2, 1 } });
        addRow(evil, pim::ENTITY_ORGANIZATION,
            { { 1, QStringLiteral("Acme") }, { 4, QStringLiteral("Boss") }, { 5, QStringLiteral("Ops") } });
        addRow(evil, pim::ENTITY_PHOTO, { { 15, fixtures::jpegBytes(Qt::red) } });
        pim::_Contact other = fixtures::named(QStringLiteral("Other"), QStringLiteral("One")); // the same id, 0
        addRow(other, pim::ENTITY_PHOTO, { { 15, fixtures::jpegBytes(Qt::blue) } });
        const QString page = exportTo<HtmlExport>(QStringLiteral("contacts.html"),
            { evil, other, fixtures::named(QStringLiteral("No"), QStringLiteral("Photo")) });
        const QString dir = QFileInfo(page).path();
        const QString html = QString::fromUtf8(fileBytes(page));
        QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"")));
        QVERIFY(html.endsWith(QStringLiteral("</body></html>")));
        QVERIFY(!html.contains(QStringLiteral("<script>")) && !html.contains(QStringLiteral("<img src=x")));
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &quot;Quote&quot; &amp; Co")));
        QVERIFY(html.contains(QStringLiteral("<li>a &lt; b</li>")));
        QVERIFY(html.contains(QStringLiteral("<br/>Boss - Ops<br/>Acme")));
        for (const char* src : { "photos/0.jpg", "photos/0_1.jpg", "photos/contact.png" })
            QVERIFY2(html.contains(QStringLiteral("src=\"%1\"").arg(QLatin1String(src))), src);
        QVERIFY(QImage(dir + QStringLiteral("/photos/0.jpg")).pixelColor(5, 5).red() > 200);
        QVERIFY(QImage(dir + QStringLiteral("/photos/0_1.jpg")).pixelColor(5, 5).blue() > 200);
        QVERIFY(!QImage(dir + QStringLiteral("/photos/contact.png")).isNull());
    }

    void pdfPagesAndPicture()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            QSKIP("poppler-utils not installed");
        QList<pim::_Contact> nine;
        for (int i = 1; i <= 9; ++i) {
            nine.append(fixtures::fullContact());
            nine.last().fullName = QStringLiteral("Card %1 %2").arg(i).arg(nine.last().fullName);
            if (i % 3 == 0)
                addRow(nine.last(), pim::ENTITY_PHOTO, { { 15, fixtures::jpegBytes(QColor(40 * i, 90, 160)) } });
        }
        const QString path = exportTo<PdfExport>(QStringLiteral("cards.pdf"), nine);
        QCOMPARE(pdfPages(path), 2);
        QCOMPARE(pdfPages(exportTo<PdfExport>(QStringLiteral("eight.pdf"), nine.mid(0, 8))), 1);

        const QString shots = testsupport::binaryDir() + QStringLiteral("/screenshots");
        QDir().mkpath(shots);
        QProcess p;
        p.start(QStringLiteral("pdftoppm"),
            { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"), path,
                shots + QStringLiteral("/contact_cards") });
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QImage page1(shots + QStringLiteral("/contact_cards-1.png"));
        QVERIFY(!page1.isNull() && page1.height() > page1.width()); // portrait A4
    }

    void failuresAreReported()
    {
        const QList<pim::_Contact> list = { fixtures::fullContact() };
        const QString dir = testsupport::makeTempDir(QStringLiteral("dirfile")); // a folder in place of the file
        CSVExport csv(dir, &list);
        QVERIFY(failure(csv, list[0]).startsWith(QStringLiteral("create file error. ")));
        PdfExport pdf(dir + QStringLiteral("/missing/x.pdf"));
        QVERIFY(failure(pdf, list[0]).startsWith(QStringLiteral("create file error. ")));
        // A full disk: the error comes at the latest when the file is completed.
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full");
        TxtExport txt(QStringLiteral("/dev/full"), &list);
        QVERIFY(failure(txt, list[0]).startsWith(QStringLiteral("write file error. ")));
    }
};

QTEST_MAIN(TestContactExports)
#include "test_contact_exports.moc"
