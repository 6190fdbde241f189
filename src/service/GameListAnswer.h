#pragma once

#include "GameRecord.h"

#include <memory>
#include <string>
#include <vector>

// How a GET is answered while the game list is on. Paths are
// percent-decoded first, so that the links of the list (and names with
// blanks or accents) reach their files, and the query is no part of them.
// A folder of the game directory is answered with its index.html when it
// has one, else with a page of the list of its games in the markup the
// browser reads; a descriptor that does not exist, beside an archive of the
// same name, is made from that archive; a game's icon is answered from its
// own address. Everything else is served as a file.
struct GameListAnswer {
    enum class Kind {
        ServeFile, // serve `path` the usual way
        Answered,  // send the response below
    };
    Kind kind = Kind::ServeFile;
    // The request path to serve: decoded, or a folder's index.html.
    std::string path;

    std::string statusLine;
    std::string mimeType;
    std::string body;
    // The log entries for the answer, the mapped path first.
    std::vector<std::string> logLines;
    // For a descriptor made for a lone archive: its record, for the repair.
    std::shared_ptr<const GameRecord> record;
};
