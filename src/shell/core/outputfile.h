// The one way the application writes a file: exports, downloads, extracted
// files, thumbnails and saved pictures all go through OutputFile.
//
// - A regular file (or a name not yet taken) is written beside its target
//   under a temporary name and takes the target's name only on commit(), so
//   a failed or cancelled write keeps the earlier file of that name and
//   leaves nothing beside it (an OutputFile destroyed without a successful
//   commit removes what it wrote).
// - A target that exists but is no regular file (a pipe, a device, a socket)
//   cannot be replaced: it is written directly and stays what it was. A pipe
//   that nothing reads from fails at once instead of waiting for a reader.
// - Every byte is checked: a write cut short, a buffer that does not reach
//   the disk when flushed, a file that cannot be completed all make commit()
//   fail, and errorString() then names the reason ("No space left on
//   device"), also for a write that fell short without one the first time.
#pragma once

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <memory>

class QIODevice;

class OutputFile {
public:
    explicit OutputFile(const QString& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the output; false (errorString() tells why) when it cannot.
    bool open();
    bool isOpen() const;
    // Appends the bytes; false when they did not all reach the output. After
    // a failure every further write fails too.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // The output as a device for writers that take one (text streams, image
    // writers): what they write goes through write(). Open while the file is.
    QIODevice* device();
    // Completes the output and puts it in the target's place; false when
    // anything written did not reach the file (nothing replaces the target
    // then). Closes the output either way.
    bool commit();
    // Drops what was written; the target stays as it was (a pipe or device
    // keeps what it already received).
    void discard();
    // Why the last open, write or commit failed.
    QString errorString() const;
    QString fileName() const { return m_path; }

private:
    class Sink;

    bool openDirect();
    QFileDevice& file();
    const QFileDevice& file() const;
    void keepError();

    QString m_path;
    QSaveFile m_save;
    QFile m_direct;
    std::unique_ptr<Sink> m_sink;
    bool m_isDirect = false;
    QString m_error; // the first failure's reason
};
