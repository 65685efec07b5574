// Product folder discovery, file inventory and log collection.
#pragma once

#include <windows.h>

#include <string>

#include "base/string_list.h"

namespace kovra::win {

// Finds the install folder of the product and keeps it for the inventory and the log copies.
void DiscoverProductFolder();
void ListProductFiles(StringList& out);
void CollectProductLogs(const std::string& staging_folder);

}  // namespace kovra::win
