#pragma once

#include <optional>
#include <string>
#include <string_view>

// The bytes of base64 text as descriptors carry signatures and
// certificates: the standard alphabet, padding optional, blanks between
// the characters ignored. Nothing when anything else is in it.
[[nodiscard]] std::optional<std::string> decodeBase64(std::string_view text);
