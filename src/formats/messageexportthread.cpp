#include "formats/messageexportthread.h"

#include "formats/messageassets.h"
#include "formats/messagehtmlexport.h"
#include "formats/messagepartpictures.h"
#include "formats/messagepdfexport.h"
#include "formats/messagetextexport.h"
#include "messagestore/exportmessagesdb.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <exception>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

QString conversationKey(const _MsgMessage* m)
{
    return m->chat ? m->chat->chat_identifier.toCaseFolded() : QString();
}

int chatLast(const _MsgMessage* m)
{
    return m->chat ? m->chat->_last : 0;
}

// Everything below a folder, files and folders, hidden ones too.
QSet<QString> entriesBelow(const QString& folder)
{
    QSet<QString> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.insert(it.next());
    return entries;
}

// What a run may remove when it fails or is cancelled: in a target folder
// everything that was not there before. A single file (text, CSV) needs
// nothing here: it is written beside its target and goes with its exporter.
class OutputGuard {
public:
    OutputGuard(const QString& target, bool folderMode)
        : m_target(QFileInfo(target).absoluteFilePath())
        , m_folder(folderMode)
    {
        if (!m_folder)
            return;
        m_createdRoot = firstMissingFolder(m_target);
        if (m_createdRoot.isEmpty())
            m_before = entriesBelow(m_target);
    }

    // The target folder, created when missing.
    void makeFolder()
    {
        if (m_folder && !QDir().mkpath(m_target))
            throw std::runtime_error(
                (QStringLiteral("create file error. cannot create the folder ") + m_target).toUtf8().toStdString());
    }

    void discard()
    {
        if (!m_folder)
            return;
        if (!m_createdRoot.isEmpty()) {
            removeDir(m_createdRoot);
            return;
        }
        const QSet<QString> now = entriesBelow(m_target);
        QStringList newFolders;
        for (const QString& path : now) {
            if (m_before.contains(path))
                continue;
            const QFileInfo info(path);
            if (info.isDir() && !info.isSymLink())
                newFolders << path;
            else
                QFile::remove(path);
        }
        // Deepest first; a folder that still holds older entries stays.
        std::sort(newFolders.begin(), newFolders.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        for (const QString& dir : newFolders)
            QDir().rmdir(dir);
    }

private:
    QString m_target;
    bool m_folder;
    QString m_createdRoot;
    QSet<QString> m_before;
};

// A file name for one conversation that no other conversation of this run
// has taken (compared without regard to case).
QString conversationFileName(const _MsgMessage* msg, const QString& extension, QSet<QString>* used)
{
    const _MsgChat* chat = msg->chat;
    QString base;
    if (chat)
        base = sanitizeFileName(isGroupChat(chat) ? chat->chat_identifier : getChatTitle(chat, true));
    // Keep the name well inside the usual 255-byte limit of file systems.
    // A title from the phone can be of any length: cut it to 160 characters
    // first, so that the byte count below is taken a bounded number of times.
    if (base.size() > 160)
        base.truncate(160);
    while (base.toUtf8().size() > 160)
        base.chop(1);
    if (!base.isEmpty() && base.back().isHighSurrogate())
        base.chop(1);
    base = base.trimmed();
    if (base.isEmpty() || base.startsWith(QLatin1Char('.')))
        base = QStringLiteral("unknown-chat");
    QString name = base + extension;
    for (int n = 2; used->contains(name.toCaseFolded()); ++n)
        name = base + QLatin1Char('(') + QString::number(n) + QLatin1Char(')') + extension;
    used->insert(name.toCaseFolded());
    return name;
}

// Copies the files (not folders) of from into to; existing names are kept.
void copyFolderFiles(const QString& from, const QString& to)
{
    const QDir src(from);
    const QDir dst(to);
    for (const QString& name : src.entryList(QDir::Files | QDir::Hidden))
        messageassets::copyNewFile(src.absoluteFilePath(name), dst.absoluteFilePath(name));
}

// The bubble style sheet with its pictures into "files", and the "emoji"
// folder, from the program's folder. The emoji pictures themselves are
// copied by the pages that show them: the program has well over a thousand
// and a conversation uses a handful.
void copyPageAssets(const QDir& target)
{
    const QString files = target.absoluteFilePath(QStringLiteral("files"));
    QDir().mkpath(files);
    const QString bubble = messageassets::applicationFile(QStringLiteral("bubble"));
    if (QFileInfo(bubble).isDir())
        copyFolderFiles(bubble, files);
    if (QFileInfo(messageassets::applicationFile(QStringLiteral("emoji"))).isDir())
        QDir().mkpath(target.absoluteFilePath(QStringLiteral("emoji")));
}

} // namespace

ExportMessagesThread::ExportMessagesThread(const MsgMessageList& messages, const QString& targetPath, int format,
                                           JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_messages(messages)
    , m_targetPath(targetPath)
    , m_format(format)
    , m_progress(progress)
{
}

ExportMessagesThread::~ExportMessagesThread() = default;

bool ExportMessagesThread::chatThenMessageLessThan(const _MsgMessage* a, const _MsgMessage* b)
{
    const int la = chatLast(a), lb = chatLast(b);
    if (la != lb)
        return la < lb;
    const QString ka = conversationKey(a), kb = conversationKey(b);
    if (ka != kb)
        return ka < kb;
    return msgLessThan(a, b);
}

void ExportMessagesThread::sortByConversation(MsgMessageList& messages)
{
    // Chats that share an identifier are one conversation: all of them sort
    // by the newest one's date, so that the conversation stays in one piece.
    QHash<QString, int> newest;
    for (const _MsgMessage* m : std::as_const(messages)) {
        const QString key = conversationKey(m);
        auto it = newest.find(key);
        if (it == newest.end())
            newest.insert(key, chatLast(m));
        else
            *it = std::max(*it, chatLast(m));
    }
    struct Entry {
        int last;
        QString key;
        _MsgMessage* msg;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(messages.size()));
    for (_MsgMessage* m : std::as_const(messages)) {
        const QString key = conversationKey(m);
        entries.push_back({newest.value(key), key, m});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.last != b.last)
            return a.last < b.last;
        return a.key < b.key;
    });

    messages.clear();
    size_t start = 0;
    while (start < entries.size()) {
        size_t end = start + 1;
        while (end < entries.size() && entries[end].key == entries[start].key)
            ++end;
        MsgMessageList block;
        block.reserve(qsizetype(end - start));
        for (size_t i = start; i < end; ++i)
            block.append(entries[i].msg);
        sortMessages(block);
        messages.append(block);
        start = end;
    }
}

void ExportMessagesThread::run()
{
    m_written.clear();
    try {
        runExport();
    } catch (const std::exception& e) {
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    } catch (...) {
        m_progress->postErrorOccurred(tr("unknown error."));
    }
}

void ExportMessagesThread::runExport()
{
    m_progress->postUpdateProgress(tr("IDS_EXPORTING_MESSAGES_TO_FILE"), -1, QString());
    const qsizetype total = m_messages.size();
    qsizetype done = 0;

    const bool perConversation = m_format == MessageExportPdf || m_format == MessageExportHtml;
    const bool folderTarget = perConversation || m_format == MessageExportStore;
    const bool knownFormat = m_format >= MessageExportTxt && m_format <= MessageExportStore;
    OutputGuard guard(m_targetPath, knownFormat && folderTarget);
    std::unique_ptr<AbsFormatExport<_MsgMessage>> exporter;

    try {
        if (perConversation) {
            guard.makeFolder();
            sortByConversation(m_messages);
        } else {
            sortMessages(m_messages);
        }
        const QDir folder(m_targetPath);
        const QString extension = m_format == MessageExportPdf ? QStringLiteral(".pdf") : QStringLiteral(".html");
        QSet<QString> usedNames;
        QString currentKey;
        bool assetsCopied = false;

        for (const _MsgMessage* msg : std::as_const(m_messages)) {
            jobreport::checkCanceled(m_progress);
            ++done;
            m_progress->postUpdateProgress(QString(), jobreport::percent(done, total),
                                           tr("Messages: %1/%2").arg(QString::number(done), QString::number(total)));

            switch (m_format) {
            case MessageExportTxt:
            case MessageExportCsv:
                if (!exporter) {
                    if (m_format == MessageExportTxt)
                        exporter = std::make_unique<ExportMessagesTxt>(m_targetPath);
                    else
                        exporter = std::make_unique<ExportMessagesCsv>(m_targetPath);
                    exporter->begin();
                    m_written << QFileInfo(m_targetPath).absoluteFilePath();
                }
                break;
            case MessageExportStore:
                if (!exporter) {
                    guard.makeFolder();
                    exporter = std::make_unique<ExportMessagesDb>(folder, QString());
                    exporter->begin();
                }
                break;
            case MessageExportPdf:
            case MessageExportHtml: {
                const QString key = conversationKey(msg);
                if (exporter && key == currentKey)
                    break;
                if (exporter) {
                    exporter->end();
                    exporter.reset();
                }
                currentKey = key;
                const QString name = conversationFileName(msg, extension, &usedNames);
                if (m_format == MessageExportPdf) {
                    exporter = std::make_unique<ExportMessagesPdf>(folder.absoluteFilePath(name));
                } else {
                    if (!assetsCopied) {
                        copyPageAssets(folder);
                        assetsCopied = true;
                    }
                    exporter = std::make_unique<ExportMessagesHtml>(folder, name);
                }
                exporter->begin();
                m_written << folder.absoluteFilePath(name);
                break;
            }
            default:
                throw std::runtime_error("not support export format.");
            }
            if (perConversation) {
                // The thumbnails and cards the page shows, made here with
                // the job's cancel heard while a picture decodes.
                partpictures::makeAll(partpictures::missing(msg), [this] { jobreport::checkCanceled(m_progress); });
            }
            exporter->write(*msg);
        }
        if (exporter) {
            exporter->end();
            exporter.reset();
        }
    } catch (int) {
        exporter.reset(); // released without its end
        guard.discard();
        m_written.clear();
        return;
    } catch (...) {
        exporter.reset();
        guard.discard();
        m_written.clear();
        throw;
    }
    m_progress->postSucceed(tr("IDS_SUC_EXPORT_%1_MMS").arg(QString::number(done)));
}
