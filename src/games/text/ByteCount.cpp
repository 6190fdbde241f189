#include "ByteCount.h"

#include <charconv>

std::optional<std::uintmax_t> parseByteCount(std::string_view text)
{
    std::uintmax_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}
