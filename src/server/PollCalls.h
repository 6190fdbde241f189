#pragma once

#include "NativeSocket.h"

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

// The system's poll, for the poll backend: poll on POSIX systems, WSAPoll
// on Windows, over the same pollfd array. Defined with the other socket
// calls of each system.

// The number of entries with something to report, 0 on time-out or when a
// signal ended the wait, -1 when the system refuses.
[[nodiscard]] int pollSockets(pollfd* entries, std::size_t count, int timeoutMs);
// Ready:: bits to what an entry asks for, and what it reports back to them.
[[nodiscard]] short pollInterest(std::uint32_t interest);
[[nodiscard]] std::uint32_t pollReadiness(short revents);
// What an entry watching `socket` for `interest` polls: the socket, or one
// the system passes over.
[[nodiscard]] NativeSocket polledSocket(NativeSocket socket, std::uint32_t interest);
