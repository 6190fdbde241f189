#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The one rule for a Content-Length value, shared by the framing of requests
// and by the message object, so that both always agree on where a request
// ends: decimal digits only (no sign, fraction, exponent or inner blank) and
// at most 2,147,483,647. `value` is the field's text with the blanks around
// it already removed, as getProperty returns it.
[[nodiscard]] std::optional<std::int32_t> parseContentLength(std::string_view value);
