#pragma once

#include <string>
#include <string_view>
#include <vector>

// Where a phone fetches a game's archive from, as MIDlet-Jar-URL tells it.
struct JarLocation {
    enum class Kind {
        // On this server, at `requestPath`.
        Here,
        // On another server: nothing here to check.
        Elsewhere,
        // At localhost or a loopback address, which for a phone is the phone.
        Loopback,
        // Not an address a phone can use (empty, blanks, control characters).
        Unusable,
    };
    Kind kind = Kind::Unusable;
    std::string requestPath;
    // For an http URL elsewhere: the path it names, were its host this
    // server's (an address this server is reached at that `origins` left out).
    std::string pathIfHere;
};

// Resolves `jarUrl` the way a phone does, against the address it fetched
// the descriptor from: this server, at `descriptorPath` ("/sub/a.jad").
// A relative URL ("a.jar", "../b/a.jar", "/games/a.jar") stays here, with
// "." and ".." segments removed as for any URL (never above "/"). An
// absolute http URL is here when its host and port are those of one of
// `origins` ("http://192.168.1.5:8080"; no port means 80; hosts compare
// in any letter case). The fragment is dropped; the query stays part of
// the path, as this server maps it.
[[nodiscard]] JarLocation resolveJarUrl(std::string_view jarUrl, std::string_view descriptorPath,
                                        const std::vector<std::string>& origins);
