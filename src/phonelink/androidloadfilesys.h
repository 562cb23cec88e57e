// The phone's file system for one page: one long-lived connection to the
// Phone Agent's "files" service, with two requests (list one folder, delete
// one path), and the job that lists whole folder trees through it.
#pragma once

#include "phonelink/phonesession.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThread>

class AndroidDeviceInfo;
class JobReport;
class QTcpSocket;
struct _RemoteFile;

// Every wait of a request is bounded by the time between two lines (a large
// folder lists slowly but steadily; a stalled phone sends nothing) and sees
// the calling thread's cancel scope. Pages call these from a task
// (runTask), never blocking the window themselves.
class AndroidLoadFileSys : public QObject {
    Q_OBJECT
public:
    static constexpr int kLineTimeoutMs = 30000;

    AndroidLoadFileSys(AndroidDeviceInfo* device, QObject* parent = nullptr);
    // Says "$bye:" on an open connection and closes it.
    ~AndroidLoadFileSys() override;

    // Lists the folder at path: one new node per entry, in the phone's
    // order. With a parent, each node is also appended to its children and
    // owned by it; otherwise the caller owns the nodes. Throws
    // std::runtime_error (and drops the connection; the next request opens a
    // new one); nodes already appended to a parent stay there. A path that
    // cannot travel as one line throws simpleprotocol::ArgumentException
    // before anything is sent; the connection stays usable.
    //
    // The phone's word on where an entry lives is not trusted: an entry whose
    // path is not directly inside the listed folder (the folder itself, "/",
    // "..", another folder's path) keeps all three flags false, so that
    // nothing lists, extracts, deletes or uploads through it.
    QList<_RemoteFile*> listFolder(const QString& path, _RemoteFile* parent = nullptr);
    void listFolder(QList<_RemoteFile*>& out, const QString& path, _RemoteFile* parent = nullptr);
    // True when the phone reports the path deleted. A failure also
    // force-stops the Phone Agent (not a refused argument: nothing was sent).
    bool deleteFile(const QString& path);

    // Whether path names an entry directly inside folder: folder, a slash
    // (none more after the root) and one name that is not "." or "..".
    static bool isDirectlyInside(const QString& folder, const QString& path);
    // Whether an entry may be listed: a folder that was listed where it
    // lives (see listFolder).
    static bool isListable(const _RemoteFile* entry);

    // Tests: whether a connection is held.
    bool isOpen() const { return m_session.isOpen(); }
    // Longest wait for the phone's next line (and for a send to go out).
    void setLineTimeoutMs(int ms) { m_lineTimeoutMs = ms; }

private:
    // The connection, opened when missing and brought to the calling thread
    // (requests come from the page and from the listing job in turn).
    QTcpSocket* acquire();
    // Leaves the connection without a thread between requests, so the next
    // caller's thread can take it over.
    void park();
    // Ends the connection without a word; with stopAgent the Phone Agent is
    // force-stopped too.
    void drop(bool stopAgent = false);

    PhoneSession m_session; // opened by the first request
    int m_lineTimeoutMs = kLineTimeoutMs;
};

// Lists whole folder trees before a download. A folder's entries are
// attached only once its listing is complete, so a failed or cancelled run
// leaves no folder half listed (an empty folder is asked again next time).
// A folder whose path cannot travel as one line, or that lies kMaxDepth
// levels below its root, is not listed and is named in refusedPaths(); the
// others go on.
class AndroidLoadFileSysThread : public QThread {
    Q_OBJECT
public:
    // Deeper trees are not listed further (a phone's links can nest names
    // without end); entries listed before stay and are still walked.
    static constexpr int kMaxDepth = 64;

    AndroidLoadFileSysThread(AndroidLoadFileSys* fs, const QList<_RemoteFile*>& roots, JobReport* progress,
                             QObject* parent = nullptr);

    // Folders not listed because their paths hold a line break or they lie
    // too deep, so a download leaves out what they hold (read after the
    // run).
    QStringList refusedPaths() const { return m_refused; }

protected:
    void run() override;

private:
    void loadTree(_RemoteFile* node, int depth);

    AndroidLoadFileSys* m_fs;
    QList<_RemoteFile*> m_roots;
    JobReport* m_progress;
    QSet<QString> m_visited; // folder paths reached during this run
    QStringList m_refused;
};
