// The process table with system resources.
#pragma once

#include <string>

namespace kovra::win {

// One text, possibly of several lines.
std::string CollectProcessTable();

}  // namespace kovra::win
