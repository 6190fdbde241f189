#pragma once

#include <filesystem>
#include <string>

// What the place of the settings file depends on besides the environment
// ($XDG_CONFIG_HOME and $HOME; %APPDATA% on Windows).
struct SettingsSearch {
    // The file named on the command line; empty when none was.
    std::filesystem::path chosenFile;
    // The folder that holds the program file.
    std::filesystem::path programFolder;
    // The folder an installed copy of the program lives in (/usr/bin for
    // the package; unused on Windows).
    std::filesystem::path installedFolder;
};

// The settings file, as an absolute path:
// 1. the file chosen on the command line;
// 2. "Tarnwick.ini" beside the program when it lies there already, or when
//    the program's folder is writable and is not the installed folder: a
//    build folder or an unpacked copy keeps its settings with it;
// 3. otherwise "Tarnwick.ini" in $XDG_CONFIG_HOME/tarnwick, or in
//    ~/.config/tarnwick when that variable is unset or not an absolute path.
// On Windows, 2 holds for any writable folder (where the installer puts the
// program is the user's own), and 3 is %APPDATA%\Tarnwick.
[[nodiscard]] std::filesystem::path settingsFilePath(const SettingsSearch& search);

// Where the settings file is looked for, in a sentence for --help.
[[nodiscard]] std::string settingsPlaces();

// Whether this process may create files in `folder`.
[[nodiscard]] bool isWritableFolder(const std::filesystem::path& folder);

// Makes the folder that holds `file` when it is missing, so that the first
// write of a setting can create the file. Returns false, with the reason in
// `why`, when the folder cannot be made.
bool makeSettingsFolder(const std::filesystem::path& file, std::string& why);
