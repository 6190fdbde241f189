#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace status {
inline constexpr std::string_view kOk = "HTTP/1.0 200 OK";
inline constexpr std::string_view kPartialContent = "HTTP/1.0 206 Partial Content";
inline constexpr std::string_view kBadRequest = "HTTP/1.0 400 Bad Request";
inline constexpr std::string_view kNotFound = "HTTP/1.0 404 Not Found";
inline constexpr std::string_view kRangeNotSatisfiable = "HTTP/1.0 416 Range Not Satisfiable";
inline constexpr std::string_view kServerError = "HTTP/1.0 500 Internal Server Error";
} // namespace status

inline constexpr std::string_view kServerName = "Corvelle Server";
inline constexpr std::string_view kNotFoundMessage = "Sorry! File not found.";
inline constexpr std::string_view kBadRequestMessage = "Sorry! Bad request.";
inline constexpr std::string_view kUnreadableMessage = "Sorry! File could not be read.";

// The small HTML page that carries an error message, on one line.
[[nodiscard]] std::string BuildErrorPage(std::string_view message);

// The full text of a response: status line, Content-Length, Content-type,
// Server, Content-Range when one is given, a blank line and the body.
[[nodiscard]] std::string buildResponse(std::string_view statusLine, std::string_view mimeType, std::string body,
                                        std::string_view contentRange = {});

// The same text up to and including the blank line, for a body of
// `contentLength` bytes that is sent after it from elsewhere.
[[nodiscard]] std::string buildResponseHead(std::string_view statusLine, std::string_view mimeType,
                                            std::int64_t contentLength, std::string_view contentRange = {});
