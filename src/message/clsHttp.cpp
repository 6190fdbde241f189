#include "clsHttp.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::string_view kLineBreakEscape = "%10%13";
constexpr std::string_view kDefaultStatusLine = "HTTP/1.0 200 OK";

char lowered(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string toLower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), lowered);
    return result;
}

std::vector<std::string_view> splitLines(std::string_view text)
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

// Blanks are spaces only: a tab next to a value is part of it.
std::string_view trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (auto at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
        result.append(text.substr(start, at - start)).append(to);
        start = at + from.size();
    }
    result.append(text.substr(start));
    return result;
}

// Like replaceAll, but the search ignores letter case; the kept text keeps its own.
std::string replaceAllIgnoringCase(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    const std::string lowerText = toLower(text);
    const std::string lowerFrom = toLower(from);
    std::string result;
    std::size_t start = 0;
    for (auto at = lowerText.find(lowerFrom); at != std::string::npos; at = lowerText.find(lowerFrom, start)) {
        result.append(text.substr(start, at - start)).append(to);
        start = at + from.size();
    }
    result.append(text.substr(start));
    return result;
}

bool startsWithIgnoringCase(std::string_view line, std::string_view lowerPrefix)
{
    if (line.size() < lowerPrefix.size())
        return false;
    return std::equal(lowerPrefix.begin(), lowerPrefix.end(), line.begin(),
                      [](char p, char c) { return p == lowered(c); });
}

// A decimal number with an optional sign and fraction, rounded to a whole
// number with halves going to the even neighbour.
enum class NumberParse { Ok, NotANumber, OutOfRange };

NumberParse parseRoundedInt32(std::string_view text, std::int32_t& value)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    const auto isDigits = [](std::string_view s) { return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }); };
    if (whole.empty() && fraction.empty())
        return NumberParse::NotANumber;
    if (!isDigits(whole) || !isDigits(fraction))
        return NumberParse::NotANumber;

    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
    std::int64_t magnitude = 0;
    for (char digit : whole) {
        magnitude = magnitude * 10 + (digit - '0');
        if (magnitude > kLimit)
            return NumberParse::OutOfRange;
    }
    if (!fraction.empty()) {
        const bool aboveHalf = fraction[0] > '5'
            || (fraction[0] == '5' && fraction.find_first_not_of('0', 1) != std::string_view::npos);
        const bool exactlyHalf = fraction[0] == '5' && !aboveHalf;
        if (aboveHalf || (exactlyHalf && magnitude % 2 == 1))
            ++magnitude;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < std::numeric_limits<std::int32_t>::min() || signedValue > std::numeric_limits<std::int32_t>::max())
        return NumberParse::OutOfRange;
    value = static_cast<std::int32_t>(signedValue);
    return NumberParse::Ok;
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
    std::string message;
    const std::string length = std::to_string(m_MessageBody.size());
    message.reserve(m_statusLine.size() + length.size() + m_MessageHeader.size() + m_MessageBody.size() + 32);
    message.append(m_statusLine).append(kCrLf);
    message.append("Content-Length:").append(length).append(kCrLf);
    // An empty header text is left out rather than written as a stray empty line.
    if (!m_MessageHeader.empty())
        message.append(m_MessageHeader).append(kCrLf);
    message.append(kCrLf);
    message.append(m_MessageBody);
    return message;
}

bool clsHttp::importMessage(std::string_view strMessage)
{
    const auto lineEnd = strMessage.find(kCrLf);
    if (lineEnd == std::string_view::npos)
        throw std::invalid_argument("message holds no line end");

    // Every single blank separates two words, so two blanks in a row yield an
    // empty word; each word is stored before the next one is looked for.
    std::string_view rest = strMessage.substr(0, lineEnd);
    bool wordsLeft = true;
    for (std::string* word : {&m_Method, &m_destFile, &m_HTTPVer}) {
        if (!wordsLeft)
            throw std::out_of_range("request line has fewer than three words");
        const auto blank = rest.find(' ');
        *word = std::string(rest.substr(0, blank));
        wordsLeft = blank != std::string_view::npos;
        if (wordsLeft)
            rest.remove_prefix(blank + 1);
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
    const std::string lowerName = toLower(propertyName);
    for (std::string_view line : splitLines(m_MessageHeader)) {
        if (!startsWithIgnoringCase(line, lowerName))
            continue;
        // The name and the one character after it (normally the colon) go.
        line.remove_prefix(std::min(line.size(), lowerName.size() + 1));
        return replaceAll(trimBlanks(line), kLineBreakEscape, kCrLf);
    }
    return propertyName == "Content-Length" ? "0" : "";
}

void clsHttp::reSet()
{
    m_MessageHeader.clear();
    m_MessageBody.clear();
}

std::int32_t clsHttp::getContentLength(std::string_view headerText)
{
    constexpr std::string_view kKey = "content-length:";
    for (std::string_view line : splitLines(headerText)) {
        const auto at = toLower(line).find(kKey);
        if (at == std::string::npos)
            continue;
        std::int32_t value = 0;
        switch (parseRoundedInt32(trimBlanks(line.substr(at + kKey.size())), value)) {
        case NumberParse::Ok:
            return value;
        case NumberParse::NotANumber:
            return -1;
        case NumberParse::OutOfRange:
            return -2;
        }
    }
    return -1;
}
