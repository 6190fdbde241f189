#pragma once

#include "FileStamp.h"
#include "GameFolder.h"
#include "GameRecords.h"
#include "GameWorker.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// The folders of the game directory as the game list shows them, read on
// the game worker's thread so that answering never waits for a disk or an
// archive. Each folder's listing is an immutable snapshot: a reader
// takes it under a short lock and uses it as long as it likes, while the
// worker reads the folder again and swaps in a new one. The whole directory
// is read when it is set; a folder is read again when its modification
// time changes (a game added, removed or renamed) or when it was last read
// more than kRecheckAfter ago (a file replaced in place), taking over every
// game whose files did not change. Icons found in the archives are kept
// here too, within kMaxIconBytes in all.
class GameCatalogue {
public:
    static constexpr std::chrono::seconds kRecheckAfter{5};
    static constexpr std::size_t kMaxIconBytes = 8 * 1024 * 1024;
    // Bounds on the folders remembered and on how deep the directory is read:
    // folders that link to their parents must not keep the worker busy forever.
    static constexpr std::size_t kMaxFolders = 2000;
    static constexpr std::size_t kMaxDepth = 16;
    // A folder changed this shortly before its reading is read again when next asked for.
    static constexpr std::chrono::seconds kRacyWithin{2};

    // On a worker and records of its own.
    GameCatalogue();
    // On `worker`, through `records`, which outlive it.
    GameCatalogue(GameWorker& worker, GameRecords& records);
    // Stops after the entry under way.
    ~GameCatalogue();
    GameCatalogue(const GameCatalogue&) = delete;
    GameCatalogue& operator=(const GameCatalogue&) = delete;

    // Forgets everything and reads `gameDirectory` anew, every folder below it too.
    void setGameDirectory(std::string gameDirectory);

    // The listing of the folder served at `folderPath` ("/", "/sub/") as last
    // read, or nothing before its first reading is done; queues a reading
    // when the folder changed. Cheap enough for the I/O thread: one look at
    // the folder's modification time.
    [[nodiscard]] std::shared_ptr<const GameFolder> folder(const std::string& folderPath);

    // A kept icon's PNG by its id, or nothing.
    [[nodiscard]] std::optional<std::string> icon(std::string_view id) const;

    // Reads every folder again, to take up changes at once.
    void rescan();
    // Returns when every reading asked for so far is done.
    void waitUntilIdle();

private:
    struct Record {
        std::shared_ptr<const GameFolder> listing;
        std::optional<FileStamp> stamp;
        std::chrono::steady_clock::time_point readAt;
        // The folder changed so shortly before it was read that a change in
        // the same tick of the file system's clock would go unseen.
        bool racy = false;
        bool queued = false;
    };
    struct Job {
        std::string folderPath;
        bool andBelow = false; // the subfolders are read after it
    };

    // Reads the folder queued first.
    void readNext();
    void queue(std::string folderPath, bool andBelow);
    void read(const Job& job);
    // Whether the folder's listing changed.
    bool publish(const Job& job, std::uint64_t generation, GameFolder listing, std::optional<FileStamp> stamp);
    std::string keepIcon(const GameIcon& icon);
    void dropUnusedIcons();
    [[nodiscard]] std::string mappedFolder(const std::string& folderPath) const;

    mutable std::mutex m_mutex;
    std::string m_gameDirectory;
    // Raised with every new directory: a reading of an older one is dropped.
    std::atomic<std::uint64_t> m_generation{0};
    std::atomic<bool> m_stopping{false};
    std::unordered_map<std::string, Record> m_folders;
    std::deque<Job> m_jobs;
    std::unordered_map<std::string, std::string> m_icons;
    std::size_t m_iconBytes = 0;

    std::unique_ptr<GameWorker> m_ownWorker;
    std::unique_ptr<GameRecords> m_ownRecords;
    GameWorker& m_worker;
    GameRecords& m_records;
};
