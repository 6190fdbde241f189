#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The bytes of file `file` (UTF-8) up to `maxBytes` + 1, so that a larger
// file shows as one; nothing when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> readBounded(const std::string& file, std::size_t maxBytes);
