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
    // `now` tells the time for the connection limits (the steady clock by default).
    ServerCore(SocketControl& wsServer, LogSink& sink, const Clock& clock,
               std::function<ConnectionSlots::TimePoint()> now = [] { return std::chrono::steady_clock::now(); });
    ServerCore(const ServerCore&) = delete;
    ServerCore& operator=(const ServerCore&) = delete;

    RequestService& service() { return m_service; }
    ConnectionSlots& slots() { return m_slots; }

private:
    ActivityLog m_log;
    RequestService m_service;
    ConnectionSlots m_slots;
};
