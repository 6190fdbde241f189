#pragma once

#include "AttributeReading.h"

#include <cstddef>
#include <string_view>

// Descriptors are a few hundred bytes: a larger file is read this far.
inline constexpr std::size_t kMaxDescriptorBytes = 64 * 1024;

// Some handsets refuse a descriptor whose attribute names are longer.
inline constexpr std::size_t kMaxDescriptorNameBytes = 32;

// Reads a game descriptor (.jad): UTF-8 text, one "Name: value" per line,
// the value without the blanks around it. Reports what a phone would refuse
// with 906: text that is not UTF-8, a byte-order mark, a line without ":",
// a blank line, an empty name, a name over kMaxDescriptorNameBytes bytes or
// holding blanks or control characters, and a name given twice (the first
// one counts). Whether the required attributes are there is for the caller
// to judge. The caller bounds the size of `text`.
[[nodiscard]] AttributeReading readDescriptor(std::string_view text);
