// Contact files in the styles that phones, desktop address books, mail
// programs and address-book exports write (tests/formats/contact_data):
// every value comes in, and what cannot be read is skipped and counted.
#include "contactfixtures.h"
#include "formats/csvimport.h"
#include "formats/importcontactsthread.h"
#include "formats/vcardexport.h"
#include "formats/vcardimport.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>

using fixtures::v;

namespace {

QString dataFile(const char* name)
{
    return testsupport::sourceDir() + QStringLiteral("/tests/formats/contact_data/") + QLatin1String(name);
}

QList<pim::_Contact> importVCard(const char* name, int* skipped = nullptr)
{
    VCardImport reader;
    reader.open(dataFile(name));
    QList<pim::_Contact> out;
    while (reader.hasNext())
        out.append(reader.next());
    if (skipped)
        *skipped = reader.skippedLines();
    return out;
}

// Every non-empty column of the contact's rows of one type, rows joined by "|".
QString rowsOf(const pim::_Contact& c, int type)
{
    pim::_Contact only;
    only.entities.insert(type, c.rows(type));
    return fixtures::dump(only).join(u'|');
}

QVariant eventDate(const pim::_Contact& c, int row)
{
    return c.rows(pim::ENTITY_EVENT).value(row).values.value(QStringLiteral("data1"));
}

} // namespace

class TestContactFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void foldedLinesLoseOnlyTheFoldingBlank()
    {
        const auto contacts = importVCard("folded-3.0.vcf");
        QCOMPARE(contacts.size(), 1);
        const pim::_Contact& c = contacts[0];
        QCOMPARE(rowsOf(c, pim::ENTITY_EMAIL), QStringLiteral("4 data1=jonathan.doe@example.com|4 data2=2"));
        QCOMPARE(rowsOf(c, pim::ENTITY_PHONE), QStringLiteral("3 data1=905-666-1234|3 data2=2"));
        QCOMPARE(rowsOf(c, pim::ENTITY_WEBSITE),
                 QStringLiteral("13 data1=https://www.example.com/people/jonathan-doe/profile/and/a/long/path/"
                                "index.html|13 data2=5"));
        QCOMPARE(v(c.rows(pim::ENTITY_POSTAL).value(0), 4),
                 QStringLiteral("42 Long Street Name That Goes On And On Past The Fold Line"));
        QCOMPARE(v(c.rows(pim::ENTITY_POSTAL).value(0), 7), QStringLiteral("Springfield"));
        // A tab folds too; a second blank after the break is text.
        QCOMPARE(v(c.rows(pim::ENTITY_NOTE).value(0), 1),
                 QStringLiteral("Two  blanks stay, the fold\nbetween words (tab fold) vanishes and a blank after "
                                "the fold blank stays."));
    }

    void groupedPropertiesKeepTheirGroupsLabels()
    {
        const auto contacts = importVCard("grouped.vcf");
        QCOMPARE(contacts.size(), 1);
        const pim::_Contact& c = contacts[0];
        // A custom label is type 0 with its text; the books' own words map to our types.
        QCOMPARE(rowsOf(c, pim::ENTITY_EMAIL),
                 QStringLiteral("4 data1=jane@example.com|4 data2=0|4 data3=School|"
                                "4 data1=other@example.com|4 data2=0"));
        QCOMPARE(rowsOf(c, pim::ENTITY_PHONE),
                 QStringLiteral("3 data1=+1 555 0101|3 data2=2|3 data1=+1 555 0102|3 data2=0|3 data3=Boat"));
        QCOMPARE(rowsOf(c, pim::ENTITY_POSTAL),
                 QStringLiteral("12 data1=1 Loop Road\nCupertino, CA 95014\nUSA|12 data10=USA|12 data2=2|"
                                "12 data4=1 Loop Road|12 data7=Cupertino|12 data8=CA|12 data9=95014"));
        QCOMPARE(rowsOf(c, pim::ENTITY_WEBSITE), QStringLiteral("13 data1=http://example.com/jane|13 data2=1"));
    }

    void repeatedAndQuotedParameters()
    {
        const auto contacts = importVCard("parameters.vcf");
        QCOMPARE(contacts.size(), 1);
        const pim::_Contact& c = contacts[0];
        QCOMPARE(rowsOf(c, pim::ENTITY_PHONE),
                 QStringLiteral("3 data1=+1 555 0201|3 data2=5|3 data1=+1 555 0202|3 data2=3|"
                                "3 data1=+1 555 0203|3 data2=3"));
        QCOMPARE(rowsOf(c, pim::ENTITY_EMAIL), QStringLiteral("4 data1=pat@example.com|4 data2=2"));
        QCOMPARE(rowsOf(c, pim::ENTITY_POSTAL),
                 QStringLiteral("12 data1=1 Main St\nSpringfield, IL 62701\nUSA|12 data10=USA|12 data2=1|"
                                "12 data4=1 Main St|12 data7=Springfield|12 data8=IL|12 data9=62701"));
        const auto cards = VCardParser::parse(fixtures::readBytes(dataFile("parameters.vcf")));
        QCOMPARE(cards.value(0).value(6).params.value(QStringLiteral("LABEL")),
                 QStringLiteral("1 Main St, Springfield: IL; USA"));
    }

    void datesInEveryFormKeepTheirDay()
    {
        int skipped = -1;
        const auto contacts = importVCard("dates.vcf", &skipped);
        QCOMPARE(contacts.size(), 5);
        QCOMPARE(skipped, 0);
        QCOMPARE(eventDate(contacts[0], 0), QVariant(QDateTime(QDate(1980, 1, 1), QTime(0, 0))));
        QCOMPARE(eventDate(contacts[0], 1), QVariant(QDateTime(QDate(2005, 6, 11), QTime(0, 0))));
        QCOMPARE(v(contacts[0].rows(pim::ENTITY_EVENT).value(1), 2), QStringLiteral("1"));
        // Without a year the month and day stay, as the event text "--MM-dd".
        QCOMPARE(eventDate(contacts[1], 0), QVariant(QStringLiteral("--02-03")));
        QCOMPARE(eventDate(contacts[1], 1).toDateTime(),
                 QDateTime(QDate(2009, 8, 8), QTime(14, 30), QTimeZone(-5 * 3600)));
        QCOMPARE(v(contacts[1].rows(pim::ENTITY_EVENT).value(1), 2), QStringLiteral("1"));
        QCOMPARE(eventDate(contacts[2], 0).toDateTime(), QDateTime(QDate(1980, 1, 1), QTime(0, 0), QTimeZone::utc()));
        QCOMPARE(eventDate(contacts[3], 0), QVariant(QStringLiteral("--03-15")));
        // Text that is no date is kept as text; an empty date makes no event.
        QCOMPARE(contacts[4].rows(pim::ENTITY_EVENT).size(), 1);
        QCOMPARE(eventDate(contacts[4], 0), QVariant(QStringLiteral("circa 1800")));

        QByteArray written;
        for (const pim::_Contact& c : contacts)
            written += VCardExport::cardFor(c).serialize();
        QVERIFY(!written.contains("BDAY:\r\n"));
        for (const char* line :
             {"BDAY:1980-01-01\r\n", "X-EVENT;TYPE=anniversary:2005-06-11\r\n", "BDAY:--02-03\r\n",
              "X-EVENT;TYPE=anniversary:2009-08-08T14:30:00-05:00\r\n", "BDAY:--03-15\r\n", "BDAY:circa 1800\r\n"})
            QVERIFY2(written.contains(line), line);
        // An event without a date writes nothing.
        pim::_Contact empty = fixtures::named(QStringLiteral("No"), QStringLiteral("Date"));
        fixtures::addRow(empty, pim::ENTITY_EVENT, {{1, QDateTime()}, {2, 3}});
        fixtures::addRow(empty, pim::ENTITY_EVENT, {{2, 1}});
        QVERIFY(!VCardExport::cardFor(empty).serialize().contains("BDAY"));
        QVERIFY(!VCardExport::cardFor(empty).serialize().contains("X-EVENT"));
    }

    void brokenPhotoKeepsItsBytesAndTheRest()
    {
        QByteArray photo;
        for (int i = 0; i < 3; ++i)
            for (int b = 0; b < 256; ++b)
                photo.append(char(b));
        int skipped = -1;
        const auto contacts = importVCard("broken-photo.vcf", &skipped);
        QCOMPARE(contacts.size(), 2);
        QCOMPARE(skipped, 0);
        QCOMPARE(fixtures::photoOf(contacts[0]), photo);
        QCOMPARE(rowsOf(contacts[0], pim::ENTITY_PHONE), QStringLiteral("3 data1=+1 555 0401|3 data2=2"));
        QCOMPARE(fixtures::photoOf(contacts[1]), photo.left(75)); // a last character alone makes no byte
        QCOMPARE(rowsOf(contacts[1], pim::ENTITY_EMAIL), QStringLiteral("4 data1=nora@example.com|4 data2=1"));
    }

    void badHeaderLinesAreSkippedAndCounted()
    {
        int skipped = -1;
        const auto contacts = importVCard("bad-header.vcf", &skipped);
        QCOMPARE(skipped, 3);
        QStringList names;
        for (const auto& c : contacts)
            names.append(c.fullName);
        QCOMPARE(names, QStringList({"Bo Before", "Al After", "Lu Last"}));
        QCOMPARE(rowsOf(contacts[0], pim::ENTITY_PHONE), QStringLiteral("3 data1=+1 555 0301|3 data2=2"));
        QCOMPARE(rowsOf(contacts[1], pim::ENTITY_EMAIL), QStringLiteral("4 data1=al@example.com|4 data2=1"));

        // The job says so when it ends; a file read whole ends without a word.
        testsupport::RecordingJobReport report, clean;
        ImportContactsToLocalThread job(dataFile("bad-header.vcf"), ImportVCard, &report);
        job.start();
        QVERIFY(job.wait(30000));
        QCOMPARE(report.successes(), QStringList({"Lines of the file that could not be read and were skipped: 3"}));
        QCOMPARE(job.contacts().size(), 3);
        ImportContactsToLocalThread cleanJob(dataFile("dates.vcf"), ImportVCard, &clean);
        cleanJob.start();
        QVERIFY(cleanJob.wait(30000));
        QCOMPARE(clean.successes(), QStringList({QString()}));
    }

    void nameFromFormattedNameWhenNIsMissing()
    {
        const auto contacts = importVCard("fn-only.vcf");
        QCOMPARE(contacts.size(), 4);
        QCOMPARE(rowsOf(contacts[0], pim::ENTITY_NAME),
                 QStringLiteral("1 data1=Frances Example-Smith|1 data2=Frances|1 data3=Example-Smith"));
        QCOMPARE(contacts[0].fullName, QStringLiteral("Frances Example-Smith"));
        QCOMPARE(rowsOf(contacts[0], pim::ENTITY_PHONE), QStringLiteral("3 data1=+1-555-010-0400|3 data2=3"));
        QCOMPARE(v(contacts[0].rows(pim::ENTITY_POSTAL).value(0), 4), QStringLiteral("6544 Some Drive"));
        QCOMPARE(v(contacts[0].rows(pim::ENTITY_POSTAL).value(0), 7), QStringLiteral("Raleigh"));
        QCOMPARE(v(contacts[0].rows(pim::ENTITY_ORGANIZATION).value(0), 1), QStringLiteral("Example Widgets Inc."));
        QCOMPARE(rowsOf(contacts[1], pim::ENTITY_NAME), QStringLiteral("1 data1=Mononym|1 data2=Mononym"));
        QCOMPARE(rowsOf(contacts[2], pim::ENTITY_NAME),
                 QStringLiteral("1 data1=Mary Ann van Dyke|1 data2=Mary Ann van|1 data3=Dyke"));
        // Neither N nor FN: no name, so the import job leaves it out.
        QVERIFY(contacts[3].fullName.isEmpty());
        QCOMPARE(contacts[3].rows(pim::ENTITY_NAME).size(), 0);
    }

    void lineEndsOfEveryKind()
    {
        const auto contacts = importVCard("cr-only.vcf");
        QCOMPARE(contacts.size(), 2);
        QCOMPARE(contacts[0].fullName, QStringLiteral("Cora Carriage"));
        QCOMPARE(rowsOf(contacts[0], pim::ENTITY_EMAIL), QStringLiteral("4 data1=cora@example.org|4 data2=1"));
        QCOMPARE(rowsOf(contacts[0], pim::ENTITY_PHONE), QStringLiteral("3 data1=555 0501|3 data2=3"));
        QCOMPARE(contacts[1].fullName, QStringLiteral("Rex Return"));

        // CR, LF and CR LF mixed in one file, blank lines between the cards.
        int skipped = -1;
        const auto mixed = VCardParser::parse("BEGIN:VCARD\rN:A;B\nTEL:1\r\n 2\rEND:VCARD\r\n\r\n\n\r"
                                              "BEGIN:VCARD\nN:C;D\r\nEMAIL:x@\n y.z\rEND:VCARD",
                                              &skipped);
        QCOMPARE(skipped, 0);
        QCOMPARE(mixed.size(), 2);
        QCOMPARE(mixed[0].value(1).value, QByteArray("12"));
        QCOMPARE(mixed[1].value(1).value, QByteArray("x@y.z"));
    }

    void outlookColumnsOfEveryKind()
    {
        const auto contacts = fixtures::importAll<CSVImport>(dataFile("outlook.csv"));
        QCOMPARE(contacts.size(), 1);
        const pim::_Contact& c = contacts[0];
        QCOMPARE(c.fullName, QStringLiteral("Ms. Olivia Outlook"));
        // Second numbers are rows of their own.
        QCOMPARE(rowsOf(c, pim::ENTITY_PHONE),
                 QStringLiteral("3 data1=+1 206 555 0103|3 data2=1|3 data1=+1 206 555 0104|3 data2=1|"
                                "3 data1=+1 425 555 0102|3 data2=17|3 data1=+1 206 555 0105|3 data2=2|"
                                "3 data1=+1 425 555 0101|3 data2=3|3 data1=+1 425 555 0100|3 data2=4"));
        QCOMPARE(rowsOf(c, pim::ENTITY_POSTAL),
                 QStringLiteral("12 data1=2 Home Lane\nSeattle, WA 98101\nUnited States|12 data10=United States|"
                                "12 data2=1|12 data4=2 Home Lane|12 data7=Seattle|12 data8=WA|12 data9=98101|"
                                "12 data1=1 Business Way\nRedmond, WA 98052\nUnited States|"
                                "12 data10=United States|12 data2=2|12 data4=1 Business Way|12 data7=Redmond|"
                                "12 data8=WA|12 data9=98052"));
        QCOMPARE(rowsOf(c, pim::ENTITY_EMAIL),
                 QStringLiteral("4 data1=olivia@example.com|4 data2=1|4 data1=olivia.work@example.com|4 data2=2"));
        QCOMPARE(v(c.rows(pim::ENTITY_NOTE).value(0), 1), QStringLiteral("Line one\nline \"two\", with a comma"));
        QCOMPARE(rowsOf(c, pim::ENTITY_ORGANIZATION),
                 QStringLiteral("10 data1=Contoso|10 data4=Manager|10 data5=Sales"));
    }

    void cutAtAnyByteKeepsEveryCardBeforeTheCut()
    {
        QByteArray sample;
        for (const char* name : {"folded-3.0.vcf", "grouped.vcf", "parameters.vcf", "dates.vcf", "broken-photo.vcf",
                                 "bad-header.vcf", "fn-only.vcf", "cr-only.vcf"})
            sample += fixtures::readBytes(dataFile(name));
        const auto whole = VCardParser::parse(sample);
        QCOMPARE(whole.size(), 19);
        QList<qsizetype> ends; // where each card's END line has ended
        for (qsizetype at = sample.indexOf("\nEND:"); at >= 0; at = sample.indexOf("\nEND:", at + 1))
            ends.append(sample.indexOf('\n', at + 1) + 1);
        for (qsizetype at = sample.indexOf("\rEND:VCARD\r"); at >= 0; at = sample.indexOf("\rEND:VCARD\r", at + 1))
            ends.append(at + 12);
        std::sort(ends.begin(), ends.end());
        QCOMPARE(ends.size(), whole.size());
        for (qsizetype len = 0; len <= sample.size(); ++len) {
            const auto cut = VCardParser::parse(sample.left(len));
            const qsizetype complete = std::upper_bound(ends.begin(), ends.end(), len) - ends.begin();
            QVERIFY(cut.size() >= complete && cut.size() <= whole.size());
            for (qsizetype i = 0; i < complete; ++i)
                QVERIFY2(cut[i].serialize() == whole[i].serialize(), qPrintable(QString::number(len)));
        }
    }

    void noiseAndInvalidCharsetsNeverStopTheImport()
    {
        // Bytes that are no UTF-8 under a UTF-8 label, a charset that does not exist, control bytes.
        static const char bytes[]
            = "BEGIN:VCARD\r\nN;CHARSET=UTF-8:M\xFCller;\xC3\r\nNOTE;CHARSET=X-NONE:caf\xE9\x01\x00x\r\n"
              "END:VCARD\r\nBEGIN:VCARD\r\nN:Next;Ned\r\nEND:VCARD\r\n";
        const auto odd = fixtures::importBytes<VCardImport>(QByteArray(bytes, sizeof bytes - 1));
        QCOMPARE(odd.size(), 2);
        QVERIFY(odd[0].fullName.endsWith(QLatin1String("ller"))); // the bad bytes become U+FFFD
        QCOMPARE(v(odd[0].rows(pim::ENTITY_NOTE).value(0), 1).left(4), QString::fromUtf8("café"));
        QCOMPARE(odd[1].fullName, QStringLiteral("Ned Next"));

        QByteArray sample = fixtures::readBytes(dataFile("folded-3.0.vcf"))
            + fixtures::readBytes(dataFile("grouped.vcf")) + fixtures::readBytes(dataFile("bad-header.vcf"));
        QRandomGenerator rng(25);
        const char special[] = {'\r', '\n', ':', ';', '=', '"', '\\', ' ', '.', ','};
        for (int round = 0; round < 2000; ++round) {
            QByteArray noisy = sample;
            for (int k = 0; k < 6; ++k) {
                const char c = rng.bounded(2) ? special[rng.bounded(int(sizeof special))] : char(rng.bounded(256));
                noisy[int(rng.bounded(noisy.size()))] = c;
            }
            int skipped = -1;
            const auto cards = VCardParser::parse(noisy, &skipped);
            QVERIFY(cards.size() <= 6 && skipped >= 0);
            for (const VCardCard& card : cards)
                VCardImport::contactFromCard(card);
        }
    }

    void hundredThousandCardsWithBadLines()
    {
        QByteArray many;
        many.reserve(100000 * 48);
        for (int i = 0; i < 100000; ++i) {
            many += "BEGIN:VCARD\r\nN:F" + QByteArray::number(i) + ";G\r\nTEL:" + QByteArray::number(i) + "\r\n";
            if (i % 1000 == 0)
                many += "X-BAD;:x\r\n";
            many += "END:VCARD\r\n";
        }
        testsupport::RecordingJobReport report;
        ImportContactsToLocalThread job(fixtures::writeFile(QStringLiteral("many.vcf"), many), ImportVCard, &report);
        job.start();
        QVERIFY(job.wait(60000));
        QCOMPARE(job.contacts().size(), 100000);
        QCOMPARE(job.contacts().last().fullName, QStringLiteral("G F99999"));
        QCOMPARE(report.successes(), QStringList({"Lines of the file that could not be read and were skipped: 100"}));
    }
};

QTEST_GUILESS_MAIN(TestContactFiles)
#include "test_contact_files.moc"
