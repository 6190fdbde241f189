#include "TarnwickServer.h"

#include "CommandOutput.h"
#include "LoopbackClient.h"
#include "MemoryLog.h"
#include "ReadinessBackends.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

const std::string kReceipt =
    "HTTP/1.0 200 OK\r\nContent-Length:0\r\nContent-type:text/html\r\nServer:Corvelle Server\r\n\r\n";

// Phones report installs to the server over loopback.
class InstallReportLoopback : public testing::TestWithParam<ReadinessBackendKind> {
protected:
    InstallReportLoopback()
        : server(log, nullptr, GetParam())
    {
        games.write("a.jad", "MIDlet-Name: A\r\n");
        server.setGameDirectory(games.string());
        std::string error;
        EXPECT_TRUE(server.startListening(0, error)) << error;
        port = server.listeningPort();
    }

    std::unique_ptr<LoopbackClient> connect()
    {
        auto client = std::make_unique<LoopbackClient>();
        EXPECT_TRUE(client->connectTo(port));
        return client;
    }

    // The log messages, without their time stamps and addresses.
    std::vector<std::string> messages() const
    {
        std::vector<std::string> result;
        for (const std::string& entry : log.entries()) {
            const std::size_t start = entry.find("127.0.0.1 - ") + 12;
            result.push_back(entry.substr(start, entry.size() - start - 2));
        }
        return result;
    }

    TempDirectory games;
    MemoryLog log;
    TarnwickServer server;
    std::uint16_t port = 0;
};

TEST_P(InstallReportLoopback, CurlPostsAChunkedReportAndGetsAnEmptyOk)
{
#ifdef _WIN32
    GTEST_SKIP() << "curl and python are the build machine's, not the Windows side's";
#endif
    // No "Expect: 100-continue": a phone does not wait for one either.
    const std::string command = "curl -s -i -H 'Transfer-Encoding: chunked' -H 'Expect:' --data-binary "
                                "'904 JAR Size Mismatch' 'http://127.0.0.1:" +
                                std::to_string(port) + "/notify?id=3'";
    EXPECT_EQ(commandOutput(command), kReceipt);
    EXPECT_EQ(messages(), std::vector<std::string>{"Install report 904 JAR size mismatch, posted to /notify?id=3"});
}

TEST_P(InstallReportLoopback, AnswersReportsInAnyPiecesAndLeavesOtherPostsUnanswered)
{
    auto phone = connect();
    const auto post = [](const std::string& path, const std::string& body) {
        return "POST " + path + " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const std::string stream =
        "POST /n HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n4\r\n900 \r\n7\r\nSuccess\r\n0\r\n\r\n" +
        post("/n", "913 Package not supported") + post("/del", "912 Deletion Notification") +
        "GET /a.jad HTTP/1.0\r\n\r\n";
    for (std::size_t at = 0; at < stream.size(); at += 7) {
        phone->send(stream.substr(at, 7));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto success = phone->readResponse();
    const auto deletion = phone->readResponse();
    const auto descriptor = phone->readResponse();
    ASSERT_TRUE(success && deletion && descriptor);
    EXPECT_EQ(success->head + "\r\n\r\n" + success->body, kReceipt);
    EXPECT_EQ(deletion->head + "\r\n\r\n" + deletion->body, kReceipt);
    EXPECT_EQ(descriptor->body, "MIDlet-Name: A\r\n");
    EXPECT_EQ(messages(), (std::vector<std::string>{"Install report 900 Success, posted to /n",
                                                    "Delete report 912 Deletion notification, posted to /del",
                                                    (games.path() / "a.jad").string()}));
    EXPECT_EQ(phone->receivedWithin(100), "");
}

TEST_P(InstallReportLoopback, APhoneReportsToTheAddressOfARepairedDescriptor)
{
#ifdef _WIN32
    GTEST_SKIP() << "curl and python are the build machine's, not the Windows side's";
#endif
    server.setRepairDescriptors(true);
    const std::string descriptor = commandOutput("curl -s http://127.0.0.1:" + std::to_string(port) + "/a.jad");
    const std::string field = "MIDlet-Install-Notify: ";
    const auto start = descriptor.find(field);
    ASSERT_NE(start, std::string::npos) << descriptor;
    const std::string address = descriptor.substr(start + field.size(), descriptor.find("\r\n", start) - start - field.size());
    EXPECT_TRUE(address.starts_with("http://127.0.0.1:" + std::to_string(port) + "/.install-report/")) << address;
    log.clear();

    EXPECT_EQ(commandOutput("curl -s -i -H 'Transfer-Encoding: chunked' -H 'Expect:' --data-binary '906 Invalid "
                            "Descriptor' '" + address + "'"),
              kReceipt);
    EXPECT_EQ(messages(), (std::vector<std::string>{
                              "Install report 906 Invalid descriptor for A (a.jad, fetched by 127.0.0.1)",
                              "127.0.0.1: A failed: 906 Invalid descriptor \u2014 the phone cannot read the "
                              "descriptor; fix a.jad"}));
}

TEST_P(InstallReportLoopback, ClosesAfterAMalformedChunkedBody)
{
    auto phone = connect();
    phone->send("POST /n HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\n900 Success\r\n0\r\n\r\n");
    const auto response = phone->readResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->statusLine(), "HTTP/1.0 400 Bad Request");
    EXPECT_TRUE(phone->waitForClose());
    EXPECT_EQ(messages(), std::vector<std::string>{
                              "Sorry! Bad request. The chunked body is malformed; the connection is closed."});
}

INSTANTIATE_TEST_SUITE_P(Backends, InstallReportLoopback, everyReadinessBackend(), backendTestName);

} // namespace
