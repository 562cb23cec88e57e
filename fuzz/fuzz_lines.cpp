// The line reader on a real loopback socket, with the decoders of the
// records the lines carry: the input is what a phone sends, line by line.
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androidloadcalendarsthread.h"
#include "phonelink/androidloadcallsthread.h"
#include "phonelink/androidloadmusicthread.h"
#include "phonelink/androidloadthread.h"
#include "phonelink/protocol/contactcodec.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/callrecord.h"
#include "records/mediarecords.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QTcpSocket* g_client = nullptr; // the PC's end, read by the code under test
QTcpSocket* g_phone = nullptr; // the phone's end, written by this target

// The record decoders a loader applies to a line of that command.
void decode(const QString& line)
{
    using namespace simpleprotocol;
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    const QString command = line.left(colon + 1);
    const QString rest = line.mid(colon + 1);
    const QStringList fields = rest.split(QLatin1Char(','));
    for (qsizetype i = 0; i < fields.size(); ++i) {
        loaderfields::textAt(fields, int(i));
        loaderfields::int64At(fields, int(i));
    }
    if (command == QLatin1String("$ent:")) {
        int kind = 0;
        if (parseId(fields.value(0), &kind, nullptr, nullptr, nullptr)) {
            QVariantMap values;
            decodeContact(fields, kind, values);
        }
    } else if (command == QLatin1String("$call:")) {
        AndroidLoadCallsThread::parseCall(rest);
    } else if (command == QLatin1String("$music:")) {
        AndroidLoadMusicThread::parseMusic(rest);
    } else if (command == QLatin1String("$count:")) {
        AndroidLoadCalendarsThread::parseCountList(rest);
    } else if (command == QLatin1String("$block:")) {
        blockSize(g_client, line);
    } else if (command == QLatin1String("$hello:")) {
        AndroidDeviceInfo device;
        device.parseDeviceInfo(rest);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTcpServer server;
    static QTcpSocket client;
    if (!server.listen(QHostAddress::LocalHost, 0))
        abort();
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    if (!client.waitForConnected(5000) || !server.waitForNewConnection(5000))
        abort();
    g_client = &client;
    g_phone = server.nextPendingConnection();
    // Small writes go out at once instead of waiting for delayed ACKs.
    g_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    g_phone->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The input and a final LF, so that its last line ends too.
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    bytes += '\n';
    g_phone->write(bytes);
    while (g_phone->bytesToWrite() > 0)
        if (!g_phone->waitForBytesWritten(5000))
            abort();
    while (g_client->bytesAvailable() < bytes.size())
        if (!g_client->waitForReadyRead(5000))
            abort();

    // Every byte is here: the reader never waits, and it stops after the LF.
    while (g_client->bytesAvailable() > 0) {
        try {
            decode(simpleprotocol::readCommand(g_client, 1000));
        } catch (const simpleprotocol::ProtocolException&) {
            // An empty line, "$error:", a refused size: the reader's own answers.
        }
    }
    // What the reader told the phone ("$error:" lines) is dropped.
    g_phone->waitForReadyRead(0);
    g_phone->readAll();
    return 0;
}
