#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// The report addresses handed out in repaired descriptors, one per
// download, so that a report can be tied to the game and the phone that
// fetched it. The path begins with a hidden segment, so it never names a
// file of the game directory. Only the newest addresses are kept.
class ReportAddresses {
public:
    static constexpr std::string_view kPathPrefix = "/.install-report/";
    static constexpr std::size_t kMaxKept = 10'000;

    struct Download {
        std::string descriptorPath; // the request path the descriptor was served at
        std::string gameName;
        std::string gameVersion;
        std::string phoneAddress; // the peer that fetched the descriptor
        std::chrono::steady_clock::time_point servedAt;
    };

    ReportAddresses();

    // A fresh path for the next download, not yet tied to it.
    [[nodiscard]] std::string nextPath();
    // Ties `path`, given out by nextPath, to its download.
    void remember(const std::string& path, Download download);
    // The download a report path was given out for.
    [[nodiscard]] const Download* find(std::string_view path) const;

    [[nodiscard]] static bool isReportPath(std::string_view path) { return path.starts_with(kPathPrefix); }

private:
    // Differs from run to run, so that an address from an earlier run is not
    // taken for one of this run's downloads.
    std::uint32_t m_run;
    std::uint64_t m_next = 1;
    std::unordered_map<std::string, Download> m_downloads;
    std::deque<std::string> m_order;
};
