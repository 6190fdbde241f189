#include "RequestHead.h"

#include "AsciiText.h"
#include "ChunkedBody.h"
#include "HeaderField.h"

#include <optional>

namespace {

// Takes the line's value for `field` when the line is that field and the field was not met before.
bool takeFirst(std::string_view line, std::string_view name, std::string& field, bool& met)
{
    if (met)
        return false;
    const std::optional<std::string_view> value = fieldLineValue(line, name);
    if (!value)
        return false;
    field = headerFieldValue(*value);
    met = true;
    return true;
}

} // namespace

RequestLine splitRequestLine(std::string_view line)
{
    RequestLine result;
    for (std::string_view& word : result.words) {
        const auto blank = line.find(' ');
        word = line.substr(0, blank);
        ++result.count;
        if (blank == std::string_view::npos)
            break;
        line.remove_prefix(blank + 1);
    }
    return result;
}

RequestHead readRequestHead(std::string_view header)
{
    RequestHead head;
    const auto lineEnd = header.find(kCrLf);
    const RequestLine requestLine = splitRequestLine(header.substr(0, lineEnd));
    head.method = requestLine.words[0];
    head.path = requestLine.words[1];
    head.version = requestLine.words[2];
    head.hasRequestLine = requestLine.count == 3;

    bool length = false, host = false, range = false, accept = false, userAgent = false, wapProfile = false;
    std::string_view codings;
    // Fields are looked for from the request line on, as the message object
    // looks; the coding, as the framing reads it, from the line after it.
    std::string_view rest = header;
    for (bool requestLineSeen = false;; requestLineSeen = true) {
        const auto end = rest.find(kCrLf);
        const std::string_view line = rest.substr(0, end);
        const std::optional<std::string_view> coding =
            requestLineSeen ? fieldLineValue(line, kTransferEncoding) : std::nullopt;
        if (coding)
            codings = *coding;
        else
            takeFirst(line, "Content-Length", head.contentLength, length) || takeFirst(line, "Host", head.host, host) ||
                takeFirst(line, "Range", head.range, range) || takeFirst(line, "Accept", head.accept, accept) ||
                takeFirst(line, "User-Agent", head.userAgent, userAgent) ||
                takeFirst(line, "x-wap-profile", head.wapProfile, wapProfile);
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + kCrLf.size());
    }
    head.chunked = isChunkedCoding(codings);
    return head;
}
