#include "MadeDescriptor.h"

#include "WebText.h"

#include <set>

namespace {

bool isSuiteAttribute(std::string_view name)
{
    return name.starts_with("MIDlet-") || name.starts_with("MicroEdition-");
}

bool isDescriptorOnly(std::string_view name)
{
    return name == "MIDlet-Jar-URL" || name == "MIDlet-Jar-Size" || name == "MIDlet-Jar-RSA-SHA1" ||
        name.starts_with("MIDlet-Certificate-");
}

} // namespace

std::string makeDescriptor(const AttributeList& manifest, std::string_view archiveName, std::uintmax_t archiveSize)
{
    std::string descriptor;
    // A name given twice makes some phones refuse the descriptor; the manifest's first one counts.
    std::set<std::string_view> taken;
    for (const auto& [name, value] : manifest.entries()) {
        if (isSuiteAttribute(name) && !isDescriptorOnly(name) && taken.insert(name).second)
            descriptor += name + ": " + value + "\r\n";
    }
    descriptor += "MIDlet-Jar-URL: " + encodeUrlPath(archiveName) + "\r\n";
    descriptor += "MIDlet-Jar-Size: " + std::to_string(archiveSize) + "\r\n";
    return descriptor;
}
