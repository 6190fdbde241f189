#pragma once

#include "GameRecord.h"

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

// The records of the games looked at lately, each kept until its files
// change: whoever asks next for a game whose descriptor, archive and the
// folders searched for it are as they were gets the record read before,
// and whoever asks first after a change reads it again and keeps it for
// the others. Safe from any thread; reading is done outside the lock.
// Bounded in records; the one asked for longest ago goes first.
class GameRecords {
public:
    static constexpr std::size_t kMaxRecords = 4096;

    // The records kept here are read from `sources`.
    explicit GameRecords(RecordSources sources = {}, std::size_t capacity = kMaxRecords);

    // The record of the descriptor served at `descriptorPath` in `gameDirectory`.
    [[nodiscard]] std::shared_ptr<const GameRecord> descriptor(const std::string& gameDirectory, bool pathsDecoded,
                                                               const std::string& descriptorPath);
    // The same when the caller looked at the descriptor already and found
    // `stamp` (nothing: it is not there).
    [[nodiscard]] std::shared_ptr<const GameRecord> descriptor(const std::string& gameDirectory, bool pathsDecoded,
                                                               const std::string& descriptorPath,
                                                               const std::optional<FileStamp>& stamp);
    // The record of the descriptor made at `descriptorPath` for the lone
    // archive at `archivePath`.
    [[nodiscard]] std::shared_ptr<const GameRecord> loneArchive(const std::string& gameDirectory, bool pathsDecoded,
                                                                const std::string& descriptorPath,
                                                                const std::string& archivePath);

private:
    using Order = std::list<std::string>;
    struct Kept {
        std::shared_ptr<const GameRecord> record;
        Order::iterator place;
    };

    [[nodiscard]] std::shared_ptr<const GameRecord> kept(const std::string& key);
    void keep(const std::string& key, std::shared_ptr<const GameRecord> record);

    [[nodiscard]] RecordReading how(const std::string& gameDirectory, bool pathsDecoded) const;

    RecordSources m_sources;
    std::size_t m_capacity;
    std::mutex m_mutex;
    std::unordered_map<std::string, Kept> m_records;
    // Keys, the one asked for last in front.
    Order m_order;
};
