#include "ReportAddresses.h"

#include <cstdio>
#include <random>

ReportAddresses::ReportAddresses()
    : m_run(std::random_device{}())
{
}

std::string ReportAddresses::nextPath()
{
    char token[40];
    std::snprintf(token, sizeof token, "%08x-%llu", m_run, static_cast<unsigned long long>(m_next++));
    return std::string(kPathPrefix) + token;
}

void ReportAddresses::remember(const std::string& path, Download download)
{
    if (m_order.size() == kMaxKept) {
        m_downloads.erase(m_order.front());
        m_order.pop_front();
    }
    m_order.push_back(path);
    m_downloads[path] = std::move(download);
}

const ReportAddresses::Download* ReportAddresses::find(std::string_view path) const
{
    const auto found = m_downloads.find(std::string(path));
    return found == m_downloads.end() ? nullptr : &found->second;
}
