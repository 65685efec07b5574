#include "archive/archive_names.h"

namespace kovra {

bool IsArchivePattern(std::string_view entry) {
  return entry.find_first_of("*?<>") != std::string_view::npos;
}

std::string ZipStoredName(std::string_view path) {
  size_t start = 0;
  if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
      (path[1] == '\\' || path[1] == '/')) {
    // \\server\share\rest: skip the server and the share.
    size_t at = 2;
    for (int part = 0; part < 2 && at <= path.size(); ++part) {
      const size_t sep = path.find_first_of("\\/", at);
      at = sep == std::string_view::npos ? path.size() : sep + 1;
    }
    start = at;
  } else if (path.size() >= 2 && path[1] == ':') {
    start = 2;
    if (start < path.size() && (path[start] == '\\' || path[start] == '/'))
      ++start;
  } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
    start = 1;
  }
  std::string name(path.substr(std::min(start, path.size())));
  for (char& c : name) {
    if (c == '\\')
      c = '/';
  }
  return name;
}

}  // namespace kovra
