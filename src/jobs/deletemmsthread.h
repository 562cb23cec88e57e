// Deletes messages from the message store of a folder (a backup folder or a
// phone's cache folder) in one transaction: each message with its join rows,
// and its chat when no message is left in it. Only after the commit are the
// attachment files removed, and only those that no attachment row left in
// the store refers to (one file may serve several attachments). A cancel or
// a failure leaves the store and the files as they were.
#pragma once

#include "messagestore/msgrecords.h"

#include <QThread>

class JobReport;
class QDir;

class DeleteMMSThread : public QThread {
    Q_OBJECT

public:
    // Nothing is copied or owned: the folder, the list and its records must
    // stay as they are until the job has ended.
    DeleteMMSThread(const QDir* storeDir, const MsgMessageList* messages, JobReport* progress,
                    QObject* parent = nullptr);
    ~DeleteMMSThread() override;

protected:
    void run() override;

private:
    const QDir* storeDir;
    const MsgMessageList* messages;
    JobReport* progress;
};
