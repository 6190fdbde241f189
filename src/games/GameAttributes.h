#pragma once

#include "AttributeList.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

// Reading the attributes of a game for the game list, within bounds: a
// page must not wait on a huge or hostile file.

// The attributes of a descriptor file, read from its first
// kMaxDescriptorBytes bytes (whole lines only); nothing when it cannot be read.
[[nodiscard]] std::optional<AttributeList> readDescriptorAttributes(const std::filesystem::path& file);

// The attributes of an archive's manifest; nothing, with `error` saying why
// in words for the operator, when the archive cannot be opened or has no
// readable manifest.
[[nodiscard]] std::optional<AttributeList> readManifestAttributes(const std::filesystem::path& archive,
                                                                  std::string& error);
