#pragma once

#include "ActivityLog.h"
#include "ConnectionSlots.h"
#include "RequestService.h"
#include "SocketControl.h"

// The activity log, the request service and the connection slots wired
// together over one socket array: the same wiring for the program and for
// the tests, whatever the sockets are.
class ServerCore {
public:
    ServerCore(SocketControl& wsServer, LogSink& sink, const Clock& clock);
    ServerCore(const ServerCore&) = delete;
    ServerCore& operator=(const ServerCore&) = delete;

    ActivityLog& log() { return m_log; }
    RequestService& service() { return m_service; }
    ConnectionSlots& slots() { return m_slots; }

private:
    ActivityLog m_log;
    RequestService m_service;
    ConnectionSlots m_slots;
};
