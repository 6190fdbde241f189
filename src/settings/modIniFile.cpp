#include "modIniFile.h"

// The packaged library is built for ICU conversion.
#define SI_CONVERT_ICU
#include <SimpleIni.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

// The file's text; a missing file is an empty one.
bool readText(const std::string& file, std::string& text)
{
    std::ifstream input(file, std::ios::binary);
    if (!input)
        return !std::filesystem::exists(file);
    std::ostringstream contents;
    contents << input.rdbuf();
    text = contents.str();
    return true;
}

bool load(CSimpleIniA& ini, const std::string& text)
{
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);
    return ini.LoadData(text) >= 0;
}

// The library keeps comments that stand before a section or a key; those
// after the last entry of the file would be lost on saving without this.
std::string trailingComments(std::string_view text)
{
    std::size_t tailStart = text.size();
    std::size_t lineEnd = text.size();
    while (lineEnd > 0) {
        const auto lineStart = text.rfind('\n', lineEnd - 1);
        const std::size_t begin = lineStart == std::string_view::npos ? 0 : lineStart + 1;
        const std::string_view line = text.substr(begin, lineEnd - begin);
        const auto first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos && line[first] != ';' && line[first] != '#')
            break;
        tailStart = begin;
        if (lineStart == std::string_view::npos)
            break;
        lineEnd = lineStart;
    }
    const std::string_view tail = text.substr(tailStart);
    return tail.find_first_of(";#") == std::string_view::npos ? std::string() : std::string(tail);
}

} // namespace

std::string ReadIniValue(std::string_view section, std::string_view key, const std::string& file)
{
    CSimpleIniA ini;
    std::string text;
    if (!readText(file, text) || !load(ini, text))
        return {};
    return ini.GetValue(std::string(section).c_str(), std::string(key).c_str(), "");
}

bool WriteIniValue(std::string_view section, std::string_view key, std::string_view value, const std::string& file)
{
    CSimpleIniA ini;
    std::string original;
    if (!readText(file, original) || !load(ini, original))
        return false;
    if (ini.SetValue(std::string(section).c_str(), std::string(key).c_str(), std::string(value).c_str()) < 0)
        return false;
    std::string text;
    if (ini.Save(text) < 0)
        return false;
    text += trailingComments(original);

    const std::string temporary = file + ".new";
    {
        std::ofstream output(temporary, std::ios::binary | std::ios::trunc);
        output.write(text.data(), static_cast<std::streamsize>(text.size()));
        output.flush();
        if (!output) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (error)
        std::remove(temporary.c_str());
    return !error;
}
