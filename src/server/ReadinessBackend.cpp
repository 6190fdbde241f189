#include "ReadinessBackend.h"

#include "PollBackend.h"

#include <stdexcept>
#include <string>

#ifdef __linux__
#include "EpollBackend.h"
#endif

std::unique_ptr<ReadinessBackend> makeReadinessBackend(ReadinessBackendKind kind)
{
    switch (kind) {
    case ReadinessBackendKind::Poll:
        return std::make_unique<PollBackend>();
    case ReadinessBackendKind::Epoll:
#ifdef __linux__
        return std::make_unique<EpollBackend>();
#else
        break;
#endif
    }
    throw std::runtime_error("This system has no " + std::string(readinessBackendName(kind)) + " to wait with");
}
