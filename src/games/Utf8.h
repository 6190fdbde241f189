#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// The offset of the first byte that does not begin a well-formed UTF-8
// sequence (overlong forms, surrogates and code points past U+10FFFF
// count as malformed), or nothing when the whole text is UTF-8.
[[nodiscard]] std::optional<std::size_t> firstInvalidUtf8(std::string_view text);
