#pragma once

#include "ActivityLog.h"
#include "ConnectionSlots.h"
#include "QtScheduler.h"
#include "QtSocketControl.h"
#include "RequestService.h"

#include <optional>
#include <string>
#include <string_view>

// The socket array, the connection slots and the request service, wired
// together on the Qt event loop. The owner keeps the game directory and the
// log area; this serves from the one and writes to the other.
class TarnwickServer {
public:
    // Entries are stamped by `clock`, or by the system's clock when none is given.
    TarnwickServer(const std::string& virtualDir, LogSink& logSink, const Clock* clock = nullptr);

    // Closes the listener if it listens and listens again on `port`. On
    // failure returns false with the reason in `error`; the listener stays closed.
    [[nodiscard]] bool startListening(std::int32_t port, std::string& error);
    // Closes the listener only: open connections go on being served.
    void stopListening();
    [[nodiscard]] bool isListening() const;
    [[nodiscard]] std::uint16_t listeningPort() const;
    // Whether folders are answered with their games (see RequestService).
    void setGameList(bool on) { m_service.setGameList(on); }

    void resetLastSlot() { m_slots.resetLastSlot(); }
    [[nodiscard]] SlotNumber lastSlot() const { return m_slots.lastSlot(); }

    ActivityLog& log() { return m_log; }

private:
    SystemClock m_systemClock;
    QtSocketControl m_wsServer;
    QtScheduler m_scheduler;
    ActivityLog m_log;
    RequestService m_service;
    ConnectionSlots m_slots;
};

// The listening port from its settings text: a whole number from 1 to 65535.
// Otherwise nothing, with the reason in `error`.
[[nodiscard]] std::optional<std::int32_t> portFromSetting(std::string_view text, std::string& error);
