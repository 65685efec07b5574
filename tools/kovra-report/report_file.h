// Opens a report file as support receives it: a DES container around a ZIP archive, or a plain
// ZIP archive when only the last packing way succeeded.
#pragma once

#include <string>
#include <string_view>

namespace kovra {

enum class ReportKind { kContainer, kPlainZip };

// The archive bytes of the report and its kind; false with a reason for anything else.
bool DecodeReport(std::string_view report, std::string& archive, ReportKind& kind,
                  std::string& error);

// Text from a report made safe for a terminal: control characters (C0, DEL and the C1 range)
// written as \xNN escapes, so that a hostile name cannot drive the support engineer's terminal.
std::string TerminalSafe(std::string_view text);

}  // namespace kovra
