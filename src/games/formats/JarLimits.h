#pragma once

#include <cstdint>

// What an archive may hold before it is refused unread. Phone games are a
// few hundred KB with a few hundred entries; these leave room for many
// times that while keeping a hostile file from taking memory or time.
struct JarLimits {
    // Bounds what opening costs: the entry table is read whole.
    std::uintmax_t maxArchiveBytes = 32 * 1024 * 1024;
    std::int64_t maxEntries = 10'000;
    std::uint64_t maxEntryBytes = 16 * 1024 * 1024;
    std::uint64_t maxTotalBytes = 256 * 1024 * 1024;
    // An entry that would inflate more than this many times its packed size
    // (once it is past minRatioCheckBytes) is taken for a zip bomb.
    std::uint64_t maxCompressionRatio = 200;
    std::uint64_t minRatioCheckBytes = 1024 * 1024;
};
