#pragma once

#include "ActivityLog.h"
#include "ConnectionSlots.h"
#include "GameCheck.h"
#include "GameRecords.h"
#include "GameWorker.h"
#include "InstallAttempts.h"
#include "RequestService.h"
#include "SocketControl.h"

// The activity log, the request service, the connection slots, the install
// attempts they follow and the game check, wired together over one socket
// array: the same wiring for the program and for the tests, whatever the
// sockets are. The check's findings go to the log beside the requests; it
// looks again at a game whose descriptor is served after it changed.
class ServerCore {
public:
    // `now` tells the time for the connection limits (the steady clock by
    // default); `sources` are what the games are read with.
    ServerCore(SocketControl& wsServer, LogSink& sink, const Clock& clock,
               std::function<ConnectionSlots::TimePoint()> now = [] { return std::chrono::steady_clock::now(); },
               RecordSources sources = {});
    ServerCore(const ServerCore&) = delete;
    ServerCore& operator=(const ServerCore&) = delete;

    RequestService& service() { return m_service; }
    ConnectionSlots& slots() { return m_slots; }
    InstallAttempts& attempts() { return m_attempts; }
    // Safe from any thread.
    GameCheck& check() { return m_check; }

    GameRecords& records() { return m_records; }

private:
    // First: the jobs of the check and the game list end before the rest goes.
    GameWorker m_worker;
    // What the engine, the game list and the check read of each game, shared.
    GameRecords m_records;
    ActivityLog m_log;
    InstallAttempts m_attempts;
    RequestService m_service;
    ConnectionSlots m_slots;
    GameCheck m_check;
};
