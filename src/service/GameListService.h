#pragma once

#include "GameCatalogue.h"
#include "GameRecords.h"
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

    // Reads the folders on `worker`, the games through `records`.
    GameListService(GameWorker& worker, GameRecords& records);

    void setGameDirectory(std::string virtualDir);

    // The answer to a GET of `requestPath` (as sent, query and all) from a
    // browser that sent `accept`, on a phone that sent `userAgent`: games the
    // phone cannot run are listed after the others, under a note.
    [[nodiscard]] GameListAnswer answer(std::string_view requestPath, std::string_view accept,
                                        std::string_view userAgent = {});

    [[nodiscard]] GameCatalogue& catalogue() { return m_catalogue; }

    // The file a request path names while the list is on: percent-decoded,
    // the query no part of it.
    [[nodiscard]] static std::string filePath(std::string_view requestPath);

private:
    struct Split {
        std::shared_ptr<const GameFolder> listing;
        std::vector<std::size_t> pageStarts;
    };

    struct PhoneListing {
        std::shared_ptr<const GameFolder> source;
        std::shared_ptr<const GameFolder> ordered;
    };

    GameListAnswer answerFolder(const std::string& path, std::string_view query, const std::string& mapped,
                                std::string_view accept, std::string_view userAgent);
    // The listing as a phone with `profile` sees it: what it cannot run last.
    std::shared_ptr<const GameFolder> listingFor(const std::string& folderPath,
                                                 const std::shared_ptr<const GameFolder>& listing,
                                                 const std::string& profile);
    GameListAnswer answerIcon(std::string_view path);
    const std::vector<std::size_t>& pageStartsOf(const std::string& folderPath,
                                                 const std::shared_ptr<const GameFolder>& listing, ListMarkup markup);

    std::string m_virtualDir;
    GameRecords& m_records;
    GameCatalogue m_catalogue;
    // Keyed by the folder and the phone's profile.
    std::map<std::pair<std::string, ListMarkup>, Split> m_splits;
    std::map<std::string, PhoneListing> m_phoneListings;
};
