#pragma once

#include "NativeFile.h"

#include <cstddef>
#include <cstdint>

// Reads up to `size` bytes of the open file at `offset`, leaving no shared
// position behind: several answers may read one file at once. The number of
// bytes read (0 at the end of the file), or -1 when the file cannot be read.
[[nodiscard]] std::int64_t readAt(NativeFile file, char* into, std::size_t size, std::int64_t offset);
