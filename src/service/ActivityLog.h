#pragma once

#include "Clock.h"
#include "LogStamp.h"
#include "PrintableText.h"
#include "SocketControl.h"

#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

// Where finished entries go: the log area on screen (and standard output).
//
// The serving engine calls appendEntry on its own I/O thread, the window on
// its thread for its own lines: an implementation must be safe to call from
// any thread at once and must never block the caller (no waiting for the
// screen, for standard output or for a lock held while either is written);
// entries from one thread keep their order.
class LogSink {
public:
    virtual ~LogSink() = default;
    // Appends at the very end of the log, whatever the operator has selected.
    virtual void appendEntry(std::string_view entry) = 0;
};

// "#", " DD-MM-YY HH:MM:SS ", "# - ", the address right-aligned in 15
// characters, " - ", the message and CR LF.
[[nodiscard]] std::string formatLogEntry(const std::tm& time, std::string_view peerAddress, std::string_view message);


// The time-stamped record of the requests served, and the one writer of
// the engine's entries to the sink: the I/O thread's, and the game check's
// from the game worker. Each entry is made in the same reused space, under
// a lock that only those two ever take.
class ActivityLog {
public:
    // The peer of a slot is the one `wsServer` names.
    ActivityLog(LogSink& sink, const SocketControl& wsServer, const Clock& clock);
    // For lines whose peers are given with them: an entry for a slot names none.
    ActivityLog(LogSink& sink, const Clock& clock);

    void WriteActivityLog(std::string_view message, SlotNumber slot);
    // The same for a peer whose address is known already; an empty address
    // for a line about the server itself.
    void WriteActivityLog(std::string_view message, std::string_view peerAddress);
    // The same for a message in two parts, written one after the other.
    void WriteActivityLog(std::string_view message, std::string_view more, std::string_view peerAddress);

private:
    LogSink& m_sink;
    const SocketControl* m_wsServer = nullptr;
    std::mutex m_mutex;
    LogStamp m_stamp;
    std::string m_entry;
};
