#pragma once

#include <string>
#include <string_view>

// Request paths are mapped onto one folder, the game directory.

// A path that begins with "/" is appended to the game directory as it is,
// with the platform's separator; any other path is returned unchanged. No
// decoding, and the query stays part of the name.
[[nodiscard]] std::string MapPath(std::string_view virtualDir, std::string_view requestPath);

// Whether a request path may name something in the game directory at all.
// A path that does not begin with "/", that has a segment beginning with "."
// (hidden files, and every "." or ".." that could climb out), or that holds
// a NUL byte never does; nor does anything while no game directory is set,
// since the mapping would then start at the root of the file system.
[[nodiscard]] bool isGameDirectoryPath(std::string_view virtualDir, std::string_view requestPath);

// Whether a request may be answered with the file its mapped path names: an
// ordinary file (links followed) inside the game directory.
[[nodiscard]] bool isServableFile(std::string_view virtualDir, std::string_view requestPath,
                                  std::string_view mappedPath);
