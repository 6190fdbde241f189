#include "ActivityLog.h"

#include <array>
#include <cstdio>

namespace {
constexpr std::size_t kAddressWidth = 15; // "255.255.255.255"
}

std::tm SystemClock::localNow() const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string formatLogEntry(const std::tm& time, std::string_view peerAddress, std::string_view message)
{
    std::array<char, 64> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "# %02d-%02d-%02d %02d:%02d:%02d # - ", time.tm_mday, time.tm_mon + 1,
                  (time.tm_year + 1900) % 100, time.tm_hour, time.tm_min, time.tm_sec);
    std::string entry(stamp.data());
    if (peerAddress.size() < kAddressWidth)
        entry.append(kAddressWidth - peerAddress.size(), ' ');
    entry.append(peerAddress).append(" - ").append(message).append("\r\n");
    return entry;
}

namespace {

struct Utf8Sequence {
    std::size_t length = 0; // 0: the bytes at the front are not well-formed UTF-8
    char32_t codePoint = 0;
};

// The well-formed UTF-8 sequence at the front of text. Overlong forms,
// surrogates, code points beyond U+10FFFF and sequences cut short are not.
Utf8Sequence decodeUtf8(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x80)
        return {1, lead};
    std::size_t length = 0;
    char32_t codePoint = 0;
    // The second byte's range is where overlong forms, surrogates and values
    // past U+10FFFF are shut out.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return {};
    }
    if (text.size() < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            return {};
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return {length, codePoint};
}

// Code points that end a line, act as terminal commands or reorder the text
// that follows them on screen.
bool bendsTheLog(char32_t codePoint)
{
    const auto within = [codePoint](char32_t first, char32_t last) { return codePoint >= first && codePoint <= last; };
    return within(0x00, 0x1F)          // C0
           || within(0x7F, 0x9F)       // DEL, C1 (NEL, the terminal's CSI)
           || codePoint == 0x061C      // Arabic letter mark
           || within(0x200E, 0x200F)   // left-to-right and right-to-left marks
           || within(0x2028, 0x202E)   // line and paragraph separators, embeddings, overrides
           || within(0x2066, 0x2069);  // isolates
}

void appendEscaped(std::string& result, std::string_view bytes)
{
    for (const char c : bytes) {
        std::array<char, 4> escape{};
        std::snprintf(escape.data(), escape.size(), "%%%02X", static_cast<unsigned char>(c));
        result.append(escape.data());
    }
}

} // namespace

std::string printableMessage(std::string_view message)
{
    std::string result;
    result.reserve(message.size());
    while (!message.empty()) {
        const Utf8Sequence sequence = decodeUtf8(message);
        // A byte that starts no well-formed sequence is shown alone; the
        // bytes after it get their own chance to start one.
        const std::size_t length = sequence.length == 0 ? 1 : sequence.length;
        if (sequence.length == 0 || bendsTheLog(sequence.codePoint))
            appendEscaped(result, message.substr(0, length));
        else
            result.append(message.substr(0, length));
        message.remove_prefix(length);
    }
    return result;
}

ActivityLog::ActivityLog(LogSink& sink, const SocketControl& wsServer, const Clock& clock)
    : m_sink(sink)
    , m_wsServer(wsServer)
    , m_clock(clock)
{
}

void ActivityLog::WriteActivityLog(std::string_view message, SlotNumber slot)
{
    m_sink.appendEntry(formatLogEntry(m_clock.localNow(), m_wsServer.RemoteHostIP(slot), printableMessage(message)));
}
