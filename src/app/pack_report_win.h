// Packs the collected files into the report file.
#pragma once

#include <string>

#include "base/string_list.h"

namespace kovra::win {

void PackReport(const StringList* archive_list, const std::string& staging_folder,
                const std::string& report_path);

}  // namespace kovra::win
