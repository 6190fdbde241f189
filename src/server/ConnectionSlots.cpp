#include "ConnectionSlots.h"

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
