#pragma once

#include "AttributeReading.h"

#include <cstddef>
#include <string_view>

// A manifest is read this far.
inline constexpr std::size_t kMaxManifestBytes = 64 * 1024;

// Reads the main section of a jar manifest (META-INF/MANIFEST.MF): the
// "Name: value" lines up to the first blank line; the per-entry sections
// after it (names and digests of signed files) are left out. A line that
// begins with one space continues the one before it, so a value folded at
// 72 bytes comes back whole. Values lose the blanks around them. Lines end
// with CR LF, LF or CR. Reports a line without ":", an empty name and a
// continuation with nothing to continue. The caller bounds the size of
// `text`.
[[nodiscard]] AttributeReading readManifest(std::string_view text);
