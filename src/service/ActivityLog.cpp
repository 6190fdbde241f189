#include "ActivityLog.h"

#include "PrintableText.h"

namespace {

constexpr std::size_t kAddressWidth = 15; // "255.255.255.255"

// What follows the stamp and comes before the message: the address
// right-aligned, then " - ".
void appendAddress(std::string& entry, std::string_view peerAddress)
{
    if (peerAddress.size() < kAddressWidth)
        entry.append(kAddressWidth - peerAddress.size(), ' ');
    entry.append(peerAddress).append(" - ");
}

} // namespace

std::string formatLogEntry(const std::tm& time, std::string_view peerAddress, std::string_view message)
{
    std::string entry = formatLogStamp(time);
    appendAddress(entry, peerAddress);
    entry.append(message).append("\r\n");
    return entry;
}

ActivityLog::ActivityLog(LogSink& sink, const SocketControl& wsServer, const Clock& clock)
    : m_sink(sink)
    , m_wsServer(&wsServer)
    , m_stamp(clock)
{
}

ActivityLog::ActivityLog(LogSink& sink, const Clock& clock)
    : m_sink(sink)
    , m_stamp(clock)
{
}

void ActivityLog::WriteActivityLog(std::string_view message, SlotNumber slot)
{
    WriteActivityLog(message, m_wsServer ? m_wsServer->RemoteHostIP(slot) : std::string());
}

void ActivityLog::WriteActivityLog(std::string_view message, std::string_view peerAddress)
{
    WriteActivityLog(message, {}, peerAddress);
}

void ActivityLog::WriteActivityLog(std::string_view message, std::string_view more, std::string_view peerAddress)
{
    std::lock_guard lock(m_mutex);
    m_entry.assign(m_stamp.now());
    appendAddress(m_entry, peerAddress);
    appendPrintable(m_entry, message);
    appendPrintable(m_entry, more);
    m_entry.append("\r\n");
    m_sink.appendEntry(m_entry);
}
