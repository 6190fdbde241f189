#include "InstallReport.h"

#include "AsciiText.h"
#include "InstallStatus.h"

namespace {

constexpr int kDeletionCode = 912;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<InstallReport> readInstallReport(std::string_view body, ReportCodes codes)
{
    if (body.size() < 3 || !isDigit(body[0]) || !isDigit(body[1]) || !isDigit(body[2]))
        return std::nullopt;
    if (body.size() > 3 && isDigit(body[3]))
        return std::nullopt;
    const int code = (body[0] - '0') * 100 + (body[1] - '0') * 10 + (body[2] - '0');
    const int last = codes == ReportCodes::Any ? 999 : kDeletionCode;
    if (code < 900 || code > last)
        return std::nullopt;
    return InstallReport{code, statusMeaning(code)};
}

std::string reportTitle(const InstallReport& report)
{
    std::string title = report.code == kDeletionCode ? "Delete report " : "Install report ";
    return title.append(std::to_string(report.code)).append(" ").append(report.meaning);
}

std::string describeInstallReport(const InstallReport& report, std::string_view path)
{
    return reportTitle(report).append(", posted to ").append(path);
}

std::string_view requestBody(std::string_view request)
{
    const auto blankLine = request.find(kBlankLine);
    return blankLine == std::string_view::npos ? std::string_view{} : request.substr(blankLine + kBlankLine.size());
}
