#pragma once

#include "FileStamp.h"
#include "GameRecords.h"
#include "GameWorker.h"
#include "ServedDescriptorWatcher.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Checks the games in the game directory the way a phone will install
// them, on the game worker's thread, and tells the operator in log lines:
// one line per problem (the descriptor, what is wrong, the code a phone
// would report, what to fix), then a summary ("5 games ready, 2 with
// problems"). Requests are queued and return at once; a new full check
// replaces queued work and cuts short the one under way.
class GameCheck final : public ServedDescriptorWatcher {
public:
    // Receives each line, on the worker thread: it must be safe to call from
    // there. Lines carry no line end and no control characters.
    using LineHandler = std::function<void(const std::string& line)>;

    // A descriptor served again within `recheckAfter` of the last time it
    // was served is not looked at again: a busy server serves the same
    // descriptor many times a second, and each look costs the worker a
    // wake-up and two file lookups.
    static constexpr std::chrono::milliseconds kRecheckAfter{1000};

    // On a worker and records of its own.
    explicit GameCheck(LineHandler onLine, std::chrono::milliseconds recheckAfter = kRecheckAfter);
    // On `worker`, from `records`, which outlive it.
    GameCheck(GameWorker& worker, GameRecords& records, LineHandler onLine,
              std::chrono::milliseconds recheckAfter = kRecheckAfter);
    // Stops after the game under way; lines no longer arrive once it returns.
    ~GameCheck() override;
    GameCheck(const GameCheck&) = delete;
    GameCheck& operator=(const GameCheck&) = delete;

    // Checks every descriptor in `gameDirectory` and its subfolders.
    // `origins` are the addresses phones reach this server at
    // ("http://192.168.1.5:8080"): a MIDlet-Jar-URL at one of them is here.
    // With `repaired`, descriptors are served repaired: a game that installs
    // only that way is counted apart, with one line saying what is mended.
    // With `pathsDecoded`, the server percent-decodes request paths (the
    // game list is on), so a MIDlet-Jar-URL is decoded as a phone's request
    // for it would be.
    void checkAll(std::string gameDirectory, std::vector<std::string> origins, bool repaired = false,
                  bool pathsDecoded = false);

    // A descriptor was served from `mappedPath` (the game directory and the
    // request path): checks its game again when the descriptor or its
    // archive changed (size or modification time) since the last check, or
    // was never checked. Ignored before the first checkAll, for paths
    // outside the game directory of the last one, and within `recheckAfter`
    // of the last time the same path was served. Cheap enough for the I/O
    // thread: it never waits for the check.
    void descriptorServed(std::string mappedPath) override;

    // Returns when everything asked so far has been checked and told.
    void waitUntilIdle();

private:
    struct Job {
        bool all = false;
        std::string gameDirectory;
        std::vector<std::string> origins;
        std::string mappedPath;
        bool repaired = false;
        bool pathsDecoded = false;
    };
    enum class Outcome { Ready, Repaired, Problems, Elsewhere };
    struct GameStamp {
        std::optional<FileStamp> descriptor;
        std::filesystem::path archive;
        std::optional<FileStamp> archiveStamp;
        bool operator==(const GameStamp&) const = default;
    };

    // Takes the job queued first.
    void runNext();
    void checkEverything(const Job& job);
    void checkOne(const Job& job);
    // Checks one game and tells its problems.
    Outcome checkGame(const std::string& descriptorPath);
    // Whether the game installs as served repaired; tells what is mended.
    bool installsRepaired(const GameRecord& record);
    [[nodiscard]] GameStamp stampOf(const std::string& descriptorPath, const std::filesystem::path& archive) const;
    [[nodiscard]] bool fullCheckWaiting();
    void tell(const std::string& line) const;

    LineHandler m_onLine;
    std::chrono::milliseconds m_recheckAfter;

    std::mutex m_mutex;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    // When each path was last served; paths come from requests, so the map
    // is emptied when it grows large.
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> m_lastServed;

    // Only the worker touches these.
    std::string m_gameDirectory;
    std::vector<std::string> m_origins;
    bool m_repaired = false;
    bool m_pathsDecoded = false;
    std::map<std::string, GameStamp> m_stamps;

    std::unique_ptr<GameWorker> m_ownWorker;
    std::unique_ptr<GameRecords> m_ownRecords;
    GameWorker& m_worker;
    GameRecords& m_records;
};
