#include "phonelink/phonesession.h"

#include "phonelink/androiddeviceinfo.h"
#include "phonelink/protocol/simpleprotocol.h"

#include <QTcpSocket>

#include <exception>

PhoneSession::PhoneSession(const AndroidDeviceInfo& device, OnFailure onFailure)
    : m_device(device)
    , m_onFailure(onFailure)
    , m_exceptionsAtStart(std::uncaught_exceptions())
{
}

PhoneSession::~PhoneSession()
{
    if (std::uncaught_exceptions() > m_exceptionsAtStart) {
        if (m_onFailure == OnFailure::StopAgent)
            fail();
        else
            drop();
    } else {
        close();
    }
}

QTcpSocket* PhoneSession::open(Scheme scheme, const QString& service)
{
    drop();
    const QString url = QStringLiteral("%1://127.0.0.1:%2/%3")
                            .arg(scheme == Scheme::Backup ? QLatin1String("backup") : QLatin1String("restore"))
                            .arg(simpleprotocol::nextLocalPort())
                            .arg(service);
    m_socket.reset(m_device.connect(url, kConnectTimeoutMs));
    // The dialogue is short lines that each wait for the other side's answer
    // (requests, acknowledgements, the tail of a block): sent at once, none
    // waits for the peer's delayed acknowledgement of the bytes before it.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return m_socket.get();
}

void PhoneSession::close()
{
    if (!m_socket)
        return;
    // What was sent is flushed already; this closes the connection in order.
    m_socket->disconnectFromHost();
    m_socket.reset();
}

void PhoneSession::fail()
{
    drop();
    m_device.forceStopAgent();
}

void PhoneSession::drop()
{
    if (!m_socket)
        return;
    m_socket->abort();
    m_socket.reset();
}
