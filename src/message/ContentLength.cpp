#include "ContentLength.h"

#include <algorithm>
#include <charconv>

std::optional<std::int32_t> parseContentLength(std::string_view value)
{
    // from_chars alone would take a leading minus sign.
    if (value.empty() || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::int32_t length = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (error != std::errc{} || end != value.data() + value.size())
        return std::nullopt;
    return length;
}
