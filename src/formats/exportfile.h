// The output file of an export that writes one file. It is written beside
// its target under a temporary name and takes the target's name only on
// commit(), so a failed or cancelled export keeps the earlier file of that
// name and leaves nothing beside it (an ExportFile destroyed without a
// successful commit removes what it wrote). A target that exists but is no
// regular file (a device, a pipe) cannot be replaced: it is written directly.
#pragma once

#include <QFile>
#include <QSaveFile>
#include <QString>

class ExportFile {
public:
    explicit ExportFile(const QString& path);
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // Creates the output; false (errorString() tells why) when it cannot.
    bool open();
    bool isOpen() const;
    // Appends the bytes; false when they did not all reach the output.
    bool write(const QByteArray& bytes);
    // Completes the output and puts it in the target's place; false when
    // anything written did not reach the file (nothing replaces the target
    // then). Closes the output either way.
    bool commit();
    // Drops what was written; the target stays as it was.
    void discard();
    QString errorString() const;

private:
    QFileDevice& device();
    const QFileDevice& device() const;
    void keepError();

    QSaveFile m_save;
    QFile m_direct;
    bool m_isDirect = false;
    QString m_error;
};

// Ends an export that failed: throws std::runtime_error with the text the
// user is shown, "<what> <reason>" ("write file error. No space left on
// device").
[[noreturn]] void failExport(const char* what, const QString& reason);
