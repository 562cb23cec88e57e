// What the phone-to-phone media transfers share: each file is fetched from
// the source phone's "download" service and relayed, block by block, into
// the target phone's media restore service ("images", "videos", "music",
// "ringtones"); nothing is stored on the PC, which holds one block at a
// time in a buffer that every block reuses.
//
// The target is offered each file and decides whether it wants it; the
// result counts the files it took. Every relayed file is checked against
// the size the source announced. When a file cannot be finished after the
// target said it wants it (a size mismatch, a bad line or a failure of the
// source, a cancel), the target is sent "$error:" so that it ends the
// session and drops the partial file; a target that failed itself is not
// sent another. A failure names the file. A file whose source path cannot travel as one line (a line break)
// is not offered; the others go on, and the job then ends in an error that
// names the files left behind.
//
// A cancel or a failure stops both Phone Agents.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QThread>

class AndroidDeviceInfo;
class JobReport;
class QTcpSocket;

class AndroidTransferA2AThread : public QThread {
    Q_OBJECT

public:
    // After the run: files offered to the target, and those it took.
    int offeredFiles() const { return m_offered; }
    int takenFiles() const { return m_taken; }

protected:
    // One file to copy.
    struct Item {
        QString shown; // the status line's name
        QString path; // the file on the source
        QDateTime date;
        QString album; // photos and videos only
    };

    // Nothing is owned; the items go in their order.
    AndroidTransferA2AThread(AndroidDeviceInfo* source, AndroidDeviceInfo* target, JobReport* progress,
                             QObject* parent);

    void run() override;

    // The target's restore service of the kind.
    virtual QString serviceName() const = 0;
    // "$img:", "$video:" or "$music:".
    virtual QString itemCommand() const = 0;
    // Whether the offer carries the album as its fourth field.
    virtual bool hasAlbum() const = 0;
    virtual QString resultText(int taken) const = 0;

    QList<Item> m_items;

private:
    void transfer(const Item& item, int number);
    void relay(const Item& item);
    // Tells the target that the file it waits for will not come; only when
    // the source, this side or a cancel ended the file.
    void abandonFile(const QString& reason);
    // Runs a step of the dialogue with the target about a file it waits for;
    // when the step fails, the target is not told again.
    template <typename Step> void fromTarget(Step step);

    AndroidDeviceInfo* m_source;
    AndroidDeviceInfo* m_target;
    JobReport* m_progress;
    QTcpSocket* m_sourceSocket = nullptr; // the run's sessions'
    QTcpSocket* m_targetSocket = nullptr;
    QByteArray m_buffer;
    const Item* m_current = nullptr; // the file being offered or relayed
    bool m_targetAwaitsFile = false;
    int m_offered = 0;
    int m_taken = 0;
    QStringList m_refused;
};
