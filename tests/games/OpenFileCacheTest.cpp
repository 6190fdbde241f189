#include "OpenFileCacheFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace {

// A change made to the served file between two requests, and what the second
// must find.
struct ChangeCase {
    const char* name;
    std::function<void(OpenFileCacheTest&)> change;
    OpenedGameFile::Status status;
    std::string bytes;
    // Windows refuses to rename a file over one that is open, and one deleted
    // while open keeps its name until the last handle lets go: such a change
    // waits there until the cache has let go of the idle file.
    bool whileOpenOnWindows = true;
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
    clockAhead = std::get<1>(GetParam()) ? kAnHour : std::chrono::seconds(0);
    games.write("a.jad", "first");
    games.write("other.jad", "other");
    ASSERT_EQ(ask("/a.jad").bytes, "first");
    ASSERT_EQ(cache.size(), 1u);
    if (kWindows && !change().whileOpenOnWindows)
        cache.closeIdle(OpenFileCache::IdleClock::now() + OpenFileCache::kIdleClose);

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
                   kOpened, "again", false},
        ChangeCase{"removed", [](OpenFileCacheTest& t) { std::filesystem::remove(t.path("a.jad")); }, kNotFound, "",
                   false},
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
                   kNotFound, "", false},
        ChangeCase{"its folder renamed",
                   [](OpenFileCacheTest& t) {
                       std::filesystem::create_directory(t.path("moved"));
                       std::filesystem::rename(t.path("a.jad"), t.path("moved/a.jad"));
                   },
                   kNotFound, ""}),
        testing::Bool()));

TEST_F(OpenFileCacheTest, KeepsTheFileOpenFromOneRequestToTheNext)
{
    games.write("a.jad", "first");
    // Still being sent: a fresh open could not have the same handle.
    const OpenedGameFile sending = cache.open(games.string(), "/a.jad", path("a.jad"));
    ASSERT_EQ(sending.status, kOpened);

    EXPECT_EQ(ask("/a.jad").descriptor, sending.body.file.get());
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
