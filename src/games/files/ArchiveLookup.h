#pragma once

#include <string>
#include <string_view>
#include <vector>

// Where an archive that a descriptor names lies on this server. Collections
// copied from memory cards and other systems name "Snake.JAR" where the
// folder holds "snake.jar", and a phone that asks for the name as written
// gets nothing; the check and the repair therefore take the one file whose
// name differs only in letter case. Requests themselves are matched exactly:
// two files may differ by letter case alone.
struct ArchiveLookup {
    enum class Kind {
        Found,     // a file one may serve has exactly that name
        OtherCase, // one such file has the name in other letters
        Several,   // more than one has it in other letters: none is chosen
        Missing,
    };
    Kind kind = Kind::Missing;
    // The request path as named.
    std::string asNamed;
    // The file's request path, when Found or OtherCase.
    std::string requestPath;
    // When Several: the request paths of the files whose names match, sorted.
    std::vector<std::string> matches;
};

// Looks for the file `requestPath` ("/sub/Snake.JAR", decoded) names in
// `gameDirectory`, then for the files whose request paths differ from it
// only in ASCII letter case, in any segment. Only servable paths count (see
// isServablePath: nothing hidden), and only ordinary files, links followed
// as when a file is served.
[[nodiscard]] ArchiveLookup lookUpArchive(std::string_view gameDirectory, const std::string& requestPath);
