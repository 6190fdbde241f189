#pragma once

#include "EventLoop.h"
#include "NativeSocket.h"
#include "OutgoingQueue.h"

#include <cstdint>
#include <span>
#include <unordered_map>

// Connections closed from this end that have not gone yet. What was queued
// for one still goes out, then only its sending side is shut: closing at
// once while the peer is still sending would make the system reset the
// connection, and the peer could lose the answer it was sent. So what
// arrives meanwhile is read and dropped until the peer closes too, or the
// time is up. Nothing here raises events: the element was closed already.
class LingeringCloses {
public:
    // The buffers are shared with the owner's live connections: one turn
    // uses them at a time.
    LingeringCloses(EventLoop& loop, std::span<char> readBuffer, OutgoingQueue::SmallBodyBuffer& smallBody);
    // Whatever still lingers is cut.
    ~LingeringCloses();
    LingeringCloses(const LingeringCloses&) = delete;
    LingeringCloses& operator=(const LingeringCloses&) = delete;

    // Takes over a connection's socket, no longer watched by anyone else,
    // with what is still queued for it; `peerShut` when the peer shut its
    // sending side already.
    void start(OwnedSocket socket, OutgoingQueue unsent, bool peerShut);

private:
    struct Lingering {
        OwnedSocket socket;
        OutgoingQueue output;
        EventLoop::WatchId watch = 0;
        std::uint32_t interest = 0;
        EventLoop::TimerId deadline = 0;
        bool peerShut = false;
        bool sendingShut = false;
    };

    void onReady(std::uint64_t id);
    void end(std::uint64_t id);

    EventLoop& m_loop;
    std::span<char> m_readBuffer;
    OutgoingQueue::SmallBodyBuffer& m_smallBody;
    std::uint64_t m_nextId = 1;
    std::unordered_map<std::uint64_t, Lingering> m_lingering;
};
