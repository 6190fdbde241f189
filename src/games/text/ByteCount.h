#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A number of bytes as a descriptor gives it (MIDlet-Jar-Size): decimal
// digits only, nothing around them. Nothing for any other text.
[[nodiscard]] std::optional<std::uintmax_t> parseByteCount(std::string_view text);
