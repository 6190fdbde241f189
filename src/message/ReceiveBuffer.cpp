#include "ReceiveBuffer.h"

#include "AsciiText.h"
#include "ContentLength.h"
#include "clsHttp.h"

#include <optional>

void ReceiveBuffer::append(std::string_view data)
{
    m_text.append(data);
}

ReceiveBuffer::Result ReceiveBuffer::takeRequest()
{
    const std::string_view held = text();
    const auto blankLine = held.find(kBlankLine, m_searchFrom);
    if (blankLine == std::string_view::npos) {
        if (held.size() >= kMaxHeaderBytes)
            return {Status::HeaderTooLarge, {}};
        // The blank line may straddle this arrival and the next one.
        m_searchFrom = held.size() < kBlankLine.size() ? 0 : held.size() - (kBlankLine.size() - 1);
        return {};
    }
    const std::size_t headerSize = blankLine + kBlankLine.size();
    if (headerSize > kMaxHeaderBytes)
        return {Status::HeaderTooLarge, {}};
    m_searchFrom = blankLine;

    if (m_chunked || isChunked(held.substr(0, blankLine)))
        return takeChunkedRequest(headerSize);

    clsHttp header;
    header.m_MessageHeader = std::string(held.substr(0, blankLine));
    const std::optional<std::int32_t> bodySize = parseContentLength(header.getProperty("Content-Length"));
    if (!bodySize)
        return {Status::BadContentLength, {}};
    if (*bodySize > kMaxBodyBytes)
        return {Status::BodyTooLarge, {}};
    const std::size_t requestSize = headerSize + static_cast<std::size_t>(*bodySize);
    if (held.size() < requestSize)
        return {};

    Result result{Status::Complete, std::string(held.substr(0, requestSize))};
    cut(requestSize);
    return result;
}

ReceiveBuffer::Result ReceiveBuffer::takeChunkedRequest(std::size_t headerSize)
{
    if (!m_chunked)
        m_chunked.emplace(static_cast<std::size_t>(kMaxBodyBytes));
    const std::string_view held = text();
    switch (m_chunked->decode(held.substr(headerSize))) {
    case ChunkedBody::Status::Incomplete:
        return {};
    case ChunkedBody::Status::Malformed:
        return {Status::BadChunkedBody, {}};
    case ChunkedBody::Status::TooLarge:
        return {Status::BodyTooLarge, {}};
    case ChunkedBody::Status::Complete:
        break;
    }
    Result result{Status::Complete, std::string(held.substr(0, headerSize)) + m_chunked->takeData()};
    cut(headerSize + m_chunked->size());
    m_chunked.reset();
    return result;
}

void ReceiveBuffer::cut(std::size_t requestSize)
{
    m_start += requestSize;
    m_searchFrom = 0;
    if (m_start == m_text.size()) {
        // An idle connection should not keep the memory of its largest request.
        if (m_text.capacity() > kMaxHeaderBytes)
            std::string().swap(m_text);
        m_text.clear();
        m_start = 0;
    } else if (m_start > m_text.size() / 2) {
        m_text.erase(0, m_start);
        m_start = 0;
    }
}
