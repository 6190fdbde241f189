#pragma once

#include "DescriptorReader.h"
#include "JarArchive.h"
#include "ManifestReader.h"

#include <cstddef>
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

struct InspectionLimits {
    std::size_t maxDescriptorBytes = kMaxDescriptorBytes;
    std::size_t maxManifestBytes = kMaxManifestBytes;
    JarLimits jar;
};

// Checks one game as a phone would install it: the descriptor this server
// answers at `descriptorPath` ("/racer/Racer.jad") in `gameDirectory`, and
// the archive its MIDlet-Jar-URL leads to. `origins` are the addresses
// this server is reached at ("http://192.168.1.5:8080"), to tell an
// absolute MIDlet-Jar-URL that points here from one that points elsewhere.
// Reads no more than the limits allow; touches nothing.
[[nodiscard]] GameInspection inspectGame(std::string_view gameDirectory, std::string_view descriptorPath,
                                         const std::vector<std::string>& origins, const InspectionLimits& limits = {});

// The same for the descriptor text a phone is served at `descriptorPath`
// instead of the file there (a descriptor repaired as served).
[[nodiscard]] GameInspection inspectServedDescriptor(std::string_view gameDirectory, std::string_view descriptorPath,
                                                     std::string_view text, const std::vector<std::string>& origins,
                                                     const InspectionLimits& limits = {});
