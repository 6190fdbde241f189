#include "EventLoop.h"

#include "SocketCalls.h"

#include <algorithm>

namespace {
// Room for a busy turn's events from the start.
constexpr std::size_t kEventsPerWait = 256;
} // namespace

EventLoop::EventLoop(ReadinessBackendKind backend)
{
    useSockets();
    m_backend = makeReadinessBackend(backend);
}

EventLoop::~EventLoop() = default;

EventLoop::WatchId EventLoop::watch(NativeSocket socket, std::uint32_t events, Handler handler)
{
    const WatchId id = m_nextWatch++;
    m_backend->add(socket, id, events);
    m_watches.emplace(id, Watch{socket, std::move(handler)});
    return id;
}

void EventLoop::modify(WatchId id, std::uint32_t events)
{
    const auto found = m_watches.find(id);
    if (found != m_watches.end())
        m_backend->modify(found->second.socket, id, events);
}

void EventLoop::unwatch(WatchId id)
{
    const auto found = m_watches.find(id);
    if (found == m_watches.end())
        return;
    m_backend->remove(found->second.socket, id);
    m_watches.erase(found);
}

void EventLoop::unwatchClosing(WatchId id)
{
    const auto found = m_watches.find(id);
    if (found == m_watches.end())
        return;
    m_backend->removeClosing(found->second.socket, id);
    m_watches.erase(found);
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
    if (wasEmpty)
        m_backend->wakeUp();
}

void EventLoop::quit()
{
    post([this] { m_quit = true; });
}

void EventLoop::run()
{
    shieldThreadFromBrokenPipes();
    std::vector<ReadinessBackend::Event> events;
    events.reserve(kEventsPerWait);
    m_quit = false;
    while (!m_quit) {
        m_backend->wait(waitMilliseconds(), events);
        for (const ReadinessBackend::Event& event : events) {
            const auto found = m_watches.find(event.token);
            if (found == m_watches.end())
                continue; // unwatched by an earlier handler of this turn
            // A copy: the handler may unwatch itself.
            const Handler handler = found->second.handler;
            handler(event.ready);
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
