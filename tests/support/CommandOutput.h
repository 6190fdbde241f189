#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// The output of a shell command, run while the server goes on serving on
// its own thread; the command must succeed.
inline std::string commandOutput(const std::string& command)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return output;
    }
    char buffer[64 * 1024];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, count);
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return output;
}
