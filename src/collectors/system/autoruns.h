// The autostart and browser-helper blocks: the value splitting and rendering rules, and the
// sections with their headers. Portable; the registry, folder and shell-link reads are in
// autoruns_win.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.h"

namespace kovra {

// A comma-and-blank separated value split into its items, in order, empty items included:
// blanks and control characters separate, a double-quoted item runs to its closing quote (two
// quotes inside stand for one; an unclosed quote takes the rest), a trailing comma adds one
// empty item.
std::vector<std::string> SplitDelimitedValue(std::string_view text);
// An item that is empty once blanks and control characters are trimmed.
bool IsBlankItem(std::string_view item);
// The items of a Run or Load value that are listed: every item that is not blank, untrimmed.
StringList DelimitedValueLines(std::string_view text);
// The items of a Shell or Userinit value that are listed: as DelimitedValueLines, but the first
// item is left out when it is the expected program, by its name alone or in the system or the
// Windows folder (letter case ignored).
StringList ShellValueLines(std::string_view text, std::string_view program,
                           std::string_view system_folder, std::string_view windows_folder);
// The lines of one RunOnceEx entry ("dll|function|arguments" and its shorter forms).
StringList RunOnceExLines(std::string_view entry);

// "%s, %s": a browser helper's class name and its server path.
std::string BrowserHelperLine(const std::string& class_name, const std::string& server_path);
// "name=data"; a value of a kind other than text is listed by its value text (dword:, hex:).
std::string RunValueLine(const std::string& name, const std::string& data);

// The autoruns block: its three opening lines, then each section that has lines, under its
// header.
class AutorunsBlock {
 public:
  AutorunsBlock();
  // Starts the section that the next lines belong to.
  void Section(const char* header);
  void Add(std::string line);
  void Add(const StringList& lines);
  StringList Take() { return std::move(lines_); }

 private:
  StringList lines_;
  const char* header_ = nullptr;
};

}  // namespace kovra
