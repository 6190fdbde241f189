#include "GameCheck.h"

#include "PrintableText.h"
#include "DescriptorRepair.h"
#include "DescriptorSearch.h"
#include "GameDirectory.h"
#include "GameInspection.h"

#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "Game check: ";

std::string games(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " game" : " games");
}

} // namespace

GameCheck::GameCheck(LineHandler onLine, std::chrono::milliseconds recheckAfter)
    : m_onLine(std::move(onLine))
    , m_recheckAfter(recheckAfter)
    , m_ownWorker(std::make_unique<GameWorker>())
    , m_ownRecords(std::make_unique<GameRecords>())
    , m_worker(*m_ownWorker)
    , m_records(*m_ownRecords)
{
}

GameCheck::GameCheck(GameWorker& worker, GameRecords& records, LineHandler onLine,
                     std::chrono::milliseconds recheckAfter)
    : m_onLine(std::move(onLine))
    , m_recheckAfter(recheckAfter)
    , m_worker(worker)
    , m_records(records)
{
}

GameCheck::~GameCheck()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_worker.forget(this);
}

void GameCheck::checkAll(std::string gameDirectory, std::vector<std::string> origins, bool repaired,
                         bool pathsDecoded)
{
    {
        std::lock_guard lock(m_mutex);
        // A full check covers everything queued before it.
        m_jobs.clear();
        m_jobs.push_back({true, std::move(gameDirectory), std::move(origins), {}, repaired, pathsDecoded});
    }
    m_worker.post(this, [this] { runNext(); });
}

void GameCheck::descriptorServed(std::string mappedPath)
{
    constexpr std::size_t kMaxPathsRemembered = 4096;
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_mutex);
        if (m_lastServed.size() >= kMaxPathsRemembered)
            m_lastServed.clear();
        auto [last, first] = m_lastServed.try_emplace(mappedPath, now);
        if (!first) {
            if (now - last->second < m_recheckAfter)
                return;
            last->second = now;
        }
        for (const Job& job : m_jobs) {
            if (!job.all && job.mappedPath == mappedPath)
                return;
        }
        m_jobs.push_back({false, {}, {}, std::move(mappedPath)});
    }
    m_worker.post(this, [this] { runNext(); });
}

void GameCheck::waitUntilIdle()
{
    m_worker.waitUntilIdle();
}

void GameCheck::runNext()
{
    Job job;
    {
        std::lock_guard lock(m_mutex);
        // A full check empties the queue; the jobs posted before it find nothing.
        if (m_stopping || m_jobs.empty())
            return;
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
    }
    if (job.all)
        checkEverything(job);
    else
        checkOne(job);
}

bool GameCheck::fullCheckWaiting()
{
    std::lock_guard lock(m_mutex);
    return m_stopping || (!m_jobs.empty() && m_jobs.front().all);
}

void GameCheck::checkEverything(const Job& job)
{
    m_gameDirectory = job.gameDirectory;
    m_origins = job.origins;
    m_repaired = job.repaired;
    m_pathsDecoded = job.pathsDecoded;
    m_stamps.clear();
    if (m_gameDirectory.empty()) {
        tell(std::string(kPrefix) + "no game directory is set; choose one with the \"...\" button");
        return;
    }
    const DescriptorSearch search = findDescriptors(m_gameDirectory);
    for (const std::string& folder : search.unreadableFolders)
        tell(std::string(kPrefix) + "the folder " + (folder == "." ? m_gameDirectory : folder) +
             " cannot be read; games in it are not checked");
    if (search.stoppedAtLimit)
        tell(std::string(kPrefix) + "the game directory holds too many files or folders nested too deep; only the " +
             "first " + games(search.descriptors.size()) + " found are checked");
    if (search.descriptors.empty()) {
        tell(std::string(kPrefix) + "no game descriptors (.jad) in " + m_gameDirectory +
             "; phones will find no game to install");
        return;
    }

    std::size_t ready = 0;
    std::size_t repaired = 0;
    std::size_t withProblems = 0;
    std::size_t elsewhere = 0;
    for (const std::string& descriptor : search.descriptors) {
        if (fullCheckWaiting())
            return;
        switch (checkGame(descriptor)) {
        case Outcome::Ready:
            ++ready;
            break;
        case Outcome::Repaired:
            ++ready;
            ++repaired;
            break;
        case Outcome::Problems:
            ++withProblems;
            break;
        case Outcome::Elsewhere:
            ++elsewhere;
            break;
        }
    }
    std::string summary = std::string(kPrefix) + games(ready) + " ready, ";
    if (m_repaired)
        summary += std::to_string(repaired) + " of them repaired as served, ";
    summary += std::to_string(withProblems) + " with problems";
    if (elsewhere > 0)
        summary += ", " + std::to_string(elsewhere) + " with the archive on another server";
    tell(summary);
}

void GameCheck::checkOne(const Job& job)
{
    if (m_gameDirectory.empty())
        return;
    const fs::path relative =
        fs::path(job.mappedPath).lexically_normal().lexically_relative(fs::path(m_gameDirectory).lexically_normal());
    if (relative.empty() || *relative.begin() == ".." || *relative.begin() == ".")
        return;
    const std::string descriptor = "/" + relative.generic_string();
    const auto known = m_stamps.find(descriptor);
    if (known != m_stamps.end() && known->second == stampOf(descriptor, known->second.archive))
        return;

    const Outcome outcome = checkGame(descriptor);
    const std::string verdict = outcome == Outcome::Elsewhere ? "its archive is on another server"
                                : outcome == Outcome::Ready    ? "ready"
                                : outcome == Outcome::Repaired ? "ready as repaired"
                                                               : "not ready";
    tell(std::string(kPrefix) + shownPath(descriptor) + (known == m_stamps.end() ? " checked when served: " :
                                                                                " changed since it was checked: ") +
         verdict);
}

GameCheck::Outcome GameCheck::checkGame(const std::string& descriptorPath)
{
    const std::shared_ptr<const GameRecord> record = m_records.descriptor(m_gameDirectory, m_pathsDecoded, descriptorPath);
    const GameInspection inspection = inspectRecord(*record, m_origins);
    m_stamps[descriptorPath] = stampOf(descriptorPath, inspection.archive);
    // A descriptor pointing at a host long gone may name an archive that lies right here.
    const bool repaired = m_repaired && (!inspection.problems.empty() || inspection.archiveElsewhere) &&
                          installsRepaired(*record);
    for (const auto* list : {&inspection.problems, &inspection.notes}) {
        if (repaired && list == &inspection.problems)
            continue;
        for (const GameProblem& problem : *list)
            tell(std::string(kPrefix) + shownPath(descriptorPath) + ": " + problem.what + " (" + problem.consequence +
                 "); " + problem.fix);
    }
    if (repaired)
        return Outcome::Repaired;
    if (inspection.archiveElsewhere)
        tell(std::string(kPrefix) + shownPath(descriptorPath) + ": its archive is not served here (MIDlet-Jar-URL " +
             *inspection.archiveElsewhere + "), so only the descriptor is checked");
    if (!inspection.problems.empty())
        return Outcome::Problems;
    return inspection.archiveElsewhere ? Outcome::Elsewhere : Outcome::Ready;
}

bool GameCheck::installsRepaired(const GameRecord& record)
{
    // Any address phones reach the server at will do: the repair points the
    // archive there, and the check takes it for this server.
    const std::string origin = m_origins.empty() ? "http://tarnwick.invalid" : m_origins.front();
    const auto repaired = repairRecord(record, origin, origin + "/.install-report/check");
    if (!repaired)
        return false;
    std::vector<std::string> origins = m_origins;
    origins.push_back(origin);
    const GameInspection served = inspectServedDescriptor(record, repaired->text, origins);
    if (!served.problems.empty() || served.archiveElsewhere)
        return false;
    std::string mended;
    for (const std::string& change : repaired->changes) {
        if (change.find("report address") == std::string::npos)
            mended += (mended.empty() ? "" : ", ") + change;
    }
    tell(std::string(kPrefix) + shownPath(record.descriptorPath) + ": installs only as repaired when served (" +
         mended + ")");
    return true;
}

GameCheck::GameStamp GameCheck::stampOf(const std::string& descriptorPath, const fs::path& archive) const
{
    GameStamp result;
    result.descriptor = fileStamp(mapRequestPath(m_gameDirectory, descriptorPath));
    result.archive = archive;
    if (!archive.empty())
        result.archiveStamp = fileStamp(archive);
    return result;
}

void GameCheck::tell(const std::string& line) const
{
    m_onLine(printableMessage(line));
}
