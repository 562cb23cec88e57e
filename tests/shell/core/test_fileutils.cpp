// The CSV reader and quoting, names and paths that must stay in their folder
// (cases in data/cases.json), numbered free names, and removing a folder.
#include "shell/core/fileutils.h"
#include "testsupport.h"

#include <QtTest>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// A checking helper (see CHECKED).
[[nodiscard]] bool writeFile(const QString& path, std::source_location at = std::source_location::current())
{
    QFile f(path);
    HELPER_VERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write("x");
    return true;
}

QJsonArray cases(const char* key)
{
    const QJsonDocument doc = QJsonDocument::fromJson(
        testsupport::readFile(testsupport::sourceDir() + u"/tests/shell/core/data/cases.json"_s));
    if (doc.isNull())
        qFatal("missing test data cases.json");
    return doc[QLatin1String(key)].toArray();
}

// A device that hands out its data and then fails, as a disk read can.
struct FailingDevice : QIODevice {
    QByteArray data;
    qint64 readData(char* out, qint64 max) override
    {
        setErrorString(u"disk gone"_s);
        const qint64 n = qMin(max, qint64(data.size()));
        memcpy(out, data.constData(), size_t(n));
        data.remove(0, n);
        return n > 0 ? n : -1;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
};

} // namespace

class TestFileUtils : public QObject {
    Q_OBJECT

private:
    QString m_dir;

private Q_SLOTS:
    void initTestCase() { m_dir = testsupport::makeTempDir(u"fileutils"_s); }

    void csvRoundTripKeepsEveryField()
    {
        const QList<QStringList> rows = {
            {u"name"_s, u"note"_s, QString()},
            {u"O\"Brien, \"Pat\""_s, u"line1\r\nline2\nline3\rend"_s, u","_s},
            {u"Zoë 张伟 😀"_s, u"\"\""_s, u" spaced "_s},
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
        for (QStringList row; ::readCsvRow(&row, &buf, back.isEmpty()); row.clear())
            back << row;
        QCOMPARE(back, rows);
    }

    // Rows read one after the other, the byte order mark looked for at the
    // start only (without losing the bytes of a short first row), and
    // whether the last row ended with a line feed.
    void readCsvRow_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<bool>("lastEnded");
        for (const QJsonValue& c : cases("csvRows")) {
            QList<QStringList> rows;
            for (const QJsonValue& r : c[2].toArray())
                rows << r.toVariant().toStringList();
            QTest::newRow(qPrintable(c[0].toString())) << c[1].toString().toLatin1() << rows << c[3].toBool();
        }
    }
    void readCsvRow()
    {
        QFETCH(QByteArray, bytes);
        QBuffer buf(&bytes);
        QVERIFY(buf.open(QIODevice::ReadOnly));
        QList<QStringList> rows;
        bool ended = false;
        do {
            QStringList row;
            ended = ::readCsvRow(&row, &buf, rows.isEmpty());
            rows << row;
        } while (ended && !buf.atEnd());
        QTEST(rows, "rows");
        QTEST(ended, "lastEnded");
    }

    void readCsvRowThrowsOnReadErrorKeepingTheFieldsRead()
    {
        FailingDevice dev;
        dev.data = "a,b";
        dev.open(QIODevice::ReadOnly);
        QStringList row;
        try {
            ::readCsvRow(&row, &dev, true);
            QFAIL("no exception");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), u"utf8CSVRow::error:disk gone"_s); // what the importers expect
        }
        QCOMPARE(row, QStringList {"a"});
    }

    void uniqueFilePathNumbersTakenNames()
    {
        const QString report = m_dir + u"/report.txt"_s;
        QCOMPARE(uniqueFilePath(report), report);
        CHECKED(writeFile(report));
        QCOMPARE(uniqueFilePath(report), m_dir + u"/report(1).txt"_s);
        // A dangling link is taken: writing there would create its target.
        const QString link = m_dir + u"/dangling.txt"_s;
        QVERIFY(QFile::link(m_dir + u"/nowhere/x"_s, link));
        QCOMPARE(uniqueFilePath(link), m_dir + u"/dangling(1).txt"_s);
    }

    void sanitizeFileNameGivesOneSafeName()
    {
        for (const QJsonValue& row : cases("sanitizeFileName"))
            QCOMPARE(sanitizeFileName(row[0].toString()), row[1].toString());
    }

    // Null in the data: refused.
    void pathUnderKeepsNamesInsideTheirFolder()
    {
        const QString base = m_dir + u"/base"_s;
        for (const QJsonValue& row : cases("pathUnder"))
            QCOMPARE(pathUnder(base, row[0].toString()), row[1].isNull() ? QString() : base + u'/' + row[1].toString());
    }

    void removeDirRemovesHiddenEntriesAndNeverFollowsLinks()
    {
        const QString outside = m_dir + u"/outside"_s;
        QVERIFY(QDir().mkpath(outside + u"/keep"_s));
        CHECKED(writeFile(outside + u"/precious.txt"_s));

        const QString tree = m_dir + u"/backup"_s;
        QVERIFY(QDir().mkpath(tree + u"/sub/.hiddendir"_s));
        for (const QString& f : {u"/.hidden"_s, u"/sub/contacts.db"_s, u"/sub/.hiddendir/x"_s, u"/sub/readonly"_s})
            CHECKED(writeFile(tree + f));
        QFile::setPermissions(tree + u"/sub/readonly"_s, QFile::ReadOwner);
        QVERIFY(QFile::link(outside, tree + u"/dirlink"_s));
        QVERIFY(QFile::link(outside + u"/precious.txt"_s, tree + u"/sub/filelink"_s));
        QVERIFY(QFile::link(m_dir + u"/gone"_s, tree + u"/dangling"_s));

        removeDir(tree);
        QVERIFY(!QFileInfo::exists(tree));
        QVERIFY(QFileInfo::exists(outside + u"/precious.txt"_s));
        QVERIFY(QFileInfo(outside + u"/keep"_s).isDir());

        // The folder given is itself a link: only the link goes.
        const QString topLink = m_dir + u"/toplink"_s;
        QVERIFY(QFile::link(outside, topLink));
        removeDir(topLink);
        QVERIFY(!QFileInfo(topLink).isSymLink());
        QVERIFY(QFileInfo::exists(outside + u"/precious.txt"_s));
    }
};

QTEST_MAIN(TestFileUtils)
#include "test_fileutils.moc"
