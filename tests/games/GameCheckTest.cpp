#include "BoundedRead.h"
#include "DescriptorReader.h"
#include "DescriptorRepair.h"
#include "GameCheck.h"
#include "GameDirectory.h"
#include "JarArchive.h"

#include "JarFile.h"
#include "TempDirectory.h"
#include "TestCertificates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kOrigins{"http://192.168.1.5:8080"};

// A game as a build tool would lay it down, with every part open to
// spoiling. "{size}" in a descriptor line becomes the archive's size.
struct Game {
    std::string folder{};
    std::string name = "Racer";
    std::vector<std::string> descriptor{
        "MIDlet-Name: Racer",        "MIDlet-Version: 1.0.2",
        "MIDlet-Vendor: Ann",        "MIDlet-Jar-URL: Racer.jar",
        "MIDlet-Jar-Size: {size}",   "MicroEdition-Profile: MIDP-2.0",
        "MicroEdition-Configuration: CLDC-1.1"};
    std::string descriptorPrefix{};
    std::vector<std::string> manifest{"Manifest-Version: 1.0", "MIDlet-Name: Racer", "MIDlet-Version: 1.0.2",
                                      "MIDlet-Vendor: Ann", "MIDlet-1: Racer, /icon.png, game.Racer"};
    std::vector<std::string> classes{"game/Racer.class"};
    std::string archiveName = "Racer.jar";
    // Instead of a real archive: these bytes, or no archive at all.
    std::optional<std::string> archiveBytes{};
    bool noArchive = false;
    bool noManifest = false;

    void write(const TempDirectory& games) const
    {
        const fs::path folderPath = games.path() / folder;
        const fs::path archive = folderPath / archiveName;
        if (archiveBytes) {
            games.write((fs::path(folder) / archiveName).string(), *archiveBytes);
        } else if (!noArchive) {
            JarFile jar;
            if (!noManifest)
                jar.manifest(manifest);
            for (const std::string& file : classes)
                jar.add(file, "\xCA\xFE\xBA\xBE class bytes");
            jar.write(archive);
        }
        std::string text = descriptorPrefix;
        for (std::string line : descriptor) {
            if (const auto at = line.find("{size}"); at != std::string::npos)
                line.replace(at, 6, std::to_string(noArchive ? 1234 : fs::file_size(archive)));
            text += line + "\r\n";
        }
        games.write((fs::path(folder) / (name + ".jad")).string(), text);
    }
};

void setAttribute(std::vector<std::string>& lines, const std::string& name, const std::string& value)
{
    std::erase_if(lines, [&](const std::string& line) { return line.starts_with(name + ":"); });
    if (!value.empty())
        lines.push_back(name + ": " + value);
}

class GameCheckTest : public testing::Test {
protected:
    // The lines told so far, after the check has finished.
    std::vector<std::string> checkAll(const std::string& directory)
    {
        m_check.checkAll(directory, kOrigins);
        return linesSoFar();
    }

    std::vector<std::string> linesSoFar()
    {
        m_check.waitUntilIdle();
        std::lock_guard lock(m_mutex);
        return std::exchange(m_lines, {});
    }

    TempDirectory m_games;
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
    GameCheck m_check{[this](const std::string& line) {
                          std::lock_guard lock(m_mutex);
                          m_lines.push_back(line);
                      },
                      std::chrono::milliseconds(0)};
};

struct BrokenGame {
    const char* title;
    std::function<void(Game&)> spoil;
    // The lines about the game, "{size}" standing for the archive's size.
    std::vector<std::string> lines;
};

std::ostream& operator<<(std::ostream& out, const BrokenGame& c)
{
    return out << c.title;
}

class BrokenGames : public GameCheckTest, public testing::WithParamInterface<BrokenGame> {};

TEST_P(BrokenGames, AreToldWithTheCodeAPhoneReportsAndTheFix)
{
    Game game;
    GetParam().spoil(game);
    game.write(m_games);
    std::vector<std::string> expected;
    for (std::string line : GetParam().lines) {
        for (auto at = line.find("{size}"); at != std::string::npos; at = line.find("{size}"))
            line.replace(at, 6, std::to_string(fs::file_size(m_games.path() / game.folder / game.archiveName)));
        expected.push_back("Game check: " + line);
    }
    expected.push_back("Game check: 0 games ready, 1 with problems");
    EXPECT_EQ(checkAll(m_games.string()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenGames,
    testing::Values(
        BrokenGame{"required attributes missing",
                   [](Game& g) {
                       setAttribute(g.descriptor, "MIDlet-Vendor", "");
                       setAttribute(g.descriptor, "MIDlet-Jar-Size", "");
                   },
                   {"Racer.jad: it lacks MIDlet-Vendor, MIDlet-Jar-Size (a phone reports 906 Invalid descriptor); "
                    "add the missing attributes, with the values of the archive's manifest"}},
        BrokenGame{"version with a word",
                   [](Game& g) {
                       setAttribute(g.descriptor, "MIDlet-Version", "1.0 beta");
                       setAttribute(g.manifest, "MIDlet-Version", "1.0 beta");
                   },
                   {"Racer.jad: MIDlet-Version \"1.0 beta\" is not of the form major.minor[.micro], each 0 to 99 "
                    "(a phone reports 906 Invalid descriptor); write it like 1.0 or 1.0.3, in both files"}},
        BrokenGame{"size that is no number", [](Game& g) { setAttribute(g.descriptor, "MIDlet-Jar-Size", "12k"); },
                   {"Racer.jad: MIDlet-Jar-Size \"12k\" is not a number of bytes (a phone reports 906 Invalid "
                    "descriptor); set it to the archive's size in bytes"}},
        BrokenGame{"blank line and byte-order mark",
                   [](Game& g) {
                       g.descriptorPrefix = "\xEF\xBB\xBF";
                       g.descriptor.insert(g.descriptor.begin() + 1, "");
                   },
                   {"Racer.jad: line 1: the file begins with a byte-order mark (a phone reports 906 Invalid "
                    "descriptor); save it as UTF-8 without a byte-order mark (BOM)",
                    "Racer.jad: line 2: a blank line (a phone reports 906 Invalid descriptor); remove the blank line"}},
        BrokenGame{"descriptor too large to read",
                   [](Game& g) { g.descriptorPrefix = "MIDlet-Description: " + std::string(70'000, 'x') + "\r\n"; },
                   {"Racer.jad: it is larger than 65536 bytes (a phone reports 906 Invalid descriptor); keep only "
                    "the game's attributes in it"}},
        BrokenGame{"stale size after a rebuild", [](Game& g) { setAttribute(g.descriptor, "MIDlet-Jar-Size", "999"); },
                   {"Racer.jad: MIDlet-Jar-Size is 999 but Racer.jar is {size} bytes (a phone reports 904 JAR size "
                    "mismatch); set MIDlet-Jar-Size: {size}"}},
        BrokenGame{"version changed in the descriptor only",
                   [](Game& g) { setAttribute(g.descriptor, "MIDlet-Version", "1.0.3"); },
                   {"Racer.jad: MIDlet-Version is \"1.0.3\" in the descriptor but \"1.0.2\" in the manifest (a phone "
                    "reports 905 Attribute mismatch); make the two the same (copy the descriptor that was built "
                    "with this archive)"}},
        BrokenGame{"vendor differs in letter case", [](Game& g) { setAttribute(g.manifest, "MIDlet-Vendor", "ann"); },
                   {"Racer.jad: MIDlet-Vendor is \"Ann\" in the descriptor but \"ann\" in the manifest (a phone "
                    "reports 905 Attribute mismatch); make the two the same (copy the descriptor that was built "
                    "with this archive)"}},
        BrokenGame{"manifest without a name", [](Game& g) { setAttribute(g.manifest, "MIDlet-Name", ""); },
                   {"Racer.jad: the manifest lacks MIDlet-Name (a phone reports 907 Invalid JAR); add MIDlet-Name: "
                    "Racer to the manifest and build the archive again"}},
        BrokenGame{"no profile in either file",
                   [](Game& g) { setAttribute(g.descriptor, "MicroEdition-Profile", ""); },
                   {"Racer.jad: neither the descriptor nor the manifest names MicroEdition-Profile (a phone reports "
                    "907 Invalid JAR); add MicroEdition-Profile: MIDP-2.0 (or what the game needs)"}},
        BrokenGame{"the MIDlet's class left out", [](Game& g) { g.classes = {"game/Racer2.class"}; },
                   {"Racer.jad: MIDlet-1 names the class game.Racer, but Racer.jar has no game/Racer.class (a phone "
                    "reports 907 Invalid JAR); build the archive with that class or correct MIDlet-1"}},
        BrokenGame{"a second MIDlet in the descriptor without its class",
                   [](Game& g) {
                       g.descriptor.push_back("MIDlet-1: Racer, /icon.png, game.Racer");
                       g.descriptor.push_back("MIDlet-2: Editor, , game.Editor");
                   },
                   {"Racer.jad: MIDlet-2 names the class game.Editor, but Racer.jar has no game/Editor.class (a "
                    "phone reports 907 Invalid JAR); build the archive with that class or correct MIDlet-2"}},
        BrokenGame{"no MIDlet at all", [](Game& g) { setAttribute(g.manifest, "MIDlet-1", ""); },
                   {"Racer.jad: neither the descriptor nor the manifest names a MIDlet (MIDlet-1) (a phone reports "
                    "907 Invalid JAR); add MIDlet-1: <name>, <icon>, <class> naming the game's MIDlet class"}},
        BrokenGame{"archive missing", [](Game& g) { g.noArchive = true; },
                   {"Racer.jad: MIDlet-Jar-URL \"Racer.jar\" leads to Racer.jar, which this server does not serve (a "
                    "phone reports 907 Invalid JAR); put the archive there (not hidden, not a folder) or correct "
                    "MIDlet-Jar-URL"}},
        BrokenGame{"archive is an error page", [](Game& g) { g.archiveBytes = "<html>Not found</html>"; },
                   {"Racer.jad: the archive Racer.jar is refused: not a zip archive (a phone reports 907 Invalid "
                    "JAR); build the archive again as a jar (zip) file"}},
        BrokenGame{"archive copied only in part",
                   [](Game& g) {
                       g.archiveBytes = std::string("PK\x03\x04\x14\x00", 6);
                       setAttribute(g.descriptor, "MIDlet-Jar-Size", "1127");
                   },
                   {"Racer.jad: MIDlet-Jar-Size is 1127 but Racer.jar is 6 bytes (a phone reports 904 JAR size "
                    "mismatch); set MIDlet-Jar-Size: 6",
                    "Racer.jad: the archive Racer.jar is refused: not a zip archive (a phone reports 907 Invalid "
                    "JAR); build the archive again as a jar (zip) file"}},
        BrokenGame{"archive without a manifest", [](Game& g) { g.noManifest = true; },
                   {"Racer.jad: the manifest of Racer.jar cannot be read: there is no \"META-INF/MANIFEST.MF\" in the "
                    "archive (a phone reports 907 Invalid JAR); build the archive again with its manifest, "
                    "META-INF/MANIFEST.MF"}},
        BrokenGame{"archive entry that climbs out", [](Game& g) { g.classes.push_back("../../evil.class"); },
                   {"Racer.jad: the archive Racer.jar is refused: an entry named \"../../evil.class\" climbs out of "
                    "the archive (a phone reports 907 Invalid JAR); build the archive again as a jar (zip) file"}},
        BrokenGame{"archive at localhost",
                   [](Game& g) { setAttribute(g.descriptor, "MIDlet-Jar-URL", "http://localhost:8080/Racer.jar"); },
                   {"Racer.jad: MIDlet-Jar-URL \"http://localhost:8080/Racer.jar\" points at localhost, which for a "
                    "phone is the phone itself (a phone reports 907 Invalid JAR); set MIDlet-Jar-URL to the "
                    "archive's name alone (an address relative to the descriptor)"}},
        BrokenGame{"archive in a hidden folder",
                   [](Game& g) {
                       g.archiveName = ".build/Racer.jar";
                       setAttribute(g.descriptor, "MIDlet-Jar-URL", ".build/Racer.jar");
                   },
                   {"Racer.jad: MIDlet-Jar-URL \".build/Racer.jar\" leads to .build/Racer.jar, which this server does "
                    "not serve (a phone reports 907 Invalid JAR); put the archive there (not hidden, not a folder) "
                    "or correct MIDlet-Jar-URL"}},
        BrokenGame{"archive served under the wrong type",
                   [](Game& g) {
                       g.archiveName = "Racer.zip";
                       setAttribute(g.descriptor, "MIDlet-Jar-URL", "Racer.zip");
                   },
                   {"Racer.jad: Racer.zip is served as text/html, since its name does not end in \".jar\" (a phone "
                    "reports 907 Invalid JAR); give the archive a name ending in .jar and set MIDlet-Jar-URL to it"}}));

// A descriptor whose MIDlet-Jar-URL names its archive in other letters
// than the folder holds, as collections copied from memory cards do.
struct ArchiveInOtherLetters {
    const char* title;
    std::string folder;
    std::string url;
    // The archive's names on disk, beside the descriptor: copies of one jar.
    std::vector<std::string> archives;
    // What the check tells, "{size}" standing for the archive's size:
    // served as on disk, and served repaired.
    std::vector<std::string> checked;
    std::vector<std::string> checkedRepaired;
    // MIDlet-Jar-URL and MIDlet-Jar-Size of the repaired descriptor.
    std::string repairedUrl;
    std::string repairedSize;
};

std::ostream& operator<<(std::ostream& out, const ArchiveInOtherLetters& c)
{
    return out << c.title;
}

std::string valueIn(const std::string& text, const std::string& name)
{
    const auto start = text.find(name + ": ");
    if (start == std::string::npos)
        return {};
    const auto value = start + name.size() + 2;
    return text.substr(value, text.find("\r\n", value) - value);
}

class ArchivesInOtherLetters : public GameCheckTest, public testing::WithParamInterface<ArchiveInOtherLetters> {
protected:
    std::vector<std::string> expected(const std::vector<std::string>& lines, std::uintmax_t size) const
    {
        std::vector<std::string> filled;
        for (std::string line : lines) {
            for (auto at = line.find("{size}"); at != std::string::npos; at = line.find("{size}"))
                line.replace(at, 6, std::to_string(size));
            filled.push_back("Game check: " + line);
        }
        return filled;
    }
};

TEST_P(ArchivesInOtherLetters, AreFoundOnlyWhenTheyLeaveNoDoubt)
{
#ifdef _WIN32
    GTEST_SKIP() << "the file system finds a name in any letter case: the archive is served as the descriptor names it";
#endif
    const ArchiveInOtherLetters& c = GetParam();
    Game game{.folder = c.folder, .name = "Snake", .archiveName = c.archives.front()};
    setAttribute(game.descriptor, "MIDlet-Jar-URL", c.url);
    setAttribute(game.descriptor, "MIDlet-Jar-Size", "999");
    game.write(m_games);
    const fs::path folder = m_games.path() / c.folder;
    for (std::size_t i = 1; i < c.archives.size(); ++i)
        fs::copy_file(folder / c.archives.front(), folder / c.archives[i]);
    const std::uintmax_t size = fs::file_size(folder / c.archives.front());

    EXPECT_EQ(checkAll(m_games.string()), expected(c.checked, size));
    m_check.checkAll(m_games.string(), kOrigins, true);
    EXPECT_EQ(linesSoFar(), expected(c.checkedRepaired, size));

    const std::string descriptorPath = (c.folder.empty() ? "" : "/" + c.folder) + "/Snake.jad";
    const auto text = readBounded(mapRequestPath(m_games.string(), descriptorPath), kMaxDescriptorBytes);
    ASSERT_TRUE(text);
    const auto repaired = repairDescriptor(*text, {m_games.string(), descriptorPath, kOrigins.front(), true, ""});
    ASSERT_TRUE(repaired);
    EXPECT_EQ(valueIn(repaired->text, "MIDlet-Jar-URL"), c.repairedUrl);
    EXPECT_EQ(valueIn(repaired->text, "MIDlet-Jar-Size"),
              c.repairedSize == "{size}" ? std::to_string(size) : c.repairedSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchivesInOtherLetters,
    testing::Values(
        ArchiveInOtherLetters{
            "one beside the descriptor", "", "Snake.JAR", {"snake.jar"},
            {"Snake.jad: the archive is snake.jar, the descriptor says Snake.JAR, and a name is served only in its "
             "own letter case (a phone reports 907 Invalid JAR); set MIDlet-Jar-URL: snake.jar, the name on disk",
             "Snake.jad: MIDlet-Jar-Size is 999 but snake.jar is {size} bytes (a phone reports 904 JAR size "
             "mismatch); set MIDlet-Jar-Size: {size}",
             "0 games ready, 1 with problems"},
            {"Snake.jad: installs only as repaired when served (MIDlet-Jar-URL on this server for snake.jar as named "
             "on disk (was Snake.JAR), MIDlet-Jar-Size {size} (was 999))",
             "1 game ready, 1 of them repaired as served, 0 with problems"},
            "http://192.168.1.5:8080/snake.jar", "{size}"},
        ArchiveInOtherLetters{
            "one in a subfolder, its folder in other letters too", "arcade", "Jars/Snake.JAR", {"jars/snake.jar"},
            {"arcade/Snake.jad: the archive is arcade/jars/snake.jar, the descriptor says Jars/Snake.JAR, and a name "
             "is served only in its own letter case (a phone reports 907 Invalid JAR); set MIDlet-Jar-URL: "
             "jars/snake.jar, the name on disk",
             "arcade/Snake.jad: MIDlet-Jar-Size is 999 but arcade/jars/snake.jar is {size} bytes (a phone reports "
             "904 JAR size mismatch); set MIDlet-Jar-Size: {size}",
             "0 games ready, 1 with problems"},
            {"arcade/Snake.jad: installs only as repaired when served (MIDlet-Jar-URL on this server for "
             "arcade/jars/snake.jar as named on disk (was Jars/Snake.JAR), MIDlet-Jar-Size {size} (was 999))",
             "1 game ready, 1 of them repaired as served, 0 with problems"},
            "http://192.168.1.5:8080/arcade/jars/snake.jar", "{size}"},
        ArchiveInOtherLetters{
            "one beside the descriptor of a host long gone", "", "http://wap.closed.example/dl/Snake.JAR",
            {"snake.jar"},
            {"Snake.jad: its archive is not served here (MIDlet-Jar-URL http://wap.closed.example/dl/Snake.JAR), so "
             "only the descriptor is checked",
             "0 games ready, 0 with problems, 1 with the archive on another server"},
            {"Snake.jad: installs only as repaired when served (MIDlet-Jar-URL on this server for snake.jar as named "
             "on disk (was http://wap.closed.example/dl/Snake.JAR), MIDlet-Jar-Size {size} (was 999))",
             "1 game ready, 1 of them repaired as served, 0 with problems"},
            "http://192.168.1.5:8080/snake.jar", "{size}"},
        ArchiveInOtherLetters{
            "two, neither as written", "", "Snake.JAR", {"snake.jar", "SNAKE.jar"},
            {"Snake.jad: MIDlet-Jar-URL \"Snake.JAR\" matches no file as written but 2 in other letters: SNAKE.jar, "
             "snake.jar (a phone reports 907 Invalid JAR); keep one of them and set MIDlet-Jar-URL to its name, "
             "letter for letter",
             "0 games ready, 1 with problems"},
            {"Snake.jad: MIDlet-Jar-URL \"Snake.JAR\" matches no file as written but 2 in other letters: SNAKE.jar, "
             "snake.jar (a phone reports 907 Invalid JAR); keep one of them and set MIDlet-Jar-URL to its name, "
             "letter for letter",
             "0 games ready, 0 of them repaired as served, 1 with problems"},
            "Snake.JAR", "999"},
        ArchiveInOtherLetters{
            "none", "", "Snake.JAR", {"Snakes.jar"},
            {"Snake.jad: MIDlet-Jar-URL \"Snake.JAR\" leads to Snake.JAR, which this server does not serve (a phone "
             "reports 907 Invalid JAR); put the archive there (not hidden, not a folder) or correct MIDlet-Jar-URL",
             "0 games ready, 1 with problems"},
            {"Snake.jad: MIDlet-Jar-URL \"Snake.JAR\" leads to Snake.JAR, which this server does not serve (a phone "
             "reports 907 Invalid JAR); put the archive there (not hidden, not a folder) or correct MIDlet-Jar-URL",
             "0 games ready, 0 of them repaired as served, 1 with problems"},
            "Snake.JAR", "999"},
        ArchiveInOtherLetters{
            "a hidden one", "", ".Snake.JAR", {".snake.jar"},
            {"Snake.jad: MIDlet-Jar-URL \".Snake.JAR\" leads to .Snake.JAR, which this server does not serve (a "
             "phone reports 907 Invalid JAR); put the archive there (not hidden, not a folder) or correct "
             "MIDlet-Jar-URL",
             "0 games ready, 1 with problems"},
            {"Snake.jad: MIDlet-Jar-URL \".Snake.JAR\" leads to .Snake.JAR, which this server does not serve (a "
             "phone reports 907 Invalid JAR); put the archive there (not hidden, not a folder) or correct "
             "MIDlet-Jar-URL",
             "0 games ready, 0 of them repaired as served, 1 with problems"},
            ".Snake.JAR", "999"}),
    [](const testing::TestParamInfo<ArchiveInOtherLetters>& info) {
        std::string name = info.param.title;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST_F(GameCheckTest, AGameThatPassesIsCountedReady)
{
    Game game;
    // What a phone reads the same: blanks around values, a manifest value
    // folded at 72 bytes, the profile in the manifest alone, an absolute
    // address of this server.
    game.descriptor = {"MIDlet-Name:   Racer  ", "MIDlet-Version: 1.0.2", "MIDlet-Vendor: Ann of the Very Long Vendor "
                       "Name That Needs Folding Ltd", "MIDlet-Jar-URL: http://192.168.1.5:8080/Racer.jar",
                       "MIDlet-Jar-Size: {size}", "MicroEdition-Configuration: CLDC-1.1"};
    game.manifest = {"MIDlet-Name: Racer", "MIDlet-Version: 1.0.2",
                     "MIDlet-Vendor: Ann of the Very Long Vendor Name That Needs Folding L", " td",
                     "MicroEdition-Profile: MIDP-2.0", "MIDlet-1: Racer, /icon.png, game.Racer"};
    game.write(m_games);
    EXPECT_EQ(checkAll(m_games.string()), std::vector<std::string>{"Game check: 1 game ready, 0 with problems"});
}

TEST_F(GameCheckTest, TheSampleGameLaidBesideTheProgramPasses)
{
#ifdef _WIN32
    GTEST_SKIP() << "python is the build machine's, not the Windows side's; the program's own test serves the sample there";
#endif
    const std::string make =
        "python3 '" TARNWICK_SOURCE_DIR "/share/sample/make_hello_game.py' '" + m_games.string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    EXPECT_EQ(checkAll(m_games.string()), std::vector<std::string>{"Game check: 1 game ready, 0 with problems"});

    // A class file of version 45.3, which every phone's virtual machine loads.
    std::string error;
    const auto archive = JarArchive::open(m_games.path() / "hello.jar", error);
    ASSERT_TRUE(archive) << error;
    const auto bytes = archive->readEntry("HelloMIDlet.class", 4096, error);
    ASSERT_TRUE(bytes) << error;
    EXPECT_EQ(bytes->substr(0, 8), std::string("\xCA\xFE\xBA\xBE\x00\x03\x00\x2D", 8));
    // It uses MIDP 1.0 calls only and says so: a MIDP 1.0 or CLDC 1.0 phone would refuse more with 908.
    const auto manifest = archive->readEntry("META-INF/MANIFEST.MF", 4096, error);
    ASSERT_TRUE(manifest) << error;
    EXPECT_NE(manifest->find("MicroEdition-Profile: MIDP-1.0\r\n"), std::string::npos) << *manifest;
    EXPECT_NE(manifest->find("MicroEdition-Configuration: CLDC-1.0\r\n"), std::string::npos) << *manifest;
}

TEST_F(GameCheckTest, CountsTheGamesThatInstallOnlyAsRepairedApart)
{
    Game{.folder = "a"}.write(m_games);
    Game stale{.folder = "b"};
    setAttribute(stale.descriptor, "MIDlet-Jar-Size", "999");
    setAttribute(stale.descriptor, "MIDlet-Jar-URL", "http://games.closed.example/Racer.jar");
    stale.write(m_games);
    Game broken{.folder = "c"};
    broken.classes = {};
    broken.write(m_games);

    m_check.checkAll(m_games.string(), kOrigins, true);
    const std::vector<std::string> lines = linesSoFar();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Game check: b/Racer.jad: installs only as repaired when served (MIDlet-Jar-URL on this server, "
                        "MIDlet-Jar-Size " + std::to_string(fs::file_size(m_games.path() / "b/Racer.jar")) +
                        " (was 999))");
    EXPECT_EQ(lines[1].substr(0, lines[1].find(" (a phone")),
              "Game check: c/Racer.jad: MIDlet-1 names the class game.Racer, but c/Racer.jar has no game/Racer.class");
    EXPECT_EQ(lines[2], "Game check: 2 games ready, 1 of them repaired as served, 1 with problems");
}

TEST_F(GameCheckTest, TellsWhatAPhoneMakesOfADescriptorThatIsNotUtf8OrNotText)
{
    Game latin;
    latin.descriptor.push_back("MIDlet-Description: Caf\xE9 racing");
    latin.write(m_games);
    EXPECT_EQ(checkAll(m_games.string()),
              (std::vector<std::string>{
                  "Game check: Racer.jad: line 8: the text is not UTF-8 (a phone reads the bytes as replacement "
                  "characters and installs the game, unless they fall in MIDlet-Name, -Version or -Vendor, which it "
                  "then reports as 905 Attribute mismatch); save the file as UTF-8",
                  "Game check: 1 game ready, 0 with problems"}));

    std::string binary(4000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i % 7 == 0 ? '\n' : i % 251);
    m_games.write("Racer.jad", binary);
    EXPECT_EQ(checkAll(m_games.string()),
              (std::vector<std::string>{"Game check: Racer.jad: it is not text but a binary file (a phone reports 906 "
                                        "Invalid descriptor); replace it with the game's descriptor",
                                        "Game check: 0 games ready, 1 with problems"}));
}

TEST_F(GameCheckTest, TheSummaryCountsEveryDescriptorInSubfoldersButHiddenOnes)
{
    Game{.folder = "racing"}.write(m_games);
    Game{.folder = "racing/old", .name = "Racer1"}.write(m_games);
    Game broken{.folder = "puzzles"};
    setAttribute(broken.descriptor, "MIDlet-Name", "");
    broken.write(m_games);
    Game elsewhere{.folder = "web"};
    setAttribute(elsewhere.descriptor, "MIDlet-Jar-URL", "http://games.example.com/Racer.jar");
    elsewhere.write(m_games);
    Game{.folder = ".trash"}.write(m_games);
    Game{.name = ".Racer"}.write(m_games);
    m_games.write("Readme.txt", "not a game");

    EXPECT_EQ(checkAll(m_games.string()),
              (std::vector<std::string>{
                  "Game check: puzzles/Racer.jad: it lacks MIDlet-Name (a phone reports 906 Invalid descriptor); add "
                  "the missing attributes, with the values of the archive's manifest",
                  "Game check: web/Racer.jad: its archive is not served here (MIDlet-Jar-URL "
                  "http://games.example.com/Racer.jar), so only the descriptor is checked",
                  "Game check: 2 games ready, 1 with problems, 1 with the archive on another server"}));
}

TEST_F(GameCheckTest, AFolderWithoutDescriptorsSaysSoOnce)
{
    m_games.write("index.html", "<html></html>");
    m_games.write("lone/Racer.jar", "PK");
    EXPECT_EQ(checkAll(m_games.string()),
              std::vector<std::string>{"Game check: no game descriptors (.jad) in " + m_games.string() +
                                       "; phones will find no game to install"});
    EXPECT_EQ(checkAll(""), std::vector<std::string>{
                                "Game check: no game directory is set; choose one with the \"...\" button"});
}

TEST_F(GameCheckTest, LinksLeadingOutOfTheGameDirectoryAreNotFollowed)
{
#ifdef _WIN32
    GTEST_SKIP() << "making a link on Windows takes a privilege the tests do not have";
#endif
    TempDirectory outside;
    Game{}.write(outside);
    fs::create_directory_symlink(outside.path(), m_games.path() / "linked");
    fs::create_symlink(outside.path() / "Racer.jad", m_games.path() / "Racer.jad");
    EXPECT_EQ(checkAll(m_games.string()),
              std::vector<std::string>{"Game check: no game descriptors (.jad) in " + m_games.string() +
                                       "; phones will find no game to install"});

    // A link within is followed, even to a hidden folder, as the server
    // follows it; a folder reached twice counts once.
    Game{.folder = ".builds/racer"}.write(m_games);
    fs::create_directory_symlink(m_games.path() / ".builds" / "racer", m_games.path() / "racer");
    fs::create_directory_symlink(m_games.path() / ".builds" / "racer", m_games.path() / "racer-again");
    fs::create_directory_symlink(m_games.path(), m_games.path() / "loop");
    EXPECT_EQ(checkAll(m_games.string()), std::vector<std::string>{"Game check: 1 game ready, 0 with problems"});
}

TEST_F(GameCheckTest, AServedDescriptorIsCheckedAgainOnlyWhenItsGameChanged)
{
    Game game{.folder = "racing"};
    game.write(m_games);
    checkAll(m_games.string() + "/");
    const std::string served = m_games.string() + "/racing/Racer.jad";

    m_check.descriptorServed(served);
    EXPECT_EQ(linesSoFar(), std::vector<std::string>{});

    // A rebuilt archive, the descriptor left as it was.
    game.classes.push_back("game/Extra.class");
    JarFile rebuilt;
    rebuilt.manifest(game.manifest).add("game/Racer.class", "\xCA\xFE").add("game/Extra.class", "\xCA\xFE\xBA");
    rebuilt.write(m_games.path() / "racing" / "Racer.jar");
    const auto size = std::to_string(fs::file_size(m_games.path() / "racing" / "Racer.jar"));
    m_check.descriptorServed(served);
    const std::vector<std::string> lines = linesSoFar();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("Game check: racing/Racer.jad: MIDlet-Jar-Size is ")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("set MIDlet-Jar-Size: " + size)) << lines[0];
    EXPECT_EQ(lines[1], "Game check: racing/Racer.jad changed since it was checked: not ready");

    m_check.descriptorServed(served);
    EXPECT_EQ(linesSoFar(), std::vector<std::string>{});

    // Added after the last full check; outside the game directory: ignored.
    Game{.name = "New"}.write(m_games);
    m_check.descriptorServed(m_games.string() + "/New.jad");
    m_check.descriptorServed(m_games.string() + "/../elsewhere.jad");
    m_check.descriptorServed("/etc/passwd");
    EXPECT_EQ(linesSoFar(), std::vector<std::string>{"Game check: New.jad checked when served: ready"});
}

TEST_F(GameCheckTest, ADescriptorServedAgainSoonAfterIsNotLookedAt)
{
    std::mutex mutex;
    std::vector<std::string> lines;
    GameCheck check(
        [&](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        },
        std::chrono::hours(1));
    // The folder is empty when checked whole; the game comes after.
    check.checkAll(m_games.string(), kOrigins);
    check.waitUntilIdle();
    Game{.name = "New"}.write(m_games);
    const std::string served = m_games.string() + "/New.jad";

    check.descriptorServed(served);
    check.waitUntilIdle();
    m_games.write("New.jad", "MIDlet-Name: New\r\n");
    check.descriptorServed(served);
    check.waitUntilIdle();

    std::lock_guard lock(mutex);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "Game check: New.jad checked when served: ready");
}

TEST_F(GameCheckTest, OddFileNamesCannotBendTheLog)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows allows no line break in a file's name";
#endif
    Game game{.name = "Evil\nGame check: 9 games ready"};
    setAttribute(game.descriptor, "MIDlet-Name", "");
    game.write(m_games);
    const std::vector<std::string> lines = checkAll(m_games.string());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("Game check: Evil%0AGame check: 9 games ready.jad: it lacks MIDlet-Name"))
        << lines[0];
}

struct SignedGame {
    const char* title;
    // The certificate's dates, from now; the archive its signature is over.
    std::chrono::days from;
    std::chrono::days until;
    bool overAnotherArchive;
    std::string line; // empty: the game is ready
};

std::ostream& operator<<(std::ostream& out, const SignedGame& c)
{
    return out << c.title;
}

class SignedGames : public GameCheckTest, public testing::WithParamInterface<SignedGame> {};

TEST_P(SignedGames, AreToldWhatAPhoneWillMakeOfTheirSignature)
{
    const SignedGame& c = GetParam();
    Game{}.write(m_games);
    static const TestKey key;
    const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    const std::string archive = readBounded((m_games.path() / "Racer.jar").string(), 1 << 20).value();
    const std::string lines =
        "MIDlet-Certificate-1-1: " +
        encodeBase64(makeCertificate(key, "Ann", key, "Ann", today + c.from, today + c.until)) +
        "\r\nMIDlet-Jar-RSA-SHA1: " + encodeBase64(key.sign(c.overAnotherArchive ? archive + "x" : archive)) + "\r\n";
    std::ofstream(m_games.path() / "Racer.jad", std::ios::binary | std::ios::app) << lines;

    const std::vector<std::string> told = checkAll(m_games.string());
    if (c.line.empty()) {
        EXPECT_EQ(told, std::vector<std::string>{"Game check: 1 game ready, 0 with problems"});
        return;
    }
    ASSERT_EQ(told.size(), 2u) << told.front();
    EXPECT_EQ(told[0], "Game check: Racer.jad: " + c.line);
}

std::string dayFromToday(std::chrono::days offset)
{
    const std::chrono::year_month_day day(std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()) + offset);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                  static_cast<unsigned>(day.day()));
    return text;
}

const std::string kServeUnsigned = "; serve it unsigned: remove MIDlet-Jar-RSA-SHA1 and every MIDlet-Certificate line";

INSTANTIATE_TEST_SUITE_P(
    Cases, SignedGames,
    testing::Values(
        SignedGame{"in date", std::chrono::days(-3000), std::chrono::days(1000), false, ""},
        SignedGame{"expired", std::chrono::days(-5000), std::chrono::days(-4000), false,
                   "it is signed by CN=Ann (issued by CN=Ann), and its certificate expired on " + dayFromToday(std::chrono::days(-4000)) +
                       " (a phone reports 909 Application authentication failure (\"Certificate expired\"))" +
                       kServeUnsigned},
        SignedGame{"not yet valid", std::chrono::days(30), std::chrono::days(1000), false,
                   "it is signed by CN=Ann (issued by CN=Ann) with a certificate valid only from " + dayFromToday(std::chrono::days(30)) +
                       " (a phone reports 909 Application authentication failure on a phone whose date is before "
                       "that)" + kServeUnsigned},
        SignedGame{"signed over another archive", std::chrono::days(-3000), std::chrono::days(1000), true,
                   "its signature is not over Racer.jar, which was built again after signing (a phone reports 909 "
                   "Application authentication failure)" + kServeUnsigned}),
    [](const testing::TestParamInfo<SignedGame>& info) {
        std::string name = info.param.title;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

} // namespace
