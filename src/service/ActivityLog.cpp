#include "ActivityLog.h"

#include "PrintableText.h"

#include <array>
#include <cstdio>

namespace {
constexpr std::size_t kAddressWidth = 15; // "255.255.255.255"
}

std::tm SystemClock::localNow() const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string formatLogEntry(const std::tm& time, std::string_view peerAddress, std::string_view message)
{
    std::array<char, 64> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "# %02d-%02d-%02d %02d:%02d:%02d # - ", time.tm_mday, time.tm_mon + 1,
                  (time.tm_year + 1900) % 100, time.tm_hour, time.tm_min, time.tm_sec);
    std::string entry(stamp.data());
    if (peerAddress.size() < kAddressWidth)
        entry.append(kAddressWidth - peerAddress.size(), ' ');
    entry.append(peerAddress).append(" - ").append(message).append("\r\n");
    return entry;
}

ActivityLog::ActivityLog(LogSink& sink, const SocketControl& wsServer, const Clock& clock)
    : m_sink(sink)
    , m_wsServer(wsServer)
    , m_clock(clock)
{
}

void ActivityLog::WriteActivityLog(std::string_view message, SlotNumber slot)
{
    m_sink.appendEntry(formatLogEntry(m_clock.localNow(), m_wsServer.RemoteHostIP(slot), printableMessage(message)));
}
