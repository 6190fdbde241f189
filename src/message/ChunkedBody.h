#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::string_view kTransferEncoding = "Transfer-Encoding";

// Whether a request's header text (up to its blank line) frames the body in
// chunks: the last coding its Transfer-Encoding field names is "chunked".
// The request line is no field; the last field of the name counts.
[[nodiscard]] bool isChunked(std::string_view header);
// Whether a Transfer-Encoding value ends with the coding "chunked".
[[nodiscard]] bool isChunkedCoding(std::string_view codings);

// A request body sent in chunks, as phones often send their install reports:
// each chunk is its size in hexadecimal on a line of its own (anything after
// a ";" ignored), its bytes and CR LF; a chunk of size 0 ends the body, after
// trailer lines that are skipped up to a blank line. A chunk line longer
// than 4 KiB makes the body malformed.
//
// The body is decoded as it arrives: every call picks up where the last one
// stopped, so a body that trickles in is not read again from its start.
class ChunkedBody {
public:
    enum class Status {
        Incomplete, // wait for more data
        Complete,
        Malformed,
        TooLarge, // the body as sent, chunk lines included, goes past the limit
    };

    explicit ChunkedBody(std::size_t maxBytes)
        : m_maxBytes(maxBytes)
    {
    }

    // `received` is every byte that arrived after the header's blank line,
    // the ones seen before included.
    [[nodiscard]] Status decode(std::string_view received);

    // Once Complete: how many bytes of `received` the body took, and what
    // it carries.
    [[nodiscard]] std::size_t size() const { return m_position; }
    [[nodiscard]] std::string takeData() { return std::move(m_data); }

private:
    enum class Step { SizeLine, Data, DataEnd, Trailer, Done };

    // The next line from m_position, or nothing yet; TooLarge or Malformed
    // when it cannot end well.
    [[nodiscard]] Status nextLine(std::string_view received, std::string_view& line);
    [[nodiscard]] Status readSizeLine(std::string_view line);

    std::size_t m_maxBytes;
    Step m_step = Step::SizeLine;
    std::size_t m_position = 0;
    std::size_t m_chunkLeft = 0;
    std::string m_data;
};
