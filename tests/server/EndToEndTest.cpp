#include "TarnwickServer.h"

#include "LoopbackClient.h"
#include "MemoryLog.h"
#include "TempDirectory.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

#include <sys/resource.h>

namespace {

const std::string kDescriptor = "MIDlet-1: Demo, /icon.png, Demo\r\nMIDlet-Jar-Size: 1048576\r\n"
                                "MIDlet-Jar-URL: game.jar\r\nMIDlet-Name: Demo\r\nMIDlet-Vendor: Tarnwick\r\n"
                                "MIDlet-Version: 1.0\r\nMicroEdition-Configuration: CLDC-1.0\r\n"
                                "MicroEdition-Profile: MIDP-2.0\r\n";

std::string randomBytes(std::size_t size)
{
    std::mt19937 random(42);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

std::string get(const std::string& path)
{
    return "GET " + path + " HTTP/1.0\r\nUser-Agent: phone\r\n\r\n";
}

// The whole server on a free loopback port over a real game directory.
class EndToEnd : public testing::Test {
protected:
    EndToEnd()
        : virtualDir(games.string())
        , archive(randomBytes(1024 * 1024))
        , server(virtualDir, log)
    {
        games.write("a.jad", kDescriptor);
        games.write("game.jar", archive);
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

    // Runs a client program while the server goes on serving; its output.
    QByteArray run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        EXPECT_TRUE(waitFor([&] { return process.state() == QProcess::NotRunning; }, 30000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput();
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }

    TempDirectory games;
    std::string virtualDir;
    std::string archive;
    MemoryLog log;
    TarnwickServer server;
    quint16 port = 0;
};

TEST_F(EndToEnd, CurlFetchesTheDescriptorByteExact)
{
    const QByteArray output = run("curl", {"-s", "-i", QString::fromStdString(url("/a.jad"))});
    EXPECT_EQ(output.toStdString(), "HTTP/1.0 200 OK\r\nContent-Length:" + std::to_string(kDescriptor.size()) +
                                        "\r\nContent-type:text/vnd.sun.j2me.app-descriptor\r\n"
                                        "Server:Corvelle Server\r\n\r\n" +
                                        kDescriptor);
}

TEST_F(EndToEnd, PythonFetchesTheArchiveByteExact)
{
    const QString script = "import http.client, sys\n"
                           "c = http.client.HTTPConnection('127.0.0.1', " +
        QString::number(port) +
        ")\n"
        "c.request('GET', '/game.jar')\n"
        "r = c.getresponse()\n"
        "sys.stdout.buffer.write(r.getheader('Content-type').encode() + b'\\n' + r.read())\n";
    const QByteArray output = run("python3", {"-c", script});
    EXPECT_EQ(output.toStdString(), "application/java-archive\n" + archive);
}

TEST_F(EndToEnd, AssemblesRequestsDrippedOrSplitInsideTheBlankLine)
{
    auto client = connect();
    for (char c : get("/a.jad")) {
        client->send(std::string(1, c));
        QTest::qWait(1);
    }
    client->send("GET /a.jad HTTP/1.0\r\n\r");
    QTest::qWait(50);
    client->send("\n");
    for (int answer = 0; answer < 2; ++answer) {
        const auto response = client->readResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->body, kDescriptor);
    }
}

TEST_F(EndToEnd, SkipsABodyByItsLengthAndAnswersPipelinedRequestsInOrder)
{
    auto client = connect();
    client->send("POST /x HTTP/1.0\r\nContent-Length: 4\r\n\r\nGET " + get("/game.jar") +
                 "POST /x HTTP/1.0\r\ncontent-length: 2\r\n\r\nab" + get("/missing.jad") + get("/a.jad"));
    const auto jar = client->readResponse();
    const auto missing = client->readResponse();
    const auto jad = client->readResponse();
    ASSERT_TRUE(jar && missing && jad);
    EXPECT_EQ(jar->body, archive);
    EXPECT_EQ(missing->statusLine(), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(jad->body, kDescriptor);
}

TEST_F(EndToEnd, AnswersEveryPipelinedDownloadOfAPeerThatReadsLate)
{
    auto slowReader = connect();
    std::string pipelined;
    for (int i = 0; i < 64; ++i)
        pipelined += get(i % 2 ? "/a.jad" : "/game.jar");
    slowReader->send(pipelined);
    waitFor([] { return false; }, 300);
    // Held up meanwhile, the connection does not hold up others.
    auto other = connect();
    other->send(get("/a.jad"));
    ASSERT_TRUE(other->readResponse());

    for (int i = 0; i < 64; ++i) {
        const auto response = slowReader->readResponse();
        ASSERT_TRUE(response) << "answer " << i;
        EXPECT_EQ(response->body, i % 2 ? kDescriptor : archive) << "answer " << i;
    }
}

TEST_F(EndToEnd, NumbersSlotsAndKeepsServingOpenConnectionsAcrossStopAndStart)
{
    auto first = connect();
    auto second = connect();
    auto third = connect();
    ASSERT_TRUE(waitFor([&] { return server.lastSlot() == 3; }, 5000));
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
    ASSERT_TRUE(waitFor([&] { return server.lastSlot() == 4; }, 5000));
    third->send(get("/a.jad"));
    EXPECT_TRUE(third->readResponse());
}

TEST_F(EndToEnd, ReleasesASlotWhosePeerLeavesSilentlyAndLogsNothing)
{
    {
        auto silent = connect();
        ASSERT_TRUE(waitFor([&] { return server.lastSlot() == 1; }, 5000));
    }
    auto next = connect();
    next->send(get("/a.jad"));
    ASSERT_TRUE(next->readResponse());
    EXPECT_EQ(server.lastSlot(), 2);
    EXPECT_EQ(log.entries.size(), 1u);
}

TEST_F(EndToEnd, ServesTwoHundredSimultaneousConnectionsByteExact)
{
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int i = 0; i < 200; ++i) {
        clients.push_back(connect());
        clients.back()->send(get(i % 10 == 0 ? "/game.jar" : "/a.jad"));
    }
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const auto response = clients[i]->readResponse(30000);
        ASSERT_TRUE(response) << "client " << i;
        EXPECT_EQ(response->body, i % 10 == 0 ? archive : kDescriptor) << "client " << i;
    }
}

TEST_F(EndToEnd, AnswersFramingErrorsAndClosesWithoutDisturbingOthers)
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
    EXPECT_EQ(response->body, archive);
}

TEST_F(EndToEnd, SurvivesAPeerThatResetsInTheMiddleOfADownload)
{
    for (int i = 0; i < 5; ++i) {
        auto client = connect();
        client->send(get("/game.jar"));
        client->receivedWithin(2);
        client->socket().setSocketOption(QAbstractSocket::LowDelayOption, 1);
        client->socket().abort();
    }
    auto next = connect();
    next->send(get("/game.jar"));
    const auto response = next->readResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body, archive);
}

} // namespace

namespace {

int openDescriptors()
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

TEST_F(EndToEnd, LogsAnAcceptTheSystemRefusesAndKeepsListening)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need free descriptors, which this test uses up";
#endif
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
    rlimit tight = original;
    tight.rlim_cur = static_cast<rlim_t>(openDescriptors() + 20);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);

    // Each client here costs a descriptor on both ends, so the server runs out.
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int i = 0; i < 15; ++i) {
        clients.push_back(std::make_unique<LoopbackClient>());
        clients.back()->socket().connectToHost("127.0.0.1", port);
    }
    const bool logged = waitFor(
        [&] {
            for (const auto& entry : log.entries)
                if (entry.find("Cannot accept a connection") != std::string::npos)
                    return true;
            return false;
        },
        5000);
    clients.clear();
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &original), 0);
    EXPECT_TRUE(logged);

    auto client = connect();
    client->send(get("/a.jad"));
    const auto response = client->readResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body, kDescriptor);
}

} // namespace
