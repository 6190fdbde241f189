#pragma once

#include <string>
#include <string_view>

// Replaces a file's contents in one step, so that a failure at any point
// leaves the old file whole: the new text goes to a fresh file in the same
// folder, is flushed to the disk and then renamed over the old one. On
// POSIX systems a symbolic link is written through to the file it names and
// stays a link, and the file keeps its permission bits (and, where allowed,
// its owner). A missing file is created. `file` is UTF-8. Returns false when
// any step fails.
[[nodiscard]] bool replaceFileContents(const std::string& file, std::string_view text);
