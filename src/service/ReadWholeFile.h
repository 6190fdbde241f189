#pragma once

#include "Scheduler.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

inline constexpr std::size_t kReadPieceSize = 500;

using FileContents = std::optional<std::string>;

// Reads a file whole as raw bytes, one piece at a time, and lets the
// scheduler run other work between the pieces, so that one large archive
// holds up no other connection. `done` gets the bytes, or nothing when the
// file cannot be opened or read to its end; it may run before this returns.
// Once `stillWanted` answers false the reading stops and `done` never runs.
void ReadWholeFile(Scheduler& scheduler, const std::string& path, std::function<bool()> stillWanted,
                   std::function<void(FileContents)> done);
