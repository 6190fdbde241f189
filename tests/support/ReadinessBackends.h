#pragma once

#include "Readiness.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// The engine's tests run on every readiness backend this system has, named
// after it: Backends/EndToEnd.ServesTwoHundredSimultaneousConnections/poll.
inline auto everyReadinessBackend()
{
    return testing::ValuesIn(availableReadinessBackends());
}

inline std::string backendTestName(const testing::TestParamInfo<ReadinessBackendKind>& info)
{
    return std::string(readinessBackendName(info.param));
}

inline void PrintTo(ReadinessBackendKind kind, std::ostream* out)
{
    *out << readinessBackendName(kind);
}
