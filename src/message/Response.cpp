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
    return responseHeader(statusLine, mimeType).getHead(contentLength);
}
