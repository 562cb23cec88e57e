// Where an export's bytes go: a pipe or a device chosen as the target is
// written into and stays what it was; a regular file is replaced only by a
// complete one; a disk that fills up ends the export with an error that
// names the reason. Through the page exports' frame (AbsFileExportThread)
// and the contact export job.
#include "contactfixtures.h"
#include "formats/absfileexportthread.h"
#include "formats/exporttofilethread.h"
#include "shell/core/translations.h"

#include <QDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using testsupport::RecordingJobReport;

namespace {

// A one-file export through the frame: numbered lines of the given length.
class LinesExport : public AbsFileExportThread {
public:
    LinesExport(const QString& path, int lines, int width, JobReport* report)
        : AbsFileExportThread(path, LineEnd::CrLf, report, nullptr)
        , m_lines(lines)
        , m_width(width)
    {
    }

    static QByteArray expected(int lines, int width)
    {
        QByteArray out;
        for (int i = 0; i < lines; ++i)
            out += QByteArray::number(i).leftJustified(width, 'x') + "\r\n";
        return out;
    }

protected:
    QString write(Stream& out) override
    {
        for (int i = 0; i < m_lines; ++i) {
            checkCanceled();
            out << QString::number(i).leftJustified(m_width, QLatin1Char('x'));
            out.endLine();
        }
        return QStringLiteral("done");
    }

private:
    int m_lines;
    int m_width;
};

bool finished(QThread& job)
{
    job.start();
    return job.wait(testsupport::kHangGuardMs);
}

bool isFifo(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool isCharDevice(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A pipe at path with a reader already waiting on it (so that opening it for
// writing neither blocks nor fails). Reads what was written once the writer
// has gone; the export stays below the pipe's buffer.
class Pipe {
public:
    explicit Pipe(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        if (::mkfifo(name.constData(), 0600) == 0)
            m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    }
    ~Pipe()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool ok() const { return m_fd >= 0; }
    QByteArray drain()
    {
        QByteArray out;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                return out;
            out.append(buf, qsizetype(n));
        }
    }

private:
    int m_fd = -1;
};

// A device node like the system's null (1, 3) or full (1, 7) device, made
// inside dir (only root may); empty when it cannot be made.
QString makeDevice(const QString& dir, const char* name, unsigned minor)
{
    const QString path = dir + QLatin1Char('/') + QLatin1String(name);
    if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, minor)) != 0)
        return QString();
    return path;
}

} // namespace

class TestExportFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }

    // A pipe chosen as the target receives the export and stays a pipe, through
    // the frame and through the contact export.
    void exportIntoAPipe_keepsThePipe()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("pipe"));
        const QString frame = dir + QStringLiteral("/frame.txt");
        {
            Pipe pipe(frame);
            QVERIFY(pipe.ok());
            RecordingJobReport report;
            LinesExport job(frame, 100, 40, &report);
            QVERIFY(finished(job));
            QCOMPARE(report.errors(), QStringList());
            QCOMPARE(report.successes(), QStringList {QStringLiteral("done")});
            QCOMPARE(pipe.drain(), LinesExport::expected(100, 40));
        }
        QVERIFY(isFifo(frame));

        const QString cards = dir + QStringLiteral("/cards.vcf");
        {
            Pipe pipe(cards);
            QVERIFY(pipe.ok());
            RecordingJobReport report;
            ExportToFileThread job(
                QList<pim::_Contact>(3, fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"))), ExportVCard,
                cards, &report);
            QVERIFY(finished(job));
            QVERIFY2(report.succeeded(), qPrintable(report.errors().join(QLatin1Char('\n'))));
            QCOMPARE(pipe.drain().count("BEGIN:VCARD"), 3);
        }
        QVERIFY(isFifo(cards));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::System | QDir::Hidden),
                 QStringList({"cards.vcf", "frame.txt"}));
    }

    // A pipe nobody reads from: a clear error at once, not a wait that no
    // cancel could end.
    void exportIntoAPipeNobodyReads_failsAtOnce()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("lonepipe"));
        const QString path = dir + QStringLiteral("/out.txt");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        RecordingJobReport report;
        LinesExport job(path, 10, 10, &report);
        QVERIFY(finished(job));
        QCOMPARE(report.successes(), QStringList());
        QCOMPARE(report.errors().size(), 1);
        QVERIFY2(report.errors().first().contains(QStringLiteral("No program reads from this pipe")),
                 qPrintable(report.errors().first()));
        QVERIFY(isFifo(path));
    }

    // Device nodes made in a temporary folder (never the system's own): the
    // null device takes the export and stays a device; the full device fails
    // it with the reason, and stays a device too.
    void exportOntoADevice_keepsTheDevice()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("devices"));
        const QString null = makeDevice(dir, "null", 3);
        const QString full = makeDevice(dir, "full", 7);
        if (null.isEmpty() || full.isEmpty())
            QSKIP("device nodes cannot be made here (not root)");
        RecordingJobReport toNull;
        LinesExport nullJob(null, 100, 40, &toNull);
        QVERIFY(finished(nullJob));
        QCOMPARE(toNull.errors(), QStringList());
        QVERIFY(toNull.succeeded());
        QVERIFY(isCharDevice(null));

        RecordingJobReport toFull;
        LinesExport fullJob(full, 100, 40, &toFull);
        QVERIFY(finished(fullJob));
        QCOMPARE(toFull.successes(), QStringList());
        QCOMPARE(toFull.errors(),
                 QStringList {QStringLiteral("write file %1 failed. No space left on device").arg(full)});
        QVERIFY(isCharDevice(full));

        RecordingJobReport cards;
        ExportToFileThread cardJob(
            QList<pim::_Contact>(3, fixtures::named(QStringLiteral("Ann"), QStringLiteral("Lee"))), ExportVCard, full,
            &cards);
        QVERIFY(finished(cardJob));
        QCOMPARE(cards.errors(), QStringList {QStringLiteral("write file error. No space left on device")});
        QVERIFY(isCharDevice(full));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::System | QDir::Hidden), QStringList({"full", "null"}));
    }

    // A disk that fills up within the export, wherever the last byte that
    // fits falls (inside the stream's buffer, inside a block larger than the
    // file's): the error names the reason, the earlier file stays and
    // nothing is left beside it.
    void fullDisk_namesTheReason_andKeepsTheEarlierFile_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("width");
        QTest::newRow("short lines, small file") << 64 << 20 << 10;
        QTest::newRow("one block over the buffer") << 4096 << 1 << 17000;
        QTest::newRow("two blocks over the buffer") << 20000 << 2 << 17000;
        QTest::newRow("many short lines") << 16 * 1024 << 3000 << 30;
    }
    void fullDisk_namesTheReason_andKeepsTheEarlierFile()
    {
        QFETCH(int, limit);
        QFETCH(int, lines);
        QFETCH(int, width);
        const QString dir = testsupport::makeTempDir(QStringLiteral("full"));
        const QString path = dir + QStringLiteral("/out.txt");
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("the earlier export\n") > 0);
        earlier.close();
        RecordingJobReport report;
        {
            testsupport::FileSizeLimit full(limit);
            QVERIFY(full.ok());
            LinesExport job(path, lines, width, &report);
            QVERIFY(finished(job));
        }
        QCOMPARE(report.successes(), QStringList());
        QCOMPARE(report.errors(), QStringList {QStringLiteral("write file %1 failed. File too large").arg(path)});
        QCOMPARE(testsupport::readFile(path), QByteArray("the earlier export\n"));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList {"out.txt"});
    }

    // The vCard export on a disk that fills up inside a card larger than the
    // file's buffer names the reason, as the other contact formats do.
    void vCardOnAFullDisk_namesTheReason()
    {
        QList<pim::_Contact> big;
        for (int i = 0; i < 4; ++i) {
            pim::_Contact c = fixtures::named(QStringLiteral("Given%1").arg(i), QStringLiteral("Family"));
            fixtures::addRow(c, pim::ENTITY_NOTE, {{1, QString(40000, QLatin1Char('n'))}});
            big.append(c);
        }
        const QString dir = testsupport::makeTempDir(QStringLiteral("fullcards"));
        const QString path = dir + QStringLiteral("/cards.vcf");
        RecordingJobReport report;
        {
            testsupport::FileSizeLimit full(50000);
            QVERIFY(full.ok());
            ExportToFileThread job(big, ExportVCard, path, &report);
            QVERIFY(finished(job));
        }
        QCOMPARE(report.successes(), QStringList());
        QCOMPARE(report.errors(), QStringList {QStringLiteral("write file error. File too large")});
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    }
};

QTEST_MAIN(TestExportFiles)
#include "test_exportfiles.moc"
