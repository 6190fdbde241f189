// The message object on whatever bytes a peer may send: taken apart, looked
// up, extended and written out again.
//
// Input: the raw message, then a field name to look up, a field name to add
// and its value. The first three end at a single backslash (a doubled one
// stands for itself); a plain request holds none, so it is a seed as it is.

#include "clsHttp.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::string_view kLengthField = "Content-Length:";

// Kept in builds with NDEBUG, unlike assert.
void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "message_fuzzer: %s\n", what);
        std::abort();
    }
}

bool isWord(std::string_view word)
{
    return word.find(' ') == std::string_view::npos;
}

// Checks importMessage against what it promises its callers. The object
// holds a header and body beforehand, so that "keeps them" can be told from
// "clears them".
void importChecked(clsHttp& message, std::string_view raw)
{
    const std::string headerBefore = "X-Before:1";
    const std::string bodyBefore = "before";
    message.m_MessageHeader = headerBefore;
    message.m_MessageBody = bodyBefore;

    const auto lineEnd = raw.find(kCrLf);
    const std::string_view firstLine = raw.substr(0, lineEnd);
    const auto blanks = std::count(firstLine.begin(), firstLine.end(), ' ');

    bool imported = false;
    try {
        imported = message.importMessage(raw);
    } catch (const std::invalid_argument&) {
        require(lineEnd == std::string_view::npos, "invalid_argument for a message that holds a line end");
        return;
    } catch (const std::out_of_range&) {
        require(lineEnd != std::string_view::npos, "out_of_range for a message without a line end");
        require(blanks < 2, "out_of_range for a request line of three words");
        return;
    }
    require(lineEnd != std::string_view::npos, "a message without a line end was taken");
    require(blanks >= 2, "a request line of fewer than three words was taken");

    require(isWord(message.m_Method) && isWord(message.m_destFile) && isWord(message.m_HTTPVer),
            "a word of the request line holds a blank");
    const std::string words = message.m_Method + ' ' + message.m_destFile + ' ' + message.m_HTTPVer;
    require(firstLine.substr(0, words.size()) == words, "the words are not the start of the request line");
    require(words.size() == firstLine.size() || firstLine[words.size()] == ' ',
            "the version word stops short of a blank");

    if (!imported) {
        require(message.m_MessageHeader == headerBefore && message.m_MessageBody == bodyBefore,
                "a refused message changed the header or body");
        return;
    }
    const std::string& header = message.m_MessageHeader;
    const std::string& body = message.m_MessageBody;
    require(header.find(kBlankLine) == std::string::npos, "the header runs past the first blank line");
    const std::string framed = header + std::string(kBlankLine) + body;
    require(raw.substr(0, framed.size()) == framed, "header, blank line and body are not the start of the message");
}

// What a client relies on: the announced length is the body's, and the body
// is what follows the first blank line and ends the message. `fieldsOnly`
// says the header was built by addProperty alone, as for every response.
void checkWritten(const clsHttp& message, bool fieldsOnly)
{
    const std::string text = message.getMessage();
    const std::string& body = message.m_MessageBody;

    const std::string lengthLineStart = message.statusLine() + std::string(kCrLf) + std::string(kLengthField);
    require(text.starts_with(lengthLineStart), "Content-Length is not the line after the status line");
    const auto valueEnd = text.find(kCrLf, lengthLineStart.size());
    require(valueEnd != std::string::npos, "the Content-Length line has no end");
    const std::string value = text.substr(lengthLineStart.size(), valueEnd - lengthLineStart.size());
    require(value == std::to_string(body.size()), "Content-Length differs from the body size");
    require(text.size() >= valueEnd + 2 * kCrLf.size() + body.size(), "the message is shorter than its parts");
    require(text.ends_with(body), "the message does not end with the body");

    // A header text with an empty line of its own ends the header early for
    // a client. Imported text and arbitrary field names can hold one; fields
    // added under fixed names never may, whatever their values.
    const std::string& header = message.m_MessageHeader;
    const bool headerHasEmptyLine = header.find(kBlankLine) != std::string::npos || header.starts_with(kCrLf)
        || header.ends_with(kCrLf);
    require(!(fieldsOnly && headerHasEmptyLine), "a field value broke the header with an empty line");
    if (!headerHasEmptyLine) {
        const auto blankLine = text.find(kBlankLine, valueEnd);
        require(blankLine != std::string::npos, "no blank line after Content-Length");
        require(text.size() - (blankLine + kBlankLine.size()) == body.size(),
                "the bytes after the first blank line are not the announced length");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string raw = input.ConsumeRandomLengthString();
    const std::string lookupName = input.ConsumeRandomLengthString();
    const std::string addName = input.ConsumeRandomLengthString();
    const std::string addValue = input.ConsumeRemainingBytesAsString();

    clsHttp message;
    importChecked(message, raw);
    checkWritten(message, false);

    (void)message.getProperty(lookupName);
    (void)message.getProperty("Content-Length");
    message.addProperty(addName, addValue);
    (void)message.getProperty(addName);
    checkWritten(message, false);

    // A message with a body and no fields at all.
    clsHttp bare;
    bare.Data(raw);
    checkWritten(bare, true);

    // The way every response is built: fields in front of an empty header.
    clsHttp response;
    response.addProperty("Server", addValue);
    response.addProperty("Content-type", lookupName);
    response.Data(raw);
    checkWritten(response, true);
    return 0;
}
