#pragma once

#include "EventLoop.h"
#include "NativeSocket.h"
#include "OutgoingQueue.h"

#include <cstdint>
#include <span>
#include <string>

// One accepted connection: what it received and nobody took yet, the
// answers queued for it, and the readiness its socket is watched for.
struct Connection {
    enum class ReadResult { Nothing, Arrived, Broken };

    explicit Connection(NativeSocket acceptedSocket);

    // Reads once into `input`, unless it is full or the peer shut its side.
    ReadResult readSome(std::span<char> buffer);
    // Sends up to one slice of the queue.
    OutgoingQueue::WriteResult writeSome(OutgoingQueue::SmallBodyBuffer& smallBody, std::int64_t& written,
                                         std::vector<OutgoingQueue::FileMoved>* moved = nullptr);
    // The peer shut its side, had every answer and all it sent was taken.
    [[nodiscard]] bool finished() const { return peerShut && output.empty() && input.empty(); }
    // Brings the readiness watched for in line with the connection's state.
    void updateInterest(EventLoop& loop);
    // "192.168.1.5:8080": where the peer reached this server.
    [[nodiscard]] std::string localAddress() const;

    OwnedSocket socket;
    EventLoop::WatchId watch = 0;
    std::uint32_t interest = 0;
    std::string input;
    OutgoingQueue output;
    // The peer shut its sending side: its answers still go out.
    bool peerShut = false;
    // Sends at the end of this turn.
    bool flushQueued = false;
    // Something was written to the socket already.
    bool hasWritten = false;
    // The socket sends small segments without waiting for acknowledgements.
    bool sendsAtOnce = false;
};
