// The attachment extraction job on its own: names cleaned, numbered and kept
// inside the new folder, file times from the messages, a folder of its own
// even when the name is taken, cancel removing only what the run made, and
// failures reported with what was and was not copied.
#include "views/messages/attachmentextractthread.h"

#include "message_testdata.h"
#include "messagefixtures.h"
#include "shell/core/translations.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QtTest>

using messagefixtures::kBase;

namespace {

void runExtract(const MsgMessageList& list, const QString& target, testsupport::RecordingJobReport& report,
                QString* used = nullptr)
{
    AttachmentExtractThread job(&report, list, target);
    job.start();
    QVERIFY(job.wait(30000));
    if (used)
        *used = job.targetDir();
}

// Every file below the folder, relative to it.
QStringList filesBelow(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}

// Cancels while the given message (1-based) is being announced.
class CancelAtMessage : public testsupport::RecordingJobReport {
public:
    explicit CancelAtMessage(int message)
        : m_at(message)
    {
    }
    void postUpdateProgress(const QString& status, int progress, const QString& text) override
    {
        RecordingJobReport::postUpdateProgress(status, progress, text);
        if (++m_seen == m_at)
            cancel();
    }

private:
    int m_at;
    std::atomic<int> m_seen {0};
};

} // namespace

class TestAttachmentExtract : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        installTranslations(qApp);
        m_files = testsupport::makeTempDir(QStringLiteral("files"));
    }

    void extract_namesNumberedCleanedAndInside_timesFromMessages()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930111"));
        auto* chat = s.chat(h->id, {h}, kBase + 7200);
        auto* first = s.message(chat, h, false, QStringLiteral("pictures"), kBase);
        auto* second = s.message(chat, nullptr, true, QString(), kBase + 3600);
        auto* third = s.message(chat, h, false, QStringLiteral("no attachments"), kBase + 7200);
        auto add = [&](_MsgMessage* m, const QString& recorded, const QByteArray& bytes) {
            static int n = 0;
            const QString path = writeFile(m_files + QStringLiteral("/src%1.bin").arg(++n), bytes);
            s.attach(m, QStringLiteral("application/octet-stream"), path)->filename = recorded;
        };
        add(first, QStringLiteral("~/Library/SMS/Attachments/ab/IMG_0001.jpg"), "one");
        add(first, QStringLiteral("~/Library/SMS/Attachments/cd/IMG_0001.jpg"), "two");
        add(first, QStringLiteral("a.b.jpg"), "ab1");
        add(first, QStringLiteral("/x/a.b.jpg"), "ab2");
        add(first, QStringLiteral("what:is?this.txt"), "colon");
        add(second, QStringLiteral("~/Library/IMG_0001.jpg"), "three");
        add(second, QStringLiteral("../../../evil.sh"), "up");
        add(second, QStringLiteral(".."), "dots");
        add(second, QString(), "empty");
        add(second, QStringLiteral("..\\..\\win.txt"), "backslashes");
        add(second, QStringLiteral("CON.txt"), "device");
        add(second, QStringLiteral(".hidden"), "hidden");
        s.attach(second, QStringLiteral("image/jpeg"), m_files + QStringLiteral("/missing.jpg"));

        const QString parent = testsupport::makeTempDir(QStringLiteral("out"));
        const QString target = parent + QStringLiteral("/attachments(20240101-120000)");
        testsupport::RecordingJobReport report;
        QString used;
        runExtract(s.list(), target, report, &used);
        QCOMPARE(used, target);
        QCOMPARE(report.successes(),
                 QStringList {QStringLiteral("Successfully extacted 12 MMS attachment to %1.").arg(target)});
        QList<int> percents;
        for (const auto& p : report.progress())
            percents << p.percent;
        QCOMPARE(percents, (QList<int> {33, 66, 100}));
        QCOMPARE(report.progress().first().status, QStringLiteral("Extracting Messages attachment now.Please wait..."));

        QCOMPARE(filesBelow(target),
                 QStringLiteral("$$CON$$.txt|IMG_0001(1).jpg|IMG_0001(2).jpg|IMG_0001.jpg|a(1).jpg|a.b.jpg|attachment|"
                                "attachment(1)|attachment....win.txt|attachment.hidden|evil.sh|whatisthis.txt")
                     .split(u'|'));
        QCOMPARE(readAll(target + QStringLiteral("/IMG_0001(1).jpg")), QByteArray("two"));
        QCOMPARE(readAll(target + QStringLiteral("/IMG_0001(2).jpg")), QByteArray("three"));
        QCOMPARE(readAll(target + QStringLiteral("/a(1).jpg")), QByteArray("ab2"));
        // Nothing left the folder.
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList {QStringLiteral("attachments(20240101-120000)")});
        // Each copy carries its message's date.
        QCOMPARE(QFileInfo(target + QStringLiteral("/IMG_0001.jpg")).lastModified().toSecsSinceEpoch(),
                 qint64(kBase) + kIosEpochOffset);
        QCOMPARE(QFileInfo(target + QStringLiteral("/evil.sh")).lastModified().toSecsSinceEpoch(),
                 qint64(kBase) + 3600 + kIosEpochOffset);
        Q_UNUSED(third);

        // No messages: the folder is made and nothing is copied.
        testsupport::RecordingJobReport empty;
        runExtract({}, parent + QStringLiteral("/none"), empty);
        QCOMPARE(empty.successes(),
                 QStringList {QStringLiteral("Successfully extacted 0 MMS attachment to %1/none.").arg(parent)});
        QVERIFY(QFileInfo(parent + QStringLiteral("/none")).isDir());
    }

    // A folder that exists already is never written into or removed: the
    // run takes a numbered one, and a cancel removes only that.
    void takenFolder_getsANumberedOne_cancelRemovesOnlyWhatTheRunMade()
    {
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930222"));
        auto* chat = s.chat(h->id, {h}, kBase);
        for (int i = 0; i < 3; ++i) {
            auto* m = s.message(chat, h, false, QString(), kBase + i);
            s.attach(m, QStringLiteral("image/png"),
                     writeFile(m_files + QStringLiteral("/p%1.png").arg(i), QByteArray(1000, char('a' + i))));
        }
        const QString parent = testsupport::makeTempDir(QStringLiteral("taken"));
        const QString target = parent + QStringLiteral("/attachments(20240101-120000)");
        QVERIFY(QDir().mkpath(target));
        writeFile(target + QStringLiteral("/keep.txt"), "mine");

        testsupport::RecordingJobReport report;
        QString used;
        runExtract(s.list(), target, report, &used);
        QCOMPARE(used, target + QStringLiteral("(1)"));
        QVERIFY(report.succeeded());
        QCOMPARE(filesBelow(used).size(), 3);
        QCOMPARE(filesBelow(target), QStringList {QStringLiteral("keep.txt")});

        // Cancelled at the third message, after two files were copied.
        CancelAtMessage cancelled(3);
        runExtract(s.list(), target, cancelled, &used);
        QCOMPARE(used, target + QStringLiteral("(2)"));
        QCOMPARE(cancelled.endCount(), 0);
        QVERIFY(!QFileInfo::exists(used));
        QCOMPARE(filesBelow(target), QStringList {QStringLiteral("keep.txt")});
        QVERIFY(QFileInfo(target + QStringLiteral("(1)")).isDir());

        // A target below missing folders: the cancel removes those too.
        CancelAtMessage early(1);
        runExtract(s.list(), parent + QStringLiteral("/new/deeper/attachments"), early, &used);
        QCOMPARE(early.endCount(), 0);
        QVERIFY(!QFileInfo::exists(parent + QStringLiteral("/new")));
    }

    void failures_areReported_withWhatWasCopied()
    {
        // The folder cannot be made: a file stands where its parent should be.
        const QString parent = testsupport::makeTempDir(QStringLiteral("fail"));
        writeFile(parent + QStringLiteral("/blocked"), "a file");
        MessageSet s;
        auto* h = s.handle(QStringLiteral("+4930333"));
        auto* chat = s.chat(h->id, {h}, kBase);
        auto* m = s.message(chat, h, false, QString(), kBase);
        s.attach(m, QStringLiteral("text/plain"), writeFile(m_files + QStringLiteral("/small.txt"), "small"))->filename
            = QStringLiteral("small.txt");
        s.attach(m, QStringLiteral("video/mp4"),
                 writeFile(m_files + QStringLiteral("/big.mp4"), QByteArray(64 * 1024, 'v')))
            ->filename
            = QStringLiteral("big.mp4");

        testsupport::RecordingJobReport noFolder;
        runExtract(s.list(), parent + QStringLiteral("/blocked/attachments"), noFolder);
        QCOMPARE(noFolder.successes(), QStringList());
        QCOMPARE(noFolder.errors(),
                 QStringList {QStringLiteral("Failed to create the folder %1/blocked/attachments.").arg(parent)});

        // A disk that fills up: writes beyond 16 KB fail.
        testsupport::RecordingJobReport full;
        QString used;
        {
            testsupport::FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.ok());
            runExtract(s.list(), parent + QStringLiteral("/full"), full, &used);
        }
        QCOMPARE(full.successes(), QStringList());
        QCOMPARE(full.errors(),
                 QStringList {QStringLiteral("Extracted 1 MMS attachment to %1. These attachments could not be "
                                             "copied: big.mp4")
                                  .arg(used)});
        // What was copied stays; the failed copy left nothing.
        QCOMPARE(filesBelow(used), QStringList {QStringLiteral("small.txt")});
    }

private:
    QString m_files;
};

QTEST_MAIN(TestAttachmentExtract)
#include "test_attachmentextract.moc"
