#pragma once

#include "FileBody.h"
#include "NativeSocket.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// The answers queued for one connection, each a text and then optionally a
// file's bytes, sent in the order they were queued.
class OutgoingQueue {
public:
    // How much one connection sends in one turn: large writes to the system,
    // while every other connection still gets its turn soon.
    static constexpr std::size_t kSliceBytes = 128 * 1024;

    // A file this small goes out with its head in one call, read into
    // memory first: handing it to sendfile costs more than the copy, for
    // each of the many descriptors a busy server sends. One buffer serves
    // every queue of a thread; where files go out by reads (Windows), it
    // bounds each read of a larger file too.
    using SmallBodyBuffer = std::array<char, 16 * 1024>;

    enum class WriteResult {
        // Something is still queued: the socket took no more, or the budget
        // ran out.
        Blocked,
        Done,
        Broken,
        // The file came to its end before its announced size.
        FileShrank,
    };

    // The file body an answer was sending when its connection ended.
    struct CutFile {
        std::string path;
        std::int64_t sent = 0;
        std::int64_t size = 0;
    };

    // How far a file body has gone out.
    struct FileMoved {
        std::string path;
        std::int64_t sent = 0;
        std::int64_t size = 0;
    };

    void push(std::string text, FileBody body);

    // Sends up to `budget` bytes to `socket`, adding what went out to
    // `written`. Answers that went out whole are let go of, their files
    // closed at once. When `moved` is given, every file body that went
    // further is added to it, whole or as far as it went.
    WriteResult writeSome(NativeSocket socket, std::size_t budget, SmallBodyBuffer& smallBody, std::int64_t& written,
                          std::vector<FileMoved>* moved = nullptr);

    [[nodiscard]] bool empty() const { return m_answers.empty(); }
    // Whether all that is queued goes out in one write: a single answer
    // whose head and small body (up to `smallBodyLimit`) fit one slice of `budget`.
    [[nodiscard]] bool leavesInOneWrite(std::size_t smallBodyLimit, std::size_t budget) const;
    [[nodiscard]] std::int64_t unsentBytes() const { return m_unsent; }
    [[nodiscard]] std::size_t unsentAnswers() const { return m_answers.size(); }
    // The file of the first answer, if it has not gone out whole.
    [[nodiscard]] std::optional<CutFile> cutFile() const;

private:
    struct Answer {
        std::string text;
        std::size_t textSent = 0;
        FileBody body;
        std::int64_t bodySent = 0;

        [[nodiscard]] std::int64_t unsent() const
        {
            return static_cast<std::int64_t>(text.size() - textSent) + (body.size - bodySent);
        }
        // Not begun, and its head and a body of up to `smallBodyLimit` fit one write of `budget`.
        [[nodiscard]] bool goesInOneWrite(std::size_t smallBodyLimit, std::size_t budget) const
        {
            const auto bodySize = static_cast<std::size_t>(body.size);
            return textSent == 0 && bodySent == 0 && bodySize <= smallBodyLimit && text.size() + bodySize <= budget;
        }
    };

    // Lets go of the first answer, which went out whole.
    void popFront(std::vector<FileMoved>* moved);

    std::deque<Answer> m_answers;
    std::int64_t m_unsent = 0;
};
