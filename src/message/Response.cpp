#include "Response.h"

#include "clsHttp.h"

std::string BuildErrorPage(std::string_view message)
{
    std::string page = "<html><head><title>Error on Server</title></head><body>";
    page.append(message).append("</body></html>");
    return page;
}

namespace {

bool holdsLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

clsHttp responseHeader(std::string_view statusLine, std::string_view mimeType, std::string_view contentRange)
{
    clsHttp response;
    response.setStatusLine(std::string(statusLine));
    // Every answer a busy server sends has these fields: written as adding
    // them to an empty header would write them, without the editor's search
    // and replace, they cost a quarter less of the server's own work. A
    // value with a line break takes the editor's escaping.
    if (!holdsLineBreak(mimeType) && !holdsLineBreak(contentRange)) {
        std::string& header = response.m_MessageHeader;
        header.reserve(mimeType.size() + kServerName.size() + contentRange.size() + 48);
        header.append("Content-type:").append(mimeType).append("\r\nServer:").append(kServerName);
        if (!contentRange.empty())
            header.append("\r\nContent-Range:").append(contentRange);
        return response;
    }
    // Each field goes in front of the earlier ones: Content-type comes out first.
    if (!contentRange.empty())
        response.addProperty("Content-Range", contentRange);
    response.addProperty("Server", kServerName);
    response.addProperty("Content-type", mimeType);
    return response;
}

} // namespace

std::string buildResponse(std::string_view statusLine, std::string_view mimeType, std::string body,
                          std::string_view contentRange)
{
    clsHttp response = responseHeader(statusLine, mimeType, contentRange);
    response.Data(std::move(body));
    return response.getMessage();
}

std::string buildResponseHead(std::string_view statusLine, std::string_view mimeType, std::int64_t contentLength,
                              std::string_view contentRange)
{
    return responseHeader(statusLine, mimeType, contentRange).getHead(contentLength);
}
