#include "WindowsNames.h"

#include "AsciiText.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::string_view, 6> kDevices{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
// COM and LPT take a digit, or a superscript one, two or three (UTF-8).
constexpr std::array<std::string_view, 2> kNumberedDevices{"COM", "LPT"};
constexpr std::array<std::string_view, 3> kSuperscriptDigits{"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Windows finds a device in the name before its first dot, without the
// spaces that end it: "nul .txt" is NUL too.
bool isDeviceName(std::string_view segment)
{
    std::string_view stem = segment.substr(0, segment.find('.'));
    while (stem.ends_with(' '))
        stem.remove_suffix(1);
    const auto equals = [stem](std::string_view device) { return equalsIgnoringCase(stem, device); };
    if (std::any_of(kDevices.begin(), kDevices.end(), equals))
        return true;
    for (const std::string_view device : kNumberedDevices) {
        if (stem.size() <= device.size() || !equalsIgnoringCase(stem.substr(0, device.size()), device))
            continue;
        const std::string_view number = stem.substr(device.size());
        if ((number.size() == 1 && isDigit(number.front()))
            || std::find(kSuperscriptDigits.begin(), kSuperscriptDigits.end(), number) != kSuperscriptDigits.end())
            return true;
    }
    return false;
}

bool hasShortNameMark(std::string_view segment)
{
    for (std::size_t tilde = segment.find('~'); tilde != std::string_view::npos; tilde = segment.find('~', tilde + 1)) {
        if (tilde + 1 < segment.size() && isDigit(segment[tilde + 1]))
            return true;
    }
    return false;
}

bool bends(std::string_view segment)
{
    return segment.find_first_of(":\\") != std::string_view::npos || segment.ends_with('.') || segment.ends_with(' ')
           || hasShortNameMark(segment) || isDeviceName(segment);
}

} // namespace

bool bendsOnWindows(std::string_view requestPath)
{
    if (requestPath.starts_with("//"))
        return true;
    for (std::size_t start = 0; start < requestPath.size();) {
        const std::size_t end = std::min(requestPath.find('/', start), requestPath.size());
        if (end > start && bends(requestPath.substr(start, end - start)))
            return true;
        start = end + 1;
    }
    return false;
}
