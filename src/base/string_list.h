// The string list: an ordered list of report text lines, the unit of all report text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovra {

using StringList = std::vector<std::string>;

// A line of exactly 81 asterisks that opens most report sections.
const std::string& StarRule();

// Appends every entry of `from` to `to`.
void AppendList(StringList& to, const StringList& from);

// The text cut at every CR LF, one entry a line: n line breaks give n + 1 entries (the last
// one empty when the text ends with a break), so that a list saved from them holds the text's
// bytes followed by one CR LF. Lone CR or LF stay inside their line.
StringList SplitAtCrLf(std::string_view text);

// The bytes of a saved report text file: FF FE, then every entry in UTF-16 LE followed by CR LF
// (the last one too). Entries that contain line breaks are written unchanged.
std::string EncodeListUtf16Le(const StringList& list);

// Reads such bytes back into lines (splitting at CR LF); used by tests and the report reader.
StringList DecodeUtf16LeLines(const std::string& bytes);

}  // namespace kovra
