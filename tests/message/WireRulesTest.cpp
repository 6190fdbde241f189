#include "ByteRange.h"
#include "HostHeader.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace {

struct RangeCase {
    const char* field;
    std::int64_t size;
    ByteRange::Kind kind;
    std::int64_t first = 0;
    std::int64_t last = 0;
};

std::ostream& operator<<(std::ostream& out, const RangeCase& c)
{
    return out << testing::PrintToString(std::string(c.field)) << " of " << c.size;
}

class RangeField : public testing::TestWithParam<RangeCase> {};

TEST_P(RangeField, NamesOnePartOrTheWholeFile)
{
    const ByteRange range = readByteRange(GetParam().field, GetParam().size);
    EXPECT_EQ(range.kind, GetParam().kind);
    if (GetParam().kind == ByteRange::Kind::Part) {
        EXPECT_EQ(range.first, GetParam().first);
        EXPECT_EQ(range.last, GetParam().last);
    }
}

using Kind = ByteRange::Kind;
INSTANTIATE_TEST_SUITE_P(
    Cases, RangeField,
    testing::Values(RangeCase{"bytes=0-99", 1000, Kind::Part, 0, 99}, RangeCase{"bytes=100-", 1000, Kind::Part, 100, 999},
                    RangeCase{"bytes=-100", 1000, Kind::Part, 900, 999},
                    RangeCase{"bytes=-5000", 1000, Kind::Part, 0, 999}, RangeCase{"bytes=990-2000", 1000, Kind::Part, 990, 999},
                    RangeCase{"Bytes= 5 - 5", 1000, Kind::Part, 5, 5}, RangeCase{"bytes=1000-", 1000, Kind::Unsatisfiable},
                    RangeCase{"bytes=5000-6000", 1000, Kind::Unsatisfiable}, RangeCase{"bytes=-0", 1000, Kind::Unsatisfiable},
                    RangeCase{"bytes=0-", 0, Kind::Unsatisfiable}, RangeCase{"bytes=-10", 0, Kind::Unsatisfiable},
                    RangeCase{"", 1000, Kind::Whole}, RangeCase{"bytes=", 1000, Kind::Whole},
                    RangeCase{"bytes=9-5", 1000, Kind::Whole}, RangeCase{"bytes=a-b", 1000, Kind::Whole},
                    RangeCase{"bytes=-", 1000, Kind::Whole}, RangeCase{"bytes=+1-5", 1000, Kind::Whole},
                    RangeCase{"bytes=0-1,5-9", 1000, Kind::Whole}, RangeCase{"items=0-1", 1000, Kind::Whole},
                    RangeCase{"bytes=99999999999999999999-", 1000, Kind::Whole}));

struct HostCase {
    std::string field;
    std::optional<std::string> accepted;
};

std::ostream& operator<<(std::ostream& out, const HostCase& c)
{
    return out << testing::PrintToString(c.field.substr(0, 40));
}

class HostField : public testing::TestWithParam<HostCase> {};

TEST_P(HostField, IsTakenOnlyWhenWellFormed)
{
    EXPECT_EQ(acceptedHost(GetParam().field), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostField,
    testing::Values(HostCase{"192.168.1.5:8080", "192.168.1.5:8080"}, HostCase{"192.168.1.5", "192.168.1.5"},
                    HostCase{"games.example:80", "games.example:80"}, HostCase{" shop-pc ", "shop-pc"},
                    HostCase{"", std::nullopt}, HostCase{"host:", std::nullopt}, HostCase{"host:0", std::nullopt},
                    HostCase{"host:65536", std::nullopt}, HostCase{"host:80x", std::nullopt},
                    HostCase{"evil.example\r\nX-Injected: 1", std::nullopt}, HostCase{"a b", std::nullopt},
                    HostCase{"user@host", std::nullopt}, HostCase{"host/path", std::nullopt},
                    HostCase{"[::1]:8080", std::nullopt}, HostCase{"..", std::nullopt}, HostCase{".host", std::nullopt},
                    HostCase{std::string(256, 'a'), std::nullopt}, HostCase{std::string(255, 'a'), std::string(255, 'a')}));

} // namespace
