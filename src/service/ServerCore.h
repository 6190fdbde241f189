#pragma once

#include "ActivityLog.h"
#include "ConnectionSlots.h"
#include "InstallAttempts.h"
#include "RequestService.h"
#include "SocketControl.h"

// The activity log, the request service, the connection slots and the
// install attempts they follow, wired together over one socket array: the
// same wiring for the program and for the tests, whatever the sockets are.
class ServerCore {
public:
    // `now` tells the time for the connection limits (the steady clock by default).
    ServerCore(SocketControl& wsServer, LogSink& sink, const Clock& clock,
               std::function<ConnectionSlots::TimePoint()> now = [] { return std::chrono::steady_clock::now(); });
    ServerCore(const ServerCore&) = delete;
    ServerCore& operator=(const ServerCore&) = delete;

    RequestService& service() { return m_service; }
    ConnectionSlots& slots() { return m_slots; }
    InstallAttempts& attempts() { return m_attempts; }

private:
    ActivityLog m_log;
    InstallAttempts m_attempts;
    RequestService m_service;
    ConnectionSlots m_slots;
};
