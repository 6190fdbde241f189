#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The program without a window: the server and its log on standard output
// until Ctrl+C, a closed console or a termination signal. `arguments` are
// UTF-8, the program's name left out; `programFolder` holds the program.
// Returns the exit status.
int runConsole(const std::vector<std::string>& arguments, const std::filesystem::path& programFolder);
