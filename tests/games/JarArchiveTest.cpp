#include "JarArchive.h"

#include "JarFile.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

const std::string kManifest = "Manifest-Version: 1.0\r\nMIDlet-Name: Hello\r\n\r\n";

class JarArchiveTest : public testing::Test {
protected:
    std::filesystem::path jar(const JarFile& contents) const
    {
        const std::filesystem::path file = m_folder.path() / "game.jar";
        contents.write(file);
        return file;
    }

    TempDirectory m_folder;
};

TEST_F(JarArchiveTest, ReadsEntriesOfAGoodArchive)
{
    std::string error;
    const auto archive = JarArchive::open(
        jar(JarFile().add("META-INF/MANIFEST.MF", kManifest).add("a/b/Game.class", "\xCA\xFE\xBA\xBE", true)), error);
    ASSERT_TRUE(archive) << error;
    EXPECT_EQ(archive->entryCount(), 2);
    EXPECT_TRUE(archive->hasEntry("a/b/Game.class"));
    EXPECT_FALSE(archive->hasEntry("a/b/game.class"));
    EXPECT_FALSE(archive->hasEntry("Game.class"));
    EXPECT_EQ(archive->readEntry("META-INF/MANIFEST.MF", kManifest.size(), error), kManifest);
}

TEST_F(JarArchiveTest, ReadingStopsAtTheLimit)
{
    std::string error;
    const auto archive = JarArchive::open(jar(JarFile().add("META-INF/MANIFEST.MF", kManifest)), error);
    ASSERT_TRUE(archive) << error;
    EXPECT_FALSE(archive->readEntry("META-INF/MANIFEST.MF", kManifest.size() - 1, error));
    EXPECT_EQ(error, "\"META-INF/MANIFEST.MF\" is larger than " + std::to_string(kManifest.size() - 1) + " bytes");
    EXPECT_FALSE(archive->readEntry("META-INF/manifest.mf", 1000, error));
    EXPECT_EQ(error, "there is no \"META-INF/manifest.mf\" in the archive");
}

struct HostileCase {
    const char* title;
    JarFile contents;
    JarLimits limits;
    std::string error;
};

std::ostream& operator<<(std::ostream& out, const HostileCase& c)
{
    return out << c.title;
}

JarFile withEntries(int count)
{
    JarFile file;
    for (int i = 0; i < count; ++i)
        file.add("e" + std::to_string(i), "", true);
    return file;
}

JarLimits entryLimit(std::int64_t entries)
{
    JarLimits limits;
    limits.maxEntries = entries;
    return limits;
}

JarLimits entryBytesLimit(std::uint64_t bytes)
{
    JarLimits limits;
    limits.maxEntryBytes = bytes;
    limits.maxTotalBytes = 3 * bytes;
    return limits;
}

class HostileArchive : public JarArchiveTest, public testing::WithParamInterface<HostileCase> {};

TEST_P(HostileArchive, IsRefusedUnread)
{
    std::string error;
    EXPECT_FALSE(JarArchive::open(jar(GetParam().contents), error, GetParam().limits));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileArchive,
    testing::Values(
        HostileCase{"climbs with ..", JarFile().add("a/../../evil.class", "x"), {},
                    "an entry named \"a/../../evil.class\" climbs out of the archive"},
        HostileCase{"starts at the root", JarFile().add("/etc/evil", "x"), {},
                    "an entry named \"/etc/evil\" climbs out of the archive"},
        HostileCase{"backslashes", JarFile().add("..\\evil", "x"), {},
                    "an entry named \"..\\evil\" climbs out of the archive"},
        HostileCase{"drive letter", JarFile().add("C:evil", "x"), {},
                    "an entry named \"C:evil\" climbs out of the archive"},
        HostileCase{"too many entries", withEntries(10'001), {},
                    "it holds 10001 entries, more than the 10000 a game archive may hold"},
        HostileCase{"one over a lower limit", withEntries(4), entryLimit(3),
                    "it holds 4 entries, more than the 3 a game archive may hold"},
        HostileCase{"entry too large", JarFile().add("big", std::string(2000, 'x'), true), entryBytesLimit(1000),
                    "the entry \"big\" unpacks to 2000 bytes, more than 1000"},
        HostileCase{"all entries too large",
                    JarFile().add("a", std::string(900, 'x'), true).add("b", std::string(900, 'x'), true)
                        .add("c", std::string(900, 'x'), true).add("d", std::string(900, 'x'), true),
                    entryBytesLimit(1000), "its entries unpack to more than 3000 bytes"}));

TEST_F(JarArchiveTest, AZipBombIsRefusedUnread)
{
    std::string error;
    EXPECT_FALSE(JarArchive::open(jar(JarFile().add("bomb", std::string(4 * 1024 * 1024, '\0'))), error));
    // The packed size in between depends on the deflate library's version.
    EXPECT_TRUE(error.starts_with("the entry \"bomb\" unpacks to 4194304 bytes from ")) << error;
    EXPECT_TRUE(error.ends_with(" (a zip bomb)")) << error;
}

TEST_F(JarArchiveTest, ArchivesThatAreNoZipsAreRefusedInWords)
{
    const std::filesystem::path good = jar(JarFile().add("META-INF/MANIFEST.MF", kManifest)
                                               .add("Game.class", std::string(3000, 'c'), true));
    const auto size = std::filesystem::file_size(good);

    const auto refusal = [&](const std::filesystem::path& file) {
        std::string error;
        EXPECT_FALSE(JarArchive::open(file, error)) << file;
        return error;
    };
    const std::filesystem::path truncated = m_folder.path() / "truncated.jar";
    std::filesystem::copy_file(good, truncated);
    std::filesystem::resize_file(truncated, size - 40);
    EXPECT_EQ(refusal(truncated), "not a zip archive");

    // Its tail intact, a middle cut out: the table no longer matches.
    std::ifstream in(good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    bytes.erase(100, 1000);
    EXPECT_EQ(refusal(m_folder.write("cut.jar", bytes)),
              "truncated or damaged (its entry table does not match its contents)");

    EXPECT_EQ(refusal(m_folder.write("text.jar", "<html>Not found</html>")), "not a zip archive");
    EXPECT_EQ(refusal(m_folder.write("empty.jar", "")), "not a zip archive");
    EXPECT_EQ(refusal(m_folder.path() / "missing.jar"), "cannot be read (No such file or directory)");

    JarLimits small;
    small.maxArchiveBytes = size - 1;
    std::string error;
    EXPECT_FALSE(JarArchive::open(good, error, small));
    EXPECT_EQ(error, "it is " + std::to_string(size) + " bytes, more than the " + std::to_string(size - 1) +
                         " a game archive may be");
}

TEST_F(JarArchiveTest, ADamagedEntryIsAnErrorNotData)
{
    std::string payload(5000, 'p');
    const std::filesystem::path file = jar(JarFile().add("Game.class", payload, true));
    std::fstream patch(file, std::ios::binary | std::ios::in | std::ios::out);
    std::string bytes((std::istreambuf_iterator<char>(patch)), {});
    bytes[bytes.find("pppp") + 10] = 'q';
    patch.seekp(0);
    patch.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    patch.close();

    std::string error;
    const auto archive = JarArchive::open(file, error);
    ASSERT_TRUE(archive) << error;
    EXPECT_FALSE(archive->readEntry("Game.class", 10'000, error));
    EXPECT_EQ(error, "\"Game.class\" cannot be read (CRC error)");
}

} // namespace
