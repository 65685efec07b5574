#include "collectors/system/autoruns_win.h"

namespace kovra::win {

StringList ListBrowserHelperObjects() {
  return StringList();
}
StringList ListAutoruns() {
  return StringList();
}

}  // namespace kovra::win
