// Copies messages with their chats, handles and attachment files into the
// message store of a local backup folder, through the store writer: a
// message the store holds already (same content) is not stored again.
//
// The run is one transaction: a cancel or a failure keeps nothing of it,
// and the attachment files it copied into the folder go again.
#pragma once

#include "messagestore/msgrecords.h"

#include <QDir>
#include <QString>
#include <QThread>

class JobReport;

class BackupMMSThread : public QThread {
    Q_OBJECT

public:
    // The records stay the caller's; they must not change or go while the
    // job runs. countryCode makes the handles' numbers canonical.
    BackupMMSThread(const QDir& targetDir, const QString& countryCode, const MsgMessageList& messages,
                    JobReport* progress, QObject* parent = nullptr);
    ~BackupMMSThread() override;

protected:
    void run() override;

private:
    void backup();

    QDir targetDir;
    QString countryCode;
    MsgMessageList messages; // sorted oldest first
    JobReport* progress;
};
