#include "ConnectionSlots.h"

namespace {

// 445000 as "445,000": the sizes of games are read at a glance.
std::string withThousands(std::int64_t number)
{
    std::string digits = std::to_string(number);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    return digits;
}

} // namespace

ConnectionSlots::ConnectionSlots(SocketControl& wsServer, RequestService& service, ActivityLog& log)
    : m_wsServer(wsServer)
    , m_service(service)
    , m_log(log)
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
    m_service.wsServer_DataArrival(slot);
}

void ConnectionSlots::wsServer_SendProgress(SlotNumber slot, std::int64_t /*bytesSent*/, std::int64_t bytesRemaining)
{
    m_service.wsServer_SendProgress(slot, bytesRemaining);
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
    m_service.LoadBuffer(slot);
}

void ConnectionSlots::UnloadSlot(SlotNumber slot)
{
    m_wsServer.Unload(slot);
    m_service.UnloadBuffer(slot);
}
