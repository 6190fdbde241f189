#include "PlatformFit.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct FitCase {
    Platform phone;
    Platform game;
    std::string shortfall; // empty: the phone runs the game, or nobody can tell
};

std::ostream& operator<<(std::ostream& out, const FitCase& c)
{
    return out << c.phone.profile << "/" << c.phone.configuration << " running " << c.game.profile << "/"
               << c.game.configuration;
}

class PlatformFit : public testing::TestWithParam<FitCase> {};

TEST_P(PlatformFit, TellsWhatThePhoneLacks)
{
    EXPECT_EQ(platformShortfall(GetParam().phone, GetParam().game).value_or(""), GetParam().shortfall);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlatformFit,
    testing::Values(FitCase{{"MIDP-2.0", "CLDC-1.1"}, {"MIDP-2.0", "CLDC-1.1"}, ""},
                    FitCase{{"MIDP-2.0", "CLDC-1.1"}, {"MIDP-1.0", "CLDC-1.0"}, ""},
                    FitCase{{"MIDP-1.0", "CLDC-1.1"}, {"MIDP-2.0", "CLDC-1.0"},
                            "needs MIDP-2.0; this phone has MIDP-1.0: it will report 908"},
                    FitCase{{"MIDP-2.0", "CLDC-1.0"}, {"MIDP-2.0", "CLDC-1.1"},
                            "needs CLDC-1.1; this phone has CLDC-1.0: it will report 908"},
                    FitCase{{"MIDP-1.0", "CLDC-1.0"}, {"MIDP-2.0", "CLDC-1.1"},
                            "needs MIDP-2.0 and CLDC-1.1; this phone has MIDP-1.0 and CLDC-1.0: it will report 908"},
                    // Compared as numbers, not as text.
                    FitCase{{"MIDP-2.10", ""}, {"MIDP-2.9", ""}, ""},
                    FitCase{{"MIDP-2.1", ""}, {"MIDP-10.0", ""}, "needs MIDP-10.0; this phone has MIDP-2.1: it will report 908"},
                    // A phone or a game that does not say is given the benefit of the doubt.
                    FitCase{{"", ""}, {"MIDP-2.0", "CLDC-1.1"}, ""},
                    FitCase{{"MIDP-1.0", "CLDC-1.0"}, {"", ""}, ""}));

TEST(PlatformTokens, TakeTheHighestOfTheFamilyNamedAnywhere)
{
    EXPECT_EQ(highestPlatformToken("MIDP-1.0 MIDP-2.1 MIDP-2.0", "MIDP"), "MIDP-2.1");
    EXPECT_EQ(highestPlatformToken("JTWI-1.0 MIDP-2.0/CLDC-1.1", "CLDC"), "CLDC-1.1");
    EXPECT_EQ(highestPlatformToken("XMIDP-3.0 MIDP-x MIDP-2.", "MIDP"), "");
    EXPECT_EQ(highestPlatformToken("MIDP-0002.00", "MIDP"), "MIDP-2.0");
}

} // namespace
