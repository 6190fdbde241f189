#include "GameDirectory.h"
#include "ServiceHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const std::string kReceipt =
    "HTTP/1.0 200 OK\r\nContent-Length:0\r\nContent-type:text/html\r\nServer:Corvelle Server\r\n\r\n";

std::string post(const std::string& path, const std::string& body)
{
    return "POST " + path + " HTTP/1.1\r\nHost: 10.0.0.2\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n" + body;
}

std::string postChunked(const std::string& path, const std::string& body)
{
    char size[16];
    std::snprintf(size, sizeof size, "%zx", body.size());
    return "POST " + path + " HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" + size + "\r\n" + body + "\r\n0\r\n\r\n";
}

struct ReportCase {
    const char* name;
    std::string request;
    // The log message, or empty when the request is no report and stays unanswered.
    std::string logged;
};

std::ostream& operator<<(std::ostream& out, const ReportCase& c)
{
    return out << c.name;
}

class InstallReports : public testing::TestWithParam<ReportCase>, protected ServiceHarness {};

TEST_P(InstallReports, AreAnsweredWithAnEmptyOkAndLoggedOthersLeftUnanswered)
{
    // A GET behind the POST shows that the body was taken off whole.
    games.write("a.jad", "x");
    arrive(1, GetParam().request + "GET /a.jad HTTP/1.0\r\n\r\n");

    const auto entry = [](const std::string& message) {
        return "# 08-12-26 20:17:07 # -        10.0.0.1 - " + message + "\r\n";
    };
    const std::string served = entry(mapRequestPath(games.string(), "/a.jad"));
    if (GetParam().logged.empty()) {
        ASSERT_EQ(sockets.sent[1].size(), 1u);
        EXPECT_EQ(sink.entries(), std::vector<std::string>{served});
    } else {
        ASSERT_EQ(sockets.sent[1].size(), 2u);
        EXPECT_EQ(sockets.sent[1][0], kReceipt);
        EXPECT_EQ(sink.entries(), (std::vector<std::string>{entry(GetParam().logged), served}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallReports,
    testing::Values(
        ReportCase{"Success", post("/notify", "900 Success"), "Install report 900 Success, posted to /notify"},
        ReportCase{"ChunkedSizeMismatch", postChunked("/n?id=7", "904 JAR Size Mismatch"),
                   "Install report 904 JAR size mismatch, posted to /n?id=7"},
        ReportCase{"CodeAlone", post("/notify", "907"), "Install report 907 Invalid JAR, posted to /notify"},
        ReportCase{"CodeAndLineEnd", postChunked("/notify", "908\r\n"),
                   "Install report 908 Incompatible configuration or profile, posted to /notify"},
        ReportCase{"Deletion", post("/deleted", "912 Deletion Notification"),
                   "Delete report 912 Deletion notification, posted to /deleted"},
        ReportCase{"PathWithControlCharacters", post("/n\x1b[2J", "902 User Cancelled"),
                   "Install report 902 User cancelled, posted to /n%1B[2J"},
        ReportCase{"Empty", post("/notify", ""), ""},
        ReportCase{"BelowTheRange", post("/notify", "899 Nearly"), ""},
        ReportCase{"RequiredPackageMissing", post("/notify", "913 Required package not supported"), ""},
        ReportCase{"OtherError", postChunked("/notify", "999 Other error"), ""},
        ReportCase{"FourDigits", post("/notify", "9001 Success"), ""},
        ReportCase{"TwoDigits", post("/notify", "90"), ""},
        ReportCase{"LeadingBlank", post("/notify", " 900 Success"), ""},
        ReportCase{"FormData", post("/notify", "status=900"), ""}),
    [](const auto& info) { return info.param.name; });

} // namespace
