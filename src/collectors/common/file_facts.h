// The facts of a file that system and product collectors both print. Portable; the reads are
// in file_facts_win.
#pragma once

#include <cstdint>
#include <string>

namespace kovra {

// The four 16-bit parts of a fixed file version in decimal, joined by dots.
std::string FixedVersionText(uint32_t most_significant, uint32_t least_significant);

}  // namespace kovra
