#include "GameCatalogue.h"

#include "GameDirectory.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace fs = std::filesystem;

namespace {

std::size_t depthOf(const std::string& folderPath)
{
    return static_cast<std::size_t>(std::count(folderPath.begin(), folderPath.end(), '/')) - 1;
}

// An icon's id: the same picture in many games is kept once, and its
// address changes whenever the picture does.
std::string contentId(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ull;
    }
    char id[17];
    std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(hash));
    return id;
}

} // namespace

GameCatalogue::GameCatalogue()
    : m_ownWorker(std::make_unique<GameWorker>())
    , m_ownRecords(std::make_unique<GameRecords>())
    , m_worker(*m_ownWorker)
    , m_records(*m_ownRecords)
{
}

GameCatalogue::GameCatalogue(GameWorker& worker, GameRecords& records)
    : m_worker(worker)
    , m_records(records)
{
}

GameCatalogue::~GameCatalogue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_worker.forget(this);
}

void GameCatalogue::setGameDirectory(std::string gameDirectory)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        m_gameDirectory = std::move(gameDirectory);
        m_folders.clear();
        m_jobs.clear();
        m_icons.clear();
        m_iconBytes = 0;
    }
    queue("/", true);
}

std::string GameCatalogue::mappedFolder(const std::string& folderPath) const
{
    return mapRequestPath(m_gameDirectory, folderPath);
}

std::shared_ptr<const GameFolder> GameCatalogue::folder(const std::string& folderPath)
{
    std::string mapped;
    {
        std::lock_guard lock(m_mutex);
        if (m_gameDirectory.empty())
            return nullptr;
        mapped = mappedFolder(folderPath);
    }
    const std::optional<FileStamp> stamp = fileStamp(mapped);
    std::shared_ptr<const GameFolder> listing;
    bool stale = false;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_folders.find(folderPath);
        if (found != m_folders.end()) {
            const Record& record = found->second;
            listing = record.listing;
            stale = !record.queued && (record.racy || record.stamp != stamp ||
                                       std::chrono::steady_clock::now() - record.readAt > kRecheckAfter);
        } else {
            stale = m_folders.size() < kMaxFolders;
        }
    }
    if (stale)
        queue(folderPath, false);
    return listing;
}

std::optional<std::string> GameCatalogue::icon(std::string_view id) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_icons.find(std::string(id));
    if (found == m_icons.end())
        return std::nullopt;
    return found->second;
}

void GameCatalogue::rescan()
{
    std::vector<std::string> known;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [folderPath, record] : m_folders)
            known.push_back(folderPath);
    }
    queue("/", true);
    for (std::string& folderPath : known)
        queue(std::move(folderPath), false);
}

void GameCatalogue::waitUntilIdle()
{
    m_worker.waitUntilIdle();
}

void GameCatalogue::queue(std::string folderPath, bool andBelow)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_gameDirectory.empty())
            return;
        auto [found, added] = m_folders.try_emplace(folderPath);
        if (found->second.queued && !andBelow)
            return;
        found->second.queued = true;
        m_jobs.push_back({std::move(folderPath), andBelow});
    }
    m_worker.post(this, [this] { readNext(); });
}

void GameCatalogue::readNext()
{
    Job job;
    {
        std::lock_guard lock(m_mutex);
        // A new directory empties the queue; the jobs posted for it find nothing.
        if (m_stopping || m_jobs.empty())
            return;
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
    }
    read(job);
}

void GameCatalogue::read(const Job& job)
{
    std::string gameDirectory;
    std::string mapped;
    std::shared_ptr<const GameFolder> previous;
    const std::uint64_t generation = m_generation;
    {
        std::lock_guard lock(m_mutex);
        gameDirectory = m_gameDirectory;
        mapped = mappedFolder(job.folderPath);
        if (const auto found = m_folders.find(job.folderPath); found != m_folders.end())
            previous = found->second.listing;
    }
    // Taken first: a change made while the folder is read brings another reading.
    const std::optional<FileStamp> stamp = fileStamp(mapped);
    FolderReading how;
    how.previous = previous.get();
    how.records = &m_records;
    how.keepIcon = [this](const GameIcon& icon) { return keepIcon(icon); };
    how.abandoned = [this, generation] { return m_stopping || m_generation != generation; };
    GameFolder listing = readGameFolder(gameDirectory, job.folderPath, how);
    if (how.abandoned())
        return;
    if (publish(job, generation, std::move(listing), stamp))
        dropUnusedIcons();
}

bool GameCatalogue::publish(const Job& job, std::uint64_t generation, GameFolder listing,
                            std::optional<FileStamp> stamp)
{
    std::vector<std::string> below;
    if (job.andBelow && depthOf(job.folderPath) < kMaxDepth) {
        for (const std::string& name : listing.folders)
            below.push_back(job.folderPath + name + "/");
    }
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_generation != generation)
            return false;
        Record& record = m_folders[job.folderPath];
        record.queued = false;
        record.stamp = stamp;
        record.readAt = std::chrono::steady_clock::now();
        record.racy = stamp && changedWithin(*stamp, fs::file_time_type::clock::now(), kRacyWithin);
        // An unchanged listing keeps its snapshot, and with it whatever readers made from it.
        changed = !record.listing || *record.listing != listing;
        if (changed)
            record.listing = std::make_shared<const GameFolder>(std::move(listing));
    }
    for (std::string& folderPath : below) {
        bool room = false;
        {
            std::lock_guard lock(m_mutex);
            room = m_folders.size() < kMaxFolders || m_folders.contains(folderPath);
        }
        if (room)
            queue(std::move(folderPath), true);
    }
    return changed;
}

std::string GameCatalogue::keepIcon(const GameIcon& icon)
{
    std::string id = contentId(icon.png);
    std::lock_guard lock(m_mutex);
    if (m_icons.contains(id))
        return id;
    if (m_iconBytes + icon.png.size() > kMaxIconBytes)
        return {};
    m_iconBytes += icon.png.size();
    m_icons.emplace(id, icon.png);
    return id;
}

void GameCatalogue::dropUnusedIcons()
{
    // Only this worker keeps icons, so none is added while the listings are looked through unlocked.
    std::vector<std::shared_ptr<const GameFolder>> listings;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [folderPath, record] : m_folders) {
            if (record.listing)
                listings.push_back(record.listing);
        }
    }
    std::set<std::string_view> used;
    for (const auto& listing : listings) {
        for (const GameEntry& game : listing->games) {
            if (!game.iconId.empty())
                used.insert(game.iconId);
        }
    }
    std::lock_guard lock(m_mutex);
    for (auto it = m_icons.begin(); it != m_icons.end();) {
        if (used.contains(it->first)) {
            ++it;
        } else {
            m_iconBytes -= it->second.size();
            it = m_icons.erase(it);
        }
    }
}
