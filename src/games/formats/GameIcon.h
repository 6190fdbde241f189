#pragma once

#include "AttributeList.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class JarArchive;

// A game's icon as the list shows it: a PNG from the game's archive.
// Phones use 16 x 16 to 48 x 48; anything far beyond that, or heavier than
// a few kilobytes, is not an icon a list of hundreds should carry.
inline constexpr std::size_t kMaxIconBytes = 16 * 1024;
inline constexpr int kMaxIconSide = 128;

struct GameIcon {
    std::string png;
    int width = 0;
    int height = 0;
};

// The archive entry the attributes name as the icon: MIDlet-Icon, else the
// second field of MIDlet-1 ("Name, /icon.png, a.Main"), without its leading
// "/". Nothing when neither names one, or the name has a ".." segment.
[[nodiscard]] std::optional<std::string> iconEntryName(const AttributeList& attributes);

// The width and height a PNG declares in its header, or nothing when the
// bytes are not a PNG.
[[nodiscard]] std::optional<std::pair<int, int>> pngSize(std::string_view bytes);

// The icon from the archive: nothing when the entry is missing, is not a
// PNG, or is larger than the bounds above.
[[nodiscard]] std::optional<GameIcon> readGameIcon(const JarArchive& archive, const std::string& entryName);
