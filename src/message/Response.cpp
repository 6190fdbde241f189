#include "Response.h"

#include "clsHttp.h"

std::string BuildErrorPage(std::string_view message)
{
    std::string page = "<html><head><title>Error on Server</title></head><body>";
    page.append(message).append("</body></html>");
    return page;
}

std::string buildResponse(std::string_view statusLine, std::string_view mimeType, std::string body)
{
    clsHttp response;
    response.setStatusLine(std::string(statusLine));
    // Each field goes in front of the earlier ones: Content-type comes out first.
    response.addProperty("Server", kServerName);
    response.addProperty("Content-type", mimeType);
    response.Data(std::move(body));
    return response.getMessage();
}

std::string buildResponseHead(std::string_view statusLine, std::string_view mimeType, std::int64_t contentLength)
{
    // The message object counts the body it holds; this body is not held,
    // so its size takes the place of the 0 counted for an empty one.
    std::string head = buildResponse(statusLine, mimeType, {});
    constexpr std::string_view kEmptyLength = "\r\nContent-Length:0\r\n";
    head.replace(statusLine.size() + kEmptyLength.size() - 3, 1, std::to_string(contentLength));
    return head;
}
