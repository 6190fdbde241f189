#include "InstallStatus.h"

#include <array>
#include <utility>

std::string_view statusMeaning(int code)
{
    static constexpr std::array<std::pair<int, std::string_view>, 19> kMeanings{{
        {900, "Success"},
        {901, "Insufficient memory"},
        {902, "User cancelled"},
        {903, "Loss of service"},
        {904, "JAR size mismatch"},
        {905, "Attribute mismatch"},
        {906, "Invalid descriptor"},
        {907, "Invalid JAR"},
        {908, "Incompatible configuration or profile"},
        {909, "Application authentication failure"},
        {910, "Application authorization failure"},
        {911, "Push registration failure"},
        {912, "Deletion notification"},
        {913, "Required package not supported"},
        {951, "Invalid download descriptor version"},
        {952, "Device aborted"},
        {953, "Non-acceptable content"},
        {954, "Loader error"},
        {999, "Other error"},
    }};
    for (const auto& [known, meaning] : kMeanings) {
        if (known == code)
            return meaning;
    }
    return "unknown code";
}

std::string describe(InstallStatus status)
{
    const int code = static_cast<int>(status);
    return std::to_string(code) + " " + std::string(statusMeaning(code));
}
