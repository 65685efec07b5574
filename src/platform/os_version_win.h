// The extended version query, in one place. The manifest declares the supported versions, so
// the query reports the real one.
#pragma once

#include <windows.h>

namespace kovra::win {

// GetVersionExW with the 284-byte OSVERSIONINFOEXW, size set and the rest zeroed; false when the
// query fails (the record then stays zeroed but for its size).
[[nodiscard]] bool QueryVersionEx(OSVERSIONINFOEXW& version);
// The major version, 0 when unknown.
unsigned WindowsMajorVersion();

}  // namespace kovra::win
