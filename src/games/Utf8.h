#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

struct Utf8Sequence {
    std::size_t length = 0; // 0: the bytes at the front are not well-formed UTF-8
    char32_t codePoint = 0;
};

// The well-formed UTF-8 sequence at the front of a text that is not empty.
// Overlong forms, surrogates, code points beyond U+10FFFF and sequences cut
// short are not well-formed.
[[nodiscard]] Utf8Sequence decodeUtf8(std::string_view text);

// The offset of the first byte that does not begin a well-formed UTF-8
// sequence, or nothing when the whole text is UTF-8.
[[nodiscard]] std::optional<std::size_t> firstInvalidUtf8(std::string_view text);
