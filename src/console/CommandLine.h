#pragma once

#include <string>
#include <vector>

// What the command line asks of the program.
struct CommandLine {
    enum class Action {
        Serve,   // serve with the settings found (see settingsFilePath)
        Help,    // print the usage and end
        Version, // print the version and end
        Refuse,  // print `problem` and end with status 2
    };
    Action action = Action::Serve;
    // The file named with --settings; empty when none was.
    std::string settingsFile;
    std::string problem;
};

// Reads `arguments` (the program's name left out): --settings FILE (or
// --settings=FILE), -h/--help, -v/--version; anything else is refused.
[[nodiscard]] CommandLine readCommandLine(const std::vector<std::string>& arguments);

// What --help prints; `settingsPlaces` says where the settings are looked for.
[[nodiscard]] std::string usageText(const std::string& settingsPlaces);
