#include "InstallReport.h"

#include "AsciiText.h"

#include <array>

namespace {

constexpr int kFirstCode = 900;
constexpr std::array<std::string_view, 13> kMeanings{
    "Success",
    "Insufficient memory",
    "User cancelled",
    "Loss of service",
    "JAR size mismatch",
    "Attribute mismatch",
    "Invalid descriptor",
    "Invalid JAR",
    "Incompatible configuration or profile",
    "Application authentication failure",
    "Application authorization failure",
    "Push registration failure",
    "Deletion notification",
};
constexpr int kDeletionCode = 912;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<InstallReport> readInstallReport(std::string_view body)
{
    if (body.size() < 3 || !isDigit(body[0]) || !isDigit(body[1]) || !isDigit(body[2]))
        return std::nullopt;
    if (body.size() > 3 && isDigit(body[3]))
        return std::nullopt;
    const int code = (body[0] - '0') * 100 + (body[1] - '0') * 10 + (body[2] - '0');
    const int index = code - kFirstCode;
    if (index < 0 || index >= static_cast<int>(kMeanings.size()))
        return std::nullopt;
    return InstallReport{code, kMeanings[static_cast<std::size_t>(index)]};
}

std::string describeInstallReport(const InstallReport& report, std::string_view path)
{
    std::string line = report.code == kDeletionCode ? "Delete report " : "Install report ";
    line.append(std::to_string(report.code)).append(" ").append(report.meaning);
    line.append(", posted to ").append(path);
    return line;
}

std::string_view requestBody(std::string_view request)
{
    const auto blankLine = request.find(kBlankLine);
    return blankLine == std::string_view::npos ? std::string_view{} : request.substr(blankLine + kBlankLine.size());
}
