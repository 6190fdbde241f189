#pragma once

#include "FileBody.h"
#include "FileStamp.h"

#include <string>
#include <string_view>

// Request paths are mapped onto one folder, the game directory.

// A path that begins with "/" is appended to the game directory as it is,
// with the platform's separator; any other path is returned unchanged. No
// decoding, and the query stays part of the name.
[[nodiscard]] std::string mapRequestPath(std::string_view virtualDir, std::string_view requestPath);

// Whether a request path may name a file to serve at all, before the disk
// is asked: a path that does not begin with "/", that has a segment
// beginning with "." (hidden files, and every "." or ".." that could climb
// out), or that holds a NUL byte is never served; nor is anything while no
// game directory is set, since the mapping would then start at the root of
// the file system. On Windows, nor is a path that Windows would take for
// another file or a device (see bendsOnWindows).
[[nodiscard]] bool isServablePath(std::string_view virtualDir, std::string_view requestPath);

// A request path as the operator finds it in the game directory: without
// its leading "/".
[[nodiscard]] std::string shownPath(std::string_view requestPath);

struct OpenedGameFile {
    enum class Status {
        Opened,     // `body` holds the open file and its size
        NotFound,   // no such file, or not an ordinary file (links followed)
        Unreadable, // there, but the system refused to open it
    };
    Status status = Status::NotFound;
    FileBody body;
    // What the look that found the file saw, when it was opened.
    FileStamp stamp;
};

// Opens the file a request names, once: the checks are made on the open
// descriptor, so the file cannot be swapped between a check and the open.
// Opening never blocks, whatever the path names (a FIFO, a device).
[[nodiscard]] OpenedGameFile openGameFile(std::string_view virtualDir, std::string_view requestPath,
                                          const std::string& mappedPath);
