#pragma once

#include "FileStamp.h"
#include "PlatformFit.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// What following an install needs to know of a game whose descriptor is
// served.
struct ServedGame {
    std::string name;
    std::string version;
    // The archive's mapped path on this server; empty when the descriptor
    // leads elsewhere or nowhere.
    std::string archivePath;
    // Where the descriptor tells a phone to post its report, as a request
    // path on this server; empty when that is elsewhere or not said.
    std::string notifyPath;
    // What the game asks of a phone.
    Platform platform;
};

// The games whose descriptors were served, read from their files once for
// each version of them (the descriptor's and the archive's size and time
// of change), so that a busy server does not open every archive for every
// request; and a descriptor served again within kLookAgainAfter is not
// even looked at again.
class ServedGames {
public:
    static constexpr std::size_t kMaxKept = 1'000;
    static constexpr std::chrono::milliseconds kLookAgainAfter{1000};

    // The game of the descriptor at `descriptorPath` (a request path) in
    // `gameDirectory`, this server reached at `origin`.
    const ServedGame& lookUp(std::string_view gameDirectory, std::string_view descriptorPath, std::string_view origin);

private:
    struct Entry {
        std::optional<FileStamp> descriptor;
        std::optional<FileStamp> archive;
        ServedGame game;
        std::chrono::steady_clock::time_point lookedAt;
    };

    static ServedGame read(std::string_view gameDirectory, std::string_view descriptorPath,
                           const std::string& descriptorFile, std::string_view origin);

    std::unordered_map<std::string, Entry> m_games;
};
