#include "ChunkedBody.h"

#include "AsciiText.h"
#include "HeaderField.h"
#include "HexDigit.h"

#include <algorithm>

namespace {

// Chunk sizes and trailer lines are short; a longer line is no chunked body,
// and the cap keeps a line that trickles in from being searched at length.
constexpr std::size_t kMaxLineBytes = 4096;

} // namespace

bool isChunked(std::string_view header)
{
    std::string_view codings;
    for (auto lineEnd = header.find(kCrLf); lineEnd != std::string_view::npos;) {
        const std::size_t start = lineEnd + kCrLf.size();
        lineEnd = header.find(kCrLf, start);
        // Without a line end the rest is the last line: npos - start still reaches the end.
        if (const auto value = fieldLineValue(header.substr(start, lineEnd - start), kTransferEncoding))
            codings = *value;
    }
    return isChunkedCoding(codings);
}

bool isChunkedCoding(std::string_view codings)
{
    const auto comma = codings.rfind(',');
    return equalsIgnoringCase(trimBlanks(comma == std::string_view::npos ? codings : codings.substr(comma + 1)),
                              "chunked");
}

ChunkedBody::Status ChunkedBody::nextLine(std::string_view received, std::string_view& line)
{
    const std::string_view window = received.substr(0, m_position + kMaxLineBytes + kCrLf.size());
    const auto end = window.find(kCrLf, m_position);
    if (end == std::string_view::npos) {
        if (window.size() == m_position + kMaxLineBytes + kCrLf.size())
            return Status::Malformed;
        // Even a line end that arrives next would end the body past the limit.
        return received.size() >= m_maxBytes ? Status::TooLarge : Status::Incomplete;
    }
    if (end + kCrLf.size() > m_maxBytes)
        return Status::TooLarge;
    line = received.substr(m_position, end - m_position);
    m_position = end + kCrLf.size();
    return Status::Complete;
}

ChunkedBody::Status ChunkedBody::readSizeLine(std::string_view line)
{
    std::size_t digits = 0;
    std::size_t size = 0;
    for (; digits < line.size() && hexDigitValue(line[digits]) >= 0; ++digits) {
        size = size * 16 + static_cast<std::size_t>(hexDigitValue(line[digits]));
        // Past the limit already: more digits must not overflow the count.
        if (size > m_maxBytes)
            return Status::TooLarge;
    }
    const std::string_view rest = trimBlanks(line.substr(digits));
    if (digits == 0 || !(rest.empty() || rest.front() == ';'))
        return Status::Malformed;
    if (m_position + size + kCrLf.size() > m_maxBytes)
        return Status::TooLarge;
    m_chunkLeft = size;
    m_step = size == 0 ? Step::Trailer : Step::Data;
    return Status::Incomplete;
}

ChunkedBody::Status ChunkedBody::decode(std::string_view received)
{
    for (;;) {
        std::string_view line;
        switch (m_step) {
        case Step::SizeLine: {
            if (const Status status = nextLine(received, line); status != Status::Complete)
                return status;
            if (const Status status = readSizeLine(line); status != Status::Incomplete)
                return status;
            break;
        }
        case Step::Data: {
            const std::size_t available = std::min(m_chunkLeft, received.size() - m_position);
            m_data.append(received.substr(m_position, available));
            m_position += available;
            m_chunkLeft -= available;
            if (m_chunkLeft > 0)
                return Status::Incomplete;
            m_step = Step::DataEnd;
            break;
        }
        case Step::DataEnd: {
            const std::string_view end = received.substr(m_position, kCrLf.size());
            if (!kCrLf.starts_with(end))
                return Status::Malformed;
            if (end.size() < kCrLf.size())
                return Status::Incomplete;
            m_position += kCrLf.size();
            m_step = Step::SizeLine;
            break;
        }
        case Step::Trailer:
            if (const Status status = nextLine(received, line); status != Status::Complete)
                return status;
            if (line.empty())
                m_step = Step::Done;
            break;
        case Step::Done:
            return Status::Complete;
        }
    }
}
