#include "ByteRange.h"

#include "AsciiText.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace {

// Decimal digits only, as the field allows; nothing for anything else.
std::optional<std::int64_t> position(std::string_view text)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || text.front() == '-' ||
        text.front() == '+')
        return std::nullopt;
    return value;
}

} // namespace

ByteRange readByteRange(std::string_view rangeField, std::int64_t size)
{
    constexpr std::string_view kUnit = "bytes=";
    const std::string_view field = trimBlanks(rangeField);
    if (!equalsIgnoringCase(field.substr(0, kUnit.size()), kUnit))
        return {};
    const std::string_view range = trimBlanks(field.substr(kUnit.size()));
    const auto dash = range.find('-');
    if (dash == std::string_view::npos || range.find(',') != std::string_view::npos)
        return {};
    const std::string_view from = trimBlanks(range.substr(0, dash));
    const std::string_view to = trimBlanks(range.substr(dash + 1));
    if (from.empty()) {
        // The last `suffix` bytes; a file shorter than that goes out whole.
        const auto suffix = position(to);
        if (!suffix)
            return {};
        if (*suffix == 0 || size == 0)
            return {ByteRange::Kind::Unsatisfiable};
        return {ByteRange::Kind::Part, size - std::min(*suffix, size), size - 1};
    }
    const auto first = position(from);
    const auto last = to.empty() ? std::optional<std::int64_t>(size - 1) : position(to);
    if (!first || !last || (!to.empty() && *last < *first))
        return {};
    if (*first >= size)
        return {ByteRange::Kind::Unsatisfiable};
    return {ByteRange::Kind::Part, *first, std::min(*last, size - 1)};
}
