#include "ServedGames.h"

#include "GameAttributes.h"
#include "GameDirectory.h"
#include "JarUrl.h"


ServedGame ServedGames::read(std::string_view gameDirectory, std::string_view descriptorPath,
                             const std::string& descriptorFile, std::string_view origin)
{
    ServedGame game;
    const AttributeList descriptor = readDescriptorAttributes(descriptorFile).value_or(AttributeList{});
    game.name = descriptor.value("MIDlet-Name").value_or("");
    game.version = descriptor.value("MIDlet-Version").value_or("");
    // An address on this server, resolved as a phone resolves it.
    const auto here = [&](std::string_view attribute) -> std::string {
        const auto url = descriptor.value(attribute);
        if (!url)
            return {};
        JarLocation location = resolveJarUrl(*url, descriptorPath, {std::string(origin)});
        return location.kind == JarLocation::Kind::Here ? std::move(location.requestPath) : std::string();
    };
    if (const std::string archive = here("MIDlet-Jar-URL"); !archive.empty())
        game.archivePath = mapRequestPath(gameDirectory, archive);
    game.notifyPath = here("MIDlet-Install-Notify");
    game.platform = readGamePlatform(descriptor, game.archivePath);
    return game;
}

const ServedGame& ServedGames::lookUp(std::string_view gameDirectory, std::string_view descriptorPath,
                                      std::string_view origin)
{
    const std::string descriptorFile = mapRequestPath(gameDirectory, descriptorPath);
    const auto now = std::chrono::steady_clock::now();
    const auto found = m_games.find(descriptorFile);
    if (found != m_games.end() && now - found->second.lookedAt < kLookAgainAfter)
        return found->second.game;
    const std::optional<FileStamp> descriptor = fileStamp(descriptorFile);
    if (found != m_games.end()) {
        Entry& entry = found->second;
        if (entry.descriptor == descriptor && entry.archive == fileStamp(entry.game.archivePath)) {
            entry.lookedAt = now;
            return entry.game;
        }
    }
    if (m_games.size() >= kMaxKept)
        m_games.clear();
    Entry entry{descriptor, {}, read(gameDirectory, descriptorPath, descriptorFile, origin), now};
    entry.archive = fileStamp(entry.game.archivePath);
    return (m_games[descriptorFile] = std::move(entry)).game;
}
