#include "SettingsLocation.h"

#include <system_error>

bool makeSettingsFolder(const std::filesystem::path& file, std::string& why)
{
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) {
        why = error.message();
        return false;
    }
    return true;
}
