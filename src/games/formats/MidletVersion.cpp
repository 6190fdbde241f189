#include "MidletVersion.h"

#include <cstddef>

namespace {

bool isPart(std::string_view part)
{
    if (part.empty())
        return false;
    unsigned value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 99)
            return false;
    }
    return true;
}

} // namespace

bool isMidletVersion(std::string_view version)
{
    std::size_t parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = version.find('.', start);
        if (!isPart(version.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start)))
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return parts == 2 || parts == 3;
}
