#include "ReceiveBuffer.h"

#include "clsHttp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Status = ReceiveBuffer::Status;

// Feeds the pieces in order and collects every request handed on.
std::vector<std::string> assemble(const std::vector<std::string>& pieces, ReceiveBuffer& buffer)
{
    std::vector<std::string> requests;
    for (const auto& piece : pieces) {
        buffer.append(piece);
        for (auto result = buffer.takeRequest(); result.status == Status::Complete; result = buffer.takeRequest())
            requests.push_back(result.request);
    }
    return requests;
}

struct AssemblyCase {
    const char* name;
    std::vector<std::string> pieces;
    std::vector<std::string> requests;
    std::string left;
};

std::ostream& operator<<(std::ostream& out, const AssemblyCase& c)
{
    return out << c.name;
}

class RequestAssembly : public testing::TestWithParam<AssemblyCase> {};

TEST_P(RequestAssembly, HandsOnCompleteRequestsOnly)
{
    ReceiveBuffer buffer;
    EXPECT_EQ(assemble(GetParam().pieces, buffer), GetParam().requests);
    EXPECT_EQ(buffer.text(), GetParam().left);
}

const std::string kGet = "GET /a.jad HTTP/1.0\r\nHost: x\r\n\r\n";
const std::string kChunkedHead = "POST /notify HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestAssembly,
    testing::Values(
        AssemblyCase{"OnePiece", {kGet}, {kGet}, ""},
        AssemblyCase{"SplitInsideTheBlankLine", {"GET /a.jad HTTP/1.0\r\nHost: x", "\r\n\r", "\n"}, {kGet}, ""},
        AssemblyCase{"TwoInOnePiece", {kGet + kGet}, {kGet, kGet}, ""},
        AssemblyCase{"BodyInTwoPieces",
                     {"POST / HTTP/1.0\r\nContent-Length: 5\r\n\r\nab", "cde"},
                     {"POST / HTTP/1.0\r\nContent-Length: 5\r\n\r\nabcde"},
                     ""},
        AssemblyCase{"BodyFollowedByMore",
                     {"POST / HTTP/1.0\r\nContent-Length: 2\r\n\r\nabcd"},
                     {"POST / HTTP/1.0\r\nContent-Length: 2\r\n\r\nab"},
                     "cd"},
        AssemblyCase{"LowerCaseFieldName",
                     {"POST / HTTP/1.0\r\ncontent-length: 3\r\n\r\nxyz"},
                     {"POST / HTTP/1.0\r\ncontent-length: 3\r\n\r\nxyz"},
                     ""},
        AssemblyCase{"BodyWithoutLengthStartsTheNextRequest",
                     {"POST / HTTP/1.0\r\n\r\nbody"},
                     {"POST / HTTP/1.0\r\n\r\n"},
                     "body"},
        AssemblyCase{"LineFeedsAloneNeverEndAHeader", {"GET / HTTP/1.0\n\n"}, {}, "GET / HTTP/1.0\n\n"},
        AssemblyCase{"ChunkedBodyDecoded",
                     {kChunkedHead + "4\r\n900 \r\n9;name=x\r\nSuccess\r\n\r\n0\r\n\r\nGET"},
                     {kChunkedHead + "900 Success\r\n"},
                     "GET"},
        AssemblyCase{"ChunkedWinsOverContentLength",
                     {"POST / HTTP/1.1\r\nContent-Length: 2\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n"
                      "1\r\nx\r\n0\r\n\r\n"},
                     {"POST / HTTP/1.1\r\nContent-Length: 2\r\nTransfer-Encoding: gzip, Chunked\r\n\r\nx"},
                     ""},
        AssemblyCase{"TrailerLinesSkipped",
                     {kChunkedHead + "0\r\nX-Note: a\r\nX-Other: b\r\n\r\n"},
                     {kChunkedHead},
                     ""},
        AssemblyCase{"LengthFoundByItsWholeName",
                     {"POST / HTTP/1.0\r\nContent-Length-Range: 9\r\nContent-Length : 1\r\n\r\nxy"},
                     {"POST / HTTP/1.0\r\nContent-Length-Range: 9\r\nContent-Length : 1\r\n\r\nx"},
                     "y"},
        AssemblyCase{"CodingFoundByItsWholeName",
                     {"POST / HTTP/1.1\r\nTransfer-Encoding-X: chunked\r\ntransfer-encoding\t: chunked\r\n\r\n"
                      "1\r\nx\r\n0\r\n\r\n",
                      "POST / HTTP/1.1\r\nTransfer-Encodings: chunked\r\nContent-Length: 1\r\n\r\nyz"},
                     {"POST / HTTP/1.1\r\nTransfer-Encoding-X: chunked\r\ntransfer-encoding\t: chunked\r\n\r\nx",
                      "POST / HTTP/1.1\r\nTransfer-Encodings: chunked\r\nContent-Length: 1\r\n\r\ny"},
                     "z"},
        AssemblyCase{"OtherCodingsFramedByLength",
                     {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked, gzip\r\nContent-Length: 1\r\n\r\nxy"},
                     {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked, gzip\r\nContent-Length: 1\r\n\r\nx"},
                     "y"}),
    [](const auto& info) { return info.param.name; });

TEST(RequestAssembly, SurvivesASplitAtEveryByte)
{
    const std::string stream = kGet + "POST / HTTP/1.0\r\nContent-Length: 4\r\n\r\n\r\n\r\n" + kGet;
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ReceiveBuffer buffer;
        const auto requests = assemble({stream.substr(0, cut), stream.substr(cut)}, buffer);
        ASSERT_EQ(requests.size(), 3u) << "cut at " << cut;
        EXPECT_EQ(requests[1], "POST / HTTP/1.0\r\nContent-Length: 4\r\n\r\n\r\n\r\n") << "cut at " << cut;
    }
    ReceiveBuffer dripped;
    std::vector<std::string> bytes;
    for (char c : stream)
        bytes.emplace_back(1, c);
    EXPECT_EQ(assemble(bytes, dripped).size(), 3u);
}

TEST(RequestAssembly, DecodesAChunkedBodySplitAtEveryByte)
{
    const std::string stream = kGet + kChunkedHead + "3\r\n900\r\n8\r\n Success\r\n0\r\n\r\n" + kGet;
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ReceiveBuffer buffer;
        const auto requests = assemble({stream.substr(0, cut), stream.substr(cut)}, buffer);
        ASSERT_EQ(requests, (std::vector<std::string>{kGet, kChunkedHead + "900 Success", kGet})) << "cut at " << cut;
        EXPECT_EQ(buffer.text(), "");
    }
    ReceiveBuffer dripped;
    std::vector<std::string> bytes;
    for (char c : stream)
        bytes.emplace_back(1, c);
    EXPECT_EQ(assemble(bytes, dripped).size(), 3u);
}

struct FramingCase {
    std::string data;
    Status status;
};

std::ostream& operator<<(std::ostream& out, const FramingCase& c)
{
    return out << testing::PrintToString(c.data.substr(0, 60)) << " (" << c.data.size() << " bytes)";
}

class FramingErrors : public testing::TestWithParam<FramingCase> {};

TEST_P(FramingErrors, AreReportedInsteadOfWaitingForever)
{
    ReceiveBuffer buffer;
    buffer.append(GetParam().data);
    EXPECT_EQ(buffer.takeRequest().status, GetParam().status);
}

// Trailer lines that add up to more than the body limit, and no blank line.
std::string manyTrailerLines()
{
    std::string trailers;
    while (trailers.size() <= static_cast<std::size_t>(ReceiveBuffer::kMaxBodyBytes))
        trailers += "X: " + std::string(1000, 'y') + "\r\n";
    return trailers;
}

std::string withLength(const std::string& value)
{
    return "POST / HTTP/1.0\r\nContent-Length:" + value + "\r\n\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FramingErrors,
    testing::Values(FramingCase{std::string(ReceiveBuffer::kMaxHeaderBytes, 'x'), Status::HeaderTooLarge},
                    FramingCase{"GET / HTTP/1.0\r\nX: " + std::string(ReceiveBuffer::kMaxHeaderBytes, 'x') + "\r\n\r\n",
                                Status::HeaderTooLarge},
                    FramingCase{withLength("1048577"), Status::BodyTooLarge},
                    FramingCase{withLength(""), Status::BadContentLength},
                    FramingCase{withLength("-1"), Status::BadContentLength},
                    FramingCase{withLength("1.5"), Status::BadContentLength},
                    FramingCase{withLength("abc"), Status::BadContentLength},
                    FramingCase{withLength("2147483648"), Status::BadContentLength},
                    FramingCase{"POST / HTTP/1.0\r\nContent-Length : 1x\r\n\r\n", Status::BadContentLength},
                    FramingCase{kChunkedHead + "x\r\n", Status::BadChunkedBody},
                    FramingCase{kChunkedHead + "\r\n", Status::BadChunkedBody},
                    FramingCase{kChunkedHead + "3 x\r\n", Status::BadChunkedBody},
                    FramingCase{kChunkedHead + "-1\r\n", Status::BadChunkedBody},
                    // The chunk's bytes must end with CR LF, not run on.
                    FramingCase{kChunkedHead + "1\r\nab\r\n", Status::BadChunkedBody},
                    FramingCase{kChunkedHead + "1\r\na\n0\r\n\r\n", Status::BadChunkedBody},
                    FramingCase{kChunkedHead + std::string(5000, '0') + "\r\n", Status::BadChunkedBody},
                    // The limit counts the body as sent: its size is refused before its bytes come.
                    FramingCase{kChunkedHead + "100000\r\n", Status::BodyTooLarge},
                    FramingCase{kChunkedHead + "FFFFFFFFFFFFFFFFFFFFFFFF\r\n", Status::BodyTooLarge},
                    FramingCase{kChunkedHead + "0\r\n" + manyTrailerLines(), Status::BodyTooLarge},
                    FramingCase{kChunkedHead + "FFFF0\r\n", Status::Incomplete},
                    // Just under the limits is fine.
                    FramingCase{withLength("1048576"), Status::Incomplete},
                    FramingCase{std::string(ReceiveBuffer::kMaxHeaderBytes - 1, 'x'), Status::Incomplete}));

// The framing and the message object read the length by one rule: where the
// framing ends a request, importing it takes exactly the bytes after the
// blank line as its body, and a length the framing refuses, import refuses too.
class OneLengthRule : public testing::TestWithParam<std::string> {};

TEST_P(OneLengthRule, FramingAndImportAgreeOnTheBody)
{
    const std::string header = "POST / HTTP/1.0\r\n" + GetParam();
    ReceiveBuffer buffer;
    buffer.append(header + "\r\n\r\nabcdef");
    const ReceiveBuffer::Result framed = buffer.takeRequest();
    clsHttp message;
    if (framed.status != Status::Complete) {
        EXPECT_EQ(framed.status, Status::BadContentLength);
        EXPECT_FALSE(message.importMessage(header + "\r\n\r\nabcdef"));
        return;
    }
    const std::string body = framed.request.substr(header.size() + 4);
    // Import without a field keeps no body of its own; the framing took none.
    if (!message.importMessage(framed.request)) {
        EXPECT_EQ(body, "");
        return;
    }
    EXPECT_EQ(message.Data(), body);
}

INSTANTIATE_TEST_SUITE_P(FieldLines, OneLengthRule,
                         testing::Values("Content-Length: 2", "content-length:3 ", "X-Content-Length: 2",
                                         "Via: x\r\nContent-Length: 4", "Content-Length : 2", "Content-Length: 2.5",
                                         "Content-Length: +1", "Content-Length:", "Content-Length: 1, 1"),
                         [](const auto& info) { return "Line" + std::to_string(info.index); });

} // namespace
