#include "IniFileFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include <sys/wait.h>
#include <unistd.h>

// What a settings file keeps on a POSIX system: the link it is reached
// through, its permission bits, and a folder's refusal to be written.

namespace {

class PosixIniFile : public IniFile {
protected:
    // Root passes every permission check, so it runs the step as the user
    // "nobody" in a child process. Empty when the rights could not be given up.
    static std::optional<bool> withoutPrivileges(const std::function<bool()>& step)
    {
        if (::geteuid() != 0)
            return step();
        const pid_t child = ::fork();
        if (child == 0) {
            constexpr id_t kNobody = 65534;
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(2);
            ::_exit(step() ? 0 : 1);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 2)
            return std::nullopt;
        return WEXITSTATUS(status) == 0;
    }
};

TEST_F(PosixIniFile, WritesThroughALinkAndKeepsTheLink)
{
    std::filesystem::create_directories(folder.path() / "conf");
    const auto target = folder.path() / "conf" / "real.ini";
    std::ofstream(target, std::ios::binary) << "[Directory Setting]\nVirtual Directory=/old\n";
    std::filesystem::create_symlink("conf/real.ini", path);

    ASSERT_TRUE(WriteIniValue("Directory Setting", "Virtual Directory", "/new", path));

    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(std::filesystem::read_symlink(path), "conf/real.ini");
    EXPECT_EQ(contents(), "[Directory Setting]\nVirtual Directory=/new\n");
    EXPECT_EQ(std::vector<std::string>{"real.ini"}, fileNames(folder.path() / "conf"));
}


TEST_F(PosixIniFile, KeepsTheFilesModeAndLeavesNothingBeside)
{
    using std::filesystem::perms;
    write("[Directory Setting]\nVirtual Directory=/old\n");
    const perms mode = perms::owner_read | perms::owner_write | perms::group_read;
    std::filesystem::permissions(path, mode);

    ASSERT_TRUE(WriteIniValue("Directory Setting", "Virtual Directory", "/new", path));

    EXPECT_EQ(std::filesystem::status(path).permissions(), mode);
    EXPECT_EQ(std::vector<std::string>{"Tarnwick.ini"}, fileNames(folder.path()));
}


TEST_F(PosixIniFile, ReportsAWriteInAReadOnlyFolderAndKeepsTheFile)
{
    const std::string before = "[Directory Setting]\nVirtual Directory=/old\n";
    write(before);
    using std::filesystem::perms;
    using std::filesystem::perm_options;
    std::filesystem::permissions(folder.path(), perms::owner_write | perms::group_write | perms::others_write,
                                 perm_options::remove);

    const std::optional<bool> written =
        withoutPrivileges([&] { return WriteIniValue("Directory Setting", "Virtual Directory", "/new", path); });

    std::filesystem::permissions(folder.path(), perms::owner_write, perm_options::add);
    ASSERT_TRUE(written.has_value()) << "could not give up root's rights";
    EXPECT_FALSE(*written);
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(std::vector<std::string>{"Tarnwick.ini"}, fileNames(folder.path()));
}


} // namespace
