#include "platform/files_info.h"

#include "base/text.h"

namespace kovra {

const FileInfoKey kFileInfoKeys[10] = {
    {"CompanyName", &TFileInfo::CompanyName},
    {"FileDescription", &TFileInfo::FileDescription},
    {"FileVersion", &TFileInfo::FileVersion},
    {"InternalName", &TFileInfo::InternalName},
    {"LegalCopyright", &TFileInfo::LegalCopyright},
    {"LegalTrademarks", &TFileInfo::LegalTrademarks},
    {"OriginalFileName", &TFileInfo::OriginalFileName},
    {"ProductName", &TFileInfo::ProductName},
    {"ProductVersion", &TFileInfo::ProductVersion},
    {"Comments", &TFileInfo::Comments},
};

std::string FileInfoFieldText(const TFileInfo& info, VersionField field) {
  const int code = static_cast<int>(field);
  static std::string TFileInfo::*const kByCode[] = {
      &TFileInfo::Comments,        &TFileInfo::CompanyName,
      &TFileInfo::FileDescription, &TFileInfo::FileVersion,
      &TFileInfo::InternalName,    &TFileInfo::LegalCopyright,
      &TFileInfo::LegalTrademarks, &TFileInfo::OriginalFileName,
      &TFileInfo::ProductName,     &TFileInfo::ProductVersion,
      &TFileInfo::Extra,
  };
  if (code < 0 || code >= static_cast<int>(std::size(kByCode)))
    return std::string();
  return info.*kByCode[code];
}

std::string StringTablePrefix(uint16_t language, uint16_t code_page) {
  return StrPrintf("\\StringFileInfo\\%04X%04X\\", language, code_page);
}

namespace {

// One block of a version resource: length, value length, type, NUL-terminated UTF-16 key,
// padding to 32 bits, value, padding, children.
struct Block {
  size_t begin = 0, end = 0, children = 0;
  std::u16string key;
};

uint16_t Word(const uint8_t* d, size_t at) {
  return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
size_t Align4(size_t v) {
  return (v + 3) & ~size_t{3};
}

bool ReadBlock(const uint8_t* d, size_t limit, size_t at, Block& b) {
  if (at + 6 > limit)
    return false;
  const size_t length = Word(d, at);
  size_t value_length = Word(d, at + 2);
  const uint16_t type = Word(d, at + 4);
  if (length < 6 || at + length > limit)
    return false;
  b.begin = at;
  b.end = at + length;
  b.key.clear();
  size_t p = at + 6;
  for (;;) {
    if (p + 2 > b.end)
      return false;
    const uint16_t c = Word(d, p);
    p += 2;
    if (c == 0)
      break;
    b.key += static_cast<char16_t>(c);
  }
  if (type == 1)
    value_length *= 2;  // text values count characters
  p = Align4(p) + value_length;
  b.children = std::min(Align4(p), b.end);
  return true;
}

bool FindChild(const uint8_t* d, const Block& parent, std::u16string_view key, Block& out) {
  size_t at = parent.children;
  Block child;
  while (at < parent.end && ReadBlock(d, parent.end, at, child)) {
    if (key.empty() || child.key == key) {
      out = child;
      return true;
    }
    at = Align4(child.end);
  }
  return false;
}

}  // namespace

std::u16string FirstStringTableKey(const uint8_t* data, size_t size) {
  if (data == nullptr)
    return std::u16string();
  Block root, string_info, table;
  if (!ReadBlock(data, size, 0, root))
    return std::u16string();
  if (!FindChild(data, root, u"StringFileInfo", string_info))
    return std::u16string();
  if (!FindChild(data, string_info, u"", table))
    return std::u16string();
  return table.key.size() == 8 ? table.key : std::u16string();
}

}  // namespace kovra
