// The run's staging folder and the removal of folder trees. The staging folder lies in the
// user's temporary folder, which the user's own programs can write; it is made fresh with rights
// that let only administrators and the system write in it, and held open without delete
// sharing until it is removed, so that nothing can be planted in it or swapped for it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "base/run_log.h"
#include "platform/handles_win.h"

namespace kovra::win {

// Removes `path` and everything below it without ever entering a link: a link met at the path
// or inside it is removed itself, never what it leads to. Each folder is held open without
// delete sharing while its contents go, so it cannot be swapped for a link meanwhile. True when
// nothing is left at the path (a path that was not there included).
[[nodiscard]] bool RemoveTreeNoFollow(const std::string& path);

class StagingFolder {
 public:
  // Removes what stands at `folder` (a planted link is removed and noted in the run log; an
  // earlier run's folder is removed without following links), creates the folder new with its
  // restricted rights and holds it. Nothing when it cannot be made so, with the reason noted.
  static std::optional<StagingFolder> Create(const std::string& folder, RunLog& log);

  StagingFolder(StagingFolder&&) = default;
  StagingFolder& operator=(StagingFolder&&) = default;

  // The folder, with a trailing backslash.
  const std::string& path() const { return path_; }
  // Empties the folder, lets it go and removes it; true when it is gone.
  [[nodiscard]] bool Remove();

 private:
  StagingFolder(std::string path, UniqueHandle hold)
      : path_(std::move(path)), hold_(std::move(hold)) {}
  std::string path_;
  UniqueHandle hold_;
};

}  // namespace kovra::win
