#include "QtSocketControl.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <limits>

#include <sys/socket.h>
#include <unistd.h>

namespace {
// How long a connection closed from this end may take to hand over what is
// still queued for it, and for the peer to close its end, before it is cut.
constexpr int kLingerMilliseconds = 30'000;
// How soon a listener that ran out of descriptors tries again.
constexpr int kAcceptRetryMilliseconds = 250;
// How much of a connection's queued text waits in the socket's own buffer:
// enough that each write to the system is a large one, little enough that
// many downloads at once hold not much beyond their files.
constexpr std::size_t kSendSliceBytes = 128 * 1024;
constexpr int kListenBacklog = 4096;
constexpr qint64 kReadBufferBytes = 64 * 1024;
} // namespace

// Hands each connection the system accepted to the socket array as a
// request, in the manner of a connection request event.
class QtSocketControl::Listener final : public QTcpServer {
public:
    Listener(QtSocketControl& owner, SlotNumber slot)
        : QTcpServer(&owner)
        , m_owner(owner)
        , m_slot(slot)
    {
        connect(this, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) { onAcceptError(); });
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        m_failing = false;
        m_owner.incomingConnection(m_slot, descriptor);
    }

private:
    // Out of descriptors (or a like shortage): say so once, then keep trying
    // at a calm pace instead of spinning on the waiting connection.
    void onAcceptError()
    {
        if (!m_failing && m_owner.m_events)
            m_owner.m_events->wsServer_Error(m_slot, static_cast<int>(serverError()),
                                             "Cannot accept a connection: " + errorString().toStdString());
        m_failing = true;
        QTimer::singleShot(kAcceptRetryMilliseconds, this, [this] { resumeAccepting(); });
    }

    QtSocketControl& m_owner;
    SlotNumber m_slot;
    bool m_failing = false;
};

QtSocketControl::QtSocketControl(QObject* parent)
    : QObject(parent)
{
    m_elements[0];
}

QtSocketControl::~QtSocketControl()
{
    for (const ConnectionRequestId waiting : m_waiting)
        ::close(static_cast<int>(waiting));
}

void QtSocketControl::setEventHandler(SocketEvents* events)
{
    m_events = events;
}

void QtSocketControl::Load(SlotNumber slot)
{
    m_elements.try_emplace(slot);
}

void QtSocketControl::Unload(SlotNumber slot)
{
    Element* unloaded = element(slot);
    if (!unloaded || slot == 0)
        return;
    closeListener(*unloaded);
    closeConnection(*unloaded);
    m_elements.erase(slot);
}

SocketState QtSocketControl::State(SlotNumber slot) const
{
    const Element* found = element(slot);
    if (!found)
        return SocketState::Closed;
    if (found->listener && found->listener->isListening())
        return SocketState::Listening;
    if (!found->socket)
        return SocketState::Closed;
    switch (found->socket->state()) {
    case QAbstractSocket::ConnectedState:
        return SocketState::Connected;
    case QAbstractSocket::ClosingState:
        return SocketState::Closing;
    default:
        return SocketState::Closed;
    }
}

void QtSocketControl::Close(SlotNumber slot)
{
    if (Element* closed = element(slot)) {
        closeListener(*closed);
        closeConnection(*closed);
    }
}

void QtSocketControl::LocalPort(SlotNumber slot, std::int32_t port)
{
    if (Element* found = element(slot))
        found->localPort = port;
}

bool QtSocketControl::Listen(SlotNumber slot, std::string& error)
{
    Element* found = element(slot);
    if (!found) {
        error = "No such socket element.";
        return false;
    }
    if (found->localPort < 0 || found->localPort > 65535) {
        error = "Port " + std::to_string(found->localPort) + " is outside 0 to 65535.";
        return false;
    }
    closeListener(*found);
    auto* listener = new Listener(*this, slot);
    // Many phones may connect at once while the loop is busy; the usual
    // backlog of 50 would have the system drop the rest, and their retries
    // wait seconds. The system caps this at its own limit.
    listener->setListenBacklogSize(kListenBacklog);
    if (!listener->listen(QHostAddress::AnyIPv4, static_cast<quint16>(found->localPort))) {
        error = listener->errorString().toStdString();
        delete listener;
        return false;
    }
    found->listener = listener;
    return true;
}

void QtSocketControl::Accept(SlotNumber slot, ConnectionRequestId requestId)
{
    Element* found = element(slot);
    if (!found || !m_waiting.erase(requestId))
        return;
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(requestId)) {
        ::close(static_cast<int>(requestId));
        delete socket;
        return;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Data left untaken stays in the system, not in this process: past this
    // much the socket stops reading, and the peer has to wait.
    socket->setReadBufferSize(kReadBufferBytes);
    found->socket = socket;
    found->closeRaised = false;
    found->outgoing.clear();
    found->outgoingOffset = 0;
    bool isIPv4 = false;
    const quint32 address = socket->peerAddress().toIPv4Address(&isIPv4);
    found->remoteHostIP = (isIPv4 ? QHostAddress(address) : socket->peerAddress()).toString().toStdString();

    connect(socket, &QTcpSocket::readyRead, this, [this, slot, socket] {
        if (m_events)
            m_events->wsServer_DataArrival(slot, socket->bytesAvailable());
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, slot](qint64 written) {
        Element* found = element(slot);
        if (!found || !found->socket)
            return;
        feedSocket(*found, kSendSliceBytes);
        if (m_events)
            m_events->wsServer_SendProgress(slot, written, unsentBytes(slot));
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, slot] { raiseClose(slot); });
    // A reset connection may report only the error; it is a close all the same.
    connect(socket, &QTcpSocket::errorOccurred, this, [this, slot, socket](QAbstractSocket::SocketError) {
        if (socket->state() == QAbstractSocket::UnconnectedState)
            raiseClose(slot);
    });
}

std::string QtSocketControl::GetData(SlotNumber slot)
{
    Element* found = element(slot);
    if (!found || !found->socket)
        return {};
    std::string data(static_cast<std::size_t>(std::max<qint64>(found->socket->bytesAvailable(), 0)), '\0');
    const qint64 count = found->socket->read(data.data(), static_cast<qint64>(data.size()));
    data.resize(static_cast<std::size_t>(std::max<qint64>(count, 0)));
    return data;
}

void QtSocketControl::SendData(SlotNumber slot, std::string data)
{
    Element* found = element(slot);
    // A connection that is gone by the time of sending takes nothing.
    if (!found || !found->socket || found->socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (data.empty())
        return;
    found->outgoing.push_back(std::move(data));
    feedSocket(*found, kSendSliceBytes);
}

void QtSocketControl::feedSocket(Element& element, std::size_t limit)
{
    QTcpSocket* socket = element.socket;
    while (!element.outgoing.empty()) {
        const auto held = static_cast<std::size_t>(std::max<qint64>(socket->bytesToWrite(), 0));
        if (held >= limit)
            return;
        const std::string& front = element.outgoing.front();
        const std::size_t take = std::min(limit - held, front.size() - element.outgoingOffset);
        socket->write(front.data() + element.outgoingOffset, static_cast<qint64>(take));
        element.outgoingOffset += take;
        if (element.outgoingOffset == front.size()) {
            element.outgoing.pop_front();
            element.outgoingOffset = 0;
        }
    }
}

std::int64_t QtSocketControl::unsentBytes(SlotNumber slot) const
{
    const Element* found = element(slot);
    if (!found || !found->socket)
        return 0;
    std::int64_t unsent = found->socket->bytesToWrite() - static_cast<std::int64_t>(found->outgoingOffset);
    for (const std::string& text : found->outgoing)
        unsent += static_cast<std::int64_t>(text.size());
    return unsent;
}

std::string QtSocketControl::RemoteHostIP(SlotNumber slot) const
{
    const Element* found = element(slot);
    return found ? found->remoteHostIP : std::string();
}

std::uint16_t QtSocketControl::boundPort(SlotNumber slot) const
{
    const Element* found = element(slot);
    return found && found->listener ? found->listener->serverPort() : 0;
}

QtSocketControl::Element* QtSocketControl::element(SlotNumber slot)
{
    const auto found = m_elements.find(slot);
    return found == m_elements.end() ? nullptr : &found->second;
}

const QtSocketControl::Element* QtSocketControl::element(SlotNumber slot) const
{
    const auto found = m_elements.find(slot);
    return found == m_elements.end() ? nullptr : &found->second;
}

void QtSocketControl::incomingConnection(SlotNumber slot, ConnectionRequestId requestId)
{
    m_waiting.insert(requestId);
    if (m_events)
        m_events->wsServer_ConnectionRequest(slot, requestId);
    // Nobody took it over: the connection is refused.
    if (m_waiting.erase(requestId))
        ::close(static_cast<int>(requestId));
}

void QtSocketControl::raiseClose(SlotNumber slot)
{
    Element* found = element(slot);
    if (!found || found->closeRaised)
        return;
    found->closeRaised = true;
    if (m_events)
        m_events->wsServer_Close(slot);
}

void QtSocketControl::closeListener(Element& element)
{
    if (!element.listener)
        return;
    element.listener->close();
    element.listener->deleteLater();
    element.listener = nullptr;
}

void QtSocketControl::closeConnection(Element& element)
{
    QTcpSocket* socket = element.socket;
    if (!socket)
        return;
    // What was handed over goes out before the close; the socket takes the
    // rest of the queue now, since the element forgets it.
    if (socket->state() == QAbstractSocket::ConnectedState)
        feedSocket(element, std::numeric_limits<std::size_t>::max());
    element.outgoing.clear();
    element.outgoingOffset = 0;
    element.socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    // A lingering close: what is queued still goes out, then only the
    // sending half is shut. Closing at once while the peer is still sending
    // would make the system reset the connection, and the peer could lose
    // the answer it was sent; so what arrives meanwhile is read and dropped
    // until the peer closes too, or the time is up.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kLingerMilliseconds, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    const auto shutdownWhenSent = [socket] {
        if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState)
            ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, shutdownWhenSent);
    shutdownWhenSent();
}
