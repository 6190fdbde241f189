#include "Readiness.h"

#include <algorithm>
#include <cstdlib>

std::vector<ReadinessBackendKind> availableReadinessBackends()
{
#ifdef __linux__
    return {ReadinessBackendKind::Epoll, ReadinessBackendKind::Poll};
#else
    return {ReadinessBackendKind::Poll};
#endif
}

ReadinessBackendKind defaultReadinessBackend()
{
    return availableReadinessBackends().front();
}

ReadinessBackendKind chosenReadinessBackend()
{
    const char* name = std::getenv("TARNWICK_READINESS");
    const auto named = readinessBackendNamed(name ? name : "");
    const auto available = availableReadinessBackends();
    if (named && std::find(available.begin(), available.end(), *named) != available.end())
        return *named;
    return defaultReadinessBackend();
}

std::string_view readinessBackendName(ReadinessBackendKind kind)
{
    return kind == ReadinessBackendKind::Epoll ? "epoll" : "poll";
}

std::optional<ReadinessBackendKind> readinessBackendNamed(std::string_view name)
{
    for (const ReadinessBackendKind kind : {ReadinessBackendKind::Epoll, ReadinessBackendKind::Poll})
        if (name == readinessBackendName(kind))
            return kind;
    return std::nullopt;
}
