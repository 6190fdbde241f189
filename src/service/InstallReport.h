#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a phone POSTs to a descriptor's MIDlet-Install-Notify or
// MIDlet-Delete-Notify address once an install (or a deletion) is over: a
// status code, usually followed by a blank and a message ("904 JAR Size
// Mismatch").
struct InstallReport {
    int code = 0;
    // What the code means for the operator ("JAR size mismatch").
    std::string_view meaning;
};

// The codes a report may carry: a report to any path must hold one of the
// install codes 900-912, while one posted to an address this server gave
// out may hold any code from 900 to 999.
enum class ReportCodes { Install, Any };

// The report a request body carries: one that begins with a three-digit
// code in the range that no further digit follows. Nothing for any other
// body.
[[nodiscard]] std::optional<InstallReport> readInstallReport(std::string_view body,
                                                             ReportCodes codes = ReportCodes::Install);

// "Install report 904 JAR size mismatch", or "Delete report ..." for 912.
[[nodiscard]] std::string reportTitle(const InstallReport& report);

// The log line for a report posted to `path`: "Install report 904 JAR size
// mismatch, posted to /notify".
[[nodiscard]] std::string describeInstallReport(const InstallReport& report, std::string_view path);

// The body of a request as the receive buffer hands it on: everything after
// the header's blank line (a chunked body already decoded).
[[nodiscard]] std::string_view requestBody(std::string_view request);
