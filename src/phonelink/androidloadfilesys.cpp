#include "phonelink/androidloadfilesys.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "records/remotefile.h"
#include "shell/core/jobreport.h"

#include <QDebug>
#include <QTcpSocket>

#include <stdexcept>

AndroidLoadFileSys::AndroidLoadFileSys(AndroidDeviceInfo* device, QObject* parent)
    : QObject(parent)
    , m_session(*device, PhoneSession::OnFailure::KeepAgent)
{
}

AndroidLoadFileSys::~AndroidLoadFileSys()
{
    if (!m_session.isOpen())
        return;
    try {
        QTcpSocket* s = acquire();
        if (s->state() == QAbstractSocket::ConnectedState)
            simpleprotocol::sendCommand(s, QStringLiteral("$bye:"), QString(), true, m_lineTimeoutMs);
    } catch (...) {
        // The phone may be gone already; nothing to tell it then.
    }
    drop();
}

QTcpSocket* AndroidLoadFileSys::acquire()
{
    QTcpSocket* s = m_session.socket();
    if (!s)
        return m_session.open(PhoneSession::Scheme::Backup, QStringLiteral("files"));
    if (s->thread() != QThread::currentThread())
        s->moveToThread(QThread::currentThread());
    return s;
}

void AndroidLoadFileSys::park()
{
    if (QTcpSocket* s = m_session.socket())
        s->moveToThread(nullptr);
}

void AndroidLoadFileSys::drop(bool stopAgent)
{
    QTcpSocket* s = m_session.socket();
    if (s && s->thread() != QThread::currentThread())
        s->moveToThread(QThread::currentThread());
    if (stopAgent)
        m_session.fail();
    else
        m_session.drop();
}

QList<_RemoteFile*> AndroidLoadFileSys::listFolder(const QString& path, _RemoteFile* parent)
{
    QList<_RemoteFile*> out;
    listFolder(out, path, parent);
    return out;
}

void AndroidLoadFileSys::listFolder(QList<_RemoteFile*>& out, const QString& path, _RemoteFile* parent)
{
    QList<_RemoteFile*> made;
    try {
        QTcpSocket* s = acquire();
        simpleprotocol::sendCommand(s, QStringLiteral("$path:"), path, true, m_lineTimeoutMs);
        for (;;) {
            const QString line = simpleprotocol::readCommand(s, m_lineTimeoutMs);
            if (line.startsWith(QLatin1String("$end:")))
                break;
            bool isDir = false;
            QString rest;
            if (line.startsWith(QLatin1String("$file:"))) {
                rest = line.mid(6);
            } else if (line.startsWith(QLatin1String("$folder:"))) {
                isDir = true;
                rest = line.mid(8);
            } else {
                throw std::runtime_error(
                    QStringLiteral("invalid command($end:,$file:,$folder:), %1").arg(line).toStdString());
            }
            const QStringList f = rest.split(QLatin1Char(','));
            const QString entryPath = simpleprotocol::decodeField(f.value(0));
            if (entryPath.isEmpty())
                throw std::runtime_error(QStringLiteral("file path is empty, %1").arg(line).toStdString());
            const bool inside = isDirectlyInside(path, entryPath);
            if (!inside)
                qWarning("AndroidLoadFileSys: %s listed in %s, kept out of reach", qUtf8Printable(entryPath),
                         qUtf8Printable(path));
            auto* node = new _RemoteFile(parent, isDir, entryPath, QString(), inside, inside, inside, QString());
            if (!isDir && f.size() >= 3)
                node->size = f.at(2).toLongLong();
            if (!isDir && f.size() >= 4)
                node->modified = QDateTime::fromMSecsSinceEpoch(f.at(3).toLongLong());
            made.append(node);
            if (parent)
                parent->children.append(node);
        }
    } catch (const simpleprotocol::ArgumentException&) {
        // Nothing was sent: the connection is still in step.
        park();
        throw;
    } catch (...) {
        drop();
        // Nodes under a parent are the parent's; the others would be lost.
        if (!parent)
            qDeleteAll(made);
        throw;
    }
    park();
    out += made;
}

bool AndroidLoadFileSys::isDirectlyInside(const QString& folder, const QString& path)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    if (!folder.startsWith(QLatin1Char('/')) || !path.startsWith(prefix))
        return false;
    const QStringView name = QStringView(path).mid(prefix.size());
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".")
        && name != QLatin1String("..");
}

bool AndroidLoadFileSys::isListable(const _RemoteFile* entry)
{
    return entry && entry->isDir && entry->exportable;
}

bool AndroidLoadFileSys::deleteFile(const QString& path)
{
    try {
        QTcpSocket* s = acquire();
        simpleprotocol::sendCommand(s, QStringLiteral("$del:"), path, true, m_lineTimeoutMs);
        const QString line = simpleprotocol::expectCommand(s, QStringLiteral("$end:"), m_lineTimeoutMs);
        park();
        return line.mid(5).toLongLong() != 0;
    } catch (const simpleprotocol::ArgumentException&) {
        park();
        throw;
    } catch (...) {
        drop(true);
        throw;
    }
}

// ---------------------------------------------------------------------------

AndroidLoadFileSysThread::AndroidLoadFileSysThread(AndroidLoadFileSys* fs, const QList<_RemoteFile*>& roots,
                                                   JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_fs(fs)
    , m_roots(roots)
    , m_progress(progress)
{
}

void AndroidLoadFileSysThread::run()
{
    simpleprotocol::CancelScope cancel(m_progress);
    m_visited.clear();
    m_refused.clear();
    try {
        m_progress->postUpdateProgress(QString(), 99, QString());
        for (_RemoteFile* root : std::as_const(m_roots))
            loadTree(root, 0);
        m_progress->postSucceed(QString());
    } catch (int) {
        // Cancelled: the dialog has ended already.
    } catch (const std::exception& e) {
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
}

void AndroidLoadFileSysThread::loadTree(_RemoteFile* node, int depth)
{
    jobreport::checkCanceled(m_progress);
    if (!AndroidLoadFileSys::isListable(node))
        return;
    // A folder the phone lists inside itself (or below itself) is not
    // listed again: the tree would have no end.
    if (m_visited.contains(node->path)) {
        qDebug("AndroidLoadFileSysThread: %s seen before, not listed again", qUtf8Printable(node->path));
        return;
    }
    m_visited.insert(node->path);
    m_progress->postUpdateProgress(QString(), -1, tr("Loading:%1").arg(node->path));
    if (node->children.isEmpty()) {
        if (depth >= kMaxDepth) {
            // Not listed, so what it holds is not downloaded: say so.
            qWarning("AndroidLoadFileSysThread: %s lies too deep, not listed", qUtf8Printable(node->path));
            m_refused.append(node->path);
            return;
        }
        QList<_RemoteFile*> listed;
        try {
            m_fs->listFolder(listed, node->path);
        } catch (const simpleprotocol::ArgumentException&) {
            m_refused.append(node->path);
            return;
        }
        for (_RemoteFile* child : std::as_const(listed))
            child->parent = node;
        node->children = listed;
    }
    for (_RemoteFile* child : std::as_const(node->children))
        loadTree(child, depth + 1);
}
