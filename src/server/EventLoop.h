#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>

// One thread's event loop on epoll: descriptors watched for readiness,
// timers, work posted from other threads (which wakes the loop), and work
// run at the end of every turn, after the events of that turn.
//
// Everything but post() and quit() belongs to the loop's own thread.
class EventLoop {
public:
    using WatchId = std::uint64_t;
    using TimerId = std::uint64_t;
    using Handler = std::function<void(std::uint32_t events)>;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Calls `handler` with the epoll event bits whenever `fd` is ready for
    // `events` (errors and hang-ups are always reported). A handler may
    // watch and unwatch freely, its own descriptor included.
    WatchId watch(int fd, std::uint32_t events, Handler handler);
    void modify(WatchId id, std::uint32_t events);
    void unwatch(WatchId id);
    // As unwatch, for a descriptor that is closed before anything else is
    // watched: closing it takes it out of the system's set, so telling the
    // system first would be a system call for nothing.
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
        int fd;
        Handler handler;
    };
    using TimePoint = std::chrono::steady_clock::time_point;

    [[nodiscard]] int waitMilliseconds() const;
    void runDueTimers();
    void runPosted();

    int m_epoll = -1;
    int m_wakeUp = -1;
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
