#include "GameCatalogue.h"

#include "JarFile.h"
#include "TempDirectory.h"
#include "TinyPng.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

void writeGame(const TempDirectory& games, const std::string& stem, const std::string& name, int iconSide = 16)
{
    JarFile()
        .manifest({"MIDlet-Name: " + name, "MIDlet-Version: 1.0", "MIDlet-Vendor: Tarnwick",
                   "MIDlet-1: " + name + ", /icon.png, a.Main", "MicroEdition-Profile: MIDP-2.0"})
        .add("icon.png", tinyPng(iconSide, iconSide))
        .write(games.path() / (stem + ".jar"));
}

std::vector<std::string> linksOf(const GameFolder& folder)
{
    std::vector<std::string> links;
    for (const GameEntry& game : folder.games)
        links.push_back(game.linkName);
    return links;
}

TEST(GameCatalogue, ReadsTheDirectoryOffTheCallersThreadAndTakesUpChanges)
{
    TempDirectory games;
    writeGame(games, "a", "Alpha");
    writeGame(games, "sub/b", "Beta", 20);
    GameCatalogue catalogue;
    catalogue.setGameDirectory(games.string());
    catalogue.waitUntilIdle();

    const auto top = catalogue.folder("/");
    ASSERT_TRUE(top);
    EXPECT_EQ(linksOf(*top), std::vector<std::string>{"a.jad"});
    EXPECT_EQ(top->folders, std::vector<std::string>{"sub"});
    EXPECT_EQ(top->games[0].profile, "MIDP-2.0");
    EXPECT_EQ(catalogue.icon(top->games[0].iconId), tinyPng(16, 16));
    const auto sub = catalogue.folder("/sub/");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->games[0].iconWidth, 20);
    catalogue.waitUntilIdle();

    // Asked again before the change is read, the caller gets the listing it had; then the new one.
    writeGame(games, "c", "Gamma");
    EXPECT_EQ(catalogue.folder("/"), top);
    catalogue.waitUntilIdle();
    EXPECT_EQ(linksOf(*catalogue.folder("/")), (std::vector<std::string>{"a.jad", "c.jad"}));

    // An icon no game shows any longer is let go.
    const std::string iconOfSub = sub->games[0].iconId;
    std::filesystem::remove(games.path() / "sub/b.jar");
    (void)catalogue.folder("/sub/");
    catalogue.waitUntilIdle();
    EXPECT_TRUE(catalogue.folder("/sub/")->games.empty());
    EXPECT_FALSE(catalogue.icon(iconOfSub));
    EXPECT_FALSE(catalogue.icon("not-an-id"));
}

TEST(GameCatalogue, ReadsAgainOnlyTheGamesWhoseFilesChanged)
{
    TempDirectory games;
    for (const char* stem : {"a", "b", "c"})
        writeGame(games, stem, stem);
    games.write("d.jad", "MIDlet-Name: D\r\nMIDlet-Jar-URL: d.jar\r\n");
    writeGame(games, "d", "D");
    int iconsRead = 0;
    FolderReading how;
    how.keepIcon = [&iconsRead](const GameIcon&) {
        ++iconsRead;
        return std::string("id");
    };
    const GameFolder first = readGameFolder(games.string(), "/", how);
    EXPECT_EQ(iconsRead, 4);

    how.previous = &first;
    iconsRead = 0;
    EXPECT_EQ(readGameFolder(games.string(), "/", how), first);
    EXPECT_EQ(iconsRead, 0);

    // A rewritten archive is read again, and so is the game whose descriptor names it.
    writeGame(games, "b", "Bee much longer");
    writeGame(games, "d", "D much longer");
    const GameFolder second = readGameFolder(games.string(), "/", how);
    EXPECT_EQ(iconsRead, 2);
    EXPECT_EQ(second.games[1].name, "Bee much longer");
}

TEST(GameCatalogue, ReadsAFolderOnlyUpToTheEntryBound)
{
    TempDirectory games;
    for (int i = 0; i < 10; ++i)
        games.write("g" + std::to_string(i) + ".jad", "MIDlet-Name: G\r\n");
    FolderReading how;
    how.maxEntries = 4;
    const GameFolder folder = readGameFolder(games.string(), "/", how);
    EXPECT_TRUE(folder.cut);
    EXPECT_EQ(folder.games.size(), 4u);
    how.maxEntries = 10;
    EXPECT_FALSE(readGameFolder(games.string(), "/", how).cut);
}

TEST(GameCatalogue, GivesWholeListingsWhileGamesComeAndGo)
{
    TempDirectory games;
    for (int i = 0; i < 20; ++i)
        games.write("keep" + std::to_string(i) + ".jad", "MIDlet-Name: Keep " + std::to_string(i) + "\r\n");
    GameCatalogue catalogue;
    catalogue.setGameDirectory(games.string());
    catalogue.waitUntilIdle();

    std::atomic<bool> done{false};
    std::thread changer([&] {
        for (int round = 0; round < 40; ++round) {
            const std::string name = "come" + std::to_string(round % 5) + ".jad";
            games.write(name, "MIDlet-Name: Come\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::filesystem::remove(games.path() / name);
            catalogue.rescan();
        }
        done = true;
    });
    std::size_t looks = 0;
    while (!done) {
        const auto listing = catalogue.folder("/");
        ASSERT_TRUE(listing);
        std::set<std::string> links;
        std::size_t kept = 0;
        for (const GameEntry& game : listing->games) {
            EXPECT_TRUE(links.insert(game.linkName).second) << game.linkName;
            kept += game.linkName.starts_with("keep") ? 1 : 0;
        }
        EXPECT_EQ(kept, 20u);
        ++looks;
    }
    changer.join();
    catalogue.waitUntilIdle();
    (void)catalogue.folder("/");
    catalogue.waitUntilIdle();
    EXPECT_EQ(catalogue.folder("/")->games.size(), 20u);
    EXPECT_GT(looks, 0u);
}

} // namespace
