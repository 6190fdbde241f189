#pragma once

#include "FileStamp.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The system's own handle of an open file, and the few calls made on it.
// A descriptor on POSIX systems. On Windows the HANDLE itself, not a C
// runtime descriptor wrapped around one: reading at an offset, sending a
// file to a socket and the file information calls all take the HANDLE; the
// runtime's table of descriptors is bounded and locked; and its open cannot
// share the right to delete, which is what lets a game being served be
// replaced or deleted. Declared as void* so that <windows.h> stays out of
// every file that sends a file.
#ifdef _WIN32
using NativeFile = void*;
inline constexpr NativeFile kNoFile = nullptr;
// Windows takes some names for others (devices, streams, short names);
// a request path that would be taken so is never served.
inline constexpr bool kNamesBend = true;
#else
using NativeFile = int;
inline constexpr NativeFile kNoFile = -1;
inline constexpr bool kNamesBend = false;
#endif

struct OpenAttempt {
    NativeFile file = kNoFile;
    // When it failed: the name leads nowhere, rather than to something the
    // system refused to open.
    bool missing = false;
};

// Opens the file `path` (UTF-8) names for reading, links followed, without
// blocking whatever it names (a FIFO, a device), and without keeping anyone
// else from writing, renaming or deleting it meanwhile.
[[nodiscard]] OpenAttempt openForReading(const std::string& path);

void closeFile(NativeFile file);

// What one look at a file finds.
struct FileLook {
    FileStamp stamp;
    // An ordinary file: no folder, device or pipe.
    bool ordinary = false;
    // What else tells who may open it, as far as the system shows it
    // without opening it: type, permissions, owner, group and links on
    // POSIX systems; attributes and links on Windows.
    std::array<std::uint64_t, 4> access{};
};

// Whether `now` is still the file that was looked at as `kept`: the same
// file on the same device, its type, access and links unchanged. The change
// time catches what those do not show (an ACL changed, the file renamed away
// and back); they catch changes within one tick of the clock that stamps it.
[[nodiscard]] bool isSameFile(const FileLook& kept, const FileLook& now);

// A look at an open file.
[[nodiscard]] std::optional<FileLook> lookAt(NativeFile file);

// A look at what `path` (a folder too) names now, links followed as an open
// follows them; nothing when it is missing or cannot be looked at.
[[nodiscard]] std::optional<FileLook> lookAtName(const std::filesystem::path& path);

// Whether one more file may be kept open for later: files kept open must
// never take the room that answers and new connections need.
[[nodiscard]] bool hasRoomToKeep(NativeFile file);
