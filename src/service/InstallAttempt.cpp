#include "InstallAttempt.h"

#include "InstallStatus.h"
#include "PrintableText.h"

namespace {

int percentReceived(const InstallAttempt& attempt)
{
    if (attempt.archiveSize <= 0)
        return 100;
    return static_cast<int>(attempt.archiveReceived * 100 / attempt.archiveSize);
}

std::string percent(const InstallAttempt& attempt)
{
    return std::to_string(percentReceived(attempt)) + " %";
}

std::string reportText(const InstallAttempt& attempt)
{
    return std::to_string(attempt.reportCode) + " " + std::string(statusMeaning(attempt.reportCode));
}

std::string noReportLine(const InstallAttempt& attempt)
{
    if (attempt.archiveReceived == 0)
        return attempt.phone + " fetched the descriptor of " + attempt.game + " but not its archive, no report";
    if (attempt.archiveReceived >= attempt.archiveSize)
        return attempt.phone + " received " + attempt.game + " (" + withThousands(attempt.archiveSize) +
               " bytes), no report";
    return attempt.phone + ": " + attempt.game + " cut short after " + withThousands(attempt.archiveReceived) +
           " of " + withThousands(attempt.archiveSize) + " bytes, no report";
}

} // namespace

std::string stepText(const InstallAttempt& attempt)
{
    switch (attempt.step) {
    case InstallAttempt::Step::Descriptor:
        return attempt.repaired ? "descriptor (repaired)" : "descriptor";
    case InstallAttempt::Step::Archive:
        return "archive " + percent(attempt) + (attempt.resumed ? " (resumed)" : "");
    case InstallAttempt::Step::ArchiveReceived:
        return "archive received";
    case InstallAttempt::Step::ArchiveCutShort:
        return "archive cut short at " + percent(attempt);
    case InstallAttempt::Step::Installed:
        return "installed";
    case InstallAttempt::Step::Failed:
        return "failed " + std::to_string(attempt.reportCode);
    case InstallAttempt::Step::NoReport:
        return attempt.archiveReceived == 0 ? "descriptor only, no report"
               : attempt.archiveReceived >= attempt.archiveSize ? "archive received, no report"
                                                                : "cut short at " + percent(attempt) + ", no report";
    case InstallAttempt::Step::FetchedAgain:
        return "fetched again";
    }
    return {};
}

std::string finishedLine(const InstallAttempt& attempt)
{
    switch (attempt.step) {
    case InstallAttempt::Step::Installed:
        return attempt.phone + " installed " + attempt.game + " (" + reportText(attempt) + ") in " +
               std::to_string(attempt.took.count()) + " s";
    case InstallAttempt::Step::Failed:
        return attempt.phone + ": " + attempt.game + " failed: " + reportText(attempt) +
               (attempt.advice.empty() ? "" : " \xE2\x80\x94 " + attempt.advice);
    case InstallAttempt::Step::NoReport:
        return noReportLine(attempt);
    default:
        return {};
    }
}
