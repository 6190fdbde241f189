#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct Utf8Sequence {
    std::size_t length = 0; // 0: the bytes at the front are not well-formed UTF-8
    char32_t codePoint = 0;
};

// The well-formed UTF-8 sequence at the front of a text that is not empty.
// Overlong forms, surrogates, code points beyond U+10FFFF and sequences cut
// short are not well-formed.
[[nodiscard]] Utf8Sequence decodeUtf8(std::string_view text);

// The text with every byte that begins no well-formed sequence replaced by
// U+FFFD, as a phone decodes it.
[[nodiscard]] std::string withReplacementCharacters(std::string_view text);

// Whether the bytes are text at all: no NUL, and hardly any control
// characters besides tab and line ends.
[[nodiscard]] bool looksLikeText(std::string_view bytes);

// The offset of the first byte that does not begin a well-formed UTF-8
// sequence, or nothing when the whole text is UTF-8.
[[nodiscard]] std::optional<std::size_t> firstInvalidUtf8(std::string_view text);
