#include "OutgoingQueue.h"

#include "FileReading.h"
#include "FileSending.h"
#include "SocketCalls.h"

#include <algorithm>
#include <string_view>

void OutgoingQueue::push(std::string text, FileBody body)
{
    Answer answer;
    answer.text = std::move(text);
    answer.body = std::move(body);
    m_unsent += answer.unsent();
    m_answers.push_back(std::move(answer));
}

OutgoingQueue::WriteResult OutgoingQueue::writeSome(NativeSocket socket, std::size_t budget, SmallBodyBuffer& smallBody,
                                                    std::int64_t& written, std::vector<FileMoved>* moved)
{
    // Whether the first answer's file went further in this call.
    bool frontBodyMoved = false;
    while (!m_answers.empty() && budget > 0) {
        Answer& front = m_answers.front();
        std::int64_t count = 0;
        const auto bodySize = static_cast<std::size_t>(front.body.size);
        if (bodySize > 0 && front.goesInOneWrite(smallBody.size(), budget)) {
            std::string_view body;
            if (front.body.content) {
                body = std::string_view(*front.body.content).substr(static_cast<std::size_t>(front.body.offset), bodySize);
            } else {
                const std::int64_t read = readAt(front.body.file.get(), smallBody.data(), bodySize, front.body.offset);
                if (read < 0)
                    return WriteResult::Broken;
                if (static_cast<std::size_t>(read) < bodySize)
                    return WriteResult::FileShrank;
                body = std::string_view(smallBody.data(), bodySize);
            }
            count = sendTogether(socket, front.text, body);
            if (count > 0) {
                const auto head = std::min(static_cast<std::size_t>(count), front.text.size());
                front.textSent = head;
                front.bodySent = count - static_cast<std::int64_t>(head);
                frontBodyMoved = front.bodySent > 0;
            }
        } else if (front.textSent < front.text.size()) {
            const std::size_t size = std::min(budget, front.text.size() - front.textSent);
            // A head with a file behind it waits for the file's first bytes,
            // so that a small answer leaves in one packet.
            count = sendSome(socket, front.text.data() + front.textSent, size, front.bodySent < front.body.size);
            if (count > 0)
                front.textSent += static_cast<std::size_t>(count);
        } else if (front.bodySent < front.body.size) {
            const auto size = std::min<std::int64_t>(static_cast<std::int64_t>(budget), front.body.size - front.bodySent);
            count = sendFromFile(socket, front.body, front.body.offset + front.bodySent, static_cast<std::size_t>(size),
                                 smallBody);
            if (count == 0)
                return WriteResult::FileShrank;
            if (count > 0) {
                front.bodySent += count;
                frontBodyMoved = true;
            }
        } else {
            popFront(moved);
            frontBodyMoved = false;
            continue;
        }
        if (count < 0)
            return count == kBlocked ? WriteResult::Blocked : WriteResult::Broken;
        budget -= static_cast<std::size_t>(count);
        written += count;
        m_unsent -= count;
    }
    // A finished answer lets go of its file at once.
    while (!m_answers.empty() && m_answers.front().unsent() == 0) {
        popFront(moved);
        frontBodyMoved = false;
    }
    if (moved && frontBodyMoved) {
        const Answer& front = m_answers.front();
        moved->push_back({front.body.path, front.bodySent, front.body.size});
    }
    return m_answers.empty() ? WriteResult::Done : WriteResult::Blocked;
}

bool OutgoingQueue::leavesInOneWrite(std::size_t smallBodyLimit, std::size_t budget) const
{
    return m_answers.size() == 1 && m_answers.front().goesInOneWrite(smallBodyLimit, budget);
}

void OutgoingQueue::popFront(std::vector<FileMoved>* moved)
{
    Answer& done = m_answers.front();
    // The path goes with the answer: it is moved, not copied, for the many small files.
    if (moved && done.body.file.isOpen())
        moved->push_back({std::move(done.body.path), done.body.size, done.body.size});
    m_answers.pop_front();
}

std::optional<OutgoingQueue::CutFile> OutgoingQueue::cutFile() const
{
    if (m_answers.empty())
        return std::nullopt;
    const Answer& cut = m_answers.front();
    if (!cut.body.file.isOpen() || cut.bodySent >= cut.body.size)
        return std::nullopt;
    return CutFile{cut.body.path, cut.bodySent, cut.body.size};
}
