#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What one folder of the game directory offers a phone: its games and its
// subfolders, as the game list shows them.

// Bounds on the work one listing may cost: a folder of thousands of files
// is looked at this far, and a page of this many entries is still small.
inline constexpr std::size_t kMaxFolderEntries = 1000;
inline constexpr std::size_t kMaxListedEntries = 100;

struct GameEntry {
    // What the entry links, in the folder: the descriptor, or for an archive
    // without one the descriptor made for it ("name.jad").
    std::string linkName;
    // From the descriptor, or the archive's manifest; empty when not given.
    std::string name;
    std::string version;
    std::string vendor;
    std::optional<std::uintmax_t> archiveSize;
};

struct GameFolder {
    std::vector<std::string> folders;
    std::vector<GameEntry> games;
    // More entries than the bounds let through were left out.
    bool cut = false;
};

// Reads the folder, served at `folderPath` (beginning and ending with "/"):
// every descriptor (".jad"), every archive (".jar") that no descriptor
// beside it names or shares its name with, and every subfolder. Hidden entries (a name beginning with ".") are left out.
// Folders come sorted by name, games by the name they show.
[[nodiscard]] GameFolder readGameFolder(const std::filesystem::path& folder, const std::string& folderPath);

// The name of the descriptor made for an archive: "name.jar" gives "name.jad".
[[nodiscard]] std::string madeDescriptorName(const std::string& archiveName);
