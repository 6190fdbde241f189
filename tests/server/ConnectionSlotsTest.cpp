#include "ServerCore.h"

#include "FakeSocketControl.h"
#include "MemoryLog.h"

#include <gtest/gtest.h>

namespace {

class ConnectionSlotsTest : public testing::Test {
protected:
    FakeSocketControl sockets;
    MemoryLog sink;
    FixedClock clock;
    ServerCore core{sockets, sink, clock};
    RequestService& service = core.service();
    ConnectionSlots& slots = core.slots();
};

TEST_F(ConnectionSlotsTest, NumbersSlotsInOrderOfAcceptanceAndNeverReusesThem)
{
    slots.wsServer_ConnectionRequest(0, 100);
    slots.wsServer_ConnectionRequest(0, 101);
    slots.wsServer_Close(1);
    slots.wsServer_ConnectionRequest(0, 102);

    EXPECT_EQ(sockets.accepted, (std::vector<std::pair<SlotNumber, ConnectionRequestId>>{{1, 100}, {2, 101}, {3, 102}}));
    EXPECT_FALSE(sockets.elements.contains(1));
    EXPECT_EQ(service.txtReceivedData(1), nullptr);
    EXPECT_NE(service.txtReceivedData(3), nullptr);
    EXPECT_EQ(slots.lastSlot(), 3);
    EXPECT_TRUE(sink.entries().empty());
}

TEST_F(ConnectionSlotsTest, OnlyTheListenerAccepts)
{
    slots.wsServer_ConnectionRequest(0, 100);
    slots.wsServer_ConnectionRequest(1, 101);
    EXPECT_EQ(sockets.accepted.size(), 1u);
    EXPECT_EQ(slots.lastSlot(), 1);
}

TEST_F(ConnectionSlotsTest, ReleasingClosesAnOpenElementAndDropsItsBuffer)
{
    slots.wsServer_ConnectionRequest(0, 100);
    sockets.elements[1].incoming = "GET /unfinished";
    slots.wsServer_DataArrival(1, 15);
    slots.release(1);

    EXPECT_EQ(sockets.closed, std::vector<SlotNumber>{1});
    EXPECT_FALSE(sockets.elements.contains(1));
    EXPECT_EQ(service.txtReceivedData(1), nullptr);
    // The listener is never released.
    slots.release(0);
    EXPECT_TRUE(sockets.elements.contains(0));
}

TEST_F(ConnectionSlotsTest, LogsErrorsTheSocketsReport)
{
    slots.wsServer_Error(0, 7, "Cannot accept a connection: Too many open files");
    ASSERT_EQ(sink.entries().size(), 1u);
    EXPECT_NE(sink.entries()[0].find("Error 7: Cannot accept a connection: Too many open files"), std::string::npos);
}

// A download cut short reads at a glance: the path, and how far it got.
struct CutShortCase {
    std::int64_t sent;
    std::int64_t size;
    bool fileShrank;
    const char* message;
};

std::ostream& operator<<(std::ostream& out, const CutShortCase& c)
{
    return out << c.message;
}

class CutShort : public testing::TestWithParam<CutShortCase> {};

TEST_P(CutShort, IsLoggedWithTheBytesSentInGroupsOfThree)
{
    FakeSocketControl sockets;
    MemoryLog sink;
    FixedClock clock;
    ServerCore core(sockets, sink, clock);
    core.slots().wsServer_FileCutShort(0, "/games/a.jar", GetParam().sent, GetParam().size, GetParam().fileShrank);
    ASSERT_EQ(sink.entries().size(), 1u);
    EXPECT_EQ(sink.entries()[0], "# 08-12-26 20:17:07 # -        10.0.0.1 - " + std::string(GetParam().message) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CutShort,
    testing::Values(CutShortCase{120'000, 445'000, false, "/games/a.jar closed after 120,000 of 445,000 bytes"},
                    CutShortCase{0, 999, false, "/games/a.jar closed after 0 of 999 bytes"},
                    CutShortCase{1'000, 1'234'567, false, "/games/a.jar closed after 1,000 of 1,234,567 bytes"},
                    CutShortCase{100, 1'000'000, true,
                                 "/games/a.jar shrank while it was sent; the connection was closed after 100 of "
                                 "1,000,000 bytes"}));

} // namespace
