#include "Response.h"

#include "clsHttp.h"

std::string BuildErrorPage(std::string_view message)
{
    std::string page = "<html><head><title>Error on Server</title></head><body>";
    page.append(message).append("</body></html>");
    return page;
}

namespace {

clsHttp responseHeader(std::string_view statusLine, std::string_view mimeType, std::string_view contentRange)
{
    clsHttp response;
    response.setStatusLine(std::string(statusLine));
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
