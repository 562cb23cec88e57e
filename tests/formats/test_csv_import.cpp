// CSV contact import: our own headers (round trip through the CSV export),
// Outlook and Google headers, encodings and broken files.
#include "contactfixtures.h"
#include "formats/abstextexport.h"
#include "formats/csvimport.h"
#include "testsupport.h"

#include <QFile>
#include <QStringEncoder>
#include <QTest>
#include <QTextCodec>

using fixtures::row;

namespace {

QString v(const ContactDataRow& r, int n)
{
    return pim::valueText(r.values, QStringLiteral("data%1").arg(n));
}

QString writeFile(const QByteArray& bytes)
{
    const QString path = testsupport::makeTempDir(QStringLiteral("csv")) + QStringLiteral("/in.csv");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QList<pim::_Contact> importBytes(const QByteArray& bytes)
{
    CSVImport reader;
    reader.open(writeFile(bytes));
    QList<pim::_Contact> out;
    while (reader.hasNext())
        out.append(reader.next());
    return out;
}

} // namespace

class TestCsvImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ownFormatRoundTrip()
    {
        const QList<pim::_Contact> contacts = {fixtures::fullContact(),
                                               fixtures::named(QString::fromUtf8("Søren"), QString::fromUtf8("Kierkegaard"))};
        const QString path = testsupport::makeTempDir(QStringLiteral("csvout")) + QStringLiteral("/c.csv");
        CSVExport out(path, &contacts);
        out.begin();
        for (const auto& c : contacts)
            out.write(c);
        out.end();

        CSVImport reader;
        reader.open(path);
        QCOMPARE(reader.count(), 2);
        const pim::_Contact back = reader.next();
        const pim::_Contact& want = contacts[0];
        QCOMPARE(back.fullName, want.fullName);
        // The export keeps one value per column: compare the column cells.
        auto sorted = [](QList<QPair<QString, QString>> cells) {
            std::sort(cells.begin(), cells.end());
            return cells;
        };
        QCOMPARE(sorted(AbsTextExport::cells(back)), sorted(AbsTextExport::cells(want)));
        QCOMPARE(v(back.rows(pim::ENTITY_IM)[0], 5), QStringLiteral("4"));
        QCOMPARE(v(back.rows(pim::ENTITY_IM)[0], 2), QStringLiteral("1"));
        QCOMPARE(v(back.rows(pim::ENTITY_POSTAL)[0], 1), pim::formatAddress(want.rows(pim::ENTITY_POSTAL)[0].values));
        QCOMPARE(reader.next().fullName, QString::fromUtf8("Søren Kierkegaard"));
    }

    void outlookAndGoogleHeaders()
    {
        const auto outlook = importBytes("First Name,Last Name,Home Phone,Home Phone 2,Home Street,Home City,"
                                         "Company,Job Title,E-mail Address,first name,Unknown\r\n"
                                         "A,B,111,222,1 Road,Town,Acme,Boss,a@b.c,ignored,x\r\n"
                                         "C\r\n");
        QCOMPARE(outlook.size(), 2);
        const pim::_Contact& c = outlook[0];
        QCOMPARE(c.fullName, QStringLiteral("A B"));
        QCOMPARE(v(c.rows(pim::ENTITY_NAME)[0], 1), QStringLiteral("A B"));
        QCOMPARE(c.rows(pim::ENTITY_PHONE).size(), 1);
        QCOMPARE(v(c.rows(pim::ENTITY_PHONE)[0], 1), QStringLiteral("111 222"));
        QCOMPARE(v(c.rows(pim::ENTITY_PHONE)[0], 2), QStringLiteral("1"));
        QCOMPARE(c.rows(pim::ENTITY_POSTAL).size(), 1);
        QCOMPARE(v(c.rows(pim::ENTITY_POSTAL)[0], 1), QStringLiteral("1 Road\nTown"));
        QCOMPARE(v(c.rows(pim::ENTITY_ORGANIZATION)[0], 4), QStringLiteral("Boss"));
        QCOMPARE(v(c.rows(pim::ENTITY_EMAIL)[0], 2), QStringLiteral("1"));
        QCOMPARE(outlook[1].fullName, QStringLiteral("C")); // a short row

        const auto google = importBytes("Name,Given Name,Family Name,E-mail 1 - Value,Phone 1 - Value\n"
                                        "Ann Lee,Ann,Lee,ann@example.com,+1 555\n");
        QCOMPARE(google.size(), 1);
        QCOMPARE(google[0].fullName, QStringLiteral("Ann Lee"));
        QCOMPARE(v(google[0].rows(pim::ENTITY_EMAIL)[0], 2), QStringLiteral("1"));
        QVERIFY(google[0].rows(pim::ENTITY_PHONE).isEmpty());
    }

    void lastRowWithoutLineBreakIsKept()
    {
        const auto contacts = importBytes("First Name,Last Name\nA,B\nC,D");
        QCOMPARE(contacts.size(), 2);
        QCOMPARE(contacts[1].fullName, QStringLiteral("C D"));
        QCOMPARE(importBytes("First Name,Last Name\nA,B\n").size(), 1);
    }

    void encodings()
    {
        const QString text = QString::fromUtf8("First Name,Last Name\nJürgen,Müller\n");
        QStringEncoder le(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        const QByteArray utf16 = le.encode(text);
        QCOMPARE(importBytes(utf16).value(0).fullName, QString::fromUtf8("Jürgen Müller"));
        const QByteArray latin1 = QTextCodec::codecForName("ISO-8859-1")->fromUnicode(text);
        QCOMPARE(importBytes(latin1).value(0).fullName, QString::fromUtf8("Jürgen Müller"));
        QCOMPARE(importBytes("\xEF\xBB\xBF" + text.toUtf8()).value(0).fullName, QString::fromUtf8("Jürgen Müller"));
    }

    void brokenFiles()
    {
        QVERIFY(importBytes("").isEmpty());
        QVERIFY(importBytes("First Name,Last Name").isEmpty());
        // An unbalanced quote swallows the rest of the file into one field.
        const auto quoted = importBytes("First Name,Notes\nA,\"open quote\nB,x\n");
        QCOMPARE(quoted.size(), 1);
        QCOMPARE(v(quoted[0].rows(pim::ENTITY_NOTE)[0], 1), QStringLiteral("open quote\nB,x\n"));
        CSVImport reader;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, reader.open(QStringLiteral("/nonexistent/x.csv")));
    }
};

QTEST_GUILESS_MAIN(TestCsvImport)
#include "test_csv_import.moc"
