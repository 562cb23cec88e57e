// The frame of the page exports that write text files: one file (call
// history, calendar, bookmarks) or one file per record into a folder
// (notes). A subclass writes its records; the frame does the rest the same
// way for all of them:
// - each file is written as every file of the application is (OutputFile):
//   beside its target under a temporary name, taking the target's name only
//   once complete, so an earlier file of that name is never lost; a pipe or
//   device chosen as the target is written into and stays what it was;
// - every write is checked: a write that failed (a full disk) ends in an
//   error naming the file and the reason, never in the success message;
// - a cancel leaves no file and says nothing (the dialog closed already);
// - lines end as the format asks (CR LF for formats written in text mode,
//   on every platform).
#pragma once

#include <QString>
#include <QTextStream>
#include <QThread>

#include <functional>

class JobReport;

class AbsFileExportThread : public QThread {
    Q_OBJECT

public:
    enum class LineEnd { Lf, CrLf };

    // A UTF-8 text stream (no byte-order mark) with fixed-width fields.
    class Stream : public QTextStream {
    public:
        Stream(QIODevice* device, LineEnd lineEnd);
        // text left-aligned in a field of width characters, padded with
        // blanks and never cut.
        void field(const QString& text, int width);
        // Ends the line (outside any field).
        void endLine();

    private:
        const char* m_lineEnd;
    };

    const QString& path() const { return m_path; }

    // Writes one file as the frame writes every file (see OutputFile): beside
    // path, checked, renamed over path when complete. Throws
    // std::runtime_error (the file's error text when it cannot be created,
    // else "write file <path> failed. <reason>") and passes on what body
    // throws; path then keeps what it held and nothing is left beside it.
    static void writeFile(const QString& path, LineEnd lineEnd, const std::function<void(Stream&)>& body);

protected:
    AbsFileExportThread(const QString& path, LineEnd lineEnd, JobReport* progress, QObject* parent);

    // Writes the whole file (single-file exports implement it) and returns
    // the success text. Throws std::runtime_error to fail (its text is shown)
    // and int(-1) on a cancel (checkCanceled does that between records).
    virtual QString write(Stream& out);
    // Writes everything and returns the success text, failing and cancelling
    // as write() does. By default the one file at path() through write();
    // exports of several files override it and write each with writeFile.
    virtual QString exportFiles();

    JobReport* progress() const { return m_progress; }
    LineEnd lineEnd() const { return m_lineEnd; }
    void checkCanceled() const;
    // Posts "done / total" progress (percent and the given text) under the
    // status line set with setProgressStatus.
    void postProgress(qint64 done, qint64 total, const QString& text) const;
    // The status line of every postProgress (none by default); set before
    // the job starts.
    void setProgressStatus(const QString& status) { m_status = status; }

private:
    void run() final;

    QString m_path;
    LineEnd m_lineEnd;
    JobReport* m_progress;
    QString m_status;
};
