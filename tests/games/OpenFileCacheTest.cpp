#include "OpenFileCache.h"

#include "OpenDescriptors.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int openDescriptors()
{
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator{}));
}

// What an answer would carry: how the file opened, and its bytes as sent.
struct Served {
    OpenedGameFile::Status status = OpenedGameFile::Status::NotFound;
    std::string bytes;
    int descriptor = -1;

    bool operator==(const Served& other) const { return status == other.status && bytes == other.bytes; }
};

Served served(OpenedGameFile opened)
{
    Served result{opened.status, {}, opened.body.file.get()};
    // Sent from the content that came with it, or else read from the file.
    if (opened.body.content) {
        result.bytes = opened.body.content->substr(0, static_cast<std::size_t>(opened.body.size));
    } else if (opened.status == OpenedGameFile::Status::Opened) {
        result.bytes.resize(static_cast<std::size_t>(opened.body.size));
        const ssize_t read = ::pread(opened.body.file.get(), result.bytes.data(), result.bytes.size(), 0);
        result.bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(read, 0)));
    }
    return result;
}

// Public: the table of changes below reaches into it.
class OpenFileCacheTest : public testing::Test {
public:
    Served ask(const std::string& requestPath)
    {
        return served(cache.open(games.string(), requestPath, games.string() + requestPath));
    }
    // What opening the file afresh gives: the cache must never answer otherwise.
    Served fresh(const std::string& requestPath)
    {
        return served(openGameFile(games.string(), requestPath, games.string() + requestPath));
    }
    std::string path(const std::string& name) const { return games.string() + "/" + name; }

    TempDirectory games;
    // How far the cache's clock runs ahead: an hour ahead, every file looks
    // left alone long enough for its content to be kept.
    std::time_t clockAhead = 0;
    OpenFileCache cache{OpenFileCache::kDefaultCapacity, [this] {
                            timespec now{};
                            ::clock_gettime(CLOCK_REALTIME, &now);
                            now.tv_sec += clockAhead;
                            return now;
                        }};
};

constexpr std::time_t kAnHour = 3600;

// A change made to the served file between two requests, and what the second
// must find.
struct ChangeCase {
    const char* name;
    std::function<void(OpenFileCacheTest&)> change;
    OpenedGameFile::Status status;
    std::string bytes;
};

void PrintTo(const ChangeCase& c, std::ostream* out)
{
    *out << c.name;
}

// Each change, with the file's content kept and without.
class FileChange : public OpenFileCacheTest, public testing::WithParamInterface<std::tuple<ChangeCase, bool>> {
protected:
    const ChangeCase& change() const { return std::get<0>(GetParam()); }
};

TEST_P(FileChange, IsSeenAtTheVeryNextRequest)
{
    clockAhead = std::get<1>(GetParam()) ? kAnHour : 0;
    games.write("a.jad", "first");
    games.write("other.jad", "other");
    ASSERT_EQ(ask("/a.jad").bytes, "first");
    ASSERT_EQ(cache.size(), 1u);

    change().change(*this);

    const Served second = ask("/a.jad");
    EXPECT_EQ(second.status, change().status);
    EXPECT_EQ(second.bytes, change().bytes);
    EXPECT_EQ(second, fresh("/a.jad"));
}

const auto kOpened = OpenedGameFile::Status::Opened;
const auto kNotFound = OpenedGameFile::Status::NotFound;

INSTANTIATE_TEST_SUITE_P(
    Cases, FileChange,
    testing::Combine(testing::Values(
        ChangeCase{"nothing", [](OpenFileCacheTest&) {}, kOpened, "first"},
        ChangeCase{"replaced by one of the same size",
                   [](OpenFileCacheTest& t) {
                       t.games.write("new.jad", "again");
                       std::filesystem::rename(t.path("new.jad"), t.path("a.jad"));
                   },
                   kOpened, "again"},
        ChangeCase{"removed", [](OpenFileCacheTest& t) { std::filesystem::remove(t.path("a.jad")); }, kNotFound, ""},
        ChangeCase{"renamed away",
                   [](OpenFileCacheTest& t) { std::filesystem::rename(t.path("a.jad"), t.path("b.jad")); }, kNotFound,
                   ""},
        ChangeCase{"renamed away, another renamed in",
                   [](OpenFileCacheTest& t) {
                       std::filesystem::rename(t.path("a.jad"), t.path("b.jad"));
                       std::filesystem::rename(t.path("other.jad"), t.path("a.jad"));
                   },
                   kOpened, "other"},
        ChangeCase{"truncated", [](OpenFileCacheTest& t) { std::filesystem::resize_file(t.path("a.jad"), 3); },
                   kOpened, "fir"},
        ChangeCase{"rewritten where it is, longer", [](OpenFileCacheTest& t) { t.games.write("a.jad", "firsts"); },
                   kOpened, "firsts"},
        // Past the clock's tick, so that the change has a time of its own.
        ChangeCase{"rewritten where it is, same size",
                   [](OpenFileCacheTest& t) {
                       std::this_thread::sleep_for(std::chrono::milliseconds(20));
                       t.games.write("a.jad", "FIRST");
                   },
                   kOpened, "FIRST"},
        ChangeCase{"made a folder",
                   [](OpenFileCacheTest& t) {
                       std::filesystem::remove(t.path("a.jad"));
                       std::filesystem::create_directory(t.path("a.jad"));
                   },
                   kNotFound, ""},
        ChangeCase{"its folder renamed",
                   [](OpenFileCacheTest& t) {
                       std::filesystem::create_directory(t.path("moved"));
                       std::filesystem::rename(t.path("a.jad"), t.path("moved/a.jad"));
                   },
                   kNotFound, ""}),
        testing::Bool()));

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

TEST_F(OpenFileCacheTest, KeepsTheContentOnlyOfSmallFilesLeftAloneAWhile)
{
    games.write("small.jad", "small");
    games.write("big.jar", std::string(OpenFileCache::kMaxContentBytes + 1, 'x'));
    const auto content = [this](const std::string& requestPath) {
        return cache.open(games.string(), requestPath, games.string() + requestPath).body.content;
    };

    EXPECT_EQ(content("/small.jad"), nullptr) << "just written";
    cache.release();
    clockAhead = kAnHour;
    const auto kept = content("/small.jad");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(*kept, "small");
    EXPECT_EQ(content("/small.jad"), kept) << "the next answer sends the same";
    EXPECT_EQ(content("/big.jar"), nullptr);
}

TEST_F(OpenFileCacheTest, KeepsNoFileThePathMayNotName)
{
    games.write(".hidden.jad", "secret");
    EXPECT_EQ(ask("/.hidden.jad").status, kNotFound);
    EXPECT_EQ(cache.size(), 0u);
}

} // namespace
