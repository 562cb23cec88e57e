// Sends one local file's bytes to the Phone Agent as counted blocks: the
// line "$block:n", exactly n raw bytes, then the phone's "." before the next
// block. Blocks are at most kBlockBytes, read from the file in its order
// into one buffer that every file of the job reuses; no file is held in
// memory whole. The file upload, the media uploads and the phone-to-phone
// transfers send their files through it.
//
// Every wait is without a time limit but sees the calling thread's cancel
// scope (simpleprotocol::CancelScope), and the job's cancel is checked before
// each block: a cancel throws int(jobreport::kCanceled).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

class JobReport;
class QTcpSocket;

class FileBlockSender {
public:
    static constexpr qint64 kBlockBytes = 0x80000;

    // When each block's progress ("%L1KB / %L2KB", percent -1) is posted:
    // before the block goes, with the status text given to send(), or once
    // the phone acknowledged it, with an empty status.
    enum class Progress { BeforeSend, AfterAck };

    explicit FileBlockSender(Progress when = Progress::BeforeSend);

    // Opens the file read-only. A failure raises simpleprotocol::
    // LocalException "open %1 failed. %2" (shownPath, the reason), which
    // tells the phone first.
    void open(QTcpSocket* socket, const QString& path, const QString& shownPath);
    // Sends the opened file to its end and closes it; returns the bytes
    // sent. A read that fails, or gets nothing before the end (the file
    // shrank), raises "read %1 failed. %2".
    qint64 send(QTcpSocket* socket, JobReport* progress, const QString& status);

private:
    // The next block into the buffer; 0 at the end.
    qint64 readBlock(QTcpSocket* socket);

    Progress m_when;
    QFile m_file;
    QString m_shownPath;
    QByteArray m_buffer;
};
