// Contact files in the styles that phones, desktop address books, mail
// programs and address-book exports write (tests/formats/contact_data):
// every value comes in, and what cannot be read is skipped and counted.
// Below them, the parser's own cases. Contacts with several values of a kind
// (contact_data/contacts.json) exported to vCard and CSV and imported back
// are equal in every column the format carries, and python3-vobject reads
// the vCard file.
#include "contactfixtures.h"
#include "formats/abstextexport.h"
#include "formats/csvimport.h"
#include "formats/exporttofilethread.h"
#include "formats/importcontactsthread.h"
#include "formats/vcarddate.h"
#include "formats/vcardexport.h"
#include "formats/vcardimport.h"
#include "formats/vcardlexer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimeZone>

using fixtures::dataFile;

namespace {

using Columns = QSet<std::pair<int, int>>; // (row type, column number)

// What our vCard files do not carry: custom labels, the columns that only the
// phone's own database uses, the local group id and the photo's hash.
const Columns kNotInVCard = {
    {pim::ENTITY_NAME, 7},         {pim::ENTITY_NAME, 8},         {pim::ENTITY_PHOTO, 4},
    {pim::ENTITY_PHONE, 3},        {pim::ENTITY_EMAIL, 3},        {pim::ENTITY_NICKNAME, 2},
    {pim::ENTITY_NICKNAME, 3},     {pim::ENTITY_EVENT, 3},        {pim::ENTITY_GROUP, 1},
    {pim::ENTITY_IM, 3},           {pim::ENTITY_IM, 6},           {pim::ENTITY_ORGANIZATION, 2},
    {pim::ENTITY_ORGANIZATION, 3}, {pim::ENTITY_ORGANIZATION, 6}, {pim::ENTITY_ORGANIZATION, 7},
    {pim::ENTITY_ORGANIZATION, 9}, {pim::ENTITY_RELATION, 3},     {pim::ENTITY_POSTAL, 3},
    {pim::ENTITY_WEBSITE, 3},
};

// The rows as the expected files show them, without the columns the format
// does not carry, dates as the text they are written as, sorted: CSV does not
// keep the order of rows of different labels. CSV carries what vCard does
// but no photo at all, and an address's extended part in its street.
QStringList comparable(pim::_Contact c, bool csv)
{
    if (csv)
        c.entities.remove(pim::ENTITY_PHOTO);
    for (auto it = c.entities.begin(); it != c.entities.end(); ++it)
        for (ContactDataRow& row : *it) {
            if (csv && it.key() == pim::ENTITY_POSTAL) {
                row.values.insert(QStringLiteral("data4"), pim::streetWithExtended(row.values));
                row.values.remove(QStringLiteral("data6"));
            }
            for (const auto& [type, n] : kNotInVCard)
                if (type == it.key())
                    row.values.remove(QStringLiteral("data%1").arg(n));
            if (it.key() == pim::ENTITY_EVENT)
                row.values.insert(QStringLiteral("data1"),
                                  VCardDate::toText(row.values.value(QStringLiteral("data1"))));
        }
    QStringList rows = fixtures::dump({c}).mid(1);
    rows.removeIf([](const QString& row) { return !row.contains(u'\t'); }); // no column left
    rows.sort();
    return rows;
}

// The first contacts read back from the file against the originals.
template <typename Importer>
[[nodiscard]] bool compareBack(const QString& path, const QList<pim::_Contact>& original, int first,
                               std::source_location at = std::source_location::current())
{
    const auto back = fixtures::importAll<Importer>(path);
    HELPER_COMPARE(back.size(), original.size());
    for (int i = 0; i < first; ++i) {
        HELPER_COMPARE(back[i].fullName, original[i].fullName);
        HELPER_COMPARE(comparable(back[i], std::is_same_v<Importer, CSVImport>),
                       comparable(original[i], std::is_same_v<Importer, CSVImport>));
    }
    return true;
}

// The contacts that the import job keeps of a CSV file.
QList<pim::_Contact> importedByJob(const QString& path)
{
    testsupport::RecordingJobReport report;
    ImportContactsToLocalThread job(path, ImportCSV, &report);
    job.start();
    if (!job.wait(testsupport::kHangGuardMs) || !report.succeeded())
        return {};
    return job.contacts();
}

// A locale variable that is not set.
constexpr const char* kUnset = "<unset>";

// The locale variables of a session while the object lives; the values
// before come back after.
class LocaleVariables {
public:
    LocaleVariables(const QByteArray& all, const QByteArray& time, const QByteArray& lang)
    {
        set("LC_ALL", all);
        set("LC_TIME", time);
        set("LANG", lang);
    }
    ~LocaleVariables()
    {
        for (const auto& [name, value] : m_before)
            put(name, value);
    }
    Q_DISABLE_COPY_MOVE(LocaleVariables)

private:
    static void put(const char* name, const QByteArray& value)
    {
        if (value == kUnset)
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    void set(const char* name, const QByteArray& value)
    {
        m_before.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray(kUnset)});
        put(name, value);
    }

    QList<std::pair<const char*, QByteArray>> m_before;
};

// The events the import job reads from the file with the locale variables
// given.
QStringList outlookDatesWith(const QString& file, const QByteArray& all, const QByteArray& time, const QByteArray& lang)
{
    const LocaleVariables session(all, time, lang);
    return fixtures::dump(importedByJob(dataFile(file))).filter(QRegularExpression(QStringLiteral("^6\t")));
}

} // namespace

class TestContactFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The parser below the level of contacts: contact_data/parse-cases.json.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("cards");
        QTest::addColumn<int>("skipped");
        const QByteArray json = testsupport::readFile(fixtures::dataFile(QStringLiteral("parse-cases.json")));
        for (const QJsonValue& c : QJsonDocument::fromJson(json).array())
            QTest::newRow(qPrintable(c[QLatin1String("name")].toString()))
                << c[QLatin1String("text")].toString().toUtf8() << c[QLatin1String("cards")].toString()
                << c[QLatin1String("skipped")].toInt();
    }

    // Each card as {NAME[K=V,...]:value|...}, values as UTF-8.
    void parse()
    {
        QFETCH(QByteArray, text);
        int skipped = -1;
        QString out;
        for (const VCardCard& card : VCardParser::parse(text, &skipped)) {
            QStringList props;
            for (const VCardProperty& p : card) {
                QStringList params;
                for (auto it = p.params.cbegin(); it != p.params.cend(); ++it)
                    params.append(it.key() + QLatin1Char('=') + it.value());
                const QString head
                    = params.isEmpty() ? p.name : QStringLiteral("%1[%2]").arg(p.name, params.join(u','));
                props.append(head + QLatin1Char(':') + QString::fromUtf8(p.value));
            }
            out += QLatin1Char('{') + props.join(u'|') + QLatin1Char('}');
        }
        QTEST(out, "cards");
        QTEST(skipped, "skipped");
    }

    // Every byte against the Base64 alphabet: its place there, else 255.
    void base64DigitValues()
    {
        const QByteArray alphabet("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
        for (int b = 0; b < 256; ++b) {
            const qsizetype at = b == 0 ? -1 : alphabet.indexOf(char(b));
            QVERIFY2(base64DigitValue(char(b)) == (at < 0 ? 255 : int(at)), qPrintable(QString::number(b)));
        }
    }

    // Each file against contact_data/expected/<file>.txt: what it protects,
    // the lines skipped, then every contact with every column of every row.
    void everyValueComesIn_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        for (const QString& name : QDir(dataFile(QStringLiteral("expected")))
                                       .entryList({QStringLiteral("*.vcf.txt"), QStringLiteral("*.csv.txt")})) {
            QStringList lines
                = QString::fromUtf8(testsupport::readFile(dataFile(QStringLiteral("expected/") + name))).split(u'\n');
            QTest::newRow(qPrintable(lines.takeFirst().mid(2))) << name.chopped(4) << lines;
        }
    }

    void everyValueComesIn()
    {
        QFETCH(QString, file);
        int skipped = -1;
        const auto contacts = file.endsWith(QLatin1String(".csv"))
            ? fixtures::importAll<CSVImport>(dataFile(file), &skipped)
            : fixtures::importAll<VCardImport>(dataFile(file), &skipped);
        QStringList got = QStringList(QStringLiteral("skipped lines: %1").arg(skipped)) + fixtures::dump(contacts);
        QTEST(got << QString(), "expected");
    }

    // vCard files read by the import job (contact_data/job/) against
    // contact_data/expected/job/<file>.txt: what they protect, the job's
    // result text, then every contact kept with every column of every row.
    void importJobKeepsEveryValue_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        const QDir dir(dataFile(QStringLiteral("expected/job")));
        for (const QString& name : dir.entryList({QStringLiteral("*.vcf.txt"), QStringLiteral("*.csv.txt")})) {
            QStringList lines = QString::fromUtf8(testsupport::readFile(dir.filePath(name))).split(u'\n');
            QTest::newRow(qPrintable(lines.takeFirst().mid(2))) << name.chopped(4) << lines;
        }
    }

    void importJobKeepsEveryValue()
    {
        QFETCH(QString, file);
        testsupport::RecordingJobReport report;
        const auto format = file.endsWith(QLatin1String(".csv")) ? ImportCSV : ImportVCard;
        ImportContactsToLocalThread job(dataFile(QStringLiteral("job/") + file), format, &report);
        job.start();
        QVERIFY(job.wait(testsupport::kHangGuardMs));
        QCOMPARE(report.successes().size(), 1);
        QStringList got(QStringLiteral("result: ") + report.successes().first().replace(u'\n', QStringLiteral(" | ")));
        QTEST(got + fixtures::dump(job.contacts()) << QString(), "expected");
    }

    // Chat addresses read from IMPP and the X- properties are written as
    // X-IM with the service as TYPE (a service without a code of its own as
    // IMPP), and read back with handle and service.
    void chatRowsAreWrittenAsXIm()
    {
        const auto read = fixtures::importAll<VCardImport>(dataFile(QStringLiteral("job/chat.vcf")));
        const QString vcf = fixtures::exportTo<VCardExport>(QStringLiteral("chat.vcf"), read);
        const QByteArray text = testsupport::readFile(vcf);
        QVERIFY(text.contains("\r\nX-IM;CHARSET=UTF-8;TYPE=skype:ann.s\r\n"));
        QVERIFY(text.contains("\r\nX-IM;CHARSET=UTF-8;TYPE=gadugadu:4242\r\n"));
        QVERIFY(text.contains("\r\nIMPP;CHARSET=UTF-8:sip:ann@example.com\r\n"));
        // Handle and service; the export writes no home or work.
        const auto chats = [](const QList<pim::_Contact>& contacts) {
            return fixtures::dump(contacts)
                .filter(QStringLiteral("8\t"))
                .replaceInStrings(QRegularExpression(QStringLiteral("\tdata2=[^\t]*")), QString());
        };
        QCOMPARE(chats(fixtures::importAll<VCardImport>(vcf)), chats(read));
    }

    // The vCard file: read back, every value the format carries comes in
    // again (the fourth contact holds two groups, of which a card brings
    // back one); python3-vobject reads the same values.
    void vcardKeepsEveryValueAndIsReadByPythonVobject()
    {
        const QList<pim::_Contact> original = fixtures::contacts();
        const QString vcf = fixtures::exportTo<VCardExport>(QStringLiteral("r.vcf"), original);
        CHECKED(compareBack<VCardImport>(vcf, original, 3));
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"), {dataFile(QStringLiteral("read-vobject.py")), vcf});
        QVERIFY(py.waitForFinished(60000));
        const QByteArray err = py.readAllStandardError();
        if (err.contains("No module named 'vobject'"))
            QSKIP("/usr/bin/python3 has no vobject");
        QVERIFY2(py.exitCode() == 0, err.constData());
        // The values as the other reader sees them, the photo's size filled in.
        QByteArray want = testsupport::readFile(dataFile(QStringLiteral("round-trip-vobject.json")));
        want.replace("PHOTO_SIZE", QByteArray::number(fixtures::photoOf(original[0]).size()));
        QCOMPARE(QJsonDocument::fromJson(py.readAllStandardOutput()).toJson(), QJsonDocument::fromJson(want).toJson());
    }

    // Further values of a kind go to numbered columns ("Tel:Mobile 2",
    // "Addr:Home 2:Street", "Company 2", "Category 2"); quoting, order and
    // the text layout's column widths are in the expected files.
    void csvAndTextKeepEveryValueInNumberedColumns()
    {
        const QList<pim::_Contact> original = fixtures::contacts();
        const QString csv = fixtures::exportTo<CSVExport>(QStringLiteral("r.csv"), original, &original);
        QCOMPARE(testsupport::readFile(csv),
                 testsupport::readFile(dataFile(QStringLiteral("expected/round-trip.csv"))));
        CHECKED(compareBack<CSVImport>(csv, original, 4));
        QCOMPARE(testsupport::readFile(fixtures::exportTo<TxtExport>(QStringLiteral("r.txt"), original, &original)),
                 testsupport::readFile(dataFile(QStringLiteral("expected/round-trip.txt"))));
    }

    // CSV files of other address books through the import job, against
    // contact_data/expected/import-job/<file>.txt.
    void csvImportJobKeepsWhatAddressBooksWrite_data()
    {
        QTest::addColumn<QString>("file");
        // The display name alone names a contact; numbered groups of phones,
        // e-mails, addresses, organisations and websites, values joined by
        // " ::: " one row each, kind words as codes or custom labels.
        QTest::newRow("Google Contacts") << QStringLiteral("google-contacts.csv");
        QTest::newRow("blank line before the header") << QStringLiteral("blank-first-line.csv");
    }

    void csvImportJobKeepsWhatAddressBooksWrite()
    {
        QFETCH(QString, file);
        const QList<pim::_Contact> contacts = importedByJob(dataFile(file));
        const QString expected = QString::fromUtf8(
            testsupport::readFile(dataFile(QStringLiteral("expected/import-job/") + file + QStringLiteral(".txt"))));
        QVERIFY(!expected.isEmpty());
        QCOMPARE(fixtures::dump(contacts), expected.split(u'\n', Qt::SkipEmptyParts));
    }

    // Through the export and import jobs every kind keeps its code, "Other"
    // (0) and codes without a word too, and dates are written as dates (the
    // time only when there is one) and come back as dates.
    void csvRoundTripKeepsKindsAndDates()
    {
        pim::_Contact c = fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"));
        fixtures::addRow(c, pim::ENTITY_PHONE, {{1, QStringLiteral("100")}, {2, 0}});
        fixtures::addRow(c, pim::ENTITY_PHONE, {{1, QStringLiteral("107")}, {2, 7}});
        fixtures::addRow(c, pim::ENTITY_EMAIL, {{1, QStringLiteral("a@example.com")}, {2, 0}});
        fixtures::addRow(c, pim::ENTITY_EVENT, {{1, QStringLiteral("--06-11")}, {2, 0}});
        fixtures::addRow(c, pim::ENTITY_EVENT,
                         {{1, QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), QTimeZone::utc())}, {2, 1}});
        fixtures::addRow(c, pim::ENTITY_EVENT, {{1, QDateTime(QDate(1980, 5, 17), QTime(0, 0))}, {2, 3}});
        fixtures::addRow(c, pim::ENTITY_IM, {{1, QStringLiteral("ann")}, {2, 1}, {5, -1}});
        fixtures::addRow(c, pim::ENTITY_RELATION, {{1, QStringLiteral("Bo")}, {2, 0}});
        fixtures::addRow(c, pim::ENTITY_POSTAL, {{4, QStringLiteral("1 Way")}, {7, QStringLiteral("Town")}, {2, 3}});
        fixtures::addRow(c, pim::ENTITY_WEBSITE, {{1, QStringLiteral("https://ann.example")}, {2, 7}});
        c.entities[pim::ENTITY_POSTAL][0].values.insert(QStringLiteral("data1"),
                                                        pim::formatAddress(c.rows(pim::ENTITY_POSTAL)[0].values));

        const QString path = testsupport::makeTempDir(QStringLiteral("out")) + QStringLiteral("/kinds.csv");
        testsupport::RecordingJobReport exported;
        ExportToFileThread job({c}, ExportCSV, path, &exported);
        job.start();
        QVERIFY(job.wait(testsupport::kHangGuardMs));
        QVERIFY2(exported.succeeded(), qPrintable(exported.errors().join(u'\n')));
        QCOMPARE(testsupport::readFile(path),
                 testsupport::readFile(dataFile(QStringLiteral("expected/kinds-and-dates.csv"))));

        const QList<pim::_Contact> back = importedByJob(path);
        QCOMPARE(back.size(), 1);
        QCOMPARE(fixtures::dump(back), fixtures::dump({c}));
        for (const ContactDataRow& row : back[0].rows(pim::ENTITY_EVENT).mid(1))
            QCOMPARE(row.values.value(QStringLiteral("data1")).typeId(), QMetaType::QDateTime);
    }

    // Outlook dates that fit either order ("05/11/2001") are read in the
    // order this PC writes its short dates; "0/0/00" is no event either way.
    // A file whose dates tell the order is read by it
    // (contact_data/job/outlook-day-first.csv).
    void outlookDatesFollowThePcWhenTheFileCannotTell()
    {
        const QString file = QStringLiteral("outlook-either-order.csv");
        QCOMPARE(outlookDatesWith(file, kUnset, "en_GB.UTF-8", "C.UTF-8"),
                 QStringList({"6\tdata1=1975-04-03T00:00:00.000\tdata2=1", "6\tdata1=2001-11-05T00:00:00.000\tdata2=3",
                              "6\tdata1=2012-12-12T00:00:00.000\tdata2=1"}));
        QCOMPARE(outlookDatesWith(file, kUnset, "en_US.UTF-8", "C.UTF-8"),
                 QStringList({"6\tdata1=1975-03-04T00:00:00.000\tdata2=1", "6\tdata1=2001-05-11T00:00:00.000\tdata2=3",
                              "6\tdata1=2012-12-12T00:00:00.000\tdata2=1"}));
    }

    // Outlook dates written with dots or dashes ("05.11.2001", "3-4-1975")
    // follow the same order: that of the locale the PC writes dates in
    // (LC_ALL, else LC_TIME, else LANG), whatever language it speaks; month
    // first when it names none (C, POSIX, nothing set, a name not known). A
    // date that is a day in neither order ("45.05.1980") tells nothing and
    // stays text; zeros in any form are no event.
    // (contact_data/job/outlook-dots.csv: a file that tells.)
    void outlookDatesWithDotsOrDashesFollowThePcWhenTheFileCannotTell_data()
    {
        QTest::addColumn<QByteArray>("all");
        QTest::addColumn<QByteArray>("time");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<bool>("dayFirst");
        QTest::newRow("dates in German, English language")
            << QByteArray(kUnset) << QByteArray("de_DE.UTF-8") << QByteArray("C.UTF-8") << true;
        QTest::newRow("dates in US English, German language")
            << QByteArray(kUnset) << QByteArray("en_US.UTF-8") << QByteArray("de_DE.UTF-8") << false;
        QTest::newRow("LC_ALL over both, day first")
            << QByteArray("de_DE.UTF-8") << QByteArray("en_US.UTF-8") << QByteArray("en_US.UTF-8") << true;
        QTest::newRow("LC_ALL over both, month first")
            << QByteArray("en_US") << QByteArray("de_DE.UTF-8") << QByteArray("de_DE.UTF-8") << false;
        QTest::newRow("an empty LC_ALL is none")
            << QByteArray("") << QByteArray("de_DE.UTF-8") << QByteArray("en_US.UTF-8") << true;
        QTest::newRow("LANG alone, with a modifier")
            << QByteArray(kUnset) << QByteArray(kUnset) << QByteArray("de_DE.UTF-8@euro") << true;
        QTest::newRow("the C locale") << QByteArray("C.UTF-8") << QByteArray("de_DE.UTF-8") << QByteArray("de_DE.UTF-8")
                                      << false;
        QTest::newRow("POSIX") << QByteArray(kUnset) << QByteArray("POSIX") << QByteArray("de_DE.UTF-8") << false;
        QTest::newRow("nothing set") << QByteArray(kUnset) << QByteArray(kUnset) << QByteArray(kUnset) << false;
        QTest::newRow("a locale not known")
            << QByteArray(kUnset) << QByteArray("zz_ZZ.UTF-8") << QByteArray("de_DE.UTF-8") << false;
    }

    void outlookDatesWithDotsOrDashesFollowThePcWhenTheFileCannotTell()
    {
        QFETCH(QByteArray, all);
        QFETCH(QByteArray, time);
        QFETCH(QByteArray, lang);
        QFETCH(bool, dayFirst);
        const QStringList expected = dayFirst
            ? QStringList({"6\tdata1=45.05.1980\tdata2=1", "6\tdata1=2001-11-05T00:00:00.000\tdata2=3",
                           "6\tdata1=1975-04-03T00:00:00.000\tdata2=3", "6\tdata1=2012-12-12T00:00:00.000\tdata2=1"})
            : QStringList({"6\tdata1=45.05.1980\tdata2=1", "6\tdata1=2001-05-11T00:00:00.000\tdata2=3",
                           "6\tdata1=1975-03-04T00:00:00.000\tdata2=3", "6\tdata1=2012-12-12T00:00:00.000\tdata2=1"});
        QCOMPARE(outlookDatesWith(QStringLiteral("outlook-either-order-dots.csv"), all, time, lang), expected);
    }

    // Dates are written in the form they were read in; an event without a
    // date writes nothing, never an empty BDAY.
    void datesAreWrittenAsRead()
    {
        QList<pim::_Contact> contacts = fixtures::importAll<VCardImport>(dataFile(QStringLiteral("dates.vcf")));
        fixtures::addRow(contacts[0], pim::ENTITY_EVENT, {{1, QDateTime()}, {2, 3}});
        fixtures::addRow(contacts[0], pim::ENTITY_EVENT, {{2, 1}});
        QCOMPARE(testsupport::readFile(fixtures::exportTo<VCardExport>(QStringLiteral("dates.vcf"), contacts)),
                 testsupport::readFile(dataFile(QStringLiteral("expected/dates-written.vcf"))));
    }

    void cutAtAnyByteKeepsEveryCardBeforeTheCut()
    {
        QByteArray sample;
        for (const QString& name : QDir(dataFile(QString())).entryList({QStringLiteral("*.vcf")}, QDir::Files))
            sample += testsupport::readFile(dataFile(name));
        const auto whole = VCardParser::parse(sample);
        QCOMPARE(whole.size(), 33);
        QList<qsizetype> ends; // where each card's END line has ended
        auto end
            = QRegularExpression(QStringLiteral("END:VCARD(\r\n|\r|\n)"), QRegularExpression::CaseInsensitiveOption)
                  .globalMatch(QString::fromLatin1(sample));
        while (end.hasNext())
            ends.append(end.next().capturedEnd());
        QCOMPARE(ends.size(), whole.size());
        for (qsizetype len = 0; len <= sample.size(); ++len) {
            const auto cut = VCardParser::parse(sample.left(len));
            const qsizetype complete = std::upper_bound(ends.begin(), ends.end(), len) - ends.begin();
            QVERIFY(cut.size() >= complete && cut.size() <= whole.size());
            for (qsizetype i = 0; i < complete; ++i)
                QVERIFY2(cut[i].serialize() == whole[i].serialize(), qPrintable(QString::number(len)));
        }
    }

    // A 50 MB photo whole, the card after it kept; 100,000 cards with a bad
    // line every 1,000 through the job, which reports the count. (How fast
    // is the vCard benchmark's.)
    void largeFilesImportWhole()
    {
        QByteArray photo(50 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < photo.size(); i += 4096)
            photo[i] = char(i / 4096);
        QElapsedTimer timer;
        timer.start();
        const auto big = fixtures::importAll<VCardImport>(
            fixtures::writeFile(QStringLiteral("big.vcf"),
                                "BEGIN:VCARD\r\nN:Big;Pic\r\nPHOTO;ENCODING=B:" + base64Lines(photo, 75)
                                    + "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Next;One\r\nEND:VCARD\r\n"));
        QCOMPARE(big.size(), 2);
        QVERIFY(fixtures::photoOf(big[0]) == photo);
        QCOMPARE(big[1].fullName, QStringLiteral("One Next"));
        // A hang guard; how fast is the vCard benchmark's.
        QVERIFY2(timer.elapsed() < testsupport::kHangGuardMs, qPrintable(QString::number(timer.elapsed())));

        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "BEGIN:VCARD\r\nN:F" + QByteArray::number(i) + ";G\r\nTEL:" + QByteArray::number(i) + "\r\n"
                + (i % 1000 == 0 ? "X-BAD;:x\r\n" : "") + "END:VCARD\r\n";
        testsupport::RecordingJobReport report;
        ImportContactsToLocalThread job(fixtures::writeFile(QStringLiteral("many.vcf"), many), ImportVCard, &report);
        job.start();
        QVERIFY(job.wait(testsupport::kHangGuardMs));
        QCOMPARE(job.contacts().size(), 100000);
        QCOMPARE(job.contacts().last().fullName, QStringLiteral("G F99999"));
        QCOMPARE(report.successes(), QStringList({"Lines of the file that could not be read and were skipped: 100"}));
    }

    // Each card is looked through for its version before its lines are read:
    // 200,000 cards begun with a blank inside the word, none ended, none
    // with a version, each read once. (How fast is the vCard benchmark's.)
    void manyCardsWithoutVersionOrEndReadOnce()
    {
        QByteArray text;
        for (int i = 0; i < 200000; ++i)
            text += "B EGIN:VCARD\r\nNOTE:a\r\n b\r\n";
        QElapsedTimer timer;
        timer.start();
        const auto cards = VCardParser::parse(text);
        QCOMPARE(cards.size(), 200000);
        QCOMPARE(cards.last().last().value, QByteArray("ab"));
        // A hang guard; how fast is the vCard benchmark's.
        QVERIFY2(timer.elapsed() < testsupport::kHangGuardMs, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestContactFiles)
#include "test_contact_files.moc"
