#pragma once

#include "EventLoop.h"
#include "NativeSocket.h"
#include "SocketControl.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

// The listening sockets of the elements that listen, and the connections
// taken from them that wait for an element to take them over. Each
// connection taken is offered through wsServer_ConnectionRequest; one that
// no element took over by the end of that call is refused.
//
// Connections never use up the last descriptors (see SocketHeadroom).
// Short of them, or of sockets, the owner is asked to make room, and
// failing that the listener pauses and tries again a little later.
class Acceptor {
public:
    explicit Acceptor(EventLoop& loop);
    // Closes every listener and refuses every connection still waiting.
    ~Acceptor();
    Acceptor(const Acceptor&) = delete;
    Acceptor& operator=(const Acceptor&) = delete;

    void setEventHandler(SocketEvents* events) { m_events = events; }

    // Closes the slot's listener if it has one and listens on `port` on
    // every IPv4 address; on failure returns false and says why in `error`.
    [[nodiscard]] bool listen(SlotNumber slot, std::uint16_t port, std::string& error);
    void close(SlotNumber slot);
    [[nodiscard]] bool isListening(SlotNumber slot) const { return m_listeners.contains(slot); }
    // The port the slot listens on, as the system gave it (for port 0).
    [[nodiscard]] std::uint16_t boundPort(SlotNumber slot) const;

    // When the connection still waits, it is the caller's now, and this is
    // its peer's address ("192.168.1.5"; empty when the system did not say).
    [[nodiscard]] std::optional<std::string> takeOver(ConnectionRequestId requestId);

private:
    struct Listener {
        OwnedSocket socket;
        EventLoop::WatchId watch = 0;
        EventLoop::TimerId retry = 0;
        // The shortage has been reported and has not passed yet.
        bool failing = false;
    };

    Listener* listenerAt(SlotNumber slot);
    void onReady(SlotNumber slot);
    void pause(SlotNumber slot, int error);
    // Whether the listener may go on taking connections with descriptors
    // short: only when the owner made room.
    bool makeRoom(SlotNumber slot);

    EventLoop& m_loop;
    SocketEvents* m_events = nullptr;
    std::unordered_map<SlotNumber, Listener> m_listeners;
    // Accepted by the system, not yet taken over by an element; with the peer's address.
    std::unordered_map<ConnectionRequestId, std::string> m_waiting;
    // The connection taken last: how close to the limit the process runs.
    NativeSocket m_lastAccepted = 0;
};
