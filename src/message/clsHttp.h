#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One HTTP message held as text: a header text, a body text and the three
// words of a request line. Text is bytes, one char per byte, so every byte
// value passes through unchanged.
//
// An object is made for one message and dropped with the handler that made
// it; it never touches the network or the disk.
class clsHttp {
public:
    clsHttp();

    // Header lines joined by CR LF, no CR LF before the first or after the last.
    std::string m_MessageHeader;
    std::string m_MessageBody;
    // The words of the request line of the last imported message.
    std::string m_Method;
    std::string m_destFile;
    std::string m_HTTPVer;

    // Adds a field in front of the others, or replaces the value of a field
    // that is already there (in place). Line breaks in the value are stored
    // as "%10%13" so that a value never spans two lines.
    bool addProperty(std::string_view propertyName, std::string_view propertyValue);

    // The response text: status line, the computed Content-Length line, the
    // header text, a blank line and the body.
    [[nodiscard]] std::string getMessage() const;

    // The same text up to and including the blank line, for a body of
    // `contentLength` bytes that is not held here but sent after it from
    // elsewhere (a file); `roomAfter` bytes are reserved behind it.
    [[nodiscard]] std::string getHead(std::int64_t contentLength, std::size_t roomAfter = 0) const;

    // Takes a raw message apart. Throws std::invalid_argument when it holds no
    // CR LF and std::out_of_range when its first line has fewer than three
    // words (the words before the missing one stay stored). Returns false,
    // keeping header and body, when the blank line is missing, the
    // Content-Length field is missing or unusable (parseContentLength), or
    // the body is short.
    bool importMessage(std::string_view strMessage);

    // The value of the first line of the field (its whole name in any letter
    // case, optional blanks, the colon; see fieldLineValue), without the
    // spaces around it; "0" for a missing "Content-Length", "" for any other
    // missing name.
    [[nodiscard]] std::string getProperty(std::string_view propertyName) const;

    void reSet();

    [[nodiscard]] const std::string& Data() const { return m_MessageBody; }
    void Data(std::string vNewValue) { m_MessageBody = std::move(vNewValue); }

    // Responses go out as "HTTP/1.0 200 OK" unless told otherwise, so that an
    // error can carry a status line of its own.
    void setStatusLine(std::string statusLine) { m_statusLine = std::move(statusLine); }
    [[nodiscard]] const std::string& statusLine() const { return m_statusLine; }

private:
    // The announced body length by the same rule as the framing of requests
    // (a field found as getProperty finds it, its value read by
    // parseContentLength); -1 when the field is missing or unusable.
    static std::int32_t getContentLength(std::string_view headerText);

    std::string m_statusLine;
};
