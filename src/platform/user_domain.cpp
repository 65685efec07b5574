#include "platform/user_domain.h"

#include <vector>

#include "base/text.h"

namespace kovra {

UserFolderUse DecideUserFolderUse(const UserFolderFacts& facts) {
  if (facts.user_token)
    return UserFolderUse::kAsUser;
  if (facts.inside_profile || facts.owned_by_user)
    return UserFolderUse::kAsNamed;
  return UserFolderUse::kDefault;
}

namespace {

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty())
        parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty())
    parts.push_back(std::move(part));
  return parts;
}

bool HasDotComponent(const std::vector<std::string>& parts) {
  for (const std::string& p : parts) {
    if (p == "." || p == "..")
      return true;
  }
  return false;
}

}  // namespace

bool PathInsideFolder(std::string_view path, std::string_view folder,
                      const std::function<std::string(std::string_view)>& upper) {
  const std::vector<std::string> p = Components(upper(path));
  const std::vector<std::string> f = Components(upper(folder));
  if (f.empty() || p.size() < f.size() || HasDotComponent(p) || HasDotComponent(f))
    return false;
  for (size_t i = 0; i < f.size(); ++i) {
    if (p[i] != f[i])
      return false;
  }
  return true;
}

std::string DefaultTempFolder(std::string_view profile, std::string_view local_app_data,
                              unsigned windows_major) {
  if (windows_major >= 6)
    return local_app_data.empty()
               ? std::string()
               : IncludeTrailingBackslash(ExcludeTrailingBackslash(std::string(local_app_data))) +
                     "Temp\\";
  return profile.empty()
             ? std::string()
             : IncludeTrailingBackslash(ExcludeTrailingBackslash(std::string(profile))) +
                   "Local Settings\\Temp\\";
}

std::string UserFolderFallbackNote(std::string_view named, std::string_view used) {
  return std::string(named) + " lies outside the user's profile and belongs to someone else; " +
         (used.empty() ? std::string("no default place is known; used all the same")
                       : "used instead: " + std::string(used));
}

}  // namespace kovra
