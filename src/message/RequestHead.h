#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The words of a request line, split at every single blank, so that two
// blanks in a row make an empty word; words past the third are ignored.
struct RequestLine {
    std::array<std::string_view, 3> words{};
    // How many of the three were there.
    std::size_t count = 0;
};
[[nodiscard]] RequestLine splitRequestLine(std::string_view line);

// What the server reads of a request's header, taken in one walk over its
// lines: the request line, the framing fields and the fields that shape an
// answer. A field is its first line, found and read as clsHttp::getProperty
// finds and reads it; a missing one is empty.
struct RequestHead {
    std::string method;
    std::string path;
    std::string version;
    // The request line has its three words.
    bool hasRequestLine = false;

    // "0" when the field is missing, as the message object reads it.
    std::string contentLength = "0";
    // The body comes in chunks: the last coding of the last Transfer-Encoding is "chunked".
    bool chunked = false;

    std::string host;       // this server as the phone names it
    std::string range;      // the part of a file wanted
    std::string accept;     // the markups the browser reads
    std::string userAgent;  // the phone's maker, model and platform
    std::string wapProfile; // x-wap-profile: the phone's device profile
};

// `header` is the request up to its blank line, without it.
[[nodiscard]] RequestHead readRequestHead(std::string_view header);
