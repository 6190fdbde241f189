#include "StdoutMirror.h"

#include "ActivityLog.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::uint64_t countEntries(std::string_view entries)
{
    const auto ends = static_cast<std::uint64_t>(std::count(entries.begin(), entries.end(), '\n'));
    return ends + (!entries.empty() && !entries.ends_with('\n') ? 1 : 0);
}

// A pipe or a terminal is opened anew, without blocking, for the mirror
// alone: setting that flag on the inherited descriptor would set it for
// the shell and every other program sharing it. A file never keeps a
// writer waiting for long, and a socket is written without blocking per
// call, so those are written as they are.
int openWithoutBlocking(int output, bool& isSocket)
{
    struct stat status {};
    if (::fstat(output, &status) != 0)
        return -1;
    isSocket = S_ISSOCK(status.st_mode);
    if (!S_ISFIFO(status.st_mode) && !S_ISCHR(status.st_mode))
        return -1;
    const std::string path = "/proc/self/fd/" + std::to_string(output);
    return ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

sigset_t brokenPipeSignal()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGPIPE);
    return signals;
}

} // namespace

StdoutMirror::StdoutMirror(int output, EndedHandler onEnded, std::size_t maxWaiting)
    : m_output(output)
    , m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_onEnded(std::move(onEnded))
    , m_maxWaiting(maxWaiting)
{
    m_ownOutput = openWithoutBlocking(output, m_outputIsSocket);
    if (m_ownOutput >= 0)
        m_output = m_ownOutput;
    m_thread = std::thread(&StdoutMirror::run, this);
}

StdoutMirror::~StdoutMirror()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_one();
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto ignored = ::write(m_wake, &one, sizeof one);
    m_thread.join();
    if (m_ownOutput >= 0)
        ::close(m_ownOutput);
    if (m_wake >= 0)
        ::close(m_wake);
}

void StdoutMirror::append(std::string_view entries)
{
    if (entries.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        if (m_unwritten == 0) {
            const std::size_t room = m_maxWaiting - std::min(m_waiting.size(), m_maxWaiting);
            std::size_t taken = entries.size();
            if (taken > room) {
                const std::size_t lastEnd = entries.substr(0, room).rfind('\n');
                taken = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
            }
            m_waiting.append(entries.substr(0, taken));
            entries.remove_prefix(taken);
        }
        m_unwritten += countEntries(entries);
    }
    m_changed.notify_one();
}

void StdoutMirror::run()
{
    // A write to a pipe whose reader has gone raises SIGPIPE at the writing
    // thread; held here, it can never end the program, whatever the
    // program does with it.
    const sigset_t brokenPipe = brokenPipeSignal();
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);

    std::string batch;
    for (;;) {
        std::uint64_t unwritten = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || !m_waiting.empty() || m_unwritten > 0; });
            if (!m_waiting.empty()) {
                batch.clear();
                batch.swap(m_waiting);
            } else if (m_unwritten > 0) {
                // Everything before the gap is out: the count goes where the gap is.
                unwritten = std::exchange(m_unwritten, 0);
            } else {
                return;
            }
        }
        if (unwritten > 0)
            batch = formatLogEntry(SystemClock().localNow(), "",
                                   std::to_string(unwritten) + " log entries were not written to standard output");
        std::string why;
        switch (writeOut(batch, why)) {
        case Outcome::Written:
            break;
        case Outcome::Stopping:
            return;
        case Outcome::Ended:
            end(why);
            return;
        }
    }
}

StdoutMirror::Outcome StdoutMirror::writeOut(std::string_view bytes, std::string& why)
{
    while (!bytes.empty()) {
        const ssize_t written = m_outputIsSocket
                                    ? ::send(m_output, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL)
                                    : ::write(m_output, bytes.data(), bytes.size());
        if (written >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitUntilWritable())
                return Outcome::Stopping;
            continue;
        }
        why = errno == EPIPE ? std::string("Standard output was closed by its reader")
                             : "Standard output failed (" + std::string(std::strerror(errno)) + ")";
        why += ": the log is no longer written there.";
        return Outcome::Ended;
    }
    return Outcome::Written;
}

bool StdoutMirror::waitUntilWritable()
{
    pollfd watched[] = {{m_output, POLLOUT, 0}, {m_wake, POLLIN, 0}};
    while (::poll(watched, 2, -1) < 0) {
        // Nothing to wait on: the next write says what is wrong.
        if (errno != EINTR)
            return true;
    }
    return (watched[1].revents & POLLIN) == 0;
}

void StdoutMirror::end(const std::string& why)
{
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_waiting = std::string();
        m_unwritten = 0;
    }
    const sigset_t brokenPipe = brokenPipeSignal();
    const timespec now{};
    while (sigtimedwait(&brokenPipe, nullptr, &now) == SIGPIPE) {
    }
    m_onEnded(why);
}
