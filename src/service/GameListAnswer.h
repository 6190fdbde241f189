#pragma once

#include <string>
#include <string_view>
#include <vector>

// How a GET is answered while the game list is on. Paths are
// percent-decoded first, so that the links of the list (and names with
// blanks or accents) reach their files. A folder of the game directory is
// answered with its index.html when it has one, else with the list of its
// games; a descriptor that does not exist, beside an archive of the same
// name, is made from that archive. Everything else is served as a file.
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
};

[[nodiscard]] GameListAnswer answerWithGameList(std::string_view virtualDir, std::string_view requestPath);
