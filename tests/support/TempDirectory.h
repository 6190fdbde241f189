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
    // The folder's name in UTF-8, as the program names files.
    std::string string() const
    {
        const std::u8string name = m_path.u8string();
        return std::string(name.begin(), name.end());
    }

    // Writes a file named in UTF-8 below the folder, with the folders it needs.
    std::filesystem::path write(std::string_view relative, std::string_view contents) const
    {
        const std::filesystem::path file = m_path / std::u8string(relative.begin(), relative.end());
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(contents.data(), static_cast<std::streamsize>(contents.size()));
        return file;
    }

private:
    std::filesystem::path m_path;
};
