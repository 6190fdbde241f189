#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The files this process holds open in `folder` or below it, as the system
// sees them: what keeps a memory card from being ejected.
inline std::vector<std::string> filesHeldOpenIn(const std::filesystem::path& folder)
{
    const std::string prefix = std::filesystem::weakly_canonical(folder).string() + "/";
    std::vector<std::string> held;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().starts_with(prefix))
            held.push_back(target.string());
    }
    return held;
}
