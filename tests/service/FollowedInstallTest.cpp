#include "ServiceHarness.h"

#include "JarFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// A phone's install as the service follows it, from the fields of its
// requests to the line that ends it.
class FollowedInstall : public testing::Test, protected ServiceHarness {
protected:
    FollowedInstall()
    {
        JarFile()
            .manifest({"MIDlet-Name: Racer", "MIDlet-Version: 1.0.2", "MIDlet-Vendor: Ann",
                       "MicroEdition-Profile: MIDP-2.0", "MicroEdition-Configuration: CLDC-1.1"})
            .write(games.path() / "Racer.jar");
        games.write("Racer.jad", "MIDlet-Name: Racer\nMIDlet-Version: 1.0.2\nMIDlet-Vendor: Ann\n"
                                 "MIDlet-Jar-URL: Racer.jar\nMIDlet-Jar-Size: " + std::to_string(archiveSize()) +
                                     "\nMIDlet-Install-Notify: /notify\n");
        core.attempts().setChangeHandler([this](const InstallAttempt& attempt) { latest = attempt; });
    }

    std::int64_t archiveSize() const
    {
        return static_cast<std::int64_t>(std::filesystem::file_size(games.path() / "Racer.jar"));
    }

    static std::string request(const std::string& line, const std::string& fields, const std::string& body = {})
    {
        return line + " HTTP/1.1\r\n" + fields +
               (body.empty() ? "" : "Content-Length: " + std::to_string(body.size()) + "\r\n") + "\r\n" + body;
    }

    InstallAttempt latest;
};

TEST_F(FollowedInstall, NamesThePhoneFromItsRequestsAndEndsWithItsReport)
{
    const std::string phone = "User-Agent: Nokia6300/2.0 (05.00) Profile/MIDP-2.0 Configuration/CLDC-1.1\r\n";
    service.setRepairDescriptors(true);
    arrive(1, request("GET /Racer.jad", phone));
    const std::string sent = sockets.sentOn(1);
    const auto start = sent.find("/.install-report/");
    ASSERT_NE(start, std::string::npos);
    const std::string reportPath = sent.substr(start, sent.find("\r\n", start) - start);
    EXPECT_EQ(stepText(latest), "descriptor (repaired)");
    EXPECT_EQ(latest.phone, "Nokia 6300");
    EXPECT_EQ(latest.platform, "MIDP-2.0 CLDC-1.1");

    arrive(2, request("GET /Racer.jar", phone));
    EXPECT_EQ(stepText(latest), "archive 0 %");
    const std::string archive = mapRequestPath(games.string(), "/Racer.jar");
    core.slots().wsServer_FileProgress(2, archive, archiveSize(), archiveSize());
    EXPECT_EQ(stepText(latest), "archive received");

    sink.clear();
    arrive(3, request("POST " + reportPath, phone, "900 Success"));
    EXPECT_EQ(stepText(latest), "installed");
    ASSERT_EQ(sink.entries().size(), 2U);
    EXPECT_TRUE(sink.entries()[1].ends_with(" - Nokia 6300 installed Racer 1.0.2 (900 Success) in 0 s\r\n"))
        << sink.entries()[1];
}

TEST_F(FollowedInstall, WarnsOfAGameThePhoneCannotRunAndTakesTheReportAtTheDescriptorsAddress)
{
    const std::string phone = "User-Agent: Nokia3300/1.0 (4.07) Profile/MIDP-1.0 Configuration/CLDC-1.0\r\n";
    arrive(1, request("GET /Racer.jad", phone));
    EXPECT_TRUE(sink.contains("Nokia 3300: Racer 1.0.2 needs MIDP-2.0 and CLDC-1.1; this phone has MIDP-1.0 and "
                              "CLDC-1.0: it will report 908"));
    arrive(2, request("POST /notify", phone, "908 Incompatible"));
    EXPECT_TRUE(sink.contains("Nokia 3300: Racer 1.0.2 failed: 908 Incompatible configuration or profile"));
}

TEST_F(FollowedInstall, KnowsAPhoneThatSaysNothingByItsAddress)
{
    arrive(1, get("/Racer.jad"));
    EXPECT_EQ(latest.phone, "10.0.0.1");
    EXPECT_EQ(latest.platform, "");
    EXPECT_EQ(latest.warning, "");
}

} // namespace
