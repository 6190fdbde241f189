#include "InstallAttempts.h"

#include "GameDirectory.h"
#include "InstallAdvice.h"
#include "PrintableText.h"
#include "ReportAddresses.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kSuccess = 900;
constexpr int kDeletion = 912;
// Enough for any game's name and version in a line or a table cell.
constexpr std::size_t kMaxGameBytes = 100;

std::string fileName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string gameTitle(const ServedGame& game, std::string_view requestPath)
{
    std::string title = game.name.empty() ? fileName(requestPath) : game.name;
    if (!game.version.empty())
        title += " " + game.version;
    return printableMessage(title.substr(0, kMaxGameBytes));
}

std::string platformText(const Platform& platform)
{
    if (platform.profile.empty() || platform.configuration.empty())
        return platform.profile + platform.configuration;
    return platform.profile + " " + platform.configuration;
}

std::string join(const std::string& key, const std::string& file)
{
    return key + '\n' + file;
}

// Forgets `key` when it still leads to the attempt `id`.
void forget(std::unordered_map<std::string, std::uint64_t>& index, const std::string& key, std::uint64_t id)
{
    if (const auto found = index.find(key); found != index.end() && found->second == id)
        index.erase(found);
}

} // namespace

InstallAttempts::InstallAttempts(ActivityLog& log, const Clock& clock, std::function<TimePoint()> now)
    : m_log(log)
    , m_clock(clock)
    , m_now(std::move(now))
{
}

std::string InstallAttempts::phoneKey(const Requester& requester)
{
    return join(requester.address, requester.userAgent.substr(0, kMaxPhoneHeaderBytes));
}

void InstallAttempts::descriptorServed(const Requester& requester, const ServedDescriptor& descriptor)
{
    const std::string key = phoneKey(requester);
    if (const auto again = m_byDescriptor.find(join(key, descriptor.file)); again != m_byDescriptor.end())
        finish(m_open.find(again->second), InstallAttempt::Step::FetchedAgain);
    if (m_open.size() >= kMaxOpen)
        finish(m_open.begin(), InstallAttempt::Step::NoReport);

    const PhoneIdentity identity = identifyPhone(requester.userAgent, requester.wapProfile);
    Open open;
    InstallAttempt& attempt = open.attempt;
    attempt.id = ++m_lastId;
    attempt.address = requester.address;
    attempt.phone = identity.model.empty() ? requester.address : identity.model;
    attempt.platform = platformText(identity.platform);
    attempt.game = gameTitle(descriptor.game, descriptor.requestPath);
    attempt.descriptor = printableMessage(shownPath(descriptor.requestPath));
    attempt.repaired = descriptor.repaired;
    attempt.warning = platformShortfall(identity.platform, descriptor.game.platform).value_or("");
    attempt.started = m_clock.localNow();
    open.phoneKey = key;
    open.descriptorFile = descriptor.file;
    open.archiveFile = descriptor.game.archivePath;
    open.reportPath = descriptor.reportPath;
    open.notifyPath = descriptor.game.notifyPath;
    open.startedAt = open.lastEvent = m_now();

    m_byDescriptor[join(key, open.descriptorFile)] = attempt.id;
    if (!open.archiveFile.empty())
        m_byArchive[join(key, open.archiveFile)] = attempt.id;
    if (!open.reportPath.empty())
        m_byReportPath[open.reportPath] = attempt.id;
    // Said at once: the phone takes a while to find out for itself.
    if (!attempt.warning.empty())
        log(attempt.address, attempt.phone + ": " + attempt.game + " " + attempt.warning);
    changed(m_open.emplace(attempt.id, std::move(open)).first->second.attempt);
}

void InstallAttempts::archiveServed(SlotNumber slot, const Requester& requester, const std::string& file,
                                    std::int64_t offset, std::int64_t fileSize)
{
    const auto found = m_byArchive.find(join(phoneKey(requester), file));
    Open* open = found == m_byArchive.end() ? nullptr : openAttempt(found->second);
    if (!open)
        return;
    InstallAttempt& attempt = open->attempt;
    m_transfers[slot] = Transfer{attempt.id, file, offset};
    attempt.archiveSize = fileSize;
    // A fetch from the start begins the download anew; a part of it goes on from where it stopped.
    if (offset == 0)
        attempt.archiveReceived = 0;
    else
        attempt.resumed = true;
    attempt.step = InstallAttempt::Step::Archive;
    open->lastEvent = m_now();
    changed(attempt);
}

void InstallAttempts::fileProgress(SlotNumber slot, const std::string& file, std::int64_t sent, std::int64_t size)
{
    const auto found = m_transfers.find(slot);
    if (found == m_transfers.end() || found->second.file != file)
        return;
    const Transfer transfer = found->second;
    if (sent >= size)
        m_transfers.erase(found);
    if (Open* open = openAttempt(transfer.id))
        archiveReached(*open, transfer.offset + sent, false);
}

void InstallAttempts::fileCutShort(SlotNumber slot, const std::string& file, std::int64_t sent, std::int64_t /*size*/)
{
    const auto found = m_transfers.find(slot);
    if (found == m_transfers.end() || found->second.file != file)
        return;
    const Transfer transfer = found->second;
    m_transfers.erase(found);
    if (Open* open = openAttempt(transfer.id))
        archiveReached(*open, transfer.offset + sent, true);
}

void InstallAttempts::connectionClosed(SlotNumber slot)
{
    m_transfers.erase(slot);
}

void InstallAttempts::archiveReached(Open& open, std::int64_t received, bool cutShort)
{
    InstallAttempt& attempt = open.attempt;
    attempt.archiveReceived = std::max(attempt.archiveReceived, received);
    if (attempt.archiveReceived >= attempt.archiveSize)
        attempt.step = InstallAttempt::Step::ArchiveReceived;
    else
        attempt.step = cutShort ? InstallAttempt::Step::ArchiveCutShort : InstallAttempt::Step::Archive;
    open.lastEvent = m_now();
    changed(attempt);
}

bool InstallAttempts::reportReceived(std::string_view path, std::string_view address, const InstallReport& report)
{
    // A deletion belongs to no install.
    if (report.code == kDeletion)
        return false;
    Open* open = attemptForReport(path, address);
    if (!open)
        return false;
    InstallAttempt& attempt = open->attempt;
    attempt.reportCode = report.code;
    attempt.took = std::chrono::duration_cast<std::chrono::seconds>(m_now() - open->startedAt);
    attempt.advice = installAdvice(report.code, fileName(attempt.descriptor), attempt.repaired);
    finish(m_open.find(attempt.id),
           report.code == kSuccess ? InstallAttempt::Step::Installed : InstallAttempt::Step::Failed);
    return true;
}

InstallAttempts::Open* InstallAttempts::attemptForReport(std::string_view path, std::string_view address)
{
    // An address of this server's own names its download, or none.
    if (ReportAddresses::isReportPath(path)) {
        const auto found = m_byReportPath.find(std::string(path));
        return found == m_byReportPath.end() ? nullptr : openAttempt(found->second);
    }
    // Reports are few: looking through the phone's attempts costs nothing that matters.
    Open* newest = nullptr;
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) {
        Open& open = it->second;
        if (open.attempt.address != address || !open.reportPath.empty())
            continue;
        if (open.notifyPath == path)
            return &open;
        if (!newest)
            newest = &open;
    }
    return newest;
}

InstallAttempts::Open* InstallAttempts::openAttempt(std::uint64_t id)
{
    const auto found = m_open.find(id);
    return found == m_open.end() ? nullptr : &found->second;
}

void InstallAttempts::finishOverdue()
{
    const TimePoint now = m_now();
    std::vector<std::uint64_t> overdue;
    for (const auto& [id, open] : m_open)
        if (now - open.lastEvent >= kReportWait)
            overdue.push_back(id);
    for (const std::uint64_t id : overdue)
        finish(m_open.find(id), InstallAttempt::Step::NoReport);
}

void InstallAttempts::finish(std::map<std::uint64_t, Open>::iterator found, InstallAttempt::Step step)
{
    if (found == m_open.end())
        return;
    Open& open = found->second;
    InstallAttempt& attempt = open.attempt;
    attempt.step = step;
    if (const std::string line = finishedLine(attempt); !line.empty())
        log(attempt.address, line);
    changed(attempt);
    forget(m_byDescriptor, join(open.phoneKey, open.descriptorFile), attempt.id);
    forget(m_byArchive, join(open.phoneKey, open.archiveFile), attempt.id);
    forget(m_byReportPath, open.reportPath, attempt.id);
    m_open.erase(found);
}

void InstallAttempts::changed(const InstallAttempt& attempt) const
{
    if (m_changed)
        m_changed(attempt);
}

void InstallAttempts::log(const std::string& address, const std::string& line) const
{
    m_log.WriteActivityLog(line, address);
}
