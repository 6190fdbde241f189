#include "WebText.h"

#include "HexDigit.h"

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

bool isUnreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~';
}

} // namespace

std::string escapeHtml(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string encodeUrlPath(std::string_view path)
{
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        if (isUnreserved(c) || c == '/') {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += kHexDigits[byte >> 4];
            encoded += kHexDigits[byte & 0xF];
        }
    }
    return encoded;
}

std::string decodeUrlPath(std::string_view path)
{
    std::string decoded;
    decoded.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && hexDigitValue(path[i + 1]) >= 0 && hexDigitValue(path[i + 2]) >= 0) {
            decoded += static_cast<char>(hexDigitValue(path[i + 1]) * 16 + hexDigitValue(path[i + 2]));
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    return decoded;
}
