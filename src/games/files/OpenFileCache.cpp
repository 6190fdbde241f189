#include "OpenFileCache.h"

#include "FileReading.h"

#include <algorithm>

#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

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

// Sent only with an answer of the size it has.
std::shared_ptr<const std::string> contentOfSize(const auto& entry, std::int64_t size)
{
    return entry.content && static_cast<std::int64_t>(entry.content->size()) == size ? entry.content : nullptr;
}

bool isClearOfTheLimit(int fd)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    return limit.rlim_cur == RLIM_INFINITY || static_cast<rlim_t>(fd) + kClearOfTheLimit < limit.rlim_cur;
}

} // namespace

OpenFileCache::OpenFileCache(std::size_t capacity, std::function<timespec()> now)
    : m_capacity(capacity)
    , m_now(std::move(now))
{
}

timespec OpenFileCache::wallClockNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
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
            kept->lastAsked = IdleClock::now();
            // A file kept while it was new has its content kept once it has settled.
            if (!kept->content)
                kept->content = settledContent(*kept);
            OpenedGameFile opened;
            opened.status = OpenedGameFile::Status::Opened;
            const auto size = static_cast<std::int64_t>(now.st_size);
            opened.body = FileBody{kept->file, size, mappedPath, 0, contentOfSize(*kept, size)};
            opened.stamp = stampOf(now);
            return opened;
        }
        std::erase_if(m_entries, [&mappedPath](const Entry& entry) { return entry.path == mappedPath; });
    }
    OpenedGameFile opened = openGameFile(virtualDir, requestPath, mappedPath);
    if (opened.status == OpenedGameFile::Status::Opened)
        keep(mappedPath, opened);
    return opened;
}

std::shared_ptr<const std::string> OpenFileCache::settledContent(const Entry& entry) const
{
    const struct stat& identity = entry.identity;
    if (!S_ISREG(identity.st_mode) || identity.st_size > kMaxContentBytes)
        return nullptr;
    const timespec now = m_now();
    const auto settled = [&now](const timespec& stamp) { return now.tv_sec - stamp.tv_sec > kSettled.count(); };
    if (!settled(identity.st_ctim) || !settled(identity.st_mtim))
        return nullptr;
    auto content = std::make_shared<std::string>(static_cast<std::size_t>(identity.st_size), '\0');
    const std::int64_t read = readAt(entry.file.get(), content->data(), content->size(), 0);
    // Changed while it was read: it is read again from the file for every answer until it settles.
    struct stat after {};
    if (read != static_cast<std::int64_t>(content->size()) || ::fstat(entry.file.get(), &after) != 0
        || !isSameFile(identity, after) || after.st_size != identity.st_size)
        return nullptr;
    return content;
}

std::size_t OpenFileCache::release()
{
    const std::size_t kept = m_entries.size();
    m_entries.clear();
    return kept;
}

std::size_t OpenFileCache::closeIdle(IdleClock::time_point now)
{
    return std::erase_if(m_entries, [now](const Entry& entry) { return now - entry.lastAsked >= kIdleClose; });
}

OpenFileCache::Entry* OpenFileCache::find(const std::string& mappedPath)
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&mappedPath](const Entry& entry) { return entry.path == mappedPath; });
    return found == m_entries.end() ? nullptr : &*found;
}

void OpenFileCache::keep(const std::string& mappedPath, OpenedGameFile& opened)
{
    Entry entry{mappedPath, opened.body.file, {}, ++m_uses, IdleClock::now(), nullptr};
    if (m_capacity == 0 || !isClearOfTheLimit(opened.body.file.get())
        || ::fstat(opened.body.file.get(), &entry.identity) != 0)
        return;
    entry.content = settledContent(entry);
    // The size the answer is sent with stays the one its open found.
    opened.body.content = contentOfSize(entry, opened.body.size);
    if (m_entries.size() == m_capacity)
        m_entries.erase(std::min_element(m_entries.begin(), m_entries.end(),
                                         [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; }));
    m_entries.push_back(std::move(entry));
}
