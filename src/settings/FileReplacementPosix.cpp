#include "FileReplacement.h"

#include <cerrno>
#include <filesystem>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The file a chain of links ends at, which need not exist yet.
std::optional<fs::path> linkTarget(fs::path file)
{
    constexpr int kMaxLinks = 40; // as the kernel allows in one path
    for (int links = 0; links < kMaxLinks; ++links) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(file, error)))
            return file;
        const fs::path target = fs::read_symlink(file, error);
        if (error)
            return std::nullopt;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return std::nullopt;
}

bool writeAll(int descriptor, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A new file beside the target that no one else is using.
int createBeside(const fs::path& target, std::string& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target.string() + ".new." + std::to_string(::getpid()) + "." + std::to_string(attempt);
        // O_EXCL: never write through a link or into a file left by someone else.
        const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

bool fillAndFlush(int descriptor, const std::optional<struct stat>& old, std::string_view text)
{
    if (old) {
        // The owner first: changing it may clear the set-id bits that the mode
        // then restores. Only a privileged writer may hand the file back to
        // its owner; anyone else's new file stays theirs.
        if ((old->st_uid != ::geteuid() || old->st_gid != ::getegid())
            && ::fchown(descriptor, old->st_uid, old->st_gid) != 0 && errno != EPERM)
            return false;
        if (::fchmod(descriptor, old->st_mode & 07777) != 0)
            return false;
    }
    return writeAll(descriptor, text) && ::fsync(descriptor) == 0;
}

void flushFolder(const fs::path& folder)
{
    // The rename lasts through a power cut once the folder is on the disk
    // too. The new contents are in place either way, so a failure here does
    // not fail the write.
    const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

} // namespace

bool replaceFileContents(const std::string& file, std::string_view text)
{
    const std::optional<fs::path> target = linkTarget(file);
    if (!target)
        return false;
    std::optional<struct stat> old;
    if (struct stat status {}; ::stat(target->c_str(), &status) == 0)
        old = status;
    else if (errno != ENOENT)
        return false;

    std::string temporary;
    const int descriptor = createBeside(*target, temporary);
    if (descriptor < 0)
        return false;
    const bool filled = fillAndFlush(descriptor, old, text);
    const bool closed = ::close(descriptor) == 0;
    if (!filled || !closed || ::rename(temporary.c_str(), target->c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    flushFolder(target->parent_path());
    return true;
}
