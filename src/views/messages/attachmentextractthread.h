// Copies the attachment files of a list of messages into a new folder on
// the PC, each under its own (cleaned, numbered when taken) name and dated
// with its message. The folder is made by the job; when the path given is
// taken, a numbered variant is used. The records stay the caller's, who
// keeps them alive and unchanged until the job has ended.
//
// Reports through its JobReport: progress per message; success with the
// number copied and the folder; an error when the folder cannot be made or
// some files could not be copied (the text says how many were copied and
// names the others). A cancel removes what this run created and says
// nothing. Attachments whose file is missing are skipped silently.
#pragma once

#include "messagestore/msgrecords.h"

#include <QString>
#include <QStringList>
#include <QThread>

class JobReport;

class AttachmentExtractThread : public QThread {
    Q_OBJECT

public:
    AttachmentExtractThread(JobReport* progress, const MsgMessageList& messages, const QString& targetDir,
                            QObject* parent = nullptr);
    ~AttachmentExtractThread() override;

    // The folder the files went into (set by run; the path given, or its
    // numbered variant when that was taken).
    QString targetDir() const { return m_usedDir; }

    // The name an attachment is copied under: the last component of its
    // recorded file name, cleaned; "attachment" for a name that cleans to
    // nothing or starts with a dot.
    static QString targetName(const _MsgAttachment* att);

protected:
    void run() override;

private:
    void extract();

    JobReport* m_progress;
    MsgMessageList m_messages;
    QString m_targetDir;
    QString m_usedDir;
    QString m_created; // outermost folder this run created
    int m_copied = 0;
    QStringList m_failed;
};
