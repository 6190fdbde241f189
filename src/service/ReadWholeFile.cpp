#include "ReadWholeFile.h"

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
        m_contents.reserve(m_size + kReadPieceSize);
        // One piece at once, inside the event that asked for the file: a
        // descriptor goes out without waiting for a turn, and a larger file
        // yields to the others before it takes whole runs of pieces.
        readPieces(kReadPieceSize);
    }

private:
    void readPieces(std::size_t budget)
    {
        if (!m_stillWanted())
            return;
        for (std::size_t taken = 0; taken < budget; taken += kReadPieceSize) {
            const std::size_t before = m_contents.size();
            m_contents.resize(before + kReadPieceSize);
            ssize_t count = 0;
            do {
                count = ::read(m_fd, m_contents.data() + before, kReadPieceSize);
            } while (count < 0 && errno == EINTR);
            if (count < 0)
                return finish(std::nullopt);
            m_contents.resize(before + static_cast<std::size_t>(count));
            // A short piece is the end of the file, even if it has shrunk meanwhile.
            if (static_cast<std::size_t>(count) < kReadPieceSize || m_contents.size() >= m_size)
                return finish(std::move(m_contents));
        }
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
