// A store writer killed half-way, for the tests of what the next writer
// clears: the writer runs in a child process that kills itself (SIGKILL)
// before it commits, so that nothing of it ends as a writer would.
#pragma once

#include "messagestore/exportmessagesdb.h"

#include <QDir>
#include <QUuid>

#include <functional>
#include <memory>
#include <vector>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace killedwriter {

// Messages of one conversation, each with one picture, as a producer hands
// them to the writer.
struct PictureMessages {
    _MsgHandle handle;
    _MsgChat chat;
    std::vector<std::unique_ptr<_MsgMessage>> messages;
    std::vector<std::unique_ptr<_MsgAttachment>> attachments;

    PictureMessages()
    {
        handle.id = QStringLiteral("+4930999");
        chat.guid = QStringLiteral("SMS;-;+4930999");
        chat.chat_identifier = handle.id;
        chat.ROWID = 1;
        chat.handles.insert(QStringLiteral("1"), &handle);
    }

    // Writes a message whose picture, stored under filename, is the file at
    // source.
    void write(ExportMessagesDb& writer, const QString& filename, const QString& source)
    {
        auto& m = *messages.emplace_back(std::make_unique<_MsgMessage>());
        auto& a = *attachments.emplace_back(std::make_unique<_MsgAttachment>());
        m.guid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m.text = QStringLiteral("\uFFFC");
        m.date = int(messages.size());
        m.handle = &handle;
        m.chat = &chat;
        a.ROWID = qint64(attachments.size());
        a.guid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        a.filename = filename;
        a.mime_type = QStringLiteral("image/jpeg");
        a.localPath = source;
        m.attachments.insert(QStringLiteral("1"), &a);
        writer.write(m);
    }
};

// Runs work on a writer of the store of folder that has begun its unit,
// then kills it. True when it got that far and was killed.
inline bool killedWrite(const QDir& folder, const std::function<void(ExportMessagesDb&)>& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            ExportMessagesDb writer(folder, QString());
            writer.setTakesLocalFiles(true);
            writer.begin();
            work(writer);
            ::kill(::getpid(), SIGKILL);
        } catch (...) {
        }
        ::_exit(1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

} // namespace killedwriter
