#pragma once

#include "AttributeList.h"

#include <cstdint>
#include <string>
#include <string_view>

// A descriptor for an archive that came without one, so that a phone can
// install it over the air: the manifest's MIDlet-* and MicroEdition-*
// attributes in their order, then MIDlet-Jar-URL naming the archive beside
// the descriptor and MIDlet-Jar-Size with its size. Attributes that only a
// descriptor may carry (the archive's address, size and signature) are not
// taken from the manifest. Lines end with CR LF.
[[nodiscard]] std::string makeDescriptor(const AttributeList& manifest, std::string_view archiveName,
                                         std::uintmax_t archiveSize);
