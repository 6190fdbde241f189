#include "PhoneIdentity.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct UserAgentCase {
    std::string userAgent;
    std::string wapProfile;
    std::string model;
    std::string profile;
    std::string configuration;
};

std::ostream& operator<<(std::ostream& out, const UserAgentCase& c)
{
    return out << '"' << c.userAgent.substr(0, 80) << '"';
}

class UserAgents : public testing::TestWithParam<UserAgentCase> {};

TEST_P(UserAgents, NameThePhoneAndWhatItRuns)
{
    const PhoneIdentity phone = identifyPhone(GetParam().userAgent, GetParam().wapProfile);
    EXPECT_EQ(phone.model, GetParam().model);
    EXPECT_EQ(phone.platform.profile, GetParam().profile);
    EXPECT_EQ(phone.platform.configuration, GetParam().configuration);
}

const std::string kMidp2 = " Profile/MIDP-2.0 Configuration/CLDC-1.1";

INSTANTIATE_TEST_SUITE_P(
    Cases, UserAgents,
    testing::Values(
        UserAgentCase{"Nokia6300/2.0 (05.00) Profile/MIDP-2.0 Configuration/CLDC-1.1", "", "Nokia 6300", "MIDP-2.0",
                      "CLDC-1.1"},
        UserAgentCase{"NokiaN73-1/3.0638.0.0.1 Series60/3.0" + kMidp2, "", "Nokia N73-1", "MIDP-2.0", "CLDC-1.1"},
        UserAgentCase{"SonyEricssonK750i/R1AA Browser/SEMC-Browser/4.2" + kMidp2, "", "Sony Ericsson K750i",
                      "MIDP-2.0", "CLDC-1.1"},
        UserAgentCase{"MOT-V3/0E.40.3CR MIB/2.2.1" + kMidp2, "", "Motorola V3", "MIDP-2.0", "CLDC-1.1"},
        UserAgentCase{"SAMSUNG-SGH-E250/1.0" + kMidp2 + " UP.Browser/6.2.3.3.c.1.101 (GUI) MMP/2.0", "",
                      "Samsung SGH-E250", "MIDP-2.0", "CLDC-1.1"},
        UserAgentCase{"SEC-SGHX820/1.0 NetFront/3.2" + kMidp2, "", "Samsung SGHX820", "MIDP-2.0", "CLDC-1.1"},
        // LG writes the platform without the words Profile and Configuration.
        UserAgentCase{"LG-KG800/V10e Obigo/WAP2.0 MIDP-2.0/CLDC-1.1", "", "LG KG800", "MIDP-2.0", "CLDC-1.1"},
        UserAgentCase{"SIE-C65/23 UP.Browser/7.0.0.1.c.3 (GUI) MMP/2.0" + kMidp2, "", "Siemens C65", "MIDP-2.0",
                      "CLDC-1.1"},
        UserAgentCase{"BlackBerry8100/4.2.0 Profile/MIDP-2.0 Configuration/CLDC-1.1 VendorID/100", "",
                      "BlackBerry 8100", "MIDP-2.0", "CLDC-1.1"},
        // A browser's User-Agent names the phone inside its parentheses.
        UserAgentCase{"Mozilla/5.0 (SymbianOS/9.2; U; Series60/3.1 NokiaN95/11.0.026;" + kMidp2 +
                          ") AppleWebKit/413 (KHTML, like Gecko) Safari/413",
                      "", "Nokia N95", "MIDP-2.0", "CLDC-1.1"},
        UserAgentCase{"Nokia3300/1.0 (4.07) Profile/MIDP-1.0 Configuration/CLDC-1.0", "", "Nokia 3300", "MIDP-1.0",
                      "CLDC-1.0"},
        // Several profiles: the phone runs the highest.
        UserAgentCase{"Nokia6230i/2.0 Profile/MIDP-1.0 MIDP-2.0 Configuration/CLDC-1.1", "", "Nokia 6230i",
                      "MIDP-2.0", "CLDC-1.1"},
        // Only the device profile names the phone.
        UserAgentCase{"UNTRUSTED/1.0" + kMidp2, "\"http://wap.sonyericsson.com/UAprof/K750iR101.xml\"",
                      "Sony Ericsson K750iR101", "MIDP-2.0", "CLDC-1.1"},
        UserAgentCase{"", "", "", "", ""},
        UserAgentCase{"curl/7.88.1", "", "", "", ""},
        UserAgentCase{"Nokia/2.0 MIDP-x.y CLDC-", "", "", "", ""},
        UserAgentCase{"\x01\xff\xfe Nokia\x1b[31m MIDP-2", "http://nokia.example/", "", "", ""},
        // Control characters end the model; nothing of them is kept.
        UserAgentCase{"Nokia6300\r\nX-Forged: 1" + kMidp2, "", "Nokia 6300", "MIDP-2.0", "CLDC-1.1"},
        // Past the first bytes nothing is read, and a model is kept short.
        UserAgentCase{std::string(10 * 1024, 'A') + kMidp2, "", "", "", ""},
        UserAgentCase{"Nokia" + std::string(10 * 1024, '6') + kMidp2, "", "Nokia " + std::string(32, '6'), "", ""}));

} // namespace
