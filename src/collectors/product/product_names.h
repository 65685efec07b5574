// The names of the system-care product's keys, values, folders and service, built from the two
// generation digits, and what the product-folder discovery finds.
#pragma once

#include <string>

namespace kovra {

struct GenerationDigits {
  std::string current = "8";
  std::string previous = "7";
};

// What one product-folder discovery found: the generation digits ("8" and "7", or "7" and "6"
// when only the previous generation is installed) and the install folder of the top edition
// as the clue gave it (empty when none was found; it may lack its trailing backslash). The
// discovery returns it and the run hands it to the collectors that need it; nobody edits it.
struct DiscoveredProduct {
  GenerationDigits digits;
  std::string folder;
};

// The builders take the digits they name; TopEditionName needs none.
std::string ProductNameV(const GenerationDigits& d);
std::string ProductUninstallKey(const GenerationDigits& d);
std::string PrevProductUninstallKey(const GenerationDigits& d);
std::string ProductRegKeyName(const GenerationDigits& d);
std::string PrevProductRegKeyName(const GenerationDigits& d);
std::string TopEditionName();
std::string ProductServiceName(const GenerationDigits& d);
std::string TopEditionPathValue(const GenerationDigits& d);
std::string PrevTopEditionPathValue(const GenerationDigits& d);
std::string TopEditionFolderName(const GenerationDigits& d);

}  // namespace kovra
