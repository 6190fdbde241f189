#pragma once

#include "GameFolder.h"
#include "ListMarkup.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The pages that list a folder's games for a phone's browser. A folder's
// entries (its subfolders, then its games, then any note) are split into
// pages by bytes, each within what the markup's browsers show whole, with
// "Next" and "Previous" links between them. `folderPath` is the folder's
// path on the server, beginning and ending with "/"; every link is
// absolute, so a page works whether or not the request ended with "/".

// Where each page begins: the index of its first entry, the first page's
// being 0. Costs one writing of every entry, so it is made once for a
// listing and kept.
[[nodiscard]] std::vector<std::size_t> splitGameList(std::string_view folderPath, const GameFolder& folder,
                                                     ListMarkup markup);

// Page `page` (0 for the first) of the folder, split at `pageStarts`.
[[nodiscard]] std::string buildGameListPage(std::string_view folderPath, const GameFolder& folder, ListMarkup markup,
                                            const std::vector<std::size_t>& pageStarts, std::size_t page);

// The page shown while the folder's games are still being read.
[[nodiscard]] std::string buildPendingPage(std::string_view folderPath, ListMarkup markup);

// The address of a page of the folder's list: the folder itself for the first.
[[nodiscard]] std::string pageAddress(std::string_view folderPath, std::size_t page);

// An archive's size as a phone's owner reads it: "950 bytes", "12 KB",
// "1.5 MB" (kilobytes rounded up, as a phone's limit is).
[[nodiscard]] std::string formatArchiveSize(std::uintmax_t bytes);

// The size an icon is shown at: within 32 x 32, its proportions kept.
[[nodiscard]] std::pair<int, int> shownIconSize(int width, int height);
