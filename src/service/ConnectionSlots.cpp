#include "ConnectionSlots.h"

#include "PrintableText.h"

#include <algorithm>
#include <vector>

namespace {

// How often the log may say that connections were closed from this end.
constexpr std::chrono::minutes kReportInterval{1};
// Connections closed at once to make room when descriptors run short.
constexpr std::size_t kRoomPerShortage = 16;

// 445000 as "445,000": the sizes of games are read at a glance.
std::string connections(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " connection" : " connections");
}

} // namespace

ConnectionSlots::ConnectionSlots(SocketControl& wsServer, RequestService& service, ActivityLog& log,
                                 std::function<TimePoint()> now)
    : m_wsServer(wsServer)
    , m_service(service)
    , m_log(log)
    , m_now(std::move(now))
{
}

void ConnectionSlots::wsServer_ConnectionRequest(SlotNumber slot, ConnectionRequestId requestId)
{
    if (slot != 0)
        return;
    const SlotNumber newSlot = ++m_LastSlot;
    LoadSlot(newSlot);
    m_wsServer.LocalPort(newSlot, 0);
    if (m_wsServer.State(newSlot) != SocketState::Closed)
        m_wsServer.Close(newSlot);
    m_wsServer.Accept(newSlot, requestId);
}

void ConnectionSlots::wsServer_DataArrival(SlotNumber slot, std::int64_t /*bytesTotal*/)
{
    m_service.takeArrivedData(slot);
    noteActivity(slot);
}

void ConnectionSlots::wsServer_SendProgress(SlotNumber slot, std::int64_t /*bytesSent*/, std::int64_t bytesRemaining)
{
    m_service.resumeAfterSending(slot, bytesRemaining);
    // A held-up connection takes the requests that waited as it goes on.
    noteActivity(slot);
}

void ConnectionSlots::noteActivity(SlotNumber slot)
{
    const auto found = m_activity.find(slot);
    const auto progress = m_service.progress(slot);
    if (found == m_activity.end() || !progress)
        return;
    Activity& activity = found->second;
    activity.lastActivity = m_now();
    // The header's time runs from the first byte of each request.
    if (!progress->partialRequest)
        activity.requestStarted.reset();
    else if (!activity.requestStarted || progress->requestsTaken != activity.requestsTaken)
        activity.requestStarted = activity.lastActivity;
    activity.requestsTaken = progress->requestsTaken;
}

void ConnectionSlots::wsServer_Close(SlotNumber slot)
{
    release(slot);
}

void ConnectionSlots::wsServer_Error(SlotNumber slot, int number, const std::string& description)
{
    m_log.WriteActivityLog("Error " + std::to_string(number) + ": " + description, slot);
}

void ConnectionSlots::wsServer_FileCutShort(SlotNumber slot, const std::string& path, std::int64_t bytesSent,
                                            std::int64_t size, bool fileShrank)
{
    const std::string progress = "closed after " + withThousands(bytesSent) + " of " + withThousands(size) + " bytes";
    // A download cut short is the commonest sign of a phone that ran out of
    // memory or lost the network in the middle of an install.
    m_log.WriteActivityLog(fileShrank ? path + " shrank while it was sent; the connection was " + progress
                                      : path + " " + progress,
                           slot);
    if (m_attempts)
        m_attempts->fileCutShort(slot, path, bytesSent, size);
}

void ConnectionSlots::wsServer_FileProgress(SlotNumber slot, const std::string& path, std::int64_t bytesSent,
                                            std::int64_t size)
{
    if (m_attempts)
        m_attempts->fileProgress(slot, path, bytesSent, size);
}

std::size_t ConnectionSlots::wsServer_DescriptorsShort(SlotNumber /*slot*/)
{
    // Files kept open for the next requests go before any connection does.
    if (const std::size_t released = m_service.releaseOpenFiles(); released > 0)
        return released;
    std::vector<std::pair<TimePoint, SlotNumber>> idle;
    for (const auto& [slot, activity] : m_activity)
        if (isIdle(slot))
            idle.emplace_back(activity.lastActivity, slot);
    const std::size_t count = std::min(idle.size(), kRoomPerShortage);
    std::partial_sort(idle.begin(), idle.begin() + static_cast<std::ptrdiff_t>(count), idle.end());
    for (std::size_t i = 0; i < count; ++i)
        drop(idle[i].second, kMadeRoom);
    if (count > 0)
        reportClosed(m_now());
    return count;
}

void ConnectionSlots::closeExpired()
{
    const TimePoint now = m_now();
    std::vector<std::pair<SlotNumber, Reason>> expired;
    for (const auto& [slot, activity] : m_activity) {
        if (isSending(slot))
            continue;
        const auto header = m_limits.headerTimeout;
        const auto idle = m_limits.idleTimeout;
        if (header.count() > 0 && activity.requestStarted && now - *activity.requestStarted >= header)
            expired.emplace_back(slot, kHeaderTooSlow);
        else if (idle.count() > 0 && isIdle(slot) && now - activity.lastActivity >= idle)
            expired.emplace_back(slot, kIdle);
    }
    for (const auto& [slot, reason] : expired)
        drop(slot, reason);
    reportClosed(now);
}

void ConnectionSlots::release(SlotNumber slot)
{
    if (slot == 0)
        return;
    if (m_wsServer.State(slot) != SocketState::Closed)
        m_wsServer.Close(slot);
    UnloadSlot(slot);
}

void ConnectionSlots::LoadSlot(SlotNumber slot)
{
    m_wsServer.Load(slot);
    m_service.addConnection(slot);
    m_activity[slot] = Activity{m_now(), std::nullopt, 0};
}

void ConnectionSlots::UnloadSlot(SlotNumber slot)
{
    m_wsServer.Unload(slot);
    m_service.removeConnection(slot);
    m_activity.erase(slot);
    if (m_attempts)
        m_attempts->connectionClosed(slot);
}

bool ConnectionSlots::isSending(SlotNumber slot) const
{
    const auto progress = m_service.progress(slot);
    return m_wsServer.unsentBytes(slot) > 0 || (progress && progress->answersPending);
}

bool ConnectionSlots::isIdle(SlotNumber slot) const
{
    const auto progress = m_service.progress(slot);
    return progress && !progress->partialRequest && !isSending(slot);
}

void ConnectionSlots::drop(SlotNumber slot, Reason reason)
{
    // Nobody waits for an answer on it: it goes at once, without lingering.
    if (m_wsServer.State(slot) != SocketState::Closed)
        m_wsServer.Drop(slot);
    UnloadSlot(slot);
    ++m_closed[reason];
}

void ConnectionSlots::reportClosed(TimePoint now)
{
    if (std::all_of(m_closed.begin(), m_closed.end(), [](std::size_t count) { return count == 0; }))
        return;
    if (m_lastReport && now - *m_lastReport < kReportInterval)
        return;
    std::string message;
    const auto add = [&message](std::size_t count, const std::string& why) {
        if (count > 0)
            message += (message.empty() ? "Closed " : "; closed ") + connections(count) + " " + why;
    };
    add(m_closed[kHeaderTooSlow],
        "that took over " + std::to_string(m_limits.headerTimeout.count()) + " s to send a request");
    add(m_closed[kIdle], "silent for " + std::to_string(m_limits.idleTimeout.count()) + " s with nothing under way");
    add(m_closed[kMadeRoom], "idle the longest, to make room when descriptors ran short");
    m_log.WriteActivityLog(message + ".", 0);
    m_closed = {};
    m_lastReport = now;
}
