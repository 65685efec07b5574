// The one recursive folder walk of the tool. Depth first, entries in the order the file system
// lists them, a sub-folder entered where it is met. It never follows a reparse point (junction,
// symbolic link, mount point) and never enters a folder twice, so a link that leads back into
// its own tree cannot make it run away or leave the tree.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kovra::win {

struct WalkOptions {
  // Pass over files and folders with the hidden or the system attribute.
  bool skip_hidden_system = true;
  // Folders of this name (compared without regard to case) are not entered.
  std::wstring skip_folder_name;
  // A bound on nesting, against paths that grow without end through links the system does
  // not mark as reparse points.
  int max_depth = 64;
  // The wildcard of the first level (sub-folders are always listed whole).
  std::wstring top_mask = L"*";
  // Also call `visit` for folder entries (before entering them).
  bool visit_folders = false;
  // When set, narrows which folders are entered (reparse points never are).
  std::function<bool(const WIN32_FIND_DATAW&)> enter;
};

// Calls `visit` for every file (and folder, if asked) below `folder` (no trailing backslash needed)
// with its full path and its find data. `visit` returns false to end the walk. Folders that cannot
// be listed are passed over.
void WalkFolder(
    const std::wstring& folder, const WalkOptions& options,
    const std::function<bool(const std::wstring& path, const WIN32_FIND_DATAW& data)>& visit);

}  // namespace kovra::win
