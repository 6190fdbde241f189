#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where the list serves a game's icon: "/.icon/<id>.png". The hidden first
// segment never maps to a file, so no name in the game directory can take
// the address, nor the address reach a file.
[[nodiscard]] std::string iconAddress(std::string_view id);

// Whether the path is an icon address at all.
[[nodiscard]] bool isIconAddress(std::string_view path);

// The id an icon address names, or nothing when the path is no well-formed icon address.
[[nodiscard]] std::optional<std::string> iconIdOf(std::string_view path);
