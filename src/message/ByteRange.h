#pragma once

#include <cstdint>
#include <string_view>

// What a request's Range field asks of a file of `size` bytes. One range
// of bytes is served ("bytes=first-last", "bytes=first-", "bytes=-suffix");
// a field that is malformed, names another unit or asks for several ranges
// is ignored, and the whole file goes out as without it.
struct ByteRange {
    enum class Kind {
        Whole,         // no usable Range: the whole file
        Part,          // bytes `first` to `last`, both included
        Unsatisfiable, // a well-formed range that lies wholly past the end
    };
    Kind kind = Kind::Whole;
    std::int64_t first = 0;
    std::int64_t last = 0;

    [[nodiscard]] std::int64_t length() const { return last - first + 1; }
};

[[nodiscard]] ByteRange readByteRange(std::string_view rangeField, std::int64_t size);
