#include "DescriptorRepair.h"
#include "GameInspection.h"

#include "JarFile.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kOrigin = "http://192.168.1.5:8080";
constexpr const char* kReport = "http://192.168.1.5:8080/.report/7";

// "{size}" stands for the archive's size, "{url}" for its address here.
std::string filled(std::string text, std::uintmax_t size)
{
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"{size}", std::to_string(size)},
                                   {"{url}", std::string(kOrigin) + "/Racer.jar"}, {"{report}", kReport}}) {
        for (auto at = text.find(from); at != std::string::npos; at = text.find(from))
            text.replace(at, from.size(), to);
    }
    return text;
}

const std::string kRepaired = "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\n"
                              "MIDlet-Jar-URL: {url}\r\nMIDlet-Jar-Size: {size}\r\n"
                              "MIDlet-Install-Notify: {report}\r\nMIDlet-Delete-Notify: {report}\r\n";

struct RepairCase {
    const char* name;
    std::string descriptor;
    std::string repaired;
};

std::ostream& operator<<(std::ostream& out, const RepairCase& c)
{
    return out << c.name;
}

class DescriptorRepairTest : public testing::TestWithParam<RepairCase> {
protected:
    void SetUp() override
    {
        JarFile()
            .manifest({"Manifest-Version: 1.0", "MIDlet-Name: Racer", "MIDlet-Version: 1.0.2", "MIDlet-Vendor: Ann",
                       "MIDlet-1: Racer, /icon.png, game.Racer", "MicroEdition-Profile: MIDP-1.0",
                       "MicroEdition-Configuration: CLDC-1.0"})
            .add("game/Racer.class", "\xCA\xFE\xBA\xBE class bytes")
            .write(m_games.path() / "Racer.jar");
        m_size = fs::file_size(m_games.path() / "Racer.jar");
    }

    [[nodiscard]] std::optional<RepairedDescriptor> repair(const std::string& text) const
    {
        return repairDescriptor(filled(text, m_size), {m_games.string(), "/Racer.jad", kOrigin, true, kReport});
    }

    TempDirectory m_games;
    std::uintmax_t m_size = 0;
};

TEST_P(DescriptorRepairTest, ServesWhatAPhoneInstalls)
{
    const auto repaired = repair(GetParam().descriptor);
    ASSERT_TRUE(repaired);
    EXPECT_EQ(repaired->text, filled(GetParam().repaired, m_size));
    EXPECT_EQ(repaired->name, "Racer");
    EXPECT_EQ(repaired->archivePath, "/Racer.jar");

    // What is served passes every rule the game check knows.
    m_games.write("Racer.jad", repaired->text);
    const GameInspection inspection = inspectGame(m_games.string(), "/Racer.jad", {kOrigin});
    for (const auto& problem : inspection.problems)
        ADD_FAILURE() << problem.what;
}

const std::string kGood = "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\n"
                          "MIDlet-Jar-URL: Racer.jar\r\nMIDlet-Jar-Size: {size}\r\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, DescriptorRepairTest,
    testing::Values(
        RepairCase{"Sound", kGood, kRepaired},
        RepairCase{"StaleSize", "MIDlet-Name: Racer\nMIDlet-Version: 1.0.2\nMIDlet-Vendor: Ann\nMIDlet-Jar-URL: Racer.jar\n"
                                "MIDlet-Jar-Size: 19870\n",
                   kRepaired},
        RepairCase{"DeadHost", "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\n"
                               "MIDlet-Jar-URL: http://games.closed.example/dl/Racer.jar?id=4\r\nMIDlet-Jar-Size: {size}\r\n",
                   kRepaired},
        RepairCase{"NameVersionVendorFromTheManifest",
                   "MIDlet-Name: Racer Deluxe\r\nMIDlet-Version: 1.0.3\r\nMIDlet-Jar-URL: Racer.jar\r\n"
                   "MIDlet-Jar-Size: {size}\r\n",
                   "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Jar-URL: {url}\r\nMIDlet-Jar-Size: {size}\r\n"
                   "MIDlet-Vendor: Ann\r\nMIDlet-Install-Notify: {report}\r\nMIDlet-Delete-Notify: {report}\r\n"},
        RepairCase{"ByteOrderMarkBlankLinesAndTwice", "\xEF\xBB\xBF" "MIDlet-Name: Racer\r\n\r\nMIDlet-Version: 1.0.2\r\n"
                                                      "MIDlet-Name: Other\r\nMIDlet-Vendor: Ann\r\n  \r\n"
                                                      "MIDlet-Jar-URL: Racer.jar\r\nMIDlet-Jar-Size: {size}\r\n\r\n",
                   kRepaired},
        RepairCase{"ByteOrderMarkAfterBlanks", "\t\xEF\xBB\xBF" "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\n"
                                               "\xEF\xBB\xBF\t\xEF\xBB\xBF" "MIDlet-Vendor: Ann\r\n"
                                               "MIDlet-Jar-URL: Racer.jar\r\nMIDlet-Jar-Size: {size}\r\n",
                   kRepaired},
        RepairCase{"WrappedValue", "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\nMIDlet-Description: A f\r\n"
                                   " ast game\r\nMIDlet-Jar-URL: Racer.jar\r\nMIDlet-Jar-Size: {size}\r\n",
                   "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\nMIDlet-Description: A fast game\r\n"
                   "MIDlet-Jar-URL: {url}\r\nMIDlet-Jar-Size: {size}\r\n"
                   "MIDlet-Install-Notify: {report}\r\nMIDlet-Delete-Notify: {report}\r\n"},
        RepairCase{"NotifyAtADeadHost", kGood + "MIDlet-Install-Notify: http://gone.example/n?id=1\r\n",
                   "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\n"
                   "MIDlet-Jar-URL: {url}\r\nMIDlet-Jar-Size: {size}\r\n"
                   "MIDlet-Install-Notify: {report}\r\nMIDlet-Delete-Notify: {report}\r\n"},
        RepairCase{"NotUtf8", "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\n"
                              "MIDlet-Description: Caf\xE9 racing\r\nMIDlet-Jar-URL: Racer.jar\r\nMIDlet-Jar-Size: 1\r\n",
                   "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\n"
                   "MIDlet-Description: Caf\xEF\xBF\xBD racing\r\nMIDlet-Jar-URL: {url}\r\nMIDlet-Jar-Size: {size}\r\n"
                   "MIDlet-Install-Notify: {report}\r\nMIDlet-Delete-Notify: {report}\r\n"}),
    [](const testing::TestParamInfo<RepairCase>& info) { return std::string(info.param.name); });

TEST_F(DescriptorRepairTest, SaysWhatItChanged)
{
    const auto repaired = repair("MIDlet-Name: Racer\nMIDlet-Version: 1.0.2\nMIDlet-Vendor: Ann\n"
                                 "MIDlet-Jar-URL: Racer.jar\nMIDlet-Jar-Size: 19870\n");
    ASSERT_TRUE(repaired);
    EXPECT_EQ(repaired->changes,
              (std::vector<std::string>{"line ends made CR LF", "MIDlet-Jar-URL on this server",
                                        "MIDlet-Jar-Size " + filled("{size}", m_size) + " (was 19,870)",
                                        "install report address added", "delete report address added"}));
}

TEST_F(DescriptorRepairTest, LeavesWhatItCannotMend)
{
    // An archive found nowhere keeps its address; a manifest's own report
    // address (a signed suite) is kept; an address too long for a phone is not given.
    JarFile()
        .manifest({"MIDlet-Name: Signed", "MIDlet-Version: 1.0", "MIDlet-Vendor: Ann",
                   "MIDlet-Install-Notify: http://vendor.example/n"})
        .write(m_games.path() / "Signed.jar");
    const auto signedGame =
        repairDescriptor("MIDlet-Name: Signed\r\nMIDlet-Jar-URL: Signed.jar\r\nMIDlet-Install-Notify: http://vendor.example/n\r\n",
                         {m_games.string(), "/Signed.jad", kOrigin, true, kReport});
    ASSERT_TRUE(signedGame);
    EXPECT_NE(signedGame->text.find("MIDlet-Install-Notify: http://vendor.example/n\r\n"), std::string::npos);
    EXPECT_NE(signedGame->text.find("MIDlet-Delete-Notify: " + std::string(kReport)), std::string::npos);

    const auto lost = repairDescriptor("MIDlet-Name: Lost\r\nMIDlet-Jar-URL: http://gone.example/Lost.jar\r\n",
                                       {m_games.string(), "/Lost.jad", kOrigin, true, std::string(300, 'x')});
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->text, "MIDlet-Name: Lost\r\nMIDlet-Jar-URL: http://gone.example/Lost.jar\r\n");
    EXPECT_TRUE(lost->changes.empty());
}

TEST_F(DescriptorRepairTest, ServesUnreadableFilesAsTheyAre)
{
    EXPECT_FALSE(repair(std::string("PK\x03\x04\0\0binary", 12)));
    EXPECT_FALSE(repair("MIDlet-Description: " + std::string(70'000, 'x') + "\r\n"));
}

TEST_F(DescriptorRepairTest, EncodesArchiveNamesOnlyWhereTheServerDecodes)
{
    fs::copy_file(m_games.path() / "Racer.jar", m_games.path() / "My Racer+.jar");
    const std::string text = "MIDlet-Jar-URL: My%20Racer+.jar\r\n";
    const auto decoded = repairDescriptor(text, {m_games.string(), "/Racer.jad", kOrigin, true, ""});
    ASSERT_TRUE(decoded);
    EXPECT_NE(decoded->text.find("MIDlet-Jar-URL: http://192.168.1.5:8080/My%20Racer%2B.jar\r\n"), std::string::npos);
}

} // namespace
