#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kDescriptorType = "text/vnd.sun.j2me.app-descriptor";
inline constexpr std::string_view kArchiveType = "application/java-archive";

// The extension of the file's own name: the text from the last "." of the
// last path segment to its end ("snake.v1.2.jar" gives ".jar"), or "" when
// that name has no dot. Folder names never take part, dots or not.
[[nodiscard]] std::string GetFileExtension(std::string_view path);

// The type a phone expects for the path: descriptors and archives by their
// extension (in any letter case), "text/html" for everything else.
[[nodiscard]] std::string GetMimeType(std::string_view path);
