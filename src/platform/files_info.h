// Version facts of an executable: the record read from its version resource and the pure rules
// that pick texts out of it; the Win32 reading is in files_info_win.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kovra {

struct TFileInfo {
  std::string CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
      LegalTrademarks, OriginalFileName, ProductName, ProductVersion, Comments;
  // VS_FIXEDFILEINFO word by word: signature, structure version, file version high/low,
  // product version high/low, flags mask, flags, OS, type, subtype, file date high/low.
  uint32_t Fixed[13] = {};
  std::string Extra;
};

// The ten string keys of the record, in record order, and the member each one fills.
struct FileInfoKey {
  const char* name;
  std::string TFileInfo::*field;
};
extern const FileInfoKey kFileInfoKeys[10];

// The fields GetFileVersionText picks, numbered in this order from 0 as its codes.
enum class VersionField : int {
  kComments = 0,
  kCompanyName,
  kFileDescription,
  kFileVersion,
  kInternalName,
  kLegalCopyright,
  kLegalTrademarks,
  kOriginalFileName,
  kProductName,
  kProductVersion,
  kExtra,  // the extra key the record was read with
};
// The text of one field; empty for a number past the table.
std::string FileInfoFieldText(const TFileInfo& info, VersionField field);

// "\StringFileInfo\" + language and code page as eight upper-case hex digits + "\".
std::string StringTablePrefix(uint16_t language, uint16_t code_page);

// The key of the first string table in a raw version resource (for example "040904B0"), found by
// walking its blocks; empty when the resource has no string table or is damaged.
std::u16string FirstStringTableKey(const uint8_t* data, size_t size);

}  // namespace kovra
