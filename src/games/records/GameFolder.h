#pragma once

#include "FileStamp.h"
#include "GameIcon.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What one folder of the game directory offers a phone: its games and its
// subfolders, as the game list shows them.

// Collectors keep thousands of games in one folder; past this many entries
// a folder is taken for something else and read no further.
inline constexpr std::size_t kMaxFolderEntries = 50'000;
// Names, versions and vendors are shown up to this many bytes: a page is
// for reading, and one game must not fill it.
inline constexpr std::size_t kMaxShownBytes = 64;

struct GameEntry {
    // What the entry links, in the folder: the descriptor, or for an archive
    // without one the descriptor made for it ("name.jad").
    std::string linkName;
    // From the descriptor, or the archive's manifest; empty when not given.
    std::string name;
    std::string version;
    std::string vendor;
    std::string profile;
    std::optional<std::uintmax_t> archiveSize;
    // The icon as kept by the reading's keepIcon (empty: none), and its size in pixels.
    std::string iconId;
    int iconWidth = 0;
    int iconHeight = 0;
    // What the entry was read from: while neither file changes, a later
    // reading takes the entry over without opening them again.
    std::optional<FileStamp> descriptorStamp;
    std::string archiveName; // in the folder or below it; empty when elsewhere
    std::optional<FileStamp> archiveStamp;

    bool operator==(const GameEntry&) const = default;
};

struct GameFolder {
    std::vector<std::string> folders;
    std::vector<GameEntry> games;
    // The folder had more entries than kMaxFolderEntries.
    bool cut = false;
    // For a list shown to one phone: the games from this index on need more
    // than the phone has; the note stands before them.
    std::size_t beyondPhoneFrom = SIZE_MAX;
    std::string beyondPhoneNote;

    bool operator==(const GameFolder&) const = default;
};

class GameRecords;

struct FolderReading {
    // The folder as read before: entries whose files did not change are taken from it.
    const GameFolder* previous = nullptr;
    // Where the games are read, shared with whoever else looks at them;
    // none: each game is read here.
    GameRecords* records = nullptr;
    // Keeps an icon for the list and gives its id; an empty id leaves the icon out.
    std::function<std::string(const GameIcon&)> keepIcon;
    // Asked between entries: a reading no longer wanted stops early.
    std::function<bool()> abandoned;
    std::size_t maxEntries = kMaxFolderEntries;
};

// Reads the folder of `gameDirectory` served at `folderPath` (beginning and
// ending with "/"): every descriptor (".jad"), every archive (".jar") that
// no descriptor beside it names or shares its name with, and every
// subfolder. Hidden entries (a name beginning with ".") are left out.
// Folders come sorted by name, games by the name they show (letter case
// aside), then by file name. Request paths are taken as percent-decoded, as
// the server takes them while the list is on.
[[nodiscard]] GameFolder readGameFolder(const std::string& gameDirectory, const std::string& folderPath,
                                        const FolderReading& how = {});

// The name of the descriptor made for an archive: "name.jar" gives "name.jad".
[[nodiscard]] std::string madeDescriptorName(const std::string& archiveName);

// The name a game shows: its MIDlet-Name, else the file it links.
[[nodiscard]] const std::string& shownName(const GameEntry& game);
