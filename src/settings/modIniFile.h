#pragma once

#include <string>
#include <string_view>

// The settings file: an INI file of sections and "key=value" lines. Names
// match in any letter case, and a file written on Windows (CR LF) reads the
// same.

// The stored value, or "" when the file, the section or the key is missing.
[[nodiscard]] std::string ReadIniValue(std::string_view section, std::string_view key, const std::string& file);

// Creates what is missing and replaces an existing value on its own line;
// every other byte of the file stays as it was, line endings included. The
// file is replaced in one step, so a failure midway leaves the old file; a
// symbolic link stays a link to the file it names, and the file keeps its
// mode. Returns false when the file cannot be read or written, and for a
// value with a line break, which would not read back as one value.
bool WriteIniValue(std::string_view section, std::string_view key, std::string_view value, const std::string& file);
