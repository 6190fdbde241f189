#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

// A folder of real files that lives as long as the test.
class TempDirectory {
public:
    TempDirectory()
    {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() / ("tarnwick-test-" + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string string() const { return m_path.string(); }

    std::filesystem::path write(std::string_view relative, std::string_view contents) const
    {
        const std::filesystem::path file = m_path / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(contents.data(), static_cast<std::streamsize>(contents.size()));
        return file;
    }

private:
    std::filesystem::path m_path;
};
