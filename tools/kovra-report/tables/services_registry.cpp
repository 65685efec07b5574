#include "tables/services_registry.h"

namespace kovra {

std::unique_ptr<RecordParser> MakeServicesRegistryParser(std::string file_name,
                                                         RecordCallback emit) {
  return MakeRegistryParser(std::move(file_name), std::move(emit), TableId::kServicesRegistry,
                            RegistryStyle::kServices);
}

}  // namespace kovra
