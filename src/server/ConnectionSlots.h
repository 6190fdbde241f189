#pragma once

#include "ActivityLog.h"
#include "RequestService.h"
#include "SocketControl.h"

// Hands out connection slots: every connection the listener accepts gets
// the next number, a socket element and a receive buffer, created together
// before the accept and removed together when the peer closes. Numbers count
// up from 1 and are never reused within a run.
class ConnectionSlots final : public SocketEvents {
public:
    ConnectionSlots(SocketControl& wsServer, RequestService& service, ActivityLog& log);

    void wsServer_ConnectionRequest(SlotNumber slot, ConnectionRequestId requestId) override;
    void wsServer_DataArrival(SlotNumber slot, std::int64_t bytesTotal) override;
    void wsServer_SendProgress(SlotNumber slot, std::int64_t bytesSent, std::int64_t bytesRemaining) override;
    void wsServer_Close(SlotNumber slot) override;
    void wsServer_Error(SlotNumber slot, int number, const std::string& description) override;
    void wsServer_FileCutShort(SlotNumber slot, const std::string& path, std::int64_t bytesSent, std::int64_t size,
                               bool fileShrank) override;

    // Closes a connection from this end and releases its slot.
    void release(SlotNumber slot);

    void resetLastSlot() { m_LastSlot = 0; }
    [[nodiscard]] SlotNumber lastSlot() const { return m_LastSlot; }

private:
    void LoadSlot(SlotNumber slot);
    void UnloadSlot(SlotNumber slot);

    SocketControl& m_wsServer;
    RequestService& m_service;
    ActivityLog& m_log;
    SlotNumber m_LastSlot = 0;
};
