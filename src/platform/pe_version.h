// The fixed version block (VS_FIXEDFILEINFO) of a PE file's version resource, read from the
// file's bytes, so that an inventory that digests a file can take its version from the same
// open. A file that does not start like a program (a DOS header, or an LZ-compressed file's)
// has none; where the file is not plainly a PE image with one version resource, the answer is
// "unknown" and the caller asks the system instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kovra {

enum class PeVersionFind {
  kFound,    // the fixed block is there: `ms` and `ls` hold the file version
  kNone,     // a PE image without a version resource (or one without a fixed block)
  kUnknown,  // not a PE image, damaged, or a case the system decides (several languages)
};

struct PeVersion {
  PeVersionFind find = PeVersionFind::kUnknown;
  uint32_t ms = 0, ls = 0;  // dwFileVersionMS and dwFileVersionLS
};

// Reads `size` bytes at `offset` into `out`; false when the file is shorter or cannot be read.
using ReadAt = std::function<bool(uint64_t offset, void* out, size_t size)>;

// Looks the version resource up the way the system's loader does for a resource-only load:
// resource type 16 (RT_VERSION), name 1 (VS_VERSION_INFO), its single language entry; the
// root block's value is the fixed block when it holds at least its 52 bytes. Never throws.
PeVersion FindPeFileVersion(uint64_t file_size, const ReadAt& read);

}  // namespace kovra
