#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The names in the settings file.
inline constexpr std::string_view kServerSection = "Server Setting";
inline constexpr std::string_view kPortKey = "LocalPort";
inline constexpr std::string_view kGameListKey = "Game List";
inline constexpr std::string_view kRepairKey = "Repair Descriptors";
// Seconds; 0 turns a limit off.
inline constexpr std::string_view kHeaderTimeoutKey = "HeaderTimeout";
inline constexpr std::string_view kIdleTimeoutKey = "IdleTimeout";
inline constexpr std::string_view kDirectorySection = "Directory Setting";
inline constexpr std::string_view kDirectoryKey = "Virtual Directory";

// Everything the server takes from the settings file, read in one go at
// each start.
struct ServerSettings {
    // Nothing when the port is missing or unusable; `portProblem` says why.
    std::optional<std::int32_t> port;
    std::string portProblem;
    // Off unless set to 1: a settings file from before the game list serves
    // as it did.
    bool gameList = false;
    // Off unless set to 1: descriptors go out byte for byte as on disk.
    bool repairDescriptors = false;
    std::chrono::seconds headerTimeout{60};
    std::chrono::seconds idleTimeout{120};
    std::string gameDirectory;
    // A line for the log for each value that was set but cannot be used,
    // saying what is used instead.
    std::vector<std::string> problems;
};

[[nodiscard]] ServerSettings readServerSettings(const std::string& file);

// The listening port from its settings text: a whole number from 1 to 65535.
// Otherwise nothing, with the reason in `error`.
[[nodiscard]] std::optional<std::int32_t> portFromSetting(std::string_view text, std::string& error);

// A time limit in whole seconds from its settings text; `fallback` when the
// text is empty, and also, with the reason in `error`, when it is no whole
// number from 0 up to a year (0 turns the limit off).
[[nodiscard]] std::chrono::seconds timeLimitFromSetting(std::string_view text, std::chrono::seconds fallback,
                                                        std::string& error);
