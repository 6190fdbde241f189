#pragma once

#include "ChunkedBody.h"
#include "RequestHead.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a connection has received and not yet handed on as a request. A
// request is complete at the first blank line plus as many body bytes as its
// Content-Length field announces (none without the field), or, when its
// Transfer-Encoding is chunked, at the end of its chunked body.
class ReceiveBuffer {
public:
    // Limits that keep one peer from growing its buffer without end.
    static constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
    static constexpr std::int64_t kMaxBodyBytes = 1024 * 1024;

    enum class Status {
        Incomplete,       // wait for more data
        Complete,         // `request` holds the request, already cut from the buffer
        HeaderTooLarge,   // no blank line within kMaxHeaderBytes
        BodyTooLarge,     // Content-Length above kMaxBodyBytes
        BadContentLength, // empty, not a whole number, negative or beyond 32 bits
        BadChunkedBody,   // a chunked body that breaks the chunk format
    };

    struct Result {
        Status status = Status::Incomplete;
        // The header through its blank line, then the body: a chunked body
        // decoded, the header left as it came.
        std::string request;
        // What the server reads of the header, read once as it was framed.
        RequestHead head;
        // Where the body begins in `request`.
        std::size_t bodyStart = 0;

        [[nodiscard]] std::string_view body() const { return std::string_view(request).substr(bodyStart); }
    };

    void append(std::string_view data);

    // Cuts the first complete request from the front of the buffer. A framing
    // error leaves the buffer as it was: the connection cannot be read on.
    [[nodiscard]] Result takeRequest();

    [[nodiscard]] std::string_view text() const { return std::string_view(m_text).substr(m_start); }

private:
    [[nodiscard]] Result takeChunkedRequest(std::size_t headerSize);
    // Hands on the request's bytes from the front of the buffer.
    void cut(std::size_t requestSize);

    std::string m_text;
    // Bytes before m_start were handed on already; they go when it pays.
    std::size_t m_start = 0;
    // Where, counted from m_start, the search for the blank line picks up,
    // so that a request arriving in many pieces is not searched from the
    // beginning every time.
    std::size_t m_searchFrom = 0;
    // The header of the request at the front, once its blank line arrived.
    std::optional<RequestHead> m_head;
    // The chunked body of the request at the front, as far as it arrived.
    std::optional<ChunkedBody> m_chunked;
};
