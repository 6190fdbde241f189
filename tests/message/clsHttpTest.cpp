#include "clsHttp.h"

#include "AsciiText.h"
#include "RequestHead.h"
#include "Response.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

struct LookupCase {
    const char* header;
    const char* name;
    const char* expected;
};

std::ostream& operator<<(std::ostream& out, const LookupCase& c)
{
    return out << testing::PrintToString(std::string(c.name)) << " in " << testing::PrintToString(std::string(c.header));
}

class FieldLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(FieldLookup, FindsTheFirstLineOfTheField)
{
    clsHttp message;
    message.m_MessageHeader = GetParam().header;
    EXPECT_EQ(message.getProperty(GetParam().name), GetParam().expected) << "header: " << GetParam().header;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldLookup,
    testing::Values(
        // Missing fields: "0" only for exactly "Content-Length".
        LookupCase{"", "Content-Length", "0"}, LookupCase{"", "content-length", ""}, LookupCase{"", "Server", ""},
        LookupCase{"Server:a", "Content-Length", "0"},
        // An empty value is not a missing field.
        LookupCase{"Content-Length:", "Content-Length", ""},
        LookupCase{"GET / HTTP/1.0\r\nContent-Length: 12", "content-length", "12"},
        // A name that only begins a line's name is another field.
        LookupCase{"Content-type:text/html", "Content", ""},
        LookupCase{"Server:a\r\nServer:b", "server", "a"},
        // Blanks are trimmed, tabs are not.
        LookupCase{"X:  \tv\t  ", "X", "\tv\t"},
        // The line-break escape comes back as CR LF.
        LookupCase{"X:a%10%13b", "X", "a\r\nb"},
        // A line shorter than the name never matches.
        LookupCase{"Ser", "Server", ""},
        // Only CR LF ends a line.
        LookupCase{"A:1\nServer:2", "Server", ""}));

// Every field the server reads, beside fields whose names begin with its
// own ("Accept-Charset" before "Accept"), in every order and letter case.
struct OrderCase {
    std::string name;
    std::string header;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const OrderCase& c)
{
    return out << c.name << " in " << testing::PrintToString(c.header);
}

std::string upperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::vector<OrderCase> headerOrders()
{
    const std::vector<std::pair<std::string, std::string>> fields = {
        {"Content-Length", "12"}, {"Host", "192.0.2.1:8080"}, {"Range", "bytes=0-99"},
        {"Accept", "text/vnd.wap.wml"}, {"User-Agent", "Nokia6300/2.0"}, {"x-wap-profile", "\"http://a/b.xml\""},
    };
    std::vector<OrderCase> cases;
    for (const auto& [name, value] : fields) {
        const std::string longer = name + "-Charset: utf-8";
        const std::string longerToo = name + "Extra:1";
        for (const std::string& spelled : {name, upperCase(name), asciiLowerCase(name)}) {
            const std::string field = spelled + ": " + value;
            cases.push_back({name, "GET / HTTP/1.0\r\n" + longer + "\r\n" + field, value});
            cases.push_back({name, field + "\r\n" + longer, value});
            cases.push_back({name, longer + "\r\n" + field + "\r\n" + longerToo, value});
            cases.push_back({name, longerToo + "\r\n" + spelled + " \t : " + value + " ", value});
            // A line with the name but no colon is no field; the next one is.
            cases.push_back({name, spelled + " " + value + "x\r\n" + field, value});
        }
        const std::string missing = name == "Content-Length" ? "0" : "";
        cases.push_back({name, longer + "\r\n" + longerToo, missing});
        cases.push_back({name, name + " " + value, missing});
    }
    return cases;
}

class FieldOrders : public testing::TestWithParam<OrderCase> {};

// The field as the server reads it from a request's header.
std::string readByTheServer(const RequestHead& head, const std::string& name)
{
    const std::map<std::string, const std::string*> fields = {
        {"Content-Length", &head.contentLength}, {"Host", &head.host}, {"Range", &head.range},
        {"Accept", &head.accept}, {"User-Agent", &head.userAgent}, {"x-wap-profile", &head.wapProfile}};
    return *fields.at(name);
}

TEST_P(FieldOrders, FindTheWholeNameOnly)
{
    clsHttp message;
    message.m_MessageHeader = GetParam().header;
    EXPECT_EQ(message.getProperty(GetParam().name), GetParam().expected);
    EXPECT_EQ(readByTheServer(readRequestHead(GetParam().header), GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(EveryFieldTheServerReads, FieldOrders, testing::ValuesIn(headerOrders()));

TEST(ImportMessage, FramesTheBodyByContentLengthNotByAFieldNamedLikeIt)
{
    clsHttp message;
    EXPECT_TRUE(message.importMessage("POST /p HTTP/1.0\r\nContent-Length-X: 1\r\ncontent-length : 3\r\n\r\nabcdef"));
    EXPECT_EQ(message.m_MessageBody, "abc");
}

TEST(AddProperty, PutsNewFieldsInFrontAndReplacesInPlace)
{
    clsHttp message;
    EXPECT_TRUE(message.addProperty("Server", "Corvelle Server"));
    EXPECT_EQ(message.m_MessageHeader, "Server:Corvelle Server");
    message.addProperty("Content-type", "text/html");
    EXPECT_EQ(message.m_MessageHeader, "Content-type:text/html\r\nServer:Corvelle Server");
    message.addProperty("server", "x");
    EXPECT_EQ(message.m_MessageHeader, "Content-type:text/html\r\nserver:x");
}

TEST(AddProperty, EscapesLineBreaksInValues)
{
    clsHttp message;
    message.addProperty("X", "a\r\nb\rc\nd");
    EXPECT_EQ(message.m_MessageHeader, "X:a%10%13b\rc\nd");
    EXPECT_EQ(message.getProperty("X"), "a\r\nb\rc\nd");
}

TEST(AddProperty, DropsEmptyFieldsOfTheSameName)
{
    clsHttp message;
    message.m_MessageHeader = "X:\r\nY:1";
    message.addProperty("x", "2");
    EXPECT_EQ(message.m_MessageHeader, "x:2\r\nY:1");
}

TEST(ImportMessage, StoresRequestLineWordsAndFramedBody)
{
    clsHttp message;
    EXPECT_TRUE(message.importMessage("POST /p HTTP/1.0\r\nContent-Length: 3\r\n\r\nabcdef"));
    EXPECT_EQ(message.m_Method, "POST");
    EXPECT_EQ(message.m_destFile, "/p");
    EXPECT_EQ(message.m_HTTPVer, "HTTP/1.0");
    EXPECT_EQ(message.m_MessageHeader, "POST /p HTTP/1.0\r\nContent-Length: 3");
    EXPECT_EQ(message.Data(), "abc");
}

struct ImportCase {
    const char* raw;
    const char* method;
    const char* path;
    const char* version;
};

std::ostream& operator<<(std::ostream& out, const ImportCase& c)
{
    return out << testing::PrintToString(std::string(c.raw));
}

class ImportWithoutUsableLength : public testing::TestWithParam<ImportCase> {};

// Without a usable length the words are taken and header and body are kept.
TEST_P(ImportWithoutUsableLength, ReturnsFalseAndKeepsHeaderAndBody)
{
    clsHttp message;
    message.m_MessageHeader = "old header";
    message.Data("old body");
    EXPECT_FALSE(message.importMessage(GetParam().raw)) << GetParam().raw;
    EXPECT_EQ(message.m_Method, GetParam().method);
    EXPECT_EQ(message.m_destFile, GetParam().path);
    EXPECT_EQ(message.m_HTTPVer, GetParam().version);
    EXPECT_EQ(message.m_MessageHeader, "old header");
    EXPECT_EQ(message.Data(), "old body");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportWithoutUsableLength,
    testing::Values(ImportCase{"GET /a.jad HTTP/1.0\r\nHost: x\r\n\r\n", "GET", "/a.jad", "HTTP/1.0"},
                    ImportCase{"GET /a HTTP/1.0\r\nContent-Length: 5\r\n\r\nabc", "GET", "/a", "HTTP/1.0"},
                    ImportCase{"GET /a HTTP/1.0\r\nHost: x", "GET", "/a", "HTTP/1.0"},
                    ImportCase{"GET  /a HTTP/1.0\r\n\r\n", "GET", "", "/a"},
                    ImportCase{"GET /a HTTP/1.0 extra\r\n\r\n", "GET", "/a", "HTTP/1.0"},
                    ImportCase{"GET /a HTTP/1.0\r\nContent-Length: x\r\n\r\n", "GET", "/a", "HTTP/1.0"},
                    ImportCase{"GET /a HTTP/1.0\r\nContent-Length: 99999999999\r\n\r\n", "GET", "/a", "HTTP/1.0"},
                    ImportCase{"GET /a HTTP/1.0\r\nContent-Length: -1\r\n\r\n", "GET", "/a", "HTTP/1.0"}));

TEST(ImportMessage, FailsWithoutALineEnd)
{
    clsHttp message;
    message.m_Method = "kept";
    EXPECT_THROW(message.importMessage("GET / HTTP/1.0"), std::invalid_argument);
    EXPECT_EQ(message.m_Method, "kept");
}

TEST(ImportMessage, StoresTheWordsBeforeTheMissingOne)
{
    clsHttp message;
    EXPECT_THROW(message.importMessage("GET /a.jad\r\n\r\n"), std::out_of_range);
    EXPECT_EQ(message.m_Method, "GET");
    EXPECT_EQ(message.m_destFile, "/a.jad");
    EXPECT_EQ(message.m_HTTPVer, "");
}

struct LengthCase {
    const char* value;
    const char* body; // what import takes, or nullptr when it refuses
};

std::ostream& operator<<(std::ostream& out, const LengthCase& c)
{
    return out << testing::PrintToString(std::string(c.value));
}

class ContentLengthValues : public testing::TestWithParam<LengthCase> {};

TEST_P(ContentLengthValues, AreWholeNumbersOfDigitsWithin32Bits)
{
    clsHttp message;
    const std::string raw = std::string("P / HTTP/1.0\r\ncontent-LENGTH:") + GetParam().value + "\r\n\r\nabcdef";
    const bool imported = message.importMessage(raw);
    EXPECT_EQ(imported, GetParam().body != nullptr) << GetParam().value;
    if (imported) {
        EXPECT_EQ(message.Data(), GetParam().body) << GetParam().value;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ContentLengthValues,
                         testing::Values(LengthCase{" 2 ", "ab"}, LengthCase{"0", ""}, LengthCase{"006", "abcdef"},
                                         LengthCase{"2.5", nullptr}, LengthCase{"+1", nullptr},
                                         LengthCase{"-0", nullptr}, LengthCase{".5", nullptr}, LengthCase{"", nullptr},
                                         LengthCase{"1e1", nullptr}, LengthCase{"\t1", nullptr},
                                         LengthCase{"1 2", nullptr}, LengthCase{"2147483648", nullptr},
                                         LengthCase{"7", nullptr}));

TEST(GetMessage, LaysOutStatusLengthFieldsBlankLineAndBody)
{
    clsHttp message;
    message.addProperty("Server", "Corvelle Server");
    message.addProperty("Content-type", "text/html");
    message.Data("abc");
    EXPECT_EQ(message.getMessage(),
              "HTTP/1.0 200 OK\r\nContent-Length:3\r\nContent-type:text/html\r\nServer:Corvelle Server\r\n\r\nabc");
}

TEST(GetMessage, CountsEveryByteOfTheBody)
{
    clsHttp message;
    message.addProperty("Server", "Corvelle Server");
    std::string body;
    for (int byte = 0; byte < 256; ++byte)
        body.push_back(static_cast<char>(byte));
    message.Data(body);
    EXPECT_EQ(message.getMessage(), "HTTP/1.0 200 OK\r\nContent-Length:256\r\nServer:Corvelle Server\r\n\r\n" + body);
}

TEST(GetMessage, LeavesOutAnEmptyHeaderAndCarriesAnotherStatus)
{
    clsHttp message;
    message.setStatusLine("HTTP/1.0 404 Not Found");
    EXPECT_EQ(message.getMessage(), "HTTP/1.0 404 Not Found\r\nContent-Length:0\r\n\r\n");
}

TEST(ReSet, ClearsHeaderAndBodyOnly)
{
    clsHttp message;
    ASSERT_TRUE(message.importMessage("GET /a HTTP/1.0\r\nContent-Length: 1\r\n\r\nx"));
    message.reSet();
    EXPECT_EQ(message.m_MessageHeader, "");
    EXPECT_EQ(message.Data(), "");
    EXPECT_EQ(message.m_Method, "GET");
    EXPECT_EQ(message.m_destFile, "/a");
}

// The head of a file sent from elsewhere is the head buildResponse writes
// before the same body, to the byte, whatever the type.
class ResponseHead : public testing::TestWithParam<const char*> {};

TEST_P(ResponseHead, IsTheHeadOfTheWholeResponse)
{
    const std::string body = "<html>0123456789</html>";
    for (const std::string_view status : {status::kOk, status::kNotFound}) {
        EXPECT_EQ(buildResponseHead(status, GetParam(), static_cast<std::int64_t>(body.size())) + body,
                  buildResponse(status, GetParam(), body));
    }
}

INSTANTIATE_TEST_SUITE_P(Types, ResponseHead,
                         testing::Values("text/vnd.sun.j2me.app-descriptor", "application/java-archive", "text/html",
                                         "", "text/html\r\nSet-Cookie: x", "a\nb"));

} // namespace
