#pragma once

#include "GameRecord.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One thing about a game that would make its install fail on a phone.
struct GameProblem {
    std::string what;
    // What the phone does: "a phone reports 904 JAR size mismatch".
    std::string consequence;
    std::string fix;
};

struct GameInspection {
    std::vector<GameProblem> problems;
    // What a phone reads past: worth fixing, but the game installs.
    std::vector<GameProblem> notes;
    // The MIDlet-Jar-URL, when it names an archive on another server (not
    // checked, and not a problem in itself).
    std::optional<std::string> archiveElsewhere;
    // The archive file the descriptor leads to on this server, found or not;
    // empty when it leads nowhere here.
    std::filesystem::path archive;

    [[nodiscard]] bool ready() const { return problems.empty() && !archiveElsewhere; }
};

// Checks one game as a phone would install it, from its record: the
// descriptor this server answers at the record's path, and the archive its
// MIDlet-Jar-URL leads to. `origins` are the addresses this server is
// reached at ("http://192.168.1.5:8080"), to tell an absolute MIDlet-Jar-URL
// that points here from one that points elsewhere. Reads nothing but what
// the record did not foresee.
[[nodiscard]] GameInspection inspectRecord(const GameRecord& record, const std::vector<std::string>& origins);

// The same for the descriptor text a phone is served instead of the file
// (a descriptor repaired as served), with the archives of the record.
[[nodiscard]] GameInspection inspectServedDescriptor(const GameRecord& record, std::string_view text,
                                                     const std::vector<std::string>& origins);

// Reads the game served at `descriptorPath` in `gameDirectory` and checks it.
[[nodiscard]] GameInspection inspectGame(std::string_view gameDirectory, std::string_view descriptorPath,
                                         const std::vector<std::string>& origins);
