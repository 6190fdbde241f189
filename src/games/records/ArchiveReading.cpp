#include "ArchiveReading.h"

#include "AsciiText.h"
#include "ManifestReader.h"
#include "Utf8FileName.h"

#include <algorithm>

namespace {

// Every class entry the MIDlet-<n> lines of `attributes` name.
void addMidletClasses(const AttributeList& attributes, std::set<std::string>& entries)
{
    for (int n = 1; n <= kMaxMidlets; ++n) {
        const auto value = attributes.value("MIDlet-" + std::to_string(n));
        if (!value)
            break;
        if (auto entry = midletClassEntry(*value))
            entries.insert(std::move(*entry));
    }
}

} // namespace

const AttributeList& ArchiveReading::manifestAttributes() const
{
    static const AttributeList kNone;
    return manifest ? manifest->attributes : kNone;
}

std::optional<bool> ArchiveReading::hasEntry(std::string_view name) const
{
    const auto found = entries.find(name);
    return found == entries.end() ? std::nullopt : std::optional<bool>(found->second);
}

std::optional<std::string> midletClassEntry(std::string_view value)
{
    // "name, icon, class": the class is the third field.
    std::size_t comma = value.find(',');
    if (comma != std::string_view::npos)
        comma = value.find(',', comma + 1);
    const std::string_view className =
        comma == std::string_view::npos ? std::string_view() : trimBlanks(value.substr(comma + 1));
    if (className.empty())
        return std::nullopt;
    std::string entry(className);
    std::replace(entry.begin(), entry.end(), '.', '/');
    return entry + ".class";
}

ArchiveReading readArchive(const std::string& file, const std::string& requestPath, const FileStamp& stamp,
                           const ArchiveQuestions& questions, const ArchiveOpener& open)
{
    ArchiveReading reading;
    reading.requestPath = requestPath;
    reading.file = file;
    reading.stamp = stamp;
    std::string error;
    const std::optional<JarArchive> archive = open(pathFromUtf8(file), error, JarLimits{});
    if (!archive) {
        reading.refused = error.empty() ? "it cannot be opened" : error;
        return reading;
    }
    reading.hasManifestEntry = archive->hasEntry(kManifestEntry);
    if (const auto text = archive->readEntry(kManifestEntry, kMaxManifestBytes, reading.manifestError))
        reading.manifest = readManifest(*text);
    const AttributeList& manifest = reading.manifestAttributes();

    std::set<std::string> classes;
    addMidletClasses(manifest, classes);
    std::optional<std::string> iconName;
    bool signedSuite = false;
    for (const AttributeList* descriptor : questions.descriptors) {
        addMidletClasses(*descriptor, classes);
        if (!iconName)
            iconName = iconEntryName(*descriptor);
        signedSuite = signedSuite || isSignedSuite(*descriptor);
    }
    // A signature is over the whole file, as it was signed.
    if (signedSuite)
        reading.digest = digestOf(pathFromUtf8(file));
    for (const std::string& entry : classes)
        reading.entries.emplace(entry, archive->hasEntry(entry));
    if (!iconName)
        iconName = iconEntryName(manifest);
    if (iconName) {
        if (std::optional<GameIcon> icon = readGameIcon(*archive, *iconName))
            reading.icon = std::make_shared<const GameIcon>(std::move(*icon));
    }
    return reading;
}
