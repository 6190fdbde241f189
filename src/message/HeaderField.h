#pragma once

#include <optional>
#include <string_view>

// Whether a header line is the field `name`: the whole name in any letter
// case, then optional blanks (spaces or tabs) and the colon. A name that only
// begins the line's name ("Accept" in "Accept-Charset: utf-8") is another
// field. Gives the text after the colon, as it stands.
[[nodiscard]] std::optional<std::string_view> fieldLineValue(std::string_view line, std::string_view name);
