#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct DescriptorSearchLimits {
    std::size_t maxDescriptors = 2000;
    std::size_t maxDepth = 16;
    std::size_t maxEntries = 100'000;
};

struct DescriptorSearch {
    // Paths as a phone requests them ("/racer/Racer.jad"), sorted.
    std::vector<std::string> descriptors;
    // Folders that could not be listed, relative to the game directory.
    std::vector<std::string> unreadableFolders;
    // The search stopped at a limit: there may be more descriptors.
    bool stoppedAtLimit = false;
};

// Finds every game descriptor (a name ending in ".jad", in any letter case)
// in `gameDirectory` and its subfolders. Hidden entries (names beginning
// with ".") are skipped, as the server never serves them; a link is
// followed only when it leads to somewhere inside the game directory, and
// no folder is walked twice.
[[nodiscard]] DescriptorSearch findDescriptors(const std::string& gameDirectory,
                                               const DescriptorSearchLimits& limits = {});
