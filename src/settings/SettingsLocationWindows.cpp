#include "SettingsLocation.h"

#include <cwchar>
#include <cstdlib>
#include <system_error>

#include <windows.h>

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kFileName = L"Tarnwick.ini";
constexpr const wchar_t* kFolderName = L"Tarnwick";

// Where a Windows program keeps the settings of one user: the roaming
// application data folder, "" when the environment does not name one.
fs::path applicationDataFolder()
{
    const wchar_t* value = _wgetenv(L"APPDATA");
    return value && *value ? fs::path(value) : fs::path();
}

} // namespace

fs::path settingsFilePath(const SettingsSearch& search)
{
    std::error_code ignored;
    if (!search.chosenFile.empty())
        return fs::absolute(search.chosenFile, ignored);

    // Beside the program, as a copy unpacked to a folder or a stick keeps it.
    const fs::path besideProgram = search.programFolder / kFileName;
    if (fs::exists(besideProgram, ignored) || isWritableFolder(search.programFolder))
        return besideProgram;
    const fs::path applicationData = applicationDataFolder();
    return applicationData.empty() ? besideProgram : applicationData / kFolderName / kFileName;
}

std::string settingsPlaces()
{
    return "Settings: Tarnwick.ini beside the program when it can be kept there,\n"
           "otherwise in %APPDATA%\\Tarnwick\\.";
}

bool isWritableFolder(const fs::path& folder)
{
    // Permissions on Windows are lists of rules that only an attempt reads
    // right: a file made in the folder and gone again when it is closed.
    const fs::path probe = folder / (L"tarnwick-probe-" + std::to_wstring(GetCurrentProcessId()));
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}
