#include "JarUrl.h"
#include "MidletVersion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MidletVersion, AcceptsTwoOrThreePartsOfZeroTo99)
{
    for (const char* good : {"1.0", "1.0.0", "0.0", "99.99.99", "01.2", "10.20.30"})
        EXPECT_TRUE(isMidletVersion(good)) << good;
    for (const char* bad : {"", "1", "1.", ".1", "1..0", "1.0.0.0", "100.0", "1.100", "1.0 beta", "1.0b", " 1.0",
                            "1,0", "-1.0", "+1.0", "1.0.", "999999999999999999999.0"})
        EXPECT_FALSE(isMidletVersion(bad)) << bad;
}

struct UrlCase {
    const char* jarUrl;
    const char* descriptorPath;
    JarLocation::Kind kind;
    const char* requestPath;
};

std::ostream& operator<<(std::ostream& out, const UrlCase& c)
{
    return out << c.jarUrl << " from " << c.descriptorPath;
}

class JarUrlResolution : public testing::TestWithParam<UrlCase> {};

TEST_P(JarUrlResolution, FollowsThePhone)
{
    const std::vector<std::string> origins{"http://192.168.1.5:8080", "http://10.0.0.2"};
    const JarLocation location = resolveJarUrl(GetParam().jarUrl, GetParam().descriptorPath, origins);
    EXPECT_EQ(location.kind, GetParam().kind);
    EXPECT_EQ(location.requestPath, GetParam().requestPath);
}

using Kind = JarLocation::Kind;
INSTANTIATE_TEST_SUITE_P(
    Cases, JarUrlResolution,
    testing::Values(UrlCase{"a.jar", "/a.jad", Kind::Here, "/a.jar"},
                    UrlCase{"a.jar", "/racing/a.jad", Kind::Here, "/racing/a.jar"},
                    UrlCase{"./bin/a.jar", "/racing/a.jad", Kind::Here, "/racing/bin/a.jar"},
                    UrlCase{"../jars/a.jar", "/racing/a.jad", Kind::Here, "/jars/a.jar"},
                    UrlCase{"../../../a.jar", "/racing/a.jad", Kind::Here, "/a.jar"},
                    UrlCase{"/jars/a.jar", "/racing/a.jad", Kind::Here, "/jars/a.jar"},
                    UrlCase{"a.jar?v=2#top", "/a.jad", Kind::Here, "/a.jar?v=2"},
                    UrlCase{"a%20b.jar", "/a.jad", Kind::Here, "/a%20b.jar"},
                    UrlCase{"http://192.168.1.5:8080/racing/a.jar", "/a.jad", Kind::Here, "/racing/a.jar"},
                    UrlCase{"HTTP://192.168.1.5:8080/x/../a.jar", "/a.jad", Kind::Here, "/a.jar"},
                    UrlCase{"http://10.0.0.2:80/a.jar", "/a.jad", Kind::Here, "/a.jar"},
                    UrlCase{"http://10.0.0.2/a.jar", "/a.jad", Kind::Here, "/a.jar"},
                    UrlCase{"//192.168.1.5:8080/a.jar", "/a.jad", Kind::Here, "/a.jar"},
                    UrlCase{"http://ann@192.168.1.5:8080/a.jar", "/a.jad", Kind::Here, "/a.jar"},
                    UrlCase{"http://192.168.1.5/a.jar", "/a.jad", Kind::Elsewhere, ""},
                    UrlCase{"http://192.168.1.6:8080/a.jar", "/a.jad", Kind::Elsewhere, ""},
                    UrlCase{"https://192.168.1.5:8080/a.jar", "/a.jad", Kind::Elsewhere, ""},
                    UrlCase{"http://games.example.com/a.jar", "/a.jad", Kind::Elsewhere, ""},
                    UrlCase{"http://[fe80::1]:8080/a.jar", "/a.jad", Kind::Elsewhere, ""},
                    UrlCase{"http://localhost:8080/a.jar", "/a.jad", Kind::Loopback, ""},
                    UrlCase{"http://LocalHost/a.jar", "/a.jad", Kind::Loopback, ""},
                    UrlCase{"http://127.0.0.1:8080/a.jar", "/a.jad", Kind::Loopback, ""},
                    UrlCase{"http://[::1]:8080/a.jar", "/a.jad", Kind::Loopback, ""},
                    UrlCase{"my game.jar", "/a.jad", Kind::Unusable, ""},
                    UrlCase{"", "/a.jad", Kind::Unusable, ""}));

} // namespace
