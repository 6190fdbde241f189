#include "HostHeader.h"

#include "AsciiText.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr std::size_t kMaxHostBytes = 255;

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isHostName(std::string_view host)
{
    if (host.empty() || host.size() > kMaxHostBytes || host.front() == '.' || host.front() == '-')
        return false;
    if (host.find("..") != std::string_view::npos)
        return false;
    return std::all_of(host.begin(), host.end(), isNameCharacter);
}

bool isPort(std::string_view text)
{
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    return !text.empty() && text.front() != '-' && text.front() != '+' && error == std::errc() &&
           end == text.data() + text.size() && port >= 1 && port <= 65535;
}

} // namespace

std::optional<std::string> acceptedHost(std::string_view hostField)
{
    const std::string_view field = trimBlanks(hostField);
    const auto colon = field.find(':');
    const std::string_view host = field.substr(0, colon);
    if (!isHostName(host))
        return std::nullopt;
    if (colon != std::string_view::npos && !isPort(field.substr(colon + 1)))
        return std::nullopt;
    return std::string(field);
}
