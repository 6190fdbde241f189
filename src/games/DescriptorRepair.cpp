#include "DescriptorRepair.h"

#include "AttributeList.h"
#include "ByteCount.h"
#include "DescriptorReader.h"
#include "GameAttributes.h"
#include "GameDirectory.h"
#include "JarUrl.h"
#include "PrintableText.h"
#include "TextLines.h"
#include "Utf8.h"
#include "WebText.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kJarUrl = "MIDlet-Jar-URL";
constexpr std::string_view kJarSize = "MIDlet-Jar-Size";

bool holdsControl(std::string_view value)
{
    return std::any_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
}

class Repair {
public:
    Repair(std::vector<AttributeList::Attribute> attributes, const RepairContext& context)
        : m_attributes(std::move(attributes))
        , m_context(context)
    {
    }

    RepairedDescriptor run(std::vector<std::string> changes)
    {
        m_result.changes = std::move(changes);
        if (const auto archive = findArchive())
            takeArchive(*archive);
        addReportAddress("MIDlet-Install-Notify", "install");
        addReportAddress("MIDlet-Delete-Notify", "delete");
        for (const auto& [name, value] : m_attributes)
            m_result.text.append(name).append(": ").append(value).append("\r\n");
        m_result.name = std::string(valueOf("MIDlet-Name"));
        m_result.version = std::string(valueOf("MIDlet-Version"));
        return std::move(m_result);
    }

private:
    std::string* find(std::string_view name)
    {
        for (auto& attribute : m_attributes) {
            if (attribute.name == name)
                return &attribute.value;
        }
        return nullptr;
    }

    std::string_view valueOf(std::string_view name)
    {
        const std::string* value = find(name);
        return value ? std::string_view(*value) : std::string_view();
    }

    // Sets the attribute, adding it at the end when it is missing; whether it changed.
    bool set(std::string_view name, std::string value, std::string* was = nullptr)
    {
        std::string* current = find(name);
        if (!current) {
            m_attributes.push_back({std::string(name), std::move(value)});
            return true;
        }
        if (*current == value)
            return false;
        if (was)
            *was = std::exchange(*current, std::move(value));
        else
            *current = std::move(value);
        return true;
    }

    // The request path of an archive in the game directory, when that path names one.
    std::optional<std::string> servedArchive(const std::string& requestPath) const
    {
        const std::string path = m_context.pathsDecoded ? decodeUrlPath(requestPath) : requestPath;
        std::error_code error;
        if (!isServablePath(m_context.gameDirectory, path) ||
            !fs::is_regular_file(mapRequestPath(m_context.gameDirectory, path), error))
            return std::nullopt;
        return path;
    }

    std::optional<std::string> findArchive()
    {
        const std::string url(valueOf(kJarUrl));
        if (url.empty())
            return std::nullopt;
        const JarLocation location = resolveJarUrl(url, m_context.descriptorPath, {m_context.origin});
        if (location.kind == JarLocation::Kind::Here) {
            if (auto found = servedArchive(location.requestPath))
                return found;
        }
        // An address at a host long gone still names the archive by its last segment.
        const std::string path = url.substr(0, url.find_first_of("?#"));
        const std::string segment = path.substr(path.rfind('/') + 1);
        if (segment.empty())
            return std::nullopt;
        const std::string folder = m_context.descriptorPath.substr(0, m_context.descriptorPath.rfind('/') + 1);
        return servedArchive(folder + segment);
    }

    void takeArchive(const std::string& archivePath)
    {
        m_result.archivePath = archivePath;
        const std::string encoded = m_context.pathsDecoded ? encodeUrlPath(archivePath) : archivePath;
        if (set(kJarUrl, m_context.origin + encoded))
            m_result.changes.push_back("MIDlet-Jar-URL on this server");
        const fs::path file = mapRequestPath(m_context.gameDirectory, archivePath);
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file, error);
        if (!error) {
            std::string was;
            if (set(kJarSize, std::to_string(size), &was)) {
                const auto wasCount = parseByteCount(was);
                m_result.changes.push_back(std::string(kJarSize) + " " + withThousands(static_cast<std::int64_t>(size)) +
                                           " (was " + (was.empty() ? "missing" : wasCount ? withThousands(static_cast<std::int64_t>(*wasCount)) : was) + ")");
            }
        }
        std::string why;
        if (const auto manifest = readManifestAttributes(file, why)) {
            m_manifest = *manifest;
            for (const std::string_view name : {"MIDlet-Name", "MIDlet-Vendor", "MIDlet-Version"}) {
                const auto found = manifest->value(name);
                // Control characters make no name: a descriptor holding them would read as no text.
                if (!found || holdsControl(*found))
                    continue;
                // As a phone decodes the manifest: what is not UTF-8 becomes U+FFFD.
                const std::string wanted = withReplacementCharacters(*found);
                std::string was;
                if (set(name, wanted, &was))
                    m_result.changes.push_back(std::string(name) + " " + wanted + " (was " +
                                               (was.empty() ? "missing" : was) + ")");
            }
        }
    }

    void addReportAddress(std::string_view name, std::string_view kind)
    {
        const std::string& address = m_context.reportAddress;
        // A signed suite's manifest fixes the address: the two must match.
        if (address.empty() || address.size() > kMaxReportAddressBytes || m_manifest.has(name))
            return;
        const bool had = find(name) != nullptr;
        if (set(name, address))
            m_result.changes.push_back(std::string(kind) + " report address " + (had ? "on this server" : "added"));
    }

    std::vector<AttributeList::Attribute> m_attributes;
    const RepairContext& m_context;
    AttributeList m_manifest;
    RepairedDescriptor m_result;
};

} // namespace

std::optional<RepairedDescriptor> repairDescriptor(std::string_view text, const RepairContext& context)
{
    if (text.size() > kMaxDescriptorBytes || !looksLikeText(text))
        return std::nullopt;
    ForgivingReading read = readDescriptorText(text).asRepaired;
    return Repair(std::move(read.attributes), context).run(std::move(read.changes));
}
