// The names of the system-care product's keys, values, folders and service, built from the two
// generation digits, and the process-wide facts the product-folder discovery finds.
#pragma once

#include <string>

namespace kovra {

struct GenerationDigits {
  std::string current = "8";
  std::string previous = "7";
};

// What the product-folder discovery found, kept for the whole process: the generation digits
// ("8" and "7" at start, "7" and "6" when only the previous generation is installed) and the
// install folder of the top edition (empty when none was found). The discovery writes it: on
// the main thread before the worker exists and again on the worker thread at the start of the
// product stage, never at the same time as a reader, so no lock is needed. The one other edit
// is the inventory's (CollectProductFiles), which follows the discovery on the worker thread
// and gives the folder its trailing backslash for the log collection after it.
struct DiscoveredProduct {
  GenerationDigits digits;
  std::string folder;
};
const DiscoveredProduct& Discovered();
// For the discovery (and the inventory's trailing backslash) only.
DiscoveredProduct& DiscoveredForUpdate();

// The process-wide digits, as the builders read them.
inline const GenerationDigits& ProductGeneration() {
  return Discovered().digits;
}

// Each builder reads the digits at the moment it is called; tests pass digits of their own.
std::string ProductNameV(const GenerationDigits& d = ProductGeneration());
std::string ProductUninstallKey(const GenerationDigits& d = ProductGeneration());
std::string PrevProductUninstallKey(const GenerationDigits& d = ProductGeneration());
std::string ProductRegKeyName(const GenerationDigits& d = ProductGeneration());
std::string PrevProductRegKeyName(const GenerationDigits& d = ProductGeneration());
std::string TopEditionName();
std::string ProductServiceName(const GenerationDigits& d = ProductGeneration());
std::string TopEditionPathValue(const GenerationDigits& d = ProductGeneration());
std::string PrevTopEditionPathValue(const GenerationDigits& d = ProductGeneration());
std::string TopEditionFolderName(const GenerationDigits& d = ProductGeneration());

}  // namespace kovra
