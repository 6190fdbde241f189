#include "OpenFileCacheFixture.h"

#include "OpenDescriptors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// What the cache keeps open, counted as the system counts descriptors, and
// links and permissions as POSIX systems have them.

namespace {

int openDescriptors()
{
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator{}));
}

const auto kOpened = OpenedGameFile::Status::Opened;

TEST_F(OpenFileCacheTest, SeesALinkPointedElsewhere)
{
    games.write("one.jad", "one");
    games.write("two.jad", "two");
    std::filesystem::create_symlink("one.jad", path("a.jad"));
    ASSERT_EQ(ask("/a.jad").bytes, "one");

    std::filesystem::remove(path("a.jad"));
    std::filesystem::create_symlink("two.jad", path("a.jad"));

    EXPECT_EQ(ask("/a.jad").bytes, "two");
}

TEST_F(OpenFileCacheTest, SeesAFileMadeUnreadable)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not keep the superuser from reading";
    games.write("a.jad", "first");
    ASSERT_EQ(ask("/a.jad").status, kOpened);

    ::chmod(path("a.jad").c_str(), 0);

    EXPECT_EQ(ask("/a.jad").status, OpenedGameFile::Status::Unreadable);
}

TEST_F(OpenFileCacheTest, ServesAFileAgainFromTheSameDescriptor)
{
    games.write("a.jad", "first");
    const int first = ask("/a.jad").descriptor;
    const int before = openDescriptors();

    EXPECT_EQ(ask("/a.jad").descriptor, first);
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(OpenFileCacheTest, KeepsAtMostItsCapacityAndLetsGoOfAllWhenAsked)
{
    const int before = openDescriptors();
    constexpr std::size_t kFiles = OpenFileCache::kDefaultCapacity + 5;
    for (std::size_t i = 0; i < kFiles; ++i) {
        const std::string name = std::to_string(i) + ".jad";
        games.write(name, name);
        EXPECT_EQ(ask("/" + name).bytes, name);
    }
    EXPECT_EQ(cache.size(), OpenFileCache::kDefaultCapacity);
    EXPECT_EQ(openDescriptors(), before + static_cast<int>(OpenFileCache::kDefaultCapacity));

    EXPECT_EQ(cache.release(), OpenFileCache::kDefaultCapacity);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(ask("/0.jad").bytes, "0.jad") << "served all the same once released";
}

TEST_F(OpenFileCacheTest, LetsGoOfFilesNotAskedForAWhile)
{
    using namespace std::chrono_literals;
    games.write("old.jar", "old");
    games.write("new.jad", "new");
    ASSERT_EQ(ask("/old.jar").bytes, "old");
    std::this_thread::sleep_for(50ms);
    const auto between = OpenFileCache::IdleClock::now();
    ASSERT_EQ(ask("/new.jad").bytes, "new");
    EXPECT_EQ(filesHeldOpenIn(games.path()).size(), 2u);

    EXPECT_EQ(cache.closeIdle(between), 0u) << "both were asked for just now";
    // The old file has not been asked for in kIdleClose; the new one a little less.
    EXPECT_EQ(cache.closeIdle(between + OpenFileCache::kIdleClose - 1ms), 1u);
    EXPECT_EQ(filesHeldOpenIn(games.path()), std::vector<std::string>{path("new.jad")});

    // A file being sent stays open until its answer is done with it.
    OpenedGameFile sending = cache.open(games.string(), "/new.jad", path("new.jad"));
    EXPECT_EQ(cache.closeIdle(OpenFileCache::IdleClock::now() + OpenFileCache::kIdleClose), 1u);
    EXPECT_EQ(filesHeldOpenIn(games.path()).size(), 1u);
    sending = {};
    EXPECT_TRUE(filesHeldOpenIn(games.path()).empty());
    EXPECT_EQ(ask("/old.jar").bytes, "old") << "served all the same once let go";
}

TEST_F(OpenFileCacheTest, KeepsNoDescriptorCloseToTheLimit)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' own checks need free descriptors, which this test uses up";
#endif
    games.write("a.jad", "first");
    rlimit original{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &original), 0);
    // Room for the file, but within the reserve the socket array keeps.
    rlimit tight = original;
    tight.rlim_cur = static_cast<rlim_t>(openDescriptors()) + 20;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const Served answer = ask("/a.jad");
    const std::size_t kept = cache.size();
    ::setrlimit(RLIMIT_NOFILE, &original);

    EXPECT_EQ(answer.bytes, "first");
    EXPECT_EQ(kept, 0u);
}

} // namespace
