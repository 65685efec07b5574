#include "tables/registry_exports.h"

namespace kovra {

std::unique_ptr<RecordParser> MakeRegistryExportsParser(std::string file_name,
                                                        RecordCallback emit) {
  return MakeRegistryParser(std::move(file_name), std::move(emit), TableId::kRegistryExports,
                            RegistryStyle::kRegExe);
}

}  // namespace kovra
