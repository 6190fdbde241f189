#pragma once

#include "GameRecord.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The report addresses handed out in repaired descriptors, one per
// download, so that a report can be tied to the game and the phone that
// fetched it. The path begins with a hidden segment, so it never names a
// file of the game directory. Only the newest addresses are kept: each is
// numbered, and the number says where it is kept, so that handing one out
// costs no search.
class ReportAddresses {
public:
    static constexpr std::string_view kPathPrefix = "/.install-report/";
    static constexpr std::size_t kMaxKept = 10'000;

    struct Download {
        // The game whose descriptor was served.
        std::shared_ptr<const GameRecord> game;
        std::string gameName;
        std::string gameVersion;
        std::string phoneAddress; // the peer that fetched the descriptor
        std::chrono::steady_clock::time_point servedAt;
    };

    // A fresh address's path for the next download, not yet tied to it.
    struct Issued {
        std::uint64_t number = 0;
        std::string path;
    };

    ReportAddresses();

    [[nodiscard]] Issued issue();
    // Ties the address issued as `number` to its download.
    void remember(std::uint64_t number, Download download);
    // The download a report path was given out for.
    [[nodiscard]] const Download* find(std::string_view path) const;

    [[nodiscard]] static bool isReportPath(std::string_view path) { return path.starts_with(kPathPrefix); }

private:
    struct Kept {
        std::uint64_t number = 0;
        Download download;
    };

    // Differs from run to run, so that an address from an earlier run is not
    // taken for one of this run's downloads.
    std::uint32_t m_run;
    std::uint64_t m_next = 1;
    // Address n at n % kMaxKept, once it was remembered.
    std::vector<Kept> m_kept;
};
