#include "shell/core/fileutils.h"
#include "testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <stdexcept>

namespace {

void writeFile(const QString& path, const QByteArray& bytes = "x")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A device that hands out its data and then fails, as a disk read can.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(QByteArray data)
        : m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }

protected:
    qint64 readData(char* out, qint64 max) override
    {
        setErrorString(QStringLiteral("disk gone"));
        const qint64 n = qMin(max, qint64(m_data.size()));
        memcpy(out, m_data.constData(), size_t(n));
        m_data.remove(0, n);
        return n > 0 ? n : -1;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
};

} // namespace

class TestFileUtils : public QObject {
    Q_OBJECT

private:
    QString m_dir;

private Q_SLOTS:
    void initTestCase() { m_dir = testsupport::makeTempDir(QStringLiteral("fileutils")); }

    void csvRoundTripKeepsEveryField()
    {
        const QList<QStringList> rows = {
            {QStringLiteral("name"), QStringLiteral("note"), QString()},
            {QStringLiteral("O\"Brien, \"Pat\""), QStringLiteral("line1\r\nline2\nline3\rend"), QStringLiteral(",")},
            {QStringLiteral("Zoë 张伟 😀"), QStringLiteral("\"\""), QStringLiteral(" spaced ")},
            {QString(), QString(), QString()},
        };
        QByteArray bytes("\xEF\xBB\xBF");
        for (const QStringList& row : rows) {
            QStringList fields;
            for (const QString& f : row)
                fields << csvQuote(f);
            bytes += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
        }
        QBuffer buf(&bytes);
        QVERIFY(buf.open(QIODevice::ReadOnly));
        QList<QStringList> back;
        bool atStart = true;
        for (;;) {
            QStringList row;
            if (!readCsvRow(&row, &buf, atStart))
                break;
            atStart = false;
            back << row;
        }
        QCOMPARE(back, rows);
    }

    void readCsvRowFollowsTheQuotingRules_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<bool>("ended");
        QTest::newRow("row with line feed") << QByteArray("a,b\nc") << false << QStringList {"a", "b"} << true;
        QTest::newRow("last row, no line feed") << QByteArray("a,b") << false << QStringList {"a", "b"} << false;
        QTest::newRow("empty device at start") << QByteArray() << true << QStringList {} << false;
        QTest::newRow("only the mark") << QByteArray("\xEF\xBB\xBF") << true << QStringList {""} << false;
        QTest::newRow("doubled quotes, CR LF inside")
            << QByteArray("\"x,\"\"y\r\n\"\"\"\nz") << false << QStringList {"x,\"y\r\n\""} << true;
        QTest::newRow("bare CR dropped") << QByteArray("a\rb,c\r\n") << false << QStringList {"ab", "c"} << true;
        QTest::newRow("zero byte ends the field")
            << QByteArray("ab\0cd,e\n", 8) << false << QStringList {"ab", "e"} << true;
    }
    void readCsvRowFollowsTheQuotingRules()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, atStart);
        QBuffer buf(&bytes);
        QVERIFY(buf.open(QIODevice::ReadOnly));
        QStringList row;
        QTEST(readCsvRow(&row, &buf, atStart), "ended");
        QTEST(row, "row");
    }

    void readCsvRowLooksForTheMarkWithoutLosingBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("first row of one byte") << QByteArray("A\nBC,D\n") << QList<QStringList> {{"A"}, {"BC", "D"}};
        QTest::newRow("blank first line")
            << QByteArray("\nName,Phone\nAnn,1\n") << QList<QStringList> {{""}, {"Name", "Phone"}, {"Ann", "1"}};
        QTest::newRow("two bytes, no line feed") << QByteArray("ab") << QList<QStringList> {{"ab"}};
        QTest::newRow("mark, then a short row") << QByteArray("\xEF\xBB\xBF"
                                                              "A\nB\n")
                                                << QList<QStringList> {{"A"}, {"B"}};
        QTest::newRow("a second mark is data")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx,\xEF\xBB\xBFy\n")
            << QList<QStringList> {{QStringLiteral("\uFEFFx"), QStringLiteral("\uFEFFy")}};
    }
    void readCsvRowLooksForTheMarkWithoutLosingBytes()
    {
        QFETCH(QByteArray, bytes);
        QBuffer buf(&bytes);
        QVERIFY(buf.open(QIODevice::ReadOnly));
        QList<QStringList> rows;
        for (bool more = true; more && !buf.atEnd();) {
            QStringList row;
            more = readCsvRow(&row, &buf, rows.isEmpty());
            rows << row;
        }
        QTEST(rows, "rows");
    }

    void readCsvRowThrowsOnReadErrorKeepingTheFieldsRead()
    {
        FailingDevice dev("a,b");
        QStringList row;
        try {
            readCsvRow(&row, &dev, true);
            QFAIL("no exception");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("utf8CSVRow::error:disk gone"));
        }
        QCOMPARE(row, QStringList {"a"});
    }

    void uniqueFilePathNumbersTakenNames()
    {
        const QString report = m_dir + QStringLiteral("/report.txt");
        QCOMPARE(uniqueFilePath(report), report);
        writeFile(report);
        QCOMPARE(uniqueFilePath(report), m_dir + QStringLiteral("/report(1).txt"));
        writeFile(m_dir + QStringLiteral("/a.tar.gz"));
        QCOMPARE(uniqueFilePath(m_dir + QStringLiteral("/a.tar.gz")), m_dir + QStringLiteral("/a(1).gz"));
        // A dangling link is taken: writing there would create its target.
        const QString link = m_dir + QStringLiteral("/dangling.txt");
        QVERIFY(QFile::link(m_dir + QStringLiteral("/nowhere/x"), link));
        QCOMPARE(uniqueFilePath(link), m_dir + QStringLiteral("/dangling(1).txt"));
    }

    void sanitizeFileNameGivesOneSafeName_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        const QList<std::pair<const char*, QString>> rows = {
            {"con.txt", "$$con$$.txt"},
            {"CON", "$$CON$$"},
            {"nul.tar.gz", "$$nul$$.gz"},
            {"com1./x", "$$com1$$.x"},
            {"LPT2.txt", "LPT2.txt"},
            {"a\\/:*?\"<>|\n\r\tb", "ab"},
            {" name ", "name"},
            {"../../etc/passwd", "....etcpasswd"},
            {".", ""},
            {"..", ""},
            {"...", ""},
            {"./.", ""},
            {" .. ", ""},
            {".profile", ".profile"},
            {"", ""},
            {"Zoë/张", QStringLiteral("Zoë张")},
        };
        for (const auto& [in, out] : rows)
            QTest::newRow(*in ? in : "empty") << QString::fromUtf8(in) << out;
    }
    void sanitizeFileNameGivesOneSafeName()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(sanitizeFileName(in), out);
    }

    void removeDirRemovesHiddenEntriesAndNeverFollowsLinks()
    {
        const QString outside = m_dir + QStringLiteral("/outside");
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/keep")));
        writeFile(outside + QStringLiteral("/precious.txt"));

        const QString tree = m_dir + QStringLiteral("/backup");
        QVERIFY(QDir().mkpath(tree + QStringLiteral("/sub/.hiddendir")));
        writeFile(tree + QStringLiteral("/.hidden"));
        writeFile(tree + QStringLiteral("/sub/contacts.db"));
        writeFile(tree + QStringLiteral("/sub/.hiddendir/x"));
        const QString readOnly = tree + QStringLiteral("/sub/readonly");
        writeFile(readOnly);
        QFile::setPermissions(readOnly, QFile::ReadOwner);
        QVERIFY(QFile::link(outside, tree + QStringLiteral("/dirlink")));
        QVERIFY(QFile::link(outside + QStringLiteral("/precious.txt"), tree + QStringLiteral("/sub/filelink")));
        QVERIFY(QFile::link(m_dir + QStringLiteral("/gone"), tree + QStringLiteral("/dangling")));

        removeDir(tree);
        QVERIFY(!QFileInfo::exists(tree));
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));
        QVERIFY(QFileInfo(outside + QStringLiteral("/keep")).isDir());

        // The folder given is itself a link: only the link goes.
        const QString topLink = m_dir + QStringLiteral("/toplink");
        QVERIFY(QFile::link(outside, topLink));
        removeDir(topLink);
        QVERIFY(!QFileInfo(topLink).isSymLink());
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));
    }

    void pathUnderKeepsNamesInsideTheirFolder_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("result"); // relative to the base; "-" for rejected
        const QList<std::pair<const char*, const char*>> rows = {
            {"a.jpg", "a.jpg"},
            {"DCIM/Camera/a.jpg", "DCIM/Camera/a.jpg"},
            {"DCIM/../a.jpg", "a.jpg"},
            {"", "-"},
            {".", "-"},
            {"..", "-"},
            {"../x", "-"},
            {"a/../../x", "-"},
            {"../base2/x", "-"},
            {"/etc/passwd", "-"},
        };
        for (const auto& [rel, result] : rows)
            QTest::newRow(*rel ? rel : "empty") << QString::fromUtf8(rel) << QString::fromUtf8(result);
    }
    void pathUnderKeepsNamesInsideTheirFolder()
    {
        QFETCH(QString, relative);
        QFETCH(QString, result);
        const QString base = m_dir + QStringLiteral("/base");
        const QString got = pathUnder(base, relative);
        if (result == QLatin1String("-"))
            QCOMPARE(got, QString());
        else
            QCOMPARE(got, base + QLatin1Char('/') + result);
    }
};

QTEST_MAIN(TestFileUtils)
#include "test_fileutils.moc"
