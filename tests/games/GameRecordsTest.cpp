#include "GameRecords.h"

#include "JarFile.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

// A store over a folder of games whose archive openings are counted, with
// the clock that file stamps are compared with in the test's hands.
class GameRecordsTest : public testing::Test {
protected:
    GameRecordsTest()
    {
        for (const char* name : {"a", "b", "c"}) {
            JarFile().manifest({"MIDlet-Name: " + std::string(name)}).write(games.path() / (name + std::string(".jar")));
            games.write(name + std::string(".jad"), "MIDlet-Jar-URL: " + std::string(name) + ".jar\r\n");
        }
    }

    std::shared_ptr<const GameRecord> ask(GameRecords& records, const std::string& name)
    {
        return records.descriptor(games.string(), false, "/" + name + ".jad");
    }

    RecordSources sources()
    {
        RecordSources counted;
        counted.open = [this](const std::filesystem::path& file, std::string& error, const JarLimits& limits) {
            ++opened;
            return JarArchive::open(file, error, limits);
        };
        counted.now = [this] { return std::filesystem::file_time_type::clock::now() + ahead; };
        return counted;
    }

    TempDirectory games;
    int opened = 0;
    std::chrono::hours ahead{0};
};

TEST_F(GameRecordsTest, ReadsAGameChangedLatelyEachTimeUntilItIsLeftAlone)
{
    GameRecords records(sources());
    // Written just now: a change in the same tick of the file system's clock would go unseen.
    (void)ask(records, "a");
    (void)ask(records, "a");
    EXPECT_EQ(opened, 2);

    ahead = std::chrono::hours(1);
    const auto settled = ask(records, "a");
    EXPECT_EQ(ask(records, "a"), settled);
    EXPECT_EQ(opened, 3);
}

TEST_F(GameRecordsTest, KeepsTheGamesAskedForLast)
{
    ahead = std::chrono::hours(1);
    GameRecords records(sources(), 2);
    const auto a = ask(records, "a");
    (void)ask(records, "b");
    EXPECT_EQ(ask(records, "a"), a);
    (void)ask(records, "c");
    EXPECT_EQ(opened, 3);

    // "b" went for "c"; "a" was asked for after it.
    EXPECT_EQ(ask(records, "a"), a);
    (void)ask(records, "b");
    EXPECT_EQ(opened, 4);
}

} // namespace
