#pragma once

#include <string>
#include <string_view>

// The settings file: an INI file of sections and "key=value" lines. Names
// match in any letter case, and a file written on Windows (CR LF) reads the
// same.

// The stored value, or "" when the file, the section or the key is missing.
[[nodiscard]] std::string ReadIniValue(std::string_view section, std::string_view key, const std::string& file);

// Creates what is missing and replaces an existing value, keeping the rest
// of the file, its comments and its order. The file is replaced whole in one
// step, so a failure midway leaves the old file. Returns false when the file
// cannot be read or written.
bool WriteIniValue(std::string_view section, std::string_view key, std::string_view value, const std::string& file);
