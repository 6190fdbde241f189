#include "SettingsLocation.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <windows.h>

namespace fs = std::filesystem;

namespace {

// %APPDATA% for the test's length.
class ApplicationData {
public:
    explicit ApplicationData(const fs::path& folder)
    {
        if (const wchar_t* value = _wgetenv(L"APPDATA"))
            m_before = value;
        SetEnvironmentVariableW(L"APPDATA", folder.c_str());
        _wputenv_s(L"APPDATA", folder.c_str());
    }
    ~ApplicationData() { _wputenv_s(L"APPDATA", m_before.c_str()); }

private:
    std::wstring m_before;
};

TEST(SettingsLocation, IsBesideTheProgramWhereItCanBeKeptElseInTheUsersApplicationData)
{
    TempDirectory root;
    const fs::path program = root.path() / "Programs" / "Tarnwick";
    fs::create_directories(program);
    const ApplicationData appData(root.path() / "Roaming");

    EXPECT_EQ(settingsFilePath({"mine.ini", program, {}}), fs::absolute("mine.ini"));
    EXPECT_EQ(settingsFilePath({{}, program, {}}), program / "Tarnwick.ini") << "a folder of the user's own";
    EXPECT_EQ(settingsFilePath({{}, root.path() / "gone", {}}), root.path() / "Roaming" / "Tarnwick" / "Tarnwick.ini")
        << "a folder the program cannot write to";
    EXPECT_TRUE(fs::is_empty(program)) << "the look at the folder leaves nothing behind";
}

} // namespace
