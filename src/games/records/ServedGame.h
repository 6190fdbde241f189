#pragma once

#include "PlatformFit.h"

#include <string>
#include <string_view>

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

struct GameRecord;

// The game of a record, as a phone that reached this server at `origin`
// ("http://192.168.1.5:8080") finds it: the archive and report addresses
// resolved as it resolves them.
[[nodiscard]] ServedGame servedGame(const GameRecord& record, std::string_view origin);
