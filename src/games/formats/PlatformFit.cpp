#include "PlatformFit.h"


#include <algorithm>
#include <cctype>
#include <utility>

namespace {

constexpr int kIncompatible = 908;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits at `at`, as a number kept small whatever the text holds.
int readNumber(std::string_view text, std::size_t& at)
{
    int number = 0;
    for (; at < text.size() && isDigit(text[at]); ++at)
        number = std::min(number * 10 + (text[at] - '0'), 9999);
    return number;
}

// "MIDP-2.1" as {2, 1}; nothing when `token` is not of that form.
std::optional<std::pair<int, int>> versionOf(std::string_view token)
{
    const auto dash = token.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    std::size_t at = dash + 1;
    if (at >= token.size() || !isDigit(token[at]))
        return std::nullopt;
    const int major = readNumber(token, at);
    if (at + 1 >= token.size() || token[at] != '.' || !isDigit(token[at + 1]))
        return std::nullopt;
    ++at;
    return std::pair{major, readNumber(token, at)};
}

// Whether a phone with `has` falls short of `needs`; false when either is unknown.
bool fallsShort(std::string_view has, std::string_view needs)
{
    const auto phone = versionOf(has);
    const auto game = versionOf(needs);
    return phone && game && *phone < *game;
}

} // namespace

std::string highestPlatformToken(std::string_view text, std::string_view family)
{
    std::string best;
    std::optional<std::pair<int, int>> bestVersion;
    const std::string prefix = std::string(family) + "-";
    for (std::size_t at = text.find(prefix); at != std::string_view::npos; at = text.find(prefix, at + 1)) {
        // A family inside a longer word ("XCLDC-1.0") is not this one.
        if (at > 0 && (std::isalnum(static_cast<unsigned char>(text[at - 1])) != 0))
            continue;
        std::size_t end = at + prefix.size();
        while (end < text.size() && (isDigit(text[end]) || text[end] == '.'))
            ++end;
        const std::string_view token = text.substr(at, end - at);
        const auto version = versionOf(token);
        if (version && (!bestVersion || *version > *bestVersion)) {
            bestVersion = version;
            best = std::string(family) + "-" + std::to_string(version->first) + "." + std::to_string(version->second);
        }
    }
    return best;
}

Platform gamePlatform(const AttributeList& descriptor, const AttributeList* manifest)
{
    const auto declared = [&](std::string_view attribute, std::string_view family) {
        if (manifest) {
            if (const auto value = manifest->value(attribute))
                return highestPlatformToken(*value, family);
        }
        return highestPlatformToken(descriptor.value(attribute).value_or(""), family);
    };
    return {declared("MicroEdition-Profile", "MIDP"), declared("MicroEdition-Configuration", "CLDC")};
}

std::optional<std::string> platformShortfall(const Platform& phone, const Platform& game)
{
    std::string needs;
    std::string has;
    const auto compare = [&](const std::string& phoneHas, const std::string& gameNeeds) {
        if (!fallsShort(phoneHas, gameNeeds))
            return;
        needs += (needs.empty() ? "" : " and ") + gameNeeds;
        has += (has.empty() ? "" : " and ") + phoneHas;
    };
    compare(phone.profile, game.profile);
    compare(phone.configuration, game.configuration);
    if (needs.empty())
        return std::nullopt;
    return "needs " + needs + "; this phone has " + has + ": it will report " + std::to_string(kIncompatible);
}
