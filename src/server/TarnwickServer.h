#pragma once

#include "ReadinessSocketControl.h"
#include "EventLoop.h"
#include "ServerCore.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

// The serving engine on an I/O thread of its own, and the small handle the
// window holds: every call is safe from any thread but the I/O thread
// itself, and returns once the engine has done what it asks. Entries go to
// `logSink` from the I/O thread.
class TarnwickServer {
public:
    // Entries are stamped by `clock`, or by the system's clock when none is
    // given. The engine waits with `backend`: by default the system's own,
    // or the one TARNWICK_READINESS names.
    explicit TarnwickServer(LogSink& logSink, const Clock* clock = nullptr,
                            ReadinessBackendKind backend = chosenReadinessBackend());
    // Stops the I/O thread; the listener and every connection close with it.
    ~TarnwickServer();
    TarnwickServer(const TarnwickServer&) = delete;
    TarnwickServer& operator=(const TarnwickServer&) = delete;

    // Closes the listener if it listens and listens again on `port`, with
    // `limits` for the connections from now on. On failure returns false
    // with the reason in `error`; the listener stays closed.
    [[nodiscard]] bool startListening(std::int32_t port, std::string& error, ConnectionLimits limits = {});
    // Closes the listener only: open connections go on being served. The
    // files kept open for the next requests are let go, here and when a
    // start fails.
    void stopListening();
    [[nodiscard]] bool isListening() const;
    [[nodiscard]] std::uint16_t listeningPort() const;
    // Whether folders are answered with their games (see RequestService).
    void setGameList(bool on);
    // Whether descriptors are answered repaired (see RequestService).
    void setRepairDescriptors(bool on);

    // The engine's own copy of the game directory, in force from the next request on.
    void setGameDirectory(std::string virtualDir);
    // The games of the game directory, checked as phones will install them;
    // the findings reach the log sink. Safe from any thread.
    [[nodiscard]] GameCheck& gameCheck() { return m_core.check(); }
    // Called on the I/O thread with an install attempt each time it changes;
    // it must not block.
    void setAttemptHandler(std::function<void(const InstallAttempt&)> handler);

    void resetLastSlot();
    [[nodiscard]] SlotNumber lastSlot() const;

private:
    // Looks for connections past their time limits, and files kept open past
    // theirs, every so often.
    void sweepLater();
    // Runs `task` on the I/O thread and waits for its result.
    template <typename Task>
    auto onIoThread(Task task) const -> decltype(task());

    SystemClock m_systemClock;
    mutable EventLoop m_loop;
    ReadinessSocketControl m_wsServer;
    mutable ServerCore m_core;
    std::thread m_thread;
};
