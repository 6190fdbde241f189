#include "ServiceHarness.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string kNotFoundPage =
    "<html><head><title>Error on Server</title></head><body>Sorry! File not found.</body></html>";
const std::string kBadRequestPage =
    "<html><head><title>Error on Server</title></head><body>Sorry! Bad request.</body></html>";

std::string get(const std::string& path, const std::string& method = "GET")
{
    return method + " " + path + " HTTP/1.0\r\nUser-Agent: phone\r\n\r\n";
}

std::string response(const std::string& status, const std::string& type, const std::string& body)
{
    return status + "\r\nContent-Length:" + std::to_string(body.size()) + "\r\nContent-type:" + type +
        "\r\nServer:Corvelle Server\r\n\r\n" + body;
}

class RequestServiceTest : public testing::Test, protected ServiceHarness {
protected:
    std::string entry(const std::string& message) const
    {
        return "# 08-12-26 20:17:07 # -        10.0.0.1 - " + message + "\r\n";
    }
};

TEST_F(RequestServiceTest, ServesADescriptorWithItsTypeAndOneLogEntry)
{
    const std::string descriptor = "MIDlet-Name: Demo\r\nMIDlet-Jar-Size: 10\r\n";
    games.write("a.jad", descriptor);

    arrive(1, get("/a.jad"));
    scheduler.runUntilIdle();

    EXPECT_EQ(sockets.elements[1].sent,
              std::vector<std::string>{response("HTTP/1.0 200 OK", "text/vnd.sun.j2me.app-descriptor", descriptor)});
    EXPECT_EQ(sink.entries, std::vector<std::string>{entry(virtualDir + "/a.jad")});
}

TEST_F(RequestServiceTest, AnswersAMissingFileWithTheNotFoundPageAndTwoEntries)
{
    arrive(1, get("/missing.jad"));

    EXPECT_EQ(sockets.elements[1].sent,
              std::vector<std::string>{response("HTTP/1.0 404 Not Found", "text/html", kNotFoundPage)});
    EXPECT_EQ(sink.entries,
              (std::vector<std::string>{entry(virtualDir + "/missing.jad"), entry("Sorry! File not found.")}));
}

TEST_F(RequestServiceTest, AnswersTraversalLikeAMissingFile)
{
    TempDirectory outside;
    outside.write("secret.jad", "SECRET");
    const std::string name = outside.path().filename().string();
    for (const std::string& path : {"/../" + name + "/secret.jad", "/x/../../" + name + "/secret.jad",
                                    (outside.path() / "secret.jad").string().substr(1)})
        arrive(1, get(path));
    scheduler.runUntilIdle();

    EXPECT_EQ(sockets.elements[1].sent.size(), 3u);
    EXPECT_EQ(sockets.sentOn(1).find("SECRET"), std::string::npos);
    EXPECT_EQ(sink.entries.size(), 6u);
}

TEST_F(RequestServiceTest, SendsEmptyFilesAndEveryByteValueUnchanged)
{
    std::string allBytes;
    for (int byte = 0; byte < 256; ++byte)
        allBytes.push_back(static_cast<char>(byte));
    games.write("empty.jar", "");
    games.write("bytes.jar", allBytes);

    arrive(1, get("/empty.jar") + get("/bytes.jar"));
    scheduler.runUntilIdle();

    EXPECT_EQ(sockets.sentOn(1), response("HTTP/1.0 200 OK", "application/java-archive", "") +
                                      response("HTTP/1.0 200 OK", "application/java-archive", allBytes));
}

TEST_F(RequestServiceTest, ReadsLargeFilesInPiecesBetweenOtherWorkAndSendsThemWhole)
{
    const std::string archive(700, 'j');
    games.write("game.jar", archive);

    arrive(1, get("/game.jar"));
    EXPECT_TRUE(sockets.elements[1].sent.empty()) << "the second piece waits for the next turn";
    EXPECT_TRUE(scheduler.runTurn());

    EXPECT_EQ(sockets.elements[1].sent,
              std::vector<std::string>{response("HTTP/1.0 200 OK", "application/java-archive", archive)});
    EXPECT_FALSE(scheduler.runTurn());
}

TEST_F(RequestServiceTest, AnswersEachConnectionInOrderWhileOthersGoOn)
{
    games.write("big.jar", std::string(5000, 'b'));
    games.write("small.jad", "s");

    arrive(1, get("/big.jar") + get("/small.jad"));
    arrive(2, get("/small.jad"));
    EXPECT_TRUE(sockets.elements[1].sent.empty()) << "the small answer waits behind the big one";
    EXPECT_EQ(sockets.elements[2].sent.size(), 1u) << "another connection is not held up";

    scheduler.runUntilIdle();
    ASSERT_EQ(sockets.elements[1].sent.size(), 2u);
    EXPECT_NE(sockets.elements[1].sent[0].find("Content-Length:5000"), std::string::npos);
    EXPECT_NE(sockets.elements[1].sent[1].find("Content-Length:1\r\n"), std::string::npos);
}

TEST_F(RequestServiceTest, LogsAndAnswersOnlyGet)
{
    games.write("a.jad", "x");
    arrive(1, get("/a.jad", "HEAD") + get("/a.jad", "POST") + get("/a.jad", "get"));
    scheduler.runUntilIdle();

    EXPECT_TRUE(sockets.elements[1].sent.empty());
    EXPECT_TRUE(sink.entries.empty());
}

TEST_F(RequestServiceTest, AnswersAShortRequestLineWithBadRequestAndKeepsTheConnection)
{
    games.write("a.jad", "x");
    arrive(1, "GET /a.jad\r\n\r\n" + get("/a.jad"));
    scheduler.runUntilIdle();

    ASSERT_EQ(sockets.elements[1].sent.size(), 2u);
    EXPECT_EQ(sockets.elements[1].sent[0], response("HTTP/1.0 400 Bad Request", "text/html", kBadRequestPage));
    EXPECT_EQ(sockets.elements[1].sent[1], response("HTTP/1.0 200 OK", "text/vnd.sun.j2me.app-descriptor", "x"));
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(sink.entries.size(), 2u);
}

TEST_F(RequestServiceTest, AnswersAnUnreadableFileWithServerError)
{
    games.write("big.jar", std::string(2000, 'b'));
    const auto doomed = games.write("doomed.jad", "d");

    arrive(1, get("/big.jar") + get("/doomed.jad"));
    std::filesystem::remove(doomed);
    scheduler.runUntilIdle();

    ASSERT_EQ(sockets.elements[1].sent.size(), 2u);
    EXPECT_EQ(sockets.elements[1].sent[1].rfind("HTTP/1.0 500 Internal Server Error\r\n", 0), 0u);
    EXPECT_EQ(sink.entries.back(), entry("Sorry! File could not be read."));
}

TEST_F(RequestServiceTest, DropsTheAnswerOfASlotReleasedWhileReading)
{
    games.write("big.jar", std::string(5000, 'b'));
    arrive(1, get("/big.jar"));

    sockets.Unload(1);
    service.UnloadBuffer(1);
    scheduler.runUntilIdle();

    EXPECT_FALSE(sockets.elements.contains(1));
    EXPECT_EQ(sink.entries.size(), 1u);
}

TEST_F(RequestServiceTest, AnswersFramingErrorsThenReleasesTheSlotAndIgnoresTheRest)
{
    games.write("a.jad", "x");
    arrive(1, get("/a.jad") + "POST / HTTP/1.0\r\nContent-Length: -5\r\n\r\n" + get("/a.jad"));
    arrive(1, get("/a.jad"));
    scheduler.runUntilIdle();

    ASSERT_EQ(sockets.elements[1].sent.size(), 2u);
    EXPECT_EQ(sockets.elements[1].sent[1], response("HTTP/1.0 400 Bad Request", "text/html", kBadRequestPage));
    EXPECT_EQ(released, std::vector<SlotNumber>{1});
    ASSERT_EQ(sink.entries.size(), 2u);
    EXPECT_NE(sink.entries[1].find("Sorry! Bad request."), std::string::npos);
}

TEST_F(RequestServiceTest, HoldsUpAPeerThatDoesNotReadUntilItDoes)
{
    const std::string archive(100 * 1024, 'b');
    games.write("big.jar", archive);
    sockets.peersDoNotRead = true;
    std::string pipelined;
    for (int i = 0; i < 40; ++i)
        pipelined += get("/big.jar");

    arrive(1, pipelined);
    scheduler.runUntilIdle();
    arrive(1, get("/big.jar"));
    scheduler.runUntilIdle();
    // Three answers pass the limit of what may wait unsent; no more are read
    // from disk, and no more requests are taken than may be queued.
    EXPECT_EQ(sockets.elements[1].sent.size(), 3u);
    EXPECT_LE(sink.entries.size() - 3, RequestService::kMaxPendingResponses);
    EXPECT_FALSE(sockets.elements[1].incoming.empty()) << "what came later waits in the socket";

    // The peer reads: everything is answered, in order, a little at a time.
    for (int round = 0; round < 100 && sockets.elements[1].sent.size() < 41; ++round) {
        sockets.elements[1].unsent = 0;
        service.wsServer_SendProgress(1, 0);
        scheduler.runUntilIdle();
        EXPECT_LE(sockets.elements[1].unsent, RequestService::kMaxUnsentBytes + 200 * 1024);
    }
    ASSERT_EQ(sockets.elements[1].sent.size(), 41u);
    for (const auto& answer : sockets.elements[1].sent)
        EXPECT_EQ(answer, response("HTTP/1.0 200 OK", "application/java-archive", archive));
    EXPECT_EQ(sink.entries.size(), 41u);
}

TEST_F(RequestServiceTest, KeepsEachSlotsBufferApart)
{
    games.write("a.jad", "x");
    arrive(1, "GET /a.jad HTTP/1.0\r\n");
    arrive(2, "GET /missing HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(sockets.elements[1].sent.empty());
    EXPECT_EQ(service.txtReceivedData(1)->text(), "GET /a.jad HTTP/1.0\r\n");
    EXPECT_EQ(service.txtReceivedData(2)->text(), "");

    arrive(1, "\r\n");
    EXPECT_EQ(sockets.elements[1].sent.size(), 1u);
    EXPECT_EQ(sockets.elements[2].sent.size(), 1u);
}

TEST_F(RequestServiceTest, ReadsTheGameDirectoryAnewForEveryRequest)
{
    TempDirectory other;
    other.write("a.jad", "other");
    games.write("a.jad", "first");

    arrive(1, get("/a.jad"));
    virtualDir = other.string();
    arrive(1, get("/a.jad"));

    EXPECT_EQ(sockets.sentOn(1), response("HTTP/1.0 200 OK", "text/vnd.sun.j2me.app-descriptor", "first") +
                                      response("HTTP/1.0 200 OK", "text/vnd.sun.j2me.app-descriptor", "other"));
}

} // namespace
