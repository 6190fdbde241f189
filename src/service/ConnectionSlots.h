#pragma once

#include "ActivityLog.h"
#include "InstallAttempts.h"
#include "RequestService.h"
#include "SocketControl.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>

// How long a connection may keep a slot without being served; zero turns a
// limit off.
struct ConnectionLimits {
    // From the first byte of a request until the whole request (header and
    // any body) has arrived.
    std::chrono::seconds headerTimeout{60};
    // Silence with no request under way and nothing left to send.
    std::chrono::seconds idleTimeout{120};
};

// Hands out connection slots: every connection the listener accepts gets
// the next number, a socket element and a receive buffer, created together
// before the accept and removed together when the peer closes. Numbers count
// up from 1 and are never reused within a run.
//
// A slot is also closed from this end when its peer abuses it: a header
// that takes too long, a connection silent for too long, or, when
// descriptors run short, an idle connection that has to make room. None of
// these closes a connection while an answer is being sent to it.
class ConnectionSlots final : public SocketEvents {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // `now` tells the time for the limits: the steady clock unless a test
    // wants its own.
    ConnectionSlots(SocketControl& wsServer, RequestService& service, ActivityLog& log,
                    std::function<TimePoint()> now = [] { return std::chrono::steady_clock::now(); });

    void wsServer_ConnectionRequest(SlotNumber slot, ConnectionRequestId requestId) override;
    void wsServer_DataArrival(SlotNumber slot, std::int64_t bytesTotal) override;
    void wsServer_SendProgress(SlotNumber slot, std::int64_t bytesSent, std::int64_t bytesRemaining) override;
    void wsServer_Close(SlotNumber slot) override;
    void wsServer_Error(SlotNumber slot, int number, const std::string& description) override;
    void wsServer_FileCutShort(SlotNumber slot, const std::string& path, std::int64_t bytesSent, std::int64_t size,
                               bool fileShrank) override;
    void wsServer_FileProgress(SlotNumber slot, const std::string& path, std::int64_t bytesSent,
                               std::int64_t size) override;
    // Closes idle connections, the longest idle first.
    std::size_t wsServer_DescriptorsShort(SlotNumber slot) override;

    // Closes a connection from this end and releases its slot.
    void release(SlotNumber slot);

    void resetLastSlot() { m_LastSlot = 0; }
    [[nodiscard]] SlotNumber lastSlot() const { return m_LastSlot; }

    void setLimits(ConnectionLimits limits) { m_limits = limits; }
    // Tells `attempts` how the files sent went out; none: not followed.
    void followAttempts(InstallAttempts* attempts) { m_attempts = attempts; }
    // Closes the connections past a time limit, and says in the log, at most
    // once a minute, how many were closed and why. Called every so often.
    void closeExpired();

private:
    struct Activity {
        TimePoint lastActivity;
        std::optional<TimePoint> requestStarted;
        std::uint64_t requestsTaken = 0;
    };
    enum Reason { kHeaderTooSlow, kIdle, kMadeRoom, kReasons };

    void LoadSlot(SlotNumber slot);
    void UnloadSlot(SlotNumber slot);
    // Marks the connection active and times the request it has begun, if any.
    void noteActivity(SlotNumber slot);
    // Whether nothing is under way on the connection: no request begun,
    // no answer waiting or being sent.
    [[nodiscard]] bool isIdle(SlotNumber slot) const;
    [[nodiscard]] bool isSending(SlotNumber slot) const;
    void drop(SlotNumber slot, Reason reason);
    void reportClosed(TimePoint now);

    SocketControl& m_wsServer;
    RequestService& m_service;
    ActivityLog& m_log;
    InstallAttempts* m_attempts = nullptr;
    std::function<TimePoint()> m_now;
    SlotNumber m_LastSlot = 0;
    ConnectionLimits m_limits;
    std::unordered_map<SlotNumber, Activity> m_activity;
    std::array<std::size_t, kReasons> m_closed{};
    std::optional<TimePoint> m_lastReport;
};
