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

struct HostileCase {
    std::string path;
    std::string shown;
};

std::ostream& operator<<(std::ostream& out, const HostileCase& c)
{
    return out << testing::PrintToString(c.path);
}

class HostilePath : public testing::TestWithParam<HostileCase> {};

TEST_P(HostilePath, IsShownWithoutBendingTheLog)
{
    EXPECT_EQ(printableMessage(GetParam().path), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostilePath,
    testing::Values(
        // Readable names stay readable.
        HostileCase{"/srv/games/a.jad?x=1&y=%20", "/srv/games/a.jad?x=1&y=%20"},
        HostileCase{"/jeux/\xC3\xA9t\xC3\xA9/M\xC3\xBCller.jad", "/jeux/\xC3\xA9t\xC3\xA9/M\xC3\xBCller.jad"},
        HostileCase{"/\xD0\xBA\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0.jar",
                    "/\xD0\xBA\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0.jar"},
        HostileCase{"/\xE6\xB8\xB8\xE6\x88\x8F/\xF0\x9F\x8E\xAE.jad", "/\xE6\xB8\xB8\xE6\x88\x8F/\xF0\x9F\x8E\xAE.jad"},
        // C0 controls and DEL.
        HostileCase{"/a\r\n# forged\t\x1B[2J\x7F", "/a%0D%0A# forged%09%1B[2J%7F"},
        HostileCase{std::string("/a\0b", 4), "/a%00b"},
        // C1 controls, NEL and the terminal's CSI among them; U+00A0 is the first past them.
        HostileCase{"/\xC2\x80\xC2\x85\xC2\x9B\xC2\x9F\xC2\xA0", "/%C2%80%C2%85%C2%9B%C2%9F\xC2\xA0"},
        // Line and paragraph separators.
        HostileCase{"/a\xE2\x80\xA8" "b\xE2\x80\xA9" "c", "/a%E2%80%A8b%E2%80%A9c"},
        // Embeddings and overrides, with their printable neighbours U+2027 and U+202F.
        HostileCase{"/\xE2\x80\xA7\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\xAE\xE2\x80\xAF",
                    "/\xE2\x80\xA7%E2%80%AA%E2%80%AB%E2%80%AC%E2%80%AD%E2%80%AE\xE2\x80\xAF"},
        HostileCase{"/gnp.\xE2\x80\xAE" "daj.exe", "/gnp.%E2%80%AEdaj.exe"},
        // Isolates and marks; the zero-width joiner that emoji need stays.
        HostileCase{"/\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9", "/%E2%81%A6%E2%81%A7%E2%81%A8%E2%81%A9"},
        HostileCase{"/\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C\xE2\x80\x8D", "/%E2%80%8E%E2%80%8F%D8%9C\xE2\x80\x8D"},
        // Bytes that are not UTF-8: a stray continuation, bytes never used,
        // overlong forms of "/", a surrogate, past U+10FFFF, Latin-1.
        HostileCase{"/\x80\xFF\xFE\xC1\xBF\xF5", "/%80%FF%FE%C1%BF%F5"},
        HostileCase{"/\xC0\xAF\xE0\x80\xAF\xF0\x80\x80\xAF", "/%C0%AF%E0%80%AF%F0%80%80%AF"},
        HostileCase{"/\xED\xA0\x80\xED\xBF\xBF", "/%ED%A0%80%ED%BF%BF"},
        HostileCase{"/\xF4\x90\x80\x80\xF4\x8F\xBF\xBF", "/%F4%90%80%80\xF4\x8F\xBF\xBF"},
        HostileCase{"/caf\xE9.jad", "/caf%E9.jad"},
        // Sequences cut short, at the end and before other characters.
        HostileCase{"/a\xE2\x80", "/a%E2%80"},
        HostileCase{"/\xF0\x9F\x8E/\xC3\xC3\xA9\xE2\x80\n", "/%F0%9F%8E/%C3\xC3\xA9%E2%80%0A"}));

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

// A clock whose second the test moves on.
class SteppingClock final : public Clock {
public:
    std::time_t second = 0;
    std::time_t secondsNow() const override { return second; }
    std::tm localTime(std::time_t seconds) const override
    {
        return at(2026, 12, 8, 20, 17, 7 + static_cast<int>(seconds));
    }
};

TEST(ActivityLog, EachEntryHasItsOwnSecondAddressAndMessageAlone)
{
    FakeSocketControl sockets;
    sockets.elements[3].remoteHostIP = "127.0.0.1";
    sockets.elements[4].remoteHostIP = "192.168.100.200";
    MemoryLog sink;
    SteppingClock clock;
    ActivityLog log(sink, sockets, clock);

    log.WriteActivityLog("/a/rather/long/path/to/some/game.jad", 3);
    log.WriteActivityLog("/b.jad", 4);
    clock.second = 2;
    log.WriteActivityLog("/c\x01", 3);

    EXPECT_EQ(sink.entries(), (std::vector<std::string>{
                                  "# 08-12-26 20:17:07 # -       127.0.0.1 - /a/rather/long/path/to/some/game.jad\r\n",
                                  "# 08-12-26 20:17:07 # - 192.168.100.200 - /b.jad\r\n",
                                  "# 08-12-26 20:17:09 # -       127.0.0.1 - /c%01\r\n",
                              }));
}

} // namespace
