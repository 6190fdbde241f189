#include "ReadWholeFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileRead : public std::enable_shared_from_this<FileRead> {
public:
    FileRead(Scheduler& scheduler, std::function<bool()> stillWanted, std::function<void(FileContents)> done)
        : m_scheduler(scheduler)
        , m_stillWanted(std::move(stillWanted))
        , m_done(std::move(done))
    {
    }

    ~FileRead()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    void start(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))
            return finish(std::nullopt);
        m_size = static_cast<std::size_t>(info.st_size);
        m_contents.reserve(m_size + 1);
        // One piece at once, inside the event that asked for the file: a
        // descriptor goes out without waiting for a turn, and a larger file
        // yields to the others before it takes whole runs of pieces.
        readPieces(kReadPieceSize);
    }

private:
    // Reads `budget` bytes, whole pieces back to back, with as few calls to
    // the system as it takes: a call per 500-byte piece would cost more than
    // the copying.
    void readPieces(std::size_t budget)
    {
        if (!m_stillWanted())
            return;
        const std::size_t before = m_contents.size();
        // One byte past the size known at opening shows whether the file ends there.
        budget = std::min(budget, m_size - std::min(m_size, before) + 1);
        m_contents.resize(before + budget);
        std::size_t got = 0;
        while (got < budget) {
            const ssize_t count = ::read(m_fd, m_contents.data() + before + got, budget - got);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                return finish(std::nullopt);
            if (count == 0)
                break;
            got += static_cast<std::size_t>(count);
        }
        m_contents.resize(before + got);
        // A short run is the end of the file, even if it has shrunk meanwhile.
        if (got < budget || m_contents.size() >= m_size)
            return finish(std::move(m_contents));
        m_scheduler.post([self = shared_from_this()] { self->readPieces(kReadBytesPerTurn); });
    }

    void finish(FileContents contents)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_done(std::move(contents));
    }

    Scheduler& m_scheduler;
    std::function<bool()> m_stillWanted;
    std::function<void(FileContents)> m_done;
    int m_fd = -1;
    std::size_t m_size = 0;
    std::string m_contents;
};

} // namespace

void ReadWholeFile(Scheduler& scheduler, const std::string& path, std::function<bool()> stillWanted,
                   std::function<void(FileContents)> done)
{
    std::make_shared<FileRead>(scheduler, std::move(stillWanted), std::move(done))->start(path);
}
