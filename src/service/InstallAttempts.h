#pragma once

#include "ActivityLog.h"
#include "InstallAttempt.h"
#include "InstallReport.h"
#include "PhoneIdentity.h"
#include "ServedGame.h"
#include "SocketControl.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

// Follows each phone's install of each game, from the descriptor it fetches
// through the archive to the report it posts, and logs one line for each
// attempt once it is over. A phone is its address and its User-Agent; one
// that fetches a game's descriptor again starts a new attempt. An attempt
// on which nothing happens for kReportWait ends without a report.
//
// Told by the request service what it serves and by the connection slots
// what went out; every call belongs to the engine's thread.
class InstallAttempts {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    static constexpr std::chrono::minutes kReportWait{3};
    // Attempts still under way; past it the oldest ends at once.
    static constexpr std::size_t kMaxOpen = 10'000;

    // The lines go to `log`; `clock` stamps the attempts' start, `now` measures the wait.
    InstallAttempts(ActivityLog& log, const Clock& clock,
                    std::function<TimePoint()> now = [] { return std::chrono::steady_clock::now(); });

    // Called with the attempt each time it changes; it must not block.
    void setChangeHandler(std::function<void(const InstallAttempt&)> handler) { m_changed = std::move(handler); }

    // Who made a request.
    struct Requester {
        std::string address;
        std::string userAgent;
        std::string wapProfile;
    };

    // A descriptor served with 200.
    struct ServedDescriptor {
        std::string requestPath;
        std::string file; // its mapped path
        ServedGame game;
        bool repaired = false;
        // This download's own report address; empty when it has none.
        std::string reportPath;
    };
    void descriptorServed(const Requester& requester, const ServedDescriptor& descriptor);

    // An archive `file` of `fileSize` bytes handed to the socket of `slot`,
    // from `offset` on (a part of it from a Range).
    void archiveServed(SlotNumber slot, const Requester& requester, const std::string& file, std::int64_t offset,
                       std::int64_t fileSize);
    // What the socket reports of a file it sends on `slot`.
    void fileProgress(SlotNumber slot, const std::string& file, std::int64_t sent, std::int64_t size);
    void fileCutShort(SlotNumber slot, const std::string& file, std::int64_t sent, std::int64_t size);
    // The connection of `slot` is gone: nothing more goes out on it.
    void connectionClosed(SlotNumber slot);

    // A report posted to `path` by `address`: matched to the attempt given
    // that report address, else to the phone's attempt whose descriptor
    // names `path` for its reports, else to its newest attempt that has its
    // archive. Returns whether an attempt took it.
    bool reportReceived(std::string_view path, std::string_view address, const InstallReport& report);

    // Ends the attempts that waited kReportWait in vain. Called every so often.
    void finishOverdue();

private:
    struct Open {
        InstallAttempt attempt;
        std::string phoneKey;
        std::string descriptorFile;
        std::string archiveFile;
        std::string reportPath;
        std::string notifyPath;
        TimePoint startedAt;
        TimePoint lastEvent;
    };
    struct Transfer {
        std::uint64_t id = 0;
        std::string file;
        std::int64_t offset = 0;
    };

    static std::string phoneKey(const Requester& requester);
    Open* openAttempt(std::uint64_t id);
    Open* attemptForReport(std::string_view path, std::string_view address);
    // The phone has `received` bytes into the archive; `cutShort` when its download ended there.
    void archiveReached(Open& open, std::int64_t received, bool cutShort);
    void finish(std::map<std::uint64_t, Open>::iterator found, InstallAttempt::Step step);
    void changed(const InstallAttempt& attempt) const;
    void log(const std::string& address, const std::string& line) const;

    ActivityLog& m_log;
    const Clock& m_clock;
    std::function<TimePoint()> m_now;
    std::function<void(const InstallAttempt&)> m_changed;
    std::uint64_t m_lastId = 0;
    // By id, which is their order of starting.
    std::map<std::uint64_t, Open> m_open;
    // The attempt under way for each phone and descriptor file.
    std::unordered_map<std::string, std::uint64_t> m_byDescriptor;
    // The same for each phone and archive file.
    std::unordered_map<std::string, std::uint64_t> m_byArchive;
    std::unordered_map<std::string, std::uint64_t> m_byReportPath;
    std::unordered_map<SlotNumber, Transfer> m_transfers;
};
