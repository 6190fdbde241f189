#include "NativeFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Descriptors near the limit are left free: the socket array keeps the last
// 16 for files being sent, and accepts no connection within 32 of it.
constexpr rlim_t kClearOfTheLimit = 48;

FileLook lookOf(const struct stat& status)
{
    const auto modified = std::chrono::seconds(status.st_mtim.tv_sec) + std::chrono::nanoseconds(status.st_mtim.tv_nsec);
    FileLook look;
    look.stamp = FileStamp{static_cast<std::uintmax_t>(status.st_size),
                           std::filesystem::file_time_type::clock::from_sys(
                               std::chrono::sys_time<std::chrono::nanoseconds>(modified)),
                           static_cast<std::int64_t>(status.st_ctim.tv_sec),
                           static_cast<std::int64_t>(status.st_ctim.tv_nsec), static_cast<std::uintmax_t>(status.st_dev),
                           static_cast<std::uintmax_t>(status.st_ino)};
    look.ordinary = S_ISREG(status.st_mode);
    look.access = {status.st_mode, status.st_uid, status.st_gid, static_cast<std::uint64_t>(status.st_nlink)};
    return look;
}

} // namespace

OpenAttempt openForReading(const std::string& path)
{
    OpenAttempt attempt{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    // A name that leads nowhere is a missing file; anything else is there
    // and cannot be read.
    attempt.missing = attempt.file < 0
                      && (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP);
    return attempt;
}

void closeFile(NativeFile file)
{
    ::close(file);
}

std::optional<FileLook> lookAt(NativeFile file)
{
    struct stat status {};
    if (::fstat(file, &status) != 0)
        return std::nullopt;
    return lookOf(status);
}

std::optional<FileLook> lookAtName(const std::filesystem::path& path)
{
    // One look at the file: every figure from the same moment.
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return lookOf(status);
}

bool hasRoomToKeep(NativeFile file)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    return limit.rlim_cur == RLIM_INFINITY || static_cast<rlim_t>(file) + kClearOfTheLimit < limit.rlim_cur;
}
