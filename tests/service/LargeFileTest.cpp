// Files around the sizes where the service changes how it reads: the run
// of pieces read per turn.
#include "ReadWholeFile.h"
#include "ServiceHarness.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string get(const std::string& path)
{
    return "GET " + path + " HTTP/1.0\r\n\r\n";
}

std::string response(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Length:" + std::to_string(body.size()) +
        "\r\nContent-type:application/java-archive\r\nServer:Corvelle Server\r\n\r\n" + body;
}

std::string randomBytes(std::size_t size)
{
    std::mt19937 generator(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

class LargeFile : public testing::TestWithParam<std::size_t>, protected ServiceHarness {};

TEST_P(LargeFile, GoesOutWholeAndInOrderWhatEverItsSize)
{
    const std::string archive = randomBytes(GetParam());
    games.write("game.jar", archive);
    games.write("other.jar", "o");

    arrive(1, get("/game.jar") + get("/other.jar") + get("/game.jar"));
    scheduler.runUntilIdle();

    EXPECT_EQ(sockets.sentOn(1), response(archive) + response("o") + response(archive));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargeFile,
                         testing::Values(kReadBytesPerTurn - 1, kReadBytesPerTurn, kReadBytesPerTurn + 1,
                                         64 * 1024, 64 * 1024 + 1, 3 * kReadBytesPerTurn + kReadPieceSize,
                                         1024 * 1024 + 123));

TEST_F(LargeFile, LetsOtherConnectionsGoBetweenRunsOfPieces)
{
    const std::string archive = randomBytes(1024 * 1024);
    games.write("game.jar", archive);
    games.write("other.jar", "o");

    arrive(1, get("/game.jar"));
    ASSERT_TRUE(scheduler.runTurn());
    EXPECT_TRUE(sockets.sentOn(1).empty()) << "a megabyte is not read in one turn";

    arrive(2, get("/other.jar"));
    EXPECT_EQ(sockets.sentOn(2), response("o")) << "while it is read, another connection is answered";

    scheduler.runUntilIdle();
    EXPECT_EQ(sockets.sentOn(1), response(archive));
}

} // namespace
