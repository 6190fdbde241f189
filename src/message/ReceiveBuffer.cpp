#include "ReceiveBuffer.h"

#include "AsciiText.h"
#include "ContentLength.h"

#include <optional>

namespace {

ReceiveBuffer::Result failed(ReceiveBuffer::Status status)
{
    ReceiveBuffer::Result result;
    result.status = status;
    return result;
}

} // namespace

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
            return failed(Status::HeaderTooLarge);
        // The blank line may straddle this arrival and the next one.
        m_searchFrom = held.size() < kBlankLine.size() ? 0 : held.size() - (kBlankLine.size() - 1);
        return {};
    }
    const std::size_t headerSize = blankLine + kBlankLine.size();
    if (headerSize > kMaxHeaderBytes)
        return failed(Status::HeaderTooLarge);
    m_searchFrom = blankLine;

    // The header is read once, however many arrivals its body takes.
    if (!m_head)
        m_head = readRequestHead(held.substr(0, blankLine));
    if (m_head->chunked)
        return takeChunkedRequest(headerSize);

    const std::optional<std::int32_t> bodySize = parseContentLength(m_head->contentLength);
    if (!bodySize)
        return failed(Status::BadContentLength);
    if (*bodySize > kMaxBodyBytes)
        return failed(Status::BodyTooLarge);
    const std::size_t requestSize = headerSize + static_cast<std::size_t>(*bodySize);
    if (held.size() < requestSize)
        return {};

    Result result{Status::Complete, std::string(held.substr(0, requestSize)), std::move(*m_head), headerSize};
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
        return failed(Status::BadChunkedBody);
    case ChunkedBody::Status::TooLarge:
        return failed(Status::BodyTooLarge);
    case ChunkedBody::Status::Complete:
        break;
    }
    Result result{Status::Complete, std::string(held.substr(0, headerSize)) + m_chunked->takeData(),
                  std::move(*m_head), headerSize};
    cut(headerSize + m_chunked->size());
    m_chunked.reset();
    return result;
}

void ReceiveBuffer::cut(std::size_t requestSize)
{
    m_start += requestSize;
    m_searchFrom = 0;
    m_head.reset();
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
