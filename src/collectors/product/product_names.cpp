#include "collectors/product/product_names.h"

namespace kovra {

std::string ProductNameV(const GenerationDigits& d) {
  return "Zentrix Tune V" + d.current;
}
std::string ProductUninstallKey(const GenerationDigits& d) {
  return "Zentrix Tune " + d.current + "_is1";
}
std::string PrevProductUninstallKey(const GenerationDigits& d) {
  return "Zentrix Tune " + d.previous + "_is1";
}
std::string ProductRegKeyName(const GenerationDigits& d) {
  return "Zentrix Tune " + d.current;
}
std::string PrevProductRegKeyName(const GenerationDigits& d) {
  return "Zentrix Tune " + d.previous;
}
std::string TopEditionName() {
  return "Zentrix Tune Prime";
}
std::string ProductServiceName(const GenerationDigits& d) {
  return "ZentrixTuneService" + d.current;
}
std::string TopEditionPathValue(const GenerationDigits& d) {
  return "ztnpv" + d.current + "uninstallpath";
}
std::string PrevTopEditionPathValue(const GenerationDigits& d) {
  return "ztnpv" + d.previous + "uninstallpath";
}
std::string TopEditionFolderName(const GenerationDigits& d) {
  return "Zentrix Tune Prime " + d.current;
}

}  // namespace kovra
