// The contact exports: row texts, CSV and fixed-width text layout, the HTML
// page and the PDF of cards, and their failures.
#include "contactfixtures.h"
#include "formats/abstextexport.h"
#include "formats/contactrowformat.h"
#include "formats/htmlexport.h"
#include "formats/pdfexport.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using fixtures::row;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

template <typename Exporter, typename... Args>
QString runExport(const QString& name, const QList<pim::_Contact>& contacts, Args... args)
{
    const QString path = testsupport::makeTempDir(QStringLiteral("exp")) + QLatin1Char('/') + name;
    Exporter e(path, args...);
    e.begin();
    for (const auto& c : contacts)
        e.write(c);
    e.end();
    return path;
}

int pdfPages(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(30000))
        return -1;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

QList<pim::_Contact> nine()
{
    QList<pim::_Contact> list;
    for (int i = 1; i <= 9; ++i) {
        pim::_Contact c = fixtures::fullContact();
        c.fullName = QStringLiteral("Card %1 %2").arg(i).arg(c.fullName);
        if (i % 3 == 0)
            fixtures::addRow(c, pim::ENTITY_PHOTO, row({{15, fixtures::jpegBytes(QColor(40 * i, 90, 160))}}));
        list.append(c);
    }
    return list;
}

} // namespace

class TestContactExports : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowTexts()
    {
        QCOMPARE(ContactRowFormat::formatPhone(row({{1, QStringLiteral("123")}})), QStringLiteral("Other:123"));
        QCOMPARE(ContactRowFormat::formatPhone(row({{1, QStringLiteral("123")}, {2, 7}})), QStringLiteral(":123"));
        QCOMPARE(ContactRowFormat::formatPhone(row({{1, QStringLiteral("1")}, {2, 2}, {3, QStringLiteral("Boat")}})),
                 QStringLiteral("Boat:1"));
        const QString date = QLocale::system().toString(QDate(1980, 5, 17), QLocale::ShortFormat);
        QCOMPARE(ContactRowFormat::formatEvent(row({{1, QStringLiteral("1980-05-17")}, {2, 3}})),
                 QStringLiteral("Birthday:") + date);
        QCOMPARE(ContactRowFormat::formatEvent(row({{1, QStringLiteral("someday")}, {2, 3}})), QStringLiteral("Birthday:"));
        QCOMPARE(ContactRowFormat::formatIM(row({{1, QStringLiteral("me")}, {2, 1}, {5, 4}})), QStringLiteral("Home:me(Skype)"));
        QCOMPARE(ContactRowFormat::formatOrganization(row({{1, QStringLiteral("Acme")}, {2, 1}})), QStringLiteral("Work:Acme"));
        QCOMPARE(ContactRowFormat::formatAddress(row({{2, 1}, {4, QStringLiteral("S")}, {7, QStringLiteral("C")},
                                                      {10, QStringLiteral("K")}})),
                 QStringLiteral("<b>Home</b><br/>S<br/>C<br/>K"));
    }

    void csvLayout()
    {
        QCOMPARE(fileBytes(runExport<CSVExport>(QStringLiteral("e.csv"), {}, nullptr)), QByteArray("\n"));
        pim::_Contact a = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        fixtures::addRow(a, pim::ENTITY_PHONE, row({{1, QStringLiteral("1,2")}, {2, 2}}));
        fixtures::addRow(a, pim::ENTITY_POSTAL, row({{2, 1}, {4, QStringLiteral("Home St")}, {7, QStringLiteral("X")}}));
        pim::_Contact b = fixtures::named(QStringLiteral("Bo"), QString());
        fixtures::addRow(b, pim::ENTITY_PHONE, row({{1, QStringLiteral("say \"hi\"")}, {2, 2}}));
        fixtures::addRow(b, pim::ENTITY_POSTAL, row({{2, 2}, {4, QStringLiteral("Work St")}}));
        fixtures::addRow(b, pim::ENTITY_GROUP, row({{2, QStringLiteral("Team")}}));
        const QList<pim::_Contact> list = {a, b};
        QCOMPARE(fileBytes(runExport<CSVExport>(QStringLiteral("c.csv"), list, &list)),
                 QByteArray("First Name,Last Name,Category,Tel:Mobile,Addr:Home:City,Addr:Home:Street,Addr:Work:Street\n"
                            "Ann,Lee,,\"1,2\",X,Home St,\n"
                            "Bo,,Team,\"say \"\"hi\"\"\",,,Work St\n"));
    }

    void txtLayout()
    {
        QCOMPARE(fileBytes(runExport<TxtExport>(QStringLiteral("e.txt"), {}, nullptr)), QByteArray("\n"));
        pim::_Contact a = fixtures::named(QStringLiteral("Ann"), QString());
        fixtures::addRow(a, pim::ENTITY_EMAIL, row({{1, QStringLiteral("a.very.long.address@example.com")}, {2, 1}}));
        fixtures::addRow(a, pim::ENTITY_NOTE, row({{1, QStringLiteral("two\r\nlines")}}));
        const QList<pim::_Contact> list = {a};
        const QByteArray text = fileBytes(runExport<TxtExport>(QStringLiteral("t.txt"), list, &list));
        const QByteArray header = QByteArray("First Name").leftJustified(25) + QByteArray("Email:Home").leftJustified(25) +
                                  QByteArray("Notes").leftJustified(100) + "\n";
        const QByteArray line = "Ann" + QByteArray(22, ' ') + "a.very.long.address@example.com" +
                                QByteArray("two  lines").leftJustified(100) + "\n";
        QCOMPARE(text, header + line);
    }

    void htmlPage()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("html"));
        const QString page = dir + QStringLiteral("/contacts.html");
        pim::_Contact evil = fixtures::named(QStringLiteral("<script>alert(1)</script>"), QStringLiteral("\"Quote\" & Co"));
        fixtures::addRow(evil, pim::ENTITY_NOTE, row({{1, QStringLiteral("a < b")}}));
        fixtures::addRow(evil, pim::ENTITY_WEBSITE, row({{1, QStringLiteral("\"><img src=x onerror=y>")}, {2, 1}}));
        fixtures::addRow(evil, pim::ENTITY_ORGANIZATION, row({{1, QStringLiteral("Acme")}, {4, QStringLiteral("Boss")},
                                                              {5, QStringLiteral("Ops")}}));
        fixtures::addRow(evil, pim::ENTITY_PHOTO, row({{15, fixtures::jpegBytes(Qt::red)}}));
        pim::_Contact other = fixtures::named(QStringLiteral("Other"), QStringLiteral("One"));
        fixtures::addRow(other, pim::ENTITY_PHOTO, row({{15, fixtures::jpegBytes(Qt::blue)}}));
        pim::_Contact plain = fixtures::named(QStringLiteral("No"), QStringLiteral("Photo"));
        {
            HtmlExport e(page);
            e.begin();
            for (const auto& c : {evil, other, plain})
                e.write(c);
            e.end();
        }
        const QString html = QString::fromUtf8(fileBytes(page));
        QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"")));
        QVERIFY(!html.contains(QStringLiteral("<script>")));
        QVERIFY(!html.contains(QStringLiteral("<img src=x")));
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &quot;Quote&quot; &amp; Co")));
        QVERIFY(html.contains(QStringLiteral("<li>a &lt; b</li>")));
        QVERIFY(html.contains(QStringLiteral("<br/>Boss - Ops<br/>Acme")));
        QVERIFY(!html.contains(QStringLiteral("Organization:"))); // one organisation: name block only
        QVERIFY(html.contains(QStringLiteral("src=\"photos/0.jpg\"")));
        QVERIFY(html.contains(QStringLiteral("src=\"photos/0_1.jpg\"")));
        QVERIFY(html.contains(QStringLiteral("src=\"photos/contact.png\"")));
        QVERIFY(html.endsWith(QStringLiteral("</body></html>")));
        QImage first(dir + QStringLiteral("/photos/0.jpg")), second(dir + QStringLiteral("/photos/0_1.jpg"));
        QVERIFY(first.pixelColor(5, 5).red() > 200);
        QVERIFY(second.pixelColor(5, 5).blue() > 200);
        QVERIFY(!QImage(dir + QStringLiteral("/photos/contact.png")).isNull());
    }

    void pdfPagesAndPicture()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            QSKIP("poppler-utils not installed");
        const QString path = runExport<PdfExport>(QStringLiteral("cards.pdf"), nine());
        QCOMPARE(pdfPages(path), 2);
        const QList<pim::_Contact> eight = nine().mid(0, 8);
        QCOMPARE(pdfPages(runExport<PdfExport>(QStringLiteral("eight.pdf"), eight)), 1);

        const QString shots = testsupport::binaryDir() + QStringLiteral("/screenshots");
        QDir().mkpath(shots);
        QProcess p;
        p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"),
                                             path, shots + QStringLiteral("/contact_cards")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QImage page1(shots + QStringLiteral("/contact_cards-1.png"));
        QVERIFY(!page1.isNull());
        QVERIFY(page1.height() > page1.width()); // portrait A4
    }

    void failuresAreReported()
    {
        const QList<pim::_Contact> list = {fixtures::fullContact()};
        // A folder in place of the file.
        const QString dir = testsupport::makeTempDir(QStringLiteral("dirfile"));
        CSVExport csv(dir, &list);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, csv.begin());
        PdfExport pdf(dir + QStringLiteral("/missing/x.pdf"));
        try {
            pdf.begin();
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QVERIFY(QString::fromUtf8(e.what()).startsWith(QStringLiteral("create file error. ")));
        }
        // A disk that is full: the error comes at the latest when the file is
        // completed.
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full");
        TxtExport txt(QStringLiteral("/dev/full"), &list);
        try {
            txt.begin();
            txt.write(list.first());
            txt.end();
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QVERIFY(QString::fromUtf8(e.what()).startsWith(QStringLiteral("write file error. ")));
        }
    }
};

QTEST_MAIN(TestContactExports)
#include "test_contact_exports.moc"
