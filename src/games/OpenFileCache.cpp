#include "OpenFileCache.h"

#include <algorithm>

#include <sys/resource.h>

namespace {

// Descriptors near the limit are left free: the socket array keeps the last
// 16 for files being sent, and accepts no connection within 32 of it.
constexpr rlim_t kClearOfTheLimit = 48;

// Whether `now` is still the file that was opened: the same inode, its type,
// owner, permissions and links unchanged. The change time catches what
// those fields do not show (an ACL changed, the file renamed away and back);
// the fields catch changes within one tick of the clock that stamps it.
bool isSameFile(const struct stat& kept, const struct stat& now)
{
    return kept.st_dev == now.st_dev && kept.st_ino == now.st_ino && kept.st_mode == now.st_mode
           && kept.st_uid == now.st_uid && kept.st_gid == now.st_gid && kept.st_nlink == now.st_nlink
           && kept.st_ctim.tv_sec == now.st_ctim.tv_sec && kept.st_ctim.tv_nsec == now.st_ctim.tv_nsec;
}

bool isClearOfTheLimit(int fd)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    return limit.rlim_cur == RLIM_INFINITY || static_cast<rlim_t>(fd) + kClearOfTheLimit < limit.rlim_cur;
}

} // namespace

OpenFileCache::OpenFileCache(std::size_t capacity)
    : m_capacity(capacity)
{
}

OpenedGameFile OpenFileCache::open(std::string_view virtualDir, std::string_view requestPath,
                                   const std::string& mappedPath)
{
    if (!isServablePath(virtualDir, requestPath))
        return {};
    if (Entry* kept = find(mappedPath)) {
        struct stat now {};
        if (::stat(mappedPath.c_str(), &now) == 0 && isSameFile(kept->identity, now)) {
            kept->lastUse = ++m_uses;
            OpenedGameFile opened;
            opened.status = OpenedGameFile::Status::Opened;
            opened.body = FileBody{kept->file, static_cast<std::int64_t>(now.st_size), mappedPath};
            return opened;
        }
        std::erase_if(m_entries, [&mappedPath](const Entry& entry) { return entry.path == mappedPath; });
    }
    OpenedGameFile opened = openGameFile(virtualDir, requestPath, mappedPath);
    if (opened.status == OpenedGameFile::Status::Opened)
        keep(mappedPath, opened);
    return opened;
}

std::size_t OpenFileCache::release()
{
    const std::size_t kept = m_entries.size();
    m_entries.clear();
    return kept;
}

OpenFileCache::Entry* OpenFileCache::find(const std::string& mappedPath)
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&mappedPath](const Entry& entry) { return entry.path == mappedPath; });
    return found == m_entries.end() ? nullptr : &*found;
}

void OpenFileCache::keep(const std::string& mappedPath, const OpenedGameFile& opened)
{
    Entry entry{mappedPath, opened.body.file, {}, ++m_uses};
    if (m_capacity == 0 || !isClearOfTheLimit(opened.body.file.get())
        || ::fstat(opened.body.file.get(), &entry.identity) != 0)
        return;
    if (m_entries.size() == m_capacity)
        m_entries.erase(std::min_element(m_entries.begin(), m_entries.end(),
                                         [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; }));
    m_entries.push_back(std::move(entry));
}
