#include "EventLoop.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include <csignal>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// The wake-up descriptor's token; watches count up from 1.
constexpr EventLoop::WatchId kWakeUpToken = 0;
constexpr int kEventsPerWait = 256;

[[noreturn]] void failSystem(const char* what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}
} // namespace

EventLoop::EventLoop()
    : m_epoll(::epoll_create1(EPOLL_CLOEXEC))
    , m_wakeUp(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (m_epoll < 0 || m_wakeUp < 0)
        failSystem("Cannot make the event loop");
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeUpToken;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeUp, &event) != 0)
        failSystem("Cannot make the event loop");
}

EventLoop::~EventLoop()
{
    ::close(m_wakeUp);
    ::close(m_epoll);
}

EventLoop::WatchId EventLoop::watch(int fd, std::uint32_t events, Handler handler)
{
    const WatchId id = m_nextWatch++;
    epoll_event event{};
    event.events = events;
    // Events carry the watch's token rather than the descriptor: a descriptor
    // closed and reused within one turn never receives its predecessor's
    // events.
    event.data.u64 = id;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0)
        failSystem("Cannot watch a descriptor");
    m_watches.emplace(id, Watch{fd, std::move(handler)});
    return id;
}

void EventLoop::modify(WatchId id, std::uint32_t events)
{
    const auto found = m_watches.find(id);
    if (found == m_watches.end())
        return;
    epoll_event event{};
    event.events = events;
    event.data.u64 = id;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, found->second.fd, &event);
}

void EventLoop::unwatch(WatchId id)
{
    const auto found = m_watches.find(id);
    if (found == m_watches.end())
        return;
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, found->second.fd, nullptr);
    m_watches.erase(found);
}

void EventLoop::unwatchClosing(WatchId id)
{
    m_watches.erase(id);
}

EventLoop::TimerId EventLoop::runAfter(std::chrono::milliseconds delay, std::function<void()> task)
{
    const TimerId id = m_nextTimer++;
    m_deadlines.emplace(std::chrono::steady_clock::now() + delay, id);
    m_timers.emplace(id, std::move(task));
    return id;
}

void EventLoop::cancel(TimerId id)
{
    // Its deadline stays behind and finds nothing to run.
    m_timers.erase(id);
}

EventLoop::EndOfTurnId EventLoop::addEndOfTurn(std::function<bool()> task)
{
    const EndOfTurnId id = m_nextEndOfTurn++;
    m_endOfTurn.emplace(id, std::move(task));
    return id;
}

void EventLoop::post(std::function<void()> task)
{
    bool wasEmpty = false;
    {
        const std::lock_guard lock(m_postedMutex);
        wasEmpty = m_posted.empty();
        m_posted.push_back(std::move(task));
    }
    if (wasEmpty) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_wakeUp, &one, sizeof one);
    }
}

void EventLoop::quit()
{
    post([this] { m_quit = true; });
}

void EventLoop::run()
{
    // A write to a connection the peer has reset raises SIGPIPE in the
    // writing thread, and sendfile has no flag to prevent it: blocked here,
    // it leaves the write failing with EPIPE instead of ending the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    std::array<epoll_event, kEventsPerWait> events{};
    m_quit = false;
    while (!m_quit) {
        const int count = ::epoll_wait(m_epoll, events.data(), kEventsPerWait, waitMilliseconds());
        if (count < 0 && errno != EINTR)
            failSystem("The event loop cannot wait");
        for (int i = 0; i < count; ++i) {
            const WatchId id = events[i].data.u64;
            if (id == kWakeUpToken) {
                std::uint64_t ignored = 0;
                [[maybe_unused]] const auto read = ::read(m_wakeUp, &ignored, sizeof ignored);
                continue;
            }
            const auto found = m_watches.find(id);
            if (found == m_watches.end())
                continue; // unwatched by an earlier handler of this turn
            // A copy: the handler may unwatch itself.
            const Handler handler = found->second.handler;
            handler(events[i].events);
        }
        runDueTimers();
        runPosted();
        m_workLeft = false;
        for (const auto& [id, task] : m_endOfTurn)
            m_workLeft = task() || m_workLeft;
    }
}

int EventLoop::waitMilliseconds() const
{
    if (m_workLeft)
        return 0;
    {
        // Work posted while the turn ran would otherwise wait for its wake-up.
        const std::lock_guard lock(m_postedMutex);
        if (!m_posted.empty())
            return 0;
    }
    if (m_deadlines.empty())
        return -1;
    const auto left = m_deadlines.begin()->first - std::chrono::steady_clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms <= 0 ? 0 : static_cast<int>(std::min<long long>(ms, 60'000));
}

void EventLoop::runDueTimers()
{
    const auto now = std::chrono::steady_clock::now();
    while (!m_deadlines.empty() && m_deadlines.begin()->first <= now) {
        const TimerId id = m_deadlines.begin()->second;
        m_deadlines.erase(m_deadlines.begin());
        const auto found = m_timers.find(id);
        if (found == m_timers.end())
            continue;
        const std::function<void()> task = std::move(found->second);
        m_timers.erase(found);
        task();
    }
}

void EventLoop::runPosted()
{
    std::deque<std::function<void()>> turn;
    {
        const std::lock_guard lock(m_postedMutex);
        turn.swap(m_posted);
    }
    for (auto& task : turn)
        task();
}
