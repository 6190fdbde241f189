#pragma once

#include "NativeSocket.h"
#include "Readiness.h"
#include "ReadinessBackend.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// One thread's event loop: sockets watched for readiness, timers, work
// posted from other threads (which wakes the loop), and work run at the end
// of every turn, after the events of that turn. The wait itself is the
// backend's, chosen when the loop is made (see Readiness.h).
//
// Everything but post() and quit() belongs to the loop's own thread.
class EventLoop {
public:
    using WatchId = std::uint64_t;
    using TimerId = std::uint64_t;
    using Handler = std::function<void(std::uint32_t events)>;

    explicit EventLoop(ReadinessBackendKind backend = defaultReadinessBackend());
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Calls `handler` with the Ready:: bits whenever `socket` is ready for
    // `events` (Ready:: bits; errors and hang-ups are always reported). A
    // handler may watch and unwatch freely, its own socket included.
    WatchId watch(NativeSocket socket, std::uint32_t events, Handler handler);
    void modify(WatchId id, std::uint32_t events);
    void unwatch(WatchId id);
    // As unwatch, for a socket that is closed before anything else is
    // watched: with epoll, closing it takes it out of the system's set, so
    // telling the system first would be a system call for nothing.
    void unwatchClosing(WatchId id);

    TimerId runAfter(std::chrono::milliseconds delay, std::function<void()> task);
    void cancel(TimerId id);

    // Runs `task` once after every turn's events, timers and posted work,
    // until removed; when it answers true, it has work left for the next
    // turn, which then starts without waiting.
    using EndOfTurnId = std::uint64_t;
    EndOfTurnId addEndOfTurn(std::function<bool()> task);
    void removeEndOfTurn(EndOfTurnId id) { m_endOfTurn.erase(id); }

    // Safe from any thread: the task runs on the loop's thread, in order.
    void post(std::function<void()> task);
    // Safe from any thread: run() returns after the current turn.
    void quit();

    void run();

private:
    struct Watch {
        NativeSocket socket;
        Handler handler;
    };
    using TimePoint = std::chrono::steady_clock::time_point;

    [[nodiscard]] int waitMilliseconds() const;
    void runDueTimers();
    void runPosted();

    std::unique_ptr<ReadinessBackend> m_backend;
    WatchId m_nextWatch = 1;
    std::unordered_map<WatchId, Watch> m_watches;
    TimerId m_nextTimer = 1;
    std::multimap<TimePoint, TimerId> m_deadlines;
    std::unordered_map<TimerId, std::function<void()>> m_timers;
    EndOfTurnId m_nextEndOfTurn = 1;
    std::map<EndOfTurnId, std::function<bool()>> m_endOfTurn;
    bool m_workLeft = false;

    mutable std::mutex m_postedMutex;
    std::deque<std::function<void()>> m_posted;
    bool m_quit = false;
};
