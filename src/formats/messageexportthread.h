// Writes a list of messages to files on a worker thread: one text or CSV
// file, one PDF or HTML page per conversation in a folder, or a copy into a
// message store. The outcome reaches the user through the job report; on
// failure or cancel only what the job created is removed.
#pragma once

#include "messagestore/msgrecords.h"

#include <QString>
#include <QThread>

class JobReport;

// The format code of the message export job (the index of the save filter).
enum MessageExportFormat {
    MessageExportTxt = 0,
    MessageExportCsv = 1,
    MessageExportPdf = 2,
    MessageExportHtml = 3,
    MessageExportStore = 4,
};

class ExportMessagesThread : public QThread {
    Q_OBJECT
public:
    // targetPath: the file for text and CSV, the folder for the others
    // (created when missing). The records stay the caller's and must outlive
    // the job.
    ExportMessagesThread(const MsgMessageList& messages, const QString& targetPath, int format, JobReport* progress,
                         QObject* parent = nullptr);
    ~ExportMessagesThread() override;

    // Per-conversation order: conversations by the date of their latest
    // message (a message without a chat counts as identifier "" and date 0),
    // ties by the case-folded chat identifier; within a conversation the
    // message order. A strict weak order.
    static bool chatThenMessageLessThan(const _MsgMessage* a, const _MsgMessage* b);

    // The messages sorted for a per-conversation export: each conversation
    // (chats sharing an identifier, ignoring case) contiguous and ordered by
    // its newest chat, oldest conversation first.
    static void sortByConversation(MsgMessageList& messages);

    // The files written by the last run, in writing order (pages or PDFs for
    // the per-conversation formats, else the one file).
    QStringList writtenFiles() const { return m_written; }

protected:
    void run() override;

private:
    void runExport();

    MsgMessageList m_messages;
    QString m_targetPath;
    int m_format;
    JobReport* m_progress;
    QStringList m_written;
};
