#include "IconAddress.h"

#include <algorithm>

namespace {

constexpr std::string_view kPrefix = "/.icon/";
constexpr std::string_view kSuffix = ".png";

} // namespace

std::string iconAddress(std::string_view id)
{
    return std::string(kPrefix) + std::string(id) + std::string(kSuffix);
}

bool isIconAddress(std::string_view path)
{
    return path.starts_with(kPrefix);
}

std::optional<std::string> iconIdOf(std::string_view path)
{
    if (!path.starts_with(kPrefix) || !path.ends_with(kSuffix))
        return std::nullopt;
    const std::string_view id = path.substr(kPrefix.size(), path.size() - kPrefix.size() - kSuffix.size());
    const bool hex = !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
    return hex ? std::optional<std::string>(id) : std::nullopt;
}
