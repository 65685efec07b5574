// The names of the system-care product's keys, values, folders and service, built from the two
// process-wide generation digits. The digits start as "8" and "7"; the product-folder discovery,
// and only it, switches them to "7" and "6" when it finds only the previous generation. The
// discovery runs on the main thread before the worker exists and later on the worker thread,
// never at the same time as a reader, so the digits need no lock.
#pragma once

#include <string>

namespace kovra {

struct GenerationDigits {
  std::string current = "8";
  std::string previous = "7";
};

// The process-wide digits, as the builders read them.
const GenerationDigits& ProductGeneration();
// For the discovery only: the previous generation is the one installed.
void UsePreviousProductGeneration();

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
