#pragma once

#include "NativeSocket.h"
#include "Readiness.h"

#include <cstdint>
#include <memory>
#include <vector>

// The system's wait for readiness behind the event loop, and the wake-up
// that ends a wait early from another thread. Sockets are named by a token
// of the loop's choosing; 0 is never one.
class ReadinessBackend {
public:
    using Token = std::uint64_t;
    struct Event {
        Token token;
        std::uint32_t ready; // Ready:: bits
    };

    virtual ~ReadinessBackend() = default;

    // `interest` is Ready:: bits; errors and hang-ups are reported anyway.
    // Throws when the system refuses.
    virtual void add(NativeSocket socket, Token token, std::uint32_t interest) = 0;
    virtual void modify(NativeSocket socket, Token token, std::uint32_t interest) = 0;
    virtual void remove(NativeSocket socket, Token token) = 0;
    // As remove, for a socket about to be closed.
    virtual void removeClosing(NativeSocket socket, Token token) = 0;
    // Waits up to `timeoutMs` (-1: as long as it takes) and fills `ready`
    // with what is ready; a wake-up ends the wait and is not among them.
    virtual void wait(int timeoutMs, std::vector<Event>& ready) = 0;
    // Safe from any thread.
    virtual void wakeUp() = 0;
};

// Throws when the system cannot make it, or does not have it.
[[nodiscard]] std::unique_ptr<ReadinessBackend> makeReadinessBackend(ReadinessBackendKind kind);
