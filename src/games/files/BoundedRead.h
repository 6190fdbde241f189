#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

// The bytes of a file up to `maxBytes` + 1, so that a larger file shows as
// one; nothing when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> readBounded(const std::filesystem::path& file, std::size_t maxBytes);
