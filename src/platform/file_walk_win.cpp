#include "platform/file_walk_win.h"

#include <set>
#include <utility>

#include "platform/handles_win.h"

namespace kovra::win {

namespace {

// The identity of a folder on its volume, to recognise a folder met again through a link.
using FolderId = std::pair<DWORD, uint64_t>;

bool GetFolderId(const std::wstring& folder, FolderId& id) {
  UniqueHandle h(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!h || !::GetFileInformationByHandle(h.get(), &info))
    return false;
  id = {info.dwVolumeSerialNumber,
        static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  return true;
}

const std::wstring kAll = L"*";

class Walker {
 public:
  Walker(const WalkOptions& options,
         const std::function<bool(const std::wstring&, const WIN32_FIND_DATAW&)>& visit)
      : options_(options), visit_(visit) {}

  // False when the visitor asked to stop.
  bool Walk(const std::wstring& folder, int depth) {
    FolderId id;
    if (GetFolderId(folder, id) && !visited_.insert(id).second)
      return true;
    WIN32_FIND_DATAW data;
    const std::wstring& mask = depth == 0 ? options_.top_mask : kAll;
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\" + mask).c_str(), &data));
    if (!find)
      return true;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..")
        continue;
      const DWORD attributes = data.dwFileAttributes;
      if (options_.skip_hidden_system &&
          (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
        continue;
      const std::wstring path = folder + L"\\" + name;
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (options_.visit_folders && !visit_(path, data))
          return false;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            (options_.enter && !options_.enter(data)))
          continue;
        if (!options_.skip_folder_name.empty() &&
            ::lstrcmpiW(name.c_str(), options_.skip_folder_name.c_str()) == 0)
          continue;
        if (depth + 1 > options_.max_depth)
          continue;
        if (!Walk(path, depth + 1))
          return false;
      } else if (!visit_(path, data)) {
        return false;
      }
    } while (::FindNextFileW(find.get(), &data));
    return true;
  }

 private:
  const WalkOptions& options_;
  const std::function<bool(const std::wstring&, const WIN32_FIND_DATAW&)>& visit_;
  std::set<FolderId> visited_;
};

}  // namespace

void WalkFolder(
    const std::wstring& folder, const WalkOptions& options,
    const std::function<bool(const std::wstring& path, const WIN32_FIND_DATAW& data)>& visit) {
  std::wstring root = folder;
  while (root.size() > 3 && (root.back() == L'\\' || root.back() == L'/'))
    root.pop_back();
  if (root.size() == 3 && root.back() == L'\\')  // "C:\"
    root.pop_back();
  Walker(options, visit).Walk(root, 0);
}

}  // namespace kovra::win
