#include "ServiceHarness.h"
#include "GameDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const std::string kNotFoundPage =
    "<html><head><title>Error on Server</title></head><body>Sorry! File not found.</body></html>";
const std::string kBadRequestPage =
    "<html><head><title>Error on Server</title></head><body>Sorry! Bad request.</body></html>";

int openDescriptors()
{
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator{}));
}

class RequestServiceTest : public testing::Test, protected ServiceHarness {
protected:
    std::string entry(const std::string& message) const
    {
        return "# 08-12-26 20:17:07 # -        10.0.0.1 - " + message + "\r\n";
    }
    std::string mapped(const std::string& path) const { return mapRequestPath(games.string(), path); }
};

TEST_F(RequestServiceTest, ServesADescriptorWithItsTypeAndOneLogEntry)
{
    const std::string descriptor = "MIDlet-Name: Demo\r\nMIDlet-Jar-Size: 10\r\n";
    games.write("a.jad", descriptor);

    arrive(1, get("/a.jad"));

    EXPECT_EQ(sockets.sent[1], std::vector<std::string>{okResponse(kDescriptorType, descriptor)});
    EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(mapped("/a.jad"))});
}

TEST_F(RequestServiceTest, AnswersAMissingFileWithTheNotFoundPageAndTwoEntries)
{
    arrive(1, get("/missing.jad"));

    EXPECT_EQ(sockets.sent[1], std::vector<std::string>{response("HTTP/1.0 404 Not Found", "text/html", kNotFoundPage)});
    EXPECT_EQ(sink.entries(), (std::vector<std::string>{entry(mapped("/missing.jad")), entry("Sorry! File not found.")}));
}

// Whatever stands where a game was expected, only an ordinary file is sent;
// a FIFO with no writer must not hold the connection (or the server) up.
struct SwappedCase {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
};

std::ostream& operator<<(std::ostream& out, const SwappedCase& c)
{
    return out << c.name;
}

class SwappedIn : public testing::TestWithParam<SwappedCase>, protected ServiceHarness {};

TEST_P(SwappedIn, IsAnsweredLikeAMissingFile)
{
    GetParam().make(games.path() / "game.jar");
    arrive(1, get("/game.jar"));

    EXPECT_EQ(sockets.sentOn(1), response("HTTP/1.0 404 Not Found", "text/html", kNotFoundPage));
    ASSERT_EQ(sink.entries().size(), 2u);
    EXPECT_NE(sink.entries()[1].find("Sorry! File not found."), std::string::npos);
}

// Fifos and links are things of POSIX file systems.
std::vector<SwappedCase> swappedThings()
{
    std::vector<SwappedCase> things{
        {"Folder", [](const std::filesystem::path& at) { std::filesystem::create_directory(at); }}};
#ifndef _WIN32
    things.push_back({"Fifo", [](const std::filesystem::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }});
    things.push_back(
        {"LinkToNothing", [](const std::filesystem::path& at) { std::filesystem::create_symlink("nowhere", at); }});
#endif
    return things;
}

INSTANTIATE_TEST_SUITE_P(Things, SwappedIn, testing::ValuesIn(swappedThings()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RequestServiceTest, AnswersTraversalLikeAMissingFile)
{
    TempDirectory outside;
    outside.write("secret.jad", "SECRET");
    const std::string name = outside.path().filename().string();
    for (const std::string& path : {"/../" + name + "/secret.jad", "/x/../../" + name + "/secret.jad",
                                    (outside.path() / "secret.jad").string().substr(1)})
        arrive(1, get(path));

    EXPECT_EQ(sockets.sent[1].size(), 3u);
    EXPECT_EQ(sockets.sentOn(1).find("SECRET"), std::string::npos);
    EXPECT_EQ(sink.entries().size(), 6u);
}

TEST_F(RequestServiceTest, SendsEmptyFilesAndEveryByteValueFromTheFile)
{
    std::string allBytes;
    for (int byte = 0; byte < 256; ++byte)
        allBytes.push_back(static_cast<char>(byte));
    games.write("empty.jar", "");
    games.write("bytes.jar", allBytes);

    arrive(1, get("/empty.jar") + get("/bytes.jar"));

    EXPECT_EQ(sockets.sentOn(1), okResponse(kArchiveType, "") + okResponse(kArchiveType, allBytes));
    EXPECT_EQ(sockets.filesSent, (std::vector<std::string>{mapped("/empty.jar"), mapped("/bytes.jar")}));
}

TEST_F(RequestServiceTest, AnswersEachConnectionInOrder)
{
    games.write("big.jar", std::string(5000, 'b'));
    games.write("small.jad", "s");

    arrive(1, get("/big.jar") + get("/small.jad"));
    arrive(2, get("/small.jad"));

    ASSERT_EQ(sockets.sent[1].size(), 2u);
    EXPECT_NE(sockets.sent[1][0].find("Content-Length:5000"), std::string::npos);
    EXPECT_EQ(sockets.sent[1][1], okResponse(kDescriptorType, "s"));
    EXPECT_EQ(sockets.sent[2], std::vector<std::string>{okResponse(kDescriptorType, "s")});
}

TEST_F(RequestServiceTest, LogsAndAnswersOnlyGet)
{
    games.write("a.jad", "x");
    arrive(1, get("/a.jad", "HEAD") + get("/a.jad", "POST") + get("/a.jad", "get"));

    EXPECT_TRUE(sockets.sent[1].empty());
    EXPECT_TRUE(sink.entries().empty());
}

TEST_F(RequestServiceTest, AnswersAShortRequestLineWithBadRequestAndKeepsTheConnection)
{
    games.write("a.jad", "x");
    arrive(1, "GET /a.jad\r\n\r\n" + get("/a.jad"));

    ASSERT_EQ(sockets.sent[1].size(), 2u);
    EXPECT_EQ(sockets.sent[1][0], response("HTTP/1.0 400 Bad Request", "text/html", kBadRequestPage));
    EXPECT_EQ(sockets.sent[1][1], okResponse(kDescriptorType, "x"));
    EXPECT_TRUE(sockets.closed.empty());
    EXPECT_EQ(sink.entries().size(), 2u);
}

#ifndef _WIN32
// Lowers the limit of descriptors to the lowest free one, for as long as it
// lives: the next open fails.
class NoFreeDescriptors {
public:
    NoFreeDescriptors()
    {
        getrlimit(RLIMIT_NOFILE, &m_original);
        rlimit tight = m_original;
        const int lowestFree = ::open("/dev/null", O_RDONLY);
        ::close(lowestFree);
        tight.rlim_cur = static_cast<rlim_t>(lowestFree);
        setrlimit(RLIMIT_NOFILE, &tight);
    }
    ~NoFreeDescriptors() { setrlimit(RLIMIT_NOFILE, &m_original); }

private:
    rlimit m_original{};
};

TEST_F(RequestServiceTest, AnswersAFileThatCannotBeOpenedWithServerError)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' own checks need free descriptors, which this test uses up";
#endif
    games.write("a.jad", "d");
    {
        // The file is there; the system refuses to open it.
        const NoFreeDescriptors exhausted;
        arrive(1, get("/a.jad"));
    }

    ASSERT_EQ(sockets.sent[1].size(), 1u);
    EXPECT_EQ(sockets.sent[1][0].rfind("HTTP/1.0 500 Internal Server Error\r\n", 0), 0u);
    EXPECT_EQ(sink.entries(), (std::vector<std::string>{entry(mapped("/a.jad")), entry("Sorry! File could not be read.")}));
}
#endif

TEST_F(RequestServiceTest, ClosesTheFilesOfAnswersDroppedWithTheirSlot)
{
#ifdef _WIN32
    GTEST_SKIP() << "open files are counted in /proc/self/fd, which Windows has not";
#endif
    games.write("big.jar", std::string(300 * 1024, 'b'));
    const int before = openDescriptors();
    sockets.peersDoNotRead = true;
    arrive(1, get("/big.jar") + get("/big.jar") + get("/big.jar"));
    ASSERT_EQ(sockets.sent[1].size(), 1u) << "the others wait for the peer to read";

    core.slots().release(1);
    sockets.peersDoNotRead = false;
    service.resumeAfterSending(1, 0);
    // The descriptor kept for the next request goes too: none is left open.
    service.releaseOpenFiles();

    EXPECT_EQ(sockets.sent[1].size(), 1u);
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(RequestServiceTest, AnswersFramingErrorsThenReleasesTheSlotAndIgnoresTheRest)
{
    games.write("a.jad", "x");
    arrive(1, get("/a.jad") + "POST / HTTP/1.0\r\nContent-Length: -5\r\n\r\n" + get("/a.jad"));
    arrive(1, get("/a.jad"));

    ASSERT_EQ(sockets.sent[1].size(), 2u);
    EXPECT_EQ(sockets.sent[1][1], response("HTTP/1.0 400 Bad Request", "text/html", kBadRequestPage));
    EXPECT_EQ(sockets.closed, std::vector<SlotNumber>{1});
    EXPECT_FALSE(sockets.elements.contains(1));
    ASSERT_EQ(sink.entries().size(), 2u);
    EXPECT_NE(sink.entries()[1].find("Sorry! Bad request."), std::string::npos);
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
    arrive(1, get("/big.jar"));
    // Three answers pass the limit of what may wait unsent; no more are sent,
    // and no more requests are taken than may be queued.
    EXPECT_EQ(sockets.sent[1].size(), 3u);
    EXPECT_LE(sink.entries().size() - 3, RequestService::kMaxPendingResponses);
    EXPECT_FALSE(sockets.elements[1].incoming.empty()) << "what came later waits in the socket";

    // The peer reads: everything is answered, in order, a little at a time.
    for (int round = 0; round < 100 && sockets.sent[1].size() < 41; ++round) {
        sockets.elements[1].unsent = 0;
        service.resumeAfterSending(1, 0);
        EXPECT_LE(sockets.elements[1].unsent, RequestService::kMaxUnsentBytes + 200 * 1024);
    }
    ASSERT_EQ(sockets.sent[1].size(), 41u);
    for (const auto& answer : sockets.sent[1])
        EXPECT_EQ(answer, okResponse(kArchiveType, archive));
    EXPECT_EQ(sink.entries().size(), 41u);
}

TEST_F(RequestServiceTest, HandsAPeerThatDoesNotReadOnlyAFewFilesAtOnce)
{
    // Small answers stay far below the byte limit; each still holds its
    // file open until it has gone out.
    games.write("a.jad", "d");
    sockets.peersDoNotRead = true;
    std::string pipelined;
    for (int i = 0; i < 100; ++i)
        pipelined += get("/a.jad");

    arrive(1, pipelined);
    EXPECT_EQ(sockets.sent[1].size(), RequestService::kMaxUnsentAnswers);

    for (int round = 0; round < 100 && sockets.sent[1].size() < 100; ++round) {
        sockets.elements[1].unsent = 0;
        service.resumeAfterSending(1, 0);
    }
    EXPECT_EQ(sockets.sent[1].size(), 100u);
}

TEST_F(RequestServiceTest, KeepsEachSlotsBufferApart)
{
    games.write("a.jad", "x");
    arrive(1, "GET /a.jad HTTP/1.0\r\n");
    arrive(2, "GET /missing HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(sockets.sent[1].empty());
    EXPECT_EQ(service.txtReceivedData(1)->text(), "GET /a.jad HTTP/1.0\r\n");
    EXPECT_EQ(service.txtReceivedData(2)->text(), "");

    arrive(1, "\r\n");
    EXPECT_EQ(sockets.sent[1].size(), 1u);
    EXPECT_EQ(sockets.sent[2].size(), 1u);
}

TEST_F(RequestServiceTest, ReadsTheGameDirectoryAnewForEveryRequest)
{
    TempDirectory other;
    other.write("a.jad", "other");
    games.write("a.jad", "first");

    arrive(1, get("/a.jad"));
    service.setGameDirectory(other.string());
    arrive(1, get("/a.jad"));

    EXPECT_EQ(sockets.sentOn(1), okResponse(kDescriptorType, "first") + okResponse(kDescriptorType, "other"));
}

TEST_F(RequestServiceTest, ReportsEachDescriptorAnsweredWithItsContent)
{
    games.write("a.jad", "x");
    games.write("a.jar", "y");
    struct Watcher final : ServedDescriptorWatcher {
        void descriptorServed(std::string mappedPath) override { reported.push_back(std::move(mappedPath)); }
        std::vector<std::string> reported;
    } watcher;
    std::vector<std::string>& reported = watcher.reported;
    service.watchServedDescriptors(&watcher);

    arrive(1, get("/a.jad") + get("/a.jar") + get("/missing.jad") + get("/A.JAD"));

#ifdef _WIN32
    // The file system finds a name in any letter case.
    EXPECT_EQ(reported, (std::vector<std::string>{mapped("/a.jad"), mapped("/A.JAD")}));
#else
    EXPECT_EQ(reported, std::vector<std::string>{mapped("/a.jad")});
#endif
}

} // namespace
