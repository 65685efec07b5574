#include "collectors/common/file_facts.h"

#include "base/text.h"

namespace kovra {

std::string FixedVersionText(uint32_t ms, uint32_t ls) {
  return StrPrintf("%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
}

}  // namespace kovra
