#include "TarnwickServer.h"

#include "CommandOutput.h"
#include "Eventually.h"
#include "HttpText.h"
#include "LoopbackClient.h"
#include "MemoryLog.h"
#include "OpenFileCache.h"
#include "ReadinessBackends.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>

#ifndef _WIN32
#include "OpenDescriptors.h"

#include <fcntl.h>
#include <sys/resource.h>
#endif

namespace {

const std::string kDescriptor = "MIDlet-1: Demo, /icon.png, Demo\r\nMIDlet-Jar-Size: 1048576\r\n"
                                "MIDlet-Jar-URL: game.jar\r\nMIDlet-Name: Demo\r\nMIDlet-Vendor: Tarnwick\r\n"
                                "MIDlet-Version: 1.0\r\nMicroEdition-Configuration: CLDC-1.0\r\n"
                                "MicroEdition-Profile: MIDP-2.0\r\n";

// The whole server on a free loopback port over a real game directory,
// waiting with `backend`.
class ServerOnLoopback : public testing::Test {
protected:
    explicit ServerOnLoopback(ReadinessBackendKind backend)
        : archive(randomBytes(1024 * 1024))
        , server(log, nullptr, backend)
    {
        games.write("a.jad", kDescriptor);
        games.write("game.jar", archive);
        server.setGameDirectory(games.string());
        std::string error;
        EXPECT_TRUE(server.startListening(0, error)) << error;
        port = server.listeningPort();
    }

    std::unique_ptr<LoopbackClient> connect(int receiveBuffer = 0)
    {
        auto client = std::make_unique<LoopbackClient>();
        EXPECT_TRUE(client->connectTo(port, 5000, receiveBuffer));
        return client;
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }

    TempDirectory games;
    std::string archive;
    MemoryLog log;
    TarnwickServer server;
    std::uint16_t port = 0;
};

// On each backend in turn.
class EndToEnd : public ServerOnLoopback, public testing::WithParamInterface<ReadinessBackendKind> {
protected:
    EndToEnd()
        : ServerOnLoopback(GetParam())
    {
    }
};

TEST_P(EndToEnd, CurlFetchesTheDescriptorByteExact)
{
#ifdef _WIN32
    GTEST_SKIP() << "curl and python are the build machine's, not the Windows side's";
#endif
    EXPECT_EQ(commandOutput("curl -s -i " + url("/a.jad")), "HTTP/1.0 200 OK\r\nContent-Length:" + std::to_string(kDescriptor.size()) +
                                                      "\r\nContent-type:text/vnd.sun.j2me.app-descriptor\r\n"
                                                      "Server:Corvelle Server\r\n\r\n" +
                                                      kDescriptor);
}

TEST_P(EndToEnd, PythonFetchesTheArchiveByteExact)
{
#ifdef _WIN32
    GTEST_SKIP() << "curl and python are the build machine's, not the Windows side's";
#endif
    const std::string script = "import http.client, sys\n"
                               "c = http.client.HTTPConnection('127.0.0.1', " +
        std::to_string(port) +
        ")\n"
        "c.request('GET', '/game.jar')\n"
        "r = c.getresponse()\n"
        "sys.stdout.buffer.write(r.getheader('Content-type').encode() + b'\\n' + r.read())\n";
    games.write("fetch.py", script);
    EXPECT_EQ(commandOutput("python3 " + (games.path() / "fetch.py").string()), "application/java-archive\n" + archive);
}

// Sizes around what goes out with its head in one call (16 KiB), the slice
// one connection sends per turn (128 KiB), the limit of what may wait unsent
// (256 KiB) and the socket's buffers, to a reader with the system's buffer
// and to one with a small buffer.
struct SizeCase {
    std::size_t size;
    int receiveBuffer;
};

std::ostream& operator<<(std::ostream& out, const SizeCase& c)
{
    return out << c.size << " bytes to a buffer of " << c.receiveBuffer;
}

class FileSizes : public ServerOnLoopback,
                  public testing::WithParamInterface<std::tuple<ReadinessBackendKind, SizeCase>> {
protected:
    FileSizes()
        : ServerOnLoopback(std::get<0>(GetParam()))
    {
    }
    [[nodiscard]] const SizeCase& size() const { return std::get<1>(GetParam()); }
};

TEST_P(FileSizes, GoOutByteExactAndInOrder)
{
    const std::string file = randomBytes(size().size, static_cast<std::uint32_t>(size().size));
    games.write("sized.jar", file);
    auto client = connect(size().receiveBuffer);
    client->send(get("/sized.jar") + get("/a.jad") + get("/sized.jar"));
    for (const std::string& expected : {file, kDescriptor, file}) {
        const auto answer = client->readResponse(30000);
        ASSERT_TRUE(answer);
        EXPECT_TRUE(answer->body == expected) << "a body of " << answer->body.size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    AroundSlicesAndBuffers, FileSizes,
    testing::Combine(everyReadinessBackend(), testing::Values(SizeCase{0, 0}, SizeCase{1, 0}, SizeCase{16 * 1024, 0}, SizeCase{16 * 1024 + 1, 0},
                    SizeCase{16 * 1024, 4096}, SizeCase{128 * 1024 - 1, 0}, SizeCase{128 * 1024, 0},
                    SizeCase{128 * 1024 + 1, 0}, SizeCase{256 * 1024 + 1, 0}, SizeCase{4 * 1024 * 1024 + 7, 0},
                    SizeCase{64 * 1024 - 1, 4096}, SizeCase{128 * 1024 + 1, 4096}, SizeCase{3 * 1024 * 1024 + 5, 4096})));

// A range goes out from the file at its offset, through the small-file
// path and through sendfile alike.
TEST_P(EndToEnd, ResumesADownloadFromTheMiddleOfTheFile)
{
    const std::string file = randomBytes(300 * 1024, 7);
    games.write("big.jar", file);
    auto client = connect();
    const auto ranged = [](const std::string& range) {
        return "GET /big.jar HTTP/1.1\r\nRange: bytes=" + range + "\r\n\r\n";
    };
    client->send(ranged("100-199") + ranged("1000-") + ranged("-5"));
    for (const auto& [first, length] : {std::pair<std::size_t, std::size_t>{100, 100}, {1000, file.size() - 1000},
                                        {file.size() - 5, 5}}) {
        const auto answer = client->readResponse(30000);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->statusLine(), "HTTP/1.0 206 Partial Content");
        EXPECT_TRUE(answer->body == file.substr(first, length)) << "a body of " << answer->body.size() << " bytes";
    }
}

TEST_P(EndToEnd, AssemblesRequestsDrippedOrSplitInsideTheBlankLine)
{
    auto client = connect();
    for (char c : get("/a.jad")) {
        client->send(std::string(1, c));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    client->send("GET /a.jad HTTP/1.0\r\n\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    client->send("\n");
    for (int answer = 0; answer < 2; ++answer) {
        const auto response = client->readResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->body, kDescriptor);
    }
}

TEST_P(EndToEnd, AWapPhoneThatNamesItsCharsetsFirstGetsTheDeck)
{
    server.setGameList(true);
    const std::string request = "GET / HTTP/1.0\r\nAccept-Charset: utf-8\r\nAccept-Language: en\r\n"
                                "Accept: text/vnd.wap.wml\r\n\r\n";
    auto client = connect();
    // The catalogue reads the folder beside the server: until then the page says so.
    std::optional<LoopbackClient::Response> page;
    ASSERT_TRUE(eventually([&] {
        client->send(request);
        page = client->readResponse();
        return page && page->body.find("/a.jad") != std::string::npos;
    }));
    EXPECT_NE(page->head.find("Content-type:text/vnd.wap.wml"), std::string::npos) << page->head;
    EXPECT_TRUE(page->body.find("<wml>") != std::string::npos) << page->body;
}

TEST_P(EndToEnd, SkipsABodyByItsLengthAndAnswersPipelinedRequestsInOrder)
{
    auto client = connect();
    client->send("POST /x HTTP/1.0\r\nContent-Length: 4\r\n\r\nGET " + get("/game.jar") +
                 "POST /x HTTP/1.0\r\ncontent-length: 2\r\n\r\nab" + get("/missing.jad") + get("/a.jad"));
    const auto jar = client->readResponse();
    const auto missing = client->readResponse();
    const auto jad = client->readResponse();
    ASSERT_TRUE(jar && missing && jad);
    EXPECT_TRUE(jar->body == archive);
    EXPECT_EQ(missing->statusLine(), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(jad->body, kDescriptor);
}

TEST_P(EndToEnd, AnswersEveryPipelinedDownloadOfAPeerThatReadsLate)
{
    auto slowReader = connect();
    std::string pipelined;
    for (int i = 0; i < 64; ++i)
        pipelined += get(i % 2 ? "/a.jad" : "/game.jar");
    slowReader->send(pipelined);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Held up meanwhile, the connection does not hold up others.
    auto other = connect();
    other->send(get("/a.jad"));
    ASSERT_TRUE(other->readResponse());

    for (int i = 0; i < 64; ++i) {
        const auto response = slowReader->readResponse();
        ASSERT_TRUE(response) << "answer " << i;
        EXPECT_TRUE(response->body == (i % 2 ? kDescriptor : archive)) << "answer " << i;
    }
}

TEST_P(EndToEnd, AnswersEverythingToAPeerThatShutsItsSendingSideAfterAsking)
{
    auto client = connect();
    client->send(get("/game.jar") + get("/a.jad") + get("/missing.jad") + get("/game.jar"));
    client->shutdownSending();
    for (const std::string& expected : {archive, kDescriptor, std::string(), archive}) {
        const auto response = client->readResponse();
        ASSERT_TRUE(response);
        if (!expected.empty()) {
            EXPECT_TRUE(response->body == expected);
        }
    }
    EXPECT_TRUE(client->waitForClose()) << "the slot is released once the answers are out";
    EXPECT_TRUE(client->receivedWithin(0).empty());
}

TEST_P(EndToEnd, NumbersSlotsAndKeepsServingOpenConnectionsAcrossStopAndStart)
{
    auto first = connect();
    auto second = connect();
    auto third = connect();
    ASSERT_TRUE(eventually([&] { return server.lastSlot() == 3; }));
    first->send("GET /a.j");
    second->send(get("/a.jad"));
    ASSERT_TRUE(second->readResponse());

    server.stopListening();
    LoopbackClient refused;
    EXPECT_FALSE(refused.connectTo(port, 1000));
    first->send("ad HTTP/1.0\r\n\r\n");
    const auto stillServed = first->readResponse();
    ASSERT_TRUE(stillServed);
    EXPECT_EQ(stillServed->body, kDescriptor);

    std::string error;
    ASSERT_TRUE(server.startListening(port, error)) << error;
    auto fourth = connect();
    ASSERT_TRUE(eventually([&] { return server.lastSlot() == 4; }));
    third->send(get("/a.jad"));
    EXPECT_TRUE(third->readResponse());
}

#ifndef _WIN32
// Which files a process holds open is asked of /proc here; on Windows a
// file held open shows otherwise (it cannot be deleted), and those checks
// belong to its file layer.
// A collection on a memory card must be free to eject once the server is
// done with it: no file of it stays open past a short idle time, nor after
// the server stops, fails to start or moves to another folder.
class HeldFiles : public EndToEnd {
protected:
    // Serves a few files whole, as a phone's install fetches them.
    void serveSomeFiles()
    {
        games.write("b.jad", "b");
        auto client = connect();
        for (const char* path : {"/a.jad", "/game.jar", "/b.jad"}) {
            client->send(get(path));
            ASSERT_TRUE(client->readResponse()) << path;
        }
        ASSERT_FALSE(filesHeldOpenIn(games.path()).empty()) << "kept open for the next phone";
    }
    // Far less than the idle close takes: an answer just sent may still be let go of.
    bool noneHeld(int timeoutMs = 1000)
    {
        return eventually([&] { return filesHeldOpenIn(games.path()).empty(); }, timeoutMs);
    }
};

TEST_P(HeldFiles, NoneAfterTheServerStops)
{
    serveSomeFiles();
    server.stopListening();
    EXPECT_TRUE(noneHeld()) << testing::PrintToString(filesHeldOpenIn(games.path()));
}

TEST_P(HeldFiles, NoneAfterAStartThatFails)
{
    serveSomeFiles();
    MemoryLog otherLog;
    TarnwickServer other(otherLog);
    std::string error;
    ASSERT_TRUE(other.startListening(0, error)) << error;
    EXPECT_FALSE(server.startListening(other.listeningPort(), error)) << "the port is taken";
    EXPECT_TRUE(noneHeld());
}

TEST_P(HeldFiles, NoneInAGameDirectoryLeftForAnother)
{
    serveSomeFiles();
    TempDirectory other;
    server.setGameDirectory(other.string());
    EXPECT_TRUE(noneHeld());
}

TEST_P(HeldFiles, NoneAFewSecondsAfterTheLastRequest)
{
    serveSomeFiles();
    const auto served = std::chrono::steady_clock::now();
    const int limitMs = static_cast<int>(std::chrono::milliseconds(OpenFileCache::kIdleClose).count()) + 2000;
    EXPECT_TRUE(noneHeld(limitMs));
    EXPECT_GE(std::chrono::steady_clock::now() - served, OpenFileCache::kIdleClose - std::chrono::milliseconds(100))
        << "kept for the next phone meanwhile";
}

INSTANTIATE_TEST_SUITE_P(Backends, HeldFiles, everyReadinessBackend(), backendTestName);
#endif

TEST_P(EndToEnd, StopStartAndANewDirectoryFromAnotherThreadLoseNoDownload)
{
    TempDirectory other;
    other.write("a.jad", "other");
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(connect(8192));
        clients.back()->send(get("/game.jar"));
    }
    std::atomic<bool> done = false;
    std::thread window([&] {
        for (int round = 0; !done; ++round) {
            std::string error;
            server.stopListening();
            EXPECT_TRUE(server.startListening(port, error)) << error;
            server.setGameDirectory(round % 2 ? other.string() : games.string());
        }
    });
    for (auto& client : clients) {
        const auto response = client->readResponse(30000);
        ASSERT_TRUE(response);
        EXPECT_TRUE(response->body == archive);
    }
    done = true;
    window.join();

    server.setGameDirectory(other.string());
    auto late = connect();
    late->send(get("/a.jad"));
    const auto response = late->readResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body, "other");
}

TEST_P(EndToEnd, ReleasesASlotWhosePeerLeavesSilentlyAndLogsNothing)
{
    {
        auto silent = connect();
        ASSERT_TRUE(eventually([&] { return server.lastSlot() == 1; }));
    }
    auto next = connect();
    next->send(get("/a.jad"));
    ASSERT_TRUE(next->readResponse());
    EXPECT_EQ(server.lastSlot(), 2);
    EXPECT_EQ(log.entries().size(), 1u);
}

TEST_P(EndToEnd, ServesTwoHundredSimultaneousConnectionsByteExact)
{
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int i = 0; i < 200; ++i) {
        clients.push_back(connect());
        clients.back()->send(get(i % 10 == 0 ? "/game.jar" : "/a.jad"));
    }
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const auto response = clients[i]->readResponse(30000);
        ASSERT_TRUE(response) << "client " << i;
        EXPECT_TRUE(response->body == (i % 10 == 0 ? archive : kDescriptor)) << "client " << i;
    }
}

TEST_P(EndToEnd, AnswersFramingErrorsAndClosesWithoutDisturbingOthers)
{
    const std::vector<std::string> framingErrors = {
        "GET / HTTP/1.0\r\nX: " + std::string(70 * 1024, 'x'),
        "POST / HTTP/1.0\r\nContent-Length: 2000000\r\n\r\n",
        "POST / HTTP/1.0\r\nContent-Length: -1\r\n\r\n",
        "POST / HTTP/1.0\r\nContent-Length: 99999999999\r\n\r\n",
        "POST / HTTP/1.0\r\nContent-Length: \r\n\r\n",
    };
    auto bystander = connect();
    bystander->send("GET /game.jar HTTP/1.0\r\n");
    for (const auto& request : framingErrors) {
        auto client = connect();
        client->send(request);
        const auto response = client->readResponse();
        ASSERT_TRUE(response) << request.substr(0, 60);
        EXPECT_EQ(response->statusLine(), "HTTP/1.0 400 Bad Request");
        EXPECT_TRUE(client->waitForClose()) << request.substr(0, 60);
    }

    auto shortLine = connect();
    shortLine->send("GET /a.jad\r\n\r\n" + get("/a.jad"));
    const auto rejected = shortLine->readResponse();
    const auto served = shortLine->readResponse();
    ASSERT_TRUE(rejected && served);
    EXPECT_EQ(rejected->statusLine(), "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(served->body, kDescriptor);

    bystander->send("\r\n");
    const auto response = bystander->readResponse();
    ASSERT_TRUE(response);
    EXPECT_TRUE(response->body == archive);
}

TEST_P(EndToEnd, SurvivesPeersThatResetInTheMiddleOfADownloadAndLogsHowFarEachGot)
{
    const std::string big = randomBytes(16 * 1024 * 1024);
    games.write("big.jar", big);
    for (int i = 0; i < 5; ++i) {
        auto client = connect(16 * 1024);
        client->send(get("/big.jar"));
        ASSERT_TRUE(client->readBytes(1000));
        client->abort();
    }
    ASSERT_TRUE(eventually([&] {
        int cut = 0;
        for (const auto& entry : log.entries())
            cut += entry.find("big.jar closed after ") != std::string::npos
                && entry.find(" of 16,777,216 bytes\r\n") != std::string::npos;
        return cut == 5;
    })) << testing::PrintToString(log.entries());

    auto next = connect();
    next->send(get("/game.jar"));
    const auto response = next->readResponse();
    ASSERT_TRUE(response);
    EXPECT_TRUE(response->body == archive);
}

TEST_P(EndToEnd, EndsTheConnectionOfAFileThatShrinksWhileItIsSent)
{
    const std::string big = randomBytes(32 * 1024 * 1024);
    const auto path = games.write("big.jar", big);
    auto client = connect(16 * 1024);
    client->send(get("/big.jar"));
    const auto start = client->readBytes(1000);
    ASSERT_TRUE(start);
    ASSERT_NE(start->find("Content-Length:33554432\r\n"), std::string::npos);
    std::filesystem::resize_file(path, 0);

    std::size_t received = 0;
    ASSERT_TRUE(eventually([&] {
        received += client->receivedWithin(10).size();
        return client->closed();
    }, 20000));
    EXPECT_LT(received, big.size());
    EXPECT_TRUE(eventually([&] { return log.contains(" shrank while it was sent; the connection was closed after "); }));
    // Nothing was logged for it as a peer's close.
    EXPECT_FALSE(log.contains("big.jar closed after"));
}

TEST_P(EndToEnd, EndsTheConnectionOfASmallFileThatShrankWhileItWaitedItsTurn)
{
    // More than the system's buffers take, so that the rest waits here.
    constexpr std::size_t kFirst = 8 * 1024 * 1024;
    games.write("first.jar", randomBytes(kFirst));
    const auto small = games.write("small.jar", randomBytes(1000));
    auto client = connect(4096);
    client->send(get("/first.jar") + get("/small.jar"));
    // Read in steps far smaller than the system's buffers: the small file
    // is opened once most of the first answer has gone, and waits behind
    // the rest of it, which takes many steps more. It is touched meanwhile:
    // a small file left alone for seconds goes out from the content read
    // when it was asked for, whatever happens to the file after.
    std::size_t wanted = 0;
    ASSERT_TRUE(eventually([&] {
        std::filesystem::last_write_time(small, std::filesystem::file_time_type::clock::now());
        wanted += 64 * 1024;
        EXPECT_TRUE(client->readBytes(wanted));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return log.contains("small.jar\r\n");
    }, 60000));
    std::size_t received = client->receivedWithin(0).size();
    std::filesystem::resize_file(small, 10);

    ASSERT_TRUE(eventually([&] {
        received += client->receivedWithin(10).size();
        return client->closed();
    }, 60000));
    EXPECT_GT(received, kFirst) << "the first answer went out whole";
    EXPECT_LT(received, kFirst + 1000);
    EXPECT_TRUE(log.contains("small.jar shrank while it was sent; the connection was closed after 0 of 1,000 bytes"));
}

TEST_P(EndToEnd, SendsAFileThatGrowsAtTheLengthItHadWhenAsked)
{
    const std::string first = randomBytes(8 * 1024 * 1024);
    const auto path = games.write("big.jar", first);
    auto client = connect(16 * 1024);
    client->send(get("/big.jar") + get("/a.jad"));
    ASSERT_TRUE(client->readBytes(1000));
    {
        std::ofstream grow(path, std::ios::binary | std::ios::app);
        grow << std::string(1024 * 1024, 'g');
    }
    const auto grown = client->readResponse(30000);
    const auto next = client->readResponse();
    ASSERT_TRUE(grown && next);
    EXPECT_TRUE(grown->body == first);
    EXPECT_EQ(next->body, kDescriptor);
}

INSTANTIATE_TEST_SUITE_P(Backends, EndToEnd, everyReadinessBackend(), backendTestName);

} // namespace

namespace {

// The time limits shortened to a second each.
class ShortLimits : public EndToEnd {
protected:
    ShortLimits()
    {
        std::string error;
        EXPECT_TRUE(server.startListening(port, error, {std::chrono::seconds(1), std::chrono::seconds(1)})) << error;
    }
};

TEST_P(ShortLimits, CloseSilentAndDrippingConnectionsButNotBusyOnes)
{
    const auto start = std::chrono::steady_clock::now();
    auto silent = connect();
    auto dripping = connect();
    auto working = connect();
    bool dripClosed = false;
    for (int i = 0; i < 25 && !dripClosed; ++i) {
        dripping->send("G");
        working->send(get("/a.jad"));
        ASSERT_TRUE(working->readResponse());
        dripClosed = dripping->waitForClose(200);
    }
    EXPECT_TRUE(dripClosed) << "a header dripped for five seconds";
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(silent->waitForClose(3000));
    EXPECT_FALSE(working->closed());
    EXPECT_TRUE(eventually([&] { return log.contains(" - Closed "); }, 3000));
}

TEST_P(ShortLimits, NeverCloseADownloadThatStallsLongerThanTheLimits)
{
    const std::string big = randomBytes(4 * 1024 * 1024);
    games.write("big.jar", big);
    auto client = connect(16 * 1024);
    client->send(get("/big.jar"));
    ASSERT_TRUE(client->readBytes(1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const auto response = client->readResponse(30000);
    ASSERT_TRUE(response);
    EXPECT_TRUE(response->body == big);
}

#ifndef _WIN32
// A limit of descriptors to lower is POSIX's; Windows runs short of sockets
// only when the whole system does, which a test cannot bring about.
// Lowers the limit of descriptors so that the next connection the server
// takes would use one of the few it keeps in reserve; restores it after.
class FewDescriptors {
public:
    FewDescriptors()
    {
        getrlimit(RLIMIT_NOFILE, &m_original);
        const int lowestFree = ::open("/dev/null", O_RDONLY);
        ::close(lowestFree);
        rlimit tight = m_original;
        // The next client's own socket and then the server's side of it.
        tight.rlim_cur = static_cast<rlim_t>(lowestFree + 2 + 15);
        setrlimit(RLIMIT_NOFILE, &tight);
    }
    ~FewDescriptors() { setrlimit(RLIMIT_NOFILE, &m_original); }

private:
    rlimit m_original{};
};

TEST_P(EndToEnd, MakesRoomForANewPhoneByClosingTheLongestIdleConnection)
{
    std::vector<std::unique_ptr<LoopbackClient>> idle;
    for (int i = 0; i < 4; ++i) {
        idle.push_back(connect());
        ASSERT_TRUE(eventually([&] { return server.lastSlot() == i + 1; }));
    }
    std::optional<LoopbackClient::Response> response;
    {
        const FewDescriptors few;
        auto phone = connect();
        phone->send(get("/a.jad"));
        response = phone->readResponse();
    }
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body, kDescriptor);
    EXPECT_TRUE(idle[0]->waitForClose()) << "the longest idle made room";
    EXPECT_TRUE(eventually([&] { return log.contains("to make room when descriptors ran short"); }));
}

TEST_P(EndToEnd, LogsAnAcceptTheSystemRefusesAndKeepsListening)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' own checks need free descriptors, which this test uses up";
#endif
    // Each has begun a request, so none is idle to make room.
    std::vector<std::unique_ptr<LoopbackClient>> busy;
    for (int i = 0; i < 4; ++i) {
        busy.push_back(connect());
        busy.back()->send("GET /a.j");
    }
    ASSERT_TRUE(eventually([&] { return server.lastSlot() == 4; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    auto waiting = std::make_unique<LoopbackClient>();
    bool logged = false;
    {
        const FewDescriptors few;
        // The system completes the connection; the server does not take it up.
        ASSERT_TRUE(waiting->connectTo(port));
        waiting->send(get("/a.jad"));
        logged = eventually([&] { return log.contains("Cannot accept a connection"); });
        EXPECT_EQ(server.lastSlot(), 4);
    }
    EXPECT_TRUE(logged);

    const auto response = waiting->readResponse();
    ASSERT_TRUE(response) << "taken up once descriptors are there again";
    EXPECT_EQ(response->body, kDescriptor);
    busy[0]->send("d HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(busy[0]->readResponse());
}

#endif

INSTANTIATE_TEST_SUITE_P(Backends, ShortLimits, everyReadinessBackend(), backendTestName);

} // namespace
