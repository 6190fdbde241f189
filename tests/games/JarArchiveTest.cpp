#include "JarArchive.h"

#include "JarFile.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

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
        HostileCase{"a name held twice", JarFile().add("a/Game.class", "x").add("b", "y").add("a/Game.class", "z"),
                    {}, "it holds two entries named \"a/Game.class\""},
        HostileCase{"a size past 4 GB claimed in ZIP64 fields", JarFile().add("big", "x", true).claimSize(5'000'000'000),
                    {}, "the entry \"big\" unpacks to 5000000000 bytes, more than 16777216"},
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

// The same entries, written as the writers of game archives write them:
// each is read back as it went in.
struct WriterCase {
    const char* title;
    std::function<JarFile&(JarFile&)> style;
};

std::ostream& operator<<(std::ostream& out, const WriterCase& c)
{
    return out << c.title;
}

class ArchiveWriters : public JarArchiveTest, public testing::WithParamInterface<WriterCase> {};

TEST_P(ArchiveWriters, EveryEntryReadsBackAsWritten)
{
    std::string icon;
    for (int i = 0; i < 40'000; ++i)
        icon += static_cast<char>((i * 7919) % 251);
    const std::map<std::string, std::string> entries = {
        {"META-INF/MANIFEST.MF", kManifest}, {"a/b/Game.class", "\xCA\xFE\xBA\xBE"}, {"icon.png", icon}, {"empty", ""}};
    JarFile file;
    for (const auto& [name, contents] : entries)
        file.add(name, contents, name == "a/b/Game.class");

    std::string error;
    const auto archive = JarArchive::open(jar(GetParam().style(file)), error);
    ASSERT_TRUE(archive) << error;
    EXPECT_EQ(archive->entryCount(), 4);
    for (const auto& [name, contents] : entries)
        EXPECT_EQ(archive->readEntry(name, 100'000, error), contents) << name << ": " << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveWriters,
    testing::Values(WriterCase{"sizes in the local headers", [](JarFile& file) -> JarFile& { return file; }},
                    WriterCase{"sizes in descriptors after the bytes", [](JarFile& file) -> JarFile& {
                                   return file.streamed();
                               }},
                    WriterCase{"ZIP64 fields", [](JarFile& file) -> JarFile& { return file.zip64(); }},
                    WriterCase{"ZIP64 fields and descriptors", [](JarFile& file) -> JarFile& {
                                   return file.zip64().streamed();
                               }},
                    // A reader that takes the first signature from the front
                    // would take the comment's for the end record.
                    WriterCase{"a comment holding an end record", [](JarFile& file) -> JarFile& {
                                   return file.comment("PK\x05\x06 marks where this archive's table is told");
                               }}));

// Where the fields that damage is done to lie in an archive without a
// comment: its end record, the n-th record of its entry table.
std::size_t endRecord(const std::string& bytes)
{
    return bytes.size() - 22;
}

std::size_t tableRecord(const std::string& bytes, int n)
{
    std::size_t at = std::string::npos;
    for (int i = 0; i < n; ++i)
        at = bytes.find("PK\x01\x02", at + 1);
    return at;
}

void overwrite(std::string& bytes, std::size_t at, std::uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

// Two entries, the second stored, with damage done to their bytes.
struct DamageCase {
    const char* title;
    std::function<void(std::string&)> damage;
    std::string error;
    bool zip64 = false;
};

std::ostream& operator<<(std::ostream& out, const DamageCase& c)
{
    return out << c.title;
}

const std::string kDamaged = "truncated or damaged (its entry table does not match its contents)";

class DamagedArchive : public JarArchiveTest, public testing::WithParamInterface<DamageCase> {
protected:
    std::filesystem::path damaged() const
    {
        JarFile file;
        file.add("META-INF/MANIFEST.MF", kManifest).add("Game.class", std::string(3000, 'c'), true);
        if (GetParam().zip64)
            file.zip64();
        std::string bytes = file.bytes();
        GetParam().damage(bytes);
        return m_folder.write("game.jar", bytes);
    }
};

TEST_P(DamagedArchive, IsRefusedInWords)
{
    std::string error;
    EXPECT_FALSE(JarArchive::open(damaged(), error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedArchive,
    testing::Values(
        // As a download that stopped short: nothing at the end says zip.
        DamageCase{"end record cut short", [](std::string& b) { b.resize(b.size() - 10); }, "not a zip archive"},
        DamageCase{"end record's comment running past the end",
                   [](std::string& b) { overwrite(b, endRecord(b) + 20, 5, 2); }, kDamaged},
        DamageCase{"table past the end of the file",
                   [](std::string& b) { overwrite(b, endRecord(b) + 16, b.size() + 100, 4); }, kDamaged},
        DamageCase{"table larger than the room before the end record",
                   [](std::string& b) { overwrite(b, endRecord(b) + 12, 0xfffff, 4); }, kDamaged},
        DamageCase{"more entries than the table can hold",
                   [](std::string& b) {
                       overwrite(b, endRecord(b) + 8, 1000, 2);
                       overwrite(b, endRecord(b) + 10, 1000, 2);
                   },
                   kDamaged},
        DamageCase{"fewer entries than the table holds",
                   [](std::string& b) {
                       overwrite(b, endRecord(b) + 8, 1, 2);
                       overwrite(b, endRecord(b) + 10, 1, 2);
                   },
                   kDamaged},
        DamageCase{"split into several files", [](std::string& b) { overwrite(b, endRecord(b) + 4, 1, 2); },
                   "cannot be opened (it is split into several files)"},
        DamageCase{"a record's name running past the table",
                   [](std::string& b) { overwrite(b, tableRecord(b, 1) + 28, 0xffff, 2); },
                   "truncated or damaged (entry 1 cannot be read)"},
        DamageCase{"an entry's header where the table is",
                   [](std::string& b) { overwrite(b, tableRecord(b, 2) + 42, tableRecord(b, 1), 4); }, kDamaged},
        DamageCase{"an entry's packed bytes running into the table",
                   [](std::string& b) { overwrite(b, tableRecord(b, 2) + 20, 3500, 4); }, kDamaged},
        DamageCase{"two entries on one header", [](std::string& b) { overwrite(b, tableRecord(b, 2) + 42, 0, 4); },
                   kDamaged},
        DamageCase{"a ZIP64 end record that is not where its locator says",
                   [](std::string& b) { overwrite(b, endRecord(b) - 20 + 8, 0, 8); }, kDamaged, true},
        DamageCase{"a ZIP64 size left out of its field",
                   [](std::string& b) { overwrite(b, tableRecord(b, 2) + 46 + 10 + 2, 8, 2); },
                   "truncated or damaged (entry 2 cannot be read)", true}));

// An archive that opens, with an entry that reads as an error, never as data.
struct BadEntryCase {
    const char* title;
    JarFile contents;
    std::string error;
    std::function<void(std::string&)> damage = [](std::string&) {};
};

std::ostream& operator<<(std::ostream& out, const BadEntryCase& c)
{
    return out << c.title;
}

class BadEntry : public JarArchiveTest, public testing::WithParamInterface<BadEntryCase> {};

TEST_P(BadEntry, ReadsAsAnError)
{
    std::string bytes = GetParam().contents.bytes();
    GetParam().damage(bytes);
    std::string error;
    const auto archive = JarArchive::open(m_folder.write("game.jar", bytes), error);
    ASSERT_TRUE(archive) << error;
    EXPECT_FALSE(archive->readEntry("Game.class", 100'000, error));
    EXPECT_EQ(error, GetParam().error);
}

const std::string kClass(5000, 'c');

INSTANTIATE_TEST_SUITE_P(
    Cases, BadEntry,
    testing::Values(
        BadEntryCase{"packed another way", JarFile().add("Game.class", kClass).claimMethod(14),
                     "\"Game.class\" cannot be read (unsupported compression method 14)"},
        BadEntryCase{"encrypted", JarFile().add("Game.class", kClass).markEncrypted(),
                     "\"Game.class\" cannot be read (it is encrypted)"},
        BadEntryCase{"stored, claiming fewer bytes", JarFile().add("Game.class", kClass, true).claimSize(100),
                     "\"Game.class\" cannot be read (its size does not match the entry table)"},
        BadEntryCase{"deflated, claiming more bytes", JarFile().add("Game.class", kClass).claimSize(6000),
                     "\"Game.class\" cannot be read (its size does not match the entry table)"},
        BadEntryCase{"deflated bytes that are no deflate stream", JarFile().add("Game.class", kClass),
                     "\"Game.class\" cannot be read (its packed data is damaged)",
                     // A final block of the reserved type.
                     [](std::string& b) { b[30 + 10] = 0x07; }},
        BadEntryCase{"no local header where the table says", JarFile().add("Game.class", kClass),
                     "\"Game.class\" cannot be read (its local header is damaged)",
                     [](std::string& b) { b[0] = 'X'; }}));

} // namespace
