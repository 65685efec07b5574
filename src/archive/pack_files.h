// The packing rules of the report archive, apart from the file system: which files of a list
// become entries, how an existing archive is updated, and the compression of small files ahead
// of the writer on worker threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/zip_reader.h"
#include "archive/zip_writer.h"

namespace kovra {

// The files of an expanded archive list, as the platform opens them. Open and Stamp may be
// called from several threads at once.
class PackFiles {
 public:
  virtual ~PackFiles() = default;
  virtual size_t Count() const = 0;
  // The stored name of file i in the form that compares equal exactly when the names are the
  // same file in the archive (upper case).
  virtual std::string Key(size_t i) const = 0;
  // Opens file i and fills its header facts; nullptr when it cannot be opened (it is passed
  // over).
  virtual std::unique_ptr<ZipSource> Open(size_t i, ZipFileFacts& facts) const = 0;
  // The last-write stamp of file i in the stored form (DosStamp), or 0 when it cannot be read.
  virtual uint32_t Stamp(size_t i) const = 0;
};

struct PackOptions {
  // Threads that compress small files ahead of the writer; 0 compresses on the caller's thread.
  unsigned workers = 0;
  // Compressed bytes kept in memory per file ahead of the writer; larger files are streamed.
  size_t memory_limit = 8u << 20;
};

// Writes the files not yet in `names` (keys already stored), in order; the first file of a
// key wins. Returns the number of files written; adds their keys to `names`.
size_t AppendFiles(ZipWriter& writer, const PackFiles& files, std::set<std::string>& names,
                   const PackOptions& options);

// Writes the updated form of an archive: the old entries in their order, each replaced by the
// first file of its key when that file is newer, otherwise taken over raw (a vanished file's
// entry stays); then the files not yet in it. `old_key` gives an old entry's key. An old entry
// whose data cannot be found is dropped. Returns the number of files written (added or
// replaced). Throws ZipWriteError when the old archive cannot be read.
size_t UpdateArchive(const ZipReader& old,
                     const std::function<std::string(const ZipEntry&)>& old_key, ZipWriter& writer,
                     const PackFiles& files, const PackOptions& options);

}  // namespace kovra
