#include "ReadinessSocketControl.h"

#include <utility>

ReadinessSocketControl::ReadinessSocketControl(EventLoop& loop)
    : m_loop(loop)
{
    m_elements[0];
    m_endOfTurn = m_loop.addEndOfTurn([this] {
        std::vector<SlotNumber> slots;
        slots.swap(m_toFlush);
        for (const SlotNumber slot : slots) {
            Connection* connection = connectionAt(slot);
            if (!connection)
                continue;
            connection->flushQueued = false;
            flush(slot);
        }
        return !m_toFlush.empty();
    });
}

ReadinessSocketControl::~ReadinessSocketControl()
{
    m_loop.removeEndOfTurn(m_endOfTurn);
    for (auto& [slot, found] : m_elements) {
        if (found.connection)
            m_loop.unwatch(found.connection->watch);
    }
}

void ReadinessSocketControl::Load(SlotNumber slot)
{
    m_elements.try_emplace(slot);
}

void ReadinessSocketControl::Unload(SlotNumber slot)
{
    if (!element(slot) || slot == 0)
        return;
    m_acceptor.close(slot);
    closeConnection(slot);
    m_elements.erase(slot);
}

SocketState ReadinessSocketControl::State(SlotNumber slot) const
{
    const Element* found = element(slot);
    if (!found)
        return SocketState::Closed;
    if (m_acceptor.isListening(slot))
        return SocketState::Listening;
    return found->connection ? SocketState::Connected : SocketState::Closed;
}

void ReadinessSocketControl::Close(SlotNumber slot)
{
    if (!element(slot))
        return;
    m_acceptor.close(slot);
    closeConnection(slot);
}

void ReadinessSocketControl::Drop(SlotNumber slot)
{
    // Gone at once, with whatever was still queued for it.
    release(slot);
}

void ReadinessSocketControl::LocalPort(SlotNumber slot, std::int32_t port)
{
    if (Element* found = element(slot))
        found->localPort = port;
}

bool ReadinessSocketControl::Listen(SlotNumber slot, std::string& error)
{
    const Element* found = element(slot);
    if (!found) {
        error = "No such socket element.";
        return false;
    }
    if (found->localPort < 0 || found->localPort > 65535) {
        error = "Port " + std::to_string(found->localPort) + " is outside 0 to 65535.";
        return false;
    }
    return m_acceptor.listen(slot, static_cast<std::uint16_t>(found->localPort), error);
}

void ReadinessSocketControl::Accept(SlotNumber slot, ConnectionRequestId requestId)
{
    Element* found = element(slot);
    if (!found)
        return;
    std::optional<std::string> peer = m_acceptor.takeOver(requestId);
    if (!peer)
        return;
    closeConnection(slot);
    auto connection = std::make_unique<Connection>(static_cast<NativeSocket>(requestId));
    found->remoteHostIP = std::move(*peer);
    connection->interest = Ready::Readable;
    connection->watch = m_loop.watch(connection->socket.get(), Ready::Readable,
                                     [this, slot](std::uint32_t events) { onConnectionReady(slot, events); });
    found->connection = std::move(connection);
}

std::string ReadinessSocketControl::GetData(SlotNumber slot)
{
    Connection* connection = connectionAt(slot);
    if (!connection)
        return {};
    std::string data = std::exchange(connection->input, {});
    // A full element stopped reading; now it may read again.
    connection->updateInterest(m_loop);
    return data;
}

void ReadinessSocketControl::SendData(SlotNumber slot, std::string data)
{
    if (data.empty())
        return;
    SendFile(slot, std::move(data), FileBody{});
}

void ReadinessSocketControl::SendFile(SlotNumber slot, std::string head, FileBody body)
{
    Connection* connection = connectionAt(slot);
    // A connection that is gone by the time of sending takes nothing.
    if (!connection)
        return;
    connection->output.push(std::move(head), std::move(body));
    if (!std::exchange(connection->flushQueued, true))
        m_toFlush.push_back(slot);
}

std::int64_t ReadinessSocketControl::unsentBytes(SlotNumber slot) const
{
    const Connection* connection = connectionAt(slot);
    return connection ? connection->output.unsentBytes() : 0;
}

std::size_t ReadinessSocketControl::unsentAnswers(SlotNumber slot) const
{
    const Connection* connection = connectionAt(slot);
    return connection ? connection->output.unsentAnswers() : 0;
}

std::string ReadinessSocketControl::RemoteHostIP(SlotNumber slot) const
{
    const Element* found = element(slot);
    return found ? found->remoteHostIP : std::string();
}

std::string ReadinessSocketControl::localAddress(SlotNumber slot) const
{
    // Asked for rarely (a descriptor repaired for a request without a Host
    // field): the system is asked then, not for every connection.
    const Connection* connection = connectionAt(slot);
    return connection ? connection->localAddress() : std::string();
}

ReadinessSocketControl::Element* ReadinessSocketControl::element(SlotNumber slot)
{
    const auto found = m_elements.find(slot);
    return found == m_elements.end() ? nullptr : &found->second;
}

const ReadinessSocketControl::Element* ReadinessSocketControl::element(SlotNumber slot) const
{
    const auto found = m_elements.find(slot);
    return found == m_elements.end() ? nullptr : &found->second;
}

Connection* ReadinessSocketControl::connectionAt(SlotNumber slot)
{
    Element* found = element(slot);
    return found ? found->connection.get() : nullptr;
}

const Connection* ReadinessSocketControl::connectionAt(SlotNumber slot) const
{
    const Element* found = element(slot);
    return found ? found->connection.get() : nullptr;
}

std::unique_ptr<Connection> ReadinessSocketControl::release(SlotNumber slot, Afterwards afterwards)
{
    Element* found = element(slot);
    if (!found || !found->connection)
        return nullptr;
    if (afterwards == Afterwards::ClosedAtOnce)
        m_loop.unwatchClosing(found->connection->watch);
    else
        m_loop.unwatch(found->connection->watch);
    return std::move(found->connection);
}

void ReadinessSocketControl::onConnectionReady(SlotNumber slot, std::uint32_t events)
{
    Connection* connection = connectionAt(slot);
    if (!connection)
        return;
    // A reset, or both directions down: nothing more can be sent.
    if (events & (Ready::Error | Ready::HangUp))
        return lose(slot);
    if (events & Ready::Writable) {
        flush(slot);
        connection = connectionAt(slot);
        if (!connection)
            return;
    }
    if (events & Ready::Readable) {
        const Connection::ReadResult read = connection->readSome(m_readBuffer);
        if (read == Connection::ReadResult::Broken)
            return lose(slot);
        if (read == Connection::ReadResult::Arrived && m_events)
            m_events->wsServer_DataArrival(slot, static_cast<std::int64_t>(connection->input.size()));
    }
    settle(slot);
}

void ReadinessSocketControl::flush(SlotNumber slot)
{
    Connection* connection = connectionAt(slot);
    if (!connection)
        return;
    std::int64_t written = 0;
    m_filesMoved.clear();
    const auto result = connection->writeSome(m_smallBody, written, &m_filesMoved);
    const std::int64_t unsent = connection->output.unsentBytes();
    // Raised before anything else of this flush: the handlers may close the connection.
    reportFilesMoved(slot);
    if (result == OutgoingQueue::WriteResult::Broken || result == OutgoingQueue::WriteResult::FileShrank)
        return lose(slot, result == OutgoingQueue::WriteResult::FileShrank);
    if (written > 0 && m_events && connectionAt(slot))
        m_events->wsServer_SendProgress(slot, written, unsent);
    settle(slot);
}

void ReadinessSocketControl::reportFilesMoved(SlotNumber slot)
{
    if (!m_events)
        return;
    for (const OutgoingQueue::FileMoved& file : m_filesMoved)
        m_events->wsServer_FileProgress(slot, file.path, file.sent, file.size);
}

void ReadinessSocketControl::settle(SlotNumber slot)
{
    Connection* connection = connectionAt(slot);
    if (!connection)
        return;
    if (!connection->finished())
        return connection->updateInterest(m_loop);
    release(slot);
    if (m_events)
        m_events->wsServer_Close(slot);
}

void ReadinessSocketControl::lose(SlotNumber slot, bool fileShrank)
{
    std::unique_ptr<Connection> lost = release(slot);
    if (!lost)
        return;
    const std::optional<OutgoingQueue::CutFile> cut = lost->output.cutFile();
    lost.reset();
    if (cut && m_events)
        m_events->wsServer_FileCutShort(slot, cut->path, cut->sent, cut->size, fileShrank);
    if (m_events && element(slot))
        m_events->wsServer_Close(slot);
}

void ReadinessSocketControl::closeConnection(SlotNumber slot)
{
    std::unique_ptr<Connection> closed = release(slot, Afterwards::KeptOpen);
    if (!closed)
        return;
    // What arrived and was not taken is dropped with the element's close.
    m_lingering.start(std::move(closed->socket), std::move(closed->output), closed->peerShut);
}
