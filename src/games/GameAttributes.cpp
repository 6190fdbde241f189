#include "GameAttributes.h"

#include "BoundedRead.h"
#include "DescriptorReader.h"
#include "JarArchive.h"
#include "ManifestReader.h"

std::optional<AttributeList> readDescriptorAttributes(const std::filesystem::path& file)
{
    std::optional<std::string> read = readBounded(file, kMaxDescriptorBytes);
    if (!read)
        return std::nullopt;
    std::string& text = *read;
    // A line cut at the bound would show a value that is not the file's.
    if (text.size() > kMaxDescriptorBytes)
        text.resize(text.find_last_of("\r\n", kMaxDescriptorBytes - 1) + 1);
    return readDescriptor(text).attributes;
}

std::optional<AttributeList> readManifestAttributes(const std::filesystem::path& archive, std::string& error)
{
    const std::optional<JarArchive> jar = JarArchive::open(archive, error);
    if (!jar)
        return std::nullopt;
    const std::optional<std::string> manifest = jar->readEntry(kManifestEntry, kMaxManifestBytes, error);
    if (!manifest) {
        if (!jar->hasEntry(kManifestEntry))
            error = "it holds no " + std::string(kManifestEntry);
        return std::nullopt;
    }
    return readManifest(*manifest).attributes;
}
