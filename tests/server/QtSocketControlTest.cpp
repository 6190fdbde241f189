#include "QtSocketControl.h"

#include <QTcpSocket>
#include "WaitFor.h"

#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records events and, unless told otherwise, accepts every connection into
// the next element.
class RecordingEvents final : public SocketEvents {
public:
    explicit RecordingEvents(QtSocketControl& sockets)
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

    bool accept = true;
    SlotNumber lastSlot = 0;
    std::vector<SlotNumber> requests;
    std::vector<SlotNumber> closes;
    std::map<SlotNumber, std::string> received;

private:
    QtSocketControl& m_sockets;
};

class QtSocketControlTest : public testing::Test {
protected:
    QtSocketControlTest()
        : events(sockets)
    {
        sockets.setEventHandler(&events);
        sockets.LocalPort(0, 0);
        std::string error;
        EXPECT_TRUE(sockets.Listen(0, error)) << error;
    }

    void connectClient(QTcpSocket& client)
    {
        client.connectToHost("127.0.0.1", sockets.boundPort(0));
        ASSERT_TRUE(client.waitForConnected(5000));
    }

    QtSocketControl sockets;
    RecordingEvents events;
};

std::string allByteValues()
{
    std::string bytes;
    for (int repeat = 0; repeat < 4; ++repeat)
        for (int byte = 0; byte < 256; ++byte)
            bytes.push_back(static_cast<char>(byte));
    return bytes;
}

TEST_F(QtSocketControlTest, AcceptsCarriesEveryByteBothWaysAndReportsThePeersClose)
{
    EXPECT_EQ(sockets.State(0), SocketState::Listening);
    QTcpSocket client;
    connectClient(client);
    ASSERT_TRUE(waitFor([&] { return events.lastSlot == 1; }, 5000));
    EXPECT_EQ(events.requests, std::vector<SlotNumber>{0});
    EXPECT_EQ(sockets.State(1), SocketState::Connected);
    EXPECT_EQ(sockets.RemoteHostIP(1), "127.0.0.1");

    const std::string bytes = allByteValues();
    client.write(bytes.data(), static_cast<qint64>(bytes.size()));
    ASSERT_TRUE(waitFor([&] { return events.received[1].size() == bytes.size(); }, 5000));
    EXPECT_EQ(events.received[1], bytes);

    sockets.SendData(1, "first:");
    sockets.SendData(1, bytes);
    QByteArray answer;
    ASSERT_TRUE(waitFor(
        [&] {
            answer += client.readAll();
            return answer.size() == static_cast<qsizetype>(bytes.size() + 6);
        },
        5000));
    EXPECT_EQ(answer.toStdString(), "first:" + bytes);

    client.disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return !events.closes.empty(); }, 5000));
    EXPECT_EQ(events.closes, std::vector<SlotNumber>{1});
    EXPECT_EQ(sockets.State(1), SocketState::Closed);
}

TEST_F(QtSocketControlTest, ClosingAConnectionDeliversWhatWasQueuedFirst)
{
    QTcpSocket client;
    connectClient(client);
    ASSERT_TRUE(waitFor([&] { return events.lastSlot == 1; }, 5000));
    const std::string big(4 * 1024 * 1024, 'z');
    sockets.SendData(1, big);
    sockets.Close(1);
    EXPECT_EQ(sockets.State(1), SocketState::Closed);

    QByteArray answer;
    ASSERT_TRUE(waitFor(
        [&] {
            answer += client.readAll();
            return client.state() == QAbstractSocket::UnconnectedState;
        },
        10000));
    answer += client.readAll();
    EXPECT_EQ(answer.size(), static_cast<qsizetype>(big.size()));
    EXPECT_TRUE(events.closes.empty()) << "closing from this end raises no close event";
}

TEST_F(QtSocketControlTest, RefusesConnectionsNobodyAcceptsAndStopsListeningOnClose)
{
    events.accept = false;
    QTcpSocket client;
    connectClient(client);
    ASSERT_TRUE(waitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5000));

    const quint16 port = sockets.boundPort(0);
    sockets.Close(0);
    EXPECT_EQ(sockets.State(0), SocketState::Closed);
    QTcpSocket late;
    late.connectToHost("127.0.0.1", port);
    EXPECT_FALSE(late.waitForConnected(2000));
}

TEST_F(QtSocketControlTest, ReportsAPortThatIsTaken)
{
    QtSocketControl second;
    second.LocalPort(0, sockets.boundPort(0));
    std::string error;
    EXPECT_FALSE(second.Listen(0, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(second.State(0), SocketState::Closed);
}

} // namespace
