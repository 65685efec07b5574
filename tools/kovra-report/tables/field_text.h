// The small readings the table parsers share: trimming and prefixes, the field texts of flags,
// numbers and durations, and the program file a command line starts.
#pragma once

#include <string>
#include <string_view>

namespace kovra {

[[nodiscard]] bool StartsWith(std::string_view s, std::string_view prefix);
[[nodiscard]] bool EndsWith(std::string_view s, std::string_view suffix);
[[nodiscard]] std::string_view TrimView(std::string_view s);
// The rule of 81 stars between the blocks of the main info file.
[[nodiscard]] bool IsStarRule(std::string_view line);
// "True"/"False" as the bool field texts; empty for anything else.
[[nodiscard]] std::string BoolField(std::string_view text);
[[nodiscard]] std::string Flag(bool b);
// A decimal number as its canonical text, empty when the text is not one.
[[nodiscard]] std::string NumberField(std::string_view text);
// Hexadecimal digits as a decimal number, empty when they are not (or too many).
[[nodiscard]] std::string HexField(std::string_view hex);
// The milliseconds of a printed duration (999 ms, 1.50 s, 2:05 min, 2:05 h), empty for others.
[[nodiscard]] std::string DurationMs(const std::string& text);
// The file a command line starts: a quoted path, else the text up to the end of its first
// program extension, else up to the first blank.
[[nodiscard]] std::string CommandFile(std::string_view command);

// A text that sorts dates of the common short-date forms (M/D/Y with AM/PM, D.M.Y, Y-M-D, ...)
// in time order: "YYYY-MM-DD hh:mm:ss"; the text itself when no form fits.
[[nodiscard]] std::string DateSortKey(std::string_view date);

// Whether a path or command line names a file outside the Windows folders (X:\Windows\...,
// %SystemRoot%, \SystemRoot\, a bare System32\ or SysWOW64\ path); false for an empty one.
[[nodiscard]] bool OutsideWindowsFolders(std::string_view command);

}  // namespace kovra
