#pragma once

#include <string>

// The full path of the settings file, fixed once at start-up.
inline std::string IniFilePath;
