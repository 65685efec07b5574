#include "collectors/product/product_summary_win.h"

#include "base/text.h"
#include "collectors/product/product_summary.h"
#include "platform/files_info_win.h"
#include "platform/registry_win.h"

namespace kovra::win {

namespace {

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A text value, or empty when it is missing or of another kind: one odd value must not cost
// the blocks after it (and the rest of its stage).
std::string TextValue(const TRegistry& key, const std::string& name) {
  std::string text;
  return key.ReadTextValue(name, text) ? text : std::string();
}

}  // namespace

StringList CollectProductSummary(const GenerationDigits& digits) {
  StringList list{StarRule()};
  // The process's own view: a 32-bit process reads the 32-bit keys, as the installers wrote.
  TRegistry key(KEY_READ);
  key.SetAutoView(false);
  key.SetRootKey(HKEY_LOCAL_MACHINE);
  for (const ProductBlockPlan& block : ProductSummaryPlan(digits)) {
    key.CloseKey();
    if (!key.OpenKeyReadOnly(kUninstallKey + block.key))
      continue;
    const std::string version =
        TextValue(key, block.date_value.empty() ? "DisplayVersion" : block.date_value);
    const std::string file = TextValue(key, "Inno Setup: App Path") + block.file;
    AddProductBlock(list, block.block, version, static_cast<int64_t>(GetFolderSize(file)),
                    GetFileVersionText(file, VersionField::kFileVersion, "Unknown"));
  }
  return list;
}

}  // namespace kovra::win
