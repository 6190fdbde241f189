#include "ServerSettings.h"

#include "modIniFile.h"

#include <charconv>

namespace {

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

// "1" on, "0" or nothing off; anything else is off with a line saying so.
bool readSwitch(std::string_view key, std::string_view text, std::string_view what, const std::string& file,
                std::vector<std::string>& problems)
{
    if (!text.empty() && text != "0" && text != "1")
        problems.push_back(std::string(what) + " is off: " + quoted(key) + " under [" + std::string(kServerSection) +
                           "] in " + file + " is " + quoted(text) + "; set it to 1 (on) or 0 (off).");
    return text == "1";
}

std::chrono::seconds readTimeLimit(std::string_view key, std::chrono::seconds fallback, const std::string& file,
                                   std::vector<std::string>& problems)
{
    std::string why;
    const std::chrono::seconds limit = timeLimitFromSetting(ReadIniValue(kServerSection, key, file), fallback, why);
    if (!why.empty())
        problems.push_back(quoted(key) + " under [" + std::string(kServerSection) + "]: " + why + "; " +
                           std::to_string(limit.count()) + " s is used.");
    return limit;
}

} // namespace

ServerSettings readServerSettings(const std::string& file)
{
    ServerSettings settings;
    settings.port = portFromSetting(ReadIniValue(kServerSection, kPortKey, file), settings.portProblem);
    settings.gameList =
        readSwitch(kGameListKey, ReadIniValue(kServerSection, kGameListKey, file), "The game list", file, settings.problems);
    settings.repairDescriptors = readSwitch(kRepairKey, ReadIniValue(kServerSection, kRepairKey, file),
                                            "Descriptor repair", file, settings.problems);
    settings.headerTimeout = readTimeLimit(kHeaderTimeoutKey, settings.headerTimeout, file, settings.problems);
    settings.idleTimeout = readTimeLimit(kIdleTimeoutKey, settings.idleTimeout, file, settings.problems);
    settings.gameDirectory = ReadIniValue(kDirectorySection, kDirectoryKey, file);
    return settings;
}

std::optional<std::int32_t> portFromSetting(std::string_view text, std::string& error)
{
    if (text.empty()) {
        error = "no port is set";
        return std::nullopt;
    }
    std::int32_t port = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (status != std::errc{} || end != text.data() + text.size() || port < 1 || port > 65535) {
        error = quoted(text) + " is not a port number from 1 to 65535";
        return std::nullopt;
    }
    return port;
}

std::chrono::seconds timeLimitFromSetting(std::string_view text, std::chrono::seconds fallback, std::string& error)
{
    if (text.empty())
        return fallback;
    std::int64_t seconds = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (status != std::errc{} || end != text.data() + text.size() || seconds < 0) {
        error = quoted(text) + " is not a number of seconds";
        return fallback;
    }
    // Beyond this the clock's arithmetic would overflow; 0 is the way to say "never".
    constexpr std::int64_t kYear = 365LL * 24 * 60 * 60;
    if (seconds > kYear) {
        error = quoted(text) + " seconds is more than a year (0 turns the limit off)";
        return fallback;
    }
    return std::chrono::seconds(seconds);
}
