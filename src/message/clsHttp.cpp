#include "clsHttp.h"

#include "AsciiText.h"
#include "ContentLength.h"
#include "HeaderField.h"
#include "RequestHead.h"

#include <optional>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::string_view kDefaultStatusLine = "HTTP/1.0 200 OK";

std::vector<std::string_view> splitHeaderLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    if (text.empty())
        return lines;
    for (;;) {
        const auto end = text.find(kCrLf);
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return lines;
        text.remove_prefix(end + kCrLf.size());
    }
}

// Like replaceAll, but the search ignores letter case; the kept text keeps its own.
std::string replaceAllIgnoringCase(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    const std::string lowerText = asciiLowerCase(text);
    const std::string lowerFrom = asciiLowerCase(from);
    std::string result;
    std::size_t start = 0;
    for (auto at = lowerText.find(lowerFrom); at != std::string::npos; at = lowerText.find(lowerFrom, start)) {
        result.append(text.substr(start, at - start)).append(to);
        start = at + from.size();
    }
    result.append(text.substr(start));
    return result;
}

// The value of the first line of the field `propertyName`. Nothing when no
// line is that field.
std::optional<std::string> fieldValue(std::string_view headerText, std::string_view propertyName)
{
    for (std::string_view line : splitHeaderLines(headerText)) {
        if (const std::optional<std::string_view> value = fieldLineValue(line, propertyName))
            return headerFieldValue(*value);
    }
    return std::nullopt;
}

} // namespace

clsHttp::clsHttp()
    : m_statusLine(kDefaultStatusLine)
{
    reSet();
}

bool clsHttp::addProperty(std::string_view propertyName, std::string_view propertyValue)
{
    const std::string newLine = std::string(propertyName) + ":" + replaceAll(propertyValue, kCrLf, kLineBreakEscape);
    const std::string currentValue = getProperty(propertyName);
    if (!currentValue.empty()) {
        m_MessageHeader = replaceAllIgnoringCase(m_MessageHeader, std::string(propertyName) + ":" + currentValue, newLine);
        return true;
    }
    // Empty fields of that name go before the new one is put in front.
    m_MessageHeader = replaceAllIgnoringCase(m_MessageHeader, std::string(propertyName) + ":" + std::string(kCrLf), "");
    m_MessageHeader = m_MessageHeader.empty() ? newLine : newLine + std::string(kCrLf) + m_MessageHeader;
    return true;
}

std::string clsHttp::getMessage() const
{
    return getHead(static_cast<std::int64_t>(m_MessageBody.size()), m_MessageBody.size()).append(m_MessageBody);
}

std::string clsHttp::getHead(std::int64_t contentLength, std::size_t roomAfter) const
{
    std::string head;
    const std::string length = std::to_string(contentLength);
    head.reserve(m_statusLine.size() + length.size() + m_MessageHeader.size() + roomAfter + 32);
    head.append(m_statusLine).append(kCrLf);
    head.append("Content-Length:").append(length).append(kCrLf);
    // An empty header text is left out rather than written as a stray empty line.
    if (!m_MessageHeader.empty())
        head.append(m_MessageHeader).append(kCrLf);
    head.append(kCrLf);
    return head;
}

bool clsHttp::importMessage(std::string_view strMessage)
{
    const auto lineEnd = strMessage.find(kCrLf);
    if (lineEnd == std::string_view::npos)
        throw std::invalid_argument("message holds no line end");

    // Each word is stored before the next one is found missing.
    const RequestLine line = splitRequestLine(strMessage.substr(0, lineEnd));
    std::string* const words[] = {&m_Method, &m_destFile, &m_HTTPVer};
    for (std::size_t i = 0; i < line.words.size(); ++i) {
        if (i == line.count)
            throw std::out_of_range("request line has fewer than three words");
        *words[i] = std::string(line.words[i]);
    }

    const auto headerEnd = strMessage.find(kBlankLine);
    if (headerEnd == std::string_view::npos)
        return false;
    const std::string_view header = strMessage.substr(0, headerEnd);
    const std::int32_t length = getContentLength(header);
    if (length < 0)
        return false;
    const std::string_view body = strMessage.substr(headerEnd + kBlankLine.size(), static_cast<std::size_t>(length));
    if (body.size() != static_cast<std::size_t>(length))
        return false;
    m_MessageHeader = std::string(header);
    m_MessageBody = std::string(body);
    return true;
}

std::string clsHttp::getProperty(std::string_view propertyName) const
{
    if (auto value = fieldValue(m_MessageHeader, propertyName))
        return std::move(*value);
    return propertyName == "Content-Length" ? "0" : "";
}

void clsHttp::reSet()
{
    m_MessageHeader.clear();
    m_MessageBody.clear();
}

std::int32_t clsHttp::getContentLength(std::string_view headerText)
{
    const std::optional<std::string> value = fieldValue(headerText, "Content-Length");
    if (!value)
        return -1;
    return parseContentLength(*value).value_or(-1);
}
