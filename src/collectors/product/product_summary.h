// The installed product summary: which Uninstall keys and files make its blocks, and the block
// text. Portable; the registry and file reads are in product_summary_win.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_list.h"
#include "collectors/product/product_names.h"

namespace kovra {

// One block to gather: the file below the install folder that an Uninstall key names.
struct ProductBlockPlan {
  std::string key;         // below SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall
  std::string block;       // the block name
  std::string file;        // appended to the install folder as it stands ("\ztn.exe")
  std::string date_value;  // the value shown instead of "DisplayVersion" (empty: that one)
};

// The blocks in report order for the given digits.
std::vector<ProductBlockPlan> ProductSummaryPlan(const GenerationDigits& digits);

// The five lines of one block.
void AddProductBlock(StringList& list, const std::string& name, const std::string& display_version,
                     int64_t size, const std::string& file_version);

}  // namespace kovra
