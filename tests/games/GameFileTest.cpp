#include "ArchiveLookup.h"
#include "BoundedRead.h"
#include "DescriptorSearch.h"
#include "FileReading.h"
#include "FileStamp.h"
#include "GameDirectory.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

// A game file as it is opened, read and stamped, on every system.

namespace {

const auto kOpened = OpenedGameFile::Status::Opened;
const auto kNotFound = OpenedGameFile::Status::NotFound;

class GameFile : public testing::Test {
protected:
    OpenedGameFile open(const std::string& requestPath) const
    {
        return openGameFile(directory(), requestPath, mapRequestPath(directory(), requestPath));
    }
    std::string directory() const
    {
        const std::u8string text = games.path().u8string();
        return std::string(text.begin(), text.end());
    }

    TempDirectory games;
};

std::string readWhole(const OpenedGameFile& opened)
{
    std::string bytes(static_cast<std::size_t>(opened.body.size), '\0');
    const std::int64_t read = readAt(opened.body.file.get(), bytes.data(), bytes.size(), 0);
    bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(read, 0)));
    return bytes;
}

TEST_F(GameFile, IsReadAtAnyOffsetBySeveralAnswersAtOnce)
{
    std::string content(256 * 1024, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 + i / 251);
    games.write("big.jar", content);
    const OpenedGameFile opened = open("/big.jar");
    ASSERT_EQ(opened.status, kOpened);
    ASSERT_EQ(opened.body.size, static_cast<std::int64_t>(content.size()));

    // Each thread reads its own stretch over and over: a position shared
    // between them would have one read where another left off.
    std::vector<std::thread> readers;
    std::vector<int> wrong(4, 0);
    for (std::size_t t = 0; t < wrong.size(); ++t) {
        readers.emplace_back([&, t] {
            const std::size_t offset = 1000 + t * 60'001;
            std::string part(4099, '\0');
            for (int round = 0; round < 200; ++round) {
                const std::int64_t read = readAt(opened.body.file.get(), part.data(), part.size(),
                                                 static_cast<std::int64_t>(offset));
                wrong[t] += read != static_cast<std::int64_t>(part.size()) || part != content.substr(offset, part.size());
            }
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));

    std::string tail(100, '\0');
    EXPECT_EQ(readAt(opened.body.file.get(), tail.data(), tail.size(), opened.body.size - 10), 10);
    EXPECT_EQ(tail.substr(0, 10), content.substr(content.size() - 10));
    EXPECT_EQ(readAt(opened.body.file.get(), tail.data(), tail.size(), opened.body.size), 0) << "at the end";
    EXPECT_EQ(readAt(opened.body.file.get(), tail.data(), tail.size(), opened.body.size + 5000), 0) << "past it";
}

TEST_F(GameFile, OpensOnlyOrdinaryFiles)
{
    games.write("a.jad", "a");
    std::filesystem::create_directories(games.path() / "sub" / "deeper");

    EXPECT_EQ(open("/a.jad").status, kOpened);
    EXPECT_EQ(open("/missing.jad").status, kNotFound);
    EXPECT_EQ(open("/missing/a.jad").status, kNotFound);
    EXPECT_EQ(open("/a.jad/a.jad").status, kNotFound) << "a file taken for a folder";
    EXPECT_EQ(open("/sub").status, kNotFound);
    EXPECT_EQ(open("/sub/").status, kNotFound);
    EXPECT_EQ(open("/sub/deeper").status, kNotFound);
}

TEST_F(GameFile, OpensANameInAnyScript)
{
    // "Café Ω/Ракета.jad": outside any one code page.
    const std::string folder = "Caf\xC3\xA9 \xCE\xA9";
    const std::string name = "\xD0\xA0\xD0\xB0\xD0\xBA\xD0\xB5\xD1\x82\xD0\xB0.jad";
    const std::filesystem::path file =
        games.path() / std::u8string(folder.begin(), folder.end()) / std::u8string(name.begin(), name.end());
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "rocket";

    const OpenedGameFile opened = open("/" + folder + "/" + name);
    ASSERT_EQ(opened.status, kOpened);
    EXPECT_EQ(readWhole(opened), "rocket");
    EXPECT_EQ(fileStamp(mapRequestPath(directory(), "/" + folder + "/" + name)), opened.stamp);
}

TEST_F(GameFile, IsFoundAndReadByItsNameInAnyScript)
{
    // "Ракета/Café.jad" and its archive.
    const std::string folder = "\xD0\xA0\xD0\xB0\xD0\xBA\xD0\xB5\xD1\x82\xD0\xB0";
    const std::string stem = "Caf\xC3\xA9";
    for (const std::string& name : {stem + ".jad", stem + ".jar"}) {
        const std::string relative = folder + "/" + name;
        std::filesystem::create_directories(games.path() / std::u8string(folder.begin(), folder.end()));
        std::ofstream(games.path() / std::u8string(relative.begin(), relative.end()), std::ios::binary) << name;
    }

    EXPECT_EQ(findDescriptors(directory()).descriptors, std::vector<std::string>{"/" + folder + "/" + stem + ".jad"});
    EXPECT_EQ(readBounded(mapRequestPath(directory(), "/" + folder + "/" + stem + ".jad"), 100), stem + ".jad");
    EXPECT_EQ(lookUpArchive(directory(), "/" + folder + "/" + stem + ".jar").kind, ArchiveLookup::Kind::Found);
}

TEST_F(GameFile, StampTellsEveryChangeAndMatchesTheOpenFilesOwn)
{
    games.write("a.jad", "first");
    const std::string name = mapRequestPath(directory(), "/a.jad");
    const std::optional<FileStamp> before = fileStamp(name);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->size, 5u);
    EXPECT_EQ(open("/a.jad").stamp, *before) << "a look by name and one at the open file agree";

    // Past the clock's tick, so that the change has a time of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    games.write("a.jad", "FIRST");
    const std::optional<FileStamp> rewritten = fileStamp(name);
    ASSERT_TRUE(rewritten);
    EXPECT_NE(*rewritten, *before);
    EXPECT_GT(rewritten->modified, before->modified);

    games.write("b.jad", "FIRST");
    std::filesystem::rename(games.path() / "b.jad", games.path() / "a.jad");
    const std::optional<FileStamp> replaced = fileStamp(name);
    ASSERT_TRUE(replaced);
    EXPECT_NE(replaced->inode, rewritten->inode) << "another file";

    EXPECT_TRUE(fileStamp(directory())) << "a folder has a stamp too";
    EXPECT_FALSE(fileStamp(mapRequestPath(directory(), "/missing.jad")));
    EXPECT_FALSE(fileStamp(std::string()));
}

TEST_F(GameFile, StaysReadableWhileItsNameIsTakenAway)
{
    games.write("a.jad", "old");
    const OpenedGameFile old = open("/a.jad");
    ASSERT_EQ(old.status, kOpened);

    // Renamed away and another put in its place, as a game is updated.
    std::filesystem::rename(games.path() / "a.jad", games.path() / "a.jad.old");
    EXPECT_EQ(open("/a.jad").status, kNotFound);
    games.write("a.jad", "new!");
    const OpenedGameFile replaced = open("/a.jad");
    ASSERT_EQ(replaced.status, kOpened);
    EXPECT_EQ(readWhole(replaced), "new!");
    EXPECT_EQ(readWhole(old), "old") << "an answer being sent goes on with the file it had";

    // Deleted: on Windows too, where the name may linger until the answer is done.
    std::filesystem::remove(games.path() / "a.jad.old");
    EXPECT_EQ(readWhole(old), "old");
#ifndef _WIN32
    // Elsewhere a file is replaced by renaming another over it, open or not.
    games.write("newer.jad", "newer");
    std::filesystem::rename(games.path() / "newer.jad", games.path() / "a.jad");
    EXPECT_EQ(readWhole(replaced), "new!");
    EXPECT_EQ(readWhole(open("/a.jad")), "newer");
#endif
}

} // namespace
