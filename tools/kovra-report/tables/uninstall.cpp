#include "tables/uninstall.h"

namespace kovra {

std::unique_ptr<RecordParser> MakeUninstallParser(std::string file_name, RecordCallback emit) {
  return MakeRegistryParser(std::move(file_name), std::move(emit), TableId::kUninstall,
                            RegistryStyle::kRegFile);
}

}  // namespace kovra
