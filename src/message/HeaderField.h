#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whether a header line is the field `name`: the whole name in any letter
// case, then optional blanks (spaces or tabs) and the colon. A name that only
// begins the line's name ("Accept" in "Accept-Charset: utf-8") is another
// field. Gives the text after the colon, as it stands.
[[nodiscard]] std::optional<std::string_view> fieldLineValue(std::string_view line, std::string_view name);

// Stands for CR LF inside a value that the message object stores, so that a
// value never spans two lines.
inline constexpr std::string_view kLineBreakEscape = "%10%13";

// A field's value as the message object gives it: without the spaces around
// it (a tab is part of the value), the line-break escape "%10%13" turned
// back into CR LF.
[[nodiscard]] std::string headerFieldValue(std::string_view rawValue);
