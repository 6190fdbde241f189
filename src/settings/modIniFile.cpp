#include "modIniFile.h"

#include "FileReplacement.h"
#include "IniLineEditor.h"
#include "Utf8Path.h"

// The conversion the library uses (ICU, as Debian builds it; the system's own
// on Windows) comes from the build.
#include <SimpleIni.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// The file's text; a missing file is an empty one.
bool readText(const std::string& file, std::string& text)
{
    std::ifstream input(pathFromUtf8(file), std::ios::binary);
    if (!input)
        return !std::filesystem::exists(pathFromUtf8(file));
    std::ostringstream contents;
    contents << input.rdbuf();
    text = contents.str();
    return true;
}

bool load(CSimpleIniA& ini, const std::string& text)
{
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    return ini.LoadData(text) >= 0;
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
    std::string text;
    if (!readText(file, text))
        return false;
    IniLineEditor editor(text);
    return editor.setValue(section, key, value) && replaceFileContents(file, editor.text());
}
