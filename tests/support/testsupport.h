// Shared test helpers.
#pragma once

#include "shell/core/jobreport.h"

#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <source_location>

// Every scripted answer of a ScriptedPrompt was used and nothing unscripted
// was asked.
#define VERIFY_SCRIPT_DONE(p)                                                                                          \
    QVERIFY2((p).unexpected().isEmpty() && (p).pendingAnswers() == 0,                                                  \
             qPrintable((p).unexpected().join(u'\n') + QStringLiteral(" pending %1").arg((p).pendingAnswers())))

// Checking helpers. A helper that several tests share and that checks
// something takes `std::source_location at = std::source_location::current()`
// last, checks with HELPER_VERIFY, HELPER_VERIFY2, HELPER_COMPARE or
// HELPER_VERIFY_SCRIPT_DONE (a failure is reported at the test's line that
// called the helper, with the message QVERIFY or QCOMPARE gives) and returns
// false at the first failure; it is [[nodiscard]]. The test calls it through
// CHECKED, which ends the test function when it failed, as a failed QVERIFY
// does:
//
//     [[nodiscard]] bool ranToItsEnd(QThread& job, std::source_location at = std::source_location::current())
//     {
//         job.start();
//         HELPER_VERIFY(job.wait(10000));
//         return true;
//     }
//     ...
//     CHECKED(ranToItsEnd(job));
#define HELPER_VERIFY2(statement, description)                                                                         \
    do {                                                                                                               \
        const bool helperOk_ = static_cast<bool>(statement);                                                           \
        if (!QTest::qVerify(helperOk_, #statement, helperOk_ ? "" : static_cast<const char*>(description),             \
                            at.file_name(), int(at.line())))                                                           \
            return false;                                                                                              \
    } while (false)
#define HELPER_VERIFY(statement) HELPER_VERIFY2(statement, "")
#define HELPER_COMPARE(actual, expected)                                                                               \
    do {                                                                                                               \
        if (!QTest::qCompare(actual, expected, #actual, #expected, at.file_name(), int(at.line())))                    \
            return false;                                                                                              \
    } while (false)
#define HELPER_VERIFY_SCRIPT_DONE(p)                                                                                   \
    HELPER_VERIFY2((p).unexpected().isEmpty() && (p).pendingAnswers() == 0,                                            \
                   qPrintable((p).unexpected().join(u'\n') + QStringLiteral(" pending %1").arg((p).pendingAnswers())))
#define CHECKED(...)                                                                                                   \
    do {                                                                                                               \
        if (!(__VA_ARGS__))                                                                                            \
            return;                                                                                                    \
    } while (false)

namespace testsupport {

// The bound of a wait that only guards against a hang: far above what the
// awaited step takes on a busy machine, and below every test's time limit
// (the CTest TIMEOUT, 120 s unless a test states more). Tests check what
// happens and in which order, never how fast: speed is for the benchmarks.
inline constexpr int kHangGuardMs = 60000;

// A hang guard for a call that blocks the test's own thread, where no wait
// can be bounded: once it has lived for ms, it runs breakHang on a thread of
// its own (releasing a stalled phone, say), so that the call returns and the
// test fails on fired() instead of hanging until its time limit.
//
//     HangGuard guard([&] { phone.sim->releaseStalls(); });
//     thumbnails.stop(); // must not wait for the stalled phone
//     QVERIFY2(!guard.fired(), "stop waited for the phone");
class HangGuard {
public:
    explicit HangGuard(std::function<void()> breakHang, int ms = kHangGuardMs);
    // Ends the guard; breakHang does not run after this returns.
    ~HangGuard();
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

    bool fired() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Root of the source tree (for fixtures) and of the build tree.
QString sourceDir();
QString binaryDir();
// Folder of the application executable and its run-time assets.
QString appBinDir();
// The private folder this test runs in (HOME and XDG folders live below it).
QString sandboxDir();
// A fresh folder below the sandbox.
QString makeTempDir(const QString& name);
// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString& path);
// The files below dir (hidden ones too), relative to it, sorted.
QStringList filesBelow(const QString& dir);
// Every file below dir (hidden ones too) with the SHA-256 of its bytes, by
// relative path.
QMap<QString, QByteArray> fileDigests(const QString& dir);
// This process's resident set in MB (Linux); -1 when it cannot be read.
double residentMb();

// Makes a folder and everything below it a read-only medium for as long as
// it lives: no write permission, and where the file system lets us the
// immutable attribute too (which also holds for root, who ignores
// permissions). ok() says whether creating a file in the folder now fails.
class ReadOnlyMedium {
public:
    explicit ReadOnlyMedium(const QString& dir);
    ~ReadOnlyMedium();
    ReadOnlyMedium(const ReadOnlyMedium&) = delete;
    ReadOnlyMedium& operator=(const ReadOnlyMedium&) = delete;
    bool ok() const { return m_ok; }

private:
    QStringList m_paths; // the folder, its sub-folders and files
    bool m_ok = false;
};

// Removes what a test left in the data root (backups, phone caches, virtual
// devices, the update stamp), so the next test starts from a fresh one.
void resetDataRoot();

// A JobReport that records what a job posted, for tests without a dialog.
// Thread-safe; cancel() and answerTips() play the user's part.
class RecordingJobReport : public JobReport {
public:
    struct Progress {
        QString status;
        int percent;
        QString text;
    };

    void postUpdateProgress(const QString& status, int progress, const QString& text) override;
    void postErrorOccurred(const QString& err) override;
    void postSucceed(const QString& tips) override;
    void postTipsWait(const QString& info) override;
    bool userCanceled() const override { return m_canceled.load(); }
    bool waitingTips() const override { return m_waiting.load(); }

    // The user presses Cancel.
    void cancel() { m_canceled = true; }
    // Cancel as soon as a progress post's text contains this.
    void cancelWhenProgressContains(const QString& text);
    // Tips boxes close at once when true (the default).
    void setAutoAnswerTips(bool on) { m_autoAnswer = on; }
    void answerTips() { m_waiting = false; }

    QList<Progress> progress() const;
    QStringList progressTexts() const;
    QStringList errors() const;
    QStringList successes() const;
    QStringList tips() const;
    // Exactly one end post was made: the success text or the error text.
    bool succeeded() const;
    bool failed() const;
    int endCount() const;

private:
    mutable QMutex m_mutex;
    QList<Progress> m_progress;
    QStringList m_errors;
    QStringList m_successes;
    QStringList m_tips;
    QString m_cancelOn;
    std::atomic<bool> m_canceled {false};
    std::atomic<bool> m_waiting {false};
    std::atomic<bool> m_autoAnswer {true};
};

// While it lives, no file this process writes can grow past the given size:
// writes beyond it fail as on a full disk (the signal such a write raises is
// ignored from then on). The previous limit comes back with the destructor.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False when the limit could not be set.
    bool ok() const { return m_ok; }

private:
    quint64 m_soft = 0;
    quint64 m_hard = 0;
    bool m_ok = false;
};

// While it lives, URLs, files and folders handed to the desktop are recorded
// here instead of opened: no test ever launches a program.
class UrlRecorder {
public:
    UrlRecorder();
    ~UrlRecorder();
    UrlRecorder(const UrlRecorder&) = delete;
    UrlRecorder& operator=(const UrlRecorder&) = delete;

    QList<QUrl> urls;
};

} // namespace testsupport
