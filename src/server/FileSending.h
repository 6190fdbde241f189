#pragma once

#include "FileBody.h"
#include "NativeSocket.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Sends up to `size` bytes of `body`'s file from `offset` in the file: the
// bytes sent, 0 when the file ended before them (it shrank), or kBlocked
// or kBroken. Linux sends from the file itself (FileSendingPosix.cpp);
// Windows reads into `buffer` and sends that (FileSendingWindows.cpp), so
// what one download holds in memory never passes the buffer's size.
[[nodiscard]] std::int64_t sendFromFile(NativeSocket socket, const FileBody& body, std::int64_t offset,
                                        std::size_t size, std::span<char> buffer);
