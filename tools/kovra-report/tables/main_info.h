// Kovra_Debug_Info.txt, the main info file: blocks between rules of stars, each holding the
// lines of one or two tables. BlockTracker is the one rule that tells which block a line is
// in; the records parser and the section-aware diff both follow it, so that they name the
// blocks alike.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tables/table.h"

namespace kovra {

// The block a line opens or belongs to, as a table, by the line alone; kUnparsed when the line
// says nothing about its block.
[[nodiscard]] TableId BlockOfLine(std::string_view line);

// Follows the blocks of the main info file line by line.
class BlockTracker {
 public:
  struct Step {
    TableId block;         // the block the line is in
    bool rule = false;     // the line is a star rule (it belongs to no block)
    bool changed = false;  // the line begins another block than the one before
  };
  [[nodiscard]] Step Next(std::string_view line);
  [[nodiscard]] TableId block() const { return block_; }

 private:
  TableId block_ = TableId::kSystem;
  bool after_rule_ = false;
};

[[nodiscard]] std::unique_ptr<RecordParser> MakeMainInfoParser(std::string file_name,
                                                               RecordCallback emit);

}  // namespace kovra
