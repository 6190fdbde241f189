#include "GameRecords.h"

#include "GameDirectory.h"

namespace {

std::string keyOf(bool pathsDecoded, const std::string& file, const std::string& madeFor = {})
{
    return std::string(pathsDecoded ? "d" : "-") + file + '\n' + madeFor;
}

} // namespace

GameRecords::GameRecords(RecordSources sources, std::size_t capacity)
    : m_sources(std::move(sources))
    , m_capacity(capacity)
{
}

RecordReading GameRecords::how(const std::string& gameDirectory, bool pathsDecoded) const
{
    return {gameDirectory, pathsDecoded, m_sources};
}

std::shared_ptr<const GameRecord> GameRecords::descriptor(const std::string& gameDirectory, bool pathsDecoded,
                                                          const std::string& descriptorPath)
{
    return descriptor(gameDirectory, pathsDecoded, descriptorPath,
                      fileStamp(mapRequestPath(gameDirectory, descriptorPath)));
}

std::shared_ptr<const GameRecord> GameRecords::descriptor(const std::string& gameDirectory, bool pathsDecoded,
                                                          const std::string& descriptorPath,
                                                          const std::optional<FileStamp>& stamp)
{
    const std::string key = keyOf(pathsDecoded, mapRequestPath(gameDirectory, descriptorPath));
    if (auto record = kept(key); record && isCurrent(*record, stamp))
        return record;
    auto record = readGameRecord(how(gameDirectory, pathsDecoded), descriptorPath);
    keep(key, record);
    return record;
}

std::shared_ptr<const GameRecord> GameRecords::loneArchive(const std::string& gameDirectory, bool pathsDecoded,
                                                           const std::string& descriptorPath,
                                                           const std::string& archivePath)
{
    const std::string key = keyOf(pathsDecoded, mapRequestPath(gameDirectory, descriptorPath), archivePath);
    if (auto record = kept(key); record && isCurrent(*record, std::nullopt))
        return record;
    auto record = readLoneArchiveRecord(how(gameDirectory, pathsDecoded), descriptorPath, archivePath);
    keep(key, record);
    return record;
}

std::shared_ptr<const GameRecord> GameRecords::kept(const std::string& key)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_records.find(key);
    if (found == m_records.end())
        return nullptr;
    m_order.splice(m_order.begin(), m_order, found->second.place);
    return found->second.record;
}

void GameRecords::keep(const std::string& key, std::shared_ptr<const GameRecord> record)
{
    std::lock_guard lock(m_mutex);
    if (const auto found = m_records.find(key); found != m_records.end()) {
        found->second.record = std::move(record);
        m_order.splice(m_order.begin(), m_order, found->second.place);
        return;
    }
    if (m_capacity == 0)
        return;
    if (m_records.size() >= m_capacity) {
        m_records.erase(m_order.back());
        m_order.pop_back();
    }
    m_order.push_front(key);
    m_records.emplace(key, Kept{std::move(record), m_order.begin()});
}
