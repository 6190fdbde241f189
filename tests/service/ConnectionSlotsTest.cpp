#include "ServerCore.h"

#include "FakeSocketControl.h"
#include "HttpText.h"
#include "MemoryLog.h"
#include "TempDirectory.h"

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

// Connections held by peers that do not use them, on a clock the test turns.
class TimeLimits : public testing::Test {
protected:
    TimeLimits()
    {
        slots.setLimits({std::chrono::seconds(60), std::chrono::seconds(120)});
        sockets.elements[0].remoteHostIP.clear();
    }

    SlotNumber open()
    {
        slots.wsServer_ConnectionRequest(0, 100 + slots.lastSlot());
        return slots.lastSlot();
    }
    void arrive(SlotNumber slot, const std::string& data)
    {
        sockets.elements.at(slot).incoming += data;
        slots.wsServer_DataArrival(slot, 0);
    }
    void pass(int seconds)
    {
        now += std::chrono::seconds(seconds);
        slots.closeExpired();
    }
    bool isOpen(SlotNumber slot) const { return sockets.elements.contains(slot); }

    ConnectionSlots::TimePoint now{};
    FakeSocketControl sockets;
    MemoryLog sink;
    FixedClock clock;
    ServerCore core{sockets, sink, clock, [this] { return now; }};
    ConnectionSlots& slots = core.slots();
};

TEST_F(TimeLimits, CloseASilentConnectionAtTheIdleLimitAndSayWhyOnce)
{
    const SlotNumber silent = open();
    pass(119);
    EXPECT_TRUE(isOpen(silent));
    pass(1);
    EXPECT_FALSE(isOpen(silent));
    EXPECT_EQ(sockets.dropped, std::vector<SlotNumber>{silent}) << "closed at once, without lingering";
    EXPECT_EQ(sink.entries(), std::vector<std::string>{"# 08-12-26 20:17:07 # -                 - Closed 1 connection "
                                                       "silent for 120 s with nothing under way.\r\n"});
}

TEST_F(TimeLimits, CloseAConnectionThatDripsItsHeaderAtTheHeaderLimit)
{
    const SlotNumber dripping = open();
    const SlotNumber answered = open();
    for (int second = 0; second < 59; ++second) {
        arrive(dripping, "x");
        arrive(answered, get("/missing.jad"));
        pass(1);
    }
    EXPECT_TRUE(isOpen(dripping));
    arrive(dripping, "x");
    pass(1);
    EXPECT_FALSE(isOpen(dripping));
    EXPECT_TRUE(isOpen(answered)) << "whole requests restart the clock";
}

TEST_F(TimeLimits, TimeEachHeaderFromItsOwnFirstByte)
{
    const SlotNumber pipelining = open();
    arrive(pipelining, "GET /a.jad");
    pass(50);
    arrive(pipelining, " HTTP/1.0\r\n\r\nGET /b.jad");
    pass(50);
    EXPECT_TRUE(isOpen(pipelining)) << "the second request began 50 s ago";
    pass(10);
    EXPECT_FALSE(isOpen(pipelining));
}

TEST_F(TimeLimits, NeverCloseAConnectionWhileAnAnswerIsBeingSent)
{
    const SlotNumber slow = open();
    arrive(slow, "GET /partial");
    sockets.elements[slow].unsent = 1;
    pass(3600);
    EXPECT_TRUE(isOpen(slow));
    sockets.elements[slow].unsent = 0;
    slots.wsServer_SendProgress(slow, 1, 0);
    pass(1);
    EXPECT_FALSE(isOpen(slow)) << "once sent, the request begun long ago is over time";
}

TEST_F(TimeLimits, TimeNoRequestThatWaitedBehindAPeerThatDidNotRead)
{
    const SlotNumber held = open();
    sockets.peersDoNotRead = true;
    std::string pipelined;
    for (std::size_t i = 0; i <= RequestService::kMaxUnsentAnswers; ++i)
        pipelined += "GET /a.jad HTTP/1.0\r\n\r\n";
    arrive(held, pipelined);
    pass(3600);
    sockets.peersDoNotRead = false;
    sockets.elements[held].unsent = 0;
    slots.wsServer_SendProgress(held, 1, 0);
    pass(1);
    EXPECT_TRUE(isOpen(held)) << "the request that waited was taken as the peer read, not begun long ago";
}

TEST_F(TimeLimits, ZeroTurnsALimitOff)
{
    slots.setLimits({std::chrono::seconds(0), std::chrono::seconds(0)});
    const SlotNumber silent = open();
    const SlotNumber dripping = open();
    arrive(dripping, "G");
    pass(86400);
    EXPECT_TRUE(isOpen(silent));
    EXPECT_TRUE(isOpen(dripping));
}

TEST_F(TimeLimits, SayHowManyWereClosedAtMostOnceAMinute)
{
    slots.setLimits({std::chrono::seconds(10), std::chrono::seconds(20)});
    open();
    pass(20);
    ASSERT_EQ(sink.entries().size(), 1u);
    open();
    arrive(open(), "G");
    pass(20);
    EXPECT_EQ(sink.entries().size(), 1u) << "the next two wait for the minute to pass";
    pass(39);
    EXPECT_EQ(sink.entries().size(), 1u);
    pass(1);
    ASSERT_EQ(sink.entries().size(), 2u);
    EXPECT_NE(sink.entries()[1].find("Closed 1 connection that took over 10 s to send a request; closed 1 "
                                     "connection silent for 20 s"),
              std::string::npos)
        << sink.entries()[1];
}

TEST_F(TimeLimits, MakeRoomByClosingTheLongestIdleConnectionsOnly)
{
    const SlotNumber older = open();
    pass(5);
    const SlotNumber younger = open();
    pass(5);
    const SlotNumber busy = open();
    arrive(busy, "GET /a");
    const SlotNumber sending = open();
    sockets.elements[sending].unsent = 10;
    arrive(older, get("/missing.jad")); // answered: idle again, but active later than `younger`

    EXPECT_EQ(slots.wsServer_DescriptorsShort(0), 2u);
    EXPECT_EQ(sockets.dropped, (std::vector<SlotNumber>{younger, older}));
    EXPECT_TRUE(isOpen(busy));
    EXPECT_TRUE(isOpen(sending));
    EXPECT_EQ(slots.wsServer_DescriptorsShort(0), 0u);
    ASSERT_FALSE(sink.entries().empty());
    EXPECT_NE(sink.entries().back().find("Closed 2 connections idle the longest, to make room when descriptors ran short"),
              std::string::npos);
}

TEST_F(TimeLimits, MakeRoomByLettingGoOfKeptFilesBeforeAnyConnection)
{
    TempDirectory games;
    games.write("a.jad", "descriptor");
    core.service().setGameDirectory(games.string());
    const SlotNumber idle = open();
    arrive(idle, get("/a.jad"));
    ASSERT_NE(sockets.sentOn(idle).find("descriptor"), std::string::npos);

    EXPECT_EQ(slots.wsServer_DescriptorsShort(0), 1u) << "the file kept open for the next request";
    EXPECT_TRUE(isOpen(idle));
    EXPECT_EQ(slots.wsServer_DescriptorsShort(0), 1u) << "then the connection";
    EXPECT_FALSE(isOpen(idle));
}

} // namespace
