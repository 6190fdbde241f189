#include "ServiceHarness.h"

#include "DescriptorRepair.h"
#include "JarFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

namespace {

std::string requestWith(const std::string& path, const std::string& fields)
{
    return "GET " + path + " HTTP/1.1\r\n" + fields + "\r\n";
}

class RepairedDescriptors : public testing::Test, protected ServiceHarness {
protected:
    RepairedDescriptors()
    {
        JarFile()
            .manifest({"MIDlet-Name: Racer", "MIDlet-Version: 1.0.2", "MIDlet-Vendor: Ann"})
            .write(games.path() / "Racer.jar");
        games.write("Racer.jad", kStale);
    }

    static constexpr const char* kStale = "MIDlet-Name: Racer\nMIDlet-Version: 1.0.2\nMIDlet-Vendor: Ann\n"
                                          "MIDlet-Jar-URL: http://gone.example/Racer.jar\nMIDlet-Jar-Size: 99\n";
    std::string size() const { return std::to_string(std::filesystem::file_size(games.path() / "Racer.jar")); }
};

TEST_F(RepairedDescriptors, AreServedByteForByteWhileRepairIsOff)
{
    arrive(1, get("/Racer.jad"));
    EXPECT_EQ(sockets.sentOn(1), okResponse(kDescriptorType, kStale));
}

TEST_F(RepairedDescriptors, PointAtTheAddressThePhoneUsedAndSayWhatChanged)
{
    service.setRepairDescriptors(true);
    arrive(1, requestWith("/Racer.jad", "Host: 192.168.1.5:8080\r\n"));
    // A Host that could bend the address falls back to where the connection came in.
    arrive(2, requestWith("/Racer.jad", "Host: evil.example/x@y\r\n"));

    const std::string body = sockets.sentOn(1).substr(sockets.sentOn(1).find("\r\n\r\n") + 4);
    EXPECT_EQ(body.substr(0, body.find("MIDlet-Install-Notify")),
              "MIDlet-Name: Racer\r\nMIDlet-Version: 1.0.2\r\nMIDlet-Vendor: Ann\r\n"
              "MIDlet-Jar-URL: http://192.168.1.5:8080/Racer.jar\r\nMIDlet-Jar-Size: " + size() + "\r\n");
    EXPECT_NE(body.find("MIDlet-Install-Notify: http://192.168.1.5:8080/.install-report/"), std::string::npos);
    EXPECT_NE(sockets.sentOn(1).find("Content-Length:" + std::to_string(body.size()) + "\r\n"), std::string::npos);
    EXPECT_NE(sockets.sentOn(2).find("MIDlet-Jar-URL: http://10.0.0.2:8080/Racer.jar\r\n"), std::string::npos);

    ASSERT_FALSE(sink.entries().empty());
    EXPECT_NE(sink.entries().front().find(mapRequestPath(games.string(), "/Racer.jad") +
                                          " (repaired: line ends made CR LF, MIDlet-Jar-URL on this server, "
                                          "MIDlet-Jar-Size " + size() + " (was 99), install report address added, "
                                          "delete report address added)"),
              std::string::npos)
        << sink.entries().front();
}

// Each download's descriptor is the repair's for that download, however
// much of it was kept from the download before: only the report address
// differs from one to the next, also where the text holds the character the
// kept repair marks that address with, or the address would be too long.
TEST_F(RepairedDescriptors, ServeEachDownloadAsTheRepairMakesIt)
{
    struct Case {
        std::string descriptorMore;
        std::string host;
    };
    service.setRepairDescriptors(true);
    SlotNumber slot = 0;
    for (const Case& c : {Case{"", "shop-pc:8080"}, Case{"MIDlet-Description: a\x01" "b\n", "shop-pc:8080"},
                          Case{"", std::string(230, 'h') + ":8080"}}) {
        games.write("Racer.jad", std::string(kStale) + c.descriptorMore);
        for (int download = 0; download < 2; ++download) {
            ++slot;
            sockets.Load(slot);
            sockets.elements[slot].state = SocketState::Connected;
            service.addConnection(slot);
            arrive(slot, requestWith("/Racer.jad", "Host: " + c.host + "\r\n"));
            const std::string sent = sockets.sentOn(slot);
            const std::string body = sent.substr(sent.find("\r\n\r\n") + 4);
            const auto at = body.find("/.install-report/");
            const std::string reportPath =
                at == std::string::npos ? "" : body.substr(at, body.find("\r\n", at) - at);
            const auto made = repairDescriptor(std::string(kStale) + c.descriptorMore,
                                               {games.string(), "/Racer.jad", "http://" + c.host, false,
                                                reportPath.empty() ? "" : "http://" + c.host + reportPath});
            ASSERT_TRUE(made);
            EXPECT_EQ(body, made->text) << c.host.size() << " " << c.descriptorMore;
            EXPECT_EQ(reportPath.empty(), c.host.size() > 200) << "a report address a phone takes, or none";
        }
    }
}

TEST_F(RepairedDescriptors, TieAReportToTheGameAndThePhone)
{
    service.setRepairDescriptors(true);
    arrive(1, requestWith("/Racer.jad", "Host: 192.168.1.5:8080\r\n"));
    const std::string sent = sockets.sentOn(1);
    const auto start = sent.find("/.install-report/");
    const std::string address = sent.substr(start, sent.find("\r\n", start) - start);
    sink.clear();

    const auto post = [](const std::string& path, const std::string& body) {
        return "POST " + path + " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    arrive(2, post(address, "900 Success") + post(address, "951 Invalid DDVersion") + post(address, "950 x") +
                  post("/.install-report/never-given", "904 JAR Size Mismatch") + post(address, "hello"));

    const std::string receipt =
        "HTTP/1.0 200 OK\r\nContent-Length:0\r\nContent-type:text/html\r\nServer:Corvelle Server\r\n\r\n";
    EXPECT_EQ(sockets.sentOn(2), receipt + receipt + receipt + receipt + receipt);
    const std::string game = " for Racer 1.0.2 (Racer.jad, fetched by 10.0.0.1)\r\n";
    const std::vector<std::string> expected{
        "Install report 900 Success" + game, "10.0.0.1 installed Racer 1.0.2 (900 Success) in 0 s\r\n",
        "Install report 951 Invalid download descriptor version" + game,
        "Install report 950 unknown code" + game,
        "Install report 904 JAR size mismatch, posted to an address this server never gave out "
        "(/.install-report/never-given)\r\n",
        "A report without a status code" + game};
    ASSERT_EQ(sink.entries().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(sink.entries()[i].ends_with(expected[i])) << sink.entries()[i];
}

TEST_F(RepairedDescriptors, RepairTheDescriptorMadeForALoneArchive)
{
    service.setGameList(true);
    service.setRepairDescriptors(true);
    std::filesystem::remove(games.path() / "Racer.jad");
    arrive(1, requestWith("/Racer.jad", "Host: shop-pc:8080\r\n"));
    EXPECT_NE(sockets.sentOn(1).find("MIDlet-Jar-URL: http://shop-pc:8080/Racer.jar\r\n"), std::string::npos);
    EXPECT_NE(sockets.sentOn(1).find("MIDlet-Install-Notify: http://shop-pc:8080/.install-report/"), std::string::npos);
}

TEST_F(RepairedDescriptors, PointAtAnArchiveNamedInOtherLettersAsItIsOnDisk)
{
#ifdef _WIN32
    GTEST_SKIP() << "the file system finds a name in any letter case: the archive is served as the descriptor names it";
#endif
    JarFile()
        .manifest({"MIDlet-Name: Snake", "MIDlet-Version: 1.0", "MIDlet-Vendor: Ann", "MicroEdition-Profile: MIDP-2.0"})
        .write(games.path() / "snake.jar");
    games.write("Snake.jad", "MIDlet-Name: Snake\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: Ann\r\n"
                             "MIDlet-Jar-URL: Snake.JAR\r\nMIDlet-Jar-Size: 99\r\n");
    const std::string size = std::to_string(std::filesystem::file_size(games.path() / "snake.jar"));
    const std::string phone =
        "Host: 192.168.1.5:8080\r\nUser-Agent: Nokia3300/1.0 (4.07) Profile/MIDP-1.0 Configuration/CLDC-1.0\r\n";
    service.setRepairDescriptors(true);

    arrive(1, requestWith("/Snake.jad", phone));
    EXPECT_NE(sockets.sentOn(1).find("MIDlet-Jar-URL: http://192.168.1.5:8080/snake.jar\r\nMIDlet-Jar-Size: " + size +
                                     "\r\n"),
              std::string::npos)
        << sockets.sentOn(1);
    EXPECT_TRUE(sink.contains("/Snake.jad (repaired: MIDlet-Jar-URL on this server for snake.jar as named on disk (was "
                              "Snake.JAR), MIDlet-Jar-Size " + size + " (was 99), "));
    // The install is followed with that archive's manifest.
    EXPECT_TRUE(sink.contains("Nokia 3300: Snake 1.0 needs MIDP-2.0"));

    arrive(2, requestWith("/snake.jar", phone));
    EXPECT_TRUE(sockets.sentOn(2).starts_with("HTTP/1.0 200 OK\r\n")) << sockets.sentOn(2);
    // A request is matched letter for letter: two files may differ only in case.
    arrive(3, requestWith("/Snake.JAR", phone));
    EXPECT_TRUE(sockets.sentOn(3).starts_with("HTTP/1.0 404 Not Found\r\n")) << sockets.sentOn(3);
}

struct RangeCase {
    const char* range;
    const char* status;
    const char* contentRange; // nullptr: none
    std::size_t first;
    std::size_t length;
};

std::ostream& operator<<(std::ostream& out, const RangeCase& c)
{
    return out << c.range;
}

class Ranges : public testing::TestWithParam<RangeCase>, protected ServiceHarness {};

TEST_P(Ranges, SendTheBytesAskedForFromTheFile)
{
    const std::string bytes = randomBytes(1000);
    games.write("game.jar", bytes);
    arrive(1, requestWith("/game.jar", std::string("Range: ") + GetParam().range + "\r\n"));

    const std::string sent = sockets.sentOn(1);
    const std::string head = sent.substr(0, sent.find("\r\n\r\n") + 4);
    EXPECT_TRUE(head.starts_with(std::string(GetParam().status) + "\r\n")) << head;
    EXPECT_NE(head.find("Content-Length:" + std::to_string(GetParam().length) + "\r\n"), std::string::npos) << head;
    if (GetParam().contentRange)
        EXPECT_NE(head.find("Content-Range:" + std::string(GetParam().contentRange) + "\r\n"), std::string::npos) << head;
    else
        EXPECT_EQ(head.find("Content-Range"), std::string::npos) << head;
    EXPECT_EQ(sent.substr(head.size()), bytes.substr(GetParam().first, GetParam().length));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ranges,
    testing::Values(RangeCase{"bytes=0-99", "HTTP/1.0 206 Partial Content", "bytes 0-99/1000", 0, 100},
                    RangeCase{"bytes=900-", "HTTP/1.0 206 Partial Content", "bytes 900-999/1000", 900, 100},
                    RangeCase{"bytes=-10", "HTTP/1.0 206 Partial Content", "bytes 990-999/1000", 990, 10},
                    RangeCase{"bytes=1000-", "HTTP/1.0 416 Range Not Satisfiable", "bytes */1000", 0, 0},
                    RangeCase{"bytes=5-1", "HTTP/1.0 200 OK", nullptr, 0, 1000},
                    RangeCase{"bytes=0-1,4-5", "HTTP/1.0 200 OK", nullptr, 0, 1000}));

TEST_F(RepairedDescriptors, AnswerAnyRangeOfAnEmptyFileWith416)
{
    games.write("empty.jar", "");
    arrive(1, requestWith("/empty.jar", "Range: bytes=0-\r\n"));
    EXPECT_EQ(sockets.sentOn(1), "HTTP/1.0 416 Range Not Satisfiable\r\nContent-Length:0\r\n"
                                 "Content-type:application/java-archive\r\nServer:Corvelle Server\r\n"
                                 "Content-Range:bytes */0\r\n\r\n");
}

} // namespace
