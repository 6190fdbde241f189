#include "ServerSettings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct LimitSettingCase {
    const char* text;
    int seconds;
    bool complains;
};

std::ostream& operator<<(std::ostream& out, const LimitSettingCase& c)
{
    return out << testing::PrintToString(std::string(c.text));
}

class LimitSetting : public testing::TestWithParam<LimitSettingCase> {};

TEST_P(LimitSetting, IsWholeSecondsWithTheDefaultWhenMissingOrUnusable)
{
    std::string error;
    EXPECT_EQ(timeLimitFromSetting(GetParam().text, std::chrono::seconds(60), error).count(), GetParam().seconds);
    EXPECT_EQ(!error.empty(), GetParam().complains) << error;
}

INSTANTIATE_TEST_SUITE_P(Values, LimitSetting,
                         testing::Values(LimitSettingCase{"", 60, false}, LimitSettingCase{"0", 0, false},
                                         LimitSettingCase{"5", 5, false}, LimitSettingCase{"-1", 60, true},
                                         LimitSettingCase{"1.5", 60, true}, LimitSettingCase{" 5", 60, true},
                                         LimitSettingCase{"ten", 60, true}, LimitSettingCase{"31536000", 31536000, false},
                                         LimitSettingCase{"99999999999", 60, true}));

} // namespace
