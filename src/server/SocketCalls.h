#pragma once

#include "NativeSocket.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The system's socket calls as the engine makes them, the same on every
// system: POSIX sockets in SocketCallsPosix.cpp, Winsock in
// SocketCallsWindows.cpp. Every socket here is non-blocking.

// Makes the system's sockets usable by this process; the first call does
// the work, later ones nothing.
void useSockets();
// A write to a connection the peer has reset may not end the program from
// the calling thread: it fails like any broken connection instead.
void shieldThreadFromBrokenPipes();

// What a send or receive came to when it is no count of bytes.
inline constexpr std::int64_t kBlocked = -1; // nothing to do now: tried again once ready
inline constexpr std::int64_t kBroken = -2;  // the connection is unusable

// Bytes received; 0 once the peer shut its sending side.
[[nodiscard]] std::int64_t receiveSome(NativeSocket socket, char* into, std::size_t size);
// Bytes sent. `moreFollows`: the bytes may wait a moment for what follows
// them, so that a small answer leaves in one packet.
[[nodiscard]] std::int64_t sendSome(NativeSocket socket, const char* data, std::size_t size, bool moreFollows = false);
// Head and body in one call: bytes sent.
[[nodiscard]] std::int64_t sendTogether(NativeSocket socket, std::string_view head, std::string_view body);
void shutdownSending(NativeSocket socket);
// Small segments leave without waiting for the peer's acknowledgements.
void sendAtOnce(NativeSocket socket);

// A listener on `port` of every IPv4 address, which no other listener may
// share; kNoSocket with the reason in `error` when the system refuses.
[[nodiscard]] NativeSocket openListener(std::uint16_t port, int backlog, std::string& error);
// The port a listener has, as the system gave it (for port 0); 0 if unknown.
[[nodiscard]] std::uint16_t boundPort(NativeSocket listener);
// A waiting connection, and its peer's address ("192.168.1.5"; empty when
// the system did not say); kNoSocket with the system's error number in
// `error` when none was taken.
[[nodiscard]] NativeSocket acceptConnection(NativeSocket listener, std::string& peer, int& error);
// "192.168.1.5:8080": where the peer reached this end; empty if unknown.
[[nodiscard]] std::string localAddress(NativeSocket socket);

// The error number of the last socket call of this thread that failed.
[[nodiscard]] int lastSocketError();
// An accept that found no connection waiting.
[[nodiscard]] bool wouldBlock(int error);
// An accept short of sockets or memory: a shortage that passes.
[[nodiscard]] bool isShortage(int error);
// The error number of running out of sockets.
[[nodiscard]] int socketShortageError();
[[nodiscard]] std::string socketErrorText(int error);

// How close the process runs to its limit of open sockets and files. On
// POSIX systems connections never use up the last descriptors: the
// listener, the files being sent and the settings file can always be
// opened. Windows has no such limit to look ahead to: there, running short
// shows only as an accept that fails.
class SocketHeadroom {
public:
    // Read once for a burst of connections.
    SocketHeadroom();
    // Whether the next connection taken from `listener` would eat into the
    // reserve; `lastAccepted` tells cheaply whether it is worth looking.
    [[nodiscard]] bool runsShort(NativeSocket lastAccepted, NativeSocket listener) const;

private:
    std::uint64_t m_limit = 0; // 0: none
};
