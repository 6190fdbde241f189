#include "OpenFileCache.h"

#include "FileReading.h"
#include "NativeFile.h"
#include "Utf8FileName.h"

#include <algorithm>

namespace {

// Sent only with an answer of the size it has.
std::shared_ptr<const std::string> contentOfSize(const auto& entry, std::int64_t size)
{
    return entry.content && static_cast<std::int64_t>(entry.content->size()) == size ? entry.content : nullptr;
}

// Whole seconds, as the file's stamps are compared with the clock.
std::int64_t secondsOf(std::chrono::system_clock::time_point time)
{
    return std::chrono::floor<std::chrono::seconds>(time).time_since_epoch().count();
}

} // namespace

OpenFileCache::OpenFileCache(std::size_t capacity, std::function<std::chrono::system_clock::time_point()> now)
    : m_capacity(capacity)
    , m_now(std::move(now))
{
}

OpenedGameFile OpenFileCache::open(std::string_view virtualDir, std::string_view requestPath,
                                   const std::string& mappedPath)
{
    if (!isServablePath(virtualDir, requestPath))
        return {};
    if (Entry* kept = find(mappedPath)) {
        const std::optional<FileLook> now = lookAtName(pathFromUtf8(mappedPath));
        if (now && isSameFile(kept->identity, *now)) {
            kept->lastUse = ++m_uses;
            kept->lastAsked = IdleClock::now();
            // A file kept while it was new has its content kept once it has settled.
            if (!kept->content)
                kept->content = settledContent(*kept);
            OpenedGameFile opened;
            opened.status = OpenedGameFile::Status::Opened;
            const auto size = static_cast<std::int64_t>(now->stamp.size);
            opened.body = FileBody{kept->file, size, mappedPath, 0, contentOfSize(*kept, size)};
            opened.stamp = now->stamp;
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
    const FileLook& identity = entry.identity;
    const auto size = static_cast<std::int64_t>(identity.stamp.size);
    if (!identity.ordinary || size > kMaxContentBytes)
        return nullptr;
    const std::int64_t now = secondsOf(m_now());
    const auto settled = [now](std::int64_t stamp) { return now - stamp > kSettled.count(); };
    const std::int64_t modified = secondsOf(std::filesystem::file_time_type::clock::to_sys(identity.stamp.modified));
    if (!settled(identity.stamp.changedSeconds) || !settled(modified))
        return nullptr;
    auto content = std::make_shared<std::string>(static_cast<std::size_t>(size), '\0');
    const std::int64_t read = readAt(entry.file.get(), content->data(), content->size(), 0);
    // Changed while it was read: it is read again from the file for every answer until it settles.
    const std::optional<FileLook> after = lookAt(entry.file.get());
    if (read != size || !after || !isSameFile(identity, *after) || after->stamp.size != identity.stamp.size)
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
    if (m_capacity == 0 || !hasRoomToKeep(opened.body.file.get()))
        return;
    const std::optional<FileLook> identity = lookAt(opened.body.file.get());
    if (!identity)
        return;
    Entry entry{mappedPath, opened.body.file, *identity, ++m_uses, IdleClock::now(), nullptr};
    entry.content = settledContent(entry);
    // The size the answer is sent with stays the one its open found.
    opened.body.content = contentOfSize(entry, opened.body.size);
    if (m_entries.size() == m_capacity)
        m_entries.erase(std::min_element(m_entries.begin(), m_entries.end(),
                                         [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; }));
    m_entries.push_back(std::move(entry));
}
