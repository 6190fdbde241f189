#include "ReportAddresses.h"

#include <array>
#include <charconv>
#include <random>

ReportAddresses::ReportAddresses()
    : m_run(std::random_device{}())
{
}

namespace {

// "<run in 8 hex digits>-<number>", as every address is written.
std::string_view tokenOf(std::uint32_t run, std::uint64_t number, std::array<char, 32>& space)
{
    char* at = space.data();
    for (int shift = 28; shift >= 0; shift -= 4)
        *at++ = "0123456789abcdef"[(run >> shift) & 0xF];
    *at++ = '-';
    at = std::to_chars(at, space.data() + space.size(), number).ptr;
    return {space.data(), static_cast<std::size_t>(at - space.data())};
}

} // namespace

ReportAddresses::Issued ReportAddresses::issue()
{
    const std::uint64_t number = m_next++;
    std::array<char, 32> space{};
    const std::string_view token = tokenOf(m_run, number, space);
    std::string path;
    path.reserve(kPathPrefix.size() + token.size());
    path.append(kPathPrefix).append(token);
    return {number, std::move(path)};
}

void ReportAddresses::remember(std::uint64_t number, Download download)
{
    const std::size_t at = number % kMaxKept;
    if (m_kept.size() <= at)
        m_kept.resize(at + 1);
    m_kept[at] = {number, std::move(download)};
}

const ReportAddresses::Download* ReportAddresses::find(std::string_view path) const
{
    if (!isReportPath(path))
        return nullptr;
    const std::string_view token = path.substr(kPathPrefix.size());
    const std::size_t dash = token.find('-');
    std::uint64_t number = 0;
    if (dash == std::string_view::npos ||
        std::from_chars(token.data() + dash + 1, token.data() + token.size(), number).ec != std::errc())
        return nullptr;
    // Only an address as it was issued: this run's, written as it was written.
    std::array<char, 32> space{};
    if (token != tokenOf(m_run, number, space))
        return nullptr;
    const std::size_t at = number % kMaxKept;
    return at < m_kept.size() && m_kept[at].number == number ? &m_kept[at].download : nullptr;
}
