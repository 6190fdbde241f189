#pragma once

#include "modIniFile.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A settings file of the test's own in a folder of its own.
class IniFile : public testing::Test {
protected:
    std::string write(const std::string& text) const
    {
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::string contents() const
    {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }

    static std::vector<std::string> fileNames(const std::filesystem::path& directory)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDirectory folder;
    std::string path = (folder.path() / "Tarnwick.ini").string();
};
