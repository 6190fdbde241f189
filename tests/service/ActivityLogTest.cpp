#include "ActivityLog.h"

#include "FakeSocketControl.h"
#include "MemoryLog.h"

#include <gtest/gtest.h>

namespace {

std::tm at(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

struct EntryCase {
    std::tm time;
    const char* address;
    const char* message;
    const char* entry;
};

std::ostream& operator<<(std::ostream& out, const EntryCase& c)
{
    return out << testing::PrintToString(std::string(c.entry));
}

class LogEntryFormat : public testing::TestWithParam<EntryCase> {};

TEST_P(LogEntryFormat, MatchesToTheCharacter)
{
    EXPECT_EQ(formatLogEntry(GetParam().time, GetParam().address, GetParam().message), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogEntryFormat,
    testing::Values(
        EntryCase{at(2026, 12, 8, 20, 17, 7), "192.168.1.5", "/srv/games/a.jad",
                  "# 08-12-26 20:17:07 # -     192.168.1.5 - /srv/games/a.jad\r\n"},
        EntryCase{at(2026, 12, 9, 0, 0, 5), "10.0.0.1", "x", "# 09-12-26 00:00:05 # -        10.0.0.1 - x\r\n"},
        EntryCase{at(2000, 1, 1, 23, 59, 59), "255.255.255.255", "", "# 01-01-00 23:59:59 # - 255.255.255.255 - \r\n"}));

TEST(ActivityLog, StampsTheSlotsPeerAndShowsControlCharactersEscaped)
{
    FakeSocketControl sockets;
    sockets.elements[3].remoteHostIP = "127.0.0.1";
    MemoryLog sink;
    FixedClock clock;
    ActivityLog log(sink, sockets, clock);

    log.WriteActivityLog("/a\r\n# forged entry\x7f", 3);

    ASSERT_EQ(sink.entries().size(), 1u);
    EXPECT_EQ(sink.entries()[0], "# 08-12-26 20:17:07 # -       127.0.0.1 - /a%0D%0A# forged entry%7F\r\n");
}

} // namespace
