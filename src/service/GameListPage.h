#pragma once

#include "GameFolder.h"

#include <cstdint>
#include <string>
#include <string_view>

// The page that lists a folder's games for a phone's browser: plain HTML
// with no scripts, styles or images, so that the small browsers of old
// phones show it whole. `folderPath` is the folder's path on the server,
// beginning and ending with "/"; every link is absolute, so the page works
// whether or not the request ended with "/".
[[nodiscard]] std::string buildGameListPage(std::string_view folderPath, const GameFolder& folder);

// An archive's size as a phone's owner reads it: "950 bytes", "12 KB",
// "1.5 MB" (kilobytes rounded up, as a phone's limit is).
[[nodiscard]] std::string formatArchiveSize(std::uintmax_t bytes);
