#include "ServedGame.h"

#include "GameDirectory.h"
#include "GameRecord.h"
#include "JarUrl.h"

ServedGame servedGame(const GameRecord& record, std::string_view origin)
{
    if (record.servedForAnyOrigin)
        return *record.servedForAnyOrigin;
    const AttributeList& descriptor = record.listed;
    ServedGame game;
    game.name = descriptor.value("MIDlet-Name").value_or("");
    game.version = descriptor.value("MIDlet-Version").value_or("");
    // An address on this server, resolved as a phone resolves it.
    const auto here = [&](std::string_view attribute) -> std::string {
        const auto url = descriptor.value(attribute);
        if (!url)
            return {};
        JarLocation location = resolveJarUrl(*url, record.descriptorPath, {std::string(origin)});
        return location.kind == JarLocation::Kind::Here ? std::move(location.requestPath) : std::string();
    };
    const ArchiveReading* archive = nullptr;
    if (const std::string named = here("MIDlet-Jar-URL"); !named.empty()) {
        const std::string path = servedPath(record, named);
        const ArchiveLookup* lookup = record.lookup(path);
        const std::string found = lookup && !lookup->requestPath.empty() ? lookup->requestPath : path;
        game.archivePath = mapRequestPath(record.gameDirectory, found);
        archive = record.archive(found);
    }
    game.notifyPath = here("MIDlet-Install-Notify");
    game.platform = gamePlatform(descriptor, archive ? &archive->manifestAttributes() : nullptr);
    return game;
}
