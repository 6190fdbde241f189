#include "ReadinessSocketControl.h"

#include "Eventually.h"
#include "LoopbackClient.h"
#include "NativeFile.h"
#include "ReadinessBackends.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <thread>
#include <vector>

namespace {

// Records events and, unless told otherwise, accepts every connection into
// the next element.
class RecordingEvents final : public SocketEvents {
public:
    explicit RecordingEvents(ReadinessSocketControl& sockets)
        : m_sockets(sockets)
    {
    }

    void wsServer_ConnectionRequest(SlotNumber slot, ConnectionRequestId requestId) override
    {
        requests.push_back(slot);
        if (!accept)
            return;
        m_sockets.Load(++lastSlot);
        m_sockets.Accept(lastSlot, requestId);
    }
    void wsServer_DataArrival(SlotNumber slot, std::int64_t) override { received[slot] += m_sockets.GetData(slot); }
    void wsServer_SendProgress(SlotNumber, std::int64_t, std::int64_t) override {}
    void wsServer_Close(SlotNumber slot) override { closes.push_back(slot); }
    void wsServer_Error(SlotNumber, int, const std::string&) override {}
    void wsServer_FileCutShort(SlotNumber, const std::string&, std::int64_t, std::int64_t, bool) override {}
    void wsServer_FileProgress(SlotNumber slot, const std::string& path, std::int64_t sent, std::int64_t size) override
    {
        filesMoved[slot].push_back(path + " " + std::to_string(sent) + "/" + std::to_string(size));
    }
    std::size_t wsServer_DescriptorsShort(SlotNumber) override { return 0; }

    bool accept = true;
    SlotNumber lastSlot = 0;
    std::vector<SlotNumber> requests;
    std::vector<SlotNumber> closes;
    std::map<SlotNumber, std::string> received;
    std::map<SlotNumber, std::vector<std::string>> filesMoved;

private:
    ReadinessSocketControl& m_sockets;
};

// The socket array on an event loop of its own thread, waiting with the
// backend of the test's parameter; the test reaches it only through that
// thread.
class ReadinessSocketControlTest : public testing::TestWithParam<ReadinessBackendKind> {
protected:
    ReadinessSocketControlTest()
    {
        sockets.setEventHandler(&events);
        onLoop([this] {
            sockets.LocalPort(0, 0);
            std::string error;
            EXPECT_TRUE(sockets.Listen(0, error)) << error;
        });
        port = onLoop([this] { return sockets.boundPort(0); });
    }
    ~ReadinessSocketControlTest() override
    {
        loop.quit();
        thread.join();
    }

    template <typename Task>
    auto onLoop(Task task) -> decltype(task())
    {
        std::packaged_task<decltype(task())()> work(std::move(task));
        auto result = work.get_future();
        loop.post([&work] { work(); });
        return result.get();
    }

    bool eventuallyOnLoop(std::function<bool()> condition, int timeoutMs = 5000)
    {
        return eventually([&] { return onLoop(condition); }, timeoutMs);
    }

    EventLoop loop{GetParam()};
    ReadinessSocketControl sockets{loop};
    RecordingEvents events{sockets};
    std::thread thread{[this] { loop.run(); }};
    std::uint16_t port = 0;
};

std::string allByteValues()
{
    std::string bytes;
    for (int repeat = 0; repeat < 4; ++repeat)
        for (int byte = 0; byte < 256; ++byte)
            bytes.push_back(static_cast<char>(byte));
    return bytes;
}

TEST_P(ReadinessSocketControlTest, AcceptsCarriesEveryByteBothWaysAndReportsThePeersClose)
{
    EXPECT_EQ(onLoop([this] { return sockets.State(0); }), SocketState::Listening);
    LoopbackClient client;
    ASSERT_TRUE(client.connectTo(port));
    ASSERT_TRUE(eventuallyOnLoop([this] { return events.lastSlot == 1; }));
    onLoop([this] {
        EXPECT_EQ(events.requests, std::vector<SlotNumber>{0});
        EXPECT_EQ(sockets.State(1), SocketState::Connected);
        EXPECT_EQ(sockets.RemoteHostIP(1), "127.0.0.1");
        EXPECT_EQ(sockets.localAddress(1), "127.0.0.1:" + std::to_string(port));
    });

    const std::string bytes = allByteValues();
    client.send(bytes);
    ASSERT_TRUE(eventuallyOnLoop([&] { return events.received[1].size() == bytes.size(); }));
    EXPECT_EQ(onLoop([this] { return events.received[1]; }), bytes);

    onLoop([&] {
        sockets.SendData(1, "first:");
        sockets.SendData(1, bytes);
    });
    EXPECT_EQ(client.readBytes(bytes.size() + 6), "first:" + bytes);

    client.abort();
    ASSERT_TRUE(eventuallyOnLoop([this] { return !events.closes.empty(); }));
    onLoop([this] {
        EXPECT_EQ(events.closes, std::vector<SlotNumber>{1});
        EXPECT_EQ(sockets.State(1), SocketState::Closed);
    });
}

TEST_P(ReadinessSocketControlTest, ClosingAConnectionDeliversWhatWasQueuedFirst)
{
    LoopbackClient client;
    ASSERT_TRUE(client.connectTo(port));
    ASSERT_TRUE(eventuallyOnLoop([this] { return events.lastSlot == 1; }));
    const std::string big(4 * 1024 * 1024, 'z');
    onLoop([&] {
        sockets.SendData(1, big);
        sockets.Close(1);
        EXPECT_EQ(sockets.State(1), SocketState::Closed);
    });

    ASSERT_TRUE(client.waitForClose(10000));
    EXPECT_EQ(client.receivedWithin(0).size(), big.size());
    EXPECT_TRUE(onLoop([this] { return events.closes.empty(); })) << "closing from this end raises no close event";
}

// A phone's install is followed by how far its archive went: a large file
// in steps up to its whole size, a small one whole at once.
TEST_P(ReadinessSocketControlTest, ReportsHowFarEachFileWentUntilItIsWhole)
{
    TempDirectory files;
    const std::string large(3 * OutgoingQueue::kSliceBytes + 5, 'L');
    const auto open = [&](const std::string& name, const std::string& contents) {
        const std::string path = files.write(name, contents).string();
        return FileBody{SharedDescriptor(FileDescriptor(openForReading(path).file)),
                        static_cast<std::int64_t>(contents.size()), name, 0, nullptr};
    };
    LoopbackClient client;
    ASSERT_TRUE(client.connectTo(port));
    ASSERT_TRUE(eventuallyOnLoop([this] { return events.lastSlot == 1; }));
    onLoop([&] {
        sockets.SendFile(1, "head:", open("small.jad", "MIDlet-Name: x\r\n"));
        sockets.SendFile(1, "head:", open("large.jar", large));
    });
    ASSERT_TRUE(client.readBytes(10 + 16 + large.size()));
    ASSERT_TRUE(eventuallyOnLoop([&] {
        const auto& moved = events.filesMoved[1];
        return !moved.empty() && moved.back() == "large.jar " + std::to_string(large.size()) + "/" +
                                                     std::to_string(large.size());
    }));
    const std::vector<std::string> moved = onLoop([this] { return events.filesMoved[1]; });
    EXPECT_EQ(moved.front(), "small.jad 16/16");
    std::int64_t last = 0;
    for (std::size_t i = 1; i < moved.size(); ++i) {
        const std::int64_t sent = std::stoll(moved[i].substr(moved[i].find(' ') + 1));
        EXPECT_GT(sent, last) << moved[i];
        last = sent;
    }
    EXPECT_GE(moved.size(), 3U) << "the large file is reported slice by slice";
}

TEST_P(ReadinessSocketControlTest, RefusesConnectionsNobodyAcceptsAndStopsListeningOnClose)
{
    onLoop([this] { events.accept = false; });
    LoopbackClient client;
    ASSERT_TRUE(client.connectTo(port));
    EXPECT_TRUE(client.waitForClose());

    onLoop([this] {
        sockets.Close(0);
        EXPECT_EQ(sockets.State(0), SocketState::Closed);
    });
    LoopbackClient late;
    EXPECT_FALSE(late.connectTo(port, 2000));
}

TEST_P(ReadinessSocketControlTest, ReportsAPortThatIsTaken)
{
    onLoop([this] {
        ReadinessSocketControl second(loop);
        second.LocalPort(0, port);
        std::string error;
        EXPECT_FALSE(second.Listen(0, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(second.State(0), SocketState::Closed);
    });
}

INSTANTIATE_TEST_SUITE_P(Backends, ReadinessSocketControlTest, everyReadinessBackend(), backendTestName);

} // namespace
