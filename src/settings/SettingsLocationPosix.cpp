#include "SettingsLocation.h"

#include <cstdlib>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kFileName = "Tarnwick.ini";
constexpr const char* kFolderName = "tarnwick";

// The value of an environment variable that must name an absolute path to
// be used; "" otherwise.
std::string absolutePathVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

fs::path homeFolder()
{
    if (const std::string home = absolutePathVariable("HOME"); !home.empty())
        return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

fs::path userConfigFolder()
{
    // A relative value is to be ignored, as if the variable were unset.
    if (const std::string configHome = absolutePathVariable("XDG_CONFIG_HOME"); !configHome.empty())
        return configHome;
    const fs::path home = homeFolder();
    return home.empty() ? fs::path{} : home / ".config";
}

bool isSameFolder(const fs::path& a, const fs::path& b)
{
    std::error_code ignored;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, ignored);
}

} // namespace

fs::path settingsFilePath(const SettingsSearch& search)
{
    std::error_code ignored;
    if (!search.chosenFile.empty())
        return fs::absolute(search.chosenFile, ignored);

    const fs::path besideProgram = search.programFolder / kFileName;
    if (fs::exists(besideProgram, ignored))
        return besideProgram;
    if (isWritableFolder(search.programFolder) && !isSameFolder(search.programFolder, search.installedFolder))
        return besideProgram;

    const fs::path configFolder = userConfigFolder();
    // Without any home the program's own folder is the last place left.
    return configFolder.empty() ? besideProgram : configFolder / kFolderName / kFileName;
}

std::string settingsPlaces()
{
    return "Settings: Tarnwick.ini beside the program when it can be kept there,\n"
           "otherwise in $XDG_CONFIG_HOME/tarnwick/ (~/.config/tarnwick/ when unset).";
}

bool isWritableFolder(const fs::path& folder)
{
    // The system lets root write anywhere; a folder marked read-only for
    // everyone is taken as meant so, for root too.
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (error || !fs::is_directory(status))
        return false;
    constexpr auto anyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((status.permissions() & anyWrite) == fs::perms::none)
        return false;
    return access(folder.c_str(), W_OK) == 0;
}
