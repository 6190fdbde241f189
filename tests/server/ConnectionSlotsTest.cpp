#include "ConnectionSlots.h"

#include "FakeSocketControl.h"
#include "ManualScheduler.h"
#include "MemoryLog.h"

#include <gtest/gtest.h>

namespace {

class ConnectionSlotsTest : public testing::Test {
protected:
    ConnectionSlotsTest()
        : log(sink, sockets, clock)
        , service(sockets, log, scheduler, virtualDir, [this](SlotNumber slot) { slots.release(slot); })
        , slots(sockets, service, log)
    {
    }

    std::string virtualDir;
    FakeSocketControl sockets;
    ManualScheduler scheduler;
    MemoryLog sink;
    FixedClock clock;
    ActivityLog log;
    RequestService service;
    ConnectionSlots slots;
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
    EXPECT_TRUE(sink.entries.empty());
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
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_NE(sink.entries[0].find("Error 7: Cannot accept a connection: Too many open files"), std::string::npos);
}

} // namespace
