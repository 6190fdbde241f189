#include "SettingsLocation.h"

#include "TempDirectory.h"
#include "modIniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        set(value);
    }
    ~ScopedVariable() { set(m_old); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void set(const std::optional<std::string>& value)
    {
        if (value)
            setenv(m_name, value->c_str(), 1);
        else
            unsetenv(m_name);
    }

    const char* m_name;
    std::optional<std::string> m_old;
};

enum class ConfigHome { Unset, Absolute, Relative, Empty };

// Paths are relative to the test's own root folder, which holds the program
// folder "bin", the home folder "home" and "xdg" for $XDG_CONFIG_HOME.
struct LocationCase {
    const char* name;
    const char* chosenFile; // "" when none is given on the command line
    bool readOnlyProgramFolder;
    bool fileBesideProgram;
    bool installedInProgramFolder;
    ConfigHome configHome;
    const char* expected;
};

std::ostream& operator<<(std::ostream& out, const LocationCase& c)
{
    return out << c.name;
}

class SettingsLocation : public testing::TestWithParam<LocationCase> {
protected:
    ~SettingsLocation() override
    {
        std::error_code ignored;
        fs::permissions(programFolder, fs::perms::owner_all, fs::perm_options::add, ignored);
    }

    TempDirectory root;
    fs::path programFolder = root.path() / "bin";
};

TEST_P(SettingsLocation, FollowsTheCommandLineThenTheProgramFolderThenTheUsersConfigFolder)
{
    const LocationCase& c = GetParam();
    fs::create_directories(programFolder);
    if (c.fileBesideProgram)
        root.write("bin/Tarnwick.ini", "[Server Setting]\nLocalPort=8080\n");
    if (c.readOnlyProgramFolder)
        fs::permissions(programFolder, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec |
                                           fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    std::optional<std::string> configHome;
    if (c.configHome == ConfigHome::Absolute)
        configHome = (root.path() / "xdg").string();
    else if (c.configHome == ConfigHome::Relative)
        configHome = "xdg";
    else if (c.configHome == ConfigHome::Empty)
        configHome = "";
    const ScopedVariable xdg("XDG_CONFIG_HOME", configHome);
    const ScopedVariable home("HOME", (root.path() / "home").string());

    // A relative file on the command line is taken from the current folder.
    const fs::path before = fs::current_path();
    fs::current_path(root.path());
    const fs::path found = settingsFilePath(
        {c.chosenFile, programFolder, c.installedInProgramFolder ? programFolder : fs::path("/usr/bin")});
    fs::current_path(before);

    EXPECT_EQ(found, root.path() / c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsLocation,
    testing::Values(
        LocationCase{"WritableFolder", "", false, false, false, ConfigHome::Absolute, "bin/Tarnwick.ini"},
        LocationCase{"ReadOnlyFolder", "", true, false, false, ConfigHome::Absolute, "xdg/tarnwick/Tarnwick.ini"},
        LocationCase{"ReadOnlyFolderWithAFile", "", true, true, false, ConfigHome::Absolute, "bin/Tarnwick.ini"},
        // Root may write into /usr/bin; an installed program still keeps
        // its settings per user.
        LocationCase{"InstalledFolder", "", false, false, true, ConfigHome::Absolute, "xdg/tarnwick/Tarnwick.ini"},
        LocationCase{"InstalledFolderWithAFile", "", false, true, true, ConfigHome::Absolute, "bin/Tarnwick.ini"},
        LocationCase{"ConfigHomeUnset", "", true, false, false, ConfigHome::Unset,
                     "home/.config/tarnwick/Tarnwick.ini"},
        LocationCase{"ConfigHomeEmpty", "", true, false, false, ConfigHome::Empty,
                     "home/.config/tarnwick/Tarnwick.ini"},
        LocationCase{"ConfigHomeRelative", "", true, false, false, ConfigHome::Relative,
                     "home/.config/tarnwick/Tarnwick.ini"},
        LocationCase{"ChosenFile", "elsewhere/my.ini", false, true, false, ConfigHome::Absolute,
                     "elsewhere/my.ini"},
        LocationCase{"ChosenFileForAnInstalledProgram", "my.ini", true, false, true, ConfigHome::Unset, "my.ini"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsFolder, IsMadeSoThatTheFirstWriteCreatesTheFile)
{
    const TempDirectory root;
    const fs::path file = root.path() / "config" / "tarnwick" / "Tarnwick.ini";
    std::string why;

    ASSERT_TRUE(makeSettingsFolder(file, why)) << why;
    EXPECT_TRUE(makeSettingsFolder(file, why)) << "an existing folder is no error: " << why;
    ASSERT_TRUE(WriteIniValue("Directory Setting", "Virtual Directory", "/home/ann/games", file.string()));
    EXPECT_EQ(ReadIniValue("Directory Setting", "Virtual Directory", file.string()), "/home/ann/games");
}

TEST(SettingsFolder, SaysWhyItCannotBeMade)
{
    const TempDirectory root;
    root.write("config", "a file where the folder should be");
    std::string why;

    EXPECT_FALSE(makeSettingsFolder(root.path() / "config" / "tarnwick" / "Tarnwick.ini", why));
    EXPECT_FALSE(why.empty());
}

} // namespace
