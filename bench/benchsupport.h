// What several benchmarks share: a job report that keeps only the outcome,
// the knobs read from the environment, a free loopback port, the process's
// memory figures, a generated phone's message store and the main function.
#pragma once

#include "messagestore/exportmessagesdb.h"
#include "messagestore/msgrecords.h"
#include "shell/core/jobreport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTcpServer>
#include <QtGlobal>

#include <functional>

namespace benchsupport {

class QuietReport : public JobReport {
public:
    void postUpdateProgress(const QString&, int, const QString&) override {}
    void postErrorOccurred(const QString& err) override { error = err; }
    void postSucceed(const QString& text) override { result = text; }
    void postTipsWait(const QString&) override {}
    bool userCanceled() const override { return false; }
    bool waitingTips() const override { return false; }

    QString result;
    QString error;
};

// The positive number the variable holds, else fallback.
inline int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

// A loopback port nobody listens on at the moment.
inline int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A size line of /proc/self/status ("VmRSS", "VmHWM") in MB; -1 when it
// cannot be read.
inline double statusMb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Writes a generated phone's messages into the message store of folder:
// SMS with some text over the conversations, a minute apart, every third
// one sent, and every pictureEvery-th one a picture, which writePicture
// (path, index) saves at path in the folder.
inline void writeStore(const QString& folder, int messages, int conversations, int pictureEvery,
                       const std::function<void(const QString&, int)>& writePicture)
{
    ExportMessagesDb writer {QDir(folder), QStringLiteral("262")};
    writer.begin();
    for (int i = 0; i < messages; ++i) {
        const int conversation = i % conversations;
        _MsgHandle handle;
        _MsgChat chat;
        makeSmsChat(QStringLiteral("+4930%1").arg(1000000 + conversation), QString(), &handle, &chat);
        _MsgMessage msg;
        msg.handle = &handle;
        msg.chat = &chat;
        msg.service = QStringLiteral("SMS");
        msg.date = 700000000 + i * 60;
        msg.is_from_me = i % 3 == 0;
        msg.text = QStringLiteral("Message %1 of conversation %2, with some text.").arg(i).arg(conversation);
        _MsgAttachment att;
        if (i % pictureEvery == pictureEvery - 1) {
            att.localPath = QDir(folder).absoluteFilePath(QStringLiteral("p%1.jpg").arg(i));
            writePicture(att.localPath, i);
            att.guid = newMsgGuid();
            att.filename = QStringLiteral("~/Library/SMS/Attachments/%1/p%2.jpg").arg(att.guid).arg(i);
            att.mime_type = QStringLiteral("image/jpeg");
            msg.attachments.insert(QStringLiteral("1"), &att);
            msg.text = QString(QChar(0xFFFC));
        }
        msg.guid = makeGuidFromData(makeLogicHash(&msg).toUtf8());
        writer.write(msg);
    }
    writer.end();
}

// Runs the benchmarks the command line names, with a QCoreApplication.
inline int runBenchmarks(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace benchsupport
