#pragma once

#include "Scheduler.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

inline constexpr std::size_t kReadPieceSize = 500;
// How much one read takes in one turn of the scheduler, in whole pieces,
// before it lets the others run. A turn per piece would spend more on the
// turns than on the reading; this keeps a turn short (tens of
// microseconds from the page cache) while every reader still gets its share.
inline constexpr std::size_t kReadBytesPerTurn = 128 * kReadPieceSize;

using FileContents = std::optional<std::string>;

// Reads a file whole as raw bytes: the first piece at once, then runs of
// pieces (kReadBytesPerTurn at most, each run taken with as few system
// calls as it needs), letting the scheduler run other work between them, so
// that one large archive holds up no other connection. `done` gets the bytes, or nothing when the
// file cannot be opened or read to its end; it may run before this returns.
// Once `stillWanted` answers false the reading stops and `done` never runs.
void ReadWholeFile(Scheduler& scheduler, const std::string& path, std::function<bool()> stillWanted,
                   std::function<void(FileContents)> done);
