#include "ServiceHarness.h"

#include "GameListService.h"
#include "JarFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kOrigin = "http://10.0.0.2";

// Archives opened while the records are read, counted.
RecordSources countedOpenings(const std::shared_ptr<std::atomic<int>>& opened)
{
    RecordSources sources;
    sources.open = [opened](const std::filesystem::path& file, std::string& error, const JarLimits& limits) {
        ++*opened;
        return JarArchive::open(file, error, limits);
    };
    // An hour ahead, every file looks left alone long enough to be trusted.
    sources.now = [] { return std::filesystem::file_time_type::clock::now() + std::chrono::hours(1); };
    return sources;
}

// The request service, the game list and the game check over one game:
// each reads the game from the record the others read.
class OneReading : public testing::Test, protected ServiceHarness {
public:
    OneReading()
        : OneReading(std::make_shared<std::atomic<int>>())
    {
    }

    explicit OneReading(std::shared_ptr<std::atomic<int>> opened)
        : ServiceHarness(countedOpenings(opened))
        , opened(std::move(opened))
    {
        writeArchive({"MIDlet-Name: Snake", "MicroEdition-Profile: MIDP-2.0"});
        writeDescriptor("Snake", {});
        service.setGameList(true);
        service.setRepairDescriptors(true);
        listed();
    }

    void writeArchive(const std::vector<std::string>& manifest, std::size_t filler = 0)
    {
        std::vector<std::string> lines{"Manifest-Version: 1.0", "MIDlet-Version: 1.0", "MIDlet-Vendor: Ann",
                                       "MIDlet-1: Snake, /icon.png, snake.Main", "MicroEdition-Configuration: CLDC-1.0"};
        lines.insert(lines.end(), manifest.begin(), manifest.end());
        JarFile().manifest(lines).add("snake/Main.class", std::string(100 + filler, 'c'), true).write(
            games.path() / "snake.jar");
    }

    void writeDescriptor(const std::string& name, const std::string& more)
    {
        games.write("snake.jad", "MIDlet-Name: " + name + "\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: Ann\r\n"
                                 "MIDlet-Jar-URL: snake.jar\r\nMIDlet-Jar-Size: " +
                                     std::to_string(archiveSize()) + "\r\n" + more);
    }

    const TempDirectory& folder() const { return games; }

protected:
    std::uintmax_t archiveSize() const
    {
        std::error_code missing;
        const std::uintmax_t size = std::filesystem::file_size(games.path() / "snake.jar", missing);
        return missing ? 0 : size;
    }

    // The descriptor a phone is served, and the line it was logged with.
    std::pair<std::string, std::string> served()
    {
        sockets.sent[1].clear();
        sink.clear();
        arrive(1, "GET /snake.jad HTTP/1.0\r\nHost: 10.0.0.2\r\n\r\n");
        const std::string sent = sockets.sentOn(1);
        const std::vector<std::string> lines = sink.entries();
        return {sent.substr(sent.find("\r\n\r\n") + 4), lines.empty() ? "" : lines.front()};
    }

    // The game list's page, once the list has taken up the game directory as it is.
    std::string listed()
    {
        GameCatalogue& catalogue = service.gameList()->catalogue();
        catalogue.rescan();
        catalogue.waitUntilIdle();
        sockets.sent[2].clear();
        arrive(2, "GET / HTTP/1.0\r\n\r\n");
        // A folder changed lately is read again after each look: that reading too is done before the test goes on.
        catalogue.waitUntilIdle();
        const std::string sent = sockets.sentOn(2);
        return sent.substr(sent.find("\r\n\r\n") + 4);
    }

    // What the game check tells of the game, as descriptors are served repaired.
    std::string checked()
    {
        sink.clear();
        core.check().checkAll(games.string(), {kOrigin}, true, true);
        core.check().waitUntilIdle();
        std::string lines;
        for (const std::string& entry : sink.entries())
            lines += entry.substr(entry.find("Game check: "));
        return lines;
    }

    std::shared_ptr<std::atomic<int>> opened;
};

TEST_F(OneReading, ManyRequestsForARepairedDescriptorOpenItsArchiveOnce)
{
    ASSERT_EQ(*opened, 1) << "the list read the game";
    for (int request = 0; request < 50; ++request)
        EXPECT_NE(served().first.find("MIDlet-Jar-URL: http://10.0.0.2/snake.jar\r\n"), std::string::npos);
    EXPECT_NE(checked().find("1 game ready, 0 of them repaired as served, 0 with problems"), std::string::npos);
    EXPECT_EQ(*opened, 1);
}

// A change made to the game's files between two requests, and how the
// answer, the list and the check show it.
struct Change {
    const char* name;
    std::function<void(OneReading&)> make;
    std::string inAnswer;
    std::string inList;
    std::string inCheck;
    // Archives opened to take the change up: the next answer's reading, which the list and the check share.
    int openings;
};

std::ostream& operator<<(std::ostream& out, const Change& change)
{
    return out << change.name;
}

class Changes : public OneReading, public testing::WithParamInterface<Change> {};

TEST_P(Changes, ShowInTheAnswerTheListAndTheCheckFromOneReading)
{
    const Change& change = GetParam();
    change.make(*this);
    const int before = *opened;
    const auto [answer, logLine] = served();
    EXPECT_NE((answer + logLine).find(change.inAnswer), std::string::npos) << answer << logLine;
    EXPECT_NE(listed().find(change.inList), std::string::npos) << listed();
    EXPECT_NE(checked().find(change.inCheck), std::string::npos) << checked();
    EXPECT_EQ(*opened - before, change.openings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Changes,
    testing::Values(
        Change{"ArchiveRebuilt",
               [](OneReading& game) { game.writeArchive({"MIDlet-Name: Snake", "MicroEdition-Profile: MIDP-2.0"}, 4000); },
               "(repaired: MIDlet-Jar-URL on this server, MIDlet-Jar-Size ", " KB, MIDP-2.0",
               "installs only as repaired when served (MIDlet-Jar-URL on this server, MIDlet-Jar-Size ", 1},
        Change{"DescriptorEdited",
               [](OneReading& game) { game.writeDescriptor("Snake II", "MIDlet-Description: Now with levels\r\n"); },
               "MIDlet-Description: Now with levels\r\n", ">Snake II</a>",
               "installs only as repaired when served (MIDlet-Jar-URL on this server, MIDlet-Name Snake (was Snake II))", 1},
        Change{"ArchiveRemoved",
               [](OneReading& game) { std::filesystem::remove(game.folder().path() / "snake.jar"); },
               "MIDlet-Jar-URL: snake.jar\r\n", " bytes</p>",
               "MIDlet-Jar-URL \"snake.jar\" leads to snake.jar, which this server does not serve", 0},
        Change{"ManifestNameChanged",
               [](OneReading& game) { game.writeArchive({"MIDlet-Name: Viper", "MicroEdition-Profile: MIDP-1.0"}); },
               "MIDlet-Name: Viper\r\n", "MIDP-1.0",
               "MIDlet-Name Viper (was Snake))", 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
