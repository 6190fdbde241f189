#pragma once

#include <string>
#include <string_view>

// What the operator can do about an install a phone reported as failed, in
// a few words: "the descriptor's MIDlet-Jar-Size differs from the archive;
// turn on Repair Descriptors or fix hello.jad". `descriptorName` is the
// descriptor's file name; `repaired` says whether it was served repaired
// (then turning the repair on is no advice). Empty for a code with nothing
// to advise (900, 912, unknown codes).
[[nodiscard]] std::string installAdvice(int code, std::string_view descriptorName, bool repaired);
