#pragma once

#include "GameCatalogue.h"
#include "GameListAnswer.h"
#include "ListMarkup.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// How a GET is answered while the game list is on (see GameListAnswer).
// Lists come from the catalogue, which reads the game directory on its own
// thread: making a page reads no archive, and a folder's split into pages
// is made once for each listing and markup and kept. Lives on the I/O thread.
class GameListService {
public:
    // Folders and their split pages kept at most; past it they are made anew.
    static constexpr std::size_t kMaxKeptSplits = 64;

    void setGameDirectory(std::string virtualDir);

    // The answer to a GET of `requestPath` (as sent, query and all) from a
    // browser that sent `accept`.
    [[nodiscard]] GameListAnswer answer(std::string_view requestPath, std::string_view accept);

    [[nodiscard]] GameCatalogue& catalogue() { return m_catalogue; }

private:
    struct Split {
        std::shared_ptr<const GameFolder> listing;
        std::vector<std::size_t> pageStarts;
    };

    GameListAnswer answerFolder(const std::string& path, std::string_view query, const std::string& mapped,
                                std::string_view accept);
    GameListAnswer answerIcon(std::string_view path);
    const std::vector<std::size_t>& pageStartsOf(const std::string& folderPath,
                                                 const std::shared_ptr<const GameFolder>& listing, ListMarkup markup);

    std::string m_virtualDir;
    GameCatalogue m_catalogue;
    std::map<std::pair<std::string, ListMarkup>, Split> m_splits;
};
