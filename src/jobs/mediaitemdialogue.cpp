#include "mediaitemdialogue.h"

#include "phonelink/protocol/simpleprotocol.h"

namespace mediadialogue {

bool offer(QTcpSocket* phone, const QString& command, const QString& argument)
{
    simpleprotocol::sendCommand(phone, command, argument, true, -1);
    bool ok = false;
    const int answer = simpleprotocol::readCommand(phone, -1).trimmed().toInt(&ok);
    return ok && answer == 1;
}

void endFile(QTcpSocket* phone)
{
    simpleprotocol::sendCommand(phone, QStringLiteral("."), QString(), true, -1);
    simpleprotocol::expectCommand(phone, QStringLiteral("$file:"), -1);
}

void endItem(QTcpSocket* phone, const QString& command)
{
    simpleprotocol::expectCommand(phone, command, -1);
}

QString fileNameOf(const QString& phonePath)
{
    return phonePath.mid(phonePath.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace mediadialogue
