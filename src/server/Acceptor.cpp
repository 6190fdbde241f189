#include "Acceptor.h"

#include "SocketCalls.h"

#include <chrono>

namespace {
// How soon a listener that ran out of descriptors tries again.
constexpr std::chrono::milliseconds kAcceptRetry{250};
// Connections taken from the listener in one turn: a burst of phones is
// let in quickly without starving the open connections.
constexpr int kAcceptBurst = 64;
constexpr int kListenBacklog = 4096;
} // namespace

Acceptor::Acceptor(EventLoop& loop)
    : m_loop(loop)
{
}

Acceptor::~Acceptor()
{
    while (!m_listeners.empty())
        close(m_listeners.begin()->first);
    for (const auto& [waiting, peer] : m_waiting)
        closeSocket(static_cast<NativeSocket>(waiting));
}

bool Acceptor::listen(SlotNumber slot, std::uint16_t port, std::string& error)
{
    close(slot);
    Listener listener;
    // Many phones may connect at once while the loop is busy; a small
    // backlog would have the system drop the rest, and their retries wait
    // seconds. The system caps this at its own limit.
    listener.socket.reset(openListener(port, kListenBacklog, error));
    if (!listener.socket.isOpen())
        return false;
    listener.watch = m_loop.watch(listener.socket.get(), Ready::Readable, [this, slot](std::uint32_t) { onReady(slot); });
    m_listeners.emplace(slot, std::move(listener));
    return true;
}

void Acceptor::close(SlotNumber slot)
{
    const auto found = m_listeners.find(slot);
    if (found == m_listeners.end())
        return;
    m_loop.unwatch(found->second.watch);
    m_loop.cancel(found->second.retry);
    m_listeners.erase(found);
}

std::uint16_t Acceptor::boundPort(SlotNumber slot) const
{
    const auto found = m_listeners.find(slot);
    return found == m_listeners.end() ? 0 : ::boundPort(found->second.socket.get());
}

Acceptor::Listener* Acceptor::listenerAt(SlotNumber slot)
{
    const auto found = m_listeners.find(slot);
    return found == m_listeners.end() ? nullptr : &found->second;
}

void Acceptor::onReady(SlotNumber slot)
{
    const SocketHeadroom headroom;
    // Every event may close the listener: it is looked up afresh after each.
    for (int taken = 0; taken < kAcceptBurst; ++taken) {
        const Listener* listener = listenerAt(slot);
        if (!listener)
            return;
        const NativeSocket socket = listener->socket.get();
        if (headroom.runsShort(m_lastAccepted, socket) && !makeRoom(slot))
            return pause(slot, socketShortageError());
        std::string peer;
        int error = 0;
        const NativeSocket accepted = acceptConnection(socket, peer, error);
        if (accepted == kNoSocket) {
            if (wouldBlock(error))
                return;
            if (isShortage(error)) {
                if (makeRoom(slot))
                    continue;
                return pause(slot, error);
            }
            // The connection gave up before it was taken, or the like.
            continue;
        }
        m_lastAccepted = accepted;
        if (Listener* still = listenerAt(slot))
            still->failing = false;
        const auto requestId = static_cast<ConnectionRequestId>(accepted);
        m_waiting.emplace(requestId, std::move(peer));
        if (m_events)
            m_events->wsServer_ConnectionRequest(slot, requestId);
        // Nobody took it over: the connection is refused.
        if (m_waiting.erase(requestId))
            closeSocket(accepted);
    }
}

std::optional<std::string> Acceptor::takeOver(ConnectionRequestId requestId)
{
    const auto found = m_waiting.find(requestId);
    if (found == m_waiting.end())
        return std::nullopt;
    std::string peer = std::move(found->second);
    m_waiting.erase(found);
    return peer;
}

bool Acceptor::makeRoom(SlotNumber slot)
{
    return m_events && m_events->wsServer_DescriptorsShort(slot) > 0;
}

void Acceptor::pause(SlotNumber slot, int error)
{
    Listener* listener = listenerAt(slot);
    // Making room may have closed the listener itself.
    if (!listener)
        return;
    // Said once, however long the shortage lasts.
    if (!listener->failing && m_events) {
        listener->failing = true;
        m_events->wsServer_Error(slot, error, "Cannot accept a connection: " + socketErrorText(error));
        listener = listenerAt(slot);
        if (!listener)
            return;
    }
    m_loop.modify(listener->watch, 0);
    listener->retry = m_loop.runAfter(kAcceptRetry, [this, slot] {
        Listener* listener = listenerAt(slot);
        if (!listener)
            return;
        listener->retry = 0;
        m_loop.modify(listener->watch, Ready::Readable);
    });
}
