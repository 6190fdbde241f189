#pragma once

#include "AttributeReading.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Descriptors are a few hundred bytes: a larger file is read this far.
inline constexpr std::size_t kMaxDescriptorBytes = 64 * 1024;

// Some handsets refuse a descriptor whose attribute names are longer.
inline constexpr std::size_t kMaxDescriptorNameBytes = 32;

// A descriptor as the repair takes it: every attribute a forgiving reader
// can make out, in file order, and what had to be forgiven, in a few words
// each ("blank lines removed").
struct ForgivingReading {
    std::vector<AttributeList::Attribute> attributes;
    std::vector<std::string> changes;
};

// A game descriptor (.jad) read both ways in one walk over its lines.
//
// As a phone reads it: UTF-8 text, one "Name: value" per line, the value
// without the blanks around it, with what a phone would refuse with 906:
// text that is not UTF-8, a byte-order mark, a line without ":", a blank
// line, an empty name, a name over kMaxDescriptorNameBytes bytes or holding
// blanks or control characters, and a name given twice (the first one
// counts). Whether the required attributes are there is for the caller to
// judge.
//
// As the repair takes it: byte-order marks (at the start, or at the start of
// a line of files joined together) and blank lines dropped, bytes that are
// not UTF-8 as U+FFFD, a line that begins with a blank joined to the value
// above it, blanks and marks around a name dropped, lines without a name
// dropped, the first of a name given twice.
//
// The caller bounds the size of `text`.
struct DescriptorReading {
    AttributeReading asPhoneReadsIt;
    ForgivingReading asRepaired;
};
[[nodiscard]] DescriptorReading readDescriptorText(std::string_view text);

// The descriptor as a phone reads it alone.
[[nodiscard]] AttributeReading readDescriptor(std::string_view text);
