#include "FreePort.h"
#include "LoopbackClient.h"
#include "TempDirectory.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace {

// A connection once the program listens, which takes it a moment after starting.
std::unique_ptr<LoopbackClient> connectOnceListening(std::uint16_t port)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        auto phone = std::make_unique<LoopbackClient>();
        if (phone->connectTo(port))
            return phone;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

// The program as a supervisor runs it: told to stop with SIGTERM, it ends
// as it does when its window is closed, with nothing of its log lost.
TEST(Program, EndsOnTerminationWithTheLastEntriesWrittenToStandardOutput)
{
    TempDirectory folder;
    TempDirectory games;
    games.write("a.jad", "descriptor");
    const std::uint16_t port = freePort();
    folder.write("Tarnwick.ini", "[Server Setting]\nLocalPort=" + std::to_string(port) +
                                     "\n[Directory Setting]\nVirtual Directory=" + games.string() + "\n");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(TARNWICK_BINARY, {"--settings", QString::fromStdString(folder.string() + "/Tarnwick.ini")});
    ASSERT_TRUE(program.waitForStarted());

    const auto phone = connectOnceListening(port);
    ASSERT_TRUE(phone);
    phone->send("GET /a.jad HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(phone->readResponse());
    program.terminate();

    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const std::string output = program.readAllStandardOutput().toStdString();
    EXPECT_NE(output.find(" - " + games.string() + "/a.jad\r\n"), std::string::npos) << output;
}

} // namespace
