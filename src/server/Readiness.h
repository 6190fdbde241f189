#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// What a watched socket is ready for, as the event loop's handlers see it,
// whichever of the system's calls found out. The values are epoll's own, so
// that its backend hands them on as they come.
namespace Ready {
inline constexpr std::uint32_t Readable = 0x001;
inline constexpr std::uint32_t Writable = 0x004;
inline constexpr std::uint32_t Error = 0x008;
// Both directions are down: nothing more can be sent.
inline constexpr std::uint32_t HangUp = 0x010;
} // namespace Ready

// How the event loop waits for readiness.
//
// epoll is the Linux default: it costs nothing per idle connection, which
// the measurements of a busy server rest on. The second backend is shaped
// after poll: an array of sockets and the readiness each is watched for,
// handed to the system at every wait. On Windows it is WSAPoll over the
// same array. Poll-shaped rather than completion ports, because
//  - the same backend builds on POSIX systems too, so every test run here
//    runs it natively, not only the Windows build under an emulator;
//  - readiness fits the engine as it is: handlers are told a socket is
//    ready and make the non-blocking call themselves, where completion
//    ports would hand in buffers and have the system fill them later;
//  - WSAPoll's known weakness, a failed connect that older Windows (before
//    Windows 10 2004) never reported, does not touch a server that only
//    accepts.
// Scanning the whole array at every wait is fine for the connections one
// Windows machine serves phones with.
enum class ReadinessBackendKind { Epoll, Poll };

// The backends this system has: epoll and poll on Linux, poll elsewhere.
[[nodiscard]] std::vector<ReadinessBackendKind> availableReadinessBackends();
// epoll on Linux, poll elsewhere.
[[nodiscard]] ReadinessBackendKind defaultReadinessBackend();
// The default, unless TARNWICK_READINESS names another this system has
// ("epoll", "poll"): so that the program can be run on either.
[[nodiscard]] ReadinessBackendKind chosenReadinessBackend();
[[nodiscard]] std::string_view readinessBackendName(ReadinessBackendKind kind);
[[nodiscard]] std::optional<ReadinessBackendKind> readinessBackendNamed(std::string_view name);
